#include "xdom/xpath_context.h"

#include <cstddef>
#include <vector>

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
    // Not thread-safe, wrapper built, no Xerces-to-Xalan node map: the map's hash of
    // a node pointer keeps only a few bits, so filling it for every node of a large
    // document costs time that grows with the square of the nodes. Node handles
    // find their view node by position instead (xalanNodeOf).
    xalanc::XalanDocument* document = liaison->createDocument(doc->document, false, true, false);
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
    const xercesc::DOMNode* node = h->node;
    const xercesc::DOMDocument* document = documentHandleOf(h)->document;
    if (h->isDocument || node == document) return context.document;
    // Attributes are always in the wrapper's own map.
    if (node->getNodeType() == xercesc::DOMNode::ATTRIBUTE_NODE) return context.wrapper->mapNode(node);

    // Any other node: its position under each ancestor, followed down the view, which
    // mirrors the tree child for child. Costs the siblings before it on its path.
    std::vector<std::size_t> positions;
    const xercesc::DOMNode* top = node;
    for (; top->getParentNode(); top = top->getParentNode()) {
        std::size_t before = 0;
        for (const xercesc::DOMNode* s = top->getPreviousSibling(); s; s = s->getPreviousSibling())
            ++before;
        positions.push_back(before);
    }
    // A node outside the tree has no view node; the wrapper reports it.
    if (top != document) return context.wrapper->mapNode(node);
    xalanc::XalanNode* view = context.document;
    for (auto it = positions.rbegin(); it != positions.rend() && view; ++it) {
        view = view->getFirstChild();
        for (std::size_t k = 0; k < *it && view; ++k) view = view->getNextSibling();
    }
    return view;
}

}  // namespace qv
