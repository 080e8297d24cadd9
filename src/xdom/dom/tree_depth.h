// How deep a subtree goes. Xerces-C++ writes and copies trees recursively, a
// frame or two per level: a tree deeper than limits::kMaxElementDepth (what a
// parse accepts) could exhaust a host thread's stack there. Documents built or
// transformed by the host may go deeper than parsing allows, so the exports that
// hand a tree to those walks measure it first.
#pragma once

#include <cstddef>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

// Whether the levels of nodes below `node` (node itself not counted) exceed
// `levels`. Iterative; stops at the first node too deep.
bool deeperThan(const XERCES_CPP_NAMESPACE::DOMNode* node, std::size_t levels);

// Whether the tree under `node` is deeper than a parsed document may be: more
// than limits::kMaxElementDepth levels of elements below a document node, and the
// text or other leaf in the deepest of them.
bool tooDeepToWalk(const XERCES_CPP_NAMESPACE::DOMNode* node);

// The message of an export refusing such a tree ("XDOMWrite: ...").
const char* tooDeepMessage(const char* op);

}  // namespace qv
