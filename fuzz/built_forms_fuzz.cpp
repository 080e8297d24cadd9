// A mapping that creates a document and the records written through it (one per
// line, fields split by '^', values by ']', subvalues by '\'; a line "U:..." is a
// record of table U, any other one of table T), separated by a line "----": the document QV_XMAPToDOM builds as a compact tree must be the one the
// same queues build into a DOM directly: the same bytes under a few writer
// settings (or the same failure), the same answers to queries while it is still a
// tree, and node for node the same DOM once one is made of it. Any difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "../tests/direct_build.h"
#include "../tests/form_dump.h"
#include "fuzz_input.h"
#include "host/reference_host.h"
#include "qvxml.h"
#include "xdom/writing/written_text.h"

namespace {

qvhost::ReferenceHost& host() {
    static qvhost::ReferenceHost* h = [] {
        auto* made = new qvhost::ReferenceHost;
        made->dictionary("T").add("ID", 0).add("A", 1).add("B", 2, true).add("C", 3).add("D", 4, true);
        made->dictionary("U").add("ID", 0).add("K", 1).add("V", 2).add("W", 3, true);
        made->setMarks('^', ']', '\\');
        return made;
    }();
    return *h;
}

[[noreturn]] void differ(const std::string& what) {
    std::fprintf(stderr, "the built tree and the DOM differ: %s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [mapping, records] = fuzzinput::split(fuzzinput::text(data, size), "1^x");
    host().install();
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    QvDataset ds = map ? QV_XMAPOpen(nullptr, map, nullptr, '^', ']', '\\', '~', XML_CREATE) : nullptr;
    if (!ds) {
        QV_XDOMClose(map);
        Q_XMLResetErrMsg();
        return 0;
    }
    std::istringstream lines(records);
    std::string record;
    int written = 0;
    while (std::getline(lines, record) && written < 200) {
        const bool u = record.rfind("U:", 0) == 0;
        if (u) record.erase(0, 2);
        if (QV_XMAPWriteNext(ds, u ? "U" : "T", record.c_str(), static_cast<int>(record.size())) == 0)
            ++written;
    }

    Q_XMLResetErrMsg();
    QvHandle built = QV_XMAPToDOM(ds, nullptr);
    if (!built) {
        // A build that stops must stop alike, with the same words, built into a DOM.
        const std::string message = Q_XMLGetErrMsg();
        Q_XMLResetErrMsg();
        QvHandle direct = buildDirectly(ds);
        if (direct) differ("only the tree failed to build");
        if (message != Q_XMLGetErrMsg()) differ("the reason a build stops");
        QV_XDOMClose(direct);
    } else {
        QvHandle direct = buildDirectly(ds);
        if (!direct) differ("only the DOM failed to build");
        if (formdump::viewPicture(built) != formdump::viewPicture(direct)) differ("what queries see");
        for (int n = 0; n < 4; ++n) {
            QvDocSettings out{};
            out.prettyPrint = static_cast<char>(n & 1);
            out.xmlDeclaration = static_cast<char>(n >> 1);
            if (n == 3) std::strcpy(out.outEncoding, "US-ASCII");
            Q_XMLResetErrMsg();
            const bool wrote = QV_XDOMWrite(direct, &out, nullptr) != nullptr;
            const int code = Q_XMLGetErrCode();
            const std::string expected(qv::writtenText(direct));
            Q_XMLResetErrMsg();
            if ((QV_XDOMWrite(built, &out, nullptr) != nullptr) != wrote || Q_XMLGetErrCode() != code)
                differ("whether a write succeeds");
            if (wrote && std::string(qv::writtenText(built)) != expected) differ("the written bytes");
        }
        if (formdump::nodesPicture(built->domNode()) != formdump::nodesPicture(direct->domNode()))
            differ("the nodes");
        QV_XDOMClose(direct);
        QV_XDOMClose(built);
    }
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    Q_XMLResetErrMsg();
    return 0;
}
