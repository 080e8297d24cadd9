// Any bytes given to the parser in memory: a handle or a clean failure, never a
// crash, a hang or a leak; a parsed document always writes.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "qvxml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzzinput::text(data, size);
    if (QvHandle h = QV_XDOMOpen(text.c_str(), 1)) {
        QV_XDOMWrite(h, nullptr, nullptr);
        QV_XDOMClose(h);
    }
    Q_XMLResetErrMsg();
    return 0;
}
