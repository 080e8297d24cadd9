// Copying, attaching, replacing and removing nodes: QV_XDOMClone, QV_XDOMImportNode,
// QV_XDOMAppend, QV_XDOMInsert, QV_XDOMAddChild, QV_XDOMReplace, QV_XDOMRemove.
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/handle.h"
#include "xdom/dom/owning_document.h"
#include "xdom/dom/qname.h"
#include "xdom/set_aside_pi.h"
#include "xdom/dom/tree_depth.h"

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
        reportDom(Error::ElementExpected);
        return;
    }
    static_cast<DOMElement*>(r)->setAttributeNode(static_cast<DOMAttr*>(n));
}

// Append and Insert: n goes after r (after = true) or before it, under r's parent.
void attachBeside(QvHandle_* reference, QvHandle_* node, bool after) {
    DOMNode* r = reference->domNode();
    DOMNode* n = node->domNode();
    if (isAttribute(n)) {
        attachAttribute(r, n);
    } else {
        DOMNode* parent = r->getParentNode();
        if (!parent) {
            reportDom(Error::ParentExpected);
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
        reportDom(Error::ElementExpected);
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
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<QvHandle>(qv::domExport("XDOMClone"), arguments, nullptr, [&]() -> QvHandle {
        DOMNode* source = h->domNode();
        if (deep && qv::tooDeepToWalk(source)) {
            qv::reportDom(qv::Error::Failure, qv::tooDeepMessage("XDOMClone"));
            return nullptr;
        }
        DOMNode* copy;
        {
            qv::ReattachedPI whole(qv::documentHandleOf(h), source);
            copy = source->cloneNode(deep != 0);
        }
        if (!copy) {
            qv::reportDom(qv::Error::NothingToClone);
            return nullptr;
        }
        if (copy->getNodeType() == DOMNode::DOCUMENT_NODE) {
            // An independent document on the memory of its source: its handle owns it
            // and releases it when closed.
            return qv::makeDocumentHandle(
                qv::ownedDom(qv::XercesPtr<DOMDocument>(static_cast<DOMDocument*>(copy)),
                             qv::documentHandleOf(h)->sharedDom().memory));
        }
        qv::markChanged(h);
        return qv::makeNodeHandle(h, copy);
    });
}

QVXML_API QvHandle QV_XDOMImportNode(QvHandle target, QvHandle node, int deep) {
    const auto arguments = qv::handleArguments(target, node);
    return qv::callExport<QvHandle>(qv::domExport("XDOMImportNode"), arguments, nullptr, [&]() -> QvHandle {
        target->domNode();
        DOMNode* imported = node->domNode();
        DOMDocument* document = qv::owningDocument(target);
        if (!document) {
            qv::reportDom(qv::Error::DocumentRequired);
            return nullptr;
        }
        if (deep && qv::tooDeepToWalk(imported)) {
            qv::reportDom(qv::Error::Failure, qv::tooDeepMessage("XDOMImportNode"));
            return nullptr;
        }
        DOMNode* copy = document->importNode(imported, deep != 0);
        if (!copy) return nullptr;
        qv::markChanged(target);
        return qv::makeNodeHandle(target, copy);
    });
}

QVXML_API int QV_XDOMAppend(QvHandle reference, QvHandle node) {
    const auto options = qv::domExport("XDOMAppend").fallsBackTo(qv::Error::AppendFailed);
    const auto arguments = qv::handleArguments(reference, node);
    return qv::callStatusExport(options, arguments, [&] {
        qv::attachBeside(reference, node, true);
    });
}

QVXML_API int QV_XDOMInsert(QvHandle reference, QvHandle node) {
    const auto options = qv::domExport("XDOMInsert").fallsBackTo(qv::Error::InsertFailed);
    const auto arguments = qv::handleArguments(reference, node);
    return qv::callStatusExport(options, arguments, [&] {
        qv::attachBeside(reference, node, false);
    });
}

QVXML_API int QV_XDOMAddChild(QvHandle parent, QvHandle child) {
    const auto options = qv::domExport("XDOMAddChild").fallsBackTo(qv::Error::AddChildFailed);
    const auto arguments = qv::handleArguments(parent, child);
    return qv::callStatusExport(options, arguments, [&] {
        DOMNode* r = parent->domNode();
        DOMNode* n = child->domNode();
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
    const auto options = qv::domExport("XDOMReplace").fallsBackTo(qv::Error::ReplaceFailed);
    const auto arguments = qv::handleArguments(oldNode, newNode);
    return qv::callStatusExport(options, arguments, [&] {
        DOMNode* r = oldNode->domNode();
        DOMNode* n = newNode->domNode();
        const bool rAttribute = qv::isAttribute(r);
        const bool nAttribute = qv::isAttribute(n);
        if (rAttribute && nAttribute) {
            qv::replaceAttribute(static_cast<DOMAttr*>(r), static_cast<DOMAttr*>(n));
        } else if (rAttribute || nAttribute) {
            qv::reportDom(qv::Error::NodeTypesDiffer);
        } else if (DOMNode* parent = r->getParentNode()) {
            qv::refuseCycle(parent, n);
            parent->replaceChild(n, r);
        } else {
            qv::reportDom(qv::Error::ParentExpected);
        }
        if (qv::domStatus() == 0) qv::markChanged(oldNode);
    });
}

QVXML_API QvHandle QV_XDOMRemove(QvHandle h, const char* attributeName) {
    const auto options = qv::domExport("XDOMRemove").fallsBackTo(qv::Error::RemoveFailed);
    const auto arguments = qv::Arguments()
                               .check(qv::handleProblem(h))
                               .needs(attributeName, "a null attribute name");
    return qv::callExport<QvHandle>(options, arguments, nullptr, [&]() -> QvHandle {
        DOMNode* node = h->domNode();
        if (attributeName && *attributeName) {
            if (!qv::isElement(node)) {
                qv::reportDom(qv::Error::ElementExpected);
                return nullptr;
            }
            auto* element = static_cast<DOMElement*>(node);
            qv::XmlText name = qv::toXmlText(attributeName);
            DOMAttr* attribute = qv::findAttribute(element, name.get());
            if (!attribute) {
                qv::reportDom(qv::Error::NoSuchAttribute, attributeName);
                return nullptr;
            }
            DOMNode* copy = attribute->cloneNode(false);
            element->removeAttributeNode(attribute);
            qv::markChanged(h);
            return qv::makeNodeHandle(h, copy);
        }
        DOMNode* parent = node->getParentNode();
        if (!parent) {
            qv::reportDom(qv::Error::ParentExpected);
            return nullptr;
        }
        parent->removeChild(node);
        qv::markChanged(h);
        return qv::makeNodeHandle(h, node);
    });
}

}  // extern "C"
