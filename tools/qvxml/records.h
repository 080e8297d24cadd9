// Records of the account's layout taken apart, and shown to a person (text) or to a
// program (JSON, one object a line).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/dictionary.h"

namespace qvcli {

// The items of `text` between `mark`s (one empty item for an empty text).
std::vector<std::string> splitMarks(const std::string& text, char mark);
// The items joined by `mark`.
std::string joinMarks(const std::vector<std::string>& items, char mark);

// Field names by field number, from a file's dictionary: the first name given to a
// field wins over its synonyms.
class FieldNames {
public:
    FieldNames() = default;
    explicit FieldNames(const qvhost::Dictionary* dictionary);
    // The name of field `field` (0 = record ID), "" when the dictionary has none.
    const std::string& name(std::size_t field) const;
    bool multivalued(std::size_t field) const;

private:
    std::vector<std::string> names_;
    std::vector<bool> multivalued_;
};

// Writes one record of `file` as text: a heading line with the file and record ID,
// then one line per non-empty field (number, name, values), each further value on a
// line of its own, subvalues separated by "\"; control bytes are shown escaped. A
// `state` ("new", "joined") follows the heading in parentheses.
void printRecord(std::FILE* out, const std::string& file, const std::string& record,
                 const FieldNames& names, const char* state = nullptr);
// Writes one record as one JSON object: "file", "id", then each field by name (or
// "F<n>"), a multivalued field or one holding value marks as an array, a value
// holding subvalue marks as an array of its subvalues; a `state` as "stored" after "id".
void printJson(std::FILE* out, const std::string& file, const std::string& record,
               const FieldNames& names, const char* state = nullptr);

// `text` as a JSON string literal (bytes that are not UTF-8 become \u00XX).
std::string jsonString(const std::string& text);
// `text` with control bytes and "\" escaped for a terminal.
std::string visible(const std::string& text);

}  // namespace qvcli
