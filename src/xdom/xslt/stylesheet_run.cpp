#include "xdom/xslt/stylesheet_run.h"

#include <cstddef>
#include <cstdlib>

#include <xalanc/PlatformSupport/DOMStringPrintWriter.hpp>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XMLSupport/XMLParserLiaison.hpp>
#include <xalanc/XPath/XObjectFactoryDefault.hpp>
#include <xalanc/XPath/XPathFactoryBlock.hpp>
#include <xalanc/XSLT/StylesheetExecutionContextDefault.hpp>
#include <xalanc/XSLT/GenerateEvent.hpp>
#include <xalanc/XSLT/StylesheetExecutionContext.hpp>
#include <xalanc/XSLT/TracerEvent.hpp>
#include <xalanc/XSLT/XSLTEngineImpl.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTProcessorEnvSupportDefault.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanTransformer/XalanCompiledStylesheet.hpp>
#include <xalanc/XalanTransformer/XalanParsedSource.hpp>
#include <xalanc/XalanTransformer/XalanTransformerProblemListener.hpp>
#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "frame/limits.h"
#include "frame/transcode.h"
#include "xdom/xpath/xalan_memory.h"
#include "xdom/xpath/xpath_budget.h"
#include "xdom/xslt/transform_sources.h"

namespace qv {
namespace {

// Thrown from inside the transformation when it goes over a budget; the
// transformer catches it like its own errors and unwinds.
class BudgetExceeded : public xalanc::XSLException {
public:
    explicit BudgetExceeded(const std::string& message)
        : XSLException(xalanc::XalanDOMString(message.c_str(), xalanMemory()), xalanMemory()) {}
    const XMLCh* getType() const override { return u"BudgetExceeded"; }
};

// The execution context of a run: its XPath work and the strings its functions
// make go to the transformation's budget.
class BudgetedStylesheetContext
    : public WorkBudgeted<xalanc::StylesheetExecutionContextDefault> {
public:
    BudgetedStylesheetContext(TransformBudget& budget, unsigned long xpathBudget,
                              xercesc::MemoryManager& memory, xalanc::XSLTEngineImpl& processor,
                              xalanc::XPathEnvSupport& envSupport,
                              xalanc::DOMSupport& domSupport, xalanc::XObjectFactory& factory)
        : WorkBudgeted(xpathBudget, memory, processor, envSupport, domSupport, factory),
          budget_(budget) {}

    void growing(std::size_t characters) override {
        budget_.growing(characters * sizeof(XMLCh));
    }

protected:
    [[noreturn]] void exceeded(unsigned long budget) override {
        budget_.stop(workExceeded(budget));
    }

private:
    TransformBudget& budget_;
};

constexpr std::size_t kHeader = alignof(std::max_align_t);

}  // namespace

xercesc::MemoryManager* TransformMemory::getExceptionMemoryManager() { return &xalanMemory(); }

void* TransformMemory::allocate(XMLSize_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw xercesc::OutOfMemoryException();
    *static_cast<std::size_t*>(block) = size;
    held_ += size;
    return static_cast<char*>(block) + kHeader;
}

void TransformMemory::deallocate(void* p) {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    held_ -= *static_cast<std::size_t*>(block);
    std::free(block);
}

void TransformBudget::trace(const xalanc::TracerEvent& event) {
    step();
    // Every template call, parameter and variable takes a frame entry that is
    // kept until the call returns: the index measures the recursion.
    if (event.m_executionContext.getCurrentStackFrameIndex() > limits::kMaxTransformDepth)
        stop("its templates nest deeper than " + std::to_string(limits::kMaxTransformDepth) +
             " calls, parameters and variables (endless recursion?)");
}

void TransformBudget::generated(const xalanc::GenerateEvent& event) {
    unsigned long size = event.m_length + event.m_name.length() + event.m_data.length();
    if (event.m_pAtts) {
        for (XMLSize_t i = 0; i < event.m_pAtts->getLength(); ++i)
            size += xmlLength(event.m_pAtts->getName(i)) + xmlLength(event.m_pAtts->getValue(i));
    }
    output_ += size;
    if (output_ > limits::kMaxTransformOutput)
        stop("the result is longer than " + std::to_string(limits::kMaxTransformOutput) +
             " characters");
}

void TransformBudget::step() {
    if (++steps_ > limits::kMaxTransformSteps)
        stop("more than " + std::to_string(limits::kMaxTransformSteps) + " steps");
    growing(0);
}

void TransformBudget::growing(std::size_t bytes) {
    if (memory_.held() + bytes > limits::kMaxTransformMemory)
        stop("it holds more than " + std::to_string(limits::kMaxTransformMemory >> 20) + " MiB");
}

void TransformBudget::stop(const std::string& what) {
    exceeded_ = "transformation stopped: " + what;
    throw BudgetExceeded(exceeded_);
}

const char* transformFailure(const TransformBudget& budget, const TransformSources& sources,
                             const char* error) {
    if (!budget.exceeded().empty()) return budget.exceeded().c_str();
    if (!sources.problem().empty()) return sources.problem().c_str();
    return error && *error ? error : "no detailed message";
}

bool runStylesheet(const xalanc::XalanParsedSource& source,
                   const xalanc::XalanCompiledStylesheet& compiled, xalanc::XSLTResultTarget& target,
                   const StylesheetRun& run, std::string& error) {
    xercesc::MemoryManager& memory = *run.memory;
    // What the problem listener writes: the message of a failure.
    xalanc::XalanDOMString problems(memory);
    try {
        xalanc::XalanMemMgrAutoPtr<xalanc::XalanParsedSourceHelper> helper(
            memory, source.createHelper(memory));
        xalanc::DOMSupport& domSupport = helper->getDOMSupport();
        xalanc::XMLParserLiaison& liaison = helper->getParserLiaison();
        xalanc::XSLTProcessorEnvSupportDefault envSupport(memory);
        xalanc::XObjectFactoryDefault factory(memory);
        xalanc::XPathFactoryBlock xpathFactory(memory);
        xalanc::XSLTEngineImpl processor(memory, liaison, envSupport, domSupport, factory,
                                         xpathFactory);
        envSupport.setProcessor(&processor);
        BudgetedStylesheetContext context(*run.budget, run.xpathBudget, memory, processor,
                                          envSupport, domSupport, factory);
        liaison.setExecutionContext(context);
        liaison.setErrorHandler(run.parseErrors);
        liaison.setEntityResolver(run.entities);

        xalanc::DOMStringPrintWriter writer(problems);
        xalanc::XalanTransformerProblemListener listener(memory, nullptr, &writer);
        processor.setProblemListener(&listener);
        processor.addTraceListener(run.budget);
        processor.setTraceSelects(true);

        xalanc::XSLTInputSource input(source.getDocument(), memory);
        input.setSystemId(source.getURI().c_str());
        context.setStylesheetRoot(compiled.getStylesheetRoot());
        processor.process(input, target, context);
        return true;
    } catch (const xalanc::XSLException& e) {
        if (problems.empty()) e.defaultFormat(problems);
    } catch (const xercesc::SAXParseException& e) {
        if (problems.empty()) problems.append(e.getMessage());
    } catch (const xercesc::SAXException& e) {
        if (problems.empty()) problems.append(e.getMessage());
    } catch (const xercesc::XMLException& e) {
        if (problems.empty()) problems.append(e.getMessage());
    } catch (const xalanc::XalanDOMException&) {
        if (problems.empty()) problems.append(u"XalanDOMException");
    }
    error = localText(problems.c_str());
    return false;
}

}  // namespace qv
