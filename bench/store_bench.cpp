// `qvxml import` of orders documents into a fresh account: the library's part (parse,
// mapping walk, reading every record) against the storing (SQLite, one transaction),
// as the tool itself reports them, then the same document imported again over the
// stored records (every record joined with the stored one).
//
//   store_bench [records ...]     default: 1000000
//
// Documents and accounts are made in a scratch folder under /tmp and removed.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "host/reference_host.h"
#include "measure.h"
#include "orders_gen.h"

#ifndef QVXML_TOOL
#error "QVXML_TOOL names the qvxml binary"
#endif

namespace {

struct Figures {
    bool ok = false;
    double total = 0, library = 0, storing = 0;
};

// Runs a shell command; its stderr comes back as text.
bool run(const std::string& command, std::string& stderrText) {
    std::FILE* p = popen((command + " 2>&1 >/dev/null").c_str(), "r");
    if (!p) return false;
    char buffer[4096];
    stderrText.clear();
    while (std::fgets(buffer, sizeof buffer, p)) stderrText += buffer;
    return pclose(p) == 0;
}

// The figures of the tool's summary line "... in T s ... (library L s, storing S s)".
Figures parseSummary(const std::string& line) {
    Figures f;
    const std::size_t in = line.find(" in ");
    const std::size_t lib = line.find("(library ");
    const std::size_t sto = line.find(", storing ");
    if (in == std::string::npos || lib == std::string::npos || sto == std::string::npos) return f;
    f.total = std::atof(line.c_str() + in + 4);
    f.library = std::atof(line.c_str() + lib + 9);
    f.storing = std::atof(line.c_str() + sto + 10);
    f.ok = true;
    return f;
}

long fileKb(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 ? long(st.st_size / 1024) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::size_t> sizes = bench::sizesFrom(argc, argv, {1000000});

    char scratch[] = "/tmp/qvxml_store_benchXXXXXX";
    if (!mkdtemp(scratch)) return 1;
    const std::string dir = scratch;
    bench::writeOrdersImportFiles(dir);

    std::printf("%-9s %8s | %-34s | %-34s | %9s\n", "records", "doc MB",
                "first import: library  storing  x", "second import: library storing x",
                "account MB");
    int status = 0;
    for (std::size_t records : sizes) {
        const std::string doc = dir + "/orders.xml", account = dir + "/bench.db";
        bench::OrdersShape shape;
        shape.records = records;
        const std::size_t bytes = bench::writeOrdersDocument(doc, shape);
        std::remove(account.c_str());
        const std::string tool = std::string(QVXML_TOOL) + " ";
        const std::string acc = " --account " + account + " ";
        std::string err;
        bool ok = run(tool + "dict" + acc + "ORDERS " + dir + "/ORDERS.dict", err) &&
                  run(tool + "dict" + acc + "ORDER_LINES " + dir + "/ORDER_LINES.dict", err);
        Figures first, second;
        if (ok && run(tool + "import" + acc + dir + "/map.xml " + doc, err)) first = parseSummary(err);
        if (first.ok && run(tool + "import" + acc + dir + "/map.xml " + doc, err)) second = parseSummary(err);
        if (!first.ok || !second.ok) {
            std::fprintf(stderr, "import failed: %s", err.c_str());
            status = 1;
            continue;
        }
        std::printf("%-9zu %8.1f | %9.2f s %7.2f s %5.2fx        | %9.2f s %6.2f s %5.2fx       | %9.1f\n",
                    records, double(bytes) / 1e6, first.library, first.storing,
                    first.storing / first.library, second.library, second.storing,
                    second.storing / second.library, double(fileKb(account)) / 1024);
        std::remove(doc.c_str());
        std::remove(account.c_str());
    }
    for (const char* f : {"/ORDERS.dict", "/ORDER_LINES.dict", "/map.xml"}) std::remove((dir + f).c_str());
    rmdir(dir.c_str());
    return status;
}
