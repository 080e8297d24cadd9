// Reading documents into records: which elements are records, what each column
// path finds, namespaces, conversions.
#include <string>

#include <gtest/gtest.h>

#include "case_name.h"
#include "read_fixture.h"

using namespace readtest;

namespace {

// One table T; ML is multivalued, DT carries a date conversion, UP an ordinary
// one, REF one that the host refuses.
void installTableT() {
    installHost({{"T", "ID", 0, 0, ""},
                 {"T", "A", 1, 0, ""},
                 {"T", "B", 2, 0, ""},
                 {"T", "C", 3, 0, ""},
                 {"T", "ML", 4, 1, ""},
                 {"T", "DT", 5, 0, "D2/"},
                 {"T", "UP", 6, 0, "MCU"},
                 {"T", "REF", 7, 0, "REFUSE"}});
}

std::string mapping(const std::string& options, const std::string& start,
                    const std::string& columns) {
    return "<QVXMAP><OPTIONS>" + options + "</OPTIONS><TABLECLASSMAP MapName='M' TableName='T' StartNode='" +
           start + "'>" + columns + "</TABLECLASSMAP></QVXMAP>";
}

std::string column(const char* name, const char* path) {
    return std::string("<ColumnMap Column='") + name + "' Node='" + path + "'/>";
}

struct ReadCase {
    const char* name;
    const char* options;
    const char* start;
    std::string columns;
    const char* xml;
    Records expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadCases : public ::testing::TestWithParam<std::tuple<ReadCase, Form>> {
protected:
    void SetUp() override { currentForm() = std::get<1>(GetParam()); }
    void TearDown() override { currentForm() = Form::Compact; }
};

TEST_P(ReadCases, Records) {
    installTableT();
    const ReadCase& c = std::get<0>(GetParam());
    std::string map = mapping(c.options, c.start, c.columns);
    Opened o(c.xml, map.c_str());
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.readCompact, currentForm() == Form::Compact);
    EXPECT_STREQ(o.rootTable, "T");
    EXPECT_EQ(o.read(), c.expected);
    EXPECT_EQ(Q_XMLGetErrCode(), 0) << Q_XMLGetErrMsg();
}

const std::string kId = column("ID", "@id");
const char* kIsNull = "<EmptyString IsNull='ON'/>";

INSTANTIATE_TEST_SUITE_P(
    Reader, ReadCases,
    ::testing::Combine(::testing::Values(
        // Record elements under every occurrence of the inner steps.
        ReadCase{"first_occurrence_empty", "", "/R/G/REC", kId,
                 "<R><G/><G><REC id='1'/></G></R>", {"1"}},
        ReadCase{"middle_occurrence_empty", "", "/R/G/REC", kId,
                 "<R><G><REC id='1'/></G><G/><G><REC id='2'/><REC id='3'/></G></R>",
                 {"1", "2", "3"}},
        ReadCase{"other_elements_between", "", "/R/G/REC", kId,
                 "<R><G><REC id='1'/><X/><REC id='2'/></G><X><REC id='no'/></X>"
                 "<G><REC id='3'/></G></R>",
                 {"1", "2", "3"}},
        ReadCase{"two_iterated_levels", "", "/R/A/B/REC", kId,
                 "<R><A><B><REC id='1'/></B><B><REC id='2'/></B></A><A/>"
                 "<A><B/><B><REC id='3'/></B></A></R>",
                 {"1", "2", "3"}},
        ReadCase{"dot_step_changes_nothing", "", "/R/./G/./REC", kId,
                 "<R><G><REC id='1'/></G><G/><G><REC id='2'/></G></R>", {"1", "2"}},
        ReadCase{"path_ending_in_slash_reads_each_element", "", "/R/REC/", kId,
                 "<R><REC id='1'/><REC id='2'/></R>", {"1", "2"}},
        ReadCase{"no_record_element", "", "/R/REC", kId, "<R><X/></R>", {}},
        ReadCase{"root_only_one_step", "", "/R", kId, "<R id='9'><REC/></R>", {"9"}},

        // What the column paths find.
        ReadCase{"attribute_child_text_cdata", "", "/R/REC",
                 kId + column("A", "NAME") + column("B", "text()") + column("C", "NOTE/text()"),
                 "<R><REC id='7'><NAME>n<i>skip</i>m</NAME>tail<NOTE>x<![CDATA[<y>]]>z</NOTE>"
                 "</REC></R>",
                 {"7|nm|tail|x<y>z"}},
        ReadCase{"parent_steps_in_value_path", "", "/R/G/REC",
                 kId + column("A", "../@g") + column("B", "../../NAME"),
                 "<R><NAME>r</NAME><G g='1'><REC id='1'/></G><G g='2'><REC id='2'/></G></R>",
                 {"1|1|r", "2|2|r"}},
        ReadCase{"nothing_found_isnull_off", "", "/R/REC",
                 kId + column("A", "NAME") + column("C", "X/Y/@z") + column("ML", "L,V"),
                 "<R><REC><NAME><sub>only elements</sub></NAME></REC></R>", {"||||"}},
        ReadCase{"nothing_found_isnull_on", kIsNull, "/R/REC",
                 kId + column("A", "NAME") + column("C", "X/Y/@z") + column("ML", "L,V"),
                 "<R><REC><NAME><sub>only elements</sub></NAME></REC></R>", {"~|~|~|~|~"}},
        ReadCase{"empty_attribute_is_a_value", kIsNull, "/R/REC", kId + column("A", "@a"),
                 "<R><REC id='' a=''/></R>", {"|"}},
        ReadCase{"multivalue_missing_isnull_off", "", "/R/REC", kId + column("ML", "L,V"),
                 "<R><REC id='1'><L><V>a</V></L><L/><L><V>c</V></L></REC></R>",
                 {"1||||a]]c"}},
        ReadCase{"multivalue_missing_isnull_on", kIsNull, "/R/REC", kId + column("ML", "L,V"),
                 "<R><REC id='1'><L><V>a</V></L><L/><L><V>c</V></L></REC></R>",
                 {"1|~|~|~|a]~]c"}},
        ReadCase{"multivalue_skips_other_names", "", "/R/REC", kId + column("ML", "LS/L,@v"),
                 "<R><REC id='1'><LS><L v='a'/><X v='no'/><L v='b'/></LS><LS><L v='no'/></LS>"
                 "</REC></R>",
                 {"1||||a]b"}},
        ReadCase{"subvalues", kIsNull, "/R/REC", kId + column("ML", "L,S,@v"),
                 "<R><REC id='1'><L><S v='a'/><S v='b'/></L><L/><L><S/><S v='d'/></L></REC></R>",
                 {"1|~|~|~|a}b]~]~}d"}},
        ReadCase{"empty_second_part", "", "/R/REC", kId + column("ML", "L,,@v"),
                 "<R><REC id='1'><L v='a'/><L v='b'/></REC></R>", {"1||||a]b"}},

        // Namespaces.
        ReadCase{"prefix_matches_uri_not_prefix", "<NameSpace Prefix='o' URI='urn:o'/>",
                 "/o:R/o:REC", column("ID", "@o:id") + column("A", "o:N"),
                 "<x:R xmlns:x='urn:o'><x:REC x:id='1' id='no'><N>no</N><x:N>n</x:N></x:REC>"
                 "<REC x:id='no'/></x:R>",
                 {"1|n"}},
        ReadCase{"default_namespace_not_matched", "", "/R/REC", kId,
                 "<R xmlns='urn:d'><REC id='1'/></R>", {}},
        ReadCase{"declared_default_namespace_still_not_matched", "<NameSpace URI='urn:d'/>",
                 "/R/REC", kId, "<R xmlns='urn:d'><REC id='1'/></R>", {}},
        ReadCase{"unprefixed_step_matches_no_namespace", "", "/R/REC", kId,
                 "<R xmlns=''><REC id='1'/></R>", {"1"}},
        // What a document may hold around and inside record elements.
        ReadCase{"entities_in_text_and_attributes", "", "/R/REC", kId + column("A", "text()") + column("B", "@v"),
                 "<!DOCTYPE R [<!ELEMENT R ANY><!ELEMENT REC ANY><!ELEMENT i ANY>"
                 "<!ATTLIST REC id CDATA #REQUIRED v CDATA #IMPLIED>"
                 "<!ENTITY e 'one<i>x</i>two'><!ENTITY none ''>]>"
                 "<R><REC id='1' v='&#65;&amp;'>a&e;b&none;c</REC>&e;<REC id='2'>&none;</REC></R>",
                 {"1|aonetwobc|A&", "2||"}},
        ReadCase{"declared_default_attributes", kIsNull, "/R/REC", kId + column("A", "@d"),
                 "<!DOCTYPE R [<!ELEMENT R ANY><!ELEMENT REC ANY>"
                 "<!ATTLIST REC id CDATA #IMPLIED d CDATA 'dflt'>]>"
                 "<R><REC id='1'/><REC id='2' d='own'/><REC d=''/></R>",
                 {"1|dflt", "2|own", "~|"}},
        ReadCase{"comments_and_instructions_between_records", "", "/R/REC", kId + column("A", "text()"),
                 "<R><!--c--><REC id='1'>a<!--x-->b<?p d?>c</REC><?p?><!--c--><REC id='2'/></R>",
                 {"1|abc", "2|"}},
        ReadCase{"whitespace_only_text_is_a_value", kIsNull, "/R/REC", kId + column("A", "text()"),
                 "<R>\n  <REC id='1'>  </REC>\n  <REC id='2'>\n    <X/>\n  </REC></R>",
                 {"1|  ", "2|\n    \n  "}},
        ReadCase{"namespaces_redeclared_and_prefixed_attributes",
                 "<NameSpace Prefix='p' URI='urn:p'/>", "/R/p:REC",
                 column("ID", "@p:id") + column("A", "@id") + column("B", "p:N"),
                 "<R xmlns:p='urn:p'><p:REC p:id='1' id='u'><p:N>n1</p:N></p:REC>"
                 "<q:REC xmlns:q='urn:p' q:id='2'><N xmlns='urn:p'>n2</N></q:REC>"
                 "<p:REC xmlns:p='urn:other' p:id='no'/></R>",
                 {"1|u|n1", "2||n2"}},
        ReadCase{"iso_8859_1_document", "", "/R/REC", kId + column("A", "text()"),
                 "<?xml version='1.0' encoding='ISO-8859-1'?><R><REC id='\xe9'>caf\xe9</REC></R>",
                 {"\xc3\xa9|caf\xc3\xa9"}},
        ReadCase{"ignore_namespace_matches_any", "<IgnoreNameSpace/>", "/R/REC",
                 kId + column("A", "N"),
                 "<R xmlns='urn:d'><REC id='1'><N xmlns='urn:e'>n</N></REC>"
                 "<p:REC xmlns:p='urn:p' id='2'/></R>",
                 {"1|n", "2|"}},

        // Conversions.
        ReadCase{"date_code_without_dateformat", "", "/R/REC", kId + column("DT", "@d"),
                 "<R><REC id='1' d='x'/></R>", {"1|||||D2/(x)"}},
        ReadCase{"date_code_replaced_by_dateformat", "<DateFormat Format='xmlformat'/>", "/R/REC",
                 kId + column("DT", "@d") + column("UP", "@d"), "<R><REC id='1' d='x'/></R>",
                 {"1|||||D-YMD[4,2,2](x)|MCU(x)"}},
        ReadCase{"whole_field_converted_once", "", "/R/REC", kId + column("UP", "L,@v"),
                 "<R><REC id='1'><L v='a'/><L/></REC></R>", {"1||||||MCU(a])"}},
        ReadCase{"refused_field_left_out", kIsNull, "/R/REC",
                 kId + column("REF", "@x") + column("C", "@c"),
                 "<R><REC id='1' c='c'/></R>", {"1|~|~|c|~|~|~|"}}),
                       ::testing::Values(Form::Compact, Form::Dom)),
    [](const ::testing::TestParamInfo<std::tuple<ReadCase, Form>>& info) {
        const ::testing::TestParamInfo<ReadCase> one(std::get<0>(info.param), info.index);
        return qvtest::caseName(one) + "_" + formName(std::get<1>(info.param));
    });

class ReadForms : public BothForms {};
INSTANTIATE_TEST_SUITE_P(Reader, ReadForms, ::testing::Values(Form::Compact, Form::Dom), paramName);

// ---- Nested tables -------------------------------------------------------------

// A parent table with a declared multivalued key and a child table keyed into it,
// read under each parent record.
const char* kNestedMapping = R"(<QVXMAP>
  <OPTIONS><NameSpace Prefix="o" URI="urn:orders"/></OPTIONS>
  <TABLECLASSMAP MapName="ORDERS_MAP" TableName="ORDERS" StartNode="/o:ORDERS/o:ORDER">
    <ColumnMap Column="ID" Node="@id"/>
    <ColumnMap Column="LINE_IDS" Node="o:LINES/o:LINE,@id"/>
    <TableMap MapName="LINES_MAP" Node="o:LINES/o:LINE"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="LINES_MAP" TableName="ORDER_LINES" StartNode="o:LINES/o:LINE">
    <GenerateID Column="ID"/>
    <ColumnMap Column="QTY" Node="o:QTY"/>
  </TABLECLASSMAP>
  <RelatedTable>
    <MapParentKey TableName="ORDERS" Column="LINE_IDS" KeyGenerate="NO"/>
    <MapChildKey TableName="ORDER_LINES" Column="ORDER_LINE"/>
  </RelatedTable>
</QVXMAP>)";

TEST_P(ReadForms, NestedTableKeyedIntoMultivaluedParentKey) {
    installHost({{"ORDERS", "ID", 0, 0, ""},
                 {"ORDERS", "LINE_IDS", 1, 1, ""},
                 {"ORDER_LINES", "ID", 0, 0, ""},
                 {"ORDER_LINES", "ORDER_LINE", 1, 0, ""},
                 {"ORDER_LINES", "QTY", 2, 0, ""}});
    Opened o(R"(<ORDERS xmlns="urn:orders">
      <ORDER id="A"><LINES><LINE id="a1"><QTY>1</QTY></LINE><LINE id="a2"/></LINES></ORDER>
      <ORDER id="B"/>
      <ORDER id="C"><LINES><LINE id="c1"><QTY>3</QTY></LINE></LINES></ORDER>
    </ORDERS>)",
             kNestedMapping);
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.read("ORDERS"), (Records{"A|a1]a2", "B|", "C|c1"}));
    EXPECT_EQ(o.read("lines_map"), (Records{"0|a1|1", "1|a2|", "2|c1|3"}));
}

TEST_P(ReadForms, GeneratedKeysLinkChildRecordsToTheirParent) {
    installHost({{"P", "ID", 0, 0, ""},
                 {"P", "PK", 1, 0, ""},
                 {"P", "NAME", 2, 0, ""},
                 {"C", "ID", 0, 0, ""},
                 {"C", "FK", 1, 0, "MCU"},
                 {"C", "V", 2, 0, ""}});
    const char* map = R"map(<QVXMAP>
      <TABLECLASSMAP MapName="PM" TableName="P" StartNode="/R/P">
        <ColumnMap Column="ID" Node="@id"/><ColumnMap Column="NAME" Node="@n"/>
        <TableMap MapName="CM" Node="C"/>
      </TABLECLASSMAP>
      <TABLECLASSMAP MapName="CM" TableName="C" StartNode="C">
        <ColumnMap Column="ID" Node="@id"/><ColumnMap Column="V" Node="text()"/>
      </TABLECLASSMAP>
      <RelatedTable><MapParentKey TableName="P" Column="PK" KeyGenerate="yes"/>
        <MapChildKey TableName="C" Column="FK"/></RelatedTable>
    </QVXMAP>)map";
    Opened o("<R><P id='p1' n='x'><C id='c1'>v1</C><C id='c2'>v2</C></P><P id='p2'/>"
             "<P id='p3'><C id='c3'>v3</C></P></R>",
             map);
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.read("P"), (Records{"p1|1|x", "p2|2|", "p3|3|"}));
    EXPECT_EQ(o.read("C"), (Records{"c1|MCU(1)|v1", "c2|MCU(1)|v2", "c3|MCU(3)|v3"}));
}

// ---- Large input ---------------------------------------------------------------

TEST_P(ReadForms, RecordOfTenMegabytes) {
    installTableT();
    std::string big(10 * 1024 * 1024, 'x');
    std::string xml = "<R><REC id='1'><A>" + big + "</A></REC><REC id='2'><A>s</A></REC></R>";
    std::string map = mapping("", "/R/REC", kId + column("A", "A"));
    Opened o(xml.c_str(), map.c_str());
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    Records records = o.read();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], "1|" + big);
    EXPECT_EQ(records[1], "2|s");
}

}  // namespace

// ---- xmldata() -------------------------------------------------------------------

TEST_P(ReadForms, XmldataIsMarkupInHostText) {
    installTableT();
    std::string map = mapping("", "/R/REC",
                              kId + column("A", "X") + column("B", "X/xmldata()") +
                                  column("C", "xmldata()"));
    Opened o("<?xml version='1.0' encoding='ISO-8859-1'?><R><REC id='1'><X>\xE9</X></REC></R>",
             map.c_str());
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    Records records = o.read();
    ASSERT_EQ(records.size(), 1u);
    // Element text is host text (UTF-8 here), and so is markup: the document's
    // ISO-8859-1 bytes are not host text.
    const std::string& r = records[0];
    ASSERT_EQ(r.rfind("1|\xC3\xA9|", 0), 0u) << r;
    const size_t second = r.find('|', 2) + 1, third = r.find('|', second) + 1;
    const std::string x = r.substr(second, third - 1 - second), rec = r.substr(third);
    EXPECT_NE(x.find("<X>\xC3\xA9</X>"), std::string::npos) << x;
    EXPECT_EQ(x.find('<', x.find("</X>") + 1), std::string::npos) << x;
    EXPECT_NE(rec.find("<REC id=\"1\">"), std::string::npos) << rec;
    EXPECT_NE(rec.find("<X>\xC3\xA9</X>"), std::string::npos) << rec;
}
