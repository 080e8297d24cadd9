// The document a handle's node belongs to.
#pragma once

#include "xdom/handle.h"

namespace qv {

// The document that owns the node of h (its DOM built when needed). A document node
// stands for itself, whether it comes through a document handle or a node handle
// (as QV_XDOMGetOwnerDocument hands out). Null only for a node that belongs to no
// document.
XERCES_CPP_NAMESPACE::DOMDocument* owningDocument(QvHandle_* h);

}  // namespace qv
