// The XPath string form of a number (QV_XDOMEvaluate's result for a number).
#pragma once

#include <string>

namespace qv {

// The number as Xalan writes it, also for numbers Xalan itself cannot format: it
// formats 100 or more integer digits into a fixed buffer, which overflows.
std::u16string numberText(double value);

}  // namespace qv
