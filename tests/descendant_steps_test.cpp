// `//X` rewritten to one descendant step: the same results as Xalan's own
// evaluation of the unrewritten expression, for every kind of predicate.
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xalanc/XPath/NodeRefListBase.hpp>
#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathConstructionContextDefault.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XPath/XPathProcessorImpl.hpp>
#include <xalanc/XSLT/XSLTInputSource.hpp>
#include <xalanc/XSLT/XSLTResultTarget.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanTransformer/XalanCompiledStylesheet.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>

#include "dom_test_support.h"
#include "frame/runtime.h"
#include "qvxml.h"
#include "xdom/xpath/descendant_steps.h"
#include "xdom/handle.h"
#include "xdom/xpath/namespace_map.h"
#include "xdom/xpath/xalan_memory.h"
#include "xdom/xpath/xpath_context.h"

namespace {

using qvtest::Handle;

// Names repeat at several depths (a LINE inside a LINE, a LINE at the top), so
// that a merge in the wrong order or a lost duplicate shows.
const char kOrders[] =
    "<ORDERS xmlns:x='urn:x'>"
    "<ORDER id='1'><LINE id='a'><QTY>2</QTY><LINE id='n1'><QTY>1</QTY></LINE></LINE>"
    "<LINE id='b'><QTY>3</QTY></LINE><x:LINE id='ns'><QTY>2</QTY></x:LINE></ORDER>"
    "<!-- note --><ORDER id='2'><LINE><QTY>2</QTY></LINE>text<LINE id='c'/></ORDER>"
    "<LINE id='top'><?pi?></LINE>"
    "</ORDERS>";

struct Outcome {
    std::vector<const xalanc::XalanNode*> nodes;  // a node-set, in its order
    std::u16string text;                          // the string value
    int rewritten = 0;
};

Outcome evaluate(QvHandle doc, const char* expression, bool rewrite) {
    xercesc::MemoryManager& memory = qv::xalanMemory();
    doc->domNode();  // documents open in their compact form
    qv::XPathContext& context = doc->xpathView();
    std::unique_ptr<xalanc::PrefixResolver> prefixes =
        qv::prefixResolverFor(context.namespaces, *context.document, nullptr);
    xalanc::XPath xpath(memory);
    xalanc::XPathConstructionContextDefault construction(memory);
    xalanc::XPathProcessorImpl parser(memory);
    parser.initXPath(xpath, construction, xalanc::XalanDOMString(expression, memory), *prefixes);
    Outcome outcome;
    if (rewrite) outcome.rewritten = qv::rewriteDescendantSteps(xpath);
    xalanc::XPathEvaluator evaluator;
    xalanc::XObjectPtr result = evaluator.evaluate(*context.support, context.document, xpath, *prefixes);
    if (result->getType() == xalanc::XObject::eTypeNodeSet) {
        const xalanc::NodeRefListBase& nodes = result->nodeset();
        for (xalanc::NodeRefListBase::size_type i = 0; i < nodes.getLength(); ++i)
            outcome.nodes.push_back(nodes.item(i));
    }
    outcome.text = result->str().c_str();
    return outcome;
}

struct Case {
    const char* expression;
    int rewrites;  // pairs rewritten
};

TEST(DescendantSteps, RewrittenExpressionsSelectWhatXalanSelects) {
    Handle doc(QV_XDOMOpen(kOrders, 1));
    ASSERT_NE(doc, nullptr) << Q_XMLGetErrMsg();
    const Case cases[] = {
        {"//LINE", 1},
        {"//LINE[QTY=2]", 1},              // predicates by value
        {"//LINE[@id]", 1},
        {"//LINE[not(@id)]", 1},
        {"//LINE[contains(@id, 'n')]", 1},
        {"//LINE[string(@id)]", 1},
        {"//LINE[(QTY)]", 1},
        {"//LINE[QTY][@id]", 1},
        {"//LINE[QTY[1] = 2]", 1},         // a position inside the predicate's own path
        {"//LINE[1]", 0},                  // positional: kept
        {"//LINE[position() = 2]", 0},
        {"//LINE[last()]", 0},
        {"//LINE[count(QTY)]", 0},         // a number compares with the position
        {"//LINE[QTY + 1]", 0},
        {"//LINE[QTY][2]", 0},
        {"//ORDER//LINE", 2},              // nested
        {"//LINE//LINE", 2},
        {"//ORDER[@id = 2]//LINE", 2},
        {"/ORDERS/ORDER//QTY[. > 1]", 1},
        {".//LINE", 1},
        {"//LINE/..", 1},
        {"//ORDER/LINE[1]", 1},
        {"//ORDER[.//QTY = 3]", 2},        // inside a predicate
        {"//LINE | //QTY", 2},             // union
        {"(//LINE)[2]", 1},
        {"//x:LINE", 1},                   // namespaces
        {"//@id", 0},                      // the attribute axis is not a child step
        {"//descendant::LINE", 0},
        {"//*", 1},
        {"//node()", 1},
        {"//text()", 1},
        {"//comment()", 1},
        {"//processing-instruction()", 1},
        {"count(//LINE)", 1},
        {"sum(//LINE/QTY)", 1},
        {"string(//LINE[2]/@id)", 0},
        {"string(//LINE[QTY=3]/@id)", 1},
        {"boolean(//ORDER[@id=3])", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        const Outcome before = evaluate(doc.get(), c.expression, false);
        const Outcome after = evaluate(doc.get(), c.expression, true);
        EXPECT_EQ(after.rewritten, c.rewrites);
        EXPECT_EQ(after.nodes, before.nodes);
        EXPECT_EQ(after.text, before.text);
    }
}

// The exports query with the rewrite: a positional predicate keeps its meaning.
TEST(DescendantSteps, ExportsKeepPositionalPredicates) {
    Handle doc(QV_XDOMOpen(kOrders, 1));
    ASSERT_NE(doc, nullptr) << Q_XMLGetErrMsg();
    EXPECT_STREQ(QV_XDOMEvaluate(doc.get(), "count(//LINE[1])", nullptr), "4");
    EXPECT_STREQ(QV_XDOMEvaluate(doc.get(), "count(//LINE[@id])", nullptr), "5");
    EXPECT_STREQ(QV_XDOMEvaluate(doc.get(), "string(//LINE[QTY=3]/@id)", nullptr), "b");
    EXPECT_STREQ(QV_XDOMEvaluate(doc.get(), "count(//*)", nullptr), "15");
}

// Every kind of expression a stylesheet holds: selects, tests, a variable, a
// match pattern's predicate, positional predicates that must stay as they are.
const char kStylesheet[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'"
    " xmlns:x='urn:x'>"
    "<xsl:output method='text'/>"
    "<xsl:template match='/'>"
    "<xsl:for-each select='//LINE[QTY=2]'><xsl:value-of select='@id'/>,</xsl:for-each>|"
    "<xsl:for-each select='//LINE[1]'><xsl:value-of select='@id'/>,</xsl:for-each>|"
    "<xsl:value-of select='count(//*)'/>|"
    "<xsl:if test='//x:LINE'>ns</xsl:if>|"
    "<xsl:apply-templates select='//ORDER'/>|"
    "<xsl:variable name='all' select='//QTY'/><xsl:value-of select='sum($all)'/>|"
    "<xsl:for-each select='//LINE'><xsl:sort select='@id'/><xsl:value-of select='@id'/>,"
    "</xsl:for-each>|"
    "<xsl:choose><xsl:when test=\"//LINE[@id='c']\">c</xsl:when></xsl:choose>|"
    "<xsl:value-of select=\"count(//QTY[generate-id(.) != ''])\"/>"  // a function of XSLT's
    "</xsl:template>"
    "<xsl:template match='ORDER[.//QTY = 3]'>big<xsl:value-of select='count(.//LINE)'/>;"
    "</xsl:template>"
    "<xsl:template match='ORDER'>small<xsl:value-of select='count(.//LINE[2])'/>;</xsl:template>"
    "</xsl:stylesheet>";

std::string transformWith(xalanc::XalanTransformer& transformer,
                          const xalanc::XalanCompiledStylesheet* stylesheet) {
    xercesc::MemoryManager& memory = qv::xalanMemory();
    std::istringstream in(kOrders);
    xalanc::XSLTInputSource source(&in, memory);
    std::ostringstream out;
    xalanc::XSLTResultTarget target(out, memory);
    if (transformer.transform(source, stylesheet, target) != 0) return transformer.getLastError();
    return out.str();
}

TEST(DescendantSteps, StylesheetsTransformAsXalanDoes) {
    ASSERT_TRUE(qv::startRuntime(qv::Runtime::Xslt));
    xalanc::XalanTransformer transformer;
    const xalanc::XalanCompiledStylesheet* asCompiled = nullptr;
    const xalanc::XalanCompiledStylesheet* rewritten = nullptr;
    std::istringstream text1(kStylesheet), text2(kStylesheet);
    ASSERT_EQ(transformer.compileStylesheet(xalanc::XSLTInputSource(&text1), asCompiled), 0)
        << transformer.getLastError();
    ASSERT_EQ(transformer.compileStylesheet(xalanc::XSLTInputSource(&text2), rewritten), 0);
    // Every `//` pair but the two positional ones (//LINE[1], .//LINE[2]).
    EXPECT_EQ(qv::rewriteDescendantSteps(*rewritten->getStylesheetRoot()), 10);

    const std::string expected = transformWith(transformer, asCompiled);
    EXPECT_EQ(expected, "a,,|a,n1,,top,|15|ns|big3;small1;|10|,a,b,c,n1,top,|c|5");
    EXPECT_EQ(transformWith(transformer, rewritten), expected);

    // The export rewrites what it compiles, with the same result.
    Handle doc(QV_XDOMOpen(kOrders, 1));
    ASSERT_NE(doc, nullptr) << Q_XMLGetErrMsg();
    const char* result = static_cast<const char*>(
        QV_XDOMTransform(doc.get(), kStylesheet, 1, QV_RESULT_TEXT, nullptr));
    ASSERT_NE(result, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(result, expected);
}

}  // namespace
