#include "xmap/record.h"

#include <cstring>

#include "frame/host.h"

namespace qv {

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
