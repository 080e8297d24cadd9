#include "xdom/xpath/expression_limits.h"

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

std::string expressionProblem(const XMLCh* expression) {
    if (xmlLength(expression) > limits::kMaxExpressionLength)
        return "The expression is longer than " + std::to_string(limits::kMaxExpressionLength) +
               " characters.";
    if (nestingOf(expression) > limits::kMaxExpressionNesting)
        return "The expression nests parentheses and brackets deeper than " +
               std::to_string(limits::kMaxExpressionNesting) + " levels.";
    return std::string();
}

}  // namespace qv
