#include "xdom/xpath_budget.h"

#include <string>

#include <xalanc/XPath/MutableNodeRefList.hpp>
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

BudgetedExecutionContext::BudgetedExecutionContext(xalanc::XPathEnvSupport& envSupport,
                                                   xalanc::DOMSupport& domSupport,
                                                   xalanc::XObjectFactory& factory,
                                                   unsigned long budget)
    : XPathExecutionContextDefault(envSupport, domSupport, factory), budget_(budget) {}

void BudgetedExecutionContext::charge(unsigned long units) {
    work_ += units;
    if (work_ <= budget_) return;
    const std::string text =
        "XPath evaluation stopped: more than " + std::to_string(budget_) + " node steps";
    throw xalanc::XalanXPathException(xalanc::XalanDOMString(text.c_str(), memory()), memory());
}

xalanc::MutableNodeRefList* BudgetedExecutionContext::borrowMutableNodeRefList() {
    charge(1);
    return XPathExecutionContextDefault::borrowMutableNodeRefList();
}

bool BudgetedExecutionContext::returnMutableNodeRefList(xalanc::MutableNodeRefList* theList) {
    const unsigned long selected = theList ? theList->getLength() : 0;
    const bool returned = XPathExecutionContextDefault::returnMutableNodeRefList(theList);
    // Returning runs while the evaluation unwinds, too: never throw from here.
    work_ += selected;
    return returned;
}

}  // namespace qv
