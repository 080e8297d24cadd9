// Walking from node to node: QV_XDOMLocateNode.
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/handle.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr int kAnyType = QV_NODE_ANY;

bool hasType(const DOMNode* node, int type) {
    return type == kAnyType || static_cast<int>(node->getNodeType()) == type;
}

// Names and URIs match when equal, or when both are absent or empty.
bool sameText(const XMLCh* a, const XMLCh* b) {
    const bool aEmpty = !a || !*a;
    const bool bEmpty = !b || !*b;
    if (aEmpty || bEmpty) return aEmpty && bEmpty;
    return XMLString::equals(a, b);
}

// A sibling of the same kind as `start`: the same type and, for anything but text,
// the same node name or local name in the same namespace.
bool sameKind(const DOMNode* start, const DOMNode* other) {
    if (start->getNodeType() != other->getNodeType()) return false;
    if (start->getNodeType() == DOMNode::TEXT_NODE) return true;
    const bool sameName = sameText(start->getNodeName(), other->getNodeName()) ||
                          sameText(start->getLocalName(), other->getLocalName());
    return sameName && sameText(start->getNamespaceURI(), other->getNamespaceURI());
}

DOMNode* nextSibling(const DOMNode* n, bool forward) {
    return forward ? n->getNextSibling() : n->getPreviousSibling();
}

DOMNode* siblingOfType(const DOMNode* start, bool forward, int type) {
    DOMNode* n = nextSibling(start, forward);
    while (n && !hasType(n, type)) n = nextSibling(n, forward);
    return n;
}

DOMNode* siblingOfSameKind(const DOMNode* start, bool forward) {
    DOMNode* n = nextSibling(start, forward);
    while (n && !sameKind(start, n)) n = nextSibling(n, forward);
    return n;
}

// Direction 3 with the attribute filter: the node's attributes by position.
DOMNode* attributeAt(const DOMNode* node, int index) {
    DOMNamedNodeMap* attributes = node->getAttributes();
    if (!attributes) return nullptr;
    const XMLSize_t length = attributes->getLength();
    if (index == QV_CHILD_FIRST) return attributes->item(0);
    if (index == QV_CHILD_LAST) return length ? attributes->item(length - 1) : nullptr;
    if (static_cast<XMLSize_t>(index) > length) {
        reportDom(Error::InvalidChildIndex, index);
        return nullptr;
    }
    return attributes->item(index - 1);
}

// Direction 3: a child by position among all children or among those of one type.
DOMNode* childAt(const DOMNode* node, int index, int type) {
    if (index < QV_CHILD_LAST) {
        reportDom(Error::InvalidChildIndex, index);
        return nullptr;
    }
    if (type == QV_NODE_ATTRIBUTE) return attributeAt(node, index);
    if (index == QV_CHILD_FIRST) {
        DOMNode* n = node->getFirstChild();
        while (n && !hasType(n, type)) n = n->getNextSibling();
        return n;
    }
    if (index == QV_CHILD_LAST) {
        DOMNode* n = node->getLastChild();
        while (n && !hasType(n, type)) n = n->getPreviousSibling();
        return n;
    }
    // The index is checked against all children, whatever the filter.
    int children = 0;
    for (DOMNode* n = node->getFirstChild(); n && children < index; n = n->getNextSibling()) ++children;
    if (children < index) {
        reportDom(Error::InvalidChildIndex, index);
        return nullptr;
    }
    int seen = 0;
    for (DOMNode* n = node->getFirstChild(); n; n = n->getNextSibling())
        if (hasType(n, type) && ++seen == index) return n;
    return nullptr;
}

DOMNode* locate(const DOMNode* start, int direction, int index, int type) {
    switch (direction) {
        case QV_DIR_NEXT_SIBLING: return siblingOfType(start, true, type);
        case QV_DIR_PREVIOUS_SIBLING: return siblingOfType(start, false, type);
        case QV_DIR_PARENT:
            if (start->getNodeType() == DOMNode::ATTRIBUTE_NODE)
                return static_cast<const DOMAttr*>(start)->getOwnerElement();
            return start->getParentNode();
        case QV_DIR_CHILD: return childAt(start, index, type);
        case QV_DIR_NEXT_SAME_KIND: return siblingOfSameKind(start, true);
        case QV_DIR_PREVIOUS_SAME_KIND: return siblingOfSameKind(start, false);
        default:
            reportDom(Error::InvalidDirection, direction);
            return nullptr;
    }
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMLocateNode(QvHandle h, int direction, int childIndex, int nodeType) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<QvHandle>(qv::domExport("XDOMLocateNode"), arguments, nullptr, [&]() -> QvHandle {
        DOMNode* found = qv::locate(h->domNode(), direction, childIndex, nodeType);
        if (!found) {
            qv::reportDom(qv::Error::NoSuchNode);
            return nullptr;
        }
        return qv::makeNodeHandle(h, found);
    });
}

}  // extern "C"
