// The document subcommands: check, xpath, transform, format.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <unistd.h>

#include "cli.h"
#include "commands.h"
#include "session.h"
#include "writer_options.h"
#include "xdom/parsing/open_options.h"
#include "xdom/xslt/transform_options.h"

namespace qvcli {

int runCheck(const Args& args) {
    args.expect(1, 1);
    const std::string file = args.positional()[0];
    requireReadable(file);
    Session session;
    const std::string schema = args.value("--schema");
    const std::string locations = args.value("--schema-location");
    const int status = QV_XDOMValidate(file.c_str(), 0, schema.empty() ? nullptr : schema.c_str(),
                                       locations.empty() ? nullptr : locations.c_str());
    if (status != 0) libraryFailure(file + ": not valid (code " + std::to_string(status) + "):");
    std::printf("%s: %s\n", file.c_str(),
                schema.empty() && locations.empty() ? "well-formed" : "valid");
    return kSuccess;
}

int runXpath(const Args& args) {
    args.expect(2, 2);
    Session session;
    Handle doc = session.parse(args.positional()[0], "document");
    const std::string& expression = args.positional()[1];
    const std::string ns = args.value("--ns");
    if (args.has("--node")) {
        Handle node(QV_XDOMLocate(doc.get(), expression.c_str(), ns.c_str()));
        if (!node) libraryFailure("no node for " + expression + ":");
        QvDocSettings settings = writerSettings(Args({}, {}, {}));
        settings.xmlDeclaration = 0;
        const char* text = QV_XDOMWrite(node.get(), &settings, nullptr);
        if (!text) libraryFailure("cannot write the node:");
        std::string out = text;
        if (out.empty() || out.back() != '\n') out += '\n';
        writeOutput("", out);
        return kSuccess;
    }
    const char* value = QV_XDOMEvaluate(doc.get(), expression.c_str(), ns.c_str());
    if (!value) libraryFailure("cannot evaluate " + expression + ":");
    writeOutput("", std::string(value) + "\n");
    return kSuccess;
}

namespace {

// The result as xsltproc writes it: the XML declaration on a line of its own and a
// final newline after markup (text output is left as the stylesheet made it).
std::string asFile(std::string result) {
    if (result.rfind("<?xml ", 0) == 0) {
        const std::size_t end = result.find("?>");
        if (end != std::string::npos && end + 2 < result.size() && result[end + 2] != '\n')
            result.insert(end + 2, "\n");
    }
    const std::size_t first = result.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && result[first] == '<' && result.back() == '>')
        result += '\n';
    return result;
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
    ~TemporaryFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

int runTransform(const Args& args) {
    args.expect(2, 2);
    const std::string& file = args.positional()[0];
    const std::string& stylesheet = args.positional()[1];
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
    const std::string out = args.value("-o");
    std::optional<TemporaryFile> temporary;
    if (out.empty()) temporary.emplace();
    const std::string target = out.empty() ? temporary->path() : out;
    if (!QV_XDOMTransform(doc.get(), stylesheet.c_str(), 0, QV_RESULT_FILE, target.c_str()))
        libraryFailure("cannot transform with " + stylesheet + ":");
    writeOutput(out, asFile(readFile(target)));
    return kSuccess;
}

int runFormat(const Args& args) {
    args.expect(1, 1);
    const QvDocSettings settings = writerSettings(args);
    Session session;
    Handle doc = session.parse(args.positional()[0], "document");
    const std::string out = args.value("-o");
    const char* text = QV_XDOMWrite(doc.get(), &settings, out.empty() ? nullptr : out.c_str());
    if (!text) libraryFailure("cannot write the document:");
    if (out.empty()) writeOutput("", text);
    return kSuccess;
}

}  // namespace qvcli
