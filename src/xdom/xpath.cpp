// XPath queries over a document handle: QV_XDOMLocate, QV_XDOMEvaluate.
#include <string>

#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathConstructionContextDefault.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XPath/XPathParserException.hpp>
#include <xalanc/XPath/XPathProcessorImpl.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/errors.h"
#include "frame/guard.h"
#include "frame/limits.h"
#include "frame/runtime.h"
#include "xdom/descendant_steps.h"
#include "xdom/expression_limits.h"
#include "xdom/handle.h"
#include "xdom/transcode.h"
#include "xdom/xpath_context.h"

namespace qv {
namespace {

xercesc::MemoryManager& memory() { return xalanc::XalanMemMgrs::getDefaultXercesMemMgr(); }

// Xalan's default construction context prints every syntax error to std::cerr
// before throwing; a library must not write to the host's streams.
class SilentConstructionContext : public xalanc::XPathConstructionContextDefault {
public:
    SilentConstructionContext() : XPathConstructionContextDefault(memory()) {}

    void problem(eSource, eClassification classification, const xalanc::XalanDOMString& msg,
                 const xalanc::Locator* locator, const xalanc::XalanNode*) override {
        if (classification == eError) throw xalanc::XPathParserException(msg, memory(), locator);
    }
    void problem(eSource, eClassification classification, const xalanc::XalanDOMString& msg,
                 const xalanc::XalanNode*) override {
        if (classification == eError) throw xalanc::XPathParserException(msg, memory());
    }
};

// Reports 31 for an expression Xalan could not survive.
bool withinLimits(const XMLCh* expression) {
    const std::string problem = expressionProblem(expression);
    if (problem.empty()) return true;
    reportDom(31, "XalanXPathException", problem.c_str());
    return false;
}

// One query: the document's view, the context node, the prefixes, and the
// expression compiled and evaluated by a per-call evaluator. `result` is null
// after a failure that has been reported.
struct Query {
    XPathContext* context = nullptr;
    xalanc::XPathEvaluator evaluator;
    xalanc::XObjectPtr result;

    bool run(QvHandle_* h, const char* expression, const char* namespaceMap) {
        context = &currentXPathContext(h);
        xalanc::XalanNode* contextNode = xalanNodeOf(*context, h);
        if (!contextNode) {  // a node outside the tree (created, never inserted)
            reportDom(32);
            return false;
        }
        std::unique_ptr<xalanc::PrefixResolver> prefixes =
            prefixResolverFor(context->namespaces, *context->document, namespaceMap);

        XmlText text = toXmlText(expression);
        if (!withinLimits(text.get())) return false;
        xalanc::XPath xpath(memory());
        SilentConstructionContext construction;
        xalanc::XPathProcessorImpl parser(memory());
        parser.initXPath(xpath, construction, xalanc::XalanDOMString(text.get(), memory()),
                         *prefixes);
        rewriteDescendantSteps(xpath);
        result = evaluator.evaluate(*context->support, contextNode, xpath, *prefixes);
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

constexpr CatchPolicy kLocatePolicy{"XDOMLocate", 32, nullptr, true, false};
constexpr CatchPolicy kEvaluatePolicy{"XDOMEvaluate", 32, nullptr, true, false};

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMLocate(QvHandle h, const char* path, const char* namespaceMap) {
    qv::setDomStatus(0);
    if (!qv::initXmlRuntime()) {
        qv::setDomStatus(17);
        return nullptr;
    }
    const char* expression = *path ? path : ".";
    return qv::guardDom<QvHandle>(qv::kLocatePolicy, nullptr, [&]() -> QvHandle {
        qv::Query query;
        if (!query.run(h, expression, namespaceMap)) return nullptr;
        const xalanc::NodeRefListBase& nodes = query.result->nodeset();
        if (nodes.getLength() == 0) {
            qv::reportDom(10, expression);
            return nullptr;
        }
        const xercesc::DOMNode* node =
            qv::xercesNodeOf(*query.context, qv::firstInDocumentOrder(nodes));
        if (!node) return nullptr;
        return qv::makeNodeHandle(h, const_cast<xercesc::DOMNode*>(node));
    });
}

QVXML_API const char* QV_XDOMEvaluate(QvHandle h, const char* expression,
                                      const char* namespaceMap) {
    qv::setDomStatus(0);
    if (!qv::initXmlRuntime()) {
        qv::setDomStatus(17);
        return nullptr;
    }
    if (!*expression) expression = ".";
    return qv::guardDom<const char*>(qv::kEvaluatePolicy, nullptr, [&]() -> const char* {
        qv::Query query;
        if (!query.run(h, expression, namespaceMap)) return nullptr;
        if (query.result->getType() == xalanc::XObject::eTypeNumber)
            return qv::setResultText(h, qv::toHostText(qv::numberText(query.result->num()).c_str()));
        return qv::setResultText(h, qv::toHostText(query.result->str().c_str()));
    });
}

}  // extern "C"
