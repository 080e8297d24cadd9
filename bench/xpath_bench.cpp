// XPath and XSLT figures on a generated orders document: the view is built once
// per document, then each query pays only for its own evaluation.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qvxml.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// `orders` orders of three lines each.
std::string ordersDocument(int orders) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ORDERS>\n";
    char buffer[512];
    for (int i = 0; i < orders; ++i) {
        std::snprintf(buffer, sizeof buffer,
                      "<ORDER id=\"O%06d\"><CUSTOMER>C%05d</CUSTOMER><DATE>2024-%02d-%02d</DATE>"
                      "<LINES>",
                      i, i % 50000, i % 12 + 1, i % 28 + 1);
        xml += buffer;
        for (int l = 0; l < 3; ++l) {
            std::snprintf(buffer, sizeof buffer,
                          "<LINE id=\"L%d\"><QTY>%d</QTY><SKU>S%05d</SKU></LINE>", l + 1,
                          (i + l) % 9 + 1, (i * 7 + l) % 100000);
            xml += buffer;
        }
        xml += "</LINES></ORDER>\n";
    }
    xml += "</ORDERS>\n";
    return xml;
}

const char kIdentity[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:template match='@*|node()'><xsl:copy><xsl:apply-templates select='@*|node()'/>"
    "</xsl:copy></xsl:template></xsl:stylesheet>";

bool check(const void* result, const char* what) {
    if (result) return true;
    std::printf("%s failed: %s\n", what, Q_XMLGetErrMsg());
    return false;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int kOrders = 100000;
    // Xalan interns every attribute value and text it reads in a string pool of a
    // fixed 101 buckets: a query touching every order costs seconds on this
    // document, so the default count keeps the run short (QV_BENCH_QUERIES=1000).
    const char* queries = std::getenv("QV_BENCH_QUERIES");
    const int kQueries = queries ? std::atoi(queries) : 20;
    std::string xml = ordersDocument(kOrders);
    std::printf("document: %d orders, %.1f MB\n", kOrders, xml.size() / 1e6);

    Clock::time_point start = Clock::now();
    QvHandle doc = QV_XDOMOpen(xml.c_str(), 1);
    if (!check(doc, "open")) return 1;
    QV_XDOMGetNodeType(doc);  // the first DOM use builds the DOM
    std::printf("parse (open and DOM):           %8.3f s\n", secondsSince(start));

    start = Clock::now();
    const char* count = QV_XDOMEvaluate(doc, "count(/ORDERS/ORDER)", nullptr);
    if (!check(count, "first query")) return 1;
    std::printf("first query (builds the view):  %8.3f s  (%s orders)\n", secondsSince(start), count);

    // A selective query: the lines of one order found by its id, a different
    // order each time.
    start = Clock::now();
    char expression[128];
    for (int i = 0; i < kQueries; ++i) {
        std::snprintf(expression, sizeof expression,
                      "count(/ORDERS/ORDER[@id='O%06d']/LINES/LINE)", (i * 97) % kOrders);
        if (!check(QV_XDOMEvaluate(doc, expression, nullptr), "query")) return 1;
    }
    double total = secondsSince(start);
    std::printf("%4d selective queries:        %8.3f s  (%.3f ms per call)\n", kQueries, total,
                total * 1e3 / kQueries);

    for (const char* all : {"count(//LINE)", "count(/descendant::LINE)"}) {
        const int runs = 1;
        start = Clock::now();
        const char* lines = nullptr;
        for (int i = 0; i < runs; ++i) lines = QV_XDOMEvaluate(doc, all, nullptr);
        if (!check(lines, all)) return 1;
        std::printf("%-31s %8.3f ms per call  (%s lines)\n", all,
                    secondsSince(start) * 1e3 / runs, lines);
    }

    start = Clock::now();
    const void* text = QV_XDOMTransform(doc, kIdentity, 1, QV_RESULT_TEXT, nullptr);
    if (!check(text, "transform to text")) return 1;
    std::printf("identity transform to text:     %8.3f s  (%.1f MB)\n", secondsSince(start),
                std::string(static_cast<const char*>(text)).size() / 1e6);

    start = Clock::now();
    QvHandle result = static_cast<QvHandle>(QV_XDOMTransform(doc, kIdentity, 1, QV_RESULT_DOM, nullptr));
    if (!check(result, "transform to DOM")) return 1;
    std::printf("identity transform to a DOM:    %8.3f s\n", secondsSince(start));

    start = Clock::now();
    const char* copied = QV_XDOMEvaluate(result, "count(//LINE)", nullptr);
    if (!check(copied, "query on the result")) return 1;
    std::printf("first query on the result:      %8.3f s  (%s lines)\n", secondsSince(start), copied);

    QV_XDOMClose(result);
    QV_XDOMClose(doc);
    return 0;
}
