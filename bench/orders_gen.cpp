#include "orders_gen.h"

#include <cstdio>
#include <fstream>
#include <functional>

#include "host/reference_host.h"

namespace bench {
namespace {

// Emits the document piece by piece, so a large one never sits in memory whole.
void generate(const OrdersShape& shape, const std::function<void(const char*, int)>& put) {
    char buf[512];
    auto emit = [&](int n) { put(buf, n); };
    const int lines = shape.linesPerOrder < 0 ? 0 : shape.linesPerOrder;
    const std::size_t orders = ordersFor(shape);
    emit(std::snprintf(buf, sizeof buf, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ORDERS%s>\n",
                       shape.namespaces ? " xmlns=\"urn:example:orders\"" : ""));
    static const char* const kStatus[] = {"open", "paid", "shipped", "closed"};
    std::size_t line = 0;
    for (std::size_t o = 0; o < orders; ++o) {
        const int day = static_cast<int>(o % 28) + 1, month = static_cast<int>(o / 28 % 12) + 1;
        emit(std::snprintf(buf, sizeof buf,
                           "  <ORDER id=\"O%zu\" cust=\"C%05zu\" status=\"%s\">\n"
                           "    <DATE>2026-%02d-%02d</DATE>\n    <LINES>\n",
                           o + 1, (o * 7919) % 100000, kStatus[o % 4], month, day));
        for (int l = 0; l < lines; ++l, ++line) {
            emit(std::snprintf(buf, sizeof buf,
                               "      <LINE id=\"L%zu\"><SKU>SKU-%06zu</SKU><QTY>%d</QTY>"
                               "<PRICE>%zu.%02zu</PRICE></LINE>\n",
                               line + 1, (line * 104729) % 1000000, l + 1, line % 500,
                               line % 100));
        }
        emit(std::snprintf(buf, sizeof buf, "    </LINES>\n  </ORDER>\n"));
    }
    emit(std::snprintf(buf, sizeof buf, "</ORDERS>\n"));
}

}  // namespace

std::size_t ordersFor(const OrdersShape& shape) {
    const std::size_t perOrder = 1 + static_cast<std::size_t>(shape.linesPerOrder < 0 ? 0 : shape.linesPerOrder);
    return shape.records / perOrder;
}

std::size_t writeOrdersDocument(const std::string& path, const OrdersShape& shape) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::size_t bytes = 0;
    bool ok = true;
    generate(shape, [&](const char* p, int n) {
        if (n > 0 && std::fwrite(p, 1, static_cast<std::size_t>(n), f) != static_cast<std::size_t>(n))
            ok = false;
        bytes += static_cast<std::size_t>(n);
    });
    if (std::fclose(f) != 0) ok = false;
    return ok ? bytes : 0;
}

std::string ordersDocument(const OrdersShape& shape) {
    std::string out;
    generate(shape, [&](const char* p, int n) { out.append(p, static_cast<std::size_t>(n)); });
    return out;
}

std::string ordersMapping(bool namespaces) {
    const char* p = namespaces ? "o:" : "";
    std::string m = "<QVXMAP>\n  <OPTIONS>\n";
    if (namespaces) m += "    <NameSpace Prefix=\"o\" URI=\"urn:example:orders\"/>\n";
    m += "    <DateFormat Format=\"XMLFormat\"/>\n  </OPTIONS>\n";
    m += std::string("  <TABLECLASSMAP MapName=\"ORDERS_MAP\" TableName=\"ORDERS\" StartNode=\"/") +
         p + "ORDERS/" + p + "ORDER\">\n" +
         "    <ColumnMap Column=\"ID\" Node=\"@id\"/>\n"
         "    <ColumnMap Column=\"CUSTNO\" Node=\"@cust\"/>\n"
         "    <ColumnMap Column=\"STATUS\" Node=\"@status\"/>\n"
         "    <ColumnMap Column=\"ORDER_DATE\" Node=\"" + p + "DATE\"/>\n"
         "    <ColumnMap Column=\"LINE_IDS\" Node=\"" + p + "LINES/" + p + "LINE,@id\"/>\n"
         "    <TableMap MapName=\"LINES_MAP\" Node=\"" + p + "LINES/" + p + "LINE\"/>\n"
         "  </TABLECLASSMAP>\n" +
         "  <TABLECLASSMAP MapName=\"LINES_MAP\" TableName=\"ORDER_LINES\" StartNode=\"" + p +
         "LINES/" + p + "LINE\">\n" +
         "    <ColumnMap Column=\"ID\" Node=\"@id\"/>\n"
         "    <ColumnMap Column=\"SKU\" Node=\"" + p + "SKU\"/>\n"
         "    <ColumnMap Column=\"QTY\" Node=\"" + p + "QTY\"/>\n"
         "    <ColumnMap Column=\"PRICE\" Node=\"" + p + "PRICE\"/>\n"
         "  </TABLECLASSMAP>\n"
         "  <RelatedTable>\n"
         "    <MapParentKey TableName=\"ORDERS\" Column=\"LINE_IDS\" KeyGenerate=\"NO\"/>\n"
         "    <MapChildKey TableName=\"ORDER_LINES\" Column=\"ORDER_ID\"/>\n"
         "  </RelatedTable>\n</QVXMAP>\n";
    return m;
}

void addOrdersDictionaries(qvhost::ReferenceHost& host) {
    host.dictionary("ORDERS")
        .add("ID", 0)
        .add("CUSTNO", 1)
        .add("STATUS", 2)
        .add("ORDER_DATE", 3, false, "D2/")
        .add("LINE_IDS", 4, true);
    host.dictionary("ORDER_LINES")
        .add("ID", 0)
        .add("ORDER_ID", 1)
        .add("SKU", 2)
        .add("QTY", 3)
        .add("PRICE", 4, false, "MD2");
}

void writeOrdersImportFiles(const std::string& dir) {
    qvhost::ReferenceHost host;
    addOrdersDictionaries(host);
    for (const char* file : {"ORDERS", "ORDER_LINES"}) {
        std::string text;
        for (const qvhost::Column& c : host.findDictionary(file)->columns())
            text += c.name + " " + std::to_string(c.result) + (c.multivalued ? " M " : " S ") +
                    c.code + "\n";
        std::ofstream(dir + "/" + file + ".dict") << text;
    }
    std::ofstream(dir + "/map.xml") << ordersMapping(false);
}

}  // namespace bench
