// Any stylesheet, with an optional source document after a line "----", compiled
// and run over that document (or a small fixed one) into text and into a document,
// with two top-level parameters and its messages read:
// a result or a clean failure, never a crash, a hang or a leak. The compile-time
// walks over the stylesheet and the transformation's budgets are what keep each
// input short; the replay driver stops an input that runs too long.
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "qvxml.h"
#include "xdom/xslt/transform_options.h"

namespace {

const char kDocument[] =
    "<?pi a?><r xmlns:p='urn:p' id='1'><p:a k='x'>one</p:a><b><![CDATA[two]]></b>"
    "<!-- c --><b>3</b><c><d/><d xml:lang='en'>4</d></c></r>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [stylesheet, source] = fuzzinput::split(fuzzinput::text(data, size), kDocument);

    // As the tool runs them: with parameters and a reader of messages and warnings.
    std::size_t said = 0;
    qv::TransformOptions options;
    options.parameters = {{"p", "count(//*)", false}, {"s", "text", true}};
    options.notice = [&said](const std::string& line) { said += line.size(); };
    const qv::UseTransformOptions use(options);

    if (QvHandle doc = QV_XDOMOpen(source.c_str(), 1)) {
        QV_XDOMTransform(doc, stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr);
        if (void* result = QV_XDOMTransform(doc, stylesheet.c_str(), 1, QV_RESULT_DOM, nullptr))
            QV_XDOMClose(static_cast<QvHandle>(result));
        QV_XDOMClose(doc);
    }
    Q_XMLResetErrMsg();
    return 0;
}
