#include "xdom/xslt/stylesheet_run.h"

#include <xalanc/PlatformSupport/DOMStringPrintWriter.hpp>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XMLSupport/XMLParserLiaison.hpp>
#include <xalanc/XPath/XObjectFactoryDefault.hpp>
#include <xalanc/XPath/XPathFactoryBlock.hpp>
#include <xalanc/XSLT/StylesheetExecutionContextDefault.hpp>
#include <xalanc/XSLT/XSLTEngineImpl.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTProcessorEnvSupportDefault.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanTransformer/XalanCompiledStylesheet.hpp>
#include <xalanc/XalanTransformer/XalanParsedSource.hpp>
#include <xalanc/XalanTransformer/XalanTransformerProblemListener.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "frame/transcode.h"
#include "xdom/xpath/xpath_budget.h"

namespace qv {
namespace {

// Thrown out of the transformation when its XPath work goes over the budget.
class XPathWorkExceeded : public xalanc::XSLException {
public:
    XPathWorkExceeded(const std::string& message, xercesc::MemoryManager& memory)
        : XSLException(xalanc::XalanDOMString(message.c_str(), memory), memory) {}
    const XMLCh* getType() const override { return u"XPathWorkExceeded"; }
};

class BudgetedStylesheetContext
    : public WorkBudgeted<xalanc::StylesheetExecutionContextDefault> {
public:
    BudgetedStylesheetContext(unsigned long budget, xercesc::MemoryManager& memory,
                              xalanc::XSLTEngineImpl& processor,
                              xalanc::XPathEnvSupport& envSupport,
                              xalanc::DOMSupport& domSupport, xalanc::XObjectFactory& factory)
        : WorkBudgeted(budget, memory, processor, envSupport, domSupport, factory),
          memory_(memory) {}

    const std::string& stopped() const { return stopped_; }

protected:
    [[noreturn]] void exceeded(unsigned long budget) override {
        stopped_ = "transformation stopped: " + workExceeded(budget);
        throw XPathWorkExceeded(stopped_, memory_);
    }

private:
    xercesc::MemoryManager& memory_;
    std::string stopped_;
};

}  // namespace

bool runStylesheet(const xalanc::XalanParsedSource& source,
                   const xalanc::XalanCompiledStylesheet& compiled, xalanc::XSLTResultTarget& target,
                   const StylesheetRun& run, std::string& error) {
    xercesc::MemoryManager& memory = *run.memory;
    // What the problem listener writes: the message of a failure.
    xalanc::XalanDOMString problems(memory);
    std::string stopped;
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
        BudgetedStylesheetContext context(run.xpathBudget, memory, processor, envSupport,
                                          domSupport, factory);
        liaison.setExecutionContext(context);
        liaison.setErrorHandler(run.parseErrors);
        liaison.setEntityResolver(run.entities);

        xalanc::DOMStringPrintWriter writer(problems);
        xalanc::XalanTransformerProblemListener listener(memory, nullptr, &writer);
        processor.setProblemListener(&listener);
        if (run.trace) {
            processor.addTraceListener(run.trace);
            processor.setTraceSelects(true);
        }

        xalanc::XSLTInputSource input(source.getDocument(), memory);
        input.setSystemId(source.getURI().c_str());
        context.setStylesheetRoot(compiled.getStylesheetRoot());
        try {
            processor.process(input, target, context);
        } catch (...) {
            stopped = context.stopped();
            throw;
        }
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
    error = stopped.empty() ? localText(problems.c_str()) : stopped;
    return false;
}

}  // namespace qv
