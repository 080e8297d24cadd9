// A mapping file and an input document, separated by a line "----": loading,
// binding, reading every record and closing give records or clean errors, never a
// crash, a hang or a leak.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "host/reference_host.h"
#include "qvxml.h"

namespace {

qvhost::ReferenceHost& host() {
    static qvhost::ReferenceHost* h = [] {
        auto* made = new qvhost::ReferenceHost;
        made->dictionary("ORDERS").add("ID", 0).add("CUSTNO", 1).add("LINE_IDS", 2, true).add(
            "DATE", 3, false, "D-YMD[4,2,2]");
        made->dictionary("ORDER_LINES").add("ID", 0).add("ORDER_LINE", 1).add("QTY", 2, false, "MD2");
        return made;
    }();
    return *h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [mapping, document] = fuzzinput::split(fuzzinput::text(data, size), "<ORDERS/>");

    host().install();
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    QvHandle doc = map ? QV_XDOMOpen(document.c_str(), 1) : nullptr;
    if (map && doc) {
        for (int mode : {QV_XMAP_READ, XML_CREATE}) {
            char* root = nullptr;
            QvDataset ds = QV_XMAPOpen(doc, map, &root, '^', ']', '\\', '~', mode);
            if (!ds) continue;
            char* record = nullptr;
            for (const char* table : {"", "ORDER_LINES", "LINES_MAP"})
                while (QV_XMAPReadNext(ds, table, &record) == 0) {
                }
            QV_XMAPClose(ds);
        }
    }
    QV_XDOMClose(doc);
    QV_XDOMClose(map);
    Q_XMLResetErrMsg();
    return 0;
}
