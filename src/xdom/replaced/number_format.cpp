#include "xdom/replaced/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

// The two Xalan-C++ functions defined below are declared with default
// visibility so that the version script can export them (see below).
#pragma GCC visibility push(default)
#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/PlatformSupport/DOMStringHelper.hpp>
#include <xalanc/PlatformSupport/FormatterListener.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#pragma GCC visibility pop

namespace qv {

std::size_t formatNumber(double value, char16_t* out) {
    auto put = [out](const char* text) {
        std::size_t n = std::strlen(text);
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char16_t>(text[i]);
        return n;
    };
    if (std::isnan(value)) return put("NaN");
    if (std::isinf(value)) return put(value > 0 ? "Infinity" : "-Infinity");
    if (value == 0) return put("0");

    // The shortest digits that read back to the value, as d.ddde[+-]x.
    char scientific[40];
    const auto made = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                    std::chars_format::scientific);
    *made.ptr = '\0';
    char digits[20];
    std::size_t count = 0;
    const char* p = scientific;
    for (; *p != 'e'; ++p)
        if (*p != '.') digits[count++] = *p;
    const long exponent = std::strtol(p + 1, nullptr, 10);
    const long point = exponent + 1;  // digits before the decimal point

    std::size_t n = 0;
    if (value < 0) out[n++] = u'-';
    if (point <= 0) {
        out[n++] = u'0';
        out[n++] = u'.';
        for (long i = point; i < 0; ++i) out[n++] = u'0';
        for (std::size_t i = 0; i < count; ++i) out[n++] = digits[i];
    } else if (static_cast<std::size_t>(point) >= count) {
        for (std::size_t i = 0; i < count; ++i) out[n++] = digits[i];
        for (long i = static_cast<long>(count); i < point; ++i) out[n++] = u'0';
    } else {
        for (long i = 0; i < point; ++i) out[n++] = digits[i];
        out[n++] = u'.';
        for (std::size_t i = static_cast<std::size_t>(point); i < count; ++i) out[n++] = digits[i];
    }
    return n;
}

}  // namespace qv

// Replacements for Xalan-C++'s formatting of doubles.
//
// Xalan-C++ 1.12 prints a double that is not a whole 64-bit integer with
// sprintf("%.Nf") into a 100-byte stack buffer: any number of 10^100 or more
// overflows it and the fortified sprintf aborts the process. Numbers reach it
// from document data, so no check on expressions can keep them away. Xalan calls
// both functions through its procedure linkage table; the dynamic linker finds
// these definitions before libxalan's own, both when a host links libqvxml.so
// (it comes before its dependencies in the search order) and when a host loads
// it with dlopen(RTLD_LOCAL) (the loaded library's own scope is searched from
// libqvxml.so on). cmake/qvxml.map exports exactly these two names besides the
// interface.
namespace XALAN_CPP_NAMESPACE {

XalanDOMString& NumberToDOMString(double theValue, XalanDOMString& theResult) {
    char16_t text[qv::kMaxNumberText];
    const std::size_t n = qv::formatNumber(theValue, text);
    theResult.append(reinterpret_cast<const XalanDOMChar*>(text),
                     static_cast<XalanDOMString::size_type>(n));
    return theResult;
}

void DOMStringHelper::NumberToCharacters(double theValue, FormatterListener& formatterListener,
                                         MemberFunctionPtr function) {
    char16_t text[qv::kMaxNumberText];
    const std::size_t n = qv::formatNumber(theValue, text);
    (formatterListener.*function)(reinterpret_cast<const XMLCh*>(text),
                                  static_cast<FormatterListener::size_type>(n));
}

}  // namespace XALAN_CPP_NAMESPACE
