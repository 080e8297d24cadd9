// qvxml: XML documents and the records of a multivalued account from the command line.
//
//   qvxml SUBCOMMAND [ARGS...]      qvxml SUBCOMMAND --help      qvxml --help
//
// Exit codes: 0 success, 1 failure, 2 usage error. Errors go to stderr.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "writer_options.h"

namespace qvcli {
namespace {

const char kAccountHelp[] =
    "  --account FILE         the account (default: $QVXML_ACCOUNT, else ./qvxml.db)\n";

const char kImportHelp[] =
    "usage: qvxml import MAPPING DOCUMENT... [--dry-run] [--json] [--skip-bad-values]\n"
    "                    [--remove-orphans] [--dicts DIR]\n"
    "Reads each DOCUMENT through the mapping file MAPPING into records and stores them\n"
    "in the account, all documents in one transaction: on any failure (or Ctrl-C) the\n"
    "account is left as it was. A record whose ID is already stored is joined with it\n"
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
            "usage: qvxml format FILE [-o OUT] [writer options]\n"
            "Parses FILE and writes it again with the writer options.\n"
            "  -o OUT                 write to OUT instead of stdout\n") +
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
        "usage: qvxml show FILE [ID...] [--json]\n"
        "Prints the records of FILE (all, in record ID order, or those with the IDs given)\n"
        "with the field names of its dictionary. Each further value of a field is on a line\n"
        "of its own, subvalues are separated by \" \\ \", control characters are escaped.\n"
        "  --json                 one JSON object per record (multivalues as arrays)\n");
    static const std::vector<Command> all{
        {"check", "parse and validate a document",
         "usage: qvxml check FILE [--schema XSD] [--schema-location 'URI FILE ...']\n"
         "Parses FILE, validating it against a DTD it names, or against XML Schemas:\n"
         "  --schema XSD           schema for elements in no namespace\n"
         "  --schema-location L    pairs of namespace URI and schema file\n"
         "Prints the parser's errors and exits with 1 when there are any.\n",
         runCheck, {"--schema", "--schema-location"}, {}},
        {"xpath", "evaluate an XPath expression",
         "usage: qvxml xpath FILE EXPR [--ns 'xmlns:p=URI ...'] [--node]\n"
         "Prints the string value of the XPath 1.0 expression EXPR over FILE.\n"
         "  --ns MAP               prefixes for EXPR, e.g. 'xmlns:o=urn:orders'\n"
         "  --node                 print the first selected node as XML instead\n",
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
        {"show", "print records of a file", showHelp.c_str(), runShow, {"--account"}, {"--json"}},
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
                 "XML documents and the records of a multivalued account (an SQLite file).\n\n"
                 "Subcommands:\n");
    for (const Command& c : commands()) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\nRun 'qvxml SUBCOMMAND --help' for the arguments of one.\n");
}

int run(int argc, char** argv) {
    if (argc < 2) {
        mainHelp(stderr);
        return kUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        mainHelp(stdout);
        return kSuccess;
    }
    const Command* command = nullptr;
    for (const Command& c : commands())
        if (name == c.name) command = &c;
    if (!command) {
        std::fprintf(stderr, "qvxml: unknown subcommand '%s'\n", name.c_str());
        mainHelp(stderr);
        return kUsage;
    }
    std::vector<std::string> rest(argv + 2, argv + argc);
    for (const std::string& a : rest) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            std::fputs(command->usage, stdout);
            return kSuccess;
        }
    }
    try {
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
    try {
        return qvcli::run(argc, argv);
    } catch (const qvcli::Failure& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "qvxml %s: %s\n", argv[1], e.what());
    } catch (const qvhost::AccountError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "qvxml %s: %s\n", argv[1], e.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "qvxml %s: out of memory\n", argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvxml %s: %s\n", argv[1], e.what());
    }
    return qvcli::kFailure;
}
