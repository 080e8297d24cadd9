// QV_XDOMWrite: a document or a subtree as XML text, into a file or into the handle.
#include <cstring>
#include <string>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/handle.h"
#include "xdom/writing/serialize.h"
#include "xdom/set_aside_pi.h"

extern "C" {

QVXML_API const char* QV_XDOMWrite(QvHandle h, const QvDocSettings* settings,
                                   const char* fileName) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<const char*>(qv::kWriteOptions, arguments, nullptr, [&]() -> const char* {
        xercesc::DOMNode* node = h->domNode();
        QvHandle_* doc = qv::documentHandleOf(h);
        const XMLCh* encoding = h->encoding();
        if ((!encoding || !*encoding) && !h->isDocument() && doc) encoding = doc->encoding();
        if (!encoding || !*encoding) {
            qv::reportDom(qv::Error::NoEncoding);
            return nullptr;
        }
        std::string text;
        {
            // Only a document handle's write brings back what its view set aside.
            qv::ReattachedPI whole(h->isDocument() ? h : nullptr, node);
            qv::serializeNode(node, encoding, settings, fileName, fileName ? nullptr : &text);
        }
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
