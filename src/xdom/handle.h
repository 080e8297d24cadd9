// The record behind every XDOM handle: a whole document (document handle) or one
// node of a document (node handle).
#pragma once

#include <memory>
#include <string>

#include <xercesc/util/XercesDefs.hpp>

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

    QvHandle_();
    ~QvHandle_();  // the closing order lives here
    QvHandle_(const QvHandle_&) = delete;
    QvHandle_& operator=(const QvHandle_&) = delete;

    DOMDocument* document = nullptr;     // document handles only
    DOMNode* node = nullptr;             // the document as a node, or the node stood for

    qv::XmlText encoding;                // document handles: the document's encoding

    // Xalan-C++ view of the tree and the namespace maps of the XPath exports
    // (document handles; xpath_context.h).
    std::unique_ptr<qv::XPathContext, qv::XPathContextDeleter> xpath;
    // Structural edits since the document was opened; the XPath view remembers the
    // count it was built at and is rebuilt when they differ.
    unsigned long changeCount = 0;

    bool isDocument = false;
    QvHandle_* docHandle = nullptr;      // itself for a document handle

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

// Sets the handle's encoding from its document: the actual encoding, else the
// declared one, else "utf-8".
void takeEncoding(QvHandle_* h);

}  // namespace qv
