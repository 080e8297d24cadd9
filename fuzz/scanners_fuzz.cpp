// A document opened in its compact form is scanned by Xerces' well-formedness
// scanner when its prolog holds no document type (plain_document.h); validation
// still scans with the general scanner. On any bytes both must agree on whether
// the document is well-formed and on every message. (That the tree is the one the
// general scanner gives is forms_fuzz's to check: the DOM made on first need.)
// Any difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "fuzz_input.h"
#include "qvxml.h"

namespace {

[[noreturn]] void differ(const std::string& what, const std::string& a, const std::string& b) {
    std::fprintf(stderr, "the scanners differ: %s\n--- well-formedness scanner:\n%s\n--- general scanner:\n%s\n",
                 what.c_str(), a.c_str(), b.c_str());
    std::abort();
}

std::string messages() {
    const char* m = Q_XMLGetErrMsg();
    std::string out = m ? m : "";
    Q_XMLResetErrMsg();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzzinput::text(data, size);
    Q_XMLResetErrMsg();
    QvHandle opened = QV_XDOMOpen(text.c_str(), 1);
    // The open's messages name its export; validation's are the same words.
    std::string open = messages();
    const int validated = QV_XDOMValidate(text.c_str(), 1, nullptr, nullptr);
    std::string validate = messages();
    for (auto [from, to] : {std::pair<const char*, const char*>{"XDOMOpen", "#"}, {"XDOMValidate", "#"}})
        for (std::string* s : {&open, &validate})
            for (std::size_t at; (at = s->find(from)) != std::string::npos;) s->replace(at, std::strlen(from), to);
    if ((opened != nullptr) != (validated == 0)) differ("whether the document is well-formed", open, validate);
    if (open != validate) differ("the messages", open, validate);
    QV_XDOMClose(opened);
    Q_XMLResetErrMsg();
    return 0;
}
