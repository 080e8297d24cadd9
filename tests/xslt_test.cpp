// XSLT transformation: QV_XDOMTransform.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "frame/limits.h"
#include "qvxml.h"
#include "dom_test_support.h"
#include "isolation.h"
#include "xdom/handle.h"
#include "xdom/xslt/transform_options.h"

namespace {

using qvtest::Handle;
using qvtest::open;

std::string data(const char* name) { return std::string(QVXML_TEST_DATA) + "/xslt/" + name; }

std::string str(const void* text) { return text ? static_cast<const char*>(text) : "(null)"; }

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string textStylesheet(const std::string& body) {
    return "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
           "<xsl:output method='text'/>" + body + "</xsl:stylesheet>";
}

const char kDoc[] = "<r><item id='1'>one</item><item id='2'>two</item></r>";

const char kIdentityText[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:output method='xml'/>"
    "<xsl:template match='@*|node()'><xsl:copy><xsl:apply-templates select='@*|node()'/>"
    "</xsl:copy></xsl:template></xsl:stylesheet>";

class Xslt : public ::testing::Test {
protected:
    void SetUp() override { Q_XMLResetErrMsg(); }
};

TEST_F(Xslt, TextResultFromStylesheetText) {
    Handle doc = open(kDoc);
    std::string text = str(QV_XDOMTransform(doc.get(), kIdentityText, 1, QV_RESULT_TEXT, nullptr));
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << text;
    EXPECT_TRUE(contains(text, "<r><item id=\"1\">one</item><item id=\"2\">two</item></r>")) << text;
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
    EXPECT_STREQ(Q_XMLGetErrMsg(), "");
}

TEST_F(Xslt, DomResultFromStylesheetFile) {
    Handle doc = open(kDoc);
    std::string identity = data("identity.xsl");
    Handle result(static_cast<QvHandle>(
        QV_XDOMTransform(doc.get(), identity.c_str(), 0, QV_RESULT_DOM, nullptr)));
    ASSERT_NE(result, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(QV_XDOMIsDoc(result.get()), 1);
    EXPECT_NE(result->builtDom(), doc->builtDom());
    for (const char* expression : {"count(//item)", "string(/r/item[2]/@id)", "string(/r)"}) {
        std::string expected = str(QV_XDOMEvaluate(doc.get(), expression, nullptr));
        EXPECT_EQ(str(QV_XDOMEvaluate(result.get(), expression, nullptr)), expected);
    }
    result.reset();  // releases the result document, not the source
    EXPECT_EQ(str(QV_XDOMEvaluate(doc.get(), "count(//item)", nullptr)), "2");
}

TEST_F(Xslt, FileResultReturnsThePointerPassed) {
    Handle doc = open(kDoc);
    std::string out = ::testing::TempDir() + "qvxml_xslt_out.xml";
    std::remove(out.c_str());
    const char* outputFile = out.c_str();
    EXPECT_EQ(QV_XDOMTransform(doc.get(), kIdentityText, 1, QV_RESULT_FILE, outputFile),
              outputFile);
    std::ifstream in(out);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_TRUE(contains(written.str(), "<item id=\"2\">two</item>")) << written.str();
    std::remove(out.c_str());
}

// A stylesheet whose variables double a string: a few steps, gigabytes of text.
std::string doublingStylesheet(int doublings) {
    std::string body = "<xsl:template match='/'><xsl:variable name='v0' select=\"'xxxxxxxx'\"/>";
    for (int i = 1; i <= doublings; ++i) {
        const std::string previous = "$v" + std::to_string(i - 1);
        body += "<xsl:variable name='v" + std::to_string(i) + "' select='concat(" + previous + "," +
                previous + ")'/>";
    }
    return textStylesheet(body + "<xsl:value-of select='string-length($v" +
                          std::to_string(doublings) + ")'/></xsl:template>");
}

TEST_F(Xslt, FailuresReport16) {
    Handle doc = open(kDoc);
    std::string broken = data("broken.xsl");
    std::string missing = data("no-such-stylesheet.xsl");
    struct {
        std::string stylesheet;
        int isText;
        int kind;
        const char* part;  // in the message
        int depth = qv::limits::kMaxTransformDepth;  // the nesting limit in force
        unsigned long steps = qv::limits::kMaxTransformSteps;  // the instruction limit in force
        unsigned long output = qv::limits::kMaxTransformOutput;  // the result's limit in force
    } cases[] = {
        {broken, 0, QV_RESULT_TEXT, "DOM transform error: "},
        {missing, 0, QV_RESULT_TEXT, "DOM transform error: "},
        {"<xsl:stylesheet", 1, QV_RESULT_TEXT, "DOM transform error: "},
        {textStylesheet("<xsl:template match='/'><xsl:value-of select='nope()'/></xsl:template>"),
         1, QV_RESULT_TEXT, "DOM transform error: "},
        {textStylesheet("<xsl:template match='/'><xsl:message terminate='yes'>stop"
                        "</xsl:message></xsl:template>"),
         1, QV_RESULT_TEXT, "DOM transform error: "},
        // A document has one element at the top.
        {"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         "<xsl:template match='/'><a/><b/></xsl:template></xsl:stylesheet>",
         1, QV_RESULT_DOM, "XalanDOMException"},
        {data("endless.xsl"), 0, QV_RESULT_TEXT, "transformation stopped: its templates nest deeper"},
        {data("endless.xsl"), 0, QV_RESULT_DOM, "transformation stopped: its templates nest deeper",
         1000},
        {doublingStylesheet(40), 1, QV_RESULT_TEXT, "transformation stopped: it holds more than 1024 MiB"},
        // Calls that branch: 2^40 of them, never more than 40 deep, and no output.
        {textStylesheet("<xsl:template match='/'><xsl:call-template name='b'>"
                        "<xsl:with-param name='n' select='40'/></xsl:call-template></xsl:template>"
                        "<xsl:template name='b'><xsl:param name='n'/><xsl:if test='$n &gt; 0'>"
                        "<xsl:call-template name='b'><xsl:with-param name='n' select='$n - 1'/>"
                        "</xsl:call-template><xsl:call-template name='b'>"
                        "<xsl:with-param name='n' select='$n - 1'/></xsl:call-template>"
                        "</xsl:if></xsl:template>"),
         1, QV_RESULT_TEXT, "transformation stopped: more than 100000 steps",
         qv::limits::kMaxTransformDepth, 100000},
        // A result longer than its limit, whichever formatter writes it: the one for
        // text, the caller's DOM builder, the HTML writer Xalan switches to itself.
        {textStylesheet("<xsl:template match='/'><r>" + std::string(1500, 'x') +
                        "</r></xsl:template>"),
         1, QV_RESULT_TEXT, "transformation stopped: the result is longer than 1000 characters",
         qv::limits::kMaxTransformDepth, qv::limits::kMaxTransformSteps, 1000},
        {textStylesheet("<xsl:template match='/'><r a='" + std::string(1500, 'x') +
                        "'/></xsl:template>"),
         1, QV_RESULT_DOM, "transformation stopped: the result is longer than 1000 characters",
         qv::limits::kMaxTransformDepth, qv::limits::kMaxTransformSteps, 1000},
        {"<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
         "<xsl:template match='/'><html><p>" + std::string(1500, 'x') +
         "</p></html></xsl:template></xsl:stylesheet>",
         1, QV_RESULT_TEXT, "transformation stopped: the result is longer than 1000 characters",
         qv::limits::kMaxTransformDepth, qv::limits::kMaxTransformSteps, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stylesheet.substr(0, 120));
        qv::limits::Lowered<int> depth(qv::limits::kMaxTransformDepth, c.depth);
        qv::limits::Lowered<unsigned long> steps(qv::limits::kMaxTransformSteps, c.steps);
        qv::limits::Lowered<unsigned long> output(qv::limits::kMaxTransformOutput, c.output);
        Q_XMLResetErrMsg();
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(QV_XDOMTransform(doc.get(), c.stylesheet.c_str(), c.isText, c.kind, nullptr),
                  nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(Q_XMLGetDOMStatus(), 16);
        EXPECT_EQ(Q_XMLGetErrCode(), 16);
        std::string message = Q_XMLGetErrMsg();
        EXPECT_EQ(message.rfind("DOM transform error: ", 0), 0u) << message;
        EXPECT_TRUE(contains(message, c.part)) << message;
    }
    // The handle is still usable after every failure.
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), textStylesheet(
        "<xsl:template match='/'><xsl:value-of select='count(//item)'/></xsl:template>").c_str(),
        1, QV_RESULT_TEXT, nullptr)), "2");
}

// One instruction can grow what a transformation holds by any factor (a string of
// four copies of the last, 4 GB at the fourteenth call): strings are checked as
// they are made, so the limit holds well inside a 2 GB address space.
TEST_F(Xslt, MemoryLimitHoldsWhereStringsGrow) {
    if (qvtest::kAddressSanitizer) GTEST_SKIP() << "an address-space cap: release builds only";
    Handle doc = open(kDoc);
    const std::string quadrupling = textStylesheet(
        "<xsl:template match='/'><xsl:call-template name='grow'>"
        "<xsl:with-param name='s' select=\"'xxxxxxxx'\"/></xsl:call-template></xsl:template>"
        "<xsl:template name='grow'><xsl:param name='s'/><xsl:call-template name='grow'>"
        "<xsl:with-param name='s' select='concat($s, $s, $s, $s)'/></xsl:call-template>"
        "</xsl:template>");
    EXPECT_EQ(qvtest::inCappedChild(std::size_t(2) << 30, [&] {
                  return !QV_XDOMTransform(doc.get(), quadrupling.c_str(), 1, QV_RESULT_TEXT, nullptr) &&
                         Q_XMLGetDOMStatus() == 16 &&
                         contains(Q_XMLGetErrMsg(), "transformation stopped: it holds more than 1024 MiB");
              }),
              "ok");
}

// Shapes that Xalan builds or runs recursively are refused before it sees them:
// 100,000 nested parentheses in a select crashed the process, 20,000 nested
// elements ran for minutes.
TEST_F(Xslt, HostileStylesheetsAreRefused) {
    Handle doc = open(kDoc);
    auto nested = [](const std::string& open, const std::string& close, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += open;
        for (int i = 0; i < n; ++i) s += close;
        return s;
    };
    const std::string deep(100000, '(');
    const std::string parens = deep + "1" + std::string(100000, ')');
    const std::string stylesheetFile = "hostile_stylesheet.xsl";
    const std::string fileText =
        textStylesheet("<xsl:template match='/'>" + nested("<e>", "</e>", 20000) + "</xsl:template>");
    {
        std::ofstream out(stylesheetFile);
        out << fileText;
    }
    const struct {
        std::string stylesheet;
        int isText;
        const char* part;
    } cases[] = {
        {textStylesheet("<xsl:template match='/'><xsl:value-of select='" + parens + "'/></xsl:template>"),
         1, "stylesheet refused: The expression is longer than"},
        {textStylesheet("<xsl:template match='/'><xsl:value-of select='" +
                        std::string(1500, '(') + "1" + std::string(1500, ')') + "'/></xsl:template>"),
         1, "stylesheet refused: The expression nests parentheses and brackets deeper than 1000"},
        {textStylesheet("<xsl:template match='/'><e a='{" + std::string(1500, '(') + "1" +
                        std::string(1500, ')') + "}'/></xsl:template>"),
         1, "stylesheet refused: The expression nests parentheses and brackets deeper than 1000"},
        {textStylesheet("<xsl:template match='/'>" +
                        nested("<xsl:if test='1'>", "</xsl:if>", 100000) + "</xsl:template>"),
         1, "stylesheet refused: elements are nested deeper than 1000 levels"},
        {stylesheetFile, 0, "stylesheet refused: elements are nested deeper than 1000 levels"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        Q_XMLResetErrMsg();
        EXPECT_EQ(QV_XDOMTransform(doc.get(), c.stylesheet.c_str(), c.isText, QV_RESULT_TEXT, nullptr),
                  nullptr);
        EXPECT_EQ(Q_XMLGetDOMStatus(), 16);
        std::string message = Q_XMLGetErrMsg();
        EXPECT_EQ(message.rfind("DOM transform error: stylesheet refused: ", 0), 0u) << message;
        EXPECT_TRUE(contains(message, c.part)) << message;
    }
    std::remove(stylesheetFile.c_str());
    // Nesting that real stylesheets use stays well inside the bound.
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), textStylesheet(
        "<xsl:template match='/'>" + nested("<xsl:if test='1'>", "</xsl:if>", 900) +
        "</xsl:template>").c_str(), 1, QV_RESULT_TEXT, nullptr)), "");
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0) << Q_XMLGetErrMsg();
}

// Numbers of any size from document data come out of xsl:value-of, attribute
// value templates and xsl:number-free string conversions in the XPath form.
TEST_F(Xslt, LargeNumbersFromDataAreWrittenInTheXPathForm) {
    const std::string googol = "1" + std::string(100, '0');
    Handle doc = open(("<r><n>" + googol + "</n><n>-" + googol + "</n></r>").c_str());
    const std::string stylesheet =
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:output method='xml' omit-xml-declaration='yes'/>"
        "<xsl:template match='/'><o a='{/r/n[1] * 1}' b='{sum(/r/n) + /r/n[2] * 2}'>"
        "<xsl:value-of select='/r/n[1] * 10'/>|<xsl:value-of select='/r/n[2] div 3'/>|"
        "<xsl:value-of select='string(/r/n[1] * /r/n[1])'/>|<xsl:value-of select='-0'/>"
        "</o></xsl:template></xsl:stylesheet>";
    const std::string out =
        str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr));
    EXPECT_EQ(out, "<o a=\"" + googol + "\" b=\"-2" + std::string(100, '0') + "\">" + googol +
                       "0|-3333333333333333" + std::string(84, '0') + "|1" +
                       std::string(200, '0') + "|0</o>")
        << Q_XMLGetErrMsg();
}

// "evaluate" runs text as an expression past every check on expressions, and
// str:padding builds any length from one number: the first is not available,
// the second is held to the output limit. Queries never see extension functions,
// whether a transformation ran before or not.
TEST_F(Xslt, ExtensionFunctions) {
    Handle doc = open(kDoc);
    const char kDyn[] = "xmlns:dyn='http://exslt.org/dynamic'";
    const char kXalan[] = "xmlns:xalan='http://xml.apache.org/xalan'";
    const char kStr[] = "xmlns:str='http://exslt.org/strings'";
    auto stylesheet = [](const char* ns, const std::string& select) {
        return "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform' " +
               std::string(ns) + "><xsl:output method='text'/><xsl:template match='/'>" +
               "<xsl:value-of select=\"" + select + "\"/></xsl:template></xsl:stylesheet>";
    };
    auto queries = [&] {
        for (const char* expression : {"dyn:evaluate('1 + 1')", "xalan:evaluate('1 + 1')",
                                       "str:padding(3, 'x')"}) {
            SCOPED_TRACE(expression);
            Q_XMLResetErrMsg();
            EXPECT_EQ(QV_XDOMEvaluate(doc.get(), expression,
                                      "xmlns:dyn=http://exslt.org/dynamic "
                                      "xmlns:xalan=http://xml.apache.org/xalan "
                                      "xmlns:str=http://exslt.org/strings"),
                      nullptr);
            EXPECT_EQ(Q_XMLGetDOMStatus(), 31);
            EXPECT_TRUE(contains(Q_XMLGetErrMsg(), "' is not available")) << Q_XMLGetErrMsg();
        }
    };
    queries();
    const struct {
        std::string stylesheet;
        const char* result;  // nullptr: fails with 16 and `message`
        const char* message;
    } cases[] = {
        {stylesheet(kDyn, "dyn:evaluate('1 + 1')"), nullptr,
         "stylesheet refused: the function 'dyn:evaluate' is not available"},
        {stylesheet(kXalan, "xalan:evaluate \n('1 + 1')"), nullptr,
         "stylesheet refused: the function 'xalan:evaluate' is not available"},
        {stylesheet(kDyn, "concat('{', dyn:evaluate(/r/item), '}')"), nullptr,
         "stylesheet refused: the function 'dyn:evaluate' is not available"},
        {stylesheet(kDyn, "function-available('dyn:evaluate')"), "false", nullptr},
        {stylesheet(kStr, "str:padding(5, 'ab')"), "ababa", nullptr},
        {stylesheet(kStr, "concat('[', str:padding(-5), str:padding(0 div 0), ']')"), "[]", nullptr},
        {stylesheet(kStr, "string-length(str:padding(1000000000))"), nullptr,
         "str:padding() stopped: a padding longer than 268435456 characters"},
        {stylesheet(kStr, "string-length(str:padding(1 div 0))"), nullptr,
         "str:padding() stopped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stylesheet);
        Q_XMLResetErrMsg();
        // A padding that gets past the check would take gigabytes: the cap turns
        // that into a failed allocation in a child instead of a host under pressure.
        const std::string ended = qvtest::inCappedChild(std::size_t(2) << 30, [&] {
            void* result = QV_XDOMTransform(doc.get(), c.stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr);
            if (c.result) return str(result) == c.result && Q_XMLGetDOMStatus() == 0;
            return !result && Q_XMLGetDOMStatus() == 16 && contains(Q_XMLGetErrMsg(), c.message);
        });
        ASSERT_EQ(ended, "ok");
        // Safe now in this process; it tells what differs, if anything does.
        void* result = QV_XDOMTransform(doc.get(), c.stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr);
        if (c.result) {
            EXPECT_EQ(str(result), c.result) << Q_XMLGetErrMsg();
        } else {
            EXPECT_EQ(result, nullptr);
            EXPECT_EQ(Q_XMLGetDOMStatus(), 16);
            EXPECT_TRUE(contains(Q_XMLGetErrMsg(), c.message)) << Q_XMLGetErrMsg();
        }
    }
    queries();  // the same after transformations
}

// XPath work inside a transformation is bounded like a query's: the step
// budget of a transformation counts instructions, and one instruction can hold an
// expression whose work grows with a power of the document. (The budget at its
// production size: XPath.WorkIsBounded.)
TEST_F(Xslt, XPathWorkIsBounded) {
    qv::limits::Lowered<unsigned long> budget(qv::limits::kMaxXPathSteps, 1000000);
    std::string blocks;
    for (int i = 0; i < 1000; ++i) blocks += "<a><b><c/></b></a>";
    Handle doc = open(("<r>" + blocks + "</r>").c_str());
    const std::string stylesheet = textStylesheet(
        "<xsl:template match='/'><xsl:value-of select='count(/r/a[b/c])'/>"
        "<xsl:for-each select='/r/a[1]'><xsl:value-of select='count(//a[//b[//c]])'/>"
        "</xsl:for-each></xsl:template>");
    EXPECT_EQ(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 16);
    EXPECT_STREQ(Q_XMLGetErrMsg(),
                 "DOM transform error: transformation stopped: more than 1000000 node steps\n");
}

TEST_F(Xslt, MessagesAreNotPrinted) {
    Handle doc = open(kDoc);
    std::string stylesheet = textStylesheet(
        "<xsl:template match='/'><xsl:message>note</xsl:message>ok</xsl:template>");
    testing::internal::CaptureStderr();
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr)),
              "ok");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Xslt, NodeHandleTransformsTheWholeDocument) {
    Handle doc = open(kDoc);
    Handle item(QV_XDOMLocate(doc.get(), "/r/item[2]", nullptr));
    ASSERT_NE(item, nullptr);
    std::string stylesheet = textStylesheet(
        "<xsl:template match='/'><xsl:for-each select='//item'><xsl:value-of select='.'/>"
        "</xsl:for-each></xsl:template>");
    const char* text = static_cast<const char*>(
        QV_XDOMTransform(item.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr));
    EXPECT_EQ(str(text), "onetwo");
    EXPECT_EQ(text, item->resultText());  // held by the handle passed
}

TEST_F(Xslt, TwoTextTransformsOnOneHandle) {
    Handle doc = open(kDoc);
    std::string first = textStylesheet("<xsl:template match='/'>first</xsl:template>");
    std::string second = textStylesheet("<xsl:template match='/'></xsl:template>");
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), first.c_str(), 1, QV_RESULT_TEXT, nullptr)), "first");
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), second.c_str(), 1, QV_RESULT_TEXT, nullptr)), "");
    EXPECT_STREQ(doc->resultText(), "");
}

TEST_F(Xslt, SourceIsTheCurrentTreeWithoutTheDetachedInstruction) {
    Handle doc = open("<?style x?><r><item/></r>");
    std::string count = textStylesheet(
        "<xsl:template match='/'><xsl:value-of select='count(//item)'/>"
        "<xsl:value-of select='count(/processing-instruction())'/></xsl:template>");
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), count.c_str(), 1, QV_RESULT_TEXT, nullptr)), "10");
    doc->builtDom()->getDocumentElement()->appendChild(doc->builtDom()->createElement(u"item"));
    qv::markChanged(doc.get());
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), count.c_str(), 1, QV_RESULT_TEXT, nullptr)), "20");
}

// Xalan keeps a childless xsl:call-template's target in its first-child slot:
// the compile-time walk over the templates must end whatever the links.
TEST_F(Xslt, CallTemplateShapesCompile) {
    Handle doc = open(kDoc);
    const char* const bodies[] = {
        "<xsl:template name='t'>x</xsl:template>"
        "<xsl:template match='/'><xsl:call-template name='t'/></xsl:template>",
        "<xsl:template name='t'>x</xsl:template><xsl:template match='/'>"
        "<xsl:if test='false()'><xsl:call-template name='t'/></xsl:if>x</xsl:template>",
        "<xsl:template match='/'><xsl:for-each select='//item'><xsl:call-template name='t'/>"
        "</xsl:for-each></xsl:template><xsl:template name='t'>x</xsl:template>",
    };
    for (const char* body : bodies) {
        const std::string stylesheet = textStylesheet(body);
        const std::string text = str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr));
        EXPECT_TRUE(text == "x" || text == "xx") << body << ": " << text << Q_XMLGetErrMsg();
    }
}

TEST_F(Xslt, FormatNumberAndSortAsTheTransformerHasThem) {
    Handle doc = open("<r><w>b</w><w>B</w><w>a</w><w>A</w></r>");
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        {"format-number(1234567.891, '#,##0.00')", "1,234,567.89"},
        {"format-number(0.25, '0%')", "25%"},
        {"format-number(7, '000')", "007"},
        {"format-number(-3.5, '0.0;(0.0)')", "(3.5)"},
        {"format-number(1234.5, '#.##0,00', 'eu')", "1.234,50"},
    };
    for (const auto& c : cases) {
        const std::string stylesheet = textStylesheet(
            std::string("<xsl:decimal-format name='eu' decimal-separator=',' grouping-separator='.'/>"
                        "<xsl:template match='/'><xsl:value-of select=\"") +
            c.expression + "\"/></xsl:template>");
        EXPECT_EQ(str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr)),
                  c.expected)
            << c.expression << Q_XMLGetErrMsg();
    }
    for (const char* order : {"upper-first", "lower-first"}) {
        const std::string stylesheet = textStylesheet(
            std::string("<xsl:template match='/'><xsl:for-each select='//w'>"
                        "<xsl:sort select='.' lang='en' case-order='") +
            order + "'/><xsl:value-of select='.'/></xsl:for-each></xsl:template>");
        EXPECT_EQ(str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr)),
                  std::string(order) == "upper-first" ? "AaBb" : "aAbB");
    }
}

TEST_F(Xslt, OptionsOfTheToolReachTheTransformation) {
    Handle doc = open(kDoc);
    std::vector<std::string> notices;
    qv::TransformOptions options;
    options.parameters = {{"n", "count(//item) + 1", false}, {"s", "it's", true}};
    options.notice = [&](const std::string& line) { notices.push_back(line); };
    const qv::UseTransformOptions use(options);

    std::string stylesheet = textStylesheet(
        "<xsl:param name='n' select='0'/><xsl:param name='s'/><xsl:param name='u' select='\"u\"'/>"
        "<xsl:template match='/'><xsl:message>note <xsl:value-of select='$n'/></xsl:message>"
        "<xsl:value-of select='concat($n, $s, $u)'/></xsl:template>");
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr)),
              "3it'su");
    EXPECT_EQ(notices, std::vector<std::string>{"note 3"});

    notices.clear();
    stylesheet = textStylesheet(
        "<xsl:template match='/'>x<xsl:message terminate='yes'>stop here</xsl:message></xsl:template>");
    EXPECT_EQ(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 16);
    EXPECT_TRUE(contains(Q_XMLGetErrMsg(), "stop here")) << Q_XMLGetErrMsg();
}

// Corrections of Xalan's own behaviour, each where XSLT 1.0 leaves no choice.
TEST_F(Xslt, XalanDeviationsCorrected) {
    Handle doc = open("<r xml:lang='en'><p xml:lang='de'><q/></p><b id='1'/></r>");
    const struct {
        const char* body;
        const char* expected;  // the text result, or the start of the failure's message
    } cases[] = {
        // Written xml:id, never under a made-up prefix declared for the XML namespace.
        {"<xsl:output method='xml' omit-xml-declaration='yes'/><xsl:template match='/'><o>"
         "<xsl:attribute name='id' namespace='http://www.w3.org/XML/1998/namespace'>x"
         "</xsl:attribute></o></xsl:template>",
         "<o xml:id=\"x\"/>"},
        // Ids are names: a letter, then letters and digits; one per node.
        {"<xsl:output method='text'/><xsl:template match='/'>"
         "<xsl:value-of select=\"concat(translate(generate-id(/), "
         "'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789', '') = '', "
         "generate-id(/) = generate-id(/), generate-id(/) != generate-id(//b), "
         "generate-id(//none) = '')\"/></xsl:template>",
         "truetruetruetrue"},
        // A top-level variable sees the root as the only node of its list.
        {"<xsl:output method='text'/><xsl:variable name='p' select='position()'/>"
         "<xsl:variable name='l' select='last()'/><xsl:template match='/'>"
         "<xsl:value-of select='concat($p, $l)'/></xsl:template>",
         "11"},
        // Templates inside a foreign top-level element are data, not templates.
        {"<xsl:output method='text'/><f:data xmlns:f='urn:f'><xsl:template match='b'>foreign"
         "</xsl:template></f:data><xsl:template match='/'>[<xsl:apply-templates select='//b'/>]"
         "</xsl:template>",
         "[]"},
        // An undeclared variable is an error, not the text of Xalan's warning.
        {"<xsl:template match='/'><xsl:value-of select='$undeclared'/></xsl:template>",
         "DOM transform error: XSLT error: The variable 'undeclared' is not defined."},
    };
    for (const auto& c : cases) {
        const std::string stylesheet =
            "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>" +
            std::string(c.body) + "</xsl:stylesheet>";
        Q_XMLResetErrMsg();
        const std::string text =
            str(QV_XDOMTransform(doc.get(), stylesheet.c_str(), 1, QV_RESULT_TEXT, nullptr));
        if (std::string(c.expected).rfind("DOM transform error", 0) == 0) {
            EXPECT_EQ(text, "(null)") << c.body;
            EXPECT_EQ(std::string(Q_XMLGetErrMsg()).rfind(c.expected, 0), 0u) << Q_XMLGetErrMsg();
        } else {
            EXPECT_EQ(text, c.expected) << c.body << Q_XMLGetErrMsg();
        }
    }
    // The nearest xml:lang decides, ignoring case, a sub-language matching.
    const std::string lang = textStylesheet(
        "<xsl:template match='/'><xsl:for-each select='//q|//b'>"
        "<xsl:value-of select=\"concat(lang('en'), '/', lang('DE'), ' ')\"/>"
        "</xsl:for-each></xsl:template>");
    EXPECT_EQ(str(QV_XDOMTransform(doc.get(), lang.c_str(), 1, QV_RESULT_TEXT, nullptr)),
              "false/true true/false ");
    // Queries have the same lang().
    Handle q(QV_XDOMLocate(doc.get(), "//q", nullptr));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(str(QV_XDOMEvaluate(q.get(), "concat(lang('en'), lang('de'))", nullptr)), "falsetrue");
}

}  // namespace
