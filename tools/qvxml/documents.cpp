// The document subcommands: check, xpath, transform, format.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "cli.h"
#include "commands.h"
#include "safe_output.h"
#include "session.h"
#include "writer_options.h"
#include "xdom/parsing/open_options.h"
#include "xdom/writing/written_text.h"
#include "xdom/xslt/transform_options.h"

namespace qvcli {

namespace {

// A schema file named on the command line, as the parser is to be given it: a
// relative path is taken from the current folder (the parser would take it from the
// document's), and one that cannot be read fails here, since the parser would
// validate against nothing and call the document valid. URLs are left as they are.
std::string schemaFile(const std::string& name) {
    if (name.find("://") != std::string::npos) return name;
    try {
        requireReadable(name);
    } catch (const Failure& e) {
        throw Failure(std::string("schema: ") + e.what());
    }
    if (name.empty() || name[0] == '/') return name;
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) return name;
    const std::string absolute = std::string(cwd) + "/" + name;
    std::free(cwd);
    return absolute;
}

// The targetNamespace of a schema document's root element, "" when it has none.
std::string targetNamespace(const std::string& text) {
    std::size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        if (text.compare(at, 2, "<?") == 0 || text.compare(at, 2, "<!") == 0) {
            at = text.find('>', at);
            if (at == std::string::npos) return "";
            continue;
        }
        const std::size_t end = text.find('>', at);
        const std::string tag = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        std::size_t name = tag.find("targetNamespace");
        while (name != std::string::npos) {
            std::size_t p = name + std::strlen("targetNamespace");
            const bool boundary = std::isspace(static_cast<unsigned char>(tag[name - 1]));
            while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p]))) ++p;
            if (boundary && p < tag.size() && tag[p] == '=') {
                ++p;
                while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p]))) ++p;
                if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                    const std::size_t close = tag.find(tag[p], p + 1);
                    if (close != std::string::npos) return tag.substr(p + 1, close - p - 1);
                }
            }
            name = tag.find("targetNamespace", name + 1);
        }
        return "";
    }
    return "";
}

// The 'URI FILE ...' pairs with each FILE through schemaFile().
std::string schemaLocations(const std::string& pairs) {
    std::istringstream in(pairs);
    std::string uri, file, out;
    while (in >> uri) {
        if (!(in >> file)) throw UsageError("--schema-location takes pairs: 'URI FILE ...'");
        out += (out.empty() ? "" : " ") + uri + " " + schemaFile(file);
    }
    return out;
}

// The worse of two exit codes: usage errors, then failures, then success.
int worst(int a, int b) { return std::max(a, b); }

// Runs `work` for one file of several: a Failure is told on stderr with the file's
// message and the next file goes on.
template <class Work>
int perFile(const char* command, Work work) {
    try {
        return work();
    } catch (const Failure& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "qvxml %s: %s\n", command, e.what());
        return kFailure;
    }
}

std::string xmlEscaped(const std::string& text, bool attribute) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += attribute ? "&quot;" : "\""; break;
            case '\n': out += attribute ? "&#10;" : "\n"; break;
            case '\t': out += attribute ? "&#9;" : "\t"; break;
            case '\r': out += "&#13;"; break;
            default: out += c;
        }
    }
    return out;
}

// The namespace map of --ns: items "p=URI" or "xmlns:p=URI", separated by blanks, in
// one or several --ns options, as the library takes them ("xmlns:p=URI ...").
std::string namespaceMap(const Args& args) {
    std::string map;
    for (const std::string& value : args.values("--ns")) {
        std::size_t at = 0;
        while ((at = value.find_first_not_of(" \t\n", at)) != std::string::npos) {
            const std::size_t end = std::min(value.find_first_of(" \t\n", at), value.size());
            std::string item = value.substr(at, end - at);
            at = end;
            const std::size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0)
                throw UsageError("--ns takes p=URI (or xmlns:p=URI), not '" + item + "'");
            if (item.rfind("xmlns:", 0) != 0 && item.rfind("xmlns=", 0) != 0) item = "xmlns:" + item;
            map += (map.empty() ? "" : " ") + item;
        }
    }
    return map;
}

// A failed query in words first: an undeclared prefix says how to declare it.
[[noreturn]] void queryFailure(const std::string& file, const std::string& expression) {
    const std::string lines = Q_XMLGetErrMsg();
    const std::size_t at = lines.find("The prefix '");
    if (at != std::string::npos) {
        const std::size_t end = lines.find('\'', at + 12);
        const std::string prefix = lines.substr(at + 12, end - at - 12);
        libraryFailure(file + ": the prefix '" + prefix + "' in " + expression +
                       " is not declared: give it with --ns " + prefix + "=URI");
    }
    libraryFailure(file + ": cannot evaluate " + expression + ":");
}

// Namespace declarations for the walking stylesheet: those of --ns, else those of
// the document element (which the library's queries use when no map is given).
std::string stylesheetDeclarations(QvHandle doc, const std::string& map) {
    std::vector<std::pair<std::string, std::string>> declared;
    if (!map.empty()) {
        std::size_t at = 0;
        while ((at = map.find("xmlns:", at)) != std::string::npos) {
            const std::size_t eq = map.find('=', at);
            const std::size_t end = std::min(map.find(' ', eq), map.size());
            declared.emplace_back(map.substr(at + 6, eq - at - 6), map.substr(eq + 1, end - eq - 1));
            at = end;
        }
    } else if (const char* count = QV_XDOMEvaluate(doc, "count(/*/namespace::*)", "")) {
        const long n = std::atol(count);
        for (long i = 1; i <= n; ++i) {
            const std::string node = "(/*/namespace::*)[" + std::to_string(i) + "]";
            const char* name = QV_XDOMEvaluate(doc, ("name(" + node + ")").c_str(), "");
            const std::string prefix = name ? name : "";
            const char* uri = QV_XDOMEvaluate(doc, ("string(" + node + ")").c_str(), "");
            if (!prefix.empty() && prefix != "xml" && uri) declared.emplace_back(prefix, uri);
        }
    }
    Q_XMLResetErrMsg();
    std::string text;
    for (const auto& d : declared)
        if (d.first != "qvxsl") text += " xmlns:" + d.first + "=\"" + xmlEscaped(d.second, true) + "\"";
    return text;
}

// Every node of the node-set of `expression`, in document order: one pass of the
// library's XSLT over the document puts each node (a copy, or its string value) into
// an element of a result document, whose elements are then walked in turn. One
// evaluation of the expression, however many nodes it selects.
std::vector<std::string> everyNode(QvHandle doc, const std::string& expression,
                                   const std::string& map, bool asXml) {
    const std::string select = xmlEscaped(expression, true);
    std::string item;
    if (asXml)
        item =
            "<qvxsl:choose>"
            "<qvxsl:when test=\"count(. | ../@*) = count(../@*)\"><a n=\"{name()}\">"
            "<qvxsl:value-of select=\".\"/></a></qvxsl:when>"
            "<qvxsl:when test=\"count(. | ../namespace::*) = count(../namespace::*)\">"
            "<s n=\"{name()}\"><qvxsl:value-of select=\".\"/></s></qvxsl:when>"
            "<qvxsl:otherwise><n><qvxsl:copy-of select=\".\"/></n></qvxsl:otherwise>"
            "</qvxsl:choose>";
    else
        item = "<v><qvxsl:value-of select=\".\"/></v>";
    const std::string stylesheet =
        "<qvxsl:stylesheet version=\"1.0\" xmlns:qvxsl=\"http://www.w3.org/1999/XSL/Transform\"" +
        stylesheetDeclarations(doc, map) +
        "><qvxsl:template match=\"/\"><r><qvxsl:for-each select=\"" + select + "\">" + item +
        "</qvxsl:for-each></r></qvxsl:template></qvxsl:stylesheet>";
    Handle result(static_cast<QvHandle>(
        QV_XDOMTransform(doc, stylesheet.c_str(), 1, QV_RESULT_DOM, nullptr)));
    if (!result) libraryFailure("cannot list the nodes of " + expression + ":");
    Handle root(QV_XDOMLocateNode(result.get(), QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT));
    std::vector<std::string> out;
    if (!root) {
        Q_XMLResetErrMsg();
        return out;
    }
    QvDocSettings settings = writerSettings(Args({}, {}, {}));
    settings.xmlDeclaration = 0;
    settings.prettyPrint = 0;  // each node as the document has it, as xmllint prints it
    // The text a wrapper holds: its text children's values (a query per node would
    // cost a view of the whole result each time).
    auto text = [](QvHandle node) {
        std::string value;
        Handle part(QV_XDOMLocateNode(node, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ANY));
        while (part) {
            if (const char* piece = QV_XDOMGetNodeValue(part.get())) value += piece;
            part.reset(QV_XDOMLocateNode(part.get(), QV_DIR_NEXT_SIBLING, 0, QV_NODE_ANY));
        }
        Q_XMLResetErrMsg();  // "no value", "no next sibling"
        return value;
    };
    Handle node(QV_XDOMLocateNode(root.get(), QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT));
    while (node) {
        const std::string kind = QV_XDOMGetNodeName(node.get());
        if (kind == "v") {
            out.push_back(text(node.get()));
        } else if (kind == "a" || kind == "s") {
            Handle name(QV_XDOMGetAttribute(node.get(), "n"));
            const char* value = name ? QV_XDOMGetNodeValue(name.get()) : nullptr;
            std::string qname = value ? value : "";
            if (kind == "s") qname = qname.empty() ? "xmlns" : "xmlns:" + qname;
            out.push_back(qname + "=\"" + xmlEscaped(text(node.get()), true) + "\"");
        } else {
            std::string xml;
            Handle part(QV_XDOMLocateNode(node.get(), QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ANY));
            while (part) {
                const char* written = QV_XDOMWrite(part.get(), &settings, nullptr);
                if (!written) libraryFailure("cannot write a node:");
                std::string piece = tidyDocument(written, "");
                while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r')) piece.pop_back();
                xml += (xml.empty() ? "" : "\n") + piece;
                part.reset(QV_XDOMLocateNode(part.get(), QV_DIR_NEXT_SIBLING, 0, QV_NODE_ANY));
            }
            Q_XMLResetErrMsg();  // the walk ends on "no next sibling"
            out.push_back(xml);
        }
        node.reset(QV_XDOMLocateNode(node.get(), QV_DIR_NEXT_SIBLING, 0, QV_NODE_ELEMENT));
    }
    Q_XMLResetErrMsg();  // the walk ends on "no next sibling"
    return out;
}

// One file of `xpath`: 0 with results printed, 1 for an empty node-set or a failure.
// The last file (`endWith`: the worst status of the files before it, else -1) ends
// the process once its results are out, before its document is torn down.
int queryOne(Session& session, const std::string& file, const std::string& expression,
             const std::string& map, bool asXml, bool named, int endWith) {
    auto done = [endWith](int status) {
        if (endWith >= 0) exitWithoutTeardown(worst(endWith, status));
        return status;
    };
    const Source source = loadSource(file);
    Handle doc = session.parse(source, "document");
    const std::string prefix = named ? source.shown() + ":" : "";
    // A node-set counts; any other result (a number, a string, a boolean) does not,
    // and neither does a broken expression: evaluated alone, it says why.
    const char* count = QV_XDOMEvaluate(doc.get(), ("count(" + expression + ")").c_str(), map.c_str());
    if (!count) {
        Q_XMLResetErrMsg();
        const char* value = QV_XDOMEvaluate(doc.get(), expression.c_str(), map.c_str());
        if (!value) queryFailure(source.shown(), expression);
        writeOutput("", prefix + value + "\n");
        return done(kSuccess);
    }
    const long long nodes = std::atoll(count);
    if (nodes == 0) return done(kFailure);
    std::string out;
    if (nodes == 1 && !asXml) {
        const char* value = QV_XDOMEvaluate(doc.get(), expression.c_str(), map.c_str());
        if (!value) queryFailure(source.shown(), expression);
        out = prefix + value + "\n";
    } else {
        for (const std::string& item : everyNode(doc.get(), expression, map, asXml))
            out += prefix + item + "\n";
    }
    writeOutput("", out);
    return done(kSuccess);
}

}  // namespace

int runCheck(const Args& args) {
    args.expect(1, std::size_t(-1));
    Session session;
    std::string schema =
        args.has("--schema") ? schemaFile(args.value("--schema")) : std::string();
    std::string locations = schemaLocations(args.value("--schema-location"));
    // A schema with a target namespace validates the elements of that namespace, as
    // xmllint --schema does: it is given to the parser as a location of its URI.
    if (!schema.empty() && schema.find("://") == std::string::npos) {
        const std::string target = targetNamespace(readFile(schema));
        if (!target.empty()) {
            locations += (locations.empty() ? "" : " ") + target + " " + schema;
            schema.clear();
        }
    }
    const bool validating = !schema.empty() || !locations.empty();
    int status = kSuccess;
    for (const std::string& file : args.positional()) {
        status = worst(status, perFile("check", [&] {
            const Source source = loadSource(file);
            const int code = QV_XDOMValidate(source.source(), source.inMemory() ? 1 : 0,
                                             schema.empty() ? nullptr : schema.c_str(),
                                             locations.empty() ? nullptr : locations.c_str());
            if (code != 0) parseFailure(source, code, "document");
            std::printf("%s: %s\n", source.shown().c_str(),
                        validating ? "valid" : "well-formed");
            std::fflush(stdout);
            return kSuccess;
        }));
    }
    return status;
}

int runXpath(const Args& args) {
    args.expect(2, std::size_t(-1));
    const std::string map = namespaceMap(args);
    const std::vector<std::string>& positional = args.positional();
    const std::string& expression = positional.back();
    const bool named = positional.size() > 2;
    Session session;
    int status = kSuccess;
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        const int endWith = i + 2 == positional.size() ? status : -1;
        status = worst(status, perFile("xpath", [&] {
            return queryOne(session, positional[i], expression, map, args.has("--node"), named,
                            endWith);
        }));
    }
    return status;
}

namespace {

// The result as xsltproc writes it: the XML declaration on a line of its own and a
// final newline after markup (text output is left as the stylesheet made it).
// Writes the result to `to` in pieces, without copying what may be hundreds of
// megabytes; false when a write fails.
bool writeAsFile(const std::string& result, std::FILE* to) {
    std::size_t split = 0;  // where a line break goes after the declaration
    if (result.rfind("<?xml ", 0) == 0) {
        const std::size_t end = result.find("?>");
        if (end != std::string::npos && end + 2 < result.size() && result[end + 2] != '\n')
            split = end + 2;
    }
    const std::size_t first = result.find_first_not_of(" \t\r\n");
    const bool endLine = first != std::string::npos && result[first] == '<' && result.back() == '>';
    auto put = [to](const char* bytes, std::size_t n) { return std::fwrite(bytes, 1, n, to) == n; };
    return put(result.data(), split) && (split == 0 || put("\n", 1)) &&
           put(result.data() + split, result.size() - split) && (!endLine || put("\n", 1)) &&
           std::fflush(to) == 0;
}

// A file of our own for a result bound for stdout: written by the library in the
// encoding the stylesheet asks for, then copied out.
class TemporaryFile {
public:
    TemporaryFile() {
        const char* folder = std::getenv("TMPDIR");
        path_ = std::string(folder && *folder ? folder : "/tmp") + "/qvxml-transform-XXXXXX";
        const int fd = ::mkstemp(&path_[0]);
        if (fd < 0) throw Failure("cannot make a temporary file in " + path_.substr(0, path_.rfind('/')));
        ::close(fd);
    }
    ~TemporaryFile() { remove(); }
    void remove() {
        if (!path_.empty()) std::remove(path_.c_str());
        path_.clear();
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

int runTransform(const Args& args) {
    args.expect(2, 2);
    const std::string& file = args.positional()[0];
    const std::string& stylesheet = args.positional()[1];
    const std::string out = args.value("-o");
    std::unique_ptr<OutputFile> output;
    if (!out.empty()) output = std::make_unique<OutputFile>(out);  // its folder, before the work
    requireReadable(stylesheet);

    qv::TransformOptions options;
    options.sourceFile = file;
    for (const auto& [option, name, value] : args.pairs())
        options.parameters.push_back({name, value, option == "--stringparam"});
    options.notice = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const qv::UseTransformOptions use(options);
    std::optional<qv::OpenWithoutValidation> noValidation;
    if (!args.has("--validate")) noValidation.emplace();

    Session session;
    Handle doc = session.parse(file, "document");
    const InterruptGuard interrupts(out.empty() ? "nothing was written" : out + " is left as it was");
    TemporaryFile temporary;
    if (!QV_XDOMTransform(doc.get(), stylesheet.c_str(), 0, QV_RESULT_FILE, temporary.path().c_str()))
        libraryFailure("cannot transform with " + stylesheet + ":");
    const std::string result = readFile(temporary.path());
    temporary.remove();
    interrupts.check();
    if (!output) {
        if (!writeAsFile(result, stdout))
            throw Failure("cannot write the output: " + std::string(std::strerror(errno)));
        exitWithoutTeardown(kSuccess);  // the source and the stylesheet go with the process
        return kSuccess;
    }
    std::FILE* written = std::fopen(output->path().c_str(), "wb");
    const bool ok = written && writeAsFile(result, written);
    if (!written || std::fclose(written) != 0 || !ok)
        throw Failure("cannot write " + out + ": " + std::strerror(errno));
    output->commit();
    exitWithoutTeardown(kSuccess);
    return kSuccess;
}

int runFormat(const Args& args) {
    args.expect(1, std::size_t(-1));
    const QvDocSettings settings = writerSettings(args);
    const std::string out = args.value("-o");
    if (!out.empty() && args.positional().size() > 1)
        throw UsageError("-o takes one document; several go to stdout one after another");
    std::unique_ptr<OutputFile> file;
    if (!out.empty()) file = std::make_unique<OutputFile>(out);  // its folder, before the work
    const std::string lineEnd = lineEndText(settings);
    Session session;
    int status = kSuccess;
    for (const std::string& name : args.positional()) {
        status = worst(status, perFile("format", [&] {
            Handle doc = session.parse(name, "document");
            const InterruptGuard interrupts(out.empty() ? "nothing written" : out + " is left as it was");
            const char* text =
                QV_XDOMWrite(doc.get(), &settings, file ? file->path().c_str() : nullptr);
            if (!text) libraryFailure("cannot write " + (out.empty() ? name : out) + ":");
            interrupts.check();
            if (file) {
                tidyFile(file->path(), settings);
                file->commit();
            } else {
                writeDocumentOutput(qv::writtenText(doc.get()), settings);
            }
            return kSuccess;
        }));
    }
    return status;
}

}  // namespace qvcli
