// Running a compiled stylesheet over a source, as Xalan-C++'s transformer does,
// but in an execution context of ours: the XPath work inside the transformation
// is counted and bounded like a query's (xpath_budget.h). The transformer keeps
// compiling stylesheets; it offers no way to put another context in its place.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xercesc/framework/MemoryManager.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class EntityResolver;
class ErrorHandler;
class MemoryManager;
XERCES_CPP_NAMESPACE_END

namespace XALAN_CPP_NAMESPACE {
class XalanCompiledStylesheet;
class XalanParsedSource;
class XSLTResultTarget;
}

namespace qv {

class TransformSources;
struct TransformParameter;

// The transformer's memory manager: counts what the transformation holds (its
// variables, result tree fragments, keys and the compiled stylesheet), so that the
// budget below can stop a stylesheet that doubles a string in a few steps. It never
// refuses an allocation itself: Xalan does not always survive a failing one.
class TransformMemory : public xercesc::MemoryManager {
public:
    std::size_t held() const { return held_; }

    xercesc::MemoryManager* getExceptionMemoryManager() override;
    void* allocate(XMLSize_t size) override;
    void deallocate(void* p) override;

private:
    std::size_t held_ = 0;
};

// Every budget of one transformation and the message of the one that stopped it:
// the instructions it executes, how deep its template calls nest, the characters it
// emits, the memory it holds (checked at every instruction and before a string
// function makes a string), and its XPath work (xpath_budget.h). A template that
// calls itself forever would otherwise run until memory is exhausted.
class TransformBudget {
public:
    explicit TransformBudget(const TransformMemory& memory) : memory_(memory) {}

    // An instruction about to run, with `frames` call, parameter and variable
    // frames in force.
    void instruction(int frames);
    // `characters` more of the result (counted_output.h).
    void emitted(std::size_t characters);

    // Stops the transformation if it would hold more than its limit with `bytes` more.
    void growing(std::size_t bytes);
    // Stops it: "transformation stopped: <what>", thrown as a Xalan exception.
    [[noreturn]] void stop(const std::string& what);

    // The message when a budget stopped the transformation, else empty.
    const std::string& exceeded() const { return exceeded_; }

private:
    const TransformMemory& memory_;
    unsigned long steps_ = 0;
    unsigned long output_ = 0;
    std::string exceeded_;
};

// The message of a failed transformation: the budget's, when one stopped it, else
// why a resource the stylesheet asked for was not read, else Xalan's own `error`,
// else "no detailed message".
const char* transformFailure(const TransformBudget& budget, const TransformSources& sources,
                             const char* error);

struct StylesheetRun {
    xercesc::MemoryManager* memory = nullptr;           // everything the run allocates
    TransformBudget* budget = nullptr;                  // sees every instruction and the result
    xercesc::ErrorHandler* parseErrors = nullptr;       // documents the stylesheet loads
    xercesc::EntityResolver* entities = nullptr;        // what those documents refer to
    unsigned long xpathBudget = 0;                      // node steps of XPath work
    const std::vector<TransformParameter>* parameters = nullptr;  // top-level xsl:param
    // Each xsl:message and each warning, as one line of UTF-16 text; unset: dropped.
    std::function<void(const std::u16string&)> notice;
};

// Transforms `source` into `target` with what Xalan-C++'s own transformer
// installs: number formatting by pattern and decimal format, sorting by language
// and case order. Returns false with `error` set to the message Xalan gives (the
// message of an xsl:message that terminates; a budget that stopped it keeps its
// own message).
bool runStylesheet(const xalanc::XalanParsedSource& source,
                   const xalanc::XalanCompiledStylesheet& compiled, xalanc::XSLTResultTarget& target,
                   const StylesheetRun& run, std::string& error);

}  // namespace qv
