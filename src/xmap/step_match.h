// Matching DOM nodes against the name steps of a compiled path, the same way on
// both roads: a node matches when its local name equals the step's and, unless
// namespaces are ignored, its namespace URI equals the step's (an absent URI and
// an empty one count as equal). Names are compared as UTF-16.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include "xmap/compiled_path.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

class StepMatcher {
public:
    explicit StepMatcher(bool ignoreNamespaces) : ignoreNamespaces_(ignoreNamespaces) {}

    // An element or attribute against a name step.
    bool matches(const XERCES_CPP_NAMESPACE::DOMNode* node, const PathStep& step) const;
    // The first child element that matches, or null.
    XERCES_CPP_NAMESPACE::DOMNode* firstChild(XERCES_CPP_NAMESPACE::DOMNode* node,
                                              const PathStep& step) const;
    // The next following sibling element that matches, or null.
    XERCES_CPP_NAMESPACE::DOMNode* nextSibling(XERCES_CPP_NAMESPACE::DOMNode* node,
                                               const PathStep& step) const;

private:
    bool ignoreNamespaces_;
};

}  // namespace qv
