// The document subcommands: check, xpath, transform, format.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
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

}  // namespace

int runCheck(const Args& args) {
    args.expect(1, 1);
    const std::string file = args.positional()[0];
    requireReadable(file);
    const std::string schema =
        args.has("--schema") ? schemaFile(args.value("--schema")) : std::string();
    const std::string locations = schemaLocations(args.value("--schema-location"));
    Session session;
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
    const std::string result = asFile(readFile(temporary.path()));
    interrupts.check();
    if (!output) {
        writeOutput("", result);
        return kSuccess;
    }
    std::ofstream written(output->path(), std::ios::binary | std::ios::trunc);
    written.write(result.data(), std::streamsize(result.size()));
    written.close();
    if (!written) throw Failure("cannot write " + out + ": " + std::strerror(errno));
    output->commit();
    return kSuccess;
}

int runFormat(const Args& args) {
    args.expect(1, 1);
    const QvDocSettings settings = writerSettings(args);
    Session session;
    const std::string out = args.value("-o");
    std::unique_ptr<OutputFile> file;
    if (!out.empty()) file = std::make_unique<OutputFile>(out);  // before the work
    Handle doc = session.parse(args.positional()[0], "document");
    const InterruptGuard interrupts(out.empty() ? "nothing written" : out + " is left as it was");
    const char* text = QV_XDOMWrite(doc.get(), &settings, file ? file->path().c_str() : nullptr);
    if (!text) libraryFailure("cannot write the document:");
    interrupts.check();
    if (file)
        file->commit();
    else
        writeOutput("", text);
    return kSuccess;
}

}  // namespace qvcli
