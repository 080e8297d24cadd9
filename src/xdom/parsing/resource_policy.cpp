#include "xdom/parsing/resource_policy.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xercesc/util/BinInputStream.hpp>

#include "frame/transcode.h"

using namespace xercesc;

namespace qv {
namespace {

// A file descriptor as the parser's input stream.
class DescriptorStream : public BinInputStream {
public:
    explicit DescriptorStream(int fd) : fd_(fd) {}
    ~DescriptorStream() override { ::close(fd_); }

    XMLFilePos curPos() const override { return position_; }
    XMLSize_t readBytes(XMLByte* const buffer, const XMLSize_t size) override {
        for (;;) {
            ssize_t n = ::read(fd_, buffer, size);
            if (n >= 0) {
                position_ += static_cast<XMLFilePos>(n);
                return static_cast<XMLSize_t>(n);
            }
            if (errno != EINTR) return 0;
        }
    }
    const XMLCh* getContentType() const override { return nullptr; }

private:
    int fd_;
    XMLFilePos position_ = 0;
};

// The scheme of a URI reference (lower case), or "" for a plain path.
std::string schemeOf(const std::string& reference) {
    if (reference.empty() || !std::isalpha(static_cast<unsigned char>(reference[0]))) return "";
    std::size_t i = 1;
    while (i < reference.size() && (std::isalnum(static_cast<unsigned char>(reference[i])) ||
                                    reference[i] == '+' || reference[i] == '-' ||
                                    reference[i] == '.'))
        ++i;
    if (i >= reference.size() || reference[i] != ':') return "";
    std::string scheme = reference.substr(0, i);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path of a file URI ("file:///a/b", "file://localhost/a/b", "file:/a/b",
// "file:a/b"), percent escapes decoded. False for a file URI on another host.
bool filePath(const std::string& uri, std::string& path) {
    std::string rest = uri.substr(5);  // after "file:"
    if (rest.compare(0, 2, "//") == 0) {
        std::size_t slash = rest.find('/', 2);
        std::string host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
        if (!host.empty() && host != "localhost") return false;
        rest = slash == std::string::npos ? "/" : rest.substr(slash);
    }
    path.clear();
    for (std::size_t i = 0; i < rest.size(); ++i) {
        int high, low;
        if (rest[i] == '%' && i + 2 < rest.size() && (high = hexValue(rest[i + 1])) >= 0 &&
            (low = hexValue(rest[i + 2])) >= 0) {
            char c = static_cast<char>(high * 16 + low);
            if (c == '\0') return false;
            path += c;
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return true;
}

std::string currentFolder() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string realPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// Collapses ".", ".." and repeated slashes of an absolute path without looking at
// the file system.
std::string lexicalPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) out += "/" + part;
    return out.empty() ? "/" : out;
}

bool hasParentStep(const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

// Whether path lies inside folder (both absolute, without trailing slash).
bool inside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool insideAllowed(const std::string& path) {
    for (const std::string& folder : allowedFolders())
        if (inside(path, folder)) return true;
    return false;
}

const char kAbsoluteOutside[] = "absolute paths are read only inside the folders the host allows";

ResourceDecision refuse(const char* why) {
    ResourceDecision d;
    d.refusal = why;
    return d;
}

}  // namespace

const std::vector<std::string>& allowedFolders() {
    static const std::vector<std::string> folders = [] {
        std::vector<std::string> out;
        const char* list = std::getenv(kAllowPathsVariable);
        if (!list) return out;
        std::string all(list);
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t end = all.find(':', start);
            if (end == std::string::npos) end = all.size();
            std::string folder = all.substr(start, end - start);
            struct stat info;
            // Only absolute paths of existing folders; "/" would allow every file.
            if (!folder.empty() && folder[0] == '/') {
                std::string real = realPath(folder);
                if (!real.empty() && real != "/" && ::stat(real.c_str(), &info) == 0 &&
                    S_ISDIR(info.st_mode))
                    out.push_back(real);
            }
            start = end + 1;
        }
        return out;
    }();
    return folders;
}

std::string folderOf(const std::string& systemId) {
    std::string path = systemId;
    const std::string scheme = schemeOf(systemId);
    if (scheme == "file") {
        if (!filePath(systemId, path)) return "";
    } else if (!scheme.empty()) {
        return "";
    }
    if (path.empty() || path[0] != '/') path = currentFolder() + "/" + path;
    std::size_t slash = path.rfind('/');
    return realPath(slash == 0 ? "/" : path.substr(0, slash));
}

ResourceDecision decideResource(const std::string& reference, const std::string& base) {
    std::string path = reference;
    const std::string scheme = schemeOf(reference);
    if (scheme == "file") {
        if (!filePath(reference, path)) return refuse("only local files are read");
    } else if (!scheme.empty()) {
        return refuse("only local files are read, never the network");
    }
    if (path.empty()) return refuse("it names no file");

    const bool absolute = path[0] == '/';
    // The root folder confines nothing: a server started in "/" reads no file beside
    // a document held in memory.
    const std::string folder = folderOf(base);
    const std::string baseFolder = folder == "/" ? std::string() : folder;
    const bool besideBase = !absolute && !baseFolder.empty() && !hasParentStep(path);
    const std::string candidate =
        absolute ? path : (folder.empty() ? std::string() : folder + "/" + path);
    // Decided on the name first, so that nothing outside is even looked at.
    if (!besideBase && (candidate.empty() || !insideAllowed(lexicalPath(candidate)))) {
        if (absolute) return refuse(kAbsoluteOutside);
        if (hasParentStep(path)) return refuse("'..' leads out of the folder of the file that names it");
        return refuse("it is not named relative to a local folder that may be read");
    }

    ResourceDecision d;
    const std::string real = realPath(candidate);
    if (real.empty()) {
        d.path = lexicalPath(candidate);
        d.missing = true;
        return d;
    }
    if (!(besideBase && inside(real, baseFolder)) && !insideAllowed(real))
        return refuse("a symbolic link leads out of the folder of the file that names it");
    struct stat info;
    if (::stat(real.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return refuse("it is not a regular file");
    d.path = real;
    return d;
}

ResourceDecision decideWithin(const std::string& uri, const std::string& folder) {
    std::string path = uri;
    const std::string scheme = schemeOf(uri);
    if (scheme == "file") {
        if (!filePath(uri, path)) return refuse("only local files are read");
    } else if (!scheme.empty()) {
        return refuse("only local files are read, never the network");
    }
    const bool confined = !folder.empty() && folder != "/";
    if (path.empty() || (path[0] != '/' && !confined)) return refuse("it is not named relative to a local folder that may be read");
    const std::string lexical = lexicalPath(path[0] == '/' ? path : folder + "/" + path);
    if (!confined || !inside(lexical, folder)) {
        ResourceDecision d = decideResource(lexical, "");
        if (d.refusal == kAbsoluteOutside)
            d.refusal = "it lies outside the folder of the stylesheet and the folders the host allows";
        return d;
    }
    // Inside the folder by its name: decided as a plain relative path from there.
    return decideResource(lexical.substr(folder.size() + 1), folder + "/-");
}

std::string refusalMessage(const std::string& reference, const std::string& why) {
    return "external resource '" + reference + "' is not read: " + why;
}

ConfinedFileSource::ConfinedFileSource(const ResourceDecision& decision)
    : path_(decision.missing ? std::string() : decision.path) {
    XmlText id = fromLocalText(decision.path.c_str());
    setSystemId(id.get());
}

BinInputStream* ConfinedFileSource::makeStream() const {
    if (path_.empty()) return nullptr;
    int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return new DescriptorStream(fd);
}

}  // namespace qv
