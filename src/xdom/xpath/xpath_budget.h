// What one XPath evaluation may do: queries have no extension functions, and
// queries and transformations a bounded amount of work.
//
// Xalan-C++ has no way to cancel an evaluation, and some short expressions do
// work that grows with the cube of the document (`count(//a[//b[//c]])`). Its
// step loop borrows a node list from the execution context for every context node
// of every step and returns it with the nodes the step selected: one unit per
// borrow and per node returned measures the work, and throwing from there unwinds
// the evaluation like any XPath error.
#pragma once

#include <string>
#include <utility>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XPath/MutableNodeRefList.hpp>
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

// "more than N node steps", the reason a budgeted evaluation stopped.
std::string workExceeded(unsigned long budget);

// An execution context (Xalan's query or stylesheet context) that counts its XPath
// work and calls exceeded() (which throws) once it goes over `budget` units.
template <class Context>
class WorkBudgeted : public Context {
public:
    template <class... Args>
    explicit WorkBudgeted(unsigned long budget, Args&&... args)
        : Context(std::forward<Args>(args)...), budget_(budget) {}

    xalanc::MutableNodeRefList* borrowMutableNodeRefList() override {
        if (++work_ > budget_) exceeded(budget_);
        return Context::borrowMutableNodeRefList();
    }
    bool returnMutableNodeRefList(xalanc::MutableNodeRefList* theList) override {
        // Lists go back while the evaluation unwinds, too: never throw from here.
        if (theList) work_ += theList->getLength();
        return Context::returnMutableNodeRefList(theList);
    }

    unsigned long work() const { return work_; }

protected:
    [[noreturn]] virtual void exceeded(unsigned long budget) = 0;

private:
    unsigned long work_ = 0;
    unsigned long budget_;
};

// The context of a query: stops it with an XPath exception ("XPath evaluation
// stopped: more than N node steps").
class BudgetedExecutionContext : public WorkBudgeted<xalanc::XPathExecutionContextDefault> {
public:
    BudgetedExecutionContext(xalanc::XPathEnvSupport& envSupport, xalanc::DOMSupport& domSupport,
                             xalanc::XObjectFactory& factory, unsigned long budget)
        : WorkBudgeted(budget, envSupport, domSupport, factory) {}

protected:
    [[noreturn]] void exceeded(unsigned long budget) override;
};

}  // namespace qv
