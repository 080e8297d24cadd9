// Every bound that protects the host process from hostile input, in one place.
// README.md lists them; no legitimate document comes near any of them.
#pragma once

#include <cstddef>

namespace qv::limits {

// Parsing
constexpr unsigned kEntityExpansions = 50000;          // entity references expanded per document
constexpr std::size_t kMaxElementDepth = 10000;        // element nesting
// Characters of content that entity expansion may add to a document: the larger of
// a fixed floor and a multiple of the document's size in bytes.
constexpr std::size_t kEntityExpansionChars = 10000000;
constexpr std::size_t kEntityAmplification = 5;

// XPath and XSLT
constexpr std::size_t kMaxExpressionNesting = 1000;    // parentheses / brackets in one expression

}  // namespace qv::limits
