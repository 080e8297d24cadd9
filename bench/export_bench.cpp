// The export road against its own import: `qvxml export` of every record of an
// account that `qvxml import` filled from an orders document of 10^4, 10^5 and 10^6
// records, with wall time and peak resident memory of each process (the median of
// pairs) and how each grows per decade. The exported document is compared first
// with the imported one laid out by `xmllint --format`, after the normalisation of
// tool_runs.h with the orders (first-level elements) sorted, since the export
// writes them in key order.
//
//   export_bench [records ...]     default: 10000 100000 1000000
//   (QVXML_BENCH_RUNS, default 3: pairs per size)
//
// Documents and accounts are made in a scratch folder under /tmp and removed.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "host/reference_host.h"
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

    char scratch[] = "/tmp/qvxml_export_benchXXXXXX";
    if (!mkdtemp(scratch)) return 1;
    const std::string dir = scratch;
    writeOrdersImportFiles(dir);
    const std::string doc = dir + "/orders.xml", account = dir + "/bench.db",
                      out = dir + "/exported.xml", map = dir + "/map.xml";
    const std::string tool = QVXML_TOOL;

    std::printf("qvxml export vs qvxml import of the same records (median of %d pairs)\n", runs);
    std::printf("%-9s %8s %8s | %8s %8s %6s | %9s %9s | %s\n", "records", "in MB", "out MB",
                "export s", "import s", "ratio", "export MB", "import MB",
                "growth per decade (time)");
    std::fflush(stdout);
    int status = 0;
    double lastExport = 0, lastImport = 0;
    for (std::size_t records : sizes) {
        bench::OrdersShape shape;
        shape.records = records;
        const std::size_t bytes = bench::writeOrdersDocument(doc, shape);
        std::remove(account.c_str());
        const std::vector<std::string> importCommand = {tool, "import", "--account", account, map, doc};
        const std::vector<std::string> exportCommand = {tool, "export", "--account", account, map, "-o", out};
        bool ok = run({tool, "dict", "--account", account, "ORDERS", dir + "/ORDERS.dict"}).ok &&
                  run({tool, "dict", "--account", account, "ORDER_LINES", dir + "/ORDER_LINES.dict"}).ok &&
                  run(importCommand).ok && run(exportCommand).ok;
        if (!ok) {
            std::fprintf(stderr, "%zu records: the import or the export failed\n", records);
            status = 1;
            continue;
        }
        // The input is laid out by hand: the peer pretty printer lays it out alike.
        const std::string formatted = dir + "/formatted.xml";
        run({"xmllint", "--format", doc, "-o", formatted});
        const std::string expected = blocksSorted(normalised(slurp(formatted)));
        std::remove(formatted.c_str());
        if (blocksSorted(normalised(slurp(out))) != expected) {
            std::fprintf(stderr, "%zu records: the exported document differs from the imported one (%s, %s)\n",
                         records, out.c_str(), doc.c_str());
            return 1;
        }
        std::vector<double> exportTimes, importTimes, exportPeaks, importPeaks;
        for (int i = 0; i < runs; ++i) {
            // The import again over the stored records: every record joins its own.
            const Run e = run(exportCommand), in = run(importCommand);
            exportTimes.push_back(e.seconds);
            importTimes.push_back(in.seconds);
            exportPeaks.push_back(e.peakMb);
            importPeaks.push_back(in.peakMb);
        }
        std::ifstream sized(out, std::ios::binary | std::ios::ate);
        const double outMb = double(sized.tellg()) / 1e6;
        const double te = median(exportTimes), ti = median(importTimes);
        char growth[64] = "";
        if (lastExport > 0)
            std::snprintf(growth, sizeof growth, "export %.1fx, import %.1fx", te / lastExport,
                          ti / lastImport);
        std::printf("%-9zu %8.1f %8.1f | %8.2f %8.2f %5.2fx | %9.0f %9.0f | %s\n", records,
                    double(bytes) / 1e6, outMb, te, ti, te / ti, median(exportPeaks),
                    median(importPeaks), growth);
        std::fflush(stdout);
        lastExport = te;
        lastImport = ti;
    }
    for (const std::string& f : {doc, account, out, map, dir + "/ORDERS.dict", dir + "/ORDER_LINES.dict"})
        std::remove(f.c_str());
    rmdir(dir.c_str());
    return status;
}
