// The one place where exceptions of Xerces-C++, Xalan-C++ and the C++ runtime
// become reports. Every export body runs inside guardDom() or guardMap(), so no
// exception crosses the boundary and no export writes its own catch ladder.
#pragma once

#include <utility>

#include "frame/errors.h"

namespace qv {

// How an operation reports what it catches.
struct CatchPolicy {
    const char* op;                  // name in 1000-range and code 99 messages, e.g. "XDOMClone"
    int otherCode;                   // code for an exception not listed below
    const char* otherArg = nullptr;  // its message argument (op name for 99, text for 16)
    bool xpath = false;              // Xalan XPath exceptions become 31
    bool xalanDom = false;           // Xalan DOM exceptions become 33 (namespace maps)
};

// Reports the exception being handled by the policy's table; returns the code
// reported. Call only from inside a catch block.
//   xercesc::DOMException  -> 1000 + code (op, code)
//   xercesc::XMLException  -> 2000 + code (message in the local code page)
//   Xalan XPath exceptions -> 31 (type name, message)     when policy.xpath
//   Xalan DOM exceptions   -> 33 (code)                   when policy.xalanDom
//   anything else          -> policy.otherCode (policy.otherArg)
int reportCaught(const CatchPolicy& policy) noexcept;

// Runs body() for an XDOM export; on an exception reports it, sets the DOM status
// to the code and returns onFail.
template <class R, class Body>
R guardDom(const CatchPolicy& policy, R onFail, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        setDomStatus(reportCaught(policy));
        return onFail;
    }
}

// Runs body() for an XMAP export: the DOM status is left alone.
template <class R, class Body>
R guardMap(R onFail, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        reportCaught({"XMAP", 3004});
        return onFail;
    }
}

}  // namespace qv
