// Misuse of the interface by the host: a null, closed or foreign handle or
// dataset, or a null pointer where an export needs one. The export answers with
// its failure value and one line "Interface misuse in <operation>: <what>.",
// and does nothing else.
#pragma once

namespace qv {

// The first problem among an export's arguments; each check is a description of
// what is wrong ("a null path") or null / "" when that argument is fine.
class Arguments {
public:
    Arguments& check(const char* problem) {
        if (!first_ && problem && *problem) first_ = problem;
        return *this;
    }
    // A pointer the export reads: null is a problem.
    Arguments& needs(const void* pointer, const char* whenNull) {
        return check(pointer ? nullptr : whenNull);
    }
    const char* problem() const { return first_; }

private:
    const char* first_ = nullptr;
};

// Who answers: a document export (code 47, DOM status 47), one that leaves the
// DOM status alone (closing, asking a handle's kind), or a mapping export (code
// 3008, with the mapping prefix).
enum class Family { Document, DocumentKeepsStatus, Mapping };

// Reports the misuse.
void reportMisuse(const char* operation, const char* what, Family family);

// True, after reporting, when the arguments have a problem: the export then
// returns its failure value and does nothing else.
inline bool misused(const char* operation, const Arguments& arguments,
                    Family family = Family::Document) {
    if (!arguments.problem()) return false;
    reportMisuse(operation, arguments.problem(), family);
    return true;
}

}  // namespace qv
