#include "xdom/handle.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/misuse.h"
#include "frame/parse_error_handler.h"
#include "xdom/xpath_context.h"

using namespace xercesc;

QvHandle_::QvHandle_() = default;

QvHandle_::~QvHandle_() {
    resultText.reset();
    if (!isDocument) return;
    xpath.reset();  // the view refers to the tree: it goes first
    errorHandler.reset();
    parser.reset();  // frees the parsed tree
    encoding.reset();
    if (ownsDocument && document) document->release();
}

namespace qv {

QvHandle_* makeDocumentHandle(DOMDocument* document, bool owns) {
    auto* h = new QvHandle_;
    h->isDocument = true;
    h->docHandle = h;
    h->document = document;
    h->node = document;
    h->ownsDocument = owns;
    takeEncoding(h);
    return h;
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

ReattachedPI::ReattachedPI(DOMNode* written, DOMNode* pi, DOMNode* next) {
    if (!pi || !written || written->getNodeType() != DOMNode::DOCUMENT_NODE) return;
    if (pi->getParentNode()) return;  // already in a tree: nothing to do
    if (next && next->getParentNode() != written) next = nullptr;
    written->insertBefore(pi, next);
    parent_ = written;
    pi_ = pi;
}

ReattachedPI::~ReattachedPI() {
    if (!parent_) return;
    try {
        parent_->removeChild(pi_);
    } catch (...) {
        // it was inserted a moment ago: removing it cannot fail
    }
}

void takeEncoding(QvHandle_* h) {
    const XMLCh* name = nullptr;
    if (h->document) {
        name = h->document->getInputEncoding();
        if (!name || !*name) name = h->document->getXmlEncoding();
    }
    static const XMLCh kUtf8[] = u"utf-8";
    if (!name || !*name) name = kUtf8;
    size_t n = XMLString::stringLen(name);
    h->encoding.reset(new XMLCh[n + 1]);
    XMLString::copyString(h->encoding.get(), name);
}

}  // namespace qv

extern "C" {

QVXML_API int QV_XDOMClose(QvHandle h) {
    if (!h || qv::misused("XDOMClose", qv::Arguments().check(qv::handleProblem(h, false)), qv::Family::DocumentKeepsStatus)) return 0;
    delete h;
    return 0;
}

QVXML_API int QV_XDOMCloseHandle(QvHandle h) {
    if (!h || qv::misused("XDOMCloseHandle", qv::Arguments().check(qv::handleProblem(h, false)), qv::Family::DocumentKeepsStatus)) return 0;
    delete h;
    return 0;
}

QVXML_API int QV_XDOMIsDoc(QvHandle h) {
    if (qv::misused("XDOMIsDoc", qv::Arguments().check(qv::handleProblem(h)), qv::Family::DocumentKeepsStatus)) return 0;
    return h->isDocument ? 1 : 0;
}

}  // extern "C"
