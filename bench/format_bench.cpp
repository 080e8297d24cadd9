// `qvxml format FILE` against `xmllint --format FILE` on orders documents of 10^4,
// 10^5 and 10^6 records: wall time and peak resident memory of each process, the
// median of pairs run one after the other, and how each grows per decade. The two
// outputs are compared first, after the normalisation below; a difference stops
// the row.
//
//   format_bench [records ...]     default: 10000 100000 1000000
//   (QVXML_BENCH_RUNS, default 3: pairs per size)
//
// Documents are made in a scratch folder under /tmp and removed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "orders_gen.h"

#ifndef QVXML_TOOL
#error "QVXML_TOOL names the qvxml binary"
#endif

namespace {

struct Run {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
};

// Runs argv with stdout and stderr to /dev/null; the child's own peak memory.
Run run(const std::vector<std::string>& argv) {
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

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A start tag's attributes in name order (the DOM keeps them so; the peer keeps
// the document's order). Values are in double quotes in both outputs.
std::string sortedAttributes(const std::string& line) {
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
std::string normalised(const std::string& text) {
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {10000, 100000, 1000000};
    const char* runsText = std::getenv("QVXML_BENCH_RUNS");
    const int runs = std::max(1, runsText ? std::atoi(runsText) : 3);

    char scratch[] = "/tmp/qvxml_format_benchXXXXXX";
    if (!mkdtemp(scratch)) return 1;
    const std::string dir = scratch;
    const std::string doc = dir + "/orders.xml", ours = dir + "/qvxml.xml",
                      peer = dir + "/xmllint.xml";

    std::printf("qvxml format FILE vs xmllint --format FILE (median of %d pairs)\n", runs);
    std::printf("%-9s %8s | %9s %9s %6s | %10s %10s | %s\n", "records", "doc MB", "qvxml s",
                "xmllint s", "ratio", "qvxml MB", "xmllint MB", "growth per decade (time)");
    int status = 0;
    double lastOurs = 0, lastPeer = 0;
    for (std::size_t records : sizes) {
        bench::OrdersShape shape;
        shape.records = records;
        const std::size_t bytes = bench::writeOrdersDocument(doc, shape);
        const std::vector<std::string> ourCommand = {QVXML_TOOL, "format", doc, "-o", ours};
        const std::vector<std::string> peerCommand = {"xmllint", "--format", doc, "-o", peer};
        Run a = run(ourCommand), b = run(peerCommand);
        if (!a.ok || !b.ok) {
            std::fprintf(stderr, "%zu records: %s failed\n", records, a.ok ? "xmllint" : "qvxml format");
            status = 1;
            continue;
        }
        if (normalised(slurp(ours)) != normalised(slurp(peer))) {
            std::fprintf(stderr, "%zu records: the outputs differ (%s, %s)\n", records,
                         ours.c_str(), peer.c_str());
            return 1;
        }
        std::vector<double> ourTimes, peerTimes, ourPeaks, peerPeaks;
        for (int i = 0; i < runs; ++i) {
            a = run(ourCommand);
            b = run(peerCommand);
            ourTimes.push_back(a.seconds);
            peerTimes.push_back(b.seconds);
            ourPeaks.push_back(a.peakMb);
            peerPeaks.push_back(b.peakMb);
        }
        const double t = median(ourTimes), p = median(peerTimes);
        char growth[64] = "";
        if (lastOurs > 0)
            std::snprintf(growth, sizeof growth, "qvxml %.1fx, xmllint %.1fx", t / lastOurs,
                          p / lastPeer);
        std::printf("%-9zu %8.1f | %9.2f %9.2f %5.2fx | %10.0f %10.0f | %s\n", records,
                    double(bytes) / 1e6, t, p, t / p, median(ourPeaks), median(peerPeaks), growth);
        std::fflush(stdout);
        lastOurs = t;
        lastPeer = p;
    }
    for (const std::string& f : {doc, ours, peer}) std::remove(f.c_str());
    rmdir(dir.c_str());
    return status;
}
