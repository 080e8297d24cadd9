// The import job (QV_XDOMOpen + QV_XMAPOpen + QV_XMAPReadNext to the end) on both
// roads a document can take: read from the compact form it is opened in, and read
// from the DOM (what a host gets when an export has needed the DOM before mapping).
// Each road prints the time of open, map and read and the peak resident memory of
// the whole job; the records of both roads are compared by a checksum. Then what a
// host that never maps pays (open + first DOM use against the DOM parse alone), and
// a small document imported many times against as many SAX2 scans of it.
//
//   import_bench [records ...]     default: 10000 100000 600000 1000000
//
// 600000 records are 150,000 orders with 450,000 lines (about 55 MB), the size of
// the orders document the import job was first timed on.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "host/reference_host.h"
#include "measure.h"
#include "orders_gen.h"
#include "qvxml.h"
#include "xdom/parsing/guarded_parser.h"
#include "xdom/parsing/parse_error_handler.h"
#include "frame/transcode.h"

using bench::inChild;
using bench::median;
using bench::peakKb;
using bench::seconds;

namespace {

struct Figures {
    int ok = 0;
    double open = 0;  // QV_XDOMOpen (on the DOM road with the first DOM use)
    double map = 0;   // QV_XMAPOpen: the walk, every record built and queued
    double read = 0;  // QV_XMAPReadNext over every record
    long peakKb = 0;
    size_t records = 0;
    unsigned long long checksum = 0;  // FNV-1a of every record in order
    double total = 0;  // open + map + read, the figure runs are ranked by
};

void installHost(qvhost::ReferenceHost& host) {
    bench::addOrdersDictionaries(host);
    QvHostEncoding utf8{};
    std::strcpy(utf8.base, "UTF-8");
    host.setEncoding(utf8);
    host.install();
}

// One import; `dom`: the DOM is built (by an export that needs it) before mapping.
Figures import(const char* source, int inMemory, QvHandle map, bool dom) {
    Figures f;
    auto t0 = std::chrono::steady_clock::now();
    QvHandle doc = QV_XDOMOpen(source, inMemory);
    if (doc && dom) QV_XDOMGetNodeType(doc);
    f.open = seconds(t0);
    if (!doc) return f;
    char* root = nullptr;
    t0 = std::chrono::steady_clock::now();
    QvDataset ds = QV_XMAPOpen(doc, map, &root, '\xFE', '\xFD', '\xFC', '\x7F', QV_XMAP_READ);
    f.map = seconds(t0);
    if (ds) {
        t0 = std::chrono::steady_clock::now();
        unsigned long long h = 1469598103934665603ull;
        char* record = nullptr;
        for (const char* table : {"ORDERS", "ORDER_LINES"}) {
            while (QV_XMAPReadNext(ds, table, &record) == 0) {
                ++f.records;
                for (const char* p = record; *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
                h = (h ^ 0xFFu) * 1099511628211ull;
            }
        }
        f.read = seconds(t0);
        f.checksum = h;
        f.ok = Q_XMLGetErrCode() == 0;
        QV_XMAPClose(ds);
    }
    QV_XDOMClose(doc);
    return f;
}

Figures importFile(const std::string& path, bool dom) {
    qvhost::ReferenceHost host;
    installHost(host);
    const std::string mapping = bench::ordersMapping(false);
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    Figures f = import(path.c_str(), 0, map, dom);
    f.peakKb = peakKb();
    QV_XDOMClose(map);
    return f;
}

// A SAX2 scan with no handlers of its own: the floor of any reading of the document.
struct Scanner {
    Scanner() {
        xercesc::XMLPlatformUtils::Initialize();
        reader.reset(xercesc::XMLReaderFactory::createXMLReader());
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
    }
    void scan(const xercesc::InputSource& input) { reader->parse(input); }
    std::unique_ptr<xercesc::SAX2XMLReader> reader;
    xercesc::DefaultHandler handler;
};

Figures saxScan(const std::string& path) {
    Figures f;
    Scanner s;
    qv::XmlText name = qv::fromLocalText(path.c_str());
    auto t0 = std::chrono::steady_clock::now();
    s.scan(xercesc::LocalFileInputSource(name.get()));
    f.open = seconds(t0);
    f.peakKb = peakKb();
    f.ok = 1;
    return f;
}

// What QV_XDOMOpen did before the compact form: the guarded DOM parse and normalize.
Figures domParse(const std::string& path) {
    Figures f;
    QV_XDOMClose(QV_XDOMOpen("<start/>", 1));  // the runtime
    qv::ParseErrorHandler handler;
    qv::GuardedParser parser(false);
    parser.setErrorHandler(&handler);
    qv::XmlText name = qv::fromLocalText(path.c_str());
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    auto t0 = std::chrono::steady_clock::now();
    parser.setInputSize(static_cast<std::size_t>(size));
    parser.parse(xercesc::LocalFileInputSource(name.get()));
    parser.getDocument()->normalize();
    f.open = seconds(t0);
    f.peakKb = peakKb();
    f.ok = handler.lastError() == 0;
    return f;
}

// Open + the first DOM use: what a host that never maps pays now.
Figures openAndFirstDomUse(const std::string& path) {
    Figures f;
    QV_XDOMClose(QV_XDOMOpen("<start/>", 1));
    auto t0 = std::chrono::steady_clock::now();
    QvHandle doc = QV_XDOMOpen(path.c_str(), 0);
    f.ok = doc && QV_XDOMGetNodeType(doc) == 9;
    f.open = seconds(t0);
    f.peakKb = peakKb();
    QV_XDOMClose(doc);
    return f;
}

template <class Job>
Figures medianOf(int runs, Job job, double Figures::*by) {
    std::vector<Figures> all;
    for (int r = 0; r < runs; ++r) {
        Figures f = inChild<Figures>(job);
        f.total = f.open + f.map + f.read;
        all.push_back(f);
    }
    return median(all, by);
}

double total(const Figures& f) { return f.total; }

// A small document imported `times` times in one process, against as many SAX2
// scans of it with one reader.
void manySmall(int times) {
    bench::OrdersShape shape;
    shape.records = 320;
    const std::string doc = bench::ordersDocument(shape);
    struct Pair {
        double import = 0, scan = 0;
        int ok = 0;
    };
    Pair p = inChild<Pair>([&] {
        Pair r;
        qvhost::ReferenceHost host;
        installHost(host);
        const std::string mapping = bench::ordersMapping(false);
        QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
        import(doc.c_str(), 1, map, false);  // the runtime and converters
        r.ok = 1;
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < times; ++i)
            if (!import(doc.c_str(), 1, map, false).ok) r.ok = 0;
        r.import = seconds(t0);
        QV_XDOMClose(map);
        Scanner s;
        const xercesc::MemBufInputSource input(reinterpret_cast<const XMLByte*>(doc.data()),
                                               doc.size(), "small");
        t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < times; ++i) s.scan(input);
        r.scan = seconds(t0);
        return r;
    });
    std::printf("\n%.1f KB document imported %d times: %.3f s; %d SAX2 scans of it: %.3f s; "
                "ratio %.2f (goal <= 2)%s\n",
                doc.size() / 1024.0, times, p.import, times, p.scan,
                p.scan > 0 ? p.import / p.scan : 0.0, p.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {10000, 100000, 600000, 1000000};

    std::printf("import of orders documents (3 lines per order), medians of 5 runs (3 from "
                "10^6 records); peak = whole job\n");
    std::printf("%9s %6s | %-33s | %-33s | %6s %7s %4s\n", "", "", "compact road (as opened)",
                "DOM road (DOM built before map)", "", "", "");
    std::printf("%9s %6s | %7s %7s %7s %8s | %7s %7s %7s %8s | %6s %7s %4s\n", "records",
                "doc MB", "open s", "map s", "read s", "peak MB", "open s", "map s", "read s",
                "peak MB", "speed", "memory", "same");
    struct Row {
        size_t records;
        Figures compact, dom, sax, parse, firstUse;
    };
    std::vector<Row> rows;
    for (size_t n : sizes) {
        bench::OrdersShape shape;
        shape.records = n;
        const std::string path = "/tmp/qvxml_import_" + std::to_string(n) + ".xml";
        const double mb = static_cast<double>(bench::writeOrdersDocument(path, shape)) / 1e6;
        if (mb == 0) {
            std::printf("cannot write %s\n", path.c_str());
            return 1;
        }
        Row row{n, {}, {}, {}, {}, {}};
        const int runs = n < 1000000 ? 5 : 3;
        row.compact = medianOf(runs, [&] { return importFile(path, false); }, &Figures::total);
        row.dom = medianOf(runs, [&] { return importFile(path, true); }, &Figures::total);
        row.sax = medianOf(runs, [&] { return saxScan(path); }, &Figures::total);
        row.parse = medianOf(runs, [&] { return domParse(path); }, &Figures::total);
        row.firstUse = medianOf(runs, [&] { return openAndFirstDomUse(path); }, &Figures::total);
        std::remove(path.c_str());
        const Figures& c = row.compact;
        const Figures& d = row.dom;
        const bool same = c.ok && d.ok && c.records == d.records && c.checksum == d.checksum;
        std::printf("%9zu %6.1f | %7.3f %7.3f %7.3f %8.1f | %7.3f %7.3f %7.3f %8.1f | %5.1fx "
                    "%6.1fx %4s\n",
                    c.records, mb, c.open, c.map, c.read, c.peakKb / 1024.0, d.open, d.map,
                    d.read, d.peakKb / 1024.0, total(d) / total(c),
                    static_cast<double>(d.peakKb) / static_cast<double>(c.peakKb),
                    same ? "yes" : "NO");
        std::fflush(stdout);
        rows.push_back(row);
    }

    std::printf("\nreference figures (s, MB)\n");
    std::printf("%9s | %8s %8s | %8s %8s | %8s %8s | %s\n", "records", "SAX2 s", "peak", "DOM s",
                "peak", "open+use", "peak", "open+first DOM use / DOM parse (goal <= 1.25)");
    for (const Row& r : rows)
        std::printf("%9zu | %8.3f %8.1f | %8.3f %8.1f | %8.3f %8.1f | %.2f\n", r.compact.records,
                    r.sax.open, r.sax.peakKb / 1024.0, r.parse.open, r.parse.peakKb / 1024.0,
                    r.firstUse.open, r.firstUse.peakKb / 1024.0, r.firstUse.open / r.parse.open);

    std::printf("\nlinearity of the compact road (goal: 10x records at most 11x time)\n");
    for (size_t i = 1; i < rows.size(); ++i) {
        const Row& a = rows[i - 1];
        const Row& b = rows[i];
        const double k = static_cast<double>(b.records) / static_cast<double>(a.records);
        std::printf("  %zu -> %zu records (x%.1f): time x%.2f (goal <= x%.1f)\n", a.records,
                    b.records, k, total(b.compact) / total(a.compact), 1.1 * k);
    }
    manySmall(10000);
    return 0;
}
