// The record layout shared with the host: an ID and numbered fields separated by
// the four marks the host chooses when it opens a dataset.
#pragma once

#include <cstddef>
#include <string>

namespace qv {

// The four marks, each kept as a one-character string.
struct RecordMarks {
    char field[2] = {'\0', '\0'};
    char value[2] = {'\0', '\0'};
    char subvalue[2] = {'\0', '\0'};
    char null[2] = {'\0', '\0'};

    void set(char fieldMark, char valueMark, char subvalueMark, char nullMark) {
        field[0] = fieldMark;
        value[0] = valueMark;
        subvalue[0] = subvalueMark;
        null[0] = nullMark;
    }
};

// Where one record (or the mapping description) is assembled. It grows
// geometrically, so a record of many megabytes costs linear time, and is cut back
// before the next record once a large one has passed.
class WorkBuffer {
public:
    static constexpr size_t kInitial = 4096;
    static constexpr size_t kCutBackAbove = 409600;

    WorkBuffer() { text_.reserve(kInitial); }

    // Empties the buffer for a new record, first dropping an oversized allocation.
    void begin() {
        if (text_.capacity() > kCutBackAbove) {
            std::string fresh;
            fresh.reserve(kInitial);
            text_.swap(fresh);
        }
        text_.clear();
    }

    std::string& text() { return text_; }
    const std::string& text() const { return text_; }
    size_t size() const { return text_.size(); }
    size_t capacity() const { return text_.capacity(); }

private:
    std::string text_;
};

// Builds one record in a work buffer: field alignment and missing values follow the
// EmptyString IsNull option.
class RecordWriter {
public:
    RecordWriter(WorkBuffer& buffer, const RecordMarks& marks, bool emptyIsNull)
        : out_(buffer.text()), marks_(marks), emptyIsNull_(emptyIsNull) {}

    // Moves from the current field to `field`: one field mark per step, with the null
    // mark in each field skipped over when IsNull is on.
    void alignTo(int field) {
        while (current_ < field) {
            out_ += marks_.field[0];
            if (current_ + 1 < field && emptyIsNull_) out_ += marks_.null[0];
            ++current_;
        }
    }
    // A value that is absent: the null mark with IsNull on, else nothing.
    void missing() {
        if (emptyIsNull_) out_ += marks_.null[0];
    }
    void valueMark() { out_ += marks_.value[0]; }
    void subvalueMark() { out_ += marks_.subvalue[0]; }

    std::string& text() { return out_; }
    bool emptyIsNull() const { return emptyIsNull_; }

private:
    std::string& out_;
    const RecordMarks& marks_;
    bool emptyIsNull_;
    int current_ = 0;
};

// The first byte of text[from, end) that would break the layout of a record: a
// field, value or subvalue mark (the fields or values would shift) or a NUL (the
// record would be cut). npos when there is none.
size_t findLayoutByte(const std::string& text, size_t from, const RecordMarks& marks);

// A value as a message shows it: at most `limit` bytes, marks and control bytes
// as <XX>, an ellipsis when it was longer.
std::string shownValue(const char* text, size_t length, size_t limit = 60);

// The conversion code that applies to a column: a code beginning with "D" gives way
// to the mapping's DateFormat when one is set. Null when there is none.
const char* effectiveConversion(const char* columnCode, const char* dateFormat);

// Passes text[from, end) through the host's conversion callback (direction given)
// and replaces it with the result. Returns false when the host refuses: the text is
// then cut at `from`, so the value is left out entirely.
bool convertInPlace(std::string& text, size_t from, const char* code, int direction,
                    std::string& scratch);

// One field, value or subvalue of a record as the host's extract callback gives it.
// The text stays the host's (valid until its next call); `values` and `subvalues`
// count the marks, so a field holds values + 1 values.
struct RecordItem {
    const char* text = nullptr;
    int length = 0;
    int values = 0;
    int subvalues = 0;
};

// Field `field` of the mapping's numbering (0 = record ID), value and subvalue from 1
// (0: the whole field or value), of a NUL-terminated record.
RecordItem extractItem(const char* record, int field, int value = 0, int subvalue = 0);

// The parts of an item between `mark`s, front to back, each with the number of
// `inner` marks it holds as its `subvalues`: what the host's extract callback gives
// for value (or subvalue) 1, 2, ... of a field, in one pass over the field instead
// of one call per part that scans the field from its start.
class ItemParts {
public:
    ItemParts(const RecordItem& whole, char mark, char inner)
        : at_(whole.text), end_(whole.text + whole.length), mark_(mark), inner_(inner) {}

    // The next part; false after the last.
    bool next(RecordItem& part);

private:
    const char* at_;
    const char* end_;
    char mark_;
    char inner_;
    bool done_ = false;
};

// A written item counts as missing when it is empty (IsNull off) or is exactly the
// null mark (IsNull on).
inline bool isMissing(const RecordItem& item, bool emptyIsNull, char nullMark) {
    if (!emptyIsNull) return item.length <= 0;
    return item.length == 1 && item.text[0] == nullMark;
}

}  // namespace qv
