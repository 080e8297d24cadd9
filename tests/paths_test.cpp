// Column and start paths at load time: normalisation, prefixes, the three-part
// split and the level rule.
#include <gtest/gtest.h>

#include <string>

#include "qvxml.h"
#include "xmap/model.h"
#include "xmap/paths.h"
#include "frame/runtime.h"

namespace {

constexpr const char* kPrefix = "QVXMAP/QVXML_extraction: ";

class Paths : public ::testing::Test {
protected:
    void SetUp() override {
        Q_XMLResetErrMsg();
        model.namespaces.push_back({false, "q", "urn:q"});
        model.namespaces.push_back({false, "p", "urn:p"});
    }
    void TearDown() override { Q_XMLResetErrMsg(); }
    qv::MappingModel model;
};

struct Split {
    const char* path;
    const char* part1;  // null: refused
    const char* part2;  // null: absent
    const char* part3;
    int code;           // last code when refused
};

const Split kSplits[] = {
    {"A/B , C", "A/B", "C", nullptr, 0},
    {"\tA\t", "A", nullptr, nullptr, 0},
    {"A,", "A", nullptr, nullptr, 0},
    {"A,,C", "A", "", "C", 0},
    {"A,B,", "A", "B", nullptr, 0},
    {"A,,", "A", "", nullptr, 0},
    {"A,B,C,", "A", "B", "C,", 0},
    {",B", "", "B", nullptr, 0},
    {"A/@x", "A/@x", nullptr, nullptr, 0},
    {"A,@x", "A", "@x", nullptr, 0},
    {"A,B,text()", "A", "B", "text()", 0},
    {"A/text(),B", "A/text()", "B", nullptr, 0},
    {"A/B/", "A/B/", nullptr, nullptr, 0},
    {"p:A/q:B/", "p:A/q:B", nullptr, nullptr, 0},
    {"A,B,C,D", nullptr, nullptr, nullptr, 3029},
    {"A,B,C,,", nullptr, nullptr, nullptr, 3029},
    {"@x,B", nullptr, nullptr, nullptr, 3029},
    {"A,@x,C", nullptr, nullptr, nullptr, 3029},
    {"xmldata(),B", nullptr, nullptr, nullptr, 3029},
    {"A,XmlData(),C", nullptr, nullptr, nullptr, 3029},
    {":A", nullptr, nullptr, nullptr, 3017},
    {"A/@:x", nullptr, nullptr, nullptr, 3018},
    {"z:A", nullptr, nullptr, nullptr, 3018},
};

TEST_F(Paths, ColumnPathSplit) {
    for (const Split& s : kSplits) {
        SCOPED_TRACE(s.path);
        Q_XMLResetErrMsg();
        qv::MapColumn c;
        c.name = std::string("COL");
        const bool ok = qv::setColumnPath(c, s.path, model, {"Node", "Column"});
        EXPECT_EQ(ok, s.part1 != nullptr);
        EXPECT_EQ(Q_XMLGetErrCode(), s.code);
        if (!ok) continue;
        EXPECT_EQ(qv::cstr(c.part1), std::string(s.part1));
        EXPECT_STREQ(qv::cstr(c.part2), s.part2);
        EXPECT_STREQ(qv::cstr(c.part3), s.part3);
    }
}

TEST_F(Paths, PrefixesAreMarkedReferenced) {
    qv::MapColumn c;
    ASSERT_TRUE(qv::setColumnPath(c, "p:A, @q:b", model, {"Node", "Column"}));
    EXPECT_TRUE(model.namespaces[0].referenced);
    EXPECT_TRUE(model.namespaces[1].referenced);

    qv::MappingModel other;
    other.namespaces.push_back({false, "p", "urn:p"});
    other.namespaces.push_back({false, "q", "urn:q"});
    ASSERT_TRUE(qv::setColumnPath(c, "p:A", other, {"Node", "Column"}));
    EXPECT_TRUE(other.namespaces[0].referenced);
    EXPECT_FALSE(other.namespaces[1].referenced);
}

TEST_F(Paths, RefusalTexts) {
    qv::MapColumn c;
    c.name = std::string("F");
    EXPECT_FALSE(qv::setColumnPath(c, "z:A", model, {"path", "field"}));
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()),
              std::string(kPrefix) + "Cannot find the dinfination for NameSpace z.\n");
    Q_XMLResetErrMsg();
    model.ignoreNameSpace = 1;
    EXPECT_FALSE(qv::setColumnPath(c, "A,B", model, {"path", "field"}) &&
                 qv::setColumnPath(c, "p:A", model, {"path", "field"}));
    EXPECT_EQ(Q_XMLGetErrCode(), 3015);
}

TEST_F(Paths, StartPaths) {
    struct Case {
        const char* in;
        bool extraction;
        const char* out;  // null: refused
        int code;
    };
    const Case cases[] = {
        {"/ROOT/p:REC/", false, "/ROOT/p:REC", 0},
        {"/ROOT/REC/", false, "/ROOT/REC/", 0},
        {" ROOT / REC", false, "ROOT/REC", 0},
        {"/p:R/@a", false, "/p:R/@a", 0},  // only prefixes are checked here
        {"/:R", false, nullptr, 3017},
        {"/", false, "/", 0},
        {"/ROOT/REC", true, "/ROOT/REC", 0},
        {"ROOT/REC", true, nullptr, 3027},
        {"", true, nullptr, 3027},
        {"/ROOT/@id", true, nullptr, 3028},
        {"/x:ROOT", true, nullptr, 3018},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        Q_XMLResetErrMsg();
        std::string path = c.in;
        const bool ok = c.extraction ? qv::normaliseExtractionStart(path, model)
                                     : qv::normaliseStartPath(path, model);
        EXPECT_EQ(ok, c.out != nullptr);
        EXPECT_EQ(Q_XMLGetErrCode(), c.code);
        if (ok) {
            EXPECT_EQ(path, c.out);
        }
    }
}

}  // namespace

namespace {

std::u16string u16(const XMLCh* text) { return text ? std::u16string(text) : u"<null>"; }

// The compiled form both roads follow: step kinds, local names, prefix URIs and
// the last step read as a node or as a value.
TEST_F(Paths, CompiledStepsResolvePrefixesAndLastStepKinds) {
    ASSERT_TRUE(qv::startRuntime(qv::Runtime::Xml));
    qv::HostTranscoder toXml;
    using K = qv::PathStep::Kind;
    qv::CompiledPath value =
        qv::compilePath(std::string("/p:A/./../B/@q:x"), qv::PathUse::Value, model, toXml);
    ASSERT_TRUE(value.present);
    ASSERT_EQ(value.steps.size(), 5u);
    EXPECT_EQ(value.steps[0].kind, K::Element);
    EXPECT_EQ(u16(value.steps[0].local.get()), u"A");
    EXPECT_EQ(u16(value.steps[0].uri.get()), u"urn:p");
    EXPECT_EQ(u16(value.steps[0].qualified.get()), u"p:A");
    EXPECT_EQ(value.steps[1].kind, K::Self);
    EXPECT_EQ(value.steps[2].kind, K::Parent);
    EXPECT_EQ(u16(value.steps[3].uri.get()), u"<null>");
    EXPECT_FALSE(value.steps[3].prefixed);
    EXPECT_EQ(value.steps[4].kind, K::Attribute);
    EXPECT_EQ(u16(value.steps[4].local.get()), u"x");
    EXPECT_EQ(u16(value.steps[4].uri.get()), u"urn:q");
    EXPECT_EQ(value.siblingStep(), nullptr);

    EXPECT_EQ(qv::compilePath(std::string("A/TEXT()"), qv::PathUse::Value, model, toXml)
                  .steps.back().kind, K::Text);
    EXPECT_EQ(qv::compilePath(std::string("xmldata()"), qv::PathUse::Value, model, toXml)
                  .steps.back().kind, K::XmlData);
    // As a node path the same texts are element names; a trailing "/" stays put.
    qv::CompiledPath node = qv::compilePath(std::string("A/B/"), qv::PathUse::Node, model, toXml);
    EXPECT_EQ(node.steps.back().kind, K::Self);
    EXPECT_EQ(qv::compilePath(std::string("A/text()"), qv::PathUse::Node, model, toXml)
                  .siblingStep()->kind, K::Element);
    EXPECT_FALSE(qv::compilePath(qv::Text(), qv::PathUse::Node, model, toXml).present);
}

}  // namespace
