// Running a compiled stylesheet over a source, as Xalan-C++'s transformer does,
// but in an execution context of ours: the XPath work inside the transformation
// is counted and bounded like a query's (xpath_budget.h). The transformer keeps
// compiling stylesheets; it offers no way to put another context in its place.
#pragma once

#include <string>

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

struct StylesheetRun {
    xercesc::MemoryManager* memory = nullptr;           // everything the run allocates
    xalanc::TraceListener* trace = nullptr;             // also sees selections
    xercesc::ErrorHandler* parseErrors = nullptr;       // documents the stylesheet loads
    xercesc::EntityResolver* entities = nullptr;        // what those documents refer to
    unsigned long xpathBudget = 0;                      // node steps of XPath work
};

// Transforms `source` into `target`. Returns false with `error` set to the
// message Xalan gives (or "transformation stopped: more than N node steps" when
// the XPath work went over the budget).
bool runStylesheet(const xalanc::XalanParsedSource& source,
                   const xalanc::XalanCompiledStylesheet& compiled, xalanc::XSLTResultTarget& target,
                   const StylesheetRun& run, std::string& error);

}  // namespace qv
