// `qvxml format FILE` against `xmllint --format FILE` on orders documents of 10^4,
// 10^5 and 10^6 records: wall time and peak resident memory of each process, the
// median of pairs run one after the other, and how each grows per decade. The two
// outputs are compared first, after the normalisation of tool_runs.h; a difference
// stops the run.
//
//   format_bench [records ...]     default: 10000 100000 1000000
//   (QVXML_BENCH_RUNS, default 3: pairs per size)
//
// Documents are made in a scratch folder under /tmp and removed.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "measure.h"
#include "orders_gen.h"
#include "tool_runs.h"

#ifndef QVXML_TOOL
#error "QVXML_TOOL names the qvxml binary"
#endif

using namespace bench;

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = sizesFrom(argc, argv, {10000, 100000, 1000000});
    const int runs = benchRuns(3);

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
