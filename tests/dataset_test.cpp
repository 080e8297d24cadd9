// The dataset exports: opening modes, ReadNext's name rules and Cascade
// positioning, WriteNext's checks, SetOption.
#include <string>

#include <gtest/gtest.h>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "read_fixture.h"
#include "test_data.h"
#include "host/reference_host.h"
#include "xdom/handle.h"

using namespace readtest;

namespace {

// Every test that reads records runs over both forms of the input document.
class DatasetForms : public BothForms {};
INSTANTIATE_TEST_SUITE_P(Dataset, DatasetForms, ::testing::Values(Form::Compact, Form::Dom),
                         paramName);

// Three nested tables A > B > C, keyed only by nesting.
void installAbc() {
    installHost({{"TA", "ID", 0, 0, ""},
                 {"TB", "ID", 0, 0, ""},
                 {"TC", "ID", 0, 0, ""},
                 {"TC", "N", 1, 0, ""}});
}

std::string abcMapping(const char* options) {
    return std::string("<QVXMAP><OPTIONS>") + options + R"(</OPTIONS>
      <TABLECLASSMAP MapName="AM" TableName="TA" StartNode="/R/A">
        <ColumnMap Column="ID" Node="@id"/><TableMap MapName="BM" Node="B"/>
      </TABLECLASSMAP>
      <TABLECLASSMAP MapName="BM" TableName="TB" StartNode="B">
        <ColumnMap Column="ID" Node="@id"/><TableMap MapName="CM" Node="C"/>
      </TABLECLASSMAP>
      <TABLECLASSMAP MapName="CM" TableName="TC" StartNode="C">
        <ColumnMap Column="ID" Node="@id"/>
      </TABLECLASSMAP></QVXMAP>)";
}

const char* kAbcXml =
    "<R><A id='a1'><B id='b1'><C id='c1'/><C id='c2'/></B><B id='b2'><C id='c3'/></B></A>"
    "<A id='a2'/><A id='a3'><B id='b3'/></A></R>";

// The A > B > C tables installed, and kAbcXml opened through their mapping with
// `options`, in `mode`.
struct AbcDataset : Opened {
    explicit AbcDataset(const char* options, int mode = QV_XMAP_READ)
        : Opened(installed(), abcMapping(options).c_str(), mode) {}

private:
    static const char* installed() {
        installAbc();
        return kAbcXml;
    }
};

TEST_P(DatasetForms, CascadeHandsOutTheChildrenOfTheRecordLastRead) {
    AbcDataset o("<Cascade/>");
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.next("TA"), "a1");
    EXPECT_EQ(o.next("TB"), "b1");
    EXPECT_EQ(o.read("TC"), (Records{"c1", "c2"}));
    EXPECT_EQ(o.next("TB"), "b2");
    EXPECT_EQ(o.read("TC"), (Records{"c3"}));
    EXPECT_EQ(o.next("TB"), "<end>");
    EXPECT_EQ(o.next("TB"), "<end>");
    EXPECT_EQ(o.next("TA"), "a2");
    EXPECT_EQ(o.next("TB"), "<end>");
    EXPECT_EQ(o.next("TC"), "<end>");
    EXPECT_EQ(o.next("TA"), "a3");
    EXPECT_EQ(o.next("TB"), "b3");
    EXPECT_EQ(o.next("TC"), "<end>");
    EXPECT_EQ(o.next("TA"), "<end>");
    EXPECT_EQ(o.next("TA"), "<end>");
}

TEST_P(DatasetForms, CascadeRepositionsTheGrandchildrenWithTheParent) {
    AbcDataset o("<Cascade/>");
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.next("TA"), "a1");
    // Reading A positioned B on b1 and C on b1's children.
    EXPECT_EQ(o.read("TC"), (Records{"c1", "c2"}));
    EXPECT_EQ(o.read("TB"), (Records{"b1", "b2"}));
}

TEST_P(DatasetForms, WithoutCascadeEveryTableReadsItsWholeQueue) {
    AbcDataset o("<Cascade/>");
    ASSERT_TRUE(o.ds);
    EXPECT_EQ(QV_XMAPSetOption(o.ds, QV_XMAP_OPT_CASCADE, 0), 0);
    EXPECT_EQ(o.next("TA"), "a1");
    EXPECT_EQ(o.read("TC"), (Records{"c1", "c2", "c3"}));
    EXPECT_EQ(o.read("TB"), (Records{"b1", "b2", "b3"}));
    EXPECT_EQ(o.read("TA"), (Records{"a2", "a3"}));
}

TEST_P(DatasetForms, ReadNextFindsTablesByMapOrTableName) {
    AbcDataset o("");
    ASSERT_TRUE(o.ds);
    EXPECT_STREQ(o.rootTable, "TA");
    EXPECT_EQ(o.next(nullptr), "a1");
    EXPECT_EQ(o.next(""), "a2");
    EXPECT_EQ(o.next("am"), "a3");
    EXPECT_EQ(o.next("tb"), "b1");
    EXPECT_EQ(o.next("BM"), "b2");
    char* record = nullptr;
    EXPECT_EQ(QV_XMAPReadNext(o.ds, "NOPE", &record), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3013);
    EXPECT_NE(std::string(Q_XMLGetErrMsg()).find("Cannot find the table or map named as NOPE.\n"),
              std::string::npos);
}

TEST_P(DatasetForms, ANameMatchesTheFirstMapDepthFirst) {
    // Map "TB" comes before table "TB" depth first: the map named so wins.
    installHost({{"TA", "ID", 0, 0, ""}, {"TB", "ID", 0, 0, ""}});
    Opened o("<R><A id='a'/><B id='b'/></R>", R"(<QVXMAP>
      <TABLECLASSMAP MapName="TB" TableName="TA" StartNode="/R/A"><ColumnMap Column="ID" Node="@id"/></TABLECLASSMAP>
      <TABLECLASSMAP MapName="X" TableName="TB" StartNode="/R/B"><ColumnMap Column="ID" Node="@id"/></TABLECLASSMAP>
    </QVXMAP>)");
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.read("tb"), (Records{"a"}));
    EXPECT_EQ(o.read("x"), (Records{"b"}));
}

TEST(Dataset, SetOption) {
    AbcDataset o("");
    ASSERT_TRUE(o.ds);
    EXPECT_EQ(QV_XMAPSetOption(o.ds, QV_XMAP_OPT_EMPTYSTRING_ISNULL, 1), 0);
    EXPECT_EQ(QV_XMAPSetOption(o.ds, QV_XMAP_OPT_EXISTRECORD, 7), 0);
    EXPECT_EQ(Q_XMLGetErrCode(), 0);
    EXPECT_EQ(QV_XMAPSetOption(o.ds, 4, 1), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3014);
    EXPECT_EQ(QV_XMAPSetOption(o.ds, 0, 1), -1);
    // Records built at open stay as they were.
    EXPECT_EQ(o.read("TC"), (Records{"c1", "c2", "c3"}));
}

TEST(Dataset, CreateModeWritesAndRefusesReads) {
    installAbc();
    std::string map = abcMapping("");
    char* root = const_cast<char*>("untouched");
    Q_XMLResetErrMsg();
    QvHandle mh = QV_XDOMOpen(map.c_str(), 1);
    QvDataset ds = QV_XMAPOpen(nullptr, mh, &root, '|', ']', '}', '~', XML_CREATE);
    ASSERT_TRUE(ds) << Q_XMLGetErrMsg();
    EXPECT_STREQ(root, "untouched");
    char* record = nullptr;
    EXPECT_EQ(QV_XMAPReadNext(ds, "TA", &record), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3012);
    EXPECT_EQ(QV_XMAPWriteNext(ds, "TA", nullptr, 5), 0);
    EXPECT_EQ(QV_XMAPWriteNext(ds, "NOPE", "x", 1), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3013);
    EXPECT_EQ(QV_XMAPWriteNext(ds, "TA", "a1", 0), 0);  // accepted, not queued
    EXPECT_EQ(QV_XMAPWriteNext(ds, "TA", "a1", 2), 0);
    EXPECT_EQ(QV_XMAPWriteNext(ds, "TA", "a2", 2), 0);  // /R/A: records below the root
    EXPECT_EQ(QV_XMAPWriteNext(ds, "TB", "b1", 2), 0);
    QV_XMAPClose(ds);
    QV_XDOMClose(mh);
    QV_XMAPClose(nullptr);
}

TEST_P(DatasetForms, OneDocumentElementPerTopLevelTable) {
    installHost({{"T", "ID", 0, 0, ""}});
    const char* map = R"(<QVXMAP><TABLECLASSMAP MapName="M" TableName="T" StartNode="/REC">
        <ColumnMap Column="ID" Node="@id"/></TABLECLASSMAP></QVXMAP>)";
    Opened o(nullptr, map, XML_CREATE);
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(QV_XMAPWriteNext(o.ds, "T", "1", 1), 0);
    EXPECT_EQ(QV_XMAPWriteNext(o.ds, "T", "2", 1), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3057);
}

TEST_P(DatasetForms, ReadModeRefusesWritesBeforeAnythingElse) {
    AbcDataset o("");
    ASSERT_TRUE(o.ds);
    EXPECT_EQ(QV_XMAPWriteNext(o.ds, "TA", nullptr, 0), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3011);
}

TEST_P(DatasetForms, OtherModesReadNothingAndAllowBothDirections) {
    for (int mode : {5, 12}) {
        SCOPED_TRACE(mode);
        AbcDataset o("", mode);
        ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
        EXPECT_EQ(o.rootTable, nullptr);
        EXPECT_EQ(o.next("TA"), "<end>");
        EXPECT_EQ(QV_XMAPWriteNext(o.ds, "TA", "w1", 2), 0);
        EXPECT_EQ(o.read("TA"), (Records{"w1"}));
        // The input document is kept and handed back, not a new one built.
        QvHandle kept = QV_XMAPToDOM(o.ds, nullptr);
        ASSERT_NE(kept, nullptr) << Q_XMLGetErrMsg();
        EXPECT_EQ(kept->builtDom(), o.doc->builtDom());
        // The handle keeps the document alive: closing the input (before or after the
        // hand-back) leaves it whole.
        QV_XDOMClose(o.doc);
        o.doc = nullptr;
        QvHandle again = QV_XMAPToDOM(o.ds, nullptr);
        ASSERT_NE(again, nullptr) << Q_XMLGetErrMsg();
        for (QvHandle h : {kept, again}) {
            const char* text = QV_XDOMWrite(h, nullptr, nullptr);
            ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
            EXPECT_NE(std::string(text).find("<A"), std::string::npos) << text;
        }
        QV_XMAPClose(o.ds);
        o.ds = nullptr;
        const char* count = QV_XDOMEvaluate(again, "count(//A)", nullptr);
        EXPECT_STREQ(count, "3") << Q_XMLGetErrMsg();
        QV_XDOMClose(kept);
        QV_XDOMClose(again);
    }
}

TEST_P(DatasetForms, ExtractionFileReadsAtOpenThenAllowsWrites) {
    installHost({{"ORDERS", "ID", 0, 0, ""}, {"ORDERS", "CUSTNO", 1, 0, ""}});
    Opened o("<ORDERS xmlns='urn:o'><ORDER id='1' cust='c1'/><ORDER id='2'/></ORDERS>",
             R"(<QVXML_extraction>
      <file_extraction start="/ORDERS/ORDER" dictionary="ORDERS" null="NULL" by_name="ON"/>
      <field_extraction field="ID" path="@id"/>
      <field_extraction field="CUSTNO" path="@cust"/>
    </QVXML_extraction>)");
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_STREQ(o.rootTable, "ORDERS");
    EXPECT_EQ(o.read(), (Records{"1|c1", "2|~"}));
    EXPECT_EQ(QV_XMAPWriteNext(o.ds, nullptr, "3|c3", 4), 0);
    // A cursor at the end stays there: there is no rewind.
    EXPECT_EQ(o.next(), "<end>");
}

TEST(Dataset, AFailedLoadReturnsNull) {
    installAbc();
    Opened o(kAbcXml, "<QVXMAP><OPTIONS><Bogus/></OPTIONS></QVXMAP>");
    EXPECT_EQ(o.ds, nullptr);
    EXPECT_EQ(Q_XMLGetErrCode(), 3026);
}

TEST(Dataset, ReadingFromANodeHandle) {
    installAbc();
    std::string map = abcMapping("");
    QvHandle doc = QV_XDOMOpen("<X><R><A id='in'/></R></X>", 1);
    ASSERT_TRUE(doc);
    doc->domNode();
    QvHandle node = qv::makeNodeHandle(doc, doc->builtDom()->getDocumentElement());
    QvHandle mh = QV_XDOMOpen(map.c_str(), 1);
    char* root = nullptr;
    QvDataset ds = node ? QV_XMAPOpen(node, mh, &root, '|', ']', '}', '~', 0) : nullptr;
    if (node) {
        ASSERT_TRUE(ds) << Q_XMLGetErrMsg();
        // The start path is resolved from the node <X>, a leading "/" ignored.
        char* record = nullptr;
        EXPECT_EQ(QV_XMAPReadNext(ds, nullptr, &record), 0);
        EXPECT_STREQ(record, "in");
    }
    QV_XMAPClose(ds);
    QV_XDOMClose(node);
    QV_XDOMClose(mh);
    QV_XDOMClose(doc);
}

}  // namespace

namespace {

// The orders example (tests/data/map/orders_example.xml): a namespace prefix, a
// DateFormat, a parent key that is a multivalued column and a nested line table
// keyed into it, read through the reference host with its usual marks.
const std::string kOrdersMapping = qvtest::readData("map/orders_example.xml");

const char* kOrdersXml = R"(<?xml version="1.0"?>
<ORDERS xmlns="urn:orders">
  <ORDER cust="C1" date="2026-01-05">
    <LINES><LINE id="L1"><QTY>2</QTY></LINE><LINE id="L2"><QTY>5</QTY></LINE></LINES>
  </ORDER>
  <ORDER cust="C2">
    <LINES><LINE id="L3"/></LINES>
  </ORDER>
</ORDERS>)";

struct OrdersHost {
    OrdersHost() {
        host.dictionary("ORDERS").add("ID", 0).add("CUSTNO", 1).add("LINE_IDS", 2, true).add(
            "DATE", 3, false, "D2/");
        host.dictionary("ORDER_LINES").add("ID", 0).add("ORDER_LINE", 1).add("QTY", 2);
        host.install();
    }
    qvhost::ReferenceHost host;
};

QvDataset openOrders(QvHandle doc, QvHandle map, char** root) {
    return QV_XMAPOpen(doc, map, root, '\xFE', '\xFD', '\xFC', '\x7F', QV_XMAP_READ);
}

TEST_P(DatasetForms, OrdersExampleReadsEndToEndThroughTheReferenceHost) {
    OrdersHost h;
    Q_XMLResetErrMsg();
    QvHandle doc = QV_XDOMOpen(kOrdersXml, 1);
    takeForm(doc);
    QvHandle map = QV_XDOMOpen(kOrdersMapping.c_str(), 1);
    ASSERT_TRUE(doc && map);
    char* root = nullptr;
    QvDataset ds = openOrders(doc, map, &root);
    ASSERT_TRUE(ds) << Q_XMLGetErrMsg();
    // The input documents may go once the dataset is open.
    QV_XDOMClose(doc);
    QV_XDOMClose(map);
    EXPECT_STREQ(root, "ORDERS");
    char* record = nullptr;
    Records orders, lines;
    while (QV_XMAPReadNext(ds, "ORDERS", &record) == 0) orders.emplace_back(record);
    while (QV_XMAPReadNext(ds, "LINES_MAP", &record) == 0) lines.emplace_back(record);
    EXPECT_EQ(orders, (Records{"0\xFE" "C1\xFE" "L1\xFD" "L2", "1\xFE" "C2\xFE" "L3"}));
    EXPECT_EQ(lines, (Records{"0\xFE" "L1\xFE" "2", "1\xFE" "L2\xFE" "5", "2\xFE" "L3\xFE"}));
    EXPECT_EQ(Q_XMLGetErrCode(), 0) << Q_XMLGetErrMsg();
    QV_XMAPClose(ds);
}

TEST_P(DatasetForms, OrdersExampleWithADateAndCascade) {
    OrdersHost h;
    std::string mapping = kOrdersMapping;
    mapping.replace(mapping.find("<ColumnMap Column=\"CUSTNO\""), 0,
                    "<ColumnMap Column=\"DATE\" Node=\"@date\"/>");
    mapping.replace(mapping.find("</OPTIONS>"), 0, "<Cascade/><EmptyString IsNull=\"ON\"/>");
    Q_XMLResetErrMsg();
    QvHandle doc = QV_XDOMOpen(kOrdersXml, 1);
    takeForm(doc);
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    char* root = nullptr;
    QvDataset ds = openOrders(doc, map, &root);
    ASSERT_TRUE(ds) << Q_XMLGetErrMsg();
    char* record = nullptr;
    ASSERT_EQ(QV_XMAPReadNext(ds, "ORDERS", &record), 0);
    // 2026-01-05 read with the DateFormat "D-YMD[4,2,2]": day 21190 after 1967-12-31.
    EXPECT_STREQ(record, "0\xFE" "C1\xFE" "L1\xFD" "L2\xFE" "21190");
    ASSERT_EQ(QV_XMAPReadNext(ds, "ORDER_LINES", &record), 0);
    EXPECT_STREQ(record, "0\xFE" "L1\xFE" "2");
    ASSERT_EQ(QV_XMAPReadNext(ds, "ORDER_LINES", &record), 0);
    EXPECT_STREQ(record, "1\xFE" "L2\xFE" "5");
    EXPECT_EQ(QV_XMAPReadNext(ds, "ORDER_LINES", &record), QV_END_OF_TABLE);
    ASSERT_EQ(QV_XMAPReadNext(ds, "ORDERS", &record), 0);
    // The missing date is the null mark, which the host's conversion passes through
    // as it is, as for a column without a conversion.
    EXPECT_STREQ(record, "1\xFE" "C2\xFE" "L3\xFE\x7F");
    ASSERT_EQ(QV_XMAPReadNext(ds, "ORDER_LINES", &record), 0);
    EXPECT_STREQ(record, "2\xFE" "L3\xFE\x7F");
    EXPECT_EQ(QV_XMAPReadNext(ds, "ORDER_LINES", &record), QV_END_OF_TABLE);
    QV_XMAPClose(ds);
    QV_XDOMClose(doc);
    QV_XDOMClose(map);
}

}  // namespace

namespace {

// The example files of tests/data/read (used by qvxml_map) read as they should.
TEST_P(DatasetForms, ExampleFilesReadWithDictionaryFiles) {
    qvhost::ReferenceHost host;
    host.setDictionaryDirectory(QVXML_TEST_DATA "/read");
    host.install();
    Q_XMLResetErrMsg();
    QvHandle doc = QV_XDOMOpen(QVXML_TEST_DATA "/read/orders.xml", 0);
    takeForm(doc);
    QvHandle map = QV_XDOMOpen(QVXML_TEST_DATA "/read/orders_map.xml", 0);
    ASSERT_TRUE(doc && map) << Q_XMLGetErrMsg();
    char* root = nullptr;
    QvDataset ds = QV_XMAPOpen(doc, map, &root, '|', ']', '}', '~', QV_XMAP_READ);
    ASSERT_TRUE(ds) << Q_XMLGetErrMsg() << host.dictionaryError();
    Records orders, lines;
    char* record = nullptr;
    while (QV_XMAPReadNext(ds, "ORDERS", &record) == 0) orders.emplace_back(record);
    while (QV_XMAPReadNext(ds, "ORDER_LINES", &record) == 0) lines.emplace_back(record);
    EXPECT_EQ(orders, (Records{"0|C1|L1]L2|21190", "1|C2|L3|21230"}));
    EXPECT_EQ(lines, (Records{"0|L1|2", "1|L2|5", "2|L3|1"}));
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
}

}  // namespace

namespace {

TEST_P(DatasetForms, CascadePositionsEveryChildTableOfTheRecordRead) {
    installHost({{"TA", "ID", 0, 0, ""}, {"TB", "ID", 0, 0, ""}, {"TC", "ID", 0, 0, ""}});
    Opened o("<R><A id='a1'><B id='b1'/><C id='c1'/><B id='b2'/></A><A id='a2'><C id='c2'/></A></R>",
             R"(<QVXMAP><OPTIONS><Cascade/></OPTIONS>
      <TABLECLASSMAP MapName="AM" TableName="TA" StartNode="/R/A">
        <ColumnMap Column="ID" Node="@id"/>
        <TableMap MapName="BM" Node="B"/><TableMap MapName="CM" Node="C"/>
      </TABLECLASSMAP>
      <TABLECLASSMAP MapName="BM" TableName="TB" StartNode="B"><ColumnMap Column="ID" Node="@id"/></TABLECLASSMAP>
      <TABLECLASSMAP MapName="CM" TableName="TC" StartNode="C"><ColumnMap Column="ID" Node="@id"/></TABLECLASSMAP>
    </QVXMAP>)");
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.next("TA"), "a1");
    EXPECT_EQ(o.read("TC"), (Records{"c1"}));
    EXPECT_EQ(o.read("TB"), (Records{"b1", "b2"}));
    EXPECT_EQ(o.next("TA"), "a2");
    EXPECT_EQ(o.read("TB"), (Records{}));
    EXPECT_EQ(o.read("TC"), (Records{"c2"}));
}

}  // namespace

namespace {

// A host that maps, uses DOM exports on the same handle, then maps again: the second
// dataset reads the DOM the first use built, and the records are the same.
TEST(Dataset, MappingBeforeAndAfterTheDomIsBuilt) {
    installAbc();
    const std::string mapping = abcMapping("");
    QvHandle doc = QV_XDOMOpen(kAbcXml, 1);
    QvHandle map = QV_XDOMOpen(mapping.c_str(), 1);
    ASSERT_TRUE(doc && map) << Q_XMLGetErrMsg();
    auto readAll = [&] {
        char* root = nullptr;
        QvDataset ds = QV_XMAPOpen(doc, map, &root, '|', ']', '}', '~', QV_XMAP_READ);
        EXPECT_TRUE(ds) << Q_XMLGetErrMsg();
        Records out;
        char* record = nullptr;
        for (const char* table : {"TA", "TB", "TC"})
            while (ds && QV_XMAPReadNext(ds, table, &record) == 0) out.emplace_back(record);
        QV_XMAPClose(ds);
        return out;
    };
    const Records before = readAll();
    EXPECT_TRUE(doc->isCompact());
    QvHandle b = QV_XDOMLocate(doc, "/R/A/B[2]", nullptr);
    ASSERT_TRUE(b) << Q_XMLGetErrMsg();
    EXPECT_STREQ(QV_XDOMGetNodeName(b), "B");
    EXPECT_FALSE(doc->isCompact());
    EXPECT_EQ(readAll(), before);
    EXPECT_EQ(before, (Records{"a1", "a2", "a3", "b1", "b2", "b3", "c1", "c2", "c3"}));
    // An edit made through the DOM is what the next mapping reads.
    QvHandle removed = QV_XDOMRemove(b, "");
    ASSERT_TRUE(removed) << Q_XMLGetErrMsg();
    EXPECT_EQ(readAll(), (Records{"a1", "a2", "a3", "b1", "b3", "c1", "c2"}));
    QV_XDOMClose(removed);
    QV_XDOMClose(b);
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
}

}  // namespace
