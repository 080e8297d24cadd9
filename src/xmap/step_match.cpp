#include "xmap/step_match.h"

#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XMLString.hpp>

using namespace xercesc;

namespace qv {
namespace {

bool sameUri(const XMLCh* a, const XMLCh* b) {
    if (!a || !*a) return !b || !*b;
    return b && XMLString::equals(a, b);
}

}  // namespace

bool StepMatcher::matches(const DOMNode* node, const PathStep& step) const {
    const XMLCh* local = node->getLocalName();
    if (!local) local = node->getNodeName();  // a node made without namespaces
    if (!XMLString::equals(local, step.local.get())) return false;
    return ignoreNamespaces_ || sameUri(node->getNamespaceURI(), step.uri.get());
}

bool StepMatcher::matches(const CompactTree::Name& name, const PathStep& step) const {
    if (name.local.compare(reinterpret_cast<const char16_t*>(step.local.get())) != 0) return false;
    const XMLCh* uri = step.uri.get();
    if (ignoreNamespaces_) return true;
    if (!uri || !*uri) return name.uri.empty();
    return name.uri.compare(reinterpret_cast<const char16_t*>(uri)) == 0;
}

DOMNode* StepMatcher::firstChild(DOMNode* node, const PathStep& step) const {
    for (DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling())
        if (c->getNodeType() == DOMNode::ELEMENT_NODE && matches(c, step)) return c;
    return nullptr;
}

DOMNode* StepMatcher::nextSibling(DOMNode* node, const PathStep& step) const {
    for (DOMNode* c = node->getNextSibling(); c; c = c->getNextSibling())
        if (c->getNodeType() == DOMNode::ELEMENT_NODE && matches(c, step)) return c;
    return nullptr;
}

}  // namespace qv
