// The record behind every XDOM handle: a whole document (document handle) or one
// node of a document (node handle).
//
// A document handle owns its document in one of two forms, and nothing outside
// reads the form itself:
//   - compact (parsed documents until something needs the DOM): the compact tree
//     and the document's bytes (compact/compact_document.h); or, for a document
//     built from records, the tree alone, shared with the dataset and every handle
//     over the build, whose DOM is made from the tree and shared alike;
//   - DOM: a Xerces document and what keeps it alive (its parser, the handle
//     itself, or a dataset that shares it).
// Everything reaches the document through four accessors:
//   domNode()      the Xerces node the handle stands for; a document still compact
//                  is parsed into its DOM first, or a built one made into it (or
//                  takes the DOM another handle made of it); throws, reported, when
//                  that fails. Every export that works on the DOM starts here.
//   readingView()  what the mapping's reading walk runs over: the compact tree, or
//                  the DOM node when the document is a DOM or the walk needs one.
//   xpathView()    the Xalan view XPath and XSLT run over (xpath/xpath_context.h),
//                  built without the DOM while the document is compact.
//   compact()      the compact form itself (null once the document is a DOM), for
//                  the view builders and the tests that compare the forms.
// Document handles are made by makeDocumentHandle, node handles by makeNodeHandle.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <xercesc/util/XercesDefs.hpp>

#include "frame/live_handles.h"
#include "frame/misuse.h"
#include "frame/transcode.h"
#include "frame/xerces_ptr.h"
#include "qvxml.h"
#include "xdom/set_aside_pi.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

class CompactTree;
struct CompactDocument;

// Xalan-C++ view of a document (xpath/xpath_context.h).
struct XPathContext;
struct XPathContextDeleter {
    void operator()(XPathContext* context) const;
};

// A document held as a Xerces DOM.
struct DomForm {
    XERCES_CPP_NAMESPACE::DOMDocument* document = nullptr;
    // Keeps the document alive; shared with whatever else holds it (a dataset, the
    // handles QV_XMAPToDOM gives out over it).
    std::shared_ptr<void> owner;
    // What the tree's memory lives on when not the process heap (a parser's memory
    // manager): documents cloned from the tree are made there and keep it too.
    std::shared_ptr<void> memory;
};

// A DOM form that owns `document` (built, cloned or transformed): it is released
// with the last holder, before `memory`. Released at once if this throws.
DomForm ownedDom(XercesPtr<XERCES_CPP_NAMESPACE::DOMDocument> document,
                 std::shared_ptr<void> memory = nullptr);

// A document in its compact form: read only, so the handles over a document built
// from records share it with their dataset.
using CompactForm = std::shared_ptr<CompactDocument>;

// The forms a document handle is made with.
using DocumentForm = std::variant<CompactForm, DomForm>;

// What the mapping's reading walk runs over: one of the two is set.
struct ReadingView {
    const CompactTree* tree = nullptr;
    XERCES_CPP_NAMESPACE::DOMNode* node = nullptr;
};

QvHandle_* makeDocumentHandle(DocumentForm form,
                              const XERCES_CPP_NAMESPACE::DOMDocument* encodingFrom = nullptr);
QvHandle_* makeNodeHandle(QvHandle_* from, XERCES_CPP_NAMESPACE::DOMNode* node);
void markChanged(QvHandle_* h);

}  // namespace qv

struct QvHandle_ {
    using DOMDocument = XERCES_CPP_NAMESPACE::DOMDocument;
    using DOMNode = XERCES_CPP_NAMESPACE::DOMNode;

    // On the list of live handles for as long as it exists (frame/live_handles.h).
    qv::LiveEntry live{this, qv::LiveKind::Handle};

    QvHandle_(const QvHandle_&) = delete;
    QvHandle_& operator=(const QvHandle_&) = delete;
    ~QvHandle_();  // the closing order lives here

    bool isDocument() const { return isDocument_; }
    // Itself for a document handle; a node handle's document handle (check
    // documentOpen() first: it may have been closed).
    QvHandle_* documentHandle() const { return docHandle_; }
    // Whether a node handle's document handle is still the live one it was made under.
    bool documentOpen() const;

    // The node the handle stands for, the document node for a document handle,
    // whose DOM is built here when it is still compact. Throws after reporting why
    // when that build fails; the handle is then as it was.
    DOMNode* domNode();
    // The DOM document of a document handle (built when needed, as domNode()).
    DOMDocument* domDocument();
    // The DOM of a document handle when it has one already (a built document's made
    // through another handle included), else null; never builds.
    DOMDocument* builtDom() const;
    // The DOM form of a document handle to share with another holder (built when
    // needed): the document stays alive for as long as any of them.
    qv::DomForm sharedDom();

    // Whether a document handle still holds its compact form, and that form (null
    // too once another handle over the same build has made its DOM).
    bool isCompact() const { return compact() != nullptr; }
    const qv::CompactDocument* compact() const;

    // What the mapping reads: the compact tree while there is one and `needsDom` is
    // false, else the DOM node (built when needed).
    qv::ReadingView readingView(bool needsDom);

    // The up-to-date XPath view of the handle's document (any handle), made on first
    // use (which sets the first document-level processing instruction aside) and
    // rebuilt after an edit. Its nodes map to no DOM node while the document is
    // compact: callers that hand back nodes call domNode() first.
    qv::XPathContext& xpathView();

    // Structural edits of the document so far (document handles); every editing
    // export calls markChanged (below) after it changed the tree.
    unsigned long changeCount() const { return changeCount_; }
    // The processing instruction the XPath view set aside (document handles).
    qv::SetAsidePI& setAside() { return setAside_; }

    // The document's encoding (document handles; empty for node handles), set from
    // `from`: the actual encoding, else the declared one, else "utf-8".
    const XMLCh* encoding() const { return encoding_.get(); }
    void takeEncoding(const DOMDocument* from);
    void setEncoding(qv::XmlText name) { encoding_ = std::move(name); }

    // Replaces the text last handed to the host through this handle; returns it.
    const char* setResultText(qv::HostText text);
    // The same for a whole written document, kept as written rather than copied,
    // with its length: text in UTF-16 or UTF-32 holds NUL bytes.
    const char* setResultText(std::string written);
    const char* resultText() const;
    std::string_view resultBytes() const;

private:
    friend QvHandle_* qv::makeDocumentHandle(qv::DocumentForm, const DOMDocument*);
    friend QvHandle_* qv::makeNodeHandle(QvHandle_*, DOMNode*);
    friend void qv::markChanged(QvHandle_*);
    QvHandle_();
    void becomeDom(qv::DomForm form);

    bool isDocument_ = false;
    QvHandle_* docHandle_ = nullptr;     // itself for a document handle
    std::uint64_t docSerial_ = 0;        // node handles: docHandle_'s live serial
    DOMNode* node_ = nullptr;            // the node stood for; a document's DOM node
    // Document handles: the compact form or the DOM (empty for node handles).
    std::variant<std::monostate, qv::CompactForm, qv::DomForm> form_;
    qv::XmlText encoding_;
    // The XPath view and the namespace maps of the XPath exports; it refers to the
    // tree and goes first.
    std::unique_ptr<qv::XPathContext, qv::XPathContextDeleter> xpath_;
    qv::SetAsidePI setAside_;
    // The XPath view remembers the count it was built at and is rebuilt when they differ.
    unsigned long changeCount_ = 0;
    qv::HostText resultText_;
    std::optional<std::string> resultWritten_;  // the other, when set
};

namespace qv {

// makeDocumentHandle(form, encodingFrom): the one way to make a document handle,
// over `form`, with the encoding of `encodingFrom` (default: the DOM of the form;
// "utf-8" without either). A form that owns its document releases it when the
// handle cannot be made.
// makeNodeHandle(from, node): a node handle for `node` under the document handle
// of `from`.

// Why h may not be used ("" when it may): null, not a live handle (closed, never
// made, or a dataset), or, when `documentOpen`, a node handle whose document
// handle has been closed (such a handle may still be closed itself).
const char* handleProblem(const QvHandle_* h, bool documentOpen = true);

// The argument checks of an export that takes two handles.
inline Arguments handleArguments(const QvHandle_* a, const QvHandle_* b) {
    return Arguments().check(handleProblem(a)).check(handleProblem(b));
}

// The document handle of any handle.
inline QvHandle_* documentHandleOf(QvHandle_* h) { return h ? h->documentHandle() : nullptr; }

inline const char* setResultText(QvHandle_* h, HostText text) {
    return h->setResultText(std::move(text));
}

// markChanged(h): every editing export calls this after it changed the tree of h's
// document.

}  // namespace qv
