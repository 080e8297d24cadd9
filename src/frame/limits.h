// Every bound that protects the host process from hostile input, in one place.
// README.md lists them; no legitimate document comes near any of them.
#pragma once

#include <cstddef>

namespace qv::limits {

// A limit a test may lower for its own length (Lowered), so that reaching it takes a
// small input; the library reads it like a constant. Nothing else changes it: it is
// neither an export nor reachable from documents or the environment.
template <class T>
class Adjustable {
public:
    constexpr explicit Adjustable(T value) : value_(value) {}
    operator T() const { return value_; }
    T value() const { return value_; }

private:
    template <class>
    friend class Lowered;
    T value_;
};

// Lowers `limit` to `value` (never raises it) until the end of the scope.
template <class T>
class Lowered {
public:
    Lowered(Adjustable<T>& limit, T value) : limit_(limit), saved_(limit.value_) {
        if (value < saved_) limit.value_ = value;
    }
    ~Lowered() { limit_.value_ = saved_; }
    Lowered(const Lowered&) = delete;
    Lowered& operator=(const Lowered&) = delete;

private:
    Adjustable<T>& limit_;
    T saved_;
};

}  // namespace qv::limits

namespace qv::limits {

// Parsing
constexpr unsigned kEntityExpansions = 50000;          // entity references expanded per document
// Element nesting: Xerces-C++ writes and copies trees recursively; at this depth
// that takes about a quarter of a 1 MB thread stack.
constexpr std::size_t kMaxElementDepth = 2048;
// Attributes of one element: the tree's attribute map finds each new one by a
// linear search, so a start tag costs the square of its attributes.
inline Adjustable<std::size_t> kMaxAttributes{10000};
// Distinct element names of one document: the parser keeps a declaration of some
// 600 bytes for each, 64 times what the name costs in the document.
constexpr unsigned kMaxElementNames = 100000;
// Characters of content that entity expansion may add to a document: the larger of
// a fixed floor and a multiple of the document's size in bytes.
inline Adjustable<std::size_t> kEntityExpansionChars{10000000};
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
// Node steps of one XPath evaluation (one per context node of every location step):
// the work of an expression, which can grow with a power of the document's size.
// A query over every node of a 54 MB document takes 10 million; 50 million take
// about 3 s.
inline Adjustable<unsigned long> kMaxXPathSteps{50000000};
constexpr std::size_t kMaxStylesheetDepth = 1000;       // element nesting of a stylesheet
constexpr unsigned long kMaxIncludedStylesheets = 1000;  // stylesheets included and imported, each time Xalan reads one
inline Adjustable<unsigned long> kMaxTransformSteps{100000000};  // instructions executed by one transformation
inline Adjustable<int> kMaxTransformDepth{200000};              // template calls, parameters and variables in force at once
constexpr std::size_t kMaxTransformMemory = std::size_t(1) << 30;  // bytes one transformation holds
inline Adjustable<unsigned long> kMaxTransformOutput{1UL << 28}; // characters of markup and text one transformation emits

// Mapping
constexpr int kMaxMaps = 1000;                    // TABLECLASSMAPs in one mapping file
constexpr int kMaxMapNesting = 64;                // levels of maps nested by TableMap
// Records and record text one QV_XMAPOpen may build from its input document: a
// start path that climbs ("../a") can read the same elements again under every
// parent record, and "xmldata()" of an ancestor copies it into every record.
constexpr unsigned long kMaxRecordsPerOpen = 10000000;
constexpr std::size_t kMaxRecordTextPerOpen = std::size_t(1) << 30;
// Elements one QV_XMAPOpen looks at while following start and column paths: a
// floor and an allowance per record queued. A read of ten columns looks at about
// fifty per record; a column path that climbs ("../x") looks at every sibling for
// every record, the square of them. 10^8 take a second or two.
constexpr unsigned long kMaxElementVisitsPerOpen = 100000000UL;
constexpr unsigned long kElementVisitsPerRecord = 200;

}  // namespace qv::limits
