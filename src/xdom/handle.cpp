#include "xdom/handle.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/boundary.h"
#include "xdom/compact/compact_document.h"
#include "xdom/xpath/xpath_context.h"

using namespace xercesc;

QvHandle_::QvHandle_() = default;

QvHandle_::~QvHandle_() {
    resultText_.reset();
    if (!isDocument_) return;
    xpath_.reset();  // the view refers to the tree: it goes first
    form_ = std::monostate{};  // the tree, or this handle's share of it
    encoding_.reset();
}

bool QvHandle_::documentOpen() const {
    if (isDocument_) return true;
    std::uint64_t serial = 0;
    return qv::isLive(docHandle_, qv::LiveKind::Handle, &serial) && serial == docSerial_;
}

// A built document whose DOM another handle over the same build has made (and may
// have edited) is no longer compact here: the next accessor switches to that DOM.
const qv::CompactDocument* QvHandle_::compact() const {
    const auto* kept = std::get_if<qv::CompactForm>(&form_);
    if (!kept) return nullptr;
    const auto& made = (*kept)->made;
    return made && made->dom.document ? nullptr : kept->get();
}

DOMDocument* QvHandle_::builtDom() const {
    if (const auto* dom = std::get_if<qv::DomForm>(&docHandle_->form_)) return dom->document;
    const auto* kept = std::get_if<qv::CompactForm>(&docHandle_->form_);
    return kept && (*kept)->made ? (*kept)->made->dom.document : nullptr;
}

void QvHandle_::becomeDom(qv::DomForm form) {
    node_ = form.document;
    form_ = std::move(form);
}

DOMNode* QvHandle_::domNode() {
    const auto* kept = isDocument_ ? std::get_if<qv::CompactForm>(&form_) : nullptr;
    if (!kept) return node_;
    qv::DomForm dom;
    if (const std::shared_ptr<qv::MadeDom> made = (*kept)->made) {
        // Made once for every handle over the build.
        if (!made->dom.document)
            made->dom = qv::ownedDom(
                qv::domOfTree(*(*kept)->tree, made->settings ? &*made->settings : nullptr));
        dom = made->dom;
    } else if (qv::parseKept(**kept, dom) != 0) {
        // The bytes parsed without error at open; failing now means an outside
        // resource (an external DTD) changed or memory ran out. The parse has
        // reported why; the export fails with its own code, and the handle keeps its
        // compact form.
        struct DomUnavailable {};
        throw DomUnavailable{};
    }
    becomeDom(std::move(dom));  // lets the compact form go
    takeEncoding(builtDom());
    // A view scanned from the bytes maps no node to the DOM: the next use builds it
    // again, from the DOM, and a set-aside left pending is carried out now.
    if (xpath_) qv::dropView(*xpath_);
    qv::takeAsideFromDom(this);
    return node_;
}

DOMDocument* QvHandle_::domDocument() {
    QvHandle_* doc = docHandle_;
    doc->domNode();
    return doc->builtDom();
}

qv::DomForm QvHandle_::sharedDom() {
    domDocument();
    return std::get<qv::DomForm>(docHandle_->form_);
}

qv::ReadingView QvHandle_::readingView(bool needsDom) {
    if (const qv::CompactDocument* kept = compact(); kept && !needsDom) return {kept->tree.get(), nullptr};
    return {nullptr, domNode()};
}

qv::XPathContext& QvHandle_::xpathView() {
    QvHandle_* doc = docHandle_;
    // A DOM another handle made of the same build is taken before the view is.
    if (!doc->isCompact()) doc->domNode();
    if (!doc->xpath_) {
        qv::setAsideFirstPI(doc);
        doc->xpath_.reset(new qv::XPathContext);
    }
    qv::updateView(*doc->xpath_, doc);
    return *doc->xpath_;
}

void QvHandle_::takeEncoding(const DOMDocument* from) {
    const XMLCh* name = nullptr;
    if (from) {
        name = from->getInputEncoding();
        if (!name || !*name) name = from->getXmlEncoding();
    }
    static const XMLCh kUtf8[] = u"utf-8";
    if (!name || !*name) name = kUtf8;
    encoding_ = qv::copyXml(name);
}

const char* QvHandle_::setResultText(qv::HostText text) {
    resultText_ = std::move(text);
    resultWritten_.reset();
    return resultText_.get();
}

const char* QvHandle_::setResultText(std::string written) {
    resultText_.reset();
    resultWritten_ = std::move(written);
    return resultWritten_->c_str();
}

const char* QvHandle_::resultText() const {
    if (resultWritten_) return resultWritten_->c_str();
    return resultText_.get();
}

std::string_view QvHandle_::resultBytes() const {
    if (resultWritten_) return *resultWritten_;
    return resultText_ ? std::string_view(resultText_.get()) : std::string_view();
}

namespace qv {

namespace {

// A document the form owns, released before the memory it lives on.
struct OwnedDocument {
    std::shared_ptr<void> memory;
    XercesPtr<DOMDocument> document;
};

}  // namespace

DomForm ownedDom(XercesPtr<DOMDocument> document, std::shared_ptr<void> memory) {
    DomForm form;
    form.document = document.get();
    form.memory = memory;
    form.owner = std::make_shared<OwnedDocument>(OwnedDocument{std::move(memory), std::move(document)});
    return form;
}

QvHandle_* makeDocumentHandle(DocumentForm form, const DOMDocument* encodingFrom) {
    std::unique_ptr<QvHandle_> h(new QvHandle_);
    h->isDocument_ = true;
    h->docHandle_ = h.get();
    if (auto* dom = std::get_if<DomForm>(&form)) {
        if (!encodingFrom) encodingFrom = dom->document;
        h->becomeDom(std::move(*dom));
    } else {
        h->form_ = std::move(std::get<CompactForm>(form));
    }
    h->takeEncoding(encodingFrom);
    return h.release();
}

QvHandle_* makeNodeHandle(QvHandle_* from, DOMNode* node) {
    auto* h = new QvHandle_;
    h->docHandle_ = documentHandleOf(from);
    if (h->docHandle_) h->docSerial_ = h->docHandle_->live.serial();
    h->node_ = node;
    return h;
}

void markChanged(QvHandle_* h) {
    if (QvHandle_* doc = documentHandleOf(h)) ++doc->changeCount_;
}

const char* handleProblem(const QvHandle_* h, bool documentOpen) {
    if (!h) return "a null handle";
    if (!isLive(h, LiveKind::Handle)) {
        if (isLive(h, LiveKind::Dataset)) return "a mapping dataset where a document or node handle goes";
        return "a handle that is closed or was never opened";
    }
    if (!documentOpen || h->documentOpen()) return "";
    return "a node handle whose document handle is closed";
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
                               [&] { return h->isDocument() ? 1 : 0; });
}

}  // extern "C"
