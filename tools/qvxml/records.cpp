// Taking records apart and showing them.
#include "records.h"

#include <algorithm>
#include <cstring>

#include "session.h"

namespace qvcli {

std::vector<std::string> splitMarks(const std::string& text, char mark) {
    std::vector<std::string> items;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t at = text.find(mark, begin);
        if (at == std::string::npos) {
            items.push_back(text.substr(begin));
            return items;
        }
        items.push_back(text.substr(begin, at - begin));
        begin = at + 1;
    }
}

std::string joinMarks(const std::vector<std::string>& items, char mark) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) text += mark;
        text += items[i];
    }
    return text;
}

FieldNames::FieldNames(const qvhost::Dictionary* dictionary) {
    if (!dictionary) return;
    for (const qvhost::Column& c : dictionary->columns()) {
        if (c.result < 0 || c.result > 100000) continue;
        const std::size_t field = std::size_t(c.result);
        if (field >= names_.size()) {
            names_.resize(field + 1);
            multivalued_.resize(field + 1);
        }
        if (names_[field].empty()) {
            names_[field] = c.name;
            multivalued_[field] = c.multivalued;
        }
    }
}

const std::string& FieldNames::name(std::size_t field) const {
    static const std::string none;
    return field < names_.size() ? names_[field] : none;
}

bool FieldNames::multivalued(std::size_t field) const {
    return field < multivalued_.size() && multivalued_[field];
}

std::string visible(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out;
}

void printRecord(std::FILE* out, const std::string& file, const std::string& record,
                 const FieldNames& names, const char* state) {
    const std::vector<std::string> fields = splitMarks(record, kFieldMark);
    if (state)
        std::fprintf(out, "%s %s (%s)\n", file.c_str(), visible(fields[0]).c_str(), state);
    else
        std::fprintf(out, "%s %s\n", file.c_str(), visible(fields[0]).c_str());
    std::size_t width = 2;
    for (std::size_t f = 1; f < fields.size(); ++f) width = std::max(width, names.name(f).size());
    for (std::size_t f = 1; f < fields.size(); ++f) {
        if (fields[f].empty()) continue;
        const std::string label = names.name(f).empty() ? "-" : names.name(f);
        const std::vector<std::string> values = splitMarks(fields[f], kValueMark);
        for (std::size_t v = 0; v < values.size(); ++v) {
            std::string shown;
            const std::vector<std::string> subvalues = splitMarks(values[v], kSubvalueMark);
            for (std::size_t s = 0; s < subvalues.size(); ++s) {
                if (s) shown += " \\ ";
                shown += visible(subvalues[s]);
            }
            if (v == 0)
                std::fprintf(out, "  %3zu %-*s  %s\n", f, int(width), label.c_str(), shown.c_str());
            else
                std::fprintf(out, "      %-*s  %s\n", int(width), "", shown.c_str());
        }
    }
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        char hex[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '\r') {
            out += "\\r";
            ++i;
        } else if (c == '\t') {
            out += "\\t";
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
            ++i;
        } else if (c < 0x80) {
            out += char(c);
            ++i;
        } else {
            // A well-formed UTF-8 sequence passes as it is; any other byte stands
            // for itself as \u00XX.
            std::size_t len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            if (c > 0xF4) len = 0;
            bool ok = len > 0 && i + len <= n;
            for (std::size_t k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xC0) == 0x80;
            if (ok && len == 3) {
                const unsigned char d = p[i + 1];
                ok = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
            }
            if (ok && len == 4) {
                const unsigned char d = p[i + 1];
                ok = !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
            }
            if (ok) {
                out.append(text, i, len);
                i += len;
            } else {
                std::snprintf(hex, sizeof hex, "\\u%04x", c);
                out += hex;
                ++i;
            }
        }
    }
    return out + "\"";
}

namespace {

std::string jsonValue(const std::string& value) {
    if (value.find(kSubvalueMark) == std::string::npos) return jsonString(value);
    std::string out = "[";
    const std::vector<std::string> subvalues = splitMarks(value, kSubvalueMark);
    for (std::size_t s = 0; s < subvalues.size(); ++s) out += (s ? "," : "") + jsonString(subvalues[s]);
    return out + "]";
}

}  // namespace

void printJson(std::FILE* out, const std::string& file, const std::string& record,
               const FieldNames& names, const char* state) {
    const std::vector<std::string> fields = splitMarks(record, kFieldMark);
    std::string line = "{\"file\":" + jsonString(file) + ",\"id\":" + jsonString(fields[0]);
    if (state) line += ",\"stored\":" + jsonString(state);
    for (std::size_t f = 1; f < fields.size(); ++f) {
        if (fields[f].empty()) continue;
        const std::string key = names.name(f).empty() ? "F" + std::to_string(f) : names.name(f);
        line += "," + jsonString(key) + ":";
        if (names.multivalued(f) || fields[f].find(kValueMark) != std::string::npos) {
            line += "[";
            const std::vector<std::string> values = splitMarks(fields[f], kValueMark);
            for (std::size_t v = 0; v < values.size(); ++v) line += (v ? "," : "") + jsonValue(values[v]);
            line += "]";
        } else {
            line += jsonValue(fields[f]);
        }
    }
    line += "}\n";
    std::fwrite(line.data(), 1, line.size(), out);
}

}  // namespace qvcli
