// Running a compiled stylesheet over a source, as Xalan-C++'s transformer does,
// but in an execution context of ours: the XPath work inside the transformation
// is counted and bounded like a query's (xpath_budget.h). The transformer keeps
// compiling stylesheets; it offers no way to put another context in its place.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class EntityResolver;
class ErrorHandler;
class MemoryManager;
XERCES_CPP_NAMESPACE_END

namespace XALAN_CPP_NAMESPACE {
class TraceListener;
class XalanCompiledStylesheet;
class XalanParsedSource;
class XSLTResultTarget;
}

namespace qv {

struct TransformParameter;

struct StylesheetRun {
    xercesc::MemoryManager* memory = nullptr;           // everything the run allocates
    xalanc::TraceListener* trace = nullptr;             // also sees selections
    xercesc::ErrorHandler* parseErrors = nullptr;       // documents the stylesheet loads
    xercesc::EntityResolver* entities = nullptr;        // what those documents refer to
    unsigned long xpathBudget = 0;                      // node steps of XPath work
    const std::vector<TransformParameter>* parameters = nullptr;  // top-level xsl:param
    // Each xsl:message and each warning, as one line of UTF-16 text; unset: dropped.
    std::function<void(const std::u16string&)> notice;
};

// Transforms `source` into `target` with what Xalan-C++'s own transformer
// installs: number formatting by pattern and decimal format, sorting by language
// and case order. Returns false with `error` set to the message Xalan gives
// (the message of an xsl:message that terminates) (or "transformation stopped: more than N node steps" when
// the XPath work went over the budget).
bool runStylesheet(const xalanc::XalanParsedSource& source,
                   const xalanc::XalanCompiledStylesheet& compiled, xalanc::XSLTResultTarget& target,
                   const StylesheetRun& run, std::string& error);

}  // namespace qv
