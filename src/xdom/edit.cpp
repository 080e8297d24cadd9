// Copying, attaching, replacing and removing nodes: QV_XDOMClone, QV_XDOMImportNode,
// QV_XDOMAppend, QV_XDOMInsert, QV_XDOMAddChild, QV_XDOMReplace, QV_XDOMRemove.
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/misuse.h"
#include "frame/errors.h"
#include "frame/guard.h"
#include "xdom/handle.h"
#include "xdom/node_access.h"
#include "xdom/qname.h"
#include "xdom/tree_depth.h"

using namespace xercesc;

namespace qv {
namespace {

bool isAttribute(const DOMNode* node) { return node->getNodeType() == DOMNode::ATTRIBUTE_NODE; }
bool isElement(const DOMNode* node) { return node->getNodeType() == DOMNode::ELEMENT_NODE; }

// The DOM refuses a node under one of its descendants but not under itself, which
// would make the node its own child and cut it out of the tree: refuse that alike.
void refuseCycle(const DOMNode* parent, const DOMNode* n) {
    for (const DOMNode* a = parent; a; a = a->getParentNode())
        if (a == n) throw DOMException(DOMException::HIERARCHY_REQUEST_ERR, 0);
}

// Sets attribute n on r when r is an element (an attribute of the same name is
// replaced); otherwise reports 18.
void attachAttribute(DOMNode* r, DOMNode* n) {
    if (!isElement(r)) {
        reportDom(18);
        return;
    }
    static_cast<DOMElement*>(r)->setAttributeNode(static_cast<DOMAttr*>(n));
}

// Append and Insert: n goes after r (after = true) or before it, under r's parent.
void attachBeside(QvHandle_* reference, QvHandle_* node, bool after) {
    DOMNode* r = reference->node;
    DOMNode* n = node->node;
    if (isAttribute(n)) {
        attachAttribute(r, n);
    } else {
        DOMNode* parent = r->getParentNode();
        if (!parent) {
            reportDom(19);
            return;
        }
        refuseCycle(parent, n);
        parent->insertBefore(n, after ? r->getNextSibling() : r);
    }
    if (domStatus() == 0) markChanged(reference);
}

// Replaces attribute r by n on r's element. If the element refuses n, r is put back
// before the failure is reported, so a failed replace loses nothing.
void replaceAttribute(DOMAttr* r, DOMAttr* n) {
    DOMElement* owner = r->getOwnerElement();
    if (!owner) {
        reportDom(18);
        return;
    }
    owner->removeAttributeNode(r);
    try {
        owner->setAttributeNode(n);
    } catch (...) {
        try {
            owner->setAttributeNode(r);
        } catch (...) {
            // r's name was free a moment ago; nothing better can be done here
        }
        throw;
    }
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMClone(QvHandle h, int deep) {
    if (qv::misused("XDOMClone", qv::Arguments().check(qv::handleProblem(h)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<QvHandle>({"XDOMClone", 99, "XDOMClone"}, nullptr, [&]() -> QvHandle {
        DOMNode* copy;
        {
            QvHandle_* doc = qv::documentHandleOf(h);
            if (deep && qv::tooDeepToWalk(h->node)) {
                qv::reportDom(4002, qv::tooDeepMessage("XDOMClone"));
                return nullptr;
            }
            qv::ReattachedPI whole(h->node, doc->detachedPI, doc->detachedNext);
            copy = h->node->cloneNode(deep != 0);
        }
        if (!copy) {
            qv::reportDom(15);
            return nullptr;
        }
        if (copy->getNodeType() == DOMNode::DOCUMENT_NODE) {
            // An independent document: its handle owns it and releases it when closed.
            auto* document = static_cast<DOMDocument*>(copy);
            try {
                QvHandle copyHandle = qv::makeDocumentHandle(document, true);
                copyHandle->documentMemory = qv::documentHandleOf(h)->documentMemory;
                return copyHandle;
            } catch (...) {
                document->release();
                throw;
            }
        }
        qv::markChanged(h);
        return qv::makeNodeHandle(h, copy);
    });
}

QVXML_API QvHandle QV_XDOMImportNode(QvHandle target, QvHandle node, int deep) {
    if (qv::misused("XDOMImportNode", qv::Arguments().check(qv::handleProblem(target)).check(qv::handleProblem(node)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<QvHandle>({"XDOMImportNode", 99, "XDOMImportNode"}, nullptr, [&]() -> QvHandle {
        DOMDocument* document = qv::owningDocument(target);
        if (!document) {
            qv::reportDom(8);
            return nullptr;
        }
        if (deep && qv::tooDeepToWalk(node->node)) {
            qv::reportDom(4002, qv::tooDeepMessage("XDOMImportNode"));
            return nullptr;
        }
        DOMNode* copy = document->importNode(node->node, deep != 0);
        if (!copy) return nullptr;
        qv::markChanged(target);
        return qv::makeNodeHandle(target, copy);
    });
}

QVXML_API int QV_XDOMAppend(QvHandle reference, QvHandle node) {
    if (qv::misused("XDOMAppend", qv::Arguments().check(qv::handleProblem(reference)).check(qv::handleProblem(node)))) return qv::domStatus();
    return qv::guardStatus({"XDOMAppend", 20}, [&] { qv::attachBeside(reference, node, true); });
}

QVXML_API int QV_XDOMInsert(QvHandle reference, QvHandle node) {
    if (qv::misused("XDOMInsert", qv::Arguments().check(qv::handleProblem(reference)).check(qv::handleProblem(node)))) return qv::domStatus();
    return qv::guardStatus({"XDOMInsert", 21}, [&] { qv::attachBeside(reference, node, false); });
}

QVXML_API int QV_XDOMAddChild(QvHandle parent, QvHandle child) {
    if (qv::misused("XDOMAddChild", qv::Arguments().check(qv::handleProblem(parent)).check(qv::handleProblem(child)))) return qv::domStatus();
    return qv::guardStatus({"XDOMAddChild", 22}, [&] {
        DOMNode* r = parent->node;
        DOMNode* n = child->node;
        if (qv::isAttribute(n)) {
            qv::attachAttribute(r, n);
        } else {
            qv::refuseCycle(r, n);
            r->appendChild(n);
        }
        if (qv::domStatus() == 0) qv::markChanged(parent);
    });
}

QVXML_API int QV_XDOMReplace(QvHandle oldNode, QvHandle newNode) {
    if (qv::misused("XDOMReplace", qv::Arguments().check(qv::handleProblem(oldNode)).check(qv::handleProblem(newNode)))) return qv::domStatus();
    return qv::guardStatus({"XDOMReplace", 23}, [&] {
        DOMNode* r = oldNode->node;
        DOMNode* n = newNode->node;
        const bool rAttribute = qv::isAttribute(r);
        const bool nAttribute = qv::isAttribute(n);
        if (rAttribute && nAttribute) {
            qv::replaceAttribute(static_cast<DOMAttr*>(r), static_cast<DOMAttr*>(n));
        } else if (rAttribute || nAttribute) {
            qv::reportDom(25);
        } else if (DOMNode* parent = r->getParentNode()) {
            qv::refuseCycle(parent, n);
            parent->replaceChild(n, r);
        } else {
            qv::reportDom(19);
        }
        if (qv::domStatus() == 0) qv::markChanged(oldNode);
    });
}

QVXML_API QvHandle QV_XDOMRemove(QvHandle h, const char* attributeName) {
    if (qv::misused("XDOMRemove", qv::Arguments().check(qv::handleProblem(h)).needs(attributeName, "a null attribute name"))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<QvHandle>({"XDOMRemove", 24}, nullptr, [&]() -> QvHandle {
        DOMNode* node = h->node;
        if (attributeName && *attributeName) {
            if (!qv::isElement(node)) {
                qv::reportDom(18);
                return nullptr;
            }
            auto* element = static_cast<DOMElement*>(node);
            qv::XmlText name = qv::toXmlText(attributeName);
            DOMAttr* attribute = qv::findAttribute(element, name.get());
            if (!attribute) {
                qv::reportDom(27, attributeName);
                return nullptr;
            }
            DOMNode* copy = attribute->cloneNode(false);
            element->removeAttributeNode(attribute);
            qv::markChanged(h);
            return qv::makeNodeHandle(h, copy);
        }
        DOMNode* parent = node->getParentNode();
        if (!parent) {
            qv::reportDom(19);
            return nullptr;
        }
        parent->removeChild(node);
        qv::markChanged(h);
        return qv::makeNodeHandle(h, node);
    });
}

}  // extern "C"
