#include "frame/host.h"

namespace qv {
namespace {
HostCallbacks g_host;
}

const HostCallbacks& host() { return g_host; }

const char* hostCallbacksProblem() {
    const HostCallbacks& h = g_host;
    if (h.dictOpen && h.dictDescribe && h.dictClose && h.convert && h.extract) return "";
    return "the host callbacks are not registered (QV_XMLInitial)";
}

const QvHostEncoding* hostEncoding() {
    return g_host.encoding ? g_host.encoding() : nullptr;
}

}  // namespace qv

extern "C" QVXML_API int QV_XMLInitial(QvDictOpenFn dictOpen, QvDictDescribeFn dictDescribe,
                                       QvDictCloseFn dictClose, QvConvertFn convert,
                                       QvExtractFn extract, QvEncodingFn encoding) {
    qv::g_host = {dictOpen, dictDescribe, dictClose, convert, extract, encoding};
    return 0;
}
