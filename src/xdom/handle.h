// The record behind every XDOM handle: a whole document (document handle) or one
// node of a document (node handle).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "frame/live_handles.h"
#include "frame/misuse.h"
#include "frame/transcode.h"
#include "frame/xerces_ptr.h"
#include "qvxml.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMElement;
class DOMNode;
class XercesDOMParser;
XERCES_CPP_NAMESPACE_END

namespace qv {

class ParseErrorHandler;
struct CompactDocument;

// Xalan-C++ view of a document, built on the first XPath or XSLT use (xpath.cpp).
struct XPathContext;
struct XPathContextDeleter {
    void operator()(XPathContext* context) const;
};

}  // namespace qv

struct QvHandle_ {
    using DOMDocument = XERCES_CPP_NAMESPACE::DOMDocument;
    using DOMElement = XERCES_CPP_NAMESPACE::DOMElement;
    using DOMNode = XERCES_CPP_NAMESPACE::DOMNode;

    // On the list of live handles for as long as it exists (frame/live_handles.h).
    qv::LiveEntry live{this, qv::LiveKind::Handle};

    QvHandle_();
    ~QvHandle_();  // the closing order lives here
    QvHandle_(const QvHandle_&) = delete;
    QvHandle_& operator=(const QvHandle_&) = delete;

    // Null while a parsed document is held in its compact form (see `compact`).
    DOMDocument* document = nullptr;     // document handles only
    DOMNode* node = nullptr;             // the document as a node, or the node stood for

    // A parsed document handle starts with the compact form only; the DOM is built
    // from it by requireDom() on the first export that needs the DOM, which then
    // drops it. Reading into records works on either form.
    std::unique_ptr<qv::CompactDocument> compact;

    qv::XmlText encoding;                // document handles: the document's encoding

    // Xalan-C++ view of the tree and the namespace maps of the XPath exports
    // (document handles; xpath_context.h).
    std::unique_ptr<qv::XPathContext, qv::XPathContextDeleter> xpath;
    // Structural edits since the document was opened; the XPath view remembers the
    // count it was built at and is rebuilt when they differ.
    unsigned long changeCount = 0;

    bool isDocument = false;
    QvHandle_* docHandle = nullptr;      // itself for a document handle
    std::uint64_t docSerial = 0;         // node handles: docHandle's live serial

    qv::HostText resultText;             // last text handed to the host through this handle

    // What the tree lives on, shared: the memory manager of a parsed tree (documents
    // cloned from it are made on the same manager, so their handles share it too),
    // or a document built by QV_XMAPToDOM, shared with its dataset.
    std::shared_ptr<void> documentMemory;

    std::unique_ptr<qv::ParseErrorHandler> errorHandler;         // parsed documents only
    std::unique_ptr<XERCES_CPP_NAMESPACE::XercesDOMParser> parser;  // owns the parsed tree
    // Owns every other document (built, cloned, transformed): released with the handle.
    qv::XercesPtr<DOMDocument> ownedDocument;
};

namespace qv {

// A document handle that owns a document not parsed by it: built, cloned or
// transformed documents. The document is released if the handle cannot be made.
QvHandle_* makeDocumentHandle(XercesPtr<XERCES_CPP_NAMESPACE::DOMDocument> document);

// A document handle over a document that others hold (the document a mapping
// dataset built): `keepAlive`, when not null, is shared with them and keeps the
// document alive for as long as the handle lives.
QvHandle_* makeSharedDocumentHandle(XERCES_CPP_NAMESPACE::DOMDocument* document,
                                    std::shared_ptr<void> keepAlive);

// A node handle for `node` under the document handle of `from`.
QvHandle_* makeNodeHandle(QvHandle_* from, XERCES_CPP_NAMESPACE::DOMNode* node);

// Makes sure the document of h exists as a DOM: a document still in its compact form
// is parsed again from its kept bytes, with the same parser, and from then on is
// that DOM. Every export that uses the DOM of a handle calls this first. Throws when
// the document can no longer be parsed (after reporting why).
void requireDom(QvHandle_* h);
inline void requireDom(QvHandle_* a, QvHandle_* b) {
    requireDom(a);
    requireDom(b);
}

// Why h may not be used ("" when it may): null, not a live handle (closed, never
// made, or a dataset), or, when `documentOpen`, a node handle whose document
// handle has been closed (such a handle may still be closed itself).
const char* handleProblem(const QvHandle_* h, bool documentOpen = true);

// The argument checks of an export that takes two handles.
inline Arguments handleArguments(const QvHandle_* a, const QvHandle_* b) {
    return Arguments().check(handleProblem(a)).check(handleProblem(b));
}

// The document handle of any handle.
inline QvHandle_* documentHandleOf(QvHandle_* h) {
    while (h && !h->isDocument) h = h->docHandle;
    return h;
}

// Replaces the handle's result text and returns it.
const char* setResultText(QvHandle_* h, HostText text);

// Every editing export calls this after it changed the tree of h's document.
inline void markChanged(QvHandle_* h) {
    if (QvHandle_* doc = documentHandleOf(h)) ++doc->changeCount;
}

// Sets the handle's encoding from its document (or from `from`): the actual encoding,
// else the declared one, else "utf-8".
void takeEncoding(QvHandle_* h);
void takeEncoding(QvHandle_* h, const XERCES_CPP_NAMESPACE::DOMDocument* from);

}  // namespace qv
