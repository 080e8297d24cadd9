// How the fuzz targets read their bytes: as a C string (up to the first NUL),
// optionally in two parts separated by a line "----".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace fuzzinput {

inline std::string text(const uint8_t* data, size_t size) {
    std::string s(reinterpret_cast<const char*>(data), size);
    const size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

// The part before the separator line and the part after it (`otherwise` when
// there is no separator).
inline std::pair<std::string, std::string> split(const std::string& s, const std::string& otherwise) {
    const size_t cut = s.find("\n----\n");
    if (cut == std::string::npos) return {s, otherwise};
    return {s.substr(0, cut), s.substr(cut + 6)};
}

}  // namespace fuzzinput
