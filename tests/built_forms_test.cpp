// The document QV_XMAPToDOM builds is held as a compact tree, written without a DOM
// and made into a DOM only when a host asks for one. Both must be what building the
// DOM directly gives: the same nodes (a text node per value, none joined, empty ones
// kept; attributes made with or without namespaces, in the DOM's order) and the same
// bytes under the writer's settings.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dataset_fixture.h"
#include "direct_build.h"
#include "form_dump.h"
#include "xdom/handle.h"
#include "xdom/writing/written_text.h"

using namespace dstest;

namespace {

// (Each mapping reads its record IDs from a written value: IDs are not written.)
struct Case {
    const char* name;
    std::vector<DictColumn> columns;
    const char* mapping;
    std::vector<std::string> records;  // table T
    bool writtenWithoutDom = true;
};

const Case kCases[] = {
    {"several texts, one beside child elements, empty (the null mark) and blank values",
     {{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}, {"T", "B", 2, 0, ""}, {"T", "C", 3, 0, ""},
      {"T", "D", 4, 1, ""}},
     "<QVXMAP><OPTIONS><EmptyString IsNull='ON'/></OPTIONS>"
     "<TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
     "<ColumnMap Column='ID' Node='B'/>"
     "<ColumnMap Column='A' Node='text()'/><ColumnMap Column='B' Node='B'/>"
     "<ColumnMap Column='C' Node='text()'/><ColumnMap Column='D' Node='D,text()'/>"
     "</TABLECLASSMAP></QVXMAP>",
     {"1|a|b|c|x]]y", "2| |b2| |", "3|~|~|~|~]~", "4|a & <b>|~| |\xC3\xA9"}},
    {"namespaces: default and prefixed, attributes replaced and added in order",
     {{"T", "ID", 0, 0, ""}, {"T", "Z", 1, 0, ""}, {"T", "A", 2, 0, ""}, {"T", "P", 3, 0, ""},
      {"T", "Q", 4, 0, ""}, {"T", "A2", 5, 0, ""}},
     "<QVXMAP><OPTIONS><NameSpace URI='urn:d'/><NameSpace Prefix='p' URI='urn:p'/>"
     "<NameSpace Prefix='q' URI='urn:p'/></OPTIONS>"
     "<TABLECLASSMAP MapName='M' TableName='T' StartNode='/p:R/E'>"
     "<ColumnMap Column='ID' Node='@z'/>"
     "<ColumnMap Column='Z' Node='@z'/><ColumnMap Column='A' Node='@a'/>"
     "<ColumnMap Column='P' Node='@p:x'/><ColumnMap Column='Q' Node='@q:x'/>"
     "<ColumnMap Column='A2' Node='@a'/>"
     "</TABLECLASSMAP></QVXMAP>",
     {"1|z|a|p|q|a2", "2|z||p||a"}},
    {"paths that climb to the document element",
     {{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}, {"T", "B", 2, 0, ""}, {"T", "C", 3, 0, ""}},
     "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/E'>"
     "<ColumnMap Column='ID' Node='../@top'/>"
     "<ColumnMap Column='A' Node='../@top'/><ColumnMap Column='B' Node='../text()'/>"
     "<ColumnMap Column='C' Node='../S'/>"
     "</TABLECLASSMAP></QVXMAP>",
     {"1|t1|beside|sibling", "2|t2||"}},
    {"a name US-ASCII cannot hold",
     {{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}},
     "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/\xC3\x89'>"
     "<ColumnMap Column='ID' Node='@a'/><ColumnMap Column='A' Node='@a'/>"
     "</TABLECLASSMAP></QVXMAP>",
     {"1|x", "2|y"},
     false},
};

class BuiltForms : public ::testing::TestWithParam<Case> {};

TEST_P(BuiltForms, TreeWritesAndBecomesTheDomBuiltDirectly) {
    const Case& c = GetParam();
    installHost(c.columns);
    Dataset d(c.mapping);
    d.writeAll("T", c.records);
    QvHandle built = QV_XMAPToDOM(d.ds, nullptr);
    ASSERT_NE(built, nullptr) << Q_XMLGetErrMsg();
    ASSERT_TRUE(built->isCompact());

    QvHandle direct = buildDirectly(d.ds);
    ASSERT_NE(direct, nullptr) << Q_XMLGetErrMsg();

    // A write the compact writer cannot make (a name the encoding cannot hold) falls
    // to the DOM writer, over the DOM made of the tree: it fails alike.
    for (const char* encoding : {"", "UTF-16", "US-ASCII"})
        for (int pretty : {0, 1})
            for (int declaration : {0, 1}) {
                QvDocSettings out{};
                std::strcpy(out.outEncoding, encoding);
                out.prettyPrint = static_cast<char>(pretty);
                out.xmlDeclaration = static_cast<char>(declaration);
                const std::string how = std::string("encoding '") + encoding + "', pretty " +
                                        std::to_string(pretty) + ", declaration " +
                                        std::to_string(declaration);
                const bool wrote = QV_XDOMWrite(direct, &out, nullptr) != nullptr;
                const int code = Q_XMLGetErrCode();
                const std::string expected(qv::writtenText(direct));
                Q_XMLResetErrMsg();
                EXPECT_EQ(QV_XDOMWrite(built, &out, nullptr) != nullptr, wrote) << how;
                EXPECT_EQ(Q_XMLGetErrCode(), code) << how;
                if (wrote) EXPECT_EQ(std::string(qv::writtenText(built)), expected) << how;
                Q_XMLResetErrMsg();
            }
    // Queries and stylesheets see the tree as they see the DOM (texts joined as the
    // view joins them), attributes made without namespaces included.
    EXPECT_EQ(formdump::viewPicture(built), formdump::viewPicture(direct));
    for (const char* expression : {"local-name(//@*[1])", "count(//@*[local-name()='a'])"}) {
        const std::string expected = QV_XDOMEvaluate(direct, expression, nullptr) ?: "<failed>";
        const char* value = QV_XDOMEvaluate(built, expression, nullptr);
        EXPECT_EQ(value ? value : "<failed>", expected) << expression;
    }
    // The mapping reads the tree as it reads the DOM.
    auto readBack = [&](QvHandle input) {
        char* root = nullptr;
        QvDataset r = QV_XMAPOpen(input, d.map, &root, kField, kValue, kSubvalue, kNull, QV_XMAP_READ);
        EXPECT_NE(r, nullptr) << Q_XMLGetErrMsg();
        std::vector<std::string> out;
        char* record = nullptr;
        while (r && QV_XMAPReadNext(r, "T", &record) == 0) out.emplace_back(record);
        QV_XMAPClose(r);
        return out;
    };
    const std::vector<std::string> records = readBack(direct);
    EXPECT_FALSE(records.empty());
    EXPECT_EQ(readBack(built), records);
    EXPECT_EQ(built->isCompact(), c.writtenWithoutDom) << "written, queried and read without its DOM";
    EXPECT_EQ(formdump::nodesPicture(built->domNode()), formdump::nodesPicture(direct->domNode()));
    QV_XDOMClose(direct);
    QV_XDOMClose(built);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuiltForms, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return "case" + std::to_string(info.index);
                         });

}  // namespace
