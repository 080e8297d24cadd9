#include "xdom/expression_limits.h"

#include "frame/limits.h"

namespace qv {

std::size_t nestingOf(const XMLCh* s) {
    std::size_t depth = 0, deepest = 0;
    XMLCh quote = 0;
    for (; *s; ++s) {
        XMLCh c = *s;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(' || c == u'[') {
            if (++depth > deepest) deepest = depth;
        } else if ((c == u')' || c == u']') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

namespace {

bool isDigit(XMLCh c) { return c >= u'0' && c <= u'9'; }

// Characters that continue a name (so digits after them belong to the name).
bool continuesName(XMLCh c) {
    return isDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
           c == u'-' || c == u'.' || c >= 0x80;
}

}  // namespace

std::size_t longestNumberOf(const XMLCh* s) {
    std::size_t longest = 0;
    XMLCh quote = 0;
    XMLCh previous = 0;
    while (*s) {
        const XMLCh c = *s;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (isDigit(c) && !continuesName(previous)) {
            while (*s == u'0') ++s;
            std::size_t digits = 0;
            for (; isDigit(*s); ++s) ++digits;
            if (digits > longest) longest = digits;
            previous = u'0';
            continue;
        }
        previous = c;
        ++s;
    }
    return longest;
}

std::string expressionProblem(const XMLCh* expression) {
    if (xmlLength(expression) > limits::kMaxExpressionLength)
        return "The expression is longer than " + std::to_string(limits::kMaxExpressionLength) +
               " characters.";
    if (nestingOf(expression) > limits::kMaxExpressionNesting)
        return "The expression nests parentheses and brackets deeper than " +
               std::to_string(limits::kMaxExpressionNesting) + " levels.";
    if (longestNumberOf(expression) > limits::kMaxNumberDigits)
        return "The expression has a number of more than " +
               std::to_string(limits::kMaxNumberDigits) + " digits.";
    return std::string();
}

}  // namespace qv
