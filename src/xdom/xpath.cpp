// XPath queries over a document handle: QV_XDOMLocate, QV_XDOMEvaluate.
#include <string>

#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathConstructionContextDefault.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XPath/XPathExpression.hpp>
#include <xalanc/XPath/XPathParserException.hpp>
#include <xalanc/XPath/XPathProcessorImpl.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "frame/limits.h"
#include "xdom/xpath/descendant_steps.h"
#include "xdom/xpath/expression_limits.h"
#include "xdom/handle.h"
#include "frame/transcode.h"
#include "xdom/xpath/xpath_budget.h"
#include "xdom/xpath/xpath_context.h"
#include "xdom/xpath/xalan_memory.h"

namespace qv {
namespace {

// Xalan's default construction context prints every syntax error to std::cerr
// before throwing; a library must not write to the host's streams.
class SilentConstructionContext : public xalanc::XPathConstructionContextDefault {
public:
    SilentConstructionContext() : XPathConstructionContextDefault(xalanMemory()) {}

    void problem(eSource, eClassification classification, const xalanc::XalanDOMString& msg,
                 const xalanc::Locator* locator, const xalanc::XalanNode*) override {
        if (classification == eError) throw xalanc::XPathParserException(msg, xalanMemory(), locator);
    }
    void problem(eSource, eClassification classification, const xalanc::XalanDOMString& msg,
                 const xalanc::XalanNode*) override {
        if (classification == eError) throw xalanc::XPathParserException(msg, xalanMemory());
    }
};

// Reports 31 for an expression Xalan could not survive.
bool withinLimits(const XMLCh* expression) {
    const std::string problem = expressionProblem(expression);
    if (problem.empty()) return true;
    reportDom(Error::XPathFailed, "XalanXPathException", problem.c_str());
    return false;
}

// One query: the document's view, the context node, the prefixes, and the
// expression compiled and evaluated by a per-call evaluator. run() returns false
// after a failure that has been reported.
struct Query {
    XPathContext* context = nullptr;
    CoreFunctionsOnly environment;
    xalanc::XObjectFactoryDefault factory{xalanMemory()};
    std::unique_ptr<BudgetedExecutionContext> execution;
    xalanc::XObjectPtr result;

    bool run(QvHandle_* h, const char* expression, const char* namespaceMap) {
        context = &h->xpathView();
        xalanc::XalanNode* contextNode = xalanNodeOf(*context, h);
        if (!contextNode) {  // a node outside the tree (created, never inserted)
            reportDom(Error::XPathNoDetails);
            return false;
        }
        std::unique_ptr<xalanc::PrefixResolver> prefixes =
            prefixResolverFor(context->namespaces, *context->document, namespaceMap);

        XmlText text = toXmlText(expression);
        if (!withinLimits(text.get())) return false;
        xalanc::XPath xpath(xalanMemory());
        SilentConstructionContext construction;
        xalanc::XPathProcessorImpl parser(xalanMemory());
        parser.initXPath(xpath, construction, xalanc::XalanDOMString(text.get(), xalanMemory()),
                         *prefixes);
        rewriteDescendantSteps(xpath);
        execution = std::make_unique<BudgetedExecutionContext>(
            environment, *context->support, factory, limits::kMaxXPathSteps);
        result = xpath.execute(contextNode, *prefixes, *execution);
        return !result.null();
    }
};

// The first node of a node-set in document order.
xalanc::XalanNode* firstInDocumentOrder(const xalanc::NodeRefListBase& nodes) {
    xalanc::XalanNode* first = nodes.item(0);
    for (xalanc::NodeRefListBase::size_type i = 1; i < nodes.getLength(); ++i) {
        xalanc::XalanNode* node = nodes.item(i);
        if (xalanc::DOMServices::isNodeAfter(*first, *node)) first = node;
    }
    return first;
}

// A query starts the XPath runtime; Xalan's own exceptions are told by their type.
constexpr ExportOptions queryExport(const char* name) {
    return domExport(name)
        .starts(Runtime::Xml)
        .fallsBackTo(Error::XPathNoDetails)
        .reportsXPathExceptions();
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMLocate(QvHandle h, const char* path, const char* namespaceMap) {
    const auto options = qv::queryExport("XDOMLocate");
    const auto arguments = qv::Arguments().check(qv::handleProblem(h)).needs(path, "a null path");
    return qv::callExport<QvHandle>(options, arguments, nullptr, [&]() -> QvHandle {
        h->domNode();  // the node found is handed back
        const char* expression = *path ? path : ".";
        qv::Query query;
        if (!query.run(h, expression, namespaceMap)) return nullptr;
        if (query.result->nodeset().getLength() == 0) {
            qv::reportDom(qv::Error::PathNotFound, expression);
            return nullptr;
        }
        const xercesc::DOMNode* node =
            qv::xercesNodeOf(*query.context, qv::firstInDocumentOrder(query.result->nodeset()));
        if (!node) return nullptr;
        return qv::makeNodeHandle(h, const_cast<xercesc::DOMNode*>(node));
    });
}

QVXML_API const char* QV_XDOMEvaluate(QvHandle h, const char* expression,
                                      const char* namespaceMap) {
    const auto options = qv::queryExport("XDOMEvaluate");
    const auto arguments =
        qv::Arguments().check(qv::handleProblem(h)).needs(expression, "a null expression");
    // A string comes back, no node: a document in its compact form is queried
    // without building its DOM.
    return qv::callExport<const char*>(options, arguments, nullptr, [&]() -> const char* {
        if (!*expression) expression = ".";
        qv::Query query;
        if (!query.run(h, expression, namespaceMap)) return nullptr;
        return qv::setResultText(h, qv::toHostText(query.result->str().c_str()));
    });
}

}  // extern "C"
