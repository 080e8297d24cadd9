// The shapes of XPath expressions that Xalan-C++ cannot survive: it parses and
// evaluates nested groups and chains of operators recursively, so a hostile
// expression could exhaust the stack.
#pragma once

#include <cstddef>
#include <string>

#include "frame/transcode.h"

namespace qv {

// Deepest nesting of parentheses and brackets outside string literals.
std::size_t nestingOf(const XMLCh* expression);

// Why the expression may not be handed to Xalan ("" when it may): longer than
// limits::kMaxExpressionLength or nested deeper than limits::kMaxExpressionNesting.
std::string expressionProblem(const XMLCh* expression);

}  // namespace qv
