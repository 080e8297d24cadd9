#include "xdom/set_aside_pi.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "xdom/handle.h"

using namespace xercesc;

namespace qv {

namespace {

void takeFirstPI(DOMDocument* document, SetAsidePI& aside) {
    for (DOMNode* child = document->getFirstChild(); child; child = child->getNextSibling()) {
        if (child->getNodeType() != DOMNode::PROCESSING_INSTRUCTION_NODE) continue;
        for (DOMNode* n = child->getNextSibling(); n; n = n->getNextSibling()) aside.later.push_back(n);
        for (DOMNode* n = child->getPreviousSibling(); n; n = n->getPreviousSibling())
            aside.earlier.push_back(n);
        aside.pi = document->removeChild(child);
        return;
    }
}

// The node the instruction goes back before in `written` (null: at the end).
DOMNode* placeOf(const SetAsidePI& aside, const DOMNode* written) {
    for (DOMNode* n : aside.later)
        if (n->getParentNode() == written) return n;
    for (DOMNode* n : aside.earlier)
        if (n->getParentNode() == written) return n->getNextSibling();
    return aside.earlier.empty() ? written->getFirstChild() : nullptr;
}

}  // namespace

void setAsideFirstPI(QvHandle_* doc) {
    DOMDocument* document = doc->builtDom();
    if (!document) {
        doc->setAside().pending = true;
        return;
    }
    takeFirstPI(document, doc->setAside());
}

void takeAsideFromDom(QvHandle_* doc) {
    SetAsidePI& aside = doc->setAside();
    DOMDocument* document = doc->builtDom();
    if (!aside.pending || !document) return;
    aside.pending = false;
    takeFirstPI(document, aside);
}

SetAsidePI* setAsidePI(QvHandle_* doc) { return doc ? &doc->setAside() : nullptr; }

ReattachedPI::ReattachedPI(QvHandle_* doc, DOMNode* written) {
    const SetAsidePI* aside = setAsidePI(doc);
    if (!aside || !aside->pi || !written || written->getNodeType() != DOMNode::DOCUMENT_NODE)
        return;
    if (aside->pi->getParentNode()) return;  // already in a tree: nothing to do
    written->insertBefore(aside->pi, placeOf(*aside, written));
    parent_ = written;
    pi_ = aside->pi;
}

ReattachedPI::~ReattachedPI() {
    if (!parent_) return;
    try {
        parent_->removeChild(pi_);
    } catch (...) {
        // it was inserted a moment ago: removing it cannot fail
    }
}

}  // namespace qv
