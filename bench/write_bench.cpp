// Writing records into a document: QV_XMAPWriteNext of every record (queued by
// keys and by an order column), QV_XMAPToDOM (the build), QV_XDOMWrite to memory,
// and, as the yardstick, QV_XDOMOpen parsing the text that came out.
//
//   write_bench [records ...]     default: 10000 100000 1000000
//   write_bench --values N        one order whose multivalued field holds N values
//   write_bench --shared-key N    N orders sharing one order number, a line after each
//   write_bench --shared-customer N  N orders of one customer, a line keyed to the
//                                 order number and the customer after each
//
// One parent table (orders, with a multivalued column of tags) and one child table
// (lines, ten per order, keyed to their order, ordered by a sequence column and
// pushed in descending sequence, so every line but the first of an order is placed
// before the ones already queued). Every measurement runs in a child process of its
// own, so each peak is that of one job.

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
#include "qvxml.h"

namespace {

constexpr int kLinesPerOrder = 10;
constexpr char kField = '\xFE';
constexpr char kValue = '\xFD';
constexpr char kSubvalue = '\xFC';
constexpr char kNull = '\x7F';

const char* const kMapping = R"map(<QVXMAP>
  <TABLECLASSMAP MapName="ORDERS" TableName="ORDERS" StartNode="/ORDERS/ORDER">
    <ColumnMap Column="ORDERNO" Node="@no"/>
    <ColumnMap Column="CUST" Node="CUSTOMER"/>
    <ColumnMap Column="TAGS" Node="TAGS/TAG,text()"/>
    <TableMap MapName="LINES" Node="LINE"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="LINES" TableName="LINES" StartNode="LINE">
    <ColumnMap Column="SEQ" Node="@seq"/>
    <ColumnMap Column="SKU" Node="@sku"/>
    <ColumnMap Column="QTY" Node="QTY"/>
    <OrderColumn Column="SEQ"/>
  </TABLECLASSMAP>
  <RelatedTable>
    <MapParentKey TableName="ORDERS" Column="ORDERNO" KeyGenerate="NO"/>
    <MapChildKey TableName="LINES" Column="ORDERREF"/>
  </RelatedTable>
</QVXMAP>)map";

// The same tables, the lines keyed to both the order number and the customer.
const char* const kTwoKeyMapping = R"map(<QVXMAP>
  <TABLECLASSMAP MapName="ORDERS" TableName="ORDERS" StartNode="/ORDERS/ORDER">
    <ColumnMap Column="ORDERNO" Node="@no"/>
    <ColumnMap Column="CUST" Node="CUSTOMER"/>
    <TableMap MapName="LINES" Node="LINE"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="LINES" TableName="LINES" StartNode="LINE">
    <ColumnMap Column="SEQ" Node="@seq"/>
    <ColumnMap Column="SKU" Node="@sku"/>
  </TABLECLASSMAP>
  <RelatedTable>
    <MapParentKey TableName="ORDERS" Column="ORDERNO" KeyGenerate="NO"/>
    <MapChildKey TableName="LINES" Column="ORDERREF"/>
  </RelatedTable>
  <RelatedTable>
    <MapParentKey TableName="ORDERS" Column="CUST" KeyGenerate="NO"/>
    <MapChildKey TableName="LINES" Column="CUSTREF"/>
  </RelatedTable>
</QVXMAP>)map";

struct Figures {
    int ok = 0;
    double writeNext = 0;  // every QV_XMAPWriteNext, seconds
    double toDom = 0;      // QV_XMAPToDOM
    double write = 0;      // QV_XDOMWrite to memory
    double parse = 0;      // QV_XDOMOpen of the written text (separate job)
    double dom = 0;        // and the build of its DOM, as the first DOM use makes it
    long peakKb = 0;
    size_t records = 0;
    size_t bytes = 0;  // of the written text
};

using bench::inChild;
using bench::median;
using bench::peakKb;
using bench::seconds;

void installHost(qvhost::ReferenceHost& host) {
    host.dictionary("ORDERS").add("ID", 0).add("ORDERNO", 1).add("CUST", 2).add("TAGS", 3, true);
    host.dictionary("LINES").add("ID", 0).add("ORDERREF", 1).add("SEQ", 2).add("SKU", 3).add("QTY", 4)
        .add("CUSTREF", 5);
    host.setMarks(kField, kValue, kSubvalue);
    QvHostEncoding utf8{};
    std::strcpy(utf8.base, "UTF-8");
    host.setEncoding(utf8);
    host.install();
}

// The records of `records` records (whole orders of one order and ten lines), in
// the order they are pushed.
struct Pushed {
    std::string table;
    std::string text;
};

std::vector<Pushed> makeRecords(size_t records) {
    const size_t orders = records / (kLinesPerOrder + 1);
    std::vector<Pushed> out;
    out.reserve(orders * (kLinesPerOrder + 1));
    const std::string fm(1, kField), vm(1, kValue);
    for (size_t o = 1; o <= orders; ++o) {
        const std::string no = std::to_string(o);
        out.push_back({"ORDERS", fm + no + fm + "Customer " + std::to_string(o % 997) + fm +
                                     "red" + vm + "green" + vm + "t" + no});
        for (int seq = kLinesPerOrder; seq >= 1; --seq)
            out.push_back({"LINES", fm + no + fm + std::to_string(seq) + fm + "SKU-" +
                                        std::to_string((o * 7 + static_cast<size_t>(seq)) % 10007) +
                                        fm + std::to_string(seq * 3)});
    }
    return out;
}

// The mapping opened for writing with the host's marks; null, and nothing left open,
// when it does not load.
QvDataset openForWriting(QvHandle& map, const char* mapping = kMapping) {
    map = QV_XDOMOpen(mapping, 1);
    QvDataset ds = map ? QV_XMAPOpen(nullptr, map, nullptr, kField, kValue, kSubvalue, kNull,
                                     XML_CREATE)
                       : nullptr;
    if (!ds && map) {
        QV_XDOMClose(map);
        map = nullptr;
    }
    return ds;
}

Figures writeJob(size_t records, std::string* text) {
    Figures f;
    qvhost::ReferenceHost host;
    installHost(host);
    const std::vector<Pushed> pushed = makeRecords(records);
    QvHandle map = nullptr;
    QvDataset ds = openForWriting(map);
    if (!ds) return f;

    auto t0 = std::chrono::steady_clock::now();
    int failed = 0;
    for (const Pushed& p : pushed)
        failed += QV_XMAPWriteNext(ds, p.table.c_str(), p.text.c_str(),
                                   static_cast<int>(p.text.size())) != 0;
    f.writeNext = seconds(t0);
    f.records = pushed.size();

    t0 = std::chrono::steady_clock::now();
    QvHandle doc = QV_XMAPToDOM(ds, nullptr);
    f.toDom = seconds(t0);

    QvDocSettings settings{};
    std::strcpy(settings.lineEnd, "LF");
    t0 = std::chrono::steady_clock::now();
    const char* written = doc ? QV_XDOMWrite(doc, &settings, nullptr) : nullptr;
    f.write = seconds(t0);
    if (written) {
        f.bytes = std::strlen(written);
        if (text) *text = written;
    }
    f.peakKb = peakKb();
    f.ok = failed == 0 && written && Q_XMLGetErrCode() == 0;
    QV_XDOMClose(doc);
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    return f;
}

// Parses the text written for `records` records; the writing is not timed here.
Figures parseJob(size_t records) {
    std::string text;
    Figures f = writeJob(records, &text);
    if (!f.ok) return f;
    auto t0 = std::chrono::steady_clock::now();
    QvHandle doc = QV_XDOMOpen(text.c_str(), 1);  // the compact form only
    f.parse = seconds(t0);
    f.ok = doc != nullptr && QV_XDOMGetNodeType(doc) == 9;
    f.dom = seconds(t0);
    QV_XDOMClose(doc);
    return f;
}

// One order whose TAGS field holds `values` values: the build walks the field once.
Figures wideFieldJob(size_t values) {
    Figures f;
    qvhost::ReferenceHost host;
    installHost(host);
    std::string record = std::string(1, kField) + "1" + kField + "Customer" + kField;
    for (size_t v = 0; v < values; ++v) {
        if (v) record += kValue;
        record += std::to_string(v % 10);
    }
    QvHandle map = nullptr;
    QvDataset ds = openForWriting(map);
    if (!ds) return f;
    auto t0 = std::chrono::steady_clock::now();
    const bool queued =
        QV_XMAPWriteNext(ds, "ORDERS", record.c_str(), static_cast<int>(record.size())) == 0;
    QvHandle doc = QV_XMAPToDOM(ds, nullptr);
    f.toDom = seconds(t0);
    const char* count = doc ? QV_XDOMEvaluate(doc, "count(/ORDERS/ORDER/TAGS/TAG)", nullptr) : nullptr;
    f.ok = queued && count && std::to_string(values) == count;
    f.bytes = record.size();
    f.peakKb = peakKb();
    QV_XDOMClose(doc);
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    return f;
}

// `orders` orders, each followed by a line keyed to it. With `sharedCustomer`, the
// orders have their own numbers and one customer, and the lines are keyed to both;
// else they all hold order number 1, and so do the lines. Either way every line
// could look for its parent among all the orders queued so far.
Figures sharedKeyJob(size_t orders, bool sharedCustomer) {
    Figures f;
    qvhost::ReferenceHost host;
    installHost(host);
    QvHandle map = nullptr;
    QvDataset ds = openForWriting(map, sharedCustomer ? kTwoKeyMapping : kMapping);
    if (!ds) return f;
    const std::string fm(1, kField);
    int failed = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (size_t o = 1; o <= orders; ++o) {
        const std::string no = sharedCustomer ? std::to_string(o) : "1";
        const std::string order = fm + no + fm + "Customer" + fm + "red";
        std::string line = fm + no + fm + std::to_string(o) + fm + "SKU" + fm + "1";
        if (sharedCustomer) line += fm + "Customer";
        failed += QV_XMAPWriteNext(ds, "ORDERS", order.c_str(), static_cast<int>(order.size())) != 0;
        failed += QV_XMAPWriteNext(ds, "LINES", line.c_str(), static_cast<int>(line.size())) != 0;
    }
    f.writeNext = seconds(t0);
    f.records = 2 * orders;
    QvHandle doc = QV_XMAPToDOM(ds, nullptr);
    const char* count =
        doc ? QV_XDOMEvaluate(doc, sharedCustomer ? "count(/ORDERS/ORDER[LINE/@seq = @no])"
                                                  : "count(/ORDERS/ORDER[1]/LINE)",
                              nullptr)
            : nullptr;
    f.ok = failed == 0 && count && std::to_string(orders) == count;
    f.peakKb = peakKb();
    QV_XDOMClose(doc);
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && (std::strcmp(argv[1], "--shared-key") == 0 ||
                      std::strcmp(argv[1], "--shared-customer") == 0)) {
        const bool customer = std::strcmp(argv[1], "--shared-customer") == 0;
        const size_t orders = std::strtoull(argv[2], nullptr, 10);
        const Figures f = inChild<Figures>([&] { return sharedKeyJob(orders, customer); });
        std::printf("%zu orders sharing %s, a line after each: WriteNext %.3f s, peak %.1f MB, "
                    "ok %s\n",
                    orders, customer ? "one customer" : "one key", f.writeNext,
                    f.peakKb / 1024.0, f.ok ? "yes" : "NO");
        return f.ok ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--values") == 0) {
        const size_t values = std::strtoull(argv[2], nullptr, 10);
        const Figures f = inChild<Figures>([&] { return wideFieldJob(values); });
        std::printf("one field of %zu values (%.1f MB): WriteNext + ToDOM %.3f s, peak %.1f MB, ok %s\n",
                    values, f.bytes / 1e6, f.toDom, f.peakKb / 1024.0, f.ok ? "yes" : "NO");
        return f.ok ? 0 : 1;
    }
    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {10000, 100000, 1000000};

    std::printf("writing orders: 1 order + %d lines keyed to it, lines in descending order-column "
                "order; medians of 3 runs below 10^6 records\n",
                kLinesPerOrder);
    std::printf("%9s %7s | %9s %8s %8s %8s | %8s %9s %8s %9s | %8s %4s\n", "records",
                "doc MB", "writenext", "todom s", "write s", "total s", "open s", "(wn+td)/o",
                "+dom s", "(wn+td)/d", "peak MB", "ok");
    struct Row {
        size_t records;
        double writeAndBuild;
    };
    std::vector<Row> rows;
    for (size_t n : sizes) {
        const int reps = n < 1000000 ? 3 : 1;
        std::vector<Figures> writes, parses;
        for (int r = 0; r < reps; ++r) {
            writes.push_back(inChild<Figures>([&] { return writeJob(n, nullptr); }));
            parses.push_back(inChild<Figures>([&] { return parseJob(n); }));
        }
        const Figures w = median(writes, &Figures::writeNext);
        const Figures p = median(parses, &Figures::parse);
        const double wb = w.writeNext + w.toDom;
        std::printf("%9zu %7.1f | %9.3f %8.3f %8.3f %8.3f | %8.3f %9.2f %8.3f %9.2f | %8.1f %4s\n",
                    w.records, w.bytes / 1e6, w.writeNext, w.toDom, w.write, wb + w.write,
                    p.parse, p.parse > 0 ? wb / p.parse : 0.0, p.dom,
                    p.dom > 0 ? wb / p.dom : 0.0, w.peakKb / 1024.0,
                    w.ok && p.ok && w.bytes == p.bytes ? "yes" : "NO");
        std::fflush(stdout);
        rows.push_back({w.records, wb});
    }
    std::printf("\ngoals: WriteNext + ToDOM at most the parse of the output (QV_XDOMOpen, which "
                "keeps the compact form; +dom: with the DOM built too); 10x records at most "
                "11x time\n");
    for (size_t i = 1; i < rows.size(); ++i) {
        const double records = static_cast<double>(rows[i].records) / rows[i - 1].records;
        std::printf("  %zu -> %zu records (x%.1f): WriteNext + ToDOM x%.2f\n", rows[i - 1].records,
                    rows[i].records, records, rows[i].writeAndBuild / rows[i - 1].writeAndBuild);
    }
    return 0;
}
