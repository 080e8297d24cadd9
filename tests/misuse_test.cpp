// A host's mistakes never crash the library: a null, closed or never-made handle or
// dataset, one of the other kind, a node handle of a closed document, or a null
// pointer where the export needs one. Each export answers with its failure value
// and one line "Interface misuse in <operation>: <what>." (code 47, or 3008 with
// the mapping prefix), and does nothing else.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qvxml.h"
#include "dataset_fixture.h"
#include "xdom/handle.h"
#include "xmap/dataset.h"

namespace {

constexpr int kMisuse = 47;
constexpr int kMapMisuse = 3008;

const char kMapping[] =
    "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/r/i'>"
    "<ColumnMap Column='ID' Node='@id'/></TABLECLASSMAP></QVXMAP>";

class Misuse : public ::testing::Test {
protected:
    void SetUp() override {
        dstest::installHost({{"T", "ID", 0, 0, ""}});
        doc = QV_XDOMOpen("<r><i id='1'/></r>", 1);
        node = QV_XDOMLocate(doc, "/r/i", nullptr);
        map = QV_XDOMOpen(kMapping, 1);
        ds = QV_XMAPOpen(doc, map, &root, '^', ']', '\\', '~', QV_XMAP_READ);
        ASSERT_TRUE(doc && node && map && ds) << Q_XMLGetErrMsg();

        // A closed document handle, a node handle of a closed document and a
        // closed dataset. Blocks of their size are taken right after each close,
        // so that no later handle can get one of the freed addresses.
        closedDoc = QV_XDOMOpen("<r><i/></r>", 1);
        orphan = QV_XDOMLocate(closedDoc, "/r/i", nullptr);
        QV_XDOMClose(closedDoc);
        plugs.push_back(::operator new(sizeof(QvHandle_)));
        QvHandle mapDoc = QV_XDOMOpen(kMapping, 1);
        closedDs = QV_XMAPOpen(doc, mapDoc, &root, '^', ']', '\\', '~', QV_XMAP_READ);
        QV_XDOMClose(mapDoc);
        QV_XMAPClose(closedDs);
        plugs.push_back(::operator new(sizeof(QvDataset_)));
        Q_XMLResetErrMsg();
    }
    void TearDown() override {
        QV_XDOMClose(orphan);
        QV_XMAPClose(ds);
        QV_XDOMClose(map);
        QV_XDOMClose(node);
        QV_XDOMClose(doc);
        for (void* p : plugs) ::operator delete(p);
    }

    // One misuse line and nothing else in the error state.
    // Closing and asking a handle's kind leave the DOM status alone.
    void expectMisuse(const std::string& operation, const char* what, bool mapping) {
        const std::string line = std::string(mapping ? "QVXMAP/QVXML_extraction: " : "") +
                                 "Interface misuse in " + operation + ": " + what + ".\n";
        EXPECT_EQ(Q_XMLGetErrMsg(), line);
        EXPECT_EQ(Q_XMLGetErrCode(), mapping ? kMapMisuse : kMisuse);
        const bool keepsStatus = operation == "XDOMClose" || operation == "XDOMCloseHandle" ||
                                 operation == "XDOMIsDoc";
        if (!mapping && !keepsStatus) {
            EXPECT_EQ(Q_XMLGetDOMStatus(), kMisuse);
        }
        Q_XMLResetErrMsg();
    }

    QvHandle doc = nullptr, node = nullptr, map = nullptr, closedDoc = nullptr, orphan = nullptr;
    QvDataset ds = nullptr, closedDs = nullptr;
    char* root = nullptr;
    std::vector<void*> plugs;
};

const char kNull[] = "a null handle";
const char kClosed[] = "a handle that is closed or was never opened";
const char kDataset[] = "a mapping dataset where a document or node handle goes";
const char kOrphan[] = "a node handle whose document handle is closed";

// Every export that takes a handle, with the failure value it must return.
struct HandleExport {
    const char* operation;
    std::function<bool(QvHandle)> failsWith;  // true when the result is the failure value
};

TEST_F(Misuse, BadHandles) {
    QvDocSettings settings{};
    char* text = nullptr;
    const std::vector<HandleExport> exports = {
        {"XDOMIsDoc", [](QvHandle h) { return QV_XDOMIsDoc(h) == 0; }},
        {"XDOMWrite", [&](QvHandle h) { return !QV_XDOMWrite(h, &settings, nullptr); }},
        {"XDOMLocate", [](QvHandle h) { return !QV_XDOMLocate(h, "/r", nullptr); }},
        {"XDOMEvaluate", [](QvHandle h) { return !QV_XDOMEvaluate(h, "1", nullptr); }},
        {"XDOMLocateNode", [](QvHandle h) { return !QV_XDOMLocateNode(h, QV_DIR_CHILD, 0, 0); }},
        {"XDOMCreateNode", [](QvHandle h) { return !QV_XDOMCreateNode(h, "e", "", QV_NODE_ELEMENT); }},
        {"XDOMClone", [](QvHandle h) { return !QV_XDOMClone(h, 1); }},
        {"XDOMImportNode", [&](QvHandle h) { return !QV_XDOMImportNode(h, node, 1); }},
        {"XDOMImportNode", [&](QvHandle h) { return !QV_XDOMImportNode(doc, h, 1); }},
        {"XDOMAppend", [&](QvHandle h) { return QV_XDOMAppend(h, node) == kMisuse; }},
        {"XDOMAppend", [&](QvHandle h) { return QV_XDOMAppend(node, h) == kMisuse; }},
        {"XDOMInsert", [&](QvHandle h) { return QV_XDOMInsert(h, node) == kMisuse; }},
        {"XDOMAddChild", [&](QvHandle h) { return QV_XDOMAddChild(h, node) == kMisuse; }},
        {"XDOMAddChild", [&](QvHandle h) { return QV_XDOMAddChild(node, h) == kMisuse; }},
        {"XDOMReplace", [&](QvHandle h) { return QV_XDOMReplace(h, node) == kMisuse; }},
        {"XDOMRemove", [](QvHandle h) { return !QV_XDOMRemove(h, ""); }},
        {"XDOMGetNodeName", [](QvHandle h) { return !QV_XDOMGetNodeName(h); }},
        {"XDOMGetNodeValue", [](QvHandle h) { return !QV_XDOMGetNodeValue(h); }},
        {"XDOMGetNodeType", [](QvHandle h) { return QV_XDOMGetNodeType(h) == 0; }},
        {"XDOMGetOwnerDocument", [](QvHandle h) { return !QV_XDOMGetOwnerDocument(h); }},
        {"XDOMGetAttribute", [](QvHandle h) { return !QV_XDOMGetAttribute(h, "id"); }},
        {"XDOMGetUserData", [](QvHandle h) { return !QV_XDOMGetUserData(h); }},
        {"XDOMSetNodeValue", [](QvHandle h) { return QV_XDOMSetNodeValue(h, "v") == kMisuse; }},
        {"XDOMSetUserData", [](QvHandle h) { return QV_XDOMSetUserData(h, "u") == kMisuse; }},
        {"XDOMTransform", [](QvHandle h) {
             return !QV_XDOMTransform(h, "<x/>", 1, QV_RESULT_TEXT, nullptr);
         }},
        {"XMAPOpen", [&](QvHandle h) {
             return !QV_XMAPOpen(h, map, &text, '^', ']', '\\', '~', QV_XMAP_READ);
         }},
        {"XMAPOpen", [&](QvHandle h) {
             return !QV_XMAPOpen(doc, h, &text, '^', ']', '\\', '~', QV_XMAP_READ);
         }},
    };
    const struct {
        QvHandle handle;
        const char* what;
    } bad[] = {
        {nullptr, kNull},
        {closedDoc, kClosed},
        {reinterpret_cast<QvHandle>(ds), kDataset},
        {orphan, kOrphan},
    };
    for (const HandleExport& e : exports) {
        for (const auto& b : bad) {
            SCOPED_TRACE(std::string(e.operation) + " with " + b.what);
            EXPECT_TRUE(e.failsWith(b.handle));
            expectMisuse(e.operation, b.what, std::strncmp(e.operation, "XMAP", 4) == 0);
        }
    }
    // What the host still may do with them.
    EXPECT_EQ(QV_XDOMClose(nullptr), 0);
    EXPECT_STREQ(Q_XMLGetErrMsg(), "");
    EXPECT_EQ(QV_XDOMClose(closedDoc), 0);  // a second close
    expectMisuse("XDOMClose", kClosed, false);
    EXPECT_EQ(QV_XDOMCloseHandle(closedDoc), 0);
    expectMisuse("XDOMCloseHandle", kClosed, false);
    EXPECT_EQ(QV_XDOMClose(reinterpret_cast<QvHandle>(ds)), 0);
    expectMisuse("XDOMClose", kDataset, false);
    // The tree and the dataset it names are untouched by all of that.
    EXPECT_STREQ(QV_XDOMEvaluate(doc, "count(/r/i)", nullptr), "1");
    char* record = nullptr;
    EXPECT_EQ(QV_XMAPReadNext(ds, nullptr, &record), 0);
    EXPECT_STREQ(record, "1");
}

TEST_F(Misuse, BadDatasets) {
    char* out = nullptr;
    const struct {
        const char* operation;
        std::function<bool(QvDataset)> failsWith;
    } exports[] = {
        {"XMAPReadNext", [&](QvDataset d) { return QV_XMAPReadNext(d, nullptr, &out) == -1; }},
        {"XMAPWriteNext", [](QvDataset d) { return QV_XMAPWriteNext(d, "T", "1", 1) == -1; }},
        {"XMAPSetOption", [](QvDataset d) { return QV_XMAPSetOption(d, QV_XMAP_OPT_CASCADE, 1) == -1; }},
        {"XMAPGetInfo", [&](QvDataset d) { return QV_XMAPGetInfo(d, &out) == -1; }},
        {"XMAPToDOM", [](QvDataset d) { return QV_XMAPToDOM(d, nullptr) == nullptr; }},
    };
    const struct {
        QvDataset dataset;
        const char* what;
    } bad[] = {
        {nullptr, "a null dataset"},
        {closedDs, "a dataset that is closed or was never opened"},
        {reinterpret_cast<QvDataset>(doc), "a document or node handle where a mapping dataset goes"},
    };
    for (const auto& e : exports) {
        for (const auto& b : bad) {
            SCOPED_TRACE(std::string(e.operation) + " with " + b.what);
            EXPECT_TRUE(e.failsWith(b.dataset));
            expectMisuse(e.operation, b.what, true);
        }
    }
    QV_XMAPClose(nullptr);
    EXPECT_STREQ(Q_XMLGetErrMsg(), "");
    QV_XMAPClose(closedDs);  // a second close
    expectMisuse("XMAPClose", "a dataset that is closed or was never opened", true);
    QV_XMAPClose(reinterpret_cast<QvDataset>(doc));
    expectMisuse("XMAPClose", "a document or node handle where a mapping dataset goes", true);
    EXPECT_STREQ(QV_XDOMEvaluate(doc, "count(/r/i)", nullptr), "1");
}

// Null where an export needs a pointer, with good handles.
TEST_F(Misuse, NullPointers) {
    const struct {
        const char* operation;
        const char* what;
        std::function<bool()> failsWith;
    } cases[] = {
        {"XDOMOpen", "a null source", [] { return !QV_XDOMOpen(nullptr, 1); }},
        {"XDOMOpen", "a null source", [] { return !QV_XDOMOpen(nullptr, 0); }},
        {"XDOMValidate", "a null source",
         [] { return QV_XDOMValidate(nullptr, 1, nullptr, nullptr) == kMisuse; }},
        {"XDOMLocate", "a null path", [&] { return !QV_XDOMLocate(doc, nullptr, nullptr); }},
        {"XDOMEvaluate", "a null expression", [&] { return !QV_XDOMEvaluate(doc, nullptr, nullptr); }},
        {"XDOMCreateRoot", "null settings", [] { return !QV_XDOMCreateRoot(nullptr); }},
        {"XDOMRemove", "a null attribute name", [&] { return !QV_XDOMRemove(node, nullptr); }},
        {"XDOMGetAttribute", "a null attribute name",
         [&] { return !QV_XDOMGetAttribute(node, nullptr); }},
        {"XDOMSetNodeValue", "a null value",
         [&] { return QV_XDOMSetNodeValue(node, nullptr) == kMisuse; }},
        {"XDOMTransform", "a null stylesheet",
         [&] { return !QV_XDOMTransform(doc, nullptr, 1, QV_RESULT_TEXT, nullptr); }},
        {"XDOMTransform", "a null output file",
         [&] { return !QV_XDOMTransform(doc, "<x/>", 1, QV_RESULT_FILE, nullptr); }},
        {"XMAPReadNext", "a null record pointer", [&] { return QV_XMAPReadNext(ds, nullptr, nullptr) == -1; }},
        {"XMAPGetInfo", "a null description pointer", [&] { return QV_XMAPGetInfo(ds, nullptr) == -1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + ": " + c.what);
        EXPECT_TRUE(c.failsWith());
        expectMisuse(c.operation, c.what, std::strncmp(c.operation, "XMAP", 4) == 0);
    }
}

// Mapping before the host registered its callbacks fails clearly, and works once
// it has.
TEST_F(Misuse, MappingBeforeTheCallbacks) {
    QV_XMLInitial(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    char* out = nullptr;
    EXPECT_EQ(QV_XMAPOpen(doc, map, &out, '^', ']', '\\', '~', QV_XMAP_READ), nullptr);
    expectMisuse("XMAPOpen", "the host callbacks are not registered (QV_XMLInitial)", true);
    dstest::installHost({{"T", "ID", 0, 0, ""}});
    QvDataset again = QV_XMAPOpen(doc, map, &out, '^', ']', '\\', '~', QV_XMAP_READ);
    EXPECT_NE(again, nullptr) << Q_XMLGetErrMsg();
    QV_XMAPClose(again);
}

}  // namespace
