#include "xdom/parsing/plain_document.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace qv {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// The encodings whose bytes below 0x80 are ASCII, so that the walk below reads
// the prolog as the scanner will.
bool asciiCompatible(std::string_view encoding) {
    for (std::string_view family : {"utf-8", "utf8", "us-ascii", "ascii", "iso-8859-", "iso8859",
                                    "latin", "windows-125", "cp125"})
        if (startsWithNoCase(encoding, family)) return true;
    return false;
}

// The encoding an XML declaration names ("" when it names none); false when the
// declaration cannot be read plainly.
bool declaredEncoding(std::string_view declaration, std::string_view& encoding) {
    encoding = {};
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return true;
    std::size_t i = at + 8;
    while (i < declaration.size() && isSpace(declaration[i])) ++i;
    if (i >= declaration.size() || declaration[i] != '=') return false;
    ++i;
    while (i < declaration.size() && isSpace(declaration[i])) ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return false;
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos) return false;
    encoding = declaration.substr(i + 1, end - i - 1);
    return true;
}

bool isNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

}  // namespace

bool hasPlainProlog(const XMLByte* bytes, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(bytes), size);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool first = true;
    for (std::size_t i = 0;; first = false) {
        while (i < text.size() && isSpace(text[i])) ++i;
        if (i + 1 >= text.size() || text[i] != '<') return false;
        const std::string_view rest = text.substr(i);
        if (rest.substr(0, 2) == "<?") {
            const std::size_t end = rest.find("?>", 2);
            if (end == std::string_view::npos) return false;
            std::string_view encoding;
            if (first && rest.size() > 5 && rest.substr(0, 5) == "<?xml" && isSpace(rest[5]) &&
                (!declaredEncoding(rest.substr(6, end - 6), encoding) ||
                 (!encoding.empty() && !asciiCompatible(encoding))))
                return false;
            i += end + 2;
        } else if (rest.substr(0, 4) == "<!--") {
            const std::size_t end = rest.find("-->", 4);
            if (end == std::string_view::npos) return false;
            i += end + 3;
        } else {
            return isNameStart(static_cast<unsigned char>(rest[1]));
        }
    }
}

// A start tag's attributes stand between its "<" and the next one (a value holds no
// "<"), each taking an "=" and at least five bytes (` a=""`). So a tag of more than
// `most` attributes lies in a stretch without "<" that covers a whole block of
// the walk below, and only around such blocks are "=" counted: the walk costs a
// search per block, not one per tag.
bool fewAttributesPerTag(const XMLByte* bytes, std::size_t size, std::size_t most) {
    const char* const begin = reinterpret_cast<const char*>(bytes);
    const char* const end = begin + size;
    const std::size_t block = std::max<std::size_t>(1, std::min<std::size_t>(64, 2 * most));
    for (const char* at = begin; static_cast<std::size_t>(end - at) >= block;) {
        if (std::memchr(at, '<', block)) {
            at += block;
            continue;
        }
        // The stretch: from the "<" before this block (in the block before: a block
        // without one has been passed whole) to the next "<".
        const char* from = at;
        while (from > begin && from[-1] != '<') --from;
        const void* next = std::memchr(at + block, '<', static_cast<std::size_t>(end - at) - block);
        const char* to = next ? static_cast<const char*>(next) : end;
        if (static_cast<std::size_t>(std::count(from, to, '=')) > most) return false;
        at = to;
    }
    return true;
}

bool isPlainDocument(const XMLByte* bytes, std::size_t size) {
    return hasPlainProlog(bytes, size) && fewAttributesPerTag(bytes, size, 100);
}

}  // namespace qv
