#include "xdom/xpath/xpath_budget.h"

#include <xalanc/XPath/XalanXPathException.hpp>

namespace qv {
namespace {

xercesc::MemoryManager& memory() { return xalanc::XalanMemMgrs::getDefaultXercesMemMgr(); }

}  // namespace

CoreFunctionsOnly::CoreFunctionsOnly() : XPathEnvSupportDefault(memory()) {}

xalanc::XObjectPtr CoreFunctionsOnly::extFunction(xalanc::XPathExecutionContext&,
                                                  const xalanc::XalanDOMString& theNamespace,
                                                  const xalanc::XalanDOMString& functionName,
                                                  xalanc::XalanNode*, const XObjectArgVectorType&,
                                                  const xalanc::Locator* locator) const {
    xalanc::XalanDOMString message(u"The function '{", memory());
    message.append(theNamespace);
    message.append(u"}");
    message.append(functionName);
    message.append(u"' is not available: queries use the XPath 1.0 core functions only.");
    throw xalanc::XalanXPathException(message, memory(), locator);
}

std::string workExceeded(unsigned long budget) {
    return "more than " + std::to_string(budget) + " node steps";
}

void BudgetedExecutionContext::exceeded(unsigned long budget) {
    const std::string text = "XPath evaluation stopped: " + workExceeded(budget);
    throw xalanc::XalanXPathException(xalanc::XalanDOMString(text.c_str(), memory()), memory());
}

}  // namespace qv
