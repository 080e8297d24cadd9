// Writing records into a document: queueing by keys and order columns, the build
// along start and column paths, the description of the mapping, and the documents
// handed back by QV_XMAPToDOM.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_data.h"
#include "dataset_fixture.h"
#include "direct_build.h"
#include "xdom/handle.h"

using namespace dstest;

namespace {

using Records = std::vector<std::string>;

constexpr const char* kPrefix = "QVXMAP/QVXML_extraction: ";

// ---- Round trips -------------------------------------------------------------

const char* const kOrdersWritten =
    "<o:ORDERS xmlns:o=\"urn:orders\">"
    "<o:ORDER cust=\"C1\" date=\"2026-01-05\"><o:LINES>"
    "<o:LINE id=\"L1\"><o:QTY>2</o:QTY></o:LINE><o:LINE id=\"L2\"><o:QTY>5</o:QTY></o:LINE>"
    "</o:LINES></o:ORDER>"
    "<o:ORDER cust=\"C2\" date=\"2026-02-14\"><o:LINES>"
    "<o:LINE id=\"L3\"><o:QTY>1</o:QTY></o:LINE>"
    "</o:LINES></o:ORDER></o:ORDERS>";

class OrdersExample : public ::testing::Test {
protected:
    void SetUp() override {
        installHost({}, qvtest::dataPath("read"));
        mapping = qvtest::readData("read/orders_map.xml");
        Dataset in(mapping, QV_XMAP_READ, qvtest::readData("read/orders.xml").c_str());
        orders = in.read("ORDERS");
        lines = in.read("ORDER_LINES");
    }
    std::string mapping;
    Records orders, lines;
};

// The records read from the example write back into the same document (in the
// mapping's prefix; record IDs and child keys are not written).
TEST_F(OrdersExample, RecordsReadWriteBackTheSameDocument) {
    ASSERT_EQ(orders, (Records{"0|C1|L1]L2|2026-01-05", "1|C2|L3|2026-02-14"}));
    ASSERT_EQ(lines, (Records{"0|L1|2", "1|L2|5", "2|L3|1"}));
    Dataset out(mapping);
    out.writeAll("ORDERS", orders);
    out.writeAll("ORDER_LINES", lines);
    EXPECT_EQ(out.xml(), kOrdersWritten);
}

// Lines pushed in reverse key order still land in the line element of their own
// key value: no record takes another value's element, no stray element is made.
TEST_F(OrdersExample, LinesPushedInReverseLandInTheirOwnValueElements) {
    Dataset out(mapping);
    out.writeAll("ORDERS", orders);
    Records reversed(lines.rbegin(), lines.rend());
    out.writeAll("ORDER_LINES", reversed);
    EXPECT_EQ(out.xml(), kOrdersWritten);

    // With Cascade each line goes under the order written last, at its key's value.
    Dataset cascade(mapping);
    QV_XMAPSetOption(cascade.ds, QV_XMAP_OPT_CASCADE, 1);
    cascade.writeAll("ORDERS", {orders[0]});
    cascade.writeAll("ORDER_LINES", {lines[1], lines[0]});
    cascade.writeAll("ORDERS", {orders[1]});
    cascade.writeAll("ORDER_LINES", {lines[2]});
    EXPECT_EQ(cascade.xml(), kOrdersWritten);
}

// The depth example: detail records two levels below the multivalued key's element
// (key path "../@id"), two of them under one key value.
TEST(WriteRoundTrip, DetailsBelowTheKeyValueElementWriteBack) {
    installHost({{"ORD", "ID", 0, 0, ""},
                 {"ORD", "NO", 1, 0, ""},
                 {"ORD", "LINE_IDS", 2, 1, ""},
                 {"DET", "ID", 0, 0, ""},
                 {"DET", "LINE", 1, 0, ""},
                 {"DET", "NOTE", 2, 0, ""}});
    const std::string mapping = R"(<QVXMAP>
  <TABLECLASSMAP MapName="O" TableName="ORD" StartNode="/ORDERS/ORDER">
    <GenerateID Column="ID"/>
    <ColumnMap Column="NO" Node="@no"/>
    <ColumnMap Column="LINE_IDS" Node="LINES/LINE,@id"/>
    <TableMap MapName="D" Node="LINES/LINE/DETAIL"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="D" TableName="DET" StartNode="LINES/LINE/DETAIL">
    <GenerateID Column="ID"/>
    <ColumnMap Column="NOTE" Node="@note"/>
  </TABLECLASSMAP>
  <RelatedTable>
    <MapParentKey TableName="ORD" Column="LINE_IDS" KeyGenerate="NO"/>
    <MapChildKey TableName="DET" Column="LINE"/>
  </RelatedTable>
</QVXMAP>)";
    const char* const document =
        "<ORDERS><ORDER no=\"7\"><LINES>"
        "<LINE id=\"A\"><DETAIL note=\"x\"/><DETAIL note=\"y\"/></LINE>"
        "<LINE id=\"B\"><DETAIL note=\"z\"/></LINE>"
        "</LINES></ORDER><ORDER no=\"8\"><LINES><LINE id=\"C\"><DETAIL note=\"w\"/></LINE>"
        "</LINES></ORDER></ORDERS>";
    Records orders, details;
    {
        Dataset in(mapping, QV_XMAP_READ, document);
        orders = in.read("ORD");
        details = in.read("DET");
    }
    ASSERT_EQ(orders, (Records{"0|7|A]B", "1|8|C"}));
    ASSERT_EQ(details, (Records{"0|A|x", "1|A|y", "2|B|z", "3|C|w"}));
    for (bool reverse : {false, true}) {
        Dataset out(mapping);
        out.writeAll("ORD", orders);
        Records pushed = details;
        if (reverse) std::reverse(pushed.begin(), pushed.end());
        out.writeAll("DET", pushed);
        // Reversed, the two details of value A keep their arrival order: y, then x.
        std::string expected = document;
        if (reverse) {
            expected.replace(expected.find("note=\"x\""), 8, "note=\"#\"");
            expected.replace(expected.find("note=\"y\""), 8, "note=\"x\"");
            expected.replace(expected.find("note=\"#\""), 8, "note=\"y\"");
        }
        EXPECT_EQ(out.xml(), expected) << (reverse ? "reversed" : "in order");
    }
}

// A key into subvalues: each child record goes into the s-th subvalue element of
// the v-th value element its key was found in.
TEST(WriteRoundTrip, ChildrenKeyedIntoSubvaluesWriteBackInReverse) {
    installHost({{"ORD", "ID", 0, 0, ""},
                 {"ORD", "PART_IDS", 1, 1, ""},
                 {"PRT", "ID", 0, 0, ""},
                 {"PRT", "PART", 1, 0, ""},
                 {"PRT", "NOTE", 2, 0, ""}});
    const std::string mapping = R"(<QVXMAP>
  <TABLECLASSMAP MapName="O" TableName="ORD" StartNode="/ORDERS/ORDER">
    <GenerateID Column="ID"/>
    <ColumnMap Column="PART_IDS" Node="LINES/LINE,PARTS/PART,@id"/>
    <TableMap MapName="P" Node="LINES/LINE/PARTS/PART"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="P" TableName="PRT" StartNode="LINES/LINE/PARTS/PART">
    <GenerateID Column="ID"/>
    <ColumnMap Column="NOTE" Node="@note"/>
  </TABLECLASSMAP>
  <RelatedTable>
    <MapParentKey TableName="ORD" Column="PART_IDS" KeyGenerate="NO"/>
    <MapChildKey TableName="PRT" Column="PART"/>
  </RelatedTable>
</QVXMAP>)";
    const char* const document =
        "<ORDERS><ORDER><LINES>"
        "<LINE><PARTS><PART id=\"a\" note=\"1\"/><PART id=\"b\" note=\"2\"/></PARTS></LINE>"
        "<LINE><PARTS><PART id=\"c\" note=\"3\"/></PARTS></LINE>"
        "</LINES></ORDER></ORDERS>";
    Records orders, parts;
    {
        Dataset in(mapping, QV_XMAP_READ, document);
        orders = in.read("ORD");
        parts = in.read("PRT");
    }
    ASSERT_EQ(orders, (Records{"0|a}b]c"}));
    ASSERT_EQ(parts, (Records{"0|a|1", "1|b|2", "2|c|3"}));
    Dataset out(mapping);
    out.writeAll("ORD", orders);
    out.writeAll("PRT", Records(parts.rbegin(), parts.rend()));
    EXPECT_EQ(out.xml(), document);
}

// ---- Queueing ----------------------------------------------------------------

// One top-level table of repeating records ordered by SEQ.
class Ordering : public ::testing::Test {
protected:
    void SetUp() override {
        installHost({{"T", "ID", 0, 0, ""}, {"T", "SEQ", 1, 0, ""}, {"T", "NAME", 2, 0, ""}});
    }
    const std::string mapping =
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
        "<ColumnMap Column='SEQ' Node='@s'/><ColumnMap Column='NAME' Node='@n'/><OrderColumn Column='SEQ'/>"
        "</TABLECLASSMAP></QVXMAP>";
};

TEST_F(Ordering, NumbersFirstThenBytesEqualKeysInArrivalOrder) {
    struct Case {
        const char* name;
        Records pushed;  // SEQ|NAME
        const char* order;
    };
    const Case cases[] = {
        {"nine before ten", {"|10|ten", "|9|nine", "|100|hundred"}, "nine ten hundred"},
        {"negative numbers", {"|-2|b", "|3|c", "|-10|a"}, "a b c"},
        {"keys without digits count as 0, then bytes, longer after",
         {"|abc|c", "|1|one", "|ab|b", "|0|zero", "|-1|neg"}, "neg zero b c one"},
        {"equal keys keep their arrival order", {"|5|x", "|4|w", "|5|y", "|5|z"}, "w x y z"},
        {"same number, the bytes decide", {"|07|b", "|7|c", "|7a|d", "| 7|a"}, "a b c d"},
    };
    for (const Case& c : cases) {
        Dataset d(mapping);
        d.writeAll("T", c.pushed);
        std::string names;
        const std::string xml = d.xml();
        for (size_t at = xml.find("n=\""); at != std::string::npos; at = xml.find("n=\"", at + 1)) {
            if (!names.empty()) names += ' ';
            names += xml.substr(at + 3, xml.find('"', at + 3) - at - 3);
        }
        EXPECT_EQ(names, c.order) << c.name << ": " << xml;
    }
}

// Records queued at the end with Cascade, out of key order, and then by their keys:
// the ordered insert walks the queue as it stands.
TEST_F(Ordering, OrderedInsertIntoAQueueCascadeLeftUnsorted) {
    Dataset d(mapping);
    QV_XMAPSetOption(d.ds, QV_XMAP_OPT_CASCADE, 1);
    d.writeAll("T", {"|5|five", "|3|three"});
    QV_XMAPSetOption(d.ds, QV_XMAP_OPT_CASCADE, 0);
    d.writeAll("T", {"|4|four", "|9|nine"});
    EXPECT_EQ(d.xml(), "<R><E n=\"four\" s=\"4\"/><E n=\"five\" s=\"5\"/><E n=\"three\" s=\"3\"/>"
                       "<E n=\"nine\" s=\"9\"/></R>");
}

// Parent P (NO, CUST as keys), child C; grandparent G above P for the key
// that reaches past the parent.
class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        installHost({{"P", "ID", 0, 0, ""}, {"P", "NO", 1, 0, ""}, {"P", "CUST", 2, 0, ""},
                     {"C", "ID", 0, 0, ""}, {"C", "PNO", 1, 0, ""}, {"C", "PCUST", 2, 0, ""},
                     {"C", "Q", 3, 0, ""},  {"C", "GNO", 4, 0, ""},
                     {"G", "ID", 0, 0, ""}, {"G", "NO", 1, 0, ""}});
    }
    static std::string related(const char* parent, const char* pcol, const char* child,
                               const char* ccol) {
        return std::string("<RelatedTable><MapParentKey TableName='") + parent + "' Column='" +
               pcol + "' KeyGenerate='NO'/><MapChildKey TableName='" + child + "' Column='" +
               ccol + "'/></RelatedTable>";
    }
    static std::string parentAndChild(const std::string& links) {
        return "<QVXMAP><TABLECLASSMAP MapName='P' TableName='P' StartNode='/R/P'>"
               "<ColumnMap Column='NO' Node='@no'/><ColumnMap Column='CUST' Node='@c'/>"
               "<TableMap MapName='C' Node='C'/></TABLECLASSMAP>"
               "<TABLECLASSMAP MapName='C' TableName='C' StartNode='C'>"
               "<ColumnMap Column='Q' Node='@q'/></TABLECLASSMAP>" +
               links + "</QVXMAP>";
    }
};

TEST_F(Keys, ChildRecordsGoUnderTheParentTheirKeysMatch) {
    struct Case {
        const char* name;
        std::string links;
        const char* expected;
    };
    const char* const parents = "<R><P c=\"a\" no=\"1\">%1</P><P c=\"b\" no=\"1\">%2</P><P c=\"a\" no=\"2\">%3</P></R>";
    auto doc = [&](const char* one, const char* two, const char* three) {
        std::string s = parents;
        s.replace(s.find("%1"), 2, one);
        s.replace(s.find("%2"), 2, two);
        s.replace(s.find("%3"), 2, three);
        // An element left empty is written as an empty-element tag.
        for (size_t at; (at = s.find("\"></P>")) != std::string::npos;) s.replace(at, 6, "\"/>");
        return s;
    };
    const std::string one = doc("<C q=\"i\"/><C q=\"ii\"/>", "", "<C q=\"iii\"/>");
    const std::string two = doc("<C q=\"i\"/>", "<C q=\"ii\"/>", "<C q=\"iii\"/>");
    const std::string none = doc("<C q=\"i\"/><C q=\"ii\"/><C q=\"iii\"/>", "", "");
    const Case cases[] = {
        // NO alone: the first parent with NO=1 takes both records keyed 1.
        {"one key column", related("P", "NO", "C", "PNO"), one.c_str()},
        {"two key columns", related("P", "NO", "C", "PNO") + related("P", "CUST", "C", "PCUST"),
         two.c_str()},
        {"no key columns: the parent's first record", "", none.c_str()},
    };
    for (const Case& c : cases) {
        Dataset d(parentAndChild(c.links));
        d.writeAll("P", {"|1|a", "|1|b", "|2|a"});
        d.writeAll("C", {"|1|a|i", "|1|b|ii", "|2|a|iii"});
        EXPECT_EQ(d.xml(), c.expected) << c.name;
    }
}

TEST_F(Keys, UnmatchedChildFailsWith3052AndIsNotQueued) {
    Dataset d(parentAndChild(related("P", "NO", "C", "PNO")));
    EXPECT_EQ(d.write("C", "|1||early"), -1);  // no parent record yet
    EXPECT_EQ(Q_XMLGetErrCode(), 3052);
    d.writeAll("P", {"|1|a"});
    Q_XMLResetErrMsg();
    EXPECT_EQ(d.write("C", "|9||lost"), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3052);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()),
              std::string(kPrefix) + "Cannot find the 'parent record' associated to current record.\n");
    d.writeAll("C", {"|1||kept"});  // the host can go on with the next records
    EXPECT_EQ(d.xml(), "<R><P c=\"a\" no=\"1\"><C q=\"kept\"/></P></R>");
}

TEST_F(Keys, AKeyIntoTheGrandparentDescendsThroughItsRecords) {
    const std::string mapping =
        "<QVXMAP><TABLECLASSMAP MapName='G' TableName='G' StartNode='/R/G'>"
        "<ColumnMap Column='NO' Node='@no'/><TableMap MapName='P' Node='P'/></TABLECLASSMAP>"
        "<TABLECLASSMAP MapName='P' TableName='P' StartNode='P'>"
        "<ColumnMap Column='CUST' Node='@c'/><TableMap MapName='C' Node='C'/></TABLECLASSMAP>"
        "<TABLECLASSMAP MapName='C' TableName='C' StartNode='C'>"
        "<ColumnMap Column='Q' Node='@q'/></TABLECLASSMAP>" +
        related("G", "NO", "P", "NO") + related("G", "NO", "C", "GNO") + "</QVXMAP>";
    Dataset d(mapping);
    d.writeAll("G", {"|1", "|2"});
    d.writeAll("P", {"|1|a", "|2|b", "|2|c"});
    d.writeAll("C", {"|||two|2", "|||one|1"});
    // The child keyed 2 goes under the first P record of G 2.
    EXPECT_EQ(d.xml(),
              "<R><G no=\"1\"><P c=\"a\"><C q=\"one\"/></P></G>"
              "<G no=\"2\"><P c=\"b\"><C q=\"two\"/></P><P c=\"c\"/></G></R>");
}

// Parents that share a key, ordered by an order column so that the first to arrive
// is not the first in queue order: a child goes under the first in queue order,
// among the parents queued when it arrives (into a multivalued key: at the last
// place that parent holds the key).
TEST_F(Keys, ParentsSharingAKeyGiveTheChildToTheFirstInQueueOrder) {
    const std::string mapping =
        "<QVXMAP><TABLECLASSMAP MapName='P' TableName='P' StartNode='/R/P'>"
        "<ColumnMap Column='NO' Node='@no'/><ColumnMap Column='CUST' Node='@c'/>"
        "<OrderColumn Column='CUST'/><TableMap MapName='C' Node='C'/></TABLECLASSMAP>"
        "<TABLECLASSMAP MapName='C' TableName='C' StartNode='C'>"
        "<ColumnMap Column='Q' Node='@q'/></TABLECLASSMAP>" +
        related("P", "NO", "C", "PNO") + "</QVXMAP>";
    Dataset d(mapping);
    d.writeAll("P", {"|1|5", "|1|3", "|2|1"});
    d.writeAll("C", {"|1||first"});
    d.writeAll("P", {"|1|2"});
    d.writeAll("C", {"|1||second", "|2||third"});
    EXPECT_EQ(d.xml(), "<R><P c=\"1\" no=\"2\"><C q=\"third\"/></P>"
                       "<P c=\"2\" no=\"1\"><C q=\"second\"/></P>"
                       "<P c=\"3\" no=\"1\"><C q=\"first\"/></P><P c=\"5\" no=\"1\"/></R>");

    installHost({{"O", "ID", 0, 0, ""}, {"O", "NO", 1, 0, ""}, {"O", "LINE_IDS", 2, 1, ""},
                 {"D", "ID", 0, 0, ""}, {"D", "LINE", 1, 0, ""}, {"D", "NOTE", 2, 0, ""}});
    Dataset m("<QVXMAP><TABLECLASSMAP MapName='O' TableName='O' StartNode='/R/O'>"
              "<ColumnMap Column='NO' Node='@no'/><ColumnMap Column='LINE_IDS' Node='L,@id'/>"
              "<OrderColumn Column='NO'/><TableMap MapName='D' Node='L/D'/></TABLECLASSMAP>"
              "<TABLECLASSMAP MapName='D' TableName='D' StartNode='L/D'>"
              "<ColumnMap Column='NOTE' Node='@note'/></TABLECLASSMAP>"
              "<RelatedTable><MapParentKey TableName='O' Column='LINE_IDS' KeyGenerate='NO'/>"
              "<MapChildKey TableName='D' Column='LINE'/></RelatedTable></QVXMAP>");
    m.writeAll("O", {"|5|A]B", "|3|B]A]A"});
    m.writeAll("D", {"|A|d1"});
    m.writeAll("O", {"|1|C]A"});
    m.writeAll("D", {"|A|d2", "|B|d3"});
    EXPECT_EQ(m.xml(), "<R><O no=\"1\"><L id=\"C\"/><L id=\"A\"><D note=\"d2\"/></L></O>"
                       "<O no=\"3\"><L id=\"B\"><D note=\"d3\"/></L><L id=\"A\"/>"
                       "<L id=\"A\"><D note=\"d1\"/></L></O>"
                       "<O no=\"5\"><L id=\"A\"/><L id=\"B\"/></O></R>");

    // Two keys: a child goes to the first parent in queue order that holds both,
    // whichever key more parents share.
    installHost({{"P", "ID", 0, 0, ""}, {"P", "NO", 1, 0, ""}, {"P", "CUST", 2, 0, ""},
                 {"C", "ID", 0, 0, ""}, {"C", "PNO", 1, 0, ""}, {"C", "PCUST", 2, 0, ""},
                 {"C", "Q", 3, 0, ""}});
    Dataset two(parentAndChild(related("P", "NO", "C", "PNO") + related("P", "CUST", "C", "PCUST")));
    two.writeAll("P", {"|1|x", "|2|x", "|1|y", "|3|x"});
    two.writeAll("C", {"|1|x|a", "|3|x|b", "|1|y|c", "|2|x|d"});
    two.writeAll("P", {"|1|x"});
    two.writeAll("C", {"|1|x|e"});
    EXPECT_EQ(two.xml(), "<R><P c=\"x\" no=\"1\"><C q=\"a\"/><C q=\"e\"/></P>"
                         "<P c=\"x\" no=\"2\"><C q=\"d\"/></P>"
                         "<P c=\"y\" no=\"1\"><C q=\"c\"/></P>"
                         "<P c=\"x\" no=\"3\"><C q=\"b\"/></P><P c=\"x\" no=\"1\"/></R>");
}

TEST(WriteNext, ModeNameAndDocumentElementChecks) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}});
    const std::string single =
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/DOC'>"
        "<ColumnMap Column='A' Node='@a'/></TABLECLASSMAP></QVXMAP>";
    Dataset d(single);
    EXPECT_EQ(d.write("T", "1|x"), 0);
    EXPECT_EQ(d.write("T", "2|y"), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3057);
    EXPECT_EQ(d.write("NOPE", "3|z"), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3013);
    EXPECT_EQ(d.xml(), "<DOC a=\"x\"/>");

    std::string withId = single;
    withId.insert(withId.find("<ColumnMap"), "<GenerateID Column='ID'/>");
    Dataset reading(withId, QV_XMAP_READ, "<DOC a=\"r\"/>");
    Q_XMLResetErrMsg();
    EXPECT_EQ(reading.write("T", "1|x"), -1);
    EXPECT_EQ(Q_XMLGetErrCode(), 3011);
    EXPECT_EQ(QV_XMAPToDOM(reading.ds, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetErrCode(), 3058);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()).substr(std::string(Q_XMLGetErrMsg()).rfind(kPrefix)),
              std::string(kPrefix) + "Illegal operation on read-only XMAP file.\n");
}

// ---- Values --------------------------------------------------------------------

TEST(WriteValues, MultivaluesAttributesTextAndNamespaces) {
    installHost({{"T", "ID", 0, 0, ""},
                 {"T", "ML", 1, 1, ""},
                 {"T", "MQ", 2, 1, ""},
                 {"T", "T1", 3, 0, ""},
                 {"T", "T2", 4, 0, "TAG"},
                 {"T", "PA", 5, 0, ""},
                 {"T", "SV", 6, 1, ""},
                 {"T", "REF", 7, 0, "REFUSE"},
                 {"T", "DT", 8, 0, "D2/"}});
    const std::string mapping =
        "<QVXMAP><OPTIONS><NameSpace URI='urn:default'/><NameSpace Prefix='p' URI='urn:p'/>"
        "<NameSpace Prefix='unused' URI='urn:unused'/><DateFormat Format='TAG'/></OPTIONS>"
        "<TABLECLASSMAP MapName='M' TableName='T' StartNode='/p:R/E'>"
        "<ColumnMap Column='ML' Node='L,V'/>"        // multivalue elements with a value child
        "<ColumnMap Column='MQ' Node='L,@q'/>"       // the same elements, an attribute each
        "<ColumnMap Column='T1' Node='text()'/>"
        "<ColumnMap Column='T2' Node='text()'/>"     // appended to T1's text
        "<ColumnMap Column='PA' Node='@p:a'/>"
        "<ColumnMap Column='SV' Node='S,U,W'/>"      // values and subvalues
        "<ColumnMap Column='REF' Node='@refused'/>"
        "<ColumnMap Column='DT' Node='@d'/>"         // D code replaced by the DateFormat
        "</TABLECLASSMAP></QVXMAP>";
    Dataset d(mapping);
    d.writeAll("T", {"1|a]]c|1]2]3|one|two|pv|s1}s2]]s3|no|5"});
    EXPECT_EQ(d.xml(),
              "<p:R xmlns:p=\"urn:p\" xmlns=\"urn:default\"><E d=\"TAGx(5)\" p:a=\"pv\">"
              "<L q=\"1\"><V>a</V></L><L q=\"2\"/><L q=\"3\"><V>c</V></L>"
              "oneTAGx(two)"
              "<S><U><W>s1</W></U><U><W>s2</W></U></S><S/><S><U><W>s3</W></U></S>"
              "</E></p:R>");
}

TEST(WriteValues, NullMarkIsMissingOnlyWithEmptyStringIsNull) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}, {"T", "B", 2, 1, ""}});
    for (bool isNull : {false, true}) {
        Dataset d(std::string("<QVXMAP><OPTIONS>") +
                  (isNull ? "<EmptyString IsNull='ON'/>" : "") +
                  "</OPTIONS><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
                  "<ColumnMap Column='A' Node='A'/><ColumnMap Column='B' Node='B,text()'/>"
                  "</TABLECLASSMAP></QVXMAP>");
        d.writeAll("T", {"1|~|x]~]", "2||"});
        EXPECT_EQ(d.xml(), isNull ? "<R><E><B>x</B><B/><B></B></E><E><A></A><B></B></E></R>"
                                  : "<R><E><A>~</A><B>x</B><B>~</B><B/></E><E/></R>")
            << "IsNull " << isNull;
    }
}

// A value that cannot reach the document as it is fails by record and column: a
// NUL (the host would read the record cut there) when it is written, bytes that are
// not UTF-8 and characters XML 1.0 cannot carry when the document is built.
TEST(WriteValues, ValuesThatCannotBeWrittenAreNamed) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}, {"T", "B", 2, 1, ""}});
    const std::string mapping =
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
        "<ColumnMap Column='A' Node='A'/><ColumnMap Column='B' Node='B,@v'/>"
        "</TABLECLASSMAP></QVXMAP>";
    {
        Dataset d(mapping);
        EXPECT_EQ(d.write("T", std::string("7|a\0b|c", 7)), -1);
        EXPECT_EQ(Q_XMLGetErrCode(), 3010);
        EXPECT_NE(std::string(Q_XMLGetErrMsg())
                      .find("Record '7' of table T holds a NUL byte in field 1 (column A); "
                            "the record was not queued."),
                  std::string::npos)
            << Q_XMLGetErrMsg();
        d.writeAll("T", {"8|x|y"});  // the next record is written as usual
        EXPECT_EQ(d.xml(), "<R><E><A>x</A><B v=\"y\"/></E></R>");
    }
    struct Case {
        const char* record;
        const char* message;
    };
    const Case cases[] = {
        {"1|ok|p]q\x01r",
         "Value 'q<01>r' of column B in record '1' of table T cannot be written: it holds the "
         "character U+0001, which XML 1.0 cannot carry."},
        {"2|caf\xE9|",
         "Value 'caf\xE9' of column A in record '2' of table T cannot be written: it is not "
         "valid UTF-8 text."},
        {"3|\xE2\x82|", "record '3' of table T cannot be written: it is not valid UTF-8 text."},
        {"5|a\xFF" "b\xC3\x28|", "record '5' of table T cannot be written: it is not valid UTF-8 text."},
    };
    for (const Case& c : cases) {
        Dataset d(mapping);
        d.writeAll("T", {"0|before|", c.record});
        EXPECT_EQ(QV_XMAPToDOM(d.ds, nullptr), nullptr) << c.record;
        EXPECT_EQ(Q_XMLGetErrCode(), 3049) << c.record;
        EXPECT_NE(std::string(Q_XMLGetErrMsg()).find(c.message), std::string::npos)
            << Q_XMLGetErrMsg();
    }
    // A replacement character that the record really holds is written.
    Dataset d(mapping);
    d.writeAll("T", {"4|\xEF\xBF\xBD|"});
    EXPECT_EQ(d.xml(), "<R><E><A>\xEF\xBF\xBD</A></E></R>");
}

// A node the mapping asks for that XML cannot hold ends the build, naming the
// record and the value that needed it: a name XML does not allow, a second
// document element, a value above the document element. Built into the DOM
// directly, the same queues fail with the same words.
TEST(WriteValues, NodesXmlCannotHoldAreNamed) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 1, ""}, {"U", "ID", 0, 0, ""}});
    struct Case {
        const char* columns;  // of table T, whose start path is /R/E
        const char* record;
        const char* message;
        const char* uMap = "";  // a second top-level map, table U
    };
    const Case cases[] = {
        {"<ColumnMap Column='A' Node='1x'/>", "1|v",
         "Value 'v' of column A in record '1' of table T cannot be written: XML does not allow "
         "the element name \"1x\"."},
        {"<ColumnMap Column='A' Node='@1a'/>", "2|v",
         "Value 'v' of column A in record '2' of table T cannot be written: XML does not allow "
         "the attribute name \"1a\"."},
        {"<ColumnMap Column='A' Node='B,xml:b'/>", "3|p]q",
         "Value 'p' of column A in record '3' of table T cannot be written: XML does not allow "
         "the element name \"xml:b\"."},
        {"<ColumnMap Column='A' Node='V/-,text()'/>", "4|p]q",
         "Value 'p' of column A in record '4' of table T cannot be written: XML does not allow "
         "the element name \"-\"."},
        {"<ColumnMap Column='A' Node='../../text()'/>", "5|top",
         "Value 'top' of column A in record '5' of table T cannot be written: its path climbs "
         "above the document element."},
        {"<ColumnMap Column='A' Node='../../../B'/>", "6|up",
         "Value 'up' of column A in record '6' of table T cannot be written: its path climbs "
         "above the document element."},
        {"<ColumnMap Column='A' Node='../../@a'/>", "7|at",
         "Value 'at' of column A in record '7' of table T cannot be written: its path climbs "
         "above the document element."},
        {"<ColumnMap Column='A' Node='A'/>", "8|v",
         "Record 'u1' of table U cannot be written: the document already has the root element "
         "<R>, and XML allows only one.",
         "<TABLECLASSMAP MapName='N' TableName='U' StartNode='/S/F'/>"},
    };
    for (const Case& c : cases) {
        const std::string mapping = std::string("<QVXMAP><OPTIONS><NameSpace Prefix='xml' URI='urn:x'/></OPTIONS>") +
                                    "<TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>" +
                                    c.columns + "</TABLECLASSMAP>" + c.uMap + "</QVXMAP>";
        Dataset d(mapping);
        d.writeAll("T", {"0|", c.record});
        if (*c.uMap) d.writeAll("U", {"u1"});
        QvHandle direct = buildDirectly(d.ds);
        const std::string directMessage = Q_XMLGetErrMsg();
        Q_XMLResetErrMsg();
        EXPECT_EQ(QV_XMAPToDOM(d.ds, nullptr), nullptr) << c.columns;
        EXPECT_EQ(Q_XMLGetErrCode(), *c.uMap ? 4004 : 3049) << c.columns;
        EXPECT_NE(std::string(Q_XMLGetErrMsg()).find(c.message), std::string::npos)
            << Q_XMLGetErrMsg();
        EXPECT_EQ(direct, nullptr) << c.columns;
        EXPECT_EQ(directMessage, Q_XMLGetErrMsg()) << c.columns;
    }
}

// A field of many values and subvalues is walked once: every value lands in its
// own element, in order (asking the host for each value from the field's start
// took minutes at this size).
TEST(WriteValues, AFieldOfManyValuesIsWrittenWhole) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "B", 1, 1, ""}});
    constexpr int kValues = 100000;
    std::string record = "1|";
    for (int v = 0; v < kValues; ++v) record += (v ? "]" : "") + std::to_string(v) + "}s";
    Dataset d("<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
              "<ColumnMap Column='B' Node='B,C,text()'/></TABLECLASSMAP></QVXMAP>");
    d.writeAll("T", {record});
    QvHandle h = QV_XMAPToDOM(d.ds, nullptr);
    ASSERT_NE(h, nullptr) << Q_XMLGetErrMsg();
    EXPECT_STREQ(QV_XDOMEvaluate(h, "count(/R/E/B)", nullptr), "100000");
    EXPECT_STREQ(QV_XDOMEvaluate(h, "count(/R/E/B/C)", nullptr), "200000");
    EXPECT_STREQ(QV_XDOMEvaluate(h, "concat(/R/E/B[1], '|', /R/E/B[last()])", nullptr),
                 "0s|99999s");
    QV_XDOMClose(h);
}

// ---- Nested tables ----------------------------------------------------------------

// Two TableMap references in one map: each nested table is written once, under
// its own reference.
TEST(WriteNested, EachReferenceWritesItsOwnTableOnce) {
    installHost({{"P", "ID", 0, 0, ""}, {"P", "NO", 1, 0, ""},
                 {"A", "ID", 0, 0, ""}, {"A", "V", 1, 0, ""},
                 {"B", "ID", 0, 0, ""}, {"B", "V", 1, 0, ""}});
    const std::string mapping =
        "<QVXMAP><OPTIONS><Cascade/></OPTIONS>"
        "<TABLECLASSMAP MapName='P' TableName='P' StartNode='/R/P'>"
        "<ColumnMap Column='NO' Node='@no'/>"
        "<TableMap MapName='A' Node='A'/><TableMap MapName='B' Node='B'/></TABLECLASSMAP>"
        "<TABLECLASSMAP MapName='A' TableName='A' StartNode='A'><ColumnMap Column='V' Node='@v'/></TABLECLASSMAP>"
        "<TABLECLASSMAP MapName='B' TableName='B' StartNode='B'><ColumnMap Column='V' Node='@v'/></TABLECLASSMAP>"
        "</QVXMAP>";
    Dataset d(mapping);
    d.writeAll("P", {"|1"});
    d.writeAll("A", {"|a1", "|a2"});
    d.writeAll("B", {"|b1"});
    d.writeAll("P", {"|2"});
    d.writeAll("B", {"|b2"});
    EXPECT_EQ(d.xml(), "<R><P no=\"1\"><A v=\"a1\"/><A v=\"a2\"/><B v=\"b1\"/></P>"
                       "<P no=\"2\"><B v=\"b2\"/></P></R>");
}

// ---- The document handed back ---------------------------------------------------

TEST(ToDom, OneDocumentPerDatasetKeptAliveByItsHandles) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}});
    Dataset d("<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
              "<ColumnMap Column='A' Node='@a'/></TABLECLASSMAP></QVXMAP>");
    d.writeAll("T", {"1|x"});
    QvDocSettings settings{};
    std::strcpy(settings.docEncoding, "ISO-8859-1");
    settings.standalone = 1;
    QvHandle first = QV_XMAPToDOM(d.ds, &settings);
    ASSERT_NE(first, nullptr) << Q_XMLGetErrMsg();
    d.writeAll("T", {"2|late"});  // after the build: not in the document
    QvHandle second = QV_XMAPToDOM(d.ds, &settings);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    QvDocSettings out{};
    out.xmlDeclaration = 1;
    std::strcpy(out.lineEnd, "LF");
    const char* text = QV_XDOMWrite(first, &out, nullptr);
    ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(std::string(text),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\" ?><R><E a=\"x\"/></R>");
    // The handles share one document: an edit through the first (which makes its
    // DOM) shows through the second, and through a handle given out after it.
    QvHandle e = QV_XDOMLocate(first, "/R/E", nullptr);
    QvHandle a = QV_XDOMGetAttribute(e, "a");
    ASSERT_NE(a, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(QV_XDOMSetNodeValue(a, "y"), 0) << Q_XMLGetErrMsg();
    QV_XDOMClose(a);
    QV_XDOMClose(e);
    EXPECT_EQ(compact(second), "<R><E a=\"y\"/></R>");
    QvHandle third = QV_XMAPToDOM(d.ds, &settings);
    EXPECT_STREQ(QV_XDOMEvaluate(third, "string(/R/E/@a)", nullptr), "y");
    EXPECT_EQ(third->builtDom(), first->builtDom());
    QV_XDOMClose(third);
    // Closing the dataset leaves the handles' document alive; the last one frees it.
    QV_XMAPClose(d.ds);
    d.ds = nullptr;
    QV_XDOMClose(first);
    EXPECT_EQ(compact(second), "<R><E a=\"y\"/></R>");
    QV_XDOMClose(second);
}

// The built document's attributes are linked in as the parser links them, and an
// attribute written twice with the same value (a line's id, by the order's key
// column and by the line's own) is set once: edited afterwards through the node
// exports, each behaves as any attribute and the document writes as edited.
TEST_F(OrdersExample, AttributesOfTheBuiltDocumentEditLikeAnyOther) {
    Dataset out(mapping);
    out.writeAll("ORDERS", orders);
    out.writeAll("ORDER_LINES", lines);
    QvHandle doc = QV_XMAPToDOM(out.ds, nullptr);
    ASSERT_NE(doc, nullptr) << Q_XMLGetErrMsg();
    ASSERT_EQ(compact(doc), kOrdersWritten);
    const char* ns = "xmlns:o=urn:orders";
    struct Edit {
        const char* element;
        const char* attribute;
        const char* value;  // null: the attribute is removed
    };
    for (const Edit& e : {Edit{"/o:ORDERS/o:ORDER[1]/o:LINES/o:LINE[2]", "id", "L9"},
                          Edit{"/o:ORDERS/o:ORDER[2]/o:LINES/o:LINE", "id", nullptr},
                          Edit{"/o:ORDERS/o:ORDER[2]", "cust", "C7"},
                          Edit{"/o:ORDERS/o:ORDER[1]", "date", nullptr}}) {
        QvHandle element = QV_XDOMLocate(doc, e.element, ns);
        ASSERT_NE(element, nullptr) << e.element << ": " << Q_XMLGetErrMsg();
        if (e.value) {
            QvHandle attribute = QV_XDOMGetAttribute(element, e.attribute);
            ASSERT_NE(attribute, nullptr) << e.element << "/@" << e.attribute;
            EXPECT_EQ(QV_XDOMSetNodeValue(attribute, e.value), 0) << Q_XMLGetErrMsg();
            EXPECT_STREQ(QV_XDOMGetNodeValue(attribute), e.value);
            QV_XDOMClose(attribute);
        } else {
            QvHandle removed = QV_XDOMRemove(element, e.attribute);
            EXPECT_NE(removed, nullptr) << e.element << "/@" << e.attribute << ": " << Q_XMLGetErrMsg();
            QV_XDOMClose(removed);
        }
        QV_XDOMClose(element);
    }
    EXPECT_EQ(compact(doc),
              "<o:ORDERS xmlns:o=\"urn:orders\">"
              "<o:ORDER cust=\"C1\"><o:LINES>"
              "<o:LINE id=\"L1\"><o:QTY>2</o:QTY></o:LINE><o:LINE id=\"L9\"><o:QTY>5</o:QTY></o:LINE>"
              "</o:LINES></o:ORDER>"
              "<o:ORDER cust=\"C7\" date=\"2026-02-14\"><o:LINES>"
              "<o:LINE><o:QTY>1</o:QTY></o:LINE>"
              "</o:LINES></o:ORDER></o:ORDERS>");
    QV_XDOMClose(doc);
}

// An extraction file read at open becomes mode 12: the records read and those
// written after are built into a new document.
TEST(ToDom, ExtractionFileReadAtOpenThenWritten) {
    installHost({{"ORDERS", "ID", 0, 0, ""}, {"ORDERS", "CUSTNO", 1, 0, ""}});
    Dataset d(R"(<QVXML_extraction>
      <file_extraction start="/ORDERS/ORDER" dictionary="ORDERS" null="NULL" by_name="ON"/>
      <field_extraction field="ID" path="@id"/>
      <field_extraction field="CUSTNO" path="@cust"/>
    </QVXML_extraction>)",
              QV_XMAP_READ, "<ORDERS xmlns='urn:o'><ORDER id='1' cust='c1'/><ORDER id='2'/></ORDERS>");
    EXPECT_EQ(d.write(nullptr, "3|c3"), 0);
    EXPECT_EQ(d.xml(), "<ORDERS><ORDER cust=\"c1\" id=\"1\"/><ORDER id=\"2\"/>"
                       "<ORDER cust=\"c3\" id=\"3\"/></ORDERS>");
}

// ---- Description -------------------------------------------------------------------

TEST(GetInfo, DescribesMapsKeysAndActions) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}, {"T", "B", 2, 1, ""},
                 {"T", "K", 3, 0, ""}, {"C", "ID", 0, 0, ""}, {"C", "TID", 1, 0, ""},
                 {"C", "SEQ", 2, 0, ""}});
    struct Case {
        const char* name;
        std::string mapping;
        const char* description;
        int action;
    };
    const std::string one = "<TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
                            "<GenerateID Column='ID'/><ColumnMap Column='A' Node='@a'/>"
                            "<ColumnMap Column='B' Node='B,text()'/>";
    const std::string nested =
        "<TableMap MapName='N' Node='C'/></TABLECLASSMAP>"
        "<TABLECLASSMAP MapName='N' TableName='C' StartNode='C'><ColumnMap Column='SEQ' Node='@s'/>"
        "<OrderColumn Column='SEQ'/></TABLECLASSMAP>"
        "<RelatedTable><MapParentKey TableName='T' Column='A' KeyGenerate='NO'/>"
        "<MapChildKey TableName='C' Column='TID'/></RelatedTable>";
    const Case cases[] = {
        {"one map, record ID and two regular columns",
         "<QVXMAP>" + one + "</TABLECLASSMAP></QVXMAP>", "T}1]0}1", 0},
        {"Replace marks every declared column",
         "<QVXMAP><OPTIONS><ExistRecord Action='Replace'/></OPTIONS>" + one +
             "</TABLECLASSMAP></QVXMAP>",
         "T}1]0}1]1}1000]2}1000", 1},
        {"Append marks multivalued columns only",
         "<QVXMAP><OPTIONS><ExistRecord Action='Append'/></OPTIONS>" + one +
             "</TABLECLASSMAP></QVXMAP>",
         "T}1]0}1]2}1001", 2},
        {"nested map: level 2, child key naming map 1 and field 1, order column",
         "<QVXMAP>" + one + nested + "</QVXMAP>", "T}1]0}1]1}4|C}2]1}5}1}1]2}2", 0},
        {"XFIELD given", "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
                         "<GenerateID Column='ID' XFIELD='K'/></TABLECLASSMAP></QVXMAP>",
         "T}1]0}1}1}K", 0},
    };
    for (const Case& c : cases) {
        Dataset d(c.mapping);
        char* text = nullptr;
        EXPECT_EQ(QV_XMAPGetInfo(d.ds, &text), c.action) << c.name;
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), c.description) << c.name;
        // Cached: the same text, even after an option changed.
        QV_XMAPSetOption(d.ds, QV_XMAP_OPT_EXISTRECORD, 2);
        char* again = nullptr;
        EXPECT_EQ(QV_XMAPGetInfo(d.ds, &again), 2);
        EXPECT_EQ(again, text);
    }
}

}  // namespace
