// Small pieces shared by the node exports (construction, editing, properties,
// navigation).
#pragma once

#include <utility>

#include "frame/errors.h"
#include "frame/guard.h"
#include "xdom/handle.h"

namespace qv {

// The document that owns the node of h. A document node stands for itself, whether
// it comes through a document handle or a node handle (as QV_XDOMGetOwnerDocument
// hands out). Null only for a node that belongs to no document.
XERCES_CPP_NAMESPACE::DOMDocument* owningDocument(const QvHandle_* h);

// Runs the body of an export that returns the DOM status: clears the status, runs
// body() under the policy and returns the status it ended with (0, the code the body
// reported, or the code of what it threw).
template <class Body>
int guardStatus(const CatchPolicy& policy, Body&& body) noexcept {
    setDomStatus(0);
    guardDom<int>(policy, 0, [&]() -> int {
        std::forward<Body>(body)();
        return 0;
    });
    return domStatus();
}

}  // namespace qv
