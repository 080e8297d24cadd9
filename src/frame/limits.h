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
// Memory the parser may take while scanning one piece of a document (a start tag
// with its attributes, a run of text, the whole DTD, a schema) before handing it
// over: a floor plus a multiple of the document's size in bytes. The tree itself
// grows with the document and is not bounded.
constexpr std::size_t kParseMemoryWindow = std::size_t(256) << 20;
constexpr std::size_t kParseMemoryWindowPerByte = 8;

// XPath and XSLT
constexpr std::size_t kMaxExpressionNesting = 1000;    // parentheses / brackets in one expression
constexpr std::size_t kMaxExpressionLength = 10000;    // characters of one expression (long operator chains recurse)
// Xalan formats a number of 100 or more integer digits into a fixed buffer, which
// overflows: numeric literals are held below that, and results are formatted by us.
constexpr std::size_t kMaxNumberDigits = 90;            // integer digits of a numeric literal
constexpr double kLargestXalanFormattedNumber = 1e90;   // larger results are formatted here
constexpr std::size_t kMaxStylesheetDepth = 1000;       // element nesting of a stylesheet
constexpr unsigned long kMaxIncludedStylesheets = 1000;  // stylesheets included and imported, each time Xalan reads one
constexpr unsigned long kMaxTransformSteps = 100000000;  // instructions executed by one transformation
constexpr int kMaxTransformDepth = 200000;               // template calls, parameters and variables in force at once
constexpr std::size_t kMaxTransformMemory = std::size_t(1) << 30;  // bytes one transformation holds
constexpr unsigned long kMaxTransformOutput = 1UL << 28; // characters of markup and text one transformation emits

}  // namespace qv::limits
