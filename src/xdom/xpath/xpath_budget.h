// What one XPath evaluation may do: queries have no extension functions, and
// queries and transformations a bounded amount of work.
//
// Xalan-C++ has no way to cancel an evaluation, and some short expressions do
// work that grows with the cube of the document (`count(//a[//b[//c]])`) or with
// the product of two node-sets (`//a = //b`). The work is counted where it is done
// (WorkMeter), and throwing from there unwinds the evaluation like any XPath error.
#pragma once

#include <cstddef>
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

// Counts the work of one evaluation in node steps and stops it past its budget.
// Besides the step loop (below), what costs is counted where Xalan does it: every
// string value taken (a step, and one per kCopiedCharactersPerStep characters: a
// comparison of two node-sets takes one for each pair it compares), and the
// string functions that may touch long strings (contains, substring-before,
// substring-after, translate, concat: the characters they touch, on linear
// algorithms of ours; id(): the IDs it looks up, the elements put in document
// order with one sort). The meter made last is the active one until it goes.
class WorkMeter {
public:
    // A node step (a list borrowed and given back) takes about as long as a string
    // value taken, four characters searched or sixteen copied.
    static constexpr std::size_t kCharactersPerStep = 4;
    static constexpr std::size_t kCopiedCharactersPerStep = 16;

    explicit WorkMeter(unsigned long budget);
    virtual ~WorkMeter();
    WorkMeter(const WorkMeter&) = delete;
    WorkMeter& operator=(const WorkMeter&) = delete;

    // Adds `units`; past the budget, exceeded() throws.
    void charge(unsigned long units) {
        work_ += units;
        if (work_ > budget_) exceeded(budget_);
    }
    void chargeCharacters(std::size_t characters) {
        charge(1 + static_cast<unsigned long>(characters / kCharactersPerStep));
    }
    void chargeStringValue(std::size_t characters) {
        charge(1 + static_cast<unsigned long>(characters / kCopiedCharactersPerStep));
    }
    // Before a string function makes a string of `characters`: a transformation
    // checks what it holds here, so one instruction cannot grow it by any factor.
    virtual void growing(std::size_t characters) { (void)characters; }

    unsigned long work() const { return work_; }

    // The meter of the evaluation under way, or null.
    static WorkMeter* active();

protected:
    // Counts without stopping (where Xalan cannot take an exception).
    void add(unsigned long units) { work_ += units; }
    [[noreturn]] virtual void exceeded(unsigned long budget) = 0;

private:
    unsigned long work_ = 0;
    unsigned long budget_;
    WorkMeter* previous_;
};

// The work of a node list a step brings back: one unit per node, and for a
// namespace node the attributes of its element besides (Xalan places every one it
// produces among the others by a walk over them; an element's namespace nodes are
// produced again for each of its descendants).
unsigned long listWork(const xalanc::NodeRefListBase& list);

// An execution context (Xalan's query or stylesheet context) that counts its XPath
// work: one unit per node list its step loop borrows (one per context node of every
// step) and the work of what such a list brings back (listWork).
template <class Context>
class WorkBudgeted : public Context, public WorkMeter {
public:
    template <class... Args>
    explicit WorkBudgeted(unsigned long budget, Args&&... args)
        : Context(std::forward<Args>(args)...), WorkMeter(budget) {}

    xalanc::MutableNodeRefList* borrowMutableNodeRefList() override {
        charge(1);
        return Context::borrowMutableNodeRefList();
    }
    bool returnMutableNodeRefList(xalanc::MutableNodeRefList* theList) override {
        // Lists go back while the evaluation unwinds, too: never throw from here.
        if (theList) add(listWork(*theList));
        return Context::returnMutableNodeRefList(theList);
    }
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
