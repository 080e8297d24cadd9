// The boundary between the host and the library. Every export is one call of
// callExport() (or callStatusExport()) with its options and its body: the DOM
// status is cleared, the runtime the body needs is started, and every exception
// of Xerces-C++, Xalan-C++ and the C++ runtime becomes a report there, so no
// exception crosses an export and no export writes its own catch ladder. What
// every call of an export checks before its body runs belongs here too.
#pragma once

#include <utility>

#include "frame/errors.h"
#include "frame/runtime.h"

namespace qv {

// How one export meets the host. Made by domExport() / mapExport() and refined by
// the named setters, e.g.
//   domExport("XDOMLocate").starts(Runtime::Xml).fallsBackTo(Error::XPathNoDetails)
//                          .reportsXPathExceptions()
struct ExportOptions {
    const char* name;                     // in 1000-range and code 99 messages, e.g. "XDOMClone"
    Runtime runtime = Runtime::None;      // started before the body; a failure reports 17
    bool domStatus = true;                // cleared on entry, set to the code of a failure
    Error fallback = Error::ExceptionInFunction;  // code of an exception not listed below
    const char* fallbackText = nullptr;   // its message argument; null: the name
    bool xpathExceptions = false;         // Xalan XPath exceptions become 31
    bool xalanDomExceptions = false;      // Xalan DOM exceptions become 33 (namespace maps)

    constexpr ExportOptions starts(Runtime r) const {
        ExportOptions o = *this;
        o.runtime = r;
        return o;
    }
    constexpr ExportOptions leavesDomStatus() const {
        ExportOptions o = *this;
        o.domStatus = false;
        return o;
    }
    constexpr ExportOptions fallsBackTo(Error code, const char* text = nullptr) const {
        ExportOptions o = *this;
        o.fallback = code;
        o.fallbackText = text;
        return o;
    }
    constexpr ExportOptions reportsXPathExceptions() const {
        ExportOptions o = *this;
        o.xpathExceptions = true;
        return o;
    }
    constexpr ExportOptions reportsXalanDomExceptions() const {
        ExportOptions o = *this;
        o.xalanDomExceptions = true;
        return o;
    }
};

// A document export: it clears and sets the DOM status; an unlisted exception
// reports 99 with the export's name.
constexpr ExportOptions domExport(const char* name) { return ExportOptions{name}; }

// A mapping export: the DOM status is left alone; an unlisted exception reports 3004.
constexpr ExportOptions mapExport() {
    return ExportOptions{"XMAP"}.leavesDomStatus().fallsBackTo(Error::OutOfMemory);
}

// Reports the exception being handled by the options' table; returns the code
// reported. Call only from inside a catch block.
//   xercesc::DOMException  -> 1000 + code (name, code)
//   xercesc::XMLException  -> 2000 + code (message in the local code page)
//   Xalan XPath exceptions -> 31 (type name, message)     when xpathExceptions
//   Xalan DOM exceptions   -> 33 (code)                   when xalanDomExceptions
//   anything else          -> fallback (fallbackText, else name)
int reportCaught(const ExportOptions& options) noexcept;

// Runs body() as the export the options describe; returns what it returns, or
// onFail when the runtime could not start or the body threw.
template <class R, class Body>
R callExport(const ExportOptions& options, R onFail, Body&& body) noexcept {
    if (options.domStatus) setDomStatus(0);
    if (!startRuntime(options.runtime)) {  // it reported 17
        if (options.domStatus) setDomStatus(Error::RuntimeStartFailed);
        return onFail;
    }
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        const int code = reportCaught(options);
        if (options.domStatus) setDomStatus(code);
        return onFail;
    }
}

// An export whose result is the DOM status it ends with: 0, the code the body
// reported, or the code of what it threw.
template <class Body>
int callStatusExport(const ExportOptions& options, Body&& body) noexcept {
    callExport<int>(options, 0, [&]() -> int {
        std::forward<Body>(body)();
        return 0;
    });
    return domStatus();
}

}  // namespace qv
