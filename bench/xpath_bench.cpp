// XPath and XSLT on generated orders documents, side by side with libxml2
// (Python lxml) and libxslt (xsltproc) where they are installed.
//
//   xpath_bench [records ...]     default: 10000 100000 1000000
//
// Per document: the open (QV_XDOMOpen: the compact form) and the build of the
// view (the first query: scanned from the document's bytes, no DOM);
// then each query of a fixed set with the view built (lxml: with the tree
// parsed), and two stylesheets: identity to text, and a shred of every order
// and every line to delimited text. The stylesheets are also timed as whole
// jobs (open + view + transform, against the whole xsltproc process, whose peak
// memory is shown beside this process's own). Times
// are the best of three runs for queries (up to five under 50 ms), and of one
// run for stylesheets (up to five under 50 ms).
// Documents are written to /tmp and removed afterwards.
//
// First, the command-line tool against the command-line peers, as whole processes
// on the same files in one sitting: `qvxml xpath FILE 'count(//LINE)'` against
// `xmllint --xpath`, and `qvxml transform FILE shred.xsl` against `xsltproc`. Each
// pair's outputs are compared (they must be equal, byte for byte) before it is
// timed; then the pair runs in turn five times, and the medians of wall time and
// peak resident memory are shown, with the growth of each time per tenfold
// records.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "measure.h"
#include "orders_gen.h"
#include "qvxml.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `work` `runs` times, and up to five times in all while it takes under
// 50 ms; the best time. False from `work` is a failure: a negative time.
template <typename Work>
double best(int runs, Work work) {
    double fastest = 1e30;
    for (int run = 0; run < 5; ++run) {
        Clock::time_point start = Clock::now();
        if (!work()) return -1;
        fastest = std::min(fastest, secondsSince(start));
        if (run + 1 >= runs && fastest >= 0.05) break;
    }
    return fastest;
}

const char kIdentity[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:template match='@*|node()'><xsl:copy><xsl:apply-templates select='@*|node()'/>"
    "</xsl:copy></xsl:template></xsl:stylesheet>";

// Every order (id, customer, date, its line ids as one field), then every line
// (order id, line id, quantity, sku).
const char kShred[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:output method='text'/>"
    "<xsl:template match='/'>"
    "<xsl:for-each select='/ORDERS/ORDER'>"
    "<xsl:value-of select='@id'/>|<xsl:value-of select='@cust'/>|<xsl:value-of select='DATE'/>|"
    "<xsl:for-each select='LINES/LINE'><xsl:value-of select='@id'/>"
    "<xsl:if test='position() != last()'>]</xsl:if></xsl:for-each>"
    "<xsl:text>&#10;</xsl:text></xsl:for-each>"
    "<xsl:for-each select='//LINE'>"
    "<xsl:value-of select='../../@id'/>|<xsl:value-of select='@id'/>|<xsl:value-of select='QTY'/>|"
    "<xsl:value-of select='SKU'/><xsl:text>&#10;</xsl:text></xsl:for-each>"
    "</xsl:template></xsl:stylesheet>";

// The query set: the whole-document queries first, then selective ones.
std::vector<std::string> queriesFor(std::size_t orders) {
    const std::string order = "O" + std::to_string(orders / 2 + 1);
    const std::string line = "L" + std::to_string(orders + 1);
    return {
        "count(/ORDERS/ORDER/LINES/LINE)",
        "count(//LINE)",
        "count(//*)",
        "sum(//LINE/QTY)",
        "count(//LINE/QTY)",
        "count(//ORDER[@status='paid'])",
        "count(/ORDERS/ORDER[DATE='2026-03-05'])",
        "count(//LINE[1])",
        "string(//ORDER[@id='" + order + "']/DATE)",
        "string(//LINE[@id='" + line + "']/SKU)",
        "count(/ORDERS/ORDER[@id='" + order + "']/LINES/LINE)",
    };
}

bool writeFile(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Output of a shell command, or "" when it fails.
std::string run(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        if (pclose(p) != 0) return "";
    }
    return out;
}

// A Python that has lxml, or "".
std::string pythonWithLxml() {
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        const std::string probe =
            std::string(python) + " -c 'import lxml.etree' >/dev/null 2>&1 && echo yes";
        if (run(probe) == "yes\n") return python;
    }
    return "";
}

bool haveXsltproc() { return run("command -v xsltproc >/dev/null 2>&1 && echo yes") == "yes\n"; }

// lxml's times for the queries, by query (parse not included), and its parse
// time under the key "parse".
std::map<std::string, double> lxmlTimes(const std::string& python, const std::string& document,
                                        const std::vector<std::string>& queries) {
    std::string script =
        "import sys, time\n"
        "from lxml import etree\n"
        "t = time.perf_counter(); tree = etree.parse(sys.argv[1]); "
        "print('parse\\t%f' % (time.perf_counter() - t))\n"
        "for q in sys.stdin.read().split('\\n'):\n"
        "    if not q: continue\n"
        "    best = 1e30\n"
        "    for run in range(5):\n"
        "        t = time.perf_counter(); tree.xpath(q); best = min(best, time.perf_counter() - t)\n"
        "        if run >= 2 and best >= 0.05: break\n"
        "    print('%s\\t%f' % (q, best))\n";
    const std::string scriptPath = "/tmp/qvxml_xpath_bench.py", queryPath = "/tmp/qvxml_xpath_bench.txt";
    std::string queryText;
    for (const std::string& q : queries) queryText += q + "\n";
    std::map<std::string, double> times;
    if (!writeFile(scriptPath, script) || !writeFile(queryPath, queryText)) return times;
    const std::string out = run(python + " " + scriptPath + " " + document + " < " + queryPath);
    for (std::size_t at = 0; at < out.size();) {
        std::size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string lineText = out.substr(at, end - at);
        const std::size_t tab = lineText.rfind('\t');
        if (tab != std::string::npos) times[lineText.substr(0, tab)] = std::atof(lineText.c_str() + tab + 1);
        at = end + 1;
    }
    std::remove(scriptPath.c_str());
    std::remove(queryPath.c_str());
    return times;
}

// The whole xsltproc process on the document: wall seconds (negative on
// failure) and its peak resident memory.
struct ProcessFigures {
    double seconds = -1;
    long peakKb = 0;
};

ProcessFigures xsltprocRun(const std::string& stylesheet, const std::string& document) {
    ProcessFigures figures;
    const std::string path = "/tmp/qvxml_xpath_bench.xsl";
    if (!writeFile(path, stylesheet)) return figures;
    Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        execlp("xsltproc", "xsltproc", path.c_str(), document.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status) &&
        WEXITSTATUS(status) == 0) {
        figures.seconds = secondsSince(start);
        figures.peakKb = usage.ru_maxrss;
    }
    std::remove(path.c_str());
    return figures;
}

// A whole process: its wall time (median of runs), its peak resident memory
// (median) and its standard output (of the first run). Negative seconds: it failed.
struct ToolRun {
    double seconds = -1;
    long peakKb = 0;
    std::string out;
};

// Runs argv once with standard output to `outPath`.
bool runOnce(const std::vector<std::string>& argv, const std::string& outPath, double& seconds,
             long& peakKb) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!std::freopen(outPath.c_str(), "w", stdout)) _exit(127);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child <= 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    seconds = secondsSince(start);
    peakKb = usage.ru_maxrss;
    return true;
}

std::string readFile(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

template <class T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T() : values[values.size() / 2];
}

// Ours and the peer's, in turn, `runs` times each.
void runPair(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
             int runs, ToolRun& a, ToolRun& b) {
    const std::string outA = "/tmp/qvxml_xpath_bench_ours.out";
    const std::string outB = "/tmp/qvxml_xpath_bench_peer.out";
    std::vector<double> secondsA, secondsB;
    std::vector<long> peakA, peakB;
    for (int run = 0; run < runs; ++run) {
        double t;
        long kb;
        if (runOnce(ours, outA, t, kb)) secondsA.push_back(t), peakA.push_back(kb);
        if (run == 0) a.out = readFile(outA);
        if (runOnce(theirs, outB, t, kb)) secondsB.push_back(t), peakB.push_back(kb);
        if (run == 0) b.out = readFile(outB);
    }
    if (secondsA.size() == static_cast<std::size_t>(runs))
        a.seconds = median(secondsA), a.peakKb = median(peakA);
    if (secondsB.size() == static_cast<std::size_t>(runs))
        b.seconds = median(secondsB), b.peakKb = median(peakB);
    std::remove(outA.c_str());
    std::remove(outB.c_str());
}

long ownPeakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void row(const char* work, double ours, double theirs, const char* note = "") {
    std::printf("  %-52s %9.3f s", work, ours);
    if (theirs > 0)
        std::printf("  %9.3f s  %7.1fx", theirs, ours / theirs);
    else
        std::printf("  %11s  %8s", "-", "-");
    std::printf("  %s\n", note);
}

struct Sheet {
    const char* name;
    const char* text;
};
const Sheet kSheets[] = {{"identity", kIdentity}, {"shred", kShred}};

// One document and what the peers did with it. The peers run before this
// process opens any document: a child forked from a large process would count
// the parent's pages in its own peak.
struct Document {
    std::size_t records = 0, orders = 0, bytes = 0;
    std::string path;
    std::vector<std::string> queries;
    std::map<std::string, double> lxml;  // by query, and "parse"
    ProcessFigures xsltproc[2];          // by stylesheet
};

bool prepare(Document& d, const std::string& python, bool xsltproc) {
    bench::OrdersShape shape;
    shape.records = d.records;
    d.path = "/tmp/qvxml_xpath_bench_" + std::to_string(d.records) + ".xml";
    d.bytes = bench::writeOrdersDocument(d.path, shape);
    if (d.bytes == 0) {
        std::printf("cannot write %s\n", d.path.c_str());
        return false;
    }
    d.orders = bench::ordersFor(shape);
    d.queries = queriesFor(d.orders);
    if (!python.empty()) d.lxml = lxmlTimes(python, d.path, d.queries);
    if (xsltproc)
        for (int i = 0; i < 2; ++i) d.xsltproc[i] = xsltprocRun(kSheets[i].text, d.path);
    return true;
}

// The tool rows of every document, then the growth of each time per tenfold records.
int benchTools(const std::vector<Document>& documents, bool xsltproc) {
#ifndef QVXML_TOOL
    (void)documents;
    (void)xsltproc;
    return 0;
#else
    const bool xmllint = run("command -v xmllint >/dev/null 2>&1 && echo yes") == "yes\n";
    const std::string sheet = "/tmp/qvxml_xpath_bench_shred.xsl";
    if (!writeFile(sheet, kShred)) return 1;
    struct Job {
        const char* name;
        bool peer;
        std::vector<std::string> (*ours)(const std::string&, const std::string&);
        std::vector<std::string> (*theirs)(const std::string&, const std::string&);
    };
    const Job jobs[] = {
        {"qvxml xpath 'count(//LINE)' | xmllint --xpath", xmllint,
         [](const std::string& f, const std::string&) {
             return std::vector<std::string>{QVXML_TOOL, "xpath", f, "count(//LINE)"};
         },
         [](const std::string& f, const std::string&) {
             return std::vector<std::string>{"xmllint", "--xpath", "count(//LINE)", f};
         }},
        {"qvxml transform shred.xsl | xsltproc", xsltproc,
         [](const std::string& f, const std::string& x) {
             return std::vector<std::string>{QVXML_TOOL, "transform", f, x};
         },
         [](const std::string& f, const std::string& x) {
             return std::vector<std::string>{"xsltproc", x, f};
         }},
    };
    const int kRuns = 5;
    int failures = 0;
    std::printf("\nthe tool against its peers, whole processes (median of %d runs in turn)\n", kRuns);
    std::printf("  %-46s %9s %11s %9s %11s %7s %7s\n", "job", "records", "qvxml s", "MB",
                "peer s", "MB", "ratio");
    std::vector<std::vector<std::pair<double, double>>> times(std::size(jobs));
    for (const Document& d : documents) {
        for (std::size_t j = 0; j < std::size(jobs); ++j) {
            const Job& job = jobs[j];
            if (!job.peer) continue;
            ToolRun ours, theirs;
            runPair(job.ours(d.path, sheet), job.theirs(d.path, sheet), kRuns, ours, theirs);
            const bool same = ours.seconds >= 0 && theirs.seconds >= 0 && ours.out == theirs.out;
            std::printf("  %-46s %9zu %11.3f %9ld %11.3f %7ld %6.2fx%s\n", job.name, d.records,
                        ours.seconds, ours.peakKb / 1024, theirs.seconds, theirs.peakKb / 1024,
                        theirs.seconds > 0 ? ours.seconds / theirs.seconds : 0.0,
                        same ? "" : "  OUTPUTS DIFFER");
            if (!same) ++failures;
            times[j].push_back({ours.seconds, theirs.seconds});
        }
    }
    for (std::size_t j = 0; j < std::size(jobs); ++j) {
        if (times[j].size() < 2) continue;
        std::printf("  growth per tenfold records, %s:", jobs[j].name);
        for (std::size_t k = 1; k < times[j].size(); ++k)
            std::printf("  %.1fx | %.1fx", times[j][k].first / times[j][k - 1].first,
                        times[j][k].second / times[j][k - 1].second);
        std::printf("\n");
    }
    std::remove(sheet.c_str());
    return failures;
#endif
}

int benchOne(Document& d, bool lxml, bool xsltproc) {
    std::printf("\n%zu records (%zu orders), %.1f MB\n", d.records, d.orders, d.bytes / 1e6);
    std::printf("  %-52s %11s  %11s  %8s\n", "work", "qvxml", lxml ? "lxml" : "", "ratio");
    auto peer = [&](const std::string& key) { return d.lxml.count(key) ? d.lxml[key] : -1.0; };

    Clock::time_point start = Clock::now();
    QvHandle doc = QV_XDOMOpen(d.path.c_str(), 0);
    const double open = secondsSince(start);
    if (!doc) {
        std::printf("open failed: %s\n", Q_XMLGetErrMsg());
        return 1;
    }
    start = Clock::now();
    const char* first = QV_XDOMEvaluate(doc, "count(/ORDERS)", nullptr);
    const double view = secondsSince(start);
    if (!first) {
        std::printf("first query failed: %s\n", Q_XMLGetErrMsg());
        return 1;
    }
    row("open (QV_XDOMOpen)", open, peer("parse"));
    row("the view (first query)", view, -1);

    int failures = 0;
    for (const std::string& q : d.queries) {
        std::string value;
        const double t = best(3, [&] {
            const char* result = QV_XDOMEvaluate(doc, q.c_str(), nullptr);
            if (result) value = result;
            return result != nullptr;
        });
        if (t < 0) {
            std::printf("  %s failed: %s\n", q.c_str(), Q_XMLGetErrMsg());
            ++failures;
            continue;
        }
        row(q.c_str(), t, peer(q), ("= " + value).c_str());
    }

    for (int i = 0; i < 2; ++i) {
        const Sheet& sheet = kSheets[i];
        std::size_t length = 0;
        const double t = best(1, [&] {
            const char* text =
                static_cast<const char*>(QV_XDOMTransform(doc, sheet.text, 1, QV_RESULT_TEXT, nullptr));
            if (text) length = std::strlen(text);
            return text != nullptr;
        });
        if (t < 0) {
            std::printf("  %s failed: %s\n", sheet.name, Q_XMLGetErrMsg());
            ++failures;
            continue;
        }
        const std::string work = std::string(sheet.name) + " stylesheet to text (view built)";
        row(work.c_str(), t, -1, (std::to_string(length / 1000) + " kB").c_str());
        const std::string whole = std::string(sheet.name) + ": open + view + transform | xsltproc";
        const std::string peak =
            xsltproc ? "xsltproc peak " + std::to_string(d.xsltproc[i].peakKb / 1024) + " MB" : "";
        row(whole.c_str(), open + view + t, d.xsltproc[i].seconds, peak.c_str());
    }
    // Sizes run in increasing order, so the process's peak so far is this document's.
    std::printf("  %-52s %7ld MB\n", "peak resident memory of this process", ownPeakKb() / 1024);
    QV_XDOMClose(doc);
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::size_t> sizes = bench::sizesFrom(argc, argv, {10000, 100000, 1000000});
    std::sort(sizes.begin(), sizes.end());  // so that the process peak belongs to the last size

    const std::string python = pythonWithLxml();
    const bool xsltproc = haveXsltproc();
    std::printf("XPath and XSLT on orders documents; peers: %s, %s\n",
                python.empty() ? "no lxml" : "lxml", xsltproc ? "xsltproc" : "no xsltproc");
    std::vector<Document> documents(sizes.size());
    int failures = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        documents[i].records = sizes[i];
        if (!prepare(documents[i], python, xsltproc)) return 1;
    }
    failures += benchTools(documents, xsltproc);
    for (Document& d : documents) {
        failures += benchOne(d, !python.empty(), xsltproc);
        std::remove(d.path.c_str());
    }
    return failures == 0 ? 0 : 1;
}
