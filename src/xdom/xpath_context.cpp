#include "xdom/xpath_context.h"

#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XercesParserLiaison/XercesDocumentWrapper.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

namespace qv {
namespace {

xercesc::MemoryManager& memory() { return xalanc::XalanMemMgrs::getDefaultXercesMemMgr(); }

// Takes the first processing instruction at document level out of the tree; the
// document handle keeps it and its next sibling so that writing puts it back.
void detachFirstProcessingInstruction(QvHandle_* doc) {
    for (xercesc::DOMNode* child = doc->document->getFirstChild(); child;
         child = child->getNextSibling()) {
        if (child->getNodeType() != xercesc::DOMNode::PROCESSING_INSTRUCTION_NODE) continue;
        doc->detachedNext = child->getNextSibling();
        doc->detachedPI = doc->document->removeChild(child);
        return;
    }
}

void buildView(XPathContext& context, QvHandle_* doc) {
    context.wrapper = nullptr;
    context.document = nullptr;
    context.support.reset();
    context.liaison.reset();

    auto liaison = std::make_unique<xalanc::XercesParserLiaison>(memory());
    auto support = std::make_unique<xalanc::XercesDOMSupport>(*liaison);
    // Not thread-safe, wrapper built, Xerces-to-Xalan map built (node handles
    // become context nodes through it).
    xalanc::XalanDocument* document = liaison->createDocument(doc->document, false, true, true);
    context.wrapper = liaison->mapDocumentToWrapper(document);
    context.document = document;
    context.liaison = std::move(liaison);
    context.support = std::move(support);
    context.builtAt = doc->changeCount;
}

}  // namespace

XPathContext::XPathContext() = default;
XPathContext::~XPathContext() = default;

void XPathContextDeleter::operator()(XPathContext* context) const { delete context; }

XPathContext& currentXPathContext(QvHandle_* h) {
    QvHandle_* doc = documentHandleOf(h);
    if (!doc->xpath) {
        doc->xpath.reset(new XPathContext);
        detachFirstProcessingInstruction(doc);
    }
    XPathContext& context = *doc->xpath;
    if (!context.document || context.builtAt != doc->changeCount) buildView(context, doc);
    return context;
}

xalanc::XalanNode* xalanNodeOf(XPathContext& context, QvHandle_* h) {
    // The document node itself is not in the wrapper's node map.
    if (h->isDocument || h->node == documentHandleOf(h)->document) return context.document;
    return context.wrapper->mapNode(static_cast<const xercesc::DOMNode*>(h->node));
}

}  // namespace qv
