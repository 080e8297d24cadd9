// What the benchmarks that run programs share: running one with its peak memory,
// reading an output, and the normalisation under which two pretty-printed outputs
// of the same content compare equal.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "measure.h"

namespace bench {

struct Run {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
};

// Runs argv with stdout and stderr to /dev/null; the child's own peak memory.
inline Run run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execvp(args[0], args.data());
        _exit(127);
    }
    Run r;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakMb = double(usage.ru_maxrss) / 1024;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A start tag's attributes in name order (the DOM keeps them so; the peer keeps
// the document's order). Values are in double quotes in both outputs.
inline std::string sortedAttributes(const std::string& line) {
    const std::size_t open = line.find('<');
    if (open == std::string::npos || open + 1 >= line.size() || line[open + 1] == '/' ||
        line[open + 1] == '?' || line[open + 1] == '!')
        return line;
    std::size_t at = line.find_first_of(" />", open);
    if (at == std::string::npos || line[at] != ' ') return line;
    const std::string head = line.substr(0, at);
    std::vector<std::string> attributes;
    while (at < line.size() && line[at] == ' ') {
        const std::size_t quote = line.find('"', at);
        const std::size_t close = quote == std::string::npos ? quote : line.find('"', quote + 1);
        if (close == std::string::npos) return line;
        attributes.push_back(line.substr(at, close + 1 - at));
        at = close + 1;
    }
    std::sort(attributes.begin(), attributes.end());
    std::string out = head;
    for (const std::string& a : attributes) out += a;
    return out + line.substr(at);
}

// What differs between the two pretty printers and not in content: the XML
// declaration (its standalone pseudo-attribute and spacing), blank lines (the
// first-level elements may stand apart in one of them) and the order of attributes.
inline std::string normalised(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (line.compare(0, 5, "<?xml") == 0) continue;
        out += sortedAttributes(line);
        out += '\n';
    }
    return out;
}


// The blocks of lines of the first-level elements (an indentation of two spaces)
// in sorted order: for outputs that hold the same records in another order.
inline std::string blocksSorted(const std::string& text) {
    std::vector<std::string> blocks;
    std::string head, tail, block;
    std::size_t at = 0;
    bool inBlock = false, seenBlock = false;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at + 1);
        at = end + 1;
        const bool level1 = line.size() > 3 && line[0] == ' ' && line[1] == ' ' && line[2] == '<';
        if (!inBlock && level1) {
            block = line;
            seenBlock = true;
            const bool closes = line.find("/>") != std::string::npos ||
                                line.find("</") != std::string::npos;
            if (closes) blocks.push_back(block); else inBlock = true;
            continue;
        }
        if (inBlock) {
            block += line;
            if (level1 && line[3] == '/') {
                blocks.push_back(block);
                inBlock = false;
            }
            continue;
        }
        (seenBlock ? tail : head) += line;
    }
    std::sort(blocks.begin(), blocks.end());
    std::string out = head;
    for (const std::string& b : blocks) out += b;
    return out + tail;
}

}  // namespace bench
