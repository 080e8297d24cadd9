// Loading mapping and extraction files: every refusal with its code and text, the
// options, and the loaded model of complete files.
#include "case_name.h"
#include "map_fixture.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include <cctype>

namespace {

using maptest::kPrefix;
using maptest::ordersMap;
using maptest::qvxmap;

struct Refusal {
    const char* name;
    std::string xml;
    int code;
    std::string message;  // without the prefix; two reports are joined with the prefix
};

const std::string kLines =
    "<TABLECLASSMAP MapName=\"L\" TableName=\"ORDER_LINES\" StartNode=\"LINES/LINE\">"
    "<GenerateID Column=\"ID\"/><ColumnMap Column=\"QTY\" Node=\"QTY\"/></TABLECLASSMAP>";

std::string related(const std::string& parent, const std::string& child) {
    return "<RelatedTable>" + parent + child + "</RelatedTable>";
}
const std::string kParentKey =
    "<MapParentKey TableName=\"ORDERS\" Column=\"ID\" KeyGenerate=\"NO\"/>";
const std::string kChildKey = "<MapChildKey TableName=\"ORDER_LINES\" Column=\"ORDER_ID\"/>";

std::string withLines(const std::string& ordersColumns, const std::string& rest) {
    return qvxmap(ordersMap(ordersColumns + "<TableMap MapName=\"L\" Node=\"LINES/LINE\"/>") +
                  kLines + rest);
}

const Refusal kRefusals[] = {
    // Document level
    {"two extraction roots",
     "<a><QVXML_extraction/><x:QVXML_extraction xmlns:x=\"urn:x\"/></a>", 3019,
     "Too many <QVXML_extraction>s in the extraction file.\n"},
    {"no mapping root", "<other/>", 3053,
     "Illegal QVXMAP file, missing the <QVXMAP> or <QVXML_extraction>.\n"},
    {"two mapping roots", "<a><QVXMAP/><y:QVXMAP xmlns:y=\"urn:y\"/></a>", 3020,
     "Too many <QVXMAP>s in the QVXMAP file\n"},
    {"empty mapping root", "<QVXMAP/>", 3055, "Illegal QVXMAP file, no content in <QVXMAP>.\n"},
    {"no table class map", qvxmap("<OPTIONS><Cascade/></OPTIONS>"), 3002,
     "Missing element TABLECLASSMAP in QVXMAP.\n"},
    {"only text in mapping root", "<QVXMAP> </QVXMAP>", 3002,
     "Missing element TABLECLASSMAP in QVXMAP.\n"},
    // Options
    {"EmptyString without IsNull", qvxmap("<OPTIONS><EmptyString/></OPTIONS>" + ordersMap("")),
     3003, "Must have IsNULL attribute in <EmptyString> option.\n"},
    {"DateFormat without Format", qvxmap("<OPTIONS><DateFormat/></OPTIONS>" + ordersMap("")),
     3003, "Must have Format attribute in <DateFormat> option.\n"},
    {"prefixed NameSpace without URI",
     qvxmap("<OPTIONS><NameSpace Prefix=\"p\"/></OPTIONS>" + ordersMap("")), 3003,
     "Must have URI attribute in <NameSpace> option.\n"},
    {"ExistRecord without Action", qvxmap("<OPTIONS><ExistRecord/></OPTIONS>" + ordersMap("")),
     3003, "Must have Action attribute in ExistRecord option.\n"},
    {"NameSpace then IgnoreNameSpace",
     qvxmap("<OPTIONS><NameSpace Prefix=\"p\" URI=\"u\"/><IgnoreNameSpace/></OPTIONS>" +
            ordersMap("")),
     3024, "Cannot define both <IgnoreNameSpace> and regular <NameSpace> in one MAP.\n"},
    {"IgnoreNameSpace then prefixed NameSpace",
     qvxmap("<OPTIONS><IgnoreNameSpace/></OPTIONS><OPTIONS><NameSpace Prefix=\"p\" "
            "URI=\"u\"/></OPTIONS>" +
            ordersMap("")),
     3024, "Cannot define both <IgnoreNameSpace> and regular <NameSpace> in one MAP.\n"},
    {"second default namespace",
     qvxmap("<OPTIONS><NameSpace URI=\"a\"/><NameSpace URI=\"b\"/></OPTIONS>" + ordersMap("")),
     3025, "Redefine the default NameSpace in <NameSpace> option.\n"},
    {"unknown option", qvxmap("<OPTIONS><Bogus/></OPTIONS>" + ordersMap("")), 3026,
     "Illegal option Bogus in MAP.\n"},
    // Table class maps and columns
    {"GenerateID without Column",
     qvxmap("<TABLECLASSMAP TableName=\"ORDERS\"><GenerateID/></TABLECLASSMAP>"), 3001,
     "Missing attribute <Column> in <GenerateID>.\n"},
    {"ColumnMap without Column", qvxmap(ordersMap("<ColumnMap Node=\"A\"/>")), 3001,
     "Missing attribute Column in <ColumnMap>.\n"},
    {"ColumnMap without Node", qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\"/>")), 3001,
     "Missing attribute Node in <ColumnMap>.\n"},
    {"OrderColumn without Column", qvxmap(ordersMap("<OrderColumn Generate=\"YES\"/>")), 3001,
     "Missing attribute Column in <OrderColumn>.\n"},
    {"prefix under IgnoreNameSpace",
     qvxmap("<OPTIONS><IgnoreNameSpace/></OPTIONS>" +
            ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"p:A\"/>")),
     3015, "XPATH cannot use NameSpace qualify when <IgnoreNameSpace> is defined.\n"},
    {"empty prefix", qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"A/:B\"/>")), 3017,
     "Illegal use of NameSpace in xpath (A/:B), zero length namespace is not allowed.\n"},
    {"undeclared prefix", qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"A/z:B\"/>")),
     3018, "Cannot find the dinfination for NameSpace z.\n"},
    {"undeclared prefix in a start path",
     qvxmap("<TABLECLASSMAP TableName=\"ORDERS\" StartNode=\"/q:R\"><GenerateID "
            "Column=\"ID\"/></TABLECLASSMAP>"),
     3018, "Cannot find the dinfination for NameSpace q.\n"},
    {"prefix declared after the map",
     qvxmap("<TABLECLASSMAP TableName=\"ORDERS\" StartNode=\"/p:R\"><GenerateID "
            "Column=\"ID\"/></TABLECLASSMAP><OPTIONS><NameSpace Prefix=\"p\" "
            "URI=\"u\"/></OPTIONS>"),
     3018, "Cannot find the dinfination for NameSpace p.\n"},
    {"four path parts", qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"A, B,C,D\"/>")),
     3029,
     "Too much ',' in the xpath.\n" + std::string(kPrefix) +
         "Invalid xpath A,B,C,D (from Node) for Column CUSTNO.\n"},
    {"attribute above the last part",
     qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"@x,B\"/>")), 3029,
     "@attribute, text() and xmldata() can only appear in the lowest lever of xpath.\n" +
         std::string(kPrefix) + "Invalid xpath @x,B (from Node) for Column CUSTNO.\n"},
    {"text() in part two of three",
     qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"A,TEXT(),C\"/>")), 3029,
     "@attribute, text() and xmldata() can only appear in the lowest lever of xpath.\n" +
         std::string(kPrefix) + "Invalid xpath A,TEXT(),C (from Node) for Column CUSTNO.\n"},
    // Related tables
    {"RelatedTable without children", withLines("", "<RelatedTable/>"), 3021,
     "Missing <MapParentKey> in <RelatedTable>.\n"},
    {"RelatedTable without MapParentKey", withLines("", related("", kChildKey)), 3021,
     "Missing <MapParentKey> in <RelatedTable>.\n"},
    {"RelatedTable without MapChildKey", withLines("", related(kParentKey, "")), 3022,
     "Missing <MapChildKey> in <RelatedTab>.\n"},
    {"parent TableName missing",
     withLines("", related("<MapParentKey Column=\"ID\" KeyGenerate=\"NO\"/>", kChildKey)), 3001,
     "Missing attribute TableName in <MapParentKey>.\n"},
    {"parent table unknown",
     withLines("", related("<MapParentKey TableName=\"NOPE\" Column=\"ID\" KeyGenerate=\"NO\"/>",
                           kChildKey)),
     3023, "Cannot find the map for table NOPE which is referenced in <RelatedTable>.\n"},
    {"child TableName missing", withLines("", related(kParentKey, "<MapChildKey Column=\"X\"/>")),
     3001, "Missing attribute TableName in <MapChildKey>.\n"},
    {"KeyGenerate missing",
     withLines("", related("<MapParentKey TableName=\"ORDERS\" Column=\"ID\"/>", kChildKey)),
     3001, "Missing attribute KeyGenerate in <MapParentKey>.\n"},
    {"parent Column missing",
     withLines("", related("<MapParentKey TableName=\"ORDERS\" KeyGenerate=\"NO\"/>", kChildKey)),
     3001, "Missing attribute <Column> in <MapParentKey>.\n"},
    {"child Column missing",
     withLines("", related(kParentKey, "<MapChildKey TableName=\"ORDER_LINES\"/>")), 3001,
     "Missing attribute <Column> in <MapChildKey>.\n"},
    // Nesting
    {"map nests itself",
     qvxmap(ordersMap("<TableMap MapName=\"o\" Node=\"/ORDERS/ORDER\"/>")), 3033,
     "<TableMap> for o in <TABLECLASSMAP> O cannot refrence own map.\n"},
    {"nesting an unknown map", qvxmap(ordersMap("<TableMap MapName=\"X\" Node=\"A\"/>")), 3034,
     "Cannot find the map name 'X' referenced in the <TableMap> in O.\n"},
    {"nesting without MapName", qvxmap(ordersMap("<TableMap Node=\"A\"/>")), 3034,
     "Cannot find the map name '(null)' referenced in the <TableMap> in O.\n"},
    {"one map nested twice",
     qvxmap(ordersMap("<TableMap MapName=\"L\" Node=\"LINES/LINE\"/><TableMap MapName=\"L\" "
                      "Node=\"LINES/LINE\"/>") +
            kLines),
     3034, "Cannot find the map name 'L' referenced in the <TableMap> in O.\n"},
    {"nesting the root map",
     qvxmap(ordersMap("") +
            "<TABLECLASSMAP MapName=\"L\" TableName=\"ORDER_LINES\" StartNode=\"X\">"
            "<GenerateID Column=\"ID\"/><TableMap MapName=\"O\" Node=\"/ORDERS/ORDER\"/>"
            "</TABLECLASSMAP>"),
     3034, "Cannot find the map name 'O' referenced in the <TableMap> in L.\n"},
    {"nesting cycle",
     qvxmap(ordersMap("") +
            "<TABLECLASSMAP MapName=\"A\" TableName=\"ORDER_LINES\" StartNode=\"A\">"
            "<GenerateID Column=\"ID\"/><TableMap MapName=\"B\" Node=\"B\"/></TABLECLASSMAP>"
            "<TABLECLASSMAP MapName=\"B\" TableName=\"ORDER_LINES\" StartNode=\"B\">"
            "<GenerateID Column=\"ID\"/><TableMap MapName=\"A\" Node=\"A\"/></TABLECLASSMAP>"),
     3033, "<TableMap> for A in <TABLECLASSMAP> B cannot refrence own map.\n"},
    {"TableMap Node differs from StartNode",
     qvxmap(ordersMap("<TableMap MapName=\"L\" Node=\"LINES/ITEM\"/>") + kLines), 3035,
     "Node path LINES/ITEM defined in <TableMap> for map L is different than the <StartNode> "
     "LINES/LINE in the <TABLECLASSMAP> for same map.\n"},
    // Order columns
    {"generated order column already declared",
     qvxmap(ordersMap("<ColumnMap Column=\"SEQ\" Node=\"S\"/><OrderColumn Column=\"seq\" "
                      "Generate=\"yes\"/>")),
     3041, "Genereated ORDER COLUMN seq has defined in this table before.\n"},
    {"regular order column not declared",
     qvxmap(ordersMap("<OrderColumn Column=\"SEQ\"/>")), 3042,
     "Regular ORDER COLUMN SEQ has to be defined in this table before.\n"},
    // Related tables, cross-checked
    {"child table unknown",
     withLines("", related(kParentKey, "<MapChildKey TableName=\"NOPE\" Column=\"X\"/>")), 3036,
     "Cannot find the table name 'NOPE' referenced in the <RelatedTable> map.\n"},
    {"generated parent key already declared",
     withLines("<ColumnMap Column=\"KEY\" Node=\"K\"/>",
               related("<MapParentKey TableName=\"ORDERS\" Column=\"KEY\" KeyGenerate=\"Yes\"/>",
                       kChildKey)),
     3037, "Generated <MapParentKey> KEY in <RelatedTable> is already defined in <TABLECLASSMAP> O.\n"},
    {"declared parent key missing",
     withLines("", related("<MapParentKey TableName=\"ORDERS\" Column=\"KEY\" KeyGenerate=\"NO\"/>",
                           kChildKey)),
     3038, "<MapParentKey> KEY in <RelatedTable> has to be defined in the <TABLECLASSMAP> O.\n"},
    {"child key already declared",
     withLines("", related(kParentKey, "<MapChildKey TableName=\"L\" Column=\"qty\"/>")), 3039,
     "<MapChildKey> qty in <RelatedTable> is already defined in <TABLECLASSMAP> L.\n"},
    {"child before parent",
     withLines("", related("<MapParentKey TableName=\"L\" Column=\"ID\" KeyGenerate=\"NO\"/>",
                           "<MapChildKey TableName=\"O\" Column=\"KEY\"/>")),
     3040,
     "<MapParentKey> ID from table ORDER_LINES in <RelatedTable> should be MapChildKey according "
     "to the relationship of the tables.\n"},
    // Binding
    {"dictionary cannot be opened",
     qvxmap("<TABLECLASSMAP TableName=\"NOFILE\"><GenerateID Column=\"ID\"/></TABLECLASSMAP>"),
     3043, "Unable to open the dictionary for file NOFILE.\n"},
    {"map without table name",
     qvxmap("<TABLECLASSMAP MapName=\"M\"><GenerateID Column=\"ID\"/></TABLECLASSMAP>"), 3043,
     "Unable to open the dictionary for file (null).\n"},
    {"column not in the dictionary", qvxmap(ordersMap("<ColumnMap Column=\"NOPE\" Node=\"A\"/>")),
     3045, "Cannot find column NOPE in file ORDERS.\n"},
    {"virtual field in a mapping file",
     qvxmap(ordersMap("<ColumnMap Column=\"NOTE\" Node=\"A\"/>")), 3046,
     "Cannot get the dictionary infomation for column NOTE of file ORDERS.\n"},
    {"column the host cannot describe",
     qvxmap(ordersMap("<ColumnMap Column=\"BROKEN\" Node=\"A\"/>")), 3046,
     "Cannot get the dictionary infomation for column BROKEN of file ORDERS.\n"},
    {"generated order column not in the dictionary",
     qvxmap(ordersMap("<OrderColumn Column=\"POS\" Generate=\"YES\"/>")), 3045,
     "Cannot find column POS in file ORDERS.\n"},
    {"GenerateID on a data field",
     qvxmap("<TABLECLASSMAP TableName=\"ORDERS\"><GenerateID Column=\"DATE\"/></TABLECLASSMAP>"),
     3047, "Column name DATE defined by <Column> in <GenerateID> for table ORDERS is not the ID.\n"},
    {"GenerateID with an unknown XFIELD",
     qvxmap("<TABLECLASSMAP TableName=\"ORDERS\"><GenerateID Column=\"ID\" "
            "XFIELD=\"NOPE\"/></TABLECLASSMAP>"),
     3048, "XFILED NOPE defined in <GenerateID> for table ORDERS is not in the dictionary.\n"},
    {"no record ID",
     qvxmap("<TABLECLASSMAP TableName=\"ORDERS\"><ColumnMap Column=\"CUSTNO\" "
            "Node=\"A\"/></TABLECLASSMAP>"),
     3050, "Must have an ID mapping for table ORDERS.\n"},
    {"two columns on one field",
     qvxmap(ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"A\"/><ColumnMap Column=\"CUST\" "
                      "Node=\"B\"/>")),
     3051,
     "Column CUSTNO and Column CUST are at the same location in table ORDERS.\nCannot defined "
     "map for both of them.\n"},
    {"two record IDs",
     qvxmap(ordersMap("<ColumnMap Column=\"id\" Node=\"@id\"/>")), 3051,
     "Column ID and Column id are at the same location in table ORDERS.\nCannot defined map for "
     "both of them.\n"},
    // Key paths
    {"child keys with different multivalue paths",
     qvxmap(ordersMap("<ColumnMap Column=\"LINE_IDS\" Node=\"LINES/LINE,@id\"/>"
                      "<ColumnMap Column=\"ALT_IDS\" Node=\"OTHER/LINE,@id\"/>"
                      "<TableMap MapName=\"L\" Node=\"LINES/LINE\"/>") +
            kLines +
            related("<MapParentKey TableName=\"ORDERS\" Column=\"LINE_IDS\" KeyGenerate=\"NO\"/>",
                    "<MapChildKey TableName=\"L\" Column=\"ORDER_LINE\"/>") +
            related("<MapParentKey TableName=\"ORDERS\" Column=\"ALT_IDS\" KeyGenerate=\"NO\"/>",
                    "<MapChildKey TableName=\"L\" Column=\"ALT_LINE\"/>")),
     3056, "Foreign Keys for table ORDER_LINES have different multi value path.\n"},
    // Extraction files
    {"extraction without file_extraction", "<QVXML_extraction/>", 3002,
     "Missing element file-extraction in extraction file.\n"},
    {"extraction without start",
     "<QVxml_extraction><file_extraction dictionary=\"ORDERS\"/></QVxml_extraction>", 3001,
     "Missing attribute start in file_extraction.\n"},
    {"extraction start not from the root",
     "<QVXML_extraction><file_extraction start=\"ROOT/REC\"/></QVXML_extraction>", 3027,
     "xpath for start must start from '/' root.\n"},
    {"extraction start with an attribute",
     "<QVXML_extraction><file_extraction start=\"/ROOT/@id\"/></QVXML_extraction>", 3028,
     "Cannot reference the @attribute in the start path.\n"},
    {"extraction start with a prefix",
     "<QVXML_extraction><file_extraction start=\"/p:ROOT\"/></QVXML_extraction>", 3018,
     "Cannot find the dinfination for NameSpace p.\n"},
    {"field_extraction without field",
     "<QVXML_extraction><file_extraction start=\"/R\"/><field_extraction path=\"A\"/>"
     "</QVXML_extraction>",
     3001, "Missing attribute field in <field_extraction>.\n"},
    {"field_extraction without path",
     "<QVXML_extraction><file_extraction start=\"/R\"/><field_extraction field=\"A\"/>"
     "</QVXML_extraction>",
     3001, "Missing attribute path in <field_extraction>.\n"},
    {"extraction path with four parts",
     "<QVXML_extraction><file_extraction start=\"/R\"/><field_extraction field=\"F\" "
     "path=\"A,B,C,D\"/></QVXML_extraction>",
     3029,
     "Too much ',' in the xpath.\n" + std::string(kPrefix) +
         "Invalid xpath A,B,C,D (from path) for field F.\n"},
    {"extraction by name: virtual field",
     "<QVXML_extraction><file_extraction start=\"/R\" dictionary=\"ORDERS\" by_name=\"on\"/>"
     "<field_extraction field=\"ID\" path=\"@id\"/><field_extraction field=\"NOTE\" "
     "path=\"N\"/></QVXML_extraction>",
     3044, "Column NOTE in file ORDERS is a virtual field.\n"},
    {"extraction by name without the record ID",
     "<QVXML_extraction><file_extraction start=\"/R\" dictionary=\"ORDERS\" by_name=\"ON\"/>"
     "<field_extraction field=\"CUSTNO\" path=\"@c\"/></QVXML_extraction>",
     3050, "Must have an ID mapping for table ORDERS.\n"},
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class LoaderRefusal : public maptest::MapTest,
                      public ::testing::WithParamInterface<Refusal> {};

TEST_P(LoaderRefusal, ReportsAndLeavesNothing) {
    const Refusal& c = GetParam();
    maptest::Load r = load(c.xml);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.message, kPrefix + c.message);
    EXPECT_EQ(r.model.root(), nullptr);
    EXPECT_TRUE(r.model.namespaces.empty());
    EXPECT_FALSE(r.model.dateFormat);
    EXPECT_EQ(host.opens(), host.closes());
}

INSTANTIATE_TEST_SUITE_P(Cases, LoaderRefusal, ::testing::ValuesIn(kRefusals),
                         qvtest::caseName<Refusal>);

using Loader = maptest::MapTest;

TEST_F(Loader, NodeHandleIsRefused) {
    QvHandle doc = QV_XDOMOpen(qvxmap(ordersMap("")).c_str(), 1);
    ASSERT_NE(doc, nullptr);
    doc->domNode();
    QvHandle node = qv::makeNodeHandle(doc, doc->builtDom()->getDocumentElement());
    Q_XMLResetErrMsg();
    qv::MappingModel model;
    int mode = 0;
    qv::HostTranscoder toHost;
    EXPECT_FALSE(qv::loadMapping(model, node, mode, toHost));
    EXPECT_EQ(Q_XMLGetErrCode(), 3054);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()),
              std::string(kPrefix) + "QVXMAP file must a primary DOM document.\n");
    QV_XDOMClose(node);
    QV_XDOMClose(doc);
}

}  // namespace
