#include "xmap/record.h"

#include <cstring>

#include "frame/host.h"

namespace qv {

size_t findLayoutByte(const std::string& text, size_t from, const RecordMarks& marks) {
    const char field = marks.field[0], value = marks.value[0], subvalue = marks.subvalue[0];
    for (size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (c == field || c == value || c == subvalue || c == '\0') return i;
    }
    return std::string::npos;
}

std::string shownValue(const char* text, size_t length, size_t limit) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    const size_t n = length < limit ? length : limit;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || c >= 0xF8) {
            out += '<';
            out += kHex[c >> 4];
            out += kHex[c & 15];
            out += '>';
        } else {
            out += static_cast<char>(c);
        }
    }
    if (length > limit) out += "...";
    return out;
}

const char* effectiveConversion(const char* columnCode, const char* dateFormat) {
    if (!columnCode || !*columnCode) return nullptr;
    if (columnCode[0] == 'D' && dateFormat && *dateFormat) return dateFormat;
    return columnCode;
}

bool convertInPlace(std::string& text, size_t from, const char* code, int direction,
                    std::string& scratch) {
    // The host wants a NUL-terminated input; the buffer is reused for every field.
    scratch.assign(text, from, std::string::npos);
    char* output = nullptr;
    int outputLength = 0;
    int result = host().convert(scratch.c_str(), code, &output, &outputLength, direction);
    text.resize(from);
    if (result == -1) return false;
    if (output && outputLength > 0) text.append(output, static_cast<size_t>(outputLength));
    return true;
}

RecordItem extractItem(const char* record, int field, int value, int subvalue) {
    RecordItem item;
    char* text = nullptr;
    host().extract(record, field + 1, value, subvalue, &text, &item.length, &item.values,
                   &item.subvalues);
    item.text = text ? text : "";
    if (!text || item.length < 0) item.length = 0;
    return item;
}

bool ItemParts::next(RecordItem& part) {
    if (done_) return false;
    const void* found = std::memchr(at_, mark_, static_cast<std::size_t>(end_ - at_));
    const char* stop = found ? static_cast<const char*>(found) : end_;
    part = RecordItem();
    part.text = at_;
    part.length = static_cast<int>(stop - at_);
    for (const char* p = at_; p < stop; ++p) part.subvalues += (*p == inner_);
    if (found)
        at_ = stop + 1;
    else
        done_ = true;
    return true;
}

}  // namespace qv
