// Reading orders documents into records: the parse alone against the mapping walk
// (QV_XMAPOpen) and the reading of every record, with Cascade off and on, and the
// peak resident memory of each.
//
//   read_bench [--namespaces] [records ...]     default: 10000 100000 1000000
//
// Every measurement runs in a child process of its own, so each peak is that of one
// job. Documents are written to /tmp and removed afterwards.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/reference_host.h"
#include "measure.h"
#include "orders_gen.h"
#include "qvxml.h"

namespace {

struct Figures {
    int ok = 0;
    double parse = 0;    // QV_XDOMOpen of the document, seconds
    double walk = 0;     // QV_XMAPOpen: the walk and every record built and queued
    double read = 0;     // QV_XMAPReadNext over every record
    long peakKb = 0;     // peak resident set of the child
    size_t records = 0;  // records handed out
    size_t bytes = 0;    // their bytes, NUL included
};

using bench::inChild;
using bench::median;
using bench::peakKb;
using bench::seconds;

// The parse of what a mapping job needs: the document (timed) and the mapping.
Figures parseOnly(const std::string& path, bool namespaces) {
    Figures f;
    auto t0 = std::chrono::steady_clock::now();
    QvHandle doc = QV_XDOMOpen(path.c_str(), 0);
    f.parse = seconds(t0);
    std::string mapping = bench::ordersMapping(namespaces);
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    f.peakKb = peakKb();
    f.ok = doc && map;
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
    return f;
}

Figures mapAndRead(const std::string& path, bool namespaces, bool cascade) {
    Figures f;
    qvhost::ReferenceHost host;
    bench::addOrdersDictionaries(host);
    QvHostEncoding utf8{};
    std::strcpy(utf8.base, "UTF-8");
    host.setEncoding(utf8);
    host.install();

    auto t0 = std::chrono::steady_clock::now();
    QvHandle doc = QV_XDOMOpen(path.c_str(), 0);
    f.parse = seconds(t0);
    std::string mapping = bench::ordersMapping(namespaces);
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    if (!doc || !map) return f;

    char* root = nullptr;
    t0 = std::chrono::steady_clock::now();
    QvDataset ds = QV_XMAPOpen(doc, map, &root, '\xFE', '\xFD', '\xFC', '\x7F', QV_XMAP_READ);
    f.walk = seconds(t0);
    if (!ds) return f;
    QV_XMAPSetOption(ds, QV_XMAP_OPT_CASCADE, cascade ? 1 : 0);

    t0 = std::chrono::steady_clock::now();
    char* record = nullptr;
    auto take = [&] {
        ++f.records;
        f.bytes += std::strlen(record) + 1;
    };
    if (cascade) {
        while (QV_XMAPReadNext(ds, "ORDERS", &record) == 0) {
            take();
            while (QV_XMAPReadNext(ds, "ORDER_LINES", &record) == 0) take();
        }
    } else {
        while (QV_XMAPReadNext(ds, "ORDERS", &record) == 0) take();
        while (QV_XMAPReadNext(ds, "ORDER_LINES", &record) == 0) take();
    }
    f.read = seconds(t0);
    f.peakKb = peakKb();
    f.ok = Q_XMLGetErrCode() == 0;
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
    return f;
}


struct Row {
    size_t records = 0;
    double docMb = 0;
    Figures parse, off, on;
};

}  // namespace

int main(int argc, char** argv) {
    bool namespaces = false;
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--namespaces") == 0)
            namespaces = true;
        else
            sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    }
    if (sizes.empty()) sizes = {10000, 100000, 1000000};

    std::printf("orders documents, %s; %d lines per order; medians of 3 runs below 10^6 records\n",
                namespaces ? "with namespaces" : "no namespaces", bench::OrdersShape{}.linesPerOrder);
    std::printf("%9s %7s | %8s %8s %6s %8s | %8s %8s | %8s %8s %8s %6s\n", "records", "doc MB",
                "parse s", "walk s", "w/p", "read s", "walk s", "read s", "parse MB", "map MB",
                "queue MB", "ok");
    std::printf("%9s %7s | %8s %8s %6s %8s | %8s %8s |\n", "", "", "", "cascade off", "", "",
                "cascade on", "");
    std::vector<Row> rows;
    for (size_t n : sizes) {
        bench::OrdersShape shape;
        shape.records = n;
        shape.namespaces = namespaces;
        const std::string path = "/tmp/qvxml_bench_orders_" + std::to_string(n) + ".xml";
        Row row;
        row.records = n;
        row.docMb = static_cast<double>(bench::writeOrdersDocument(path, shape)) / 1e6;
        if (row.docMb == 0) {
            std::printf("cannot write %s\n", path.c_str());
            return 1;
        }
        const int reps = n < 1000000 ? 3 : 1;
        std::vector<Figures> parses, offs, ons;
        for (int r = 0; r < reps; ++r) {
            parses.push_back(inChild<Figures>([&] { return parseOnly(path, namespaces); }));
            offs.push_back(inChild<Figures>([&] { return mapAndRead(path, namespaces, false); }));
            ons.push_back(inChild<Figures>([&] { return mapAndRead(path, namespaces, true); }));
        }
        std::remove(path.c_str());
        row.parse = median(parses, &Figures::parse);
        row.off = median(offs, &Figures::walk);
        row.on = median(ons, &Figures::walk);
        const bool ok = row.parse.ok && row.off.ok && row.on.ok &&
                        row.off.records == row.on.records && row.off.bytes == row.on.bytes;
        std::printf("%9zu %7.1f | %8.3f %8.3f %6.2f %8.3f | %8.3f %8.3f | %8.1f %8.1f %8.1f %6s\n",
                    row.off.records, row.docMb, row.parse.parse, row.off.walk,
                    row.off.walk / row.parse.parse, row.off.read, row.on.walk, row.on.read,
                    row.parse.peakKb / 1024.0, std::max(row.off.peakKb, row.on.peakKb) / 1024.0,
                    row.off.bytes / 1048576.0, ok ? "yes" : "NO");
        std::fflush(stdout);
        rows.push_back(row);
    }

    std::printf("\ngoals\n");
    for (const Row& r : rows) {
        const double limit = r.parse.peakKb / 1024.0 + 2 * r.off.bytes / 1048576.0;
        const double peak = std::max(r.off.peakKb, r.on.peakKb) / 1024.0;
        std::printf("  %9zu records: walk+build %.2fx parse (goal <= 0.5); peak %.1f MB, "
                    "parse peak + 2x queued %.1f MB (%s)\n",
                    r.off.records, r.off.walk / r.parse.parse, peak, limit,
                    peak <= limit ? "within" : "OVER");
    }
    for (size_t i = 1; i < rows.size(); ++i) {
        const Row& a = rows[i - 1];
        const Row& b = rows[i];
        const double k = static_cast<double>(b.off.records) / static_cast<double>(a.off.records);
        std::printf("  %zu -> %zu records (x%.0f): walk+read x%.2f cascade off, x%.2f cascade on "
                    "(goal <= x%.1f)\n",
                    a.off.records, b.off.records, k,
                    (b.off.walk + b.off.read) / (a.off.walk + a.off.read),
                    (b.on.walk + b.on.read) / (a.on.walk + a.on.read), 1.1 * k);
    }
    return 0;
}
