// QV_XDOMWrite: a document or a subtree as XML text, into a file or into the handle.
#include <cstring>
#include <string>

#include "frame/misuse.h"
#include "frame/errors.h"
#include "frame/guard.h"
#include "xdom/handle.h"
#include "xdom/serialize.h"

extern "C" {

QVXML_API const char* QV_XDOMWrite(QvHandle h, const QvDocSettings* settings,
                                   const char* fileName) {
    if (qv::misused("XDOMWrite", qv::Arguments().check(qv::handleProblem(h)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<const char*>({"XDOMWrite", 4002, "Unexpected failure while writing the XML text"},
                                     nullptr, [&]() -> const char* {
        QvHandle_* doc = qv::documentHandleOf(h);
        const XMLCh* encoding = h->encoding.get();
        if ((!encoding || !*encoding) && !h->isDocument && doc) encoding = doc->encoding.get();
        if (!encoding || !*encoding) {
            qv::reportDom(14);
            return nullptr;
        }
        std::string text;
        qv::serializeNode(h->node, h->isDocument ? h->detachedPI : nullptr,
                          h->isDocument ? h->detachedNext : nullptr, encoding, settings,
                          fileName, fileName ? nullptr : &text);
        // A code left in the error state, this write's or an earlier unreset one,
        // makes the write fail.
        qv::setDomStatus(Q_XMLGetErrCode());
        if (qv::domStatus() != 0) return nullptr;
        if (fileName) return fileName;
        qv::HostText result(new char[text.size() + 1]);
        std::memcpy(result.get(), text.data(), text.size());
        result[text.size()] = '\0';
        return qv::setResultText(h, std::move(result));
    });
}

}  // extern "C"
