// Writing without destroying: an output file is written beside its target and renamed
// over it only when complete, and Ctrl-C during a writing subcommand is taken in
// order (the work stops at the next check, what was half-written is removed).
#pragma once

#include <string>

namespace qvcli {

// While alive, SIGINT, SIGTERM and SIGHUP only set a flag; check() throws a Failure
// saying what was left as it was.
class InterruptGuard {
public:
    explicit InterruptGuard(std::string whatIsKept);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    static bool interrupted();
    void check() const;

private:
    std::string kept_;
    struct Saved;
    Saved* saved_;
};

// An output file named by -o. The constructor checks, before any work, that its
// folder exists and can be written; path() is a temporary file in that folder, which
// commit() renames over the target. Without commit the temporary is removed, so a
// failure or an interruption leaves the target as it was: a signal that no
// InterruptGuard takes removes the temporary before it ends the process.
class OutputFile {
public:
    explicit OutputFile(const std::string& target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    const std::string& path() const { return temporary_; }
    void commit();

private:
    std::string target_;
    std::string temporary_;
    bool done_ = false;
    int slot_ = -1;
    bool streamed_ = false;  // the target is no regular file: copied into, not renamed over
    void release();
    void copyInto();
};

}  // namespace qvcli
