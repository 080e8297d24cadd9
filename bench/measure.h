// What the benchmark programs measure with: wall time, the peak resident memory of
// the process, and running one job in a child process of its own so that each peak
// is that of the job alone.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <type_traits>
#include <vector>

namespace bench {

inline double seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

inline long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The middle run by the given field (the upper middle for an even count).
template <class Figures>
Figures median(std::vector<Figures> runs, double Figures::*by) {
    std::sort(runs.begin(), runs.end(),
              [by](const Figures& a, const Figures& b) { return a.*by < b.*by; });
    return runs[runs.size() / 2];
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The record counts named on the command line, else `defaults`.
inline std::vector<std::size_t> sizesFrom(int argc, char** argv,
                                          std::vector<std::size_t> defaults) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    return sizes.empty() ? defaults : sizes;
}

// Runs per size: QVXML_BENCH_RUNS, else `otherwise` (at least one).
inline int benchRuns(int otherwise) {
    const char* text = std::getenv("QVXML_BENCH_RUNS");
    const int runs = text ? std::atoi(text) : otherwise;
    return runs < 1 ? 1 : runs;
}

// Runs job() in a child process and hands back what it returned (a plain struct);
// a value-initialised one when the child failed.
template <class Figures>
Figures inChild(const std::function<Figures()>& job) {
    static_assert(std::is_trivially_copyable<Figures>::value, "figures cross a pipe");
    int fd[2];
    if (pipe(fd) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        Figures f = job();
        ssize_t written = write(fd[1], &f, sizeof f);
        _exit(written == static_cast<ssize_t>(sizeof f) ? 0 : 1);
    }
    close(fd[1]);
    Figures f{};
    if (pid < 0 || read(fd[0], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) f = Figures{};
    close(fd[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return f;
}

}  // namespace bench
