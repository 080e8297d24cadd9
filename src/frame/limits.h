// Every bound that protects the host process from hostile input, in one place.
// README.md lists them; no legitimate document comes near any of them.
#pragma once

#include <cstddef>

namespace qv::limits {

// Parsing
constexpr unsigned kEntityExpansions = 50000;          // entity references expanded per document
constexpr std::size_t kMaxElementDepth = 10000;        // element nesting

// XPath and XSLT
constexpr std::size_t kMaxExpressionNesting = 1000;    // parentheses / brackets in one expression
constexpr std::size_t kMaxExpressionLength = 10000;    // characters of one expression (long operator chains recurse)
constexpr unsigned long kMaxTransformSteps = 100000000;  // instructions executed by one transformation
constexpr int kMaxTransformDepth = 200000;               // template calls, parameters and variables in force at once
constexpr unsigned long kMaxTransformOutput = 1UL << 28; // characters of markup and text one transformation emits

}  // namespace qv::limits
