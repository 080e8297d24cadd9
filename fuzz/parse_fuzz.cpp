// Any bytes given to the parser in memory: a handle or a clean failure, never a
// crash, a hang or a leak; a parsed document always writes.
#include <cstdint>
#include <string>

#include "qvxml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    if (QvHandle h = QV_XDOMOpen(text.c_str(), 1)) {
        QV_XDOMWrite(h, nullptr, nullptr);
        QV_XDOMClose(h);
    }
    Q_XMLResetErrMsg();
    return 0;
}
