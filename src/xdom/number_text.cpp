#include "xdom/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <xalanc/PlatformSupport/DOMStringHelper.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>

#include "frame/limits.h"
#include "xdom/xalan_memory.h"

namespace qv {

std::u16string numberText(double value) {
    if (std::isfinite(value) && std::fabs(value) >= limits::kLargestXalanFormattedNumber) {
        // Whole numbers all: their decimal digits, as Xalan writes smaller ones.
        char digits[400];
        std::snprintf(digits, sizeof digits, "%.0f", value);
        return std::u16string(digits, digits + std::strlen(digits));
    }
    xalanc::XalanDOMString text(xalanMemory());
    xalanc::NumberToDOMString(value, text);
    return std::u16string(text.c_str(), text.length());
}

}  // namespace qv
