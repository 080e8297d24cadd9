// Parsing an orders document from memory into a handle with its DOM (open and the
// first DOM use), and writing it back.
// Prints the median of a few runs for each size.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "measure.h"
#include "qvxml.h"

namespace {

using bench::median;
using bench::seconds;

// About 200 bytes per order: attributes, a few children, two lines each.
std::string ordersDocument(int orders) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ORDERS>\n";
    s.reserve(static_cast<size_t>(orders) * 260 + 64);
    char buf[512];
    for (int i = 0; i < orders; ++i) {
        std::snprintf(buf, sizeof buf,
                      "<ORDER id=\"%d\"><CUSTOMER>C%05d</CUSTOMER><DATE>2024-01-%02d</DATE>"
                      "<LINES><LINE id=\"%d-1\"><QTY>%d</QTY><SKU>SKU-%d</SKU></LINE>"
                      "<LINE id=\"%d-2\"><QTY>%d</QTY><SKU>SKU-%d</SKU></LINE></LINES></ORDER>\n",
                      i, i % 99991, 1 + i % 28, i, 1 + i % 9, i % 1000, i, 2 + i % 7, (i * 7) % 1000);
        s += buf;
    }
    s += "</ORDERS>\n";
    return s;
}



}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    std::printf("%10s %9s %10s %10s %10s\n", "orders", "MiB", "parse s", "MiB/s", "write s");
    for (int orders : {10000, 100000, 250000}) {
        const std::string doc = ordersDocument(orders);
        std::vector<double> parse, write;
        for (int r = 0; r < runs; ++r) {
            auto t0 = std::chrono::steady_clock::now();
            QvHandle h = QV_XDOMOpen(doc.c_str(), 1);
            if (h) QV_XDOMGetNodeType(h);  // the first DOM use builds the DOM
            parse.push_back(seconds(t0));
            if (!h) {
                std::printf("parse failed: %s", Q_XMLGetErrMsg());
                return 1;
            }
            t0 = std::chrono::steady_clock::now();
            const char* text = QV_XDOMWrite(h, nullptr, nullptr);
            write.push_back(seconds(t0));
            if (!text) std::printf("write failed: %s", Q_XMLGetErrMsg());
            QV_XDOMClose(h);
        }
        const double mib = doc.size() / 1048576.0;
        std::printf("%10d %9.1f %10.3f %10.1f %10.3f\n", orders, mib, median(parse),
                    mib / median(parse), median(write));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS %ld MiB, minor faults %ld\n", usage.ru_maxrss / 1024, usage.ru_minflt);
    return 0;
}
