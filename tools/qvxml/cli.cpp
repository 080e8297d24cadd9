// Argument parsing and output helpers of the command-line tool.
#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "qvxml.h"
#include "safe_output.h"

namespace qvcli {

Args::Args(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
           const std::set<std::string>& flags, const std::set<std::string>& pairOptions) {
    bool options = true;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (options && a == "--") {
            options = false;
        } else if (options && a.size() > 1 && a[0] == '-') {
            std::string name = a, inlineValue;
            bool hasInline = false;
            const std::size_t eq = a.find('=');
            if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
                name = a.substr(0, eq);
                inlineValue = a.substr(eq + 1);
                hasInline = true;
            }
            if (pairOptions.count(name) && !hasInline) {
                if (i + 2 >= argv.size()) throw UsageError("option " + name + " needs two values");
                pairs_.push_back({name, argv[i + 1], argv[i + 2]});
                i += 2;
            } else if (valueOptions.count(name)) {
                if (hasInline) {
                    values_[name].push_back(inlineValue);
                } else {
                    if (i + 1 >= argv.size()) throw UsageError("option " + name + " needs a value");
                    values_[name].push_back(argv[++i]);
                }
            } else if (flags.count(name) && !hasInline) {
                values_[name].push_back("");
            } else {
                throw UsageError("unknown option " + a);
            }
        } else {
            positional_.push_back(a);
        }
    }
}

std::string Args::value(const std::string& option, const std::string& otherwise) const {
    auto it = values_.find(option);
    return it == values_.end() ? otherwise : it->second.back();
}

std::vector<std::string> Args::values(const std::string& option) const {
    auto it = values_.find(option);
    return it == values_.end() ? std::vector<std::string>() : it->second;
}

void Args::expect(std::size_t atLeast, std::size_t atMost) const {
    if (positional_.size() < atLeast) throw UsageError("missing arguments");
    if (positional_.size() > atMost) throw UsageError("too many arguments");
}

void libraryFailure(const std::string& what) {
    std::string lines = Q_XMLGetErrMsg();
    Q_XMLResetErrMsg();
    while (!lines.empty() && lines.back() == '\n') lines.pop_back();
    throw Failure(lines.empty() ? what : what + "\n" + lines);
}

void writeOutput(const std::string& path, const std::string& bytes) {
    if (path.empty()) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fflush(stdout) != 0)
            throw Failure("cannot write the output: " + std::string(std::strerror(errno)));
        return;
    }
    OutputFile file(path);
    std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) throw Failure("cannot write " + path + ": " + std::strerror(errno));
    file.commit();
}

void exitWithoutTeardown(int status) {
#ifndef QVXML_SANITIZE
    if (std::fflush(stdout) == 0 && std::fflush(stderr) == 0) std::_Exit(status);
#else
    (void)status;
#endif
}

std::string readFile(const std::string& path) {
    requireReadable(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    // Read in one piece where the size is known (a regular file), else streamed.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        std::string text(static_cast<std::size_t>(info.st_size), '\0');
        in.read(&text[0], std::streamsize(text.size()));
        if (in.gcount() == std::streamsize(text.size()) && in.peek() == EOF) return text;
        in.clear();
        in.seekg(0);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void requireReadable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw Failure("cannot read " + path + ": " + std::strerror(errno));
    std::fclose(f);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure("cannot read " + path + ": it is a folder");
}

void requireWritable(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw Failure("cannot write " + path + ": it is a folder");
        if (access(path.c_str(), W_OK) != 0)
            throw Failure("cannot write " + path + ": " + std::strerror(errno));
        return;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Failure("cannot write " + path + ": folder " + folder + " does not exist");
    if (access(folder.c_str(), W_OK) != 0)
        throw Failure("cannot write " + path + ": folder " + folder + " is not writable (" +
                      std::strerror(errno) + ")");
}

namespace {

bool onlyWhitespace(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string readAll(int fd, const std::string& shown) {
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) return text;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Failure("cannot read " + shown + ": " + std::strerror(errno));
        }
        text.append(buffer, std::size_t(n));
    }
}

}  // namespace

Source loadSource(const std::string& name) {
    Source source;
    source.name = name;
    if (name == "-") {
        source.text = readAll(STDIN_FILENO, "standard input");
    } else {
        requireReadable(name);
        struct stat st {};
        if (stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (st.st_size == 0) throw Failure("cannot read " + name + ": empty file");
            source.path = name;
            return source;
        }
        // A pipe, a terminal, a process substitution: read once, into memory.
        const int fd = open(name.c_str(), O_RDONLY);
        if (fd < 0) throw Failure("cannot read " + name + ": " + std::strerror(errno));
        try {
            source.text = readAll(fd, name);
        } catch (...) {
            close(fd);
            throw;
        }
        close(fd);
    }
    // A document held as a C string ends at its first NUL byte.
    if (source.text.find('\0') != std::string::npos)
        throw Failure("cannot read " + source.shown() +
                      ": it holds NUL bytes (UTF-16 or binary): give it as a regular file");
    if (onlyWhitespace(source.text)) throw Failure("cannot read " + source.shown() + ": empty file");
    return source;
}

std::string parseFailureLine(const Source& source, int code, const std::string& lines) {
    // The library's lines read "[Fatal error|Error] at file 'F', line L, column C.
    // Message: TEXT"; the first one says where.
    std::string where = source.shown(), what, message;
    const bool fatal = lines.find("Fatal error at file") != std::string::npos;
    const std::size_t line = lines.find("', line ");
    if (line != std::string::npos) {
        int l = 0, c = 0;
        if (std::sscanf(lines.c_str() + line, "', line %d, column %d.", &l, &c) == 2)
            where += ":" + std::to_string(l) + ":" + std::to_string(c);
        const std::size_t m = lines.find("Message: ", line);
        if (m != std::string::npos) message = lines.substr(m + 9, lines.find('\n', m) - m - 9);
    }
    if (fatal) {
        what = "not well-formed";
    } else if (code == 29 || lines.find("Error at file") != std::string::npos) {
        what = "not valid";
    } else {
        what = "cannot be parsed (code " + std::to_string(code) + ")";
    }
    return where + ": " + what + (message.empty() ? "" : ": " + message);
}

std::string tidyDocument(std::string text, const std::string& lineEnd) {
    std::size_t lead = 0;
    while (lead < text.size() && (text[lead] == '\n' || text[lead] == '\r')) ++lead;
    text.erase(0, lead);
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += lineEnd;
    return text;
}

}  // namespace qvcli
