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
    std::string value(const std::string& option, const std::string& otherwise = "") const;
    const std::vector<std::string>& positional() const { return positional_; }
    // The positional arguments, checked against the counts the subcommand accepts.
    void expect(std::size_t atLeast, std::size_t atMost) const;
    // Each pair option given, in order: the option, its two values.
    const std::vector<std::array<std::string, 3>>& pairs() const { return pairs_; }

private:
    std::map<std::string, std::string> values_;
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
// Whole file as bytes; Failure when unreadable.
std::string readFile(const std::string& path);
// Fails with "no such file" when `path` cannot be opened for reading.
void requireReadable(const std::string& path);

}  // namespace qvcli
