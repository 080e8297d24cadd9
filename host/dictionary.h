// A host file's dictionary: where each named column lives in the file's records.
//
// Dictionary file format (one file per host file, "<FILE>.dict"), one entry per
// line, blank lines and lines starting with "#" ignored:
//
//     NAME  FIELD  S|M  [CONVERSION]
//     NAME  V
//
//   NAME        column name (no blanks); looked up without regard to ASCII case
//   FIELD       field number, 0 = record ID
//   S | M       single-valued or multivalued
//   CONVERSION  optional conversion code: the rest of the line, trimmed
//   V           in place of FIELD: a virtual field (described as -1)
//
// Several names may share a field number (synonyms).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace qvhost {

struct Column {
    std::string name;
    int result = 0;         // field number, -1 virtual, other negative: cannot describe
    bool multivalued = false;
    std::string code;       // conversion code
    int codeLength = -1;    // length reported to the library; -1: code.size()
};

class Dictionary {
public:
    // Adds or replaces a column.
    Dictionary& add(const std::string& name, int field, bool multivalued = false,
                    const std::string& code = "");
    Dictionary& addVirtual(const std::string& name);
    // A column described with this exact result, code and reported code length.
    Dictionary& addRaw(Column column);

    // Reads entries from the text of a dictionary file; false with a message
    // naming the line on a malformed entry. With `newText` (a file being loaded, not
    // one stored before) a name given twice is refused too; otherwise the later line
    // takes the name, as it always did.
    bool parse(const std::string& text, std::string* error, bool newText = false);
    bool load(const std::string& path, std::string* error);

    const Column* find(const char* name) const;
    std::size_t size() const { return columns_.size(); }
    // Every column in the order first added.
    const std::vector<Column>& columns() const { return columns_; }

private:
    std::vector<Column> columns_;
    std::unordered_map<std::string, std::size_t> index_;  // upper-case name -> position
};

std::string upperAscii(std::string text);

}  // namespace qvhost
