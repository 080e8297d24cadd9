#include "xdom/handle.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/boundary.h"
#include "xdom/compact/compact_document.h"
#include "xdom/parsing/parse_error_handler.h"

using namespace xercesc;

QvHandle_::QvHandle_() = default;

QvHandle_::~QvHandle_() {
    resultText.reset();
    if (!isDocument) return;
    xpath.reset();  // the view refers to the tree: it goes first
    errorHandler.reset();
    parser.reset();  // frees the parsed tree
    compact.reset();
    encoding.reset();
    ownedDocument.reset();
}

namespace qv {

QvHandle_* makeDocumentHandle(XercesPtr<DOMDocument> document) {
    auto h = std::make_unique<QvHandle_>();
    h->isDocument = true;
    h->docHandle = h.get();
    h->document = document.get();
    h->node = h->document;
    h->ownedDocument = std::move(document);
    takeEncoding(h.get());
    return h.release();
}

QvHandle_* makeSharedDocumentHandle(DOMDocument* document, std::shared_ptr<void> keepAlive) {
    auto h = std::make_unique<QvHandle_>();
    h->isDocument = true;
    h->docHandle = h.get();
    h->document = document;
    h->node = document;
    h->documentMemory = std::move(keepAlive);
    takeEncoding(h.get());
    return h.release();
}

QvHandle_* makeNodeHandle(QvHandle_* from, DOMNode* node) {
    auto* h = new QvHandle_;
    h->docHandle = documentHandleOf(from);
    if (h->docHandle) h->docSerial = h->docHandle->live.serial();
    h->node = node;
    return h;
}

const char* handleProblem(const QvHandle_* h, bool documentOpen) {
    if (!h) return "a null handle";
    if (!isLive(h, LiveKind::Handle)) {
        if (isLive(h, LiveKind::Dataset)) return "a mapping dataset where a document or node handle goes";
        return "a handle that is closed or was never opened";
    }
    if (h->isDocument || !documentOpen) return "";
    std::uint64_t serial = 0;
    if (!isLive(h->docHandle, LiveKind::Handle, &serial) || serial != h->docSerial)
        return "a node handle whose document handle is closed";
    return "";
}

const char* setResultText(QvHandle_* h, HostText text) {
    h->resultText = std::move(text);
    return h->resultText.get();
}

void takeEncoding(QvHandle_* h) { takeEncoding(h, h->document); }

void takeEncoding(QvHandle_* h, const DOMDocument* from) {
    const XMLCh* name = nullptr;
    if (from) {
        name = from->getInputEncoding();
        if (!name || !*name) name = from->getXmlEncoding();
    }
    static const XMLCh kUtf8[] = u"utf-8";
    if (!name || !*name) name = kUtf8;
    h->encoding = copyXml(name);
}

}  // namespace qv

extern "C" {

// Closing and asking a handle's kind leave the DOM status as it was.
QVXML_API int QV_XDOMClose(QvHandle h) {
    const auto arguments = qv::Arguments().check(h ? qv::handleProblem(h, false) : nullptr);
    return qv::callExport<int>(qv::domExport("XDOMClose").leavesDomStatus(), arguments, 0, [&] {
        delete h;
        return 0;
    });
}

QVXML_API int QV_XDOMCloseHandle(QvHandle h) {
    const auto arguments = qv::Arguments().check(h ? qv::handleProblem(h, false) : nullptr);
    return qv::callExport<int>(qv::domExport("XDOMCloseHandle").leavesDomStatus(), arguments, 0, [&] {
        delete h;
        return 0;
    });
}

QVXML_API int QV_XDOMIsDoc(QvHandle h) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<int>(qv::domExport("XDOMIsDoc").leavesDomStatus(), arguments, 0,
                               [&] { return h->isDocument ? 1 : 0; });
}

}  // extern "C"
