// Any expression, with an optional namespace map after a line "----", evaluated and
// located on a small document and on a node of it: a result or a clean failure,
// never a crash, a hang or a leak.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "qvxml.h"

namespace {

QvHandle document() {
    static QvHandle doc = QV_XDOMOpen(
        "<?pi a?><r xmlns:p='urn:p' id='1'><p:a k='x'>one</p:a><b><![CDATA[two]]></b>"
        "<!-- c --><b>3</b><c><d/><d>4</d></c></r>",
        1);
    return doc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [expression, map] = fuzzinput::split(fuzzinput::text(data, size), "");

    QvHandle doc = document();
    QV_XDOMEvaluate(doc, expression.c_str(), map.c_str());
    if (QvHandle node = QV_XDOMLocate(doc, expression.c_str(), map.c_str())) {
        QV_XDOMEvaluate(node, expression.c_str(), nullptr);
        QV_XDOMClose(node);
    }
    Q_XMLResetErrMsg();
    return 0;
}
