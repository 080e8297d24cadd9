// QV_XDOMWrite: a document or a subtree as XML text, into a file or into the handle.
#include <cstring>
#include <string>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/handle.h"
#include "xdom/writing/compact_writer.h"
#include "xdom/writing/serialize.h"
#include "xdom/writing/written_text.h"
#include "xdom/set_aside_pi.h"

extern "C" {

QVXML_API const char* QV_XDOMWrite(QvHandle h, const QvDocSettings* settings,
                                   const char* fileName) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<const char*>(qv::kWriteOptions, arguments, nullptr, [&]() -> const char* {
        QvHandle_* doc = qv::documentHandleOf(h);
        auto encodingOf = [&] {
            const XMLCh* e = h->encoding();
            return (!e || !*e) && !h->isDocument() && doc ? doc->encoding() : e;
        };
        const XMLCh* encoding = encodingOf();
        if (!encoding || !*encoding) {
            qv::reportDom(qv::Error::NoEncoding);
            return nullptr;
        }
        std::string text;
        // A document never turned into a DOM is written from its compact form; the
        // DOM writer takes what that writer leaves.
        const bool compact = h->isDocument() && h->isCompact() &&
                             qv::writeCompact(h, encoding, settings, fileName, fileName ? nullptr : &text);
        if (!compact) {
            xercesc::DOMNode* node = h->domNode();
            encoding = encodingOf();  // building the DOM sets it anew
            // Only a document handle's write brings back what its view set aside.
            qv::ReattachedPI whole(h->isDocument() ? h : nullptr, node);
            qv::serializeNode(node, encoding, settings, fileName, fileName ? nullptr : &text);
        }
        // A code left in the error state, this write's or an earlier unreset one,
        // makes the write fail.
        qv::setDomStatus(Q_XMLGetErrCode());
        if (qv::domStatus() != 0) return nullptr;
        if (fileName) return fileName;
        return h->setResultText(std::move(text));
    });
}

}  // extern "C"

namespace qv {

std::string_view writtenText(QvHandle h) { return h ? h->resultBytes() : std::string_view(); }

}  // namespace qv
