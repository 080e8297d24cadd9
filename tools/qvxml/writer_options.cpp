// Writer options of `format` and `export`.
#include "writer_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/dictionary.h"

namespace qvcli {

const char kWriterHelp[] =
    "Writer options:\n"
    "  --encoding E           output encoding (default UTF-8)\n"
    "  --line-end LF|CR-LF|CR line ends (default LF)\n"
    "  --no-declaration       no XML declaration\n"
    "  --no-pretty            no indentation\n"
    "  --normalize            normalize characters\n"
    "  --no-split-cdata       fail on \"]]>\" in a CDATA section instead of splitting it\n"
    "  --validate             validate while writing\n"
    "  --no-entities          write entity references expanded\n"
    "  --no-whitespace        drop whitespace in element content\n"
    "  --no-discard-default   keep attributes that have their default value\n"
    "  --canonical            canonical form\n"
    "  --bom                  write a byte order mark\n"
    "  --standalone           standalone=\"yes\" (documents built by export)\n";

const std::set<std::string>& writerValueOptions() {
    static const std::set<std::string> options{"--encoding", "--line-end"};
    return options;
}

const std::set<std::string>& writerFlags() {
    static const std::set<std::string> flags{
        "--no-declaration", "--no-pretty", "--normalize", "--no-split-cdata",
        "--validate",       "--no-entities", "--no-whitespace", "--no-discard-default",
        "--canonical",      "--bom",        "--standalone"};
    return flags;
}

std::set<std::string> merged(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

QvDocSettings writerSettings(const Args& args) {
    QvDocSettings s;
    std::memset(&s, 0, sizeof s);
    const std::string encoding = args.value("--encoding", "UTF-8");
    if (encoding.empty() || encoding.size() >= sizeof s.outEncoding)
        throw UsageError("--encoding needs a name of 1 to 39 characters");
    std::memcpy(s.docEncoding, encoding.data(), encoding.size());
    std::memcpy(s.outEncoding, encoding.data(), encoding.size());
    const std::string lineEnd = args.value("--line-end", "LF");
    if (lineEnd != "LF" && lineEnd != "CR-LF" && lineEnd != "CR")
        throw UsageError("--line-end takes LF, CR-LF or CR");
    std::memcpy(s.lineEnd, lineEnd.data(), lineEnd.size());
    s.standalone = args.has("--standalone");
    s.xmlDeclaration = !args.has("--no-declaration");
    s.prettyPrint = !args.has("--no-pretty");
    s.normalizeChars = args.has("--normalize");
    s.splitCdata = !args.has("--no-split-cdata");
    s.validation = args.has("--validate");
    s.entities = !args.has("--no-entities");
    s.whitespaceInContent = !args.has("--no-whitespace");
    s.discardDefault = !args.has("--no-discard-default");
    s.canonicalForm = args.has("--canonical");
    s.byteOrderMark = args.has("--bom");
    return s;
}

std::string lineEndText(const QvDocSettings& settings) {
    const std::string lineEnd = settings.lineEnd;
    return lineEnd == "CR-LF" ? "\r\n" : lineEnd == "CR" ? "\r" : "\n";
}

namespace {

// Whether line ends are single bytes where the writer puts them: not with a byte
// order mark, nor in UTF-16 or UTF-32.
bool tidyable(const QvDocSettings& settings) {
    const std::string encoding = qvhost::upperAscii(settings.outEncoding);
    return !(settings.byteOrderMark || encoding.rfind("UTF-16", 0) == 0 ||
             encoding.rfind("UTF-32", 0) == 0 || encoding.rfind("UCS", 0) == 0 ||
             encoding.rfind("UTF16", 0) == 0);
}

bool put(std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

}  // namespace

void writeDocumentOutput(std::string_view bytes, const QvDocSettings& settings) {
    bool endLine = false;
    if (tidyable(settings)) {
        while (!bytes.empty() && (bytes.front() == '\n' || bytes.front() == '\r'))
            bytes.remove_prefix(1);
        endLine = !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
    }
    if (!put(bytes) || (endLine && !put(lineEndText(settings))) || std::fflush(stdout) != 0)
        throw Failure("cannot write the output: " + std::string(std::strerror(errno)));
}

void tidyFile(const std::string& path, const QvDocSettings& settings) {
    if (!tidyable(settings)) return;
    // Only the first and the last byte can need tidying: a document of hundreds of
    // megabytes is read back whole only when it starts with a line break.
    std::FILE* file = std::fopen(path.c_str(), "rb+");
    if (!file) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    const int first = std::fgetc(file);
    if (first == '\n' || first == '\r') {
        std::fclose(file);
        const std::string text = readFile(path);
        writeOutput(path, tidyDocument(text, lineEndText(settings)));
        return;
    }
    bool ok = true;
    if (first != EOF && std::fseek(file, -1, SEEK_END) == 0) {
        const int last = std::fgetc(file);
        if (last != '\n' && last != '\r') {
            const std::string end = lineEndText(settings);
            ok = std::fseek(file, 0, SEEK_END) == 0 &&
                 std::fwrite(end.data(), 1, end.size(), file) == end.size();
        }
    }
    if (std::fclose(file) != 0 || !ok)
        throw Failure("cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace qvcli
