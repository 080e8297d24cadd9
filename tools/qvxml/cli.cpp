// Argument parsing and output helpers of the command-line tool.
#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

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
                    values_[name] = inlineValue;
                } else {
                    if (i + 1 >= argv.size()) throw UsageError("option " + name + " needs a value");
                    values_[name] = argv[++i];
                }
            } else if (flags.count(name) && !hasInline) {
                values_[name] = "";
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
    return it == values_.end() ? otherwise : it->second;
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

std::string readFile(const std::string& path) {
    requireReadable(path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read " + path + ": " + std::strerror(errno));
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

}  // namespace qvcli
