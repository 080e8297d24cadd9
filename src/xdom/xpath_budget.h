// What one XPath evaluation of the query exports may do: no extension functions,
// and a bounded amount of work.
//
// Xalan-C++ has no way to cancel an evaluation, and some short expressions do
// work that grows with the cube of the document (`count(//a[//b[//c]])`). Its
// step loop borrows a node list from the execution context for every context node
// of every step and returns it with the nodes the step selected: one unit per
// borrow and per node returned measures the work, and throwing from there unwinds
// the evaluation like any XPath error.
#pragma once

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XPath/XObjectFactoryDefault.hpp>
#include <xalanc/XPath/XPathEnvSupportDefault.hpp>
#include <xalanc/XPath/XPathExecutionContextDefault.hpp>

namespace qv {

// The environment of a query: the XPath 1.0 core functions only. The extension
// functions a transformation installs process-wide stay out of reach.
class CoreFunctionsOnly : public xalanc::XPathEnvSupportDefault {
public:
    CoreFunctionsOnly();

    bool functionAvailable(const xalanc::XalanDOMString&,
                           const xalanc::XalanDOMString&) const override {
        return false;
    }
    xalanc::XObjectPtr extFunction(xalanc::XPathExecutionContext& executionContext,
                                   const xalanc::XalanDOMString& theNamespace,
                                   const xalanc::XalanDOMString& functionName,
                                   xalanc::XalanNode* context,
                                   const XObjectArgVectorType& argVec,
                                   const xalanc::Locator* locator) const override;
};

// An execution context that stops the evaluation with an XPath exception ("XPath
// evaluation stopped: ...") once its work goes over `budget` units.
class BudgetedExecutionContext : public xalanc::XPathExecutionContextDefault {
public:
    BudgetedExecutionContext(xalanc::XPathEnvSupport& envSupport, xalanc::DOMSupport& domSupport,
                             xalanc::XObjectFactory& factory, unsigned long budget);

    xalanc::MutableNodeRefList* borrowMutableNodeRefList() override;
    bool returnMutableNodeRefList(xalanc::MutableNodeRefList* theList) override;

    unsigned long work() const { return work_; }

private:
    void charge(unsigned long units);

    unsigned long work_ = 0;
    unsigned long budget_;
};

}  // namespace qv
