// The loaded model of complete mapping files: the worked examples, options,
// binding, nesting and the lookups over the tree.
#include "case_name.h"
#include "map_fixture.h"
#include "test_data.h"

#include <vector>

namespace {

using maptest::ordersMap;
using maptest::qvxmap;
using qv::ColumnKind;
using qv::MapColumn;
using qv::TableClassMap;

using Model = maptest::MapTest;

std::vector<std::string> names(const std::vector<MapColumn*>& chain) {
    std::vector<std::string> out;
    for (const MapColumn* c : chain) out.push_back(qv::cstr(c->name));
    return out;
}
std::vector<std::string> declared(const TableClassMap& m) {
    std::vector<std::string> out;
    for (const auto& c : m.columns) out.push_back(c->name ? *c->name : "(null)");
    return out;
}

TEST_F(Model, OrdersExample) {
    maptest::Load r = load(qvtest::readData("map/orders_example.xml"));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.message, "");
    const qv::MappingModel& m = r.model;
    EXPECT_EQ(m.bindingKind, 10);
    EXPECT_EQ(m.existRecordAction, qv::kActionReplace);
    EXPECT_EQ(qv::cstr(m.dateFormat), std::string("D-YMD[4,2,2]"));
    ASSERT_EQ(m.namespaces.size(), 1u);
    EXPECT_TRUE(m.namespaces[0].referenced);
    ASSERT_EQ(m.maps.size(), 1u);

    const TableClassMap& orders = *m.root();
    EXPECT_EQ(orders.action, qv::kActionReplace);
    EXPECT_EQ(*orders.startPath, "/o:ORDERS/o:ORDER");
    EXPECT_EQ(orders.multivalueDepth, -1);
    EXPECT_EQ(names(orders.byField), (std::vector<std::string>{"ID", "CUSTNO", "LINE_IDS"}));
    const MapColumn& lineIds = *qv::findColumn(orders, "line_ids");
    EXPECT_EQ(lineIds.kind, ColumnKind::ParentKey);
    EXPECT_EQ(lineIds.field, 2);
    EXPECT_TRUE(lineIds.multivalued);
    EXPECT_EQ(lineIds.action, qv::kActionReplace);
    EXPECT_EQ(*lineIds.part1, "o:LINES/o:LINE");
    EXPECT_EQ(*lineIds.part2, "@id");
    EXPECT_FALSE(lineIds.part3);
    EXPECT_EQ(qv::findColumn(orders, "ID")->kind, ColumnKind::RecordId);
    EXPECT_EQ(qv::findColumn(orders, "LINES_MAP")->kind, ColumnKind::NestedMap);
    ASSERT_EQ(orders.related.size(), 1u);
    EXPECT_FALSE(orders.related[0].generatesKey());

    ASSERT_EQ(orders.children.size(), 1u);
    const TableClassMap& lines = *orders.children[0];
    EXPECT_EQ(lines.parent, &orders);
    EXPECT_EQ(lines.action, qv::kActionReplace);
    EXPECT_EQ(declared(lines), (std::vector<std::string>{"ORDER_LINE", "ID", "QTY"}));
    EXPECT_EQ(names(lines.byField), (std::vector<std::string>{"ID", "ORDER_LINE", "QTY"}));
    const MapColumn& key = *lines.columns[0];
    EXPECT_EQ(key.kind, ColumnKind::ChildKeyMulti);
    EXPECT_EQ(key.parentKey, &lineIds);
    EXPECT_EQ(key.parentMap, &orders);
    EXPECT_EQ(*key.part2, "@id");
    EXPECT_EQ(lines.multivalueDepth, 1);
    EXPECT_EQ(lines.subvalueDepth, -1);
    EXPECT_EQ(host.opens(), 2);
    EXPECT_EQ(host.closes(), 2);
}

// Child key paths for a few shapes of the parent key and the child start path.
struct KeyShape {
    const char* name;
    const char* parentPath;  // path of the parent key column
    const char* childStart;
    bool multivalued;        // parent key column in the dictionary
    ColumnKind kind;
    const char* keyPath;     // part 2 of the child key, null = none
    int multivalueDepth, subvalueDepth;
};

const KeyShape kShapes[] = {
    {"same level", "LINES/LINE,@id", "LINES/LINE", true, ColumnKind::ChildKeyMulti, "@id", 1, -1},
    {"one level down", "LINES/LINE,@id", "LINES/LINE/DETAIL", true, ColumnKind::ChildKeyMulti,
     "../@id", 1, -1},
    {"subvalues", "A/B,C/D,@id", "A/B/C/D", true, ColumnKind::ChildKeyMulti, "@id", 1, 3},
    {"subvalues, two down", "A,C,@id", "A/C/E/F", true, ColumnKind::ChildKeyMulti, "../../@id", 0,
     1},
    {"single-valued parent key", "LINES/LINE,@id", "LINES/LINE", false, ColumnKind::ChildKey,
     nullptr, -1, -1},
    {"parent key without part 2", "LINES/LINE/@id", "LINES/LINE", true, ColumnKind::ChildKey,
     nullptr, -1, -1},
    {"start path elsewhere", "LINES/LINE,@id", "OTHER/LINE", true, ColumnKind::ChildKey, nullptr,
     -1, -1},
};

void PrintTo(const KeyShape& s, std::ostream* os) { *os << s.name; }

class KeyPaths : public maptest::MapTest, public ::testing::WithParamInterface<KeyShape> {};

TEST_P(KeyPaths, Derived) {
    const KeyShape& s = GetParam();
    host.dictionary("ORDERS").add("PKEY", 9, s.multivalued);
    const std::string xml = qvxmap(
        ordersMap(std::string("<ColumnMap Column=\"PKEY\" Node=\"") + s.parentPath +
                  "\"/><TableMap MapName=\"L\" Node=\"" + s.childStart + "\"/>") +
        "<TABLECLASSMAP MapName=\"L\" TableName=\"ORDER_LINES\" StartNode=\"" + s.childStart +
        "\"><GenerateID Column=\"ID\"/></TABLECLASSMAP>"
        "<RelatedTable><MapParentKey TableName=\"O\" Column=\"PKEY\" KeyGenerate=\"NO\"/>"
        "<MapChildKey TableName=\"L\" Column=\"ORDER_LINE\"/></RelatedTable>");
    maptest::Load r = load(xml);
    ASSERT_TRUE(r.ok) << r.message;
    const TableClassMap& child = *r.model.root()->children.at(0);
    const MapColumn& key = *qv::findColumn(child, "ORDER_LINE");
    EXPECT_EQ(key.kind, s.kind);
    if (s.keyPath)
        EXPECT_EQ(qv::cstr(key.part2), std::string(s.keyPath));
    else
        EXPECT_FALSE(key.part2);
    EXPECT_EQ(child.multivalueDepth, s.multivalueDepth);
    EXPECT_EQ(child.subvalueDepth, s.subvalueDepth);
}

INSTANTIATE_TEST_SUITE_P(Shapes, KeyPaths, ::testing::ValuesIn(kShapes),
                         qvtest::caseName<KeyShape>);

TEST_F(Model, ExtractionExample) {
    maptest::Load r = load(R"(
<QVXML_extraction>
  <file_extraction start="/ORDERS/ORDER" dictionary="ORDERS" null="NULL" by_name="ON"/>
  <field_extraction field="ID" path="@id"/>
  <field_extraction field="CUSTNO" path="@cust"/>
</QVXML_extraction>)");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.mode, QV_XMAP_EXTRACTION);
    EXPECT_EQ(r.model.bindingKind, 1);
    EXPECT_EQ(r.model.emptyStringIsNull, 1);
    EXPECT_EQ(r.model.ignoreNameSpace, 1);
    const TableClassMap& map = *r.model.root();
    EXPECT_FALSE(map.mapName);
    EXPECT_EQ(*map.tableName, "ORDERS");
    EXPECT_EQ(*map.startPath, "/ORDERS/ORDER");
    EXPECT_EQ(map.action, 0);
    EXPECT_EQ(names(map.byField), (std::vector<std::string>{"ID", "CUSTNO"}));
    EXPECT_EQ(map.byField[1]->field, 1);
}

TEST_F(Model, ExtractionByPosition) {
    // Also: a QVXMAP in the same document is ignored, field_extraction elements
    // outside file_extraction count, and the first file_extraction wins.
    maptest::Load r = load(R"(<doc><QVXMAP/><QVXML_extraction>
  <file_extraction start=" /R / REC" dictionary="FIRST"/>
  <file_extraction start="/OTHER" dictionary="SECOND"/>
  <field_extraction field="B" path="x"/>
</QVXML_extraction><field_extraction field="A" path="y, z"/></doc>)");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.model.bindingKind, 0);
    EXPECT_EQ(r.model.emptyStringIsNull, 0);
    const TableClassMap& map = *r.model.root();
    EXPECT_EQ(*map.startPath, "/R/REC");
    EXPECT_EQ(*map.tableName, "FIRST");
    EXPECT_EQ(names(map.byField), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(map.byField[1]->field, 1);
    EXPECT_EQ(*map.byField[1]->part2, "z");
    EXPECT_EQ(host.opens(), 0);
}

// ---- Options ------------------------------------------------------------------------

TEST_F(Model, Options) {
    struct Case {
        const char* options;
        int isNull, ignoreNs, cascade, action;
        const char* dateFormat;
        const char* defaultNs;
    };
    const Case cases[] = {
        {"<EmptyString IsNull=\"on\"/>", 1, 0, 0, 0, nullptr, nullptr},
        {"<EmptyString IsNull=\"YES\"/>", 0, 0, 0, 0, nullptr, nullptr},
        {"<ExistRecord Action=\"append\"/>", 0, 0, 0, 2, nullptr, nullptr},
        {"<ExistRecord Action=\"REPLACE\"/>", 0, 0, 0, 1, nullptr, nullptr},
        {"<ExistRecord Action=\"merge\"/>", 0, 0, 0, 0, nullptr, nullptr},
        {"<DateFormat Format=\"xmlformat\"/>", 0, 0, 0, 0, "D-YMD[4,2,2]", nullptr},
        {"<DateFormat Format=\"D2/\"/><DateFormat Format=\"D4-\"/>", 0, 0, 0, 0, "D4-", nullptr},
        {"<IgnoreNameSpace/><Cascade/>", 0, 1, 1, 0, nullptr, nullptr},
        {"<NameSpace/><NameSpace URI=\"urn:d\"/>", 0, 0, 0, 0, nullptr, "urn:d"},
        {"<!-- note --> text <Cascade/>", 0, 0, 1, 0, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        maptest::Load r =
            load(qvxmap(std::string("<OPTIONS>") + c.options + "</OPTIONS>" + ordersMap("")));
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.model.emptyStringIsNull, c.isNull);
        EXPECT_EQ(r.model.ignoreNameSpace, c.ignoreNs);
        EXPECT_EQ(r.model.cascade, c.cascade);
        EXPECT_EQ(r.model.existRecordAction, c.action);
        EXPECT_EQ(r.model.root()->action, c.action);
        EXPECT_STREQ(qv::cstr(r.model.dateFormat), c.dateFormat);
        EXPECT_STREQ(qv::cstr(r.model.defaultNamespace), c.defaultNs);
    }
}

TEST_F(Model, OptionsAfterAMapDoNotChangeIt) {
    maptest::Load r = load(qvxmap(
        "<OPTIONS><ExistRecord Action=\"Append\"/></OPTIONS>" +
        ordersMap("<ColumnMap Column=\"CUSTNO\" Node=\"C\"/><ColumnMap Column=\"TOTAL\" Node=\"T\" "
                  "Action=\"Replace\"/>") +
        "<OPTIONS><ExistRecord Action=\"Replace\"/></OPTIONS>"
        "<TABLECLASSMAP MapName=\"L\" TableName=\"ORDER_LINES\"><GenerateID Column=\"ID\"/>"
        "</TABLECLASSMAP>"
        "<TABLECLASSMAP MapName=\"L2\" TableName=\"ORDER_LINES\" Action=\"none\">"
        "<GenerateID Column=\"ID\"/></TABLECLASSMAP>"));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.model.existRecordAction, qv::kActionReplace);
    ASSERT_EQ(r.model.maps.size(), 3u);
    const TableClassMap& o = *r.model.maps[0];
    EXPECT_EQ(o.action, qv::kActionAppend);
    EXPECT_EQ(qv::findColumn(o, "CUSTNO")->action, qv::kActionAppend);
    EXPECT_EQ(qv::findColumn(o, "TOTAL")->action, qv::kActionReplace);
    EXPECT_EQ(qv::findColumn(o, "ID")->action, qv::kActionNone);
    EXPECT_EQ(r.model.maps[1]->action, qv::kActionReplace);
    EXPECT_EQ(r.model.maps[2]->action, qv::kActionNone);
}

TEST_F(Model, NamespacesNewestFirstAndReferenced) {
    maptest::Load r = load(qvxmap(
        "<OPTIONS><NameSpace Prefix=\"a\" URI=\"urn:a\"/><NameSpace Prefix=\"b\" URI=\"urn:b\"/>"
        "<NameSpace Prefix=\"c\" URI=\"urn:c\"/></OPTIONS>"
        "<TABLECLASSMAP TableName=\"ORDERS\" StartNode=\"/R/c:S/\"><GenerateID Column=\"ID\"/>"
        "<ColumnMap Column=\"CUSTNO\" Node=\"a:X/@c:y\"/></TABLECLASSMAP>"));
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_EQ(r.model.namespaces.size(), 3u);
    EXPECT_EQ(r.model.namespaces[0].prefix, "c");
    EXPECT_EQ(r.model.namespaces[2].prefix, "a");
    EXPECT_TRUE(r.model.namespaces[0].referenced);
    EXPECT_FALSE(r.model.namespaces[1].referenced);
    EXPECT_TRUE(r.model.namespaces[2].referenced);
    EXPECT_EQ(*r.model.root()->startPath, "/R/c:S");
    EXPECT_EQ(qv::findNamespace(r.model, "urn:b", true), &r.model.namespaces[1]);
    EXPECT_EQ(qv::findNamespace(r.model, "B", false), nullptr);
}

// ---- Binding ---------------------------------------------------------------------------

TEST_F(Model, ChainFollowsFieldNumbers) {
    host.dictionary("ORDERS").add("QTY", 5, false, "MD2xxxx");
    host.dictionary("ORDERS").addRaw({"CODE4", 9, false, "MCU;tail", 3});
    maptest::Load r = load(qvxmap(
        "<TABLECLASSMAP TableName=\"ORDERS\"><ColumnMap Column=\"qty\" Node=\"Q\"/>"
        "<GenerateID Column=\"ID\"/><ColumnMap Column=\"CUSTNO\" Node=\"C\"/>"
        "<ColumnMap Column=\"CODE4\" Node=\"K\"/></TABLECLASSMAP>"));
    ASSERT_TRUE(r.ok) << r.message;
    const TableClassMap& m = *r.model.root();
    EXPECT_EQ(names(m.byField), (std::vector<std::string>{"ID", "CUSTNO", "qty", "CODE4"}));
    EXPECT_EQ(*m.byField[2]->convCode, "MD2xxxx");
    EXPECT_EQ(*m.byField[3]->convCode, "MCU");
    EXPECT_FALSE(m.byField[0]->convCode);
}

TEST_F(Model, CreateModeAllowsAMissingRecordId) {
    const std::string xml = qvxmap(
        "<TABLECLASSMAP TableName=\"ORDERS\"><ColumnMap Column=\"TOTAL\" Node=\"T\"/>"
        "<ColumnMap Column=\"DATE\" Node=\"D\"/></TABLECLASSMAP>");
    maptest::Load r = load(xml, XML_CREATE);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.mode, XML_CREATE);
    EXPECT_EQ(names(r.model.root()->byField), (std::vector<std::string>{"DATE", "TOTAL"}));
    EXPECT_FALSE(load(xml, QV_XMAP_READ).ok);
}

TEST_F(Model, OneOpenAndOneClosePerMapAlsoOnFailure) {
    // The second map fails in its column walk; the third is never opened.
    maptest::Load r = load(qvxmap(
        ordersMap("") +
        "<TABLECLASSMAP TableName=\"ORDER_LINES\"><GenerateID Column=\"ID\"/>"
        "<ColumnMap Column=\"NOPE\" Node=\"N\"/></TABLECLASSMAP>" +
        ordersMap("")));
    EXPECT_EQ(r.code, 3045);
    EXPECT_EQ(host.opens(), 2);
    EXPECT_EQ(host.closes(), 2);
}

TEST_F(Model, GeneratedKeysAndOrderColumns) {
    host.dictionary("ORDERS").add("POS", 10).add("PK", 11);
    maptest::Load r = load(qvxmap(
        ordersMap("<ColumnMap Column=\"SEQ\" Node=\"S\"/><OrderColumn Column=\"POS\" "
                  "Generate=\"Yes\"/><OrderColumn Column=\"seq\"/>"
                  "<TableMap MapName=\"L\" Node=\"L\"/>") +
        "<TABLECLASSMAP MapName=\"L\" TableName=\"ORDER_LINES\" StartNode=\"l\">"
        "<GenerateID Column=\"ID\"/></TABLECLASSMAP>"
        "<RelatedTable><MapParentKey TableName=\"o\" Column=\"PK\" KeyGenerate=\"yes\"/>"
        "<MapChildKey TableName=\"order_lines\" Column=\"ORDER_ID\"/></RelatedTable>"
        "<RelatedTable><MapParentKey TableName=\"ORDERS\" Column=\"ID\" KeyGenerate=\"NO\"/>"
        "<MapChildKey TableName=\"L\" Column=\"ORDER_LINE\"/></RelatedTable>"));
    ASSERT_TRUE(r.ok) << r.message;
    const TableClassMap& o = *r.model.root();
    // Added columns come first, newest in front: the related tables are linked
    // newest first, after the order columns.
    EXPECT_EQ(declared(o), (std::vector<std::string>{"PK", "POS", "ID", "SEQ", "L"}));
    EXPECT_EQ(o.columns[0]->kind, ColumnKind::GeneratedParentKey);
    EXPECT_EQ(o.columns[1]->kind, ColumnKind::GeneratedOrder);
    const MapColumn& id = *qv::findColumn(o, "ID");
    EXPECT_EQ(id.kind, ColumnKind::RecordId);  // stays the record ID as a parent key
    ASSERT_EQ(o.orderColumns.size(), 2u);
    EXPECT_EQ(o.orderColumns[0].field(), 10);
    EXPECT_EQ(o.orderColumns[1].field(), 5);
    ASSERT_EQ(o.related.size(), 2u);
    EXPECT_EQ(*o.related[0].parentColumn, "ID");
    const TableClassMap& l = *o.children.at(0);
    EXPECT_EQ(declared(l), (std::vector<std::string>{"ORDER_ID", "ORDER_LINE", "ID"}));
    EXPECT_EQ(l.columns[0]->parentKey, o.columns[0].get());
    EXPECT_EQ(l.columns[1]->parentKey, &id);
    EXPECT_EQ(l.columns[0]->kind, ColumnKind::ChildKey);
}

TEST_F(Model, NestingOrderAndNumbering) {
    // R nests B then A: each goes to the front, so A comes first; C stays on top.
    auto map = [](const char* name, const char* start, const std::string& nested) {
        return std::string("<TABLECLASSMAP MapName=\"") + name +
               "\" TableName=\"ORDER_LINES\" StartNode=\"" + start +
               "\"><GenerateID Column=\"ID\"/>" + nested + "</TABLECLASSMAP>";
    };
    maptest::Load r = load(qvxmap(
        map("R", "/R", "<TableMap MapName=\"B\" Node=\"b\"/><TableMap MapName=\"a\" Node=\"A\"/>") +
        map("A", "a", "<TableMap MapName=\"D\" Node=\"D\"/>") + map("B", "B", "") +
        map("C", "/C", "") + map("D", "D", "")));
    ASSERT_TRUE(r.ok) << r.message;
    std::vector<std::string> order;
    std::vector<int> sequence;
    qv::forEachMap(r.model, [&](TableClassMap& m) {
        order.push_back(*m.mapName);
        sequence.push_back(m.sequence);
        return true;
    });
    EXPECT_EQ(order, (std::vector<std::string>{"R", "A", "D", "B", "C"}));
    EXPECT_EQ(sequence, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.model.maps.size(), 2u);

    // Lookups: depth first, map or table names, ASCII case ignored.
    EXPECT_EQ(*qv::findMap(r.model, "d", false)->mapName, "D");
    EXPECT_EQ(qv::findMap(r.model, "order_lines", false), nullptr);
    EXPECT_EQ(*qv::findMap(r.model, "order_lines", true)->mapName, "R");
    EXPECT_EQ(qv::findMap(r.model, "", true), r.model.root());
    EXPECT_EQ(qv::findMap(r.model, nullptr, false), nullptr);
    TableClassMap* a = qv::findMap(r.model, "A", false);
    EXPECT_EQ(*qv::findMapFrom(r.model, a, "ORDER_LINES", true)->mapName, "A");
    EXPECT_EQ(*qv::findMapFrom(r.model, a, "b", false)->mapName, "B");
    EXPECT_EQ(qv::findMapFrom(r.model, a, "C", false), nullptr);  // not below R
    EXPECT_EQ(qv::findMapFrom(r.model, a, "R", false), nullptr);
}

TEST_F(Model, TableNamesDifferingInCaseFindTheFirst) {
    host.dictionary("orders").add("ID", 0);
    maptest::Load r = load(qvxmap(
        ordersMap("") +
        "<TABLECLASSMAP MapName=\"P\" TableName=\"orders\"><GenerateID Column=\"ID\"/>"
        "</TABLECLASSMAP>"));
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(qv::findMap(r.model, "orders", true), r.model.root());
}

TEST_F(Model, ColumnsByAlternativeNames) {
    maptest::Load r = load(qvxmap(
        ordersMap("<ColumnMap field=\"CUSTNO\" path=\"C\"/><ColumnMap Column=\"TOTAL\" "
                  "Node=\" A / B , C \"/>")));
    ASSERT_TRUE(r.ok) << r.message;
    const MapColumn& total = *qv::findColumn(*r.model.root(), "TOTAL");
    EXPECT_EQ(*total.part1, "A/B");
    EXPECT_EQ(*total.part2, "C");
    EXPECT_EQ(*total.convCode, "MD2");
    EXPECT_EQ(*qv::findColumn(*r.model.root(), "CUSTNO")->part1, "C");
}

}  // namespace
