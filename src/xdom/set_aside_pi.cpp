#include "xdom/set_aside_pi.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "xdom/handle.h"
#include "xdom/xpath/xpath_context.h"

using namespace xercesc;

namespace qv {

namespace {

void takeFirstPI(QvHandle_* doc) {
    SetAsidePI& aside = doc->xpath->setAside;
    for (DOMNode* child = doc->document->getFirstChild(); child; child = child->getNextSibling()) {
        if (child->getNodeType() != DOMNode::PROCESSING_INSTRUCTION_NODE) continue;
        aside.next = child->getNextSibling();
        aside.pi = doc->document->removeChild(child);
        return;
    }
}

}  // namespace

void setAsideFirstPI(QvHandle_* doc) {
    if (doc->xpath) return;
    doc->xpath.reset(new XPathContext);
    if (!doc->document) {
        doc->xpath->setAside.pending = true;
        return;
    }
    takeFirstPI(doc);
}

void takeAsideFromDom(QvHandle_* doc) {
    if (!doc->xpath || !doc->xpath->setAside.pending || !doc->document) return;
    doc->xpath->setAside.pending = false;
    takeFirstPI(doc);
}

SetAsidePI* setAsidePI(QvHandle_* doc) { return doc && doc->xpath ? &doc->xpath->setAside : nullptr; }

ReattachedPI::ReattachedPI(QvHandle_* doc, DOMNode* written) {
    const SetAsidePI* aside = setAsidePI(doc);
    if (!aside || !aside->pi || !written || written->getNodeType() != DOMNode::DOCUMENT_NODE)
        return;
    if (aside->pi->getParentNode()) return;  // already in a tree: nothing to do
    DOMNode* next = aside->next;
    if (next && next->getParentNode() != written) next = nullptr;
    written->insertBefore(aside->pi, next);
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
