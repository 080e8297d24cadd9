// Misuse of the interface by the host: a null, closed or foreign handle or
// dataset, or a null pointer where an export needs one. The export answers with
// its failure value and one line "Interface misuse in <operation>: <what>.",
// and does nothing else (boundary.h runs the check).
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

// Reports the misuse: code 3008 with the mapping prefix for a mapping export,
// else 47, which also becomes the DOM status when the export sets it.
void reportMisuse(const char* operation, const char* what, bool mapping, bool domStatus);

}  // namespace qv
