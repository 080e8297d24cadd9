// Command-line plumbing shared by the subcommands: arguments, failures, output.
#pragma once

#include <array>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvcli {

// Exit codes.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// A wrong command line: the message and the subcommand's usage go to stderr, exit 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A failure of the work itself: the message goes to stderr, exit 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The arguments of one subcommand: options declared up front ("--name" takes a value,
// "--flag" does not, a pair option takes two and may repeat), the rest positional.
// "--" ends the options.
class Args {
public:
    Args(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
         const std::set<std::string>& flags, const std::set<std::string>& pairOptions = {});

    bool has(const std::string& option) const { return values_.count(option) != 0; }
    // The last value given to `option` (options may be repeated), else `otherwise`.
    std::string value(const std::string& option, const std::string& otherwise = "") const;
    // Every value given to `option`, in order.
    std::vector<std::string> values(const std::string& option) const;
    const std::vector<std::string>& positional() const { return positional_; }
    // The positional arguments, checked against the counts the subcommand accepts.
    void expect(std::size_t atLeast, std::size_t atMost) const;
    // Each pair option given, in order: the option, its two values.
    const std::vector<std::array<std::string, 3>>& pairs() const { return pairs_; }

private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::array<std::string, 3>> pairs_;
    std::vector<std::string> positional_;
};

// One subcommand.
struct Command {
    const char* name;
    const char* summary;
    const char* usage;  // full help text, the first line being the synopsis
    int (*run)(const Args&);
    std::set<std::string> valueOptions;
    std::set<std::string> flags;
    std::set<std::string> pairOptions = {};
};

const std::vector<Command>& commands();

// The library's error lines (Q_XMLGetErrMsg) after `what`, as a Failure; resets them.
[[noreturn]] void libraryFailure(const std::string& what);
// Writes bytes to stdout, or to `path` when not empty (beside it, then renamed over
// it); Failure when it cannot.
void writeOutput(const std::string& path, const std::string& bytes);
// Ends a command that has written all it had to at once, with `status`: releasing
// what it built (a DOM of millions of nodes, record queues) one node at a time is
// work the kernel does in one go. Returns, to be torn down as usual, when standard
// output cannot be flushed or in the sanitizer builds, whose leak checker must see
// every release.
void exitWithoutTeardown(int status);
// Whole file as bytes; Failure when unreadable.
std::string readFile(const std::string& path);
// Fails with "no such file" when `path` cannot be opened for reading.
void requireReadable(const std::string& path);
// Fails, in words and before any work, when `path` cannot be written: its folder is
// missing or not writable, or the file itself is read-only or a folder.
void requireWritable(const std::string& path);

// A document named on the command line. A regular file is opened by name, so what it
// names (a DTD, a schema) resolves beside it; "-" (standard input), /dev/stdin, pipes
// and other files that cannot be read by position are read into memory first.
struct Source {
    std::string name;  // as the user wrote it ("-" for standard input)
    std::string path;  // the file to open by name, or "" when `text` holds the bytes
    std::string text;
    bool inMemory() const { return path.empty(); }
    // What QV_XDOMOpen and QV_XDOMValidate take.
    const char* source() const { return path.empty() ? text.c_str() : path.c_str(); }
    // The name to put in messages.
    std::string shown() const { return name == "-" ? "standard input" : name; }
};
// Fails with "cannot read NAME: ..." when unreadable, a folder, or empty ("empty file").
Source loadSource(const std::string& name);

// The first line of a failed parse of `source`, from the library's lines: where
// (file:line:column) and what ("not well-formed", "not valid"), then the first
// message. `code` is the failure code of the export.
std::string parseFailureLine(const Source& source, int code, const std::string& lines);

// A document written by the library, tidied for a terminal and for files: no line end
// before the first markup (the writer puts one there when there is no declaration)
// and one line end after the last.
std::string tidyDocument(std::string text, const std::string& lineEnd);

}  // namespace qvcli
