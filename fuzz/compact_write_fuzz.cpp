// Any document that opens is written by both writers, the compact writer (from the
// kept bytes) and the DOM writer (from the DOM of the same bytes), under the
// default settings and a handful of settings records picked from the input: where
// the compact writer writes, the bytes must be the DOM writer's; where it steps
// aside, the DOM writer must fail or the document be one it leaves alone. Any
// difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "qvxml.h"
#include "xdom/compact/compact_document.h"
#include "xdom/handle.h"
#include "xdom/writing/compact_writer.h"
#include "xdom/writing/serialize.h"

namespace {

const char* const kEncodings[] = {"", "UTF-8", "ISO-8859-1", "US-ASCII", "UTF-16"};
const char* const kLineEnds[] = {"", "CR-LF", "CR", "LF"};

// Combination `n` of the 1024 flag settings, 4 line ends and 5 encodings.
QvDocSettings settings(unsigned n) {
    QvDocSettings s;
    std::memset(&s, 0, sizeof s);
    const char* lineEnd = kLineEnds[n % 4];
    const char* encoding = kEncodings[(n / 4) % 5];
    std::memcpy(s.lineEnd, lineEnd, std::strlen(lineEnd));
    std::memcpy(s.outEncoding, encoding, std::strlen(encoding));
    const unsigned flags = n / 20;
    char* f = &s.xmlDeclaration;
    for (unsigned bit = 0; bit < 10; ++bit) f[bit] = (flags >> bit) & 1;
    return s;
}

[[noreturn]] void differ(const char* what, const QvDocSettings* s, const std::string& a,
                         const std::string& b) {
    std::fprintf(stderr, "compact and DOM writers differ (%s), settings %s line end '%.8s' encoding '%.40s'\n"
                 "compact: %s\nDOM:     %s\n", what, s ? "given" : "default", s ? s->lineEnd : "",
                 s ? s->outEncoding : "", a.c_str(), b.c_str());
    std::abort();
}

void compare(QvHandle compact, QvHandle dom, const QvDocSettings* s) {
    std::string byDom;
    const bool domOk = qv::serializeNode(dom->domNode(), dom->encoding(), s, nullptr, &byDom) &&
                       Q_XMLGetErrCode() == 0;
    Q_XMLResetErrMsg();
    // From the tree, and by a scan of the kept bytes (the road of a tree that cannot
    // tell everything).
    for (const auto road : {qv::CompactRoad::TreeWherePossible, qv::CompactRoad::Scan}) {
        std::string byCompact;
        const bool written =
            qv::writeCompact(compact, compact->encoding(), s, nullptr, &byCompact, road);
        if (Q_XMLGetErrCode() != 0) differ("the compact scan failed", s, Q_XMLGetErrMsg(), "");
        if (written && !domOk) differ("only the compact writer wrote", s, byCompact, byDom);
        if (written && byCompact != byDom) differ("bytes", s, byCompact, byDom);
        if (!written && domOk && compact->isCompact()) {
            // Stepping aside is for version 1.1 documents and what the DOM writer refuses.
            if (byDom.find("version=\"1.0\"") != std::string::npos)
                differ("the compact writer stepped aside", s, "", byDom);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzzinput::text(data, size);
    QvHandle compact = QV_XDOMOpen(text.c_str(), 1);
    QvHandle dom = compact ? QV_XDOMOpen(text.c_str(), 1) : nullptr;
    Q_XMLResetErrMsg();
    if (compact && dom && compact->isCompact()) {
        try {
            dom->domNode();
        } catch (...) {
        }
        Q_XMLResetErrMsg();
        if (!dom->isCompact()) {
            unsigned seed = 0;
            for (unsigned char c : text) seed = seed * 31 + c;
            compare(compact, dom, nullptr);
            for (unsigned k = 0; k < 8; ++k) {
                const QvDocSettings s = settings((seed + k * 2621) % 20480);
                compare(compact, dom, &s);
            }
        }
    }
    QV_XDOMClose(compact);
    QV_XDOMClose(dom);
    Q_XMLResetErrMsg();
    return 0;
}
