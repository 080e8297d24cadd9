// A document read into records from both forms it can be held in, the compact tree
// it is opened in and the DOM built on first need, with a fixed set of mappings:
// the records must be byte-identical, and so must the picture of what the walk can
// see (names, attributes in order, direct text) and what queries and stylesheets see
// (the compact form's view against the DOM's). Any difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <xercesc/dom/DOMDocument.hpp>

#include "../tests/form_dump.h"
#include "fuzz_input.h"
#include "host/reference_host.h"
#include "qvxml.h"
#include "xdom/compact/compact_document.h"
#include "xdom/handle.h"

namespace {

qvhost::ReferenceHost& host() {
    static qvhost::ReferenceHost* h = [] {
        auto* made = new qvhost::ReferenceHost;
        made->dictionary("T").add("ID", 0).add("A", 1).add("B", 2, true).add("C", 3, true).add(
            "D", 4, true).add("E", 5);
        made->dictionary("U").add("ID", 0).add("A", 1).add("P", 2);
        return made;
    }();
    return *h;
}

// Records, table T then table U, of every mapping: names in no namespace, in a
// declared namespace, and with namespaces ignored.
std::string table(const std::string& start, const std::string& columns, const std::string& nested) {
    return "<TABLECLASSMAP MapName='M' TableName='T' StartNode='" + start + "'>" + columns +
           "<TableMap MapName='N' Node='" + nested + "'/></TABLECLASSMAP>"
           "<TABLECLASSMAP MapName='N' TableName='U' StartNode='" + nested + "'>"
           "<ColumnMap Column='ID' Node='@x'/><ColumnMap Column='A' Node='text()'/>"
           "</TABLECLASSMAP>"
           "<RelatedTable><MapParentKey TableName='T' Column='ID' KeyGenerate='NO'/>"
           "<MapChildKey TableName='U' Column='P'/></RelatedTable>";
}

const std::vector<std::string>& mappings() {
    static const std::vector<std::string> all = {
        "<QVXMAP><OPTIONS><EmptyString IsNull='ON'/></OPTIONS>" +
            table("/r/a",
                  "<ColumnMap Column='ID' Node='@id'/><ColumnMap Column='A' Node='text()'/>"
                  "<ColumnMap Column='B' Node='b,@x'/><ColumnMap Column='C' Node='b,c,text()'/>"
                  "<ColumnMap Column='D' Node='../a,b'/><ColumnMap Column='E' Node='../@id'/>",
                  "b") +
            "</QVXMAP>",
        "<QVXMAP><OPTIONS><NameSpace Prefix='p' URI='urn:p'/></OPTIONS>" +
            table("/r/p:a/p:b",
                  "<ColumnMap Column='ID' Node='@p:id'/><ColumnMap Column='A' Node='p:c'/>"
                  "<ColumnMap Column='B' Node='p:c,@id'/><ColumnMap Column='E' Node='@id'/>",
                  "p:c") +
            "</QVXMAP>",
        "<QVXMAP><OPTIONS><IgnoreNameSpace/><Cascade/></OPTIONS>" +
            table("/r/a", "<ColumnMap Column='ID' Node='@id'/><ColumnMap Column='A' Node='b'/>"
                          "<ColumnMap Column='B' Node='./b/c,text()'/>",
                  "b") +
            "</QVXMAP>",
    };
    return all;
}

std::vector<std::string> records(QvHandle doc) {
    std::vector<std::string> out;
    for (const std::string& mapping : mappings()) {
        QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
        if (!map) std::abort();  // the mappings are ours and must load
        char* root = nullptr;
        QvDataset ds = QV_XMAPOpen(doc, map, &root, '^', ']', '\\', '~', QV_XMAP_READ);
        out.push_back(ds ? "open" : std::string("failed: ") + Q_XMLGetErrMsg());
        char* record = nullptr;
        for (const char* t : {"T", "U"})
            while (ds && QV_XMAPReadNext(ds, t, &record) == 0) out.emplace_back(record);
        QV_XMAPClose(ds);
        QV_XDOMClose(map);
        Q_XMLResetErrMsg();
    }
    return out;
}

void differ(const char* what, const std::string& compact, const std::string& dom) {
    std::fprintf(stderr, "the forms differ in %s:\ncompact: %s\ndom:     %s\n", what,
                 compact.c_str(), dom.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string document = fuzzinput::text(data, size);
    host().install();
    QvHandle compact = QV_XDOMOpen(document.c_str(), 1);
    const int status = Q_XMLGetDOMStatus();
    Q_XMLResetErrMsg();
    if (!compact) return 0;
    QvHandle dom = QV_XDOMOpen(document.c_str(), 1);
    if (!dom || !compact->isCompact()) std::abort();
    (void)status;
    dom->domNode();
    const std::string compactPicture = formdump::picture(*compact->compact()->tree);
    const std::string domPicture =
        formdump::picture(static_cast<const xercesc::DOMNode*>(dom->builtDom()));
    if (compactPicture != domPicture) differ("what the walk sees", compactPicture, domPicture);

    // Queries of the compact form read a view of the tree itself (or, where the tree
    // cannot tell every node, one scanned from the bytes); it must show what the
    // DOM's view shows.
    const std::string compactView = formdump::viewPicture(compact);
    if (!compact->isCompact()) std::abort();  // a query builds no DOM
    const std::string domView = formdump::viewPicture(dom);
    if (compactView != domView) differ("what queries see", compactView, domView);

    const std::vector<std::string> fromCompact = records(compact);
    const std::vector<std::string> fromDom = records(dom);
    if (fromCompact != fromDom) {
        std::string a, b;
        for (const auto& r : fromCompact) a += r + "\n";
        for (const auto& r : fromDom) b += r + "\n";
        differ("records", a, b);
    }
    QV_XDOMClose(dom);
    QV_XDOMClose(compact);
    Q_XMLResetErrMsg();
    return 0;
}
