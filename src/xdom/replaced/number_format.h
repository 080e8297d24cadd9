// The XPath 1.0 string form of a number, for every number that becomes text:
// our own results and, through the two replacements in number_format.cpp, every
// number Xalan-C++ formats inside expressions and transformations.
#pragma once

#include <cstddef>

namespace qv {

// Longest form: a subnormal's 17 significant digits behind 323 zeros, with sign.
constexpr std::size_t kMaxNumberText = 350;

// Writes the XPath 1.0 form of `value` into `out` (room for kMaxNumberText
// characters) and returns its length: "NaN", "Infinity", "-Infinity", "0" for
// either zero, else plain decimal digits without exponent, as few significant
// digits as read back to the same double, no decimal point for whole numbers.
std::size_t formatNumber(double value, char16_t* out);

}  // namespace qv
