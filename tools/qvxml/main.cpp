// qvxml: XML documents and the records of a multivalued account from the command line.
//
//   qvxml SUBCOMMAND [ARGS...]      qvxml SUBCOMMAND --help      qvxml --help
//
// Exit codes: 0 success, 1 failure, 2 usage error. Errors go to stderr.
#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "writer_options.h"

#include <xalanc/Include/XalanVersion.hpp>
#include <xercesc/util/XercesVersion.hpp>

namespace qvcli {
namespace {

const char kAccountHelp[] =
    "  --account FILE         the account (default: $QVXML_ACCOUNT, else ./qvxml.db)\n";

const char kImportHelp[] =
    "usage: qvxml import MAPPING DOCUMENT... [--dry-run] [--json] [--skip-bad-values]\n"
    "                    [--remove-orphans] [--dicts DIR]\n"
    "Reads each DOCUMENT (\"-\": standard input) through the mapping file MAPPING into\n"
    "records and stores them in the account, all documents in one transaction: on any\n"
    "failure (or Ctrl-C) the account is left as it was. Another import writing to the\n"
    "same account is waited for (QVXML_LOCK_WAIT seconds, default 600). A record whose\n"
    "ID is already stored is joined with it\n"
    "as the mapping's actions say: Replace columns are replaced, Append columns get the\n"
    "new values added (to a parent key only those it lacks); without actions the new\n"
    "record replaces the old one. Generated IDs and keys continue after the largest\n"
    "stored. A value its conversion refuses fails the import, naming it.\n"
    "  --dry-run              print the records as they would be stored, each marked\n"
    "                         (new) or (joined), instead of storing them\n"
    "  --json                 with --dry-run: one JSON object per record\n"
    "  --skip-bad-values      store the rest when values are refused, with a warning\n"
    "                         naming each\n"
    "  --remove-orphans       remove the child records that a replaced parent key no\n"
    "                         longer holds (they are named either way)\n"
    "  --dicts DIR            read FILE.dict from DIR for files the account has no\n"
    "                         dictionary for (an import stores them in the account)\n";

std::string withAccount(const char* text) { return std::string(text) + kAccountHelp; }

}  // namespace

const std::vector<Command>& commands() {
    static const std::string importHelp = withAccount(kImportHelp);
    static const std::string exportHelp =
        withAccount(
            "usage: qvxml export MAPPING [-o OUT] [ID...] [writer options]\n"
            "Writes the records of the mapping's root table (all, or those with the IDs given)\n"
            "with their related child records as one XML document built through MAPPING.\n"
            "  -o OUT                 write to OUT instead of stdout\n") +
        kWriterHelp;
    static const std::string formatHelp =
        std::string(
            "usage: qvxml format FILE... [-o OUT] [writer options]\n"
            "Parses each FILE (\"-\": standard input) and writes it again with the writer\n"
            "options, to stdout one after another, each ending with a line end.\n"
            "  -o OUT                 write the one FILE to OUT instead of stdout\n") +
        kWriterHelp;
    static const std::string describeHelp = withAccount(
        "usage: qvxml describe MAPPING [--raw] [--dicts DIR]\n"
        "Shows how MAPPING lays records out: its tables with their nesting levels, the\n"
        "record ID and key fields (with the table and field a child key refers to), the\n"
        "Replace and Append columns and the order columns. The mapping is bound to the\n"
        "account's dictionaries.\n"
        "  --raw                  the description text itself, marks shown as ^ ] \\\n"
        "  --dicts DIR            read FILE.dict from DIR for files the account lacks\n");
    static const std::string dictHelp = withAccount(
        "usage: qvxml dict [FILE [DICT_FILE]]\n"
        "With FILE and DICT_FILE: loads the dictionary of FILE from DICT_FILE (lines\n"
        "\"NAME FIELD S|M [CONVERSION]\" or \"NAME V\") into the account, creating the file.\n"
        "With FILE alone: prints its dictionary. Without arguments: lists the files.\n");
    static const std::string showHelp = withAccount(
        "usage: qvxml show FILE [ID...] [--json] [--where FIELD=VALUE]... [--conv]\n"
        "Prints the records of FILE (all, in record ID order, or those with the IDs given)\n"
        "with the field names of its dictionary. Each further value of a field is on a line\n"
        "of its own, subvalues are separated by \" \\ \", control characters are escaped.\n"
        "  --json                 one JSON object per record (multivalues as arrays)\n"
        "  --where FIELD=VALUE    only records where the field, or one of its values or\n"
        "                         subvalues, is VALUE (repeat: all must hold); exit 1 when\n"
        "                         none is (with --conv, VALUE is compared converted)\n"
        "  --conv                 values converted by the dictionary's conversion codes\n"
        "                         (dates and amounts as a person writes them)\n"
        "From SQL: the view FILE_view has the record ID and one column per field.\n");
    static const std::vector<Command> all{
        {"check", "parse and validate documents",
         "usage: qvxml check FILE... [--schema XSD] [--schema-location 'URI FILE ...']\n"
         "Parses each FILE (\"-\": standard input), validating it against a DTD it names, or\n"
         "against XML Schemas:\n"
         "  --schema XSD           a schema: for the elements of its target namespace,\n"
         "                         or of no namespace when it has none\n"
         "  --schema-location L    pairs of namespace URI and schema file\n"
         "One line per file: \"FILE: well-formed\" (or \"valid\") on stdout, else on stderr\n"
         "\"FILE:LINE:COLUMN: not well-formed: ...\" (or \"not valid\") with the parser's lines\n"
         "below it. Exits with 1 when any file fails.\n",
         runCheck, {"--schema", "--schema-location"}, {}},
        {"xpath", "evaluate an XPath expression",
         "usage: qvxml xpath FILE... EXPR [--ns p=URI]... [--node]\n"
         "Evaluates the XPath 1.0 expression EXPR over each FILE (\"-\": standard input).\n"
         "A node-set prints the string value of every node, one a line, in document order;\n"
         "a number, string or boolean prints itself. With several files each result line\n"
         "starts with \"FILE:\". An empty node-set prints nothing and exits 1 (as xmlstarlet\n"
         "does; xmllint exits 10). The expression comes last (xmllint and xmlstarlet take\n"
         "it first), so that one file and one expression read as before.\n"
         "  --ns p=URI             a prefix for EXPR (repeat, or several separated by\n"
         "                         blanks; xmlns:p=URI also works); without --ns, the\n"
         "                         prefixes the document element declares\n"
         "  --node                 each node as XML, as the document has it; an attribute\n"
         "                         as name=\"value\"\n",
         runXpath, {"--ns"}, {"--node"}},
        {"transform", "apply an XSLT stylesheet",
         "usage: qvxml transform FILE STYLESHEET [-o OUT] [--param NAME XPATH]...\n"
         "                       [--stringparam NAME TEXT]... [--validate]\n"
         "Transforms FILE with the XSLT 1.0 stylesheet STYLESHEET, as xsltproc does:\n"
         "the result in the encoding of the stylesheet's xsl:output (UTF-8 by default),\n"
         "declared as such, the declaration on a line of its own, a final newline.\n"
         "xsl:message texts and the processor's warnings go to stderr; a message with\n"
         "terminate=\"yes\" fails the transformation (exit 1).\n"
         "  -o OUT                 write the result to OUT instead of stdout\n"
         "  --param NAME XPATH     set the top-level parameter NAME to the value of the\n"
         "                         XPath expression (--param n \"'text'\" for a string)\n"
         "  --stringparam NAME TEXT  set the top-level parameter NAME to the string TEXT\n"
         "  --validate             validate FILE against its DTD (not done by default)\n"
         "document() reads files in the folders of STYLESHEET and FILE, and resolves names\n"
         "found in FILE against FILE's folder.\n",
         runTransform, {"-o"}, {"--validate"}, {"--param", "--stringparam"}},
        {"format", "write a document with writer options", formatHelp.c_str(), runFormat,
         merged({"-o"}, writerValueOptions()), writerFlags()},
        {"dict", "load, show or list dictionaries", dictHelp.c_str(), runDict, {"--account"}, {}},
        {"show", "print records of a file", showHelp.c_str(), runShow, {"--account", "--where"},
         {"--json", "--conv"}},
        {"describe", "show how a mapping lays records out", describeHelp.c_str(), runDescribe,
         {"--account", "--dicts"}, {"--raw"}},
        {"import", "read documents into records", importHelp.c_str(), runImport,
         {"--account", "--dicts"}, {"--dry-run", "--json", "--skip-bad-values", "--remove-orphans"}},
        {"export", "write records as a document", exportHelp.c_str(), runExport,
         merged({"-o", "--account"}, writerValueOptions()), writerFlags()},
    };
    return all;
}

namespace {

void mainHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: qvxml SUBCOMMAND [ARGS...]\n"
                 "       qvxml --account FILE SUBCOMMAND [ARGS...]\n"
                 "       qvxml help SUBCOMMAND | --help | --version\n"
                 "XML documents and the records of a multivalued account (an SQLite file).\n\n"
                 "Subcommands:\n");
    for (const Command& c : commands()) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\n"
                 "The account is --account FILE (before or after the subcommand), else\n"
                 "$QVXML_ACCOUNT, else ./qvxml.db. A document named \"-\" is read from standard\n"
                 "input. Exit codes: 0 success, 1 failure (or an empty result), 2 a wrong\n"
                 "command line. Run 'qvxml help SUBCOMMAND' for the arguments of one.\n");
}

// The version of the library this process loaded: the name its file resolves to
// (libqvxml.so.MAJOR.MINOR.PATCH), else the version the tool was built with.
std::string libraryVersion() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&QV_XDOMOpen), &info) && info.dli_fname) {
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved)) {
            const std::string file = resolved;
            const std::size_t at = file.rfind(".so.");
            if (at != std::string::npos) return file.substr(at + 4);
        }
    }
    return QVXML_TOOL_VERSION;
}

void version() {
    std::printf("qvxml %s\nlibqvxml %s\nbuilt with Xerces-C++ %s and Xalan-C++ %s\n",
                QVXML_TOOL_VERSION, libraryVersion().c_str(), XERCES_FULLVERSIONDOT,
                XALAN_FULLVERSIONDOT);
}

const Command* find(const std::string& name) {
    for (const Command& c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

int unknown(const std::string& name) {
    std::fprintf(stderr, "qvxml: unknown subcommand '%s'\n", name.c_str());
    mainHelp(stderr);
    return kUsage;
}

int run(int argc, char** argv) {
    // Options before the subcommand: --account (passed on to it), --help, --version.
    std::vector<std::string> account;
    int at = 1;
    for (; at < argc && argv[at][0] == '-'; ++at) {
        const std::string a = argv[at];
        if (a == "--help" || a == "-h") {
            mainHelp(stdout);
            return kSuccess;
        }
        if (a == "--version" || a == "-V") {
            version();
            return kSuccess;
        }
        if (a == "--account" && at + 1 < argc) {
            account = {a, argv[++at]};
        } else if (a.rfind("--account=", 0) == 0) {
            account = {a};
        } else {
            std::fprintf(stderr, "qvxml: %s\n",
                         a == "--account" ? "option --account needs a value"
                                          : ("unknown option " + a + " before the subcommand").c_str());
            mainHelp(stderr);
            return kUsage;
        }
    }
    if (at >= argc) {
        mainHelp(stderr);
        return kUsage;
    }
    const std::string name = argv[at];
    if (name == "help") {
        if (at + 1 >= argc) {
            mainHelp(stdout);
            return kSuccess;
        }
        const Command* command = find(argv[at + 1]);
        if (!command) return unknown(argv[at + 1]);
        std::fputs(command->usage, stdout);
        return kSuccess;
    }
    const Command* command = find(name);
    if (!command) return unknown(name);
    std::vector<std::string> rest(argv + at + 1, argv + argc);
    for (const std::string& a : rest) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            std::fputs(command->usage, stdout);
            return kSuccess;
        }
    }
    try {
        if (!account.empty()) {
            if (!command->valueOptions.count("--account"))
                throw UsageError(std::string(command->name) + " uses no account");
            rest.insert(rest.begin(), account.begin(), account.end());
        }
        const Args args(rest, command->valueOptions, command->flags, command->pairOptions);
        return command->run(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qvxml %s: %s\n", command->name, e.what());
        const char* end = std::strchr(command->usage, '\n');
        std::fprintf(stderr, "%.*s\n", int(end ? end - command->usage : 0), command->usage);
        return kUsage;
    }
}

}  // namespace
}  // namespace qvcli

int main(int argc, char** argv) {
    // The subcommand's name for messages: the first argument not an option or its value.
    const char* name = "";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--account") == 0) {
            ++i;
        } else if (argv[i][0] != '-') {
            name = argv[i];
            break;
        }
    }
    try {
        return qvcli::run(argc, argv);
    } catch (const qvcli::Failure& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "qvxml %s: %s\n", name, e.what());
    } catch (const qvhost::AccountError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "qvxml %s: %s\n", name, e.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "qvxml %s: out of memory\n", name);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvxml %s: %s\n", name, e.what());
    }
    return qvcli::kFailure;
}
