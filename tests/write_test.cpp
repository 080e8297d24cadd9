// Documents and subtrees back to text: defaults, settings, files, failure rules,
// the detached processing instruction and CDATA sections holding "]]>".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <xercesc/dom/DOMCDATASection.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>

#include "frame/errors.h"
#include "xdom/handle.h"
#include "xdom/writing/serialize.h"
#include "xdom/set_aside_pi.h"
#include "frame/transcode.h"
#include "dom_test_support.h"

using namespace qvtest;
using xercesc::DOMNode;

namespace {

class Write : public XdomTest {};

QvDocSettings settings(const char* outEncoding, const char* lineEnd, bool pretty = true) {
    QvDocSettings s;
    std::memset(&s, 0, sizeof s);
    std::snprintf(s.outEncoding, sizeof s.outEncoding, "%s", outEncoding);
    std::snprintf(s.lineEnd, sizeof s.lineEnd, "%s", lineEnd);
    s.xmlDeclaration = 1;
    s.prettyPrint = pretty ? 1 : 0;
    s.splitCdata = 1;
    s.discardDefault = 1;
    return s;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The text content of the first element named `name`, read back by the parser.
std::string readBack(const char* xml, const char* name) {
    Handle h(QV_XDOMOpen(xml, 1));
    if (!h.get()) return "(parse failed: " + std::string(Q_XMLGetErrMsg()) + ")";
    qv::XmlText tag = qv::toXmlText(name);
    h.get()->domNode();
    return qv::localText(
        h.get()->builtDom()->getElementsByTagName(tag.get())->item(0)->getTextContent());
}

TEST_F(Write, DefaultsArePrettyPrintedInTheDocumentsEncoding) {
    const std::string path = dataPath("one.xml");
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    ASSERT_NE(h.get(), nullptr);
    const char* text = QV_XDOMWrite(h, nullptr, nullptr);
    ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
    const std::string s = text;
    EXPECT_EQ(s.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\" ?>\n", 0), 0u) << s;
    EXPECT_NE(s.find("\n  <item>first</item>\n"), std::string::npos) << s;
    EXPECT_EQ(s.find('\r'), std::string::npos);
    // The text is the handle's until the next write through it.
    EXPECT_EQ(text, h.get()->resultText());
    const char* again = QV_XDOMWrite(h, nullptr, nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::string(again), s);
}

TEST_F(Write, LineEndNamesAreCaseSensitive) {
    Handle h(QV_XDOMOpen("<r><a>x</a><b/></r>", 1));
    ASSERT_NE(h.get(), nullptr);
    struct Case {
        const char* lineEnd;
        bool crlf;  // every line feed follows a carriage return
        bool lf;    // line feeds at all
    };
    const Case cases[] = {
        {"CR-LF", true, true}, {"cr-lf", false, true}, {"CR", false, false},
        {"LF", false, true},   {"", false, true},      {"crlf", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lineEnd);
        QvDocSettings s = settings("", c.lineEnd);
        const char* text = QV_XDOMWrite(h, &s, nullptr);
        ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
        const std::string out = text;
        size_t lf = 0, crlf = 0, cr = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            if (out[i] == '\n') ++lf;
            if (out[i] == '\r') ++cr;
            if (out[i] == '\n' && i > 0 && out[i - 1] == '\r') ++crlf;
        }
        EXPECT_EQ(lf > 0, c.lf) << out;
        if (c.crlf) {
            EXPECT_EQ(crlf, lf) << out;
        } else if (c.lf) {
            EXPECT_EQ(cr, 0u) << out;
        } else {
            EXPECT_GT(cr, 0u) << out;
        }
    }
}

TEST_F(Write, OutputEncodingFromTheRecordElseTheDocument) {
    const std::string path = dataPath("one.xml");
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    ASSERT_NE(h.get(), nullptr);
    struct Case {
        const char* outEncoding;
        const char* declared;
    };
    const Case cases[] = {{"", "ISO-8859-1"}, {"UTF-8", "UTF-8"}, {"US-ASCII", "US-ASCII"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outEncoding);
        QvDocSettings s = settings(c.outEncoding, "");
        const char* text = QV_XDOMWrite(h, &s, nullptr);
        ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
        EXPECT_NE(std::string(text).find(std::string("encoding=\"") + c.declared + "\""),
                  std::string::npos)
            << text;
    }
}

TEST_F(Write, UnknownOrUnterminatedOutputEncoding) {
    Handle h(QV_XDOMOpen("<r>x</r>", 1));
    ASSERT_NE(h.get(), nullptr);
    QvDocSettings s = settings("NO-SUCH-ENCODING", "");
    EXPECT_EQ(QV_XDOMWrite(h, &s, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 4002);
    EXPECT_EQ(linesStartingWith("XDOMWrite: the XML text could not be written: "), 1)
        << Q_XMLGetErrMsg();
    EXPECT_NE(std::string(Q_XMLGetErrMsg()).find("NO-SUCH-ENCODING"), std::string::npos)
        << Q_XMLGetErrMsg();

    Q_XMLResetErrMsg();
    s = settings("", "");
    std::memset(s.outEncoding, 'A', sizeof s.outEncoding);
    std::memset(s.lineEnd, 'B', sizeof s.lineEnd);
    EXPECT_EQ(QV_XDOMWrite(h, &s, nullptr), nullptr);  // a name of 40 letters "A"
    EXPECT_EQ(Q_XMLGetDOMStatus(), 4002);
    EXPECT_NE(std::string(Q_XMLGetErrMsg()).find(std::string(40, 'A') + "'"), std::string::npos)
        << Q_XMLGetErrMsg();
}

TEST_F(Write, NodeHandleWritesItsSubtree) {
    Handle doc(QV_XDOMOpen("<?xml version='1.0' encoding='ISO-8859-1'?><r><item a='1'>caf\xe9</item><x/></r>", 1));
    ASSERT_NE(doc.get(), nullptr) << Q_XMLGetErrMsg();
    doc.get()->domNode();
    DOMNode* item = doc.get()->builtDom()->getDocumentElement()->getFirstChild();
    Handle node(qv::makeNodeHandle(doc.get(), item));
    const char* text = QV_XDOMWrite(node, nullptr, nullptr);
    ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
    // In the document's encoding: one byte for the accented letter. The pretty
    // printer starts an element on a new line.
    EXPECT_STREQ(text, "\n<item a=\"1\">caf\xe9</item>");
    EXPECT_EQ(text, node.get()->resultText());
    EXPECT_EQ(doc.get()->resultText(), nullptr);
}

// With entities off the writer looks references up in the document type: a
// document without one writes them as themselves.
TEST_F(Write, EntityReferenceWithoutDocumentType) {
    QvDocSettings settings{};
    for (const char* xml : {"<r/>", "<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY y 'why'>]><r/>"}) {
        SCOPED_TRACE(xml);
        Handle doc(QV_XDOMOpen(xml, 1));
        ASSERT_NE(doc.get(), nullptr) << Q_XMLGetErrMsg();
        Handle ref(QV_XDOMCreateNode(doc.get(), "x", "", QV_NODE_ENTITY_REFERENCE));
        ASSERT_NE(ref.get(), nullptr) << Q_XMLGetErrMsg();
        for (char entities : {0, 1}) {
            settings.entities = entities;
            const char* text = QV_XDOMWrite(ref.get(), &settings, nullptr);
            ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
            EXPECT_STREQ(text, "&x;");
        }
        Handle root(QV_XDOMLocate(doc.get(), "/r", nullptr));
        ASSERT_EQ(QV_XDOMAddChild(root.get(), ref.get()), 0) << Q_XMLGetErrMsg();
        settings.entities = 0;
        const char* text = QV_XDOMWrite(doc.get(), &settings, nullptr);
        ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
        EXPECT_NE(std::string(text).find("<r>&x;</r>"), std::string::npos) << text;
    }
}

TEST_F(Write, FileWriteReturnsThePointerPassed) {
    Handle h(QV_XDOMOpen("<r><a>x</a></r>", 1));
    ASSERT_NE(h.get(), nullptr);
    const char* inMemory = QV_XDOMWrite(h, nullptr, nullptr);
    ASSERT_NE(inMemory, nullptr);
    const std::string expected = inMemory;
    const std::string file = ::testing::TempDir() + "qvxml_write_test.xml";
    const char* result = QV_XDOMWrite(h, nullptr, file.c_str());
    EXPECT_EQ(result, file.c_str());
    EXPECT_EQ(readFile(file), expected);
    EXPECT_EQ(h.get()->resultText(), inMemory);  // untouched
    EXPECT_EQ(std::string(inMemory), expected);
    std::remove(file.c_str());
}

TEST_F(Write, UnwritablePathIsAnXmlException) {
    Handle h(QV_XDOMOpen("<r/>", 1));
    ASSERT_NE(h.get(), nullptr);
    const std::string longName = ::testing::TempDir() + std::string(5000, 'n') + ".xml";
    for (const std::string& path : {std::string("/no/such/dir/out.xml"), longName}) {
        Q_XMLResetErrMsg();
        EXPECT_EQ(QV_XDOMWrite(h, nullptr, path.c_str()), nullptr);
        EXPECT_GE(Q_XMLGetDOMStatus(), 2000);
        EXPECT_LT(Q_XMLGetDOMStatus(), 3000);
        EXPECT_EQ(linesStartingWith("An XML exception occured. Message: "), 1) << Q_XMLGetErrMsg();
    }
}

TEST_F(Write, AnUnresetErrorMakesTheWriteFail) {
    Handle h(QV_XDOMOpen("<r/>", 1));
    ASSERT_NE(h.get(), nullptr);
    qv::report(qv::Error::NoSuchNode);
    EXPECT_EQ(QV_XDOMWrite(h, nullptr, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 12);
    EXPECT_EQ(h.get()->resultText(), nullptr);
    Q_XMLResetErrMsg();
    EXPECT_NE(QV_XDOMWrite(h, nullptr, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
}

TEST_F(Write, NoEncodingAnywhereIsCode14) {
    Handle doc(QV_XDOMOpen("<r><a/></r>", 1));
    ASSERT_NE(doc.get(), nullptr);
    doc.get()->domNode();
    doc.get()->setEncoding(nullptr);
    Handle node(qv::makeNodeHandle(doc.get(), doc.get()->builtDom()->getDocumentElement()));
    for (QvHandle h : {doc.get(), node.get()}) {
        Q_XMLResetErrMsg();
        EXPECT_EQ(QV_XDOMWrite(h, nullptr, nullptr), nullptr);
        EXPECT_EQ(Q_XMLGetDOMStatus(), 14);
        EXPECT_STREQ(Q_XMLGetErrMsg(), "No encoding was defined on the dom.\n");
    }
}

TEST_F(Write, DetachedProcessingInstructionIsWrittenInItsPlace) {
    const std::string path = dataPath("stylesheet_pi.xml");
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    ASSERT_NE(h.get(), nullptr);
    h.get()->domNode();
    xercesc::DOMDocument* doc = h.get()->builtDom();
    const std::string original = QV_XDOMWrite(h, nullptr, nullptr);
    // What the XPath view does when it is built: the first PI leaves the tree.
    DOMNode* pi = doc->getFirstChild();
    ASSERT_EQ(pi->getNodeType(), DOMNode::PROCESSING_INSTRUCTION_NODE);
    DOMNode* next = pi->getNextSibling();
    qv::setAsideFirstPI(h.get());
    qv::SetAsidePI* aside = qv::setAsidePI(h.get());
    ASSERT_NE(aside, nullptr);
    ASSERT_EQ(aside->pi, pi);
    ASSERT_FALSE(aside->later.empty());
    ASSERT_EQ(aside->later.front(), next);
    ASSERT_EQ(doc->getFirstChild(), next);

    const char* text = QV_XDOMWrite(h, nullptr, nullptr);
    ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(std::string(text), original);
    EXPECT_EQ(doc->getFirstChild(), next);  // out of the tree again
    EXPECT_EQ(pi->getParentNode(), nullptr);

    // A node handle's write leaves it out.
    Handle root(qv::makeNodeHandle(h.get(), doc->getDocumentElement()));
    text = QV_XDOMWrite(root, nullptr, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text).find("xml-stylesheet"), std::string::npos);

    // Also on a failing write.
    EXPECT_EQ(QV_XDOMWrite(h, nullptr, "/no/such/dir/out.xml"), nullptr);
    EXPECT_EQ(pi->getParentNode(), nullptr);
    EXPECT_EQ(doc->getFirstChild(), next);
}

// The instruction stays in its place when neighbours around it are removed: before
// the first later one still there, else after the nearest earlier one.
TEST_F(Write, SetAsideInstructionKeepsItsPlaceAfterEdits) {
    struct Case {
        const char* xml;
        std::vector<const char*> removed;  // paths of document-level nodes removed
        const char* written;               // what follows the declaration
    };
    const Case cases[] = {
        {"<?pi one?><!--c--><r/>", {"/comment()"}, "<?pi one?><r/>"},
        {"<!--a--><?pi one?><!--b--><r/>", {"/comment()[2]"}, "<!--a--><?pi one?><r/>"},
        {"<!--a--><?pi one?><!--b--><r/>", {"/comment()[2]", "/r"}, "<!--a--><?pi one?>"},
        {"<!--a--><?pi one?><r/>", {"/comment()", "/r"}, "<?pi one?>"},
    };
    QvDocSettings plain = settings("", "", false);
    plain.xmlDeclaration = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        Handle doc(QV_XDOMOpen(c.xml, 1));
        ASSERT_NE(doc.get(), nullptr);
        EXPECT_EQ(str(QV_XDOMEvaluate(doc.get(), "count(/processing-instruction())", nullptr)), "0");
        for (const char* path : c.removed) {
            Handle node(QV_XDOMLocate(doc.get(), path, nullptr));
            ASSERT_NE(node.get(), nullptr) << path;
            Handle removed(QV_XDOMRemove(node.get(), ""));
            ASSERT_NE(removed.get(), nullptr) << Q_XMLGetErrMsg();
        }
        const char* text = QV_XDOMWrite(doc.get(), &plain, nullptr);
        ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
        EXPECT_EQ(std::string(text), c.written);
    }
}

TEST_F(Write, CdataHoldingTheEndMarkerReadsBackTheSame) {
    const char* contents[] = {"x]]>y", "]]>", "a]]>]]>b", "]]]]>>", "end]]", "]]>tail", "plain"};
    for (const char* content : contents) {
        SCOPED_TRACE(content);
        Handle h(QV_XDOMOpen("<r><c/></r>", 1));
        ASSERT_NE(h.get(), nullptr);
        h.get()->domNode();
        xercesc::DOMDocument* doc = h.get()->builtDom();
        qv::XmlText data = qv::toXmlText(content);
        DOMNode* section = doc->getDocumentElement()->getFirstChild()->appendChild(
            doc->createCDATASection(data.get()));

        for (bool pretty : {true, false}) {
            QvDocSettings s = settings("", "", pretty);
            const char* text = QV_XDOMWrite(h, &s, nullptr);
            ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
            EXPECT_EQ(readBack(text, "c"), content) << text;
        }
        const char* text = QV_XDOMWrite(h, nullptr, nullptr);
        ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
        EXPECT_EQ(readBack(text, "c"), content) << text;
        // The tree is as it was.
        EXPECT_EQ(section->getNextSibling(), nullptr);
        EXPECT_EQ(qv::localText(section->getNodeValue()), content);

        // The section on its own.
        Handle node(qv::makeNodeHandle(h.get(), section));
        text = QV_XDOMWrite(node, nullptr, nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(readBack(("<r>" + std::string(text) + "</r>").c_str(), "r"), content) << text;
    }
}

TEST_F(Write, CdataEndMarkerWithoutSplitIsRefused) {
    Handle h(QV_XDOMOpen("<r><![CDATA[ok]]></r>", 1));
    ASSERT_NE(h.get(), nullptr);
    h.get()->domNode();
    DOMNode* section = h.get()->builtDom()->getDocumentElement()->getFirstChild();
    qv::XmlText data = qv::toXmlText("x]]>y");
    section->setNodeValue(data.get());
    QvDocSettings s = settings("", "");
    s.splitCdata = 0;
    EXPECT_EQ(QV_XDOMWrite(h, &s, nullptr), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 1082);
    EXPECT_STREQ(Q_XMLGetErrMsg(),
                 "A DOM exception occured in function XDOMWrite, DOM Exception code: 82\n");
}

TEST_F(Write, SerializerForMappedValues) {
    Handle h(QV_XDOMOpen("<r><v a='1'>t<![CDATA[x<y]]></v></r>", 1));
    ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    h.get()->domNode();
    DOMNode* v = h.get()->builtDom()->getDocumentElement()->getFirstChild();
    std::string text;
    qv::XmlText utf8 = qv::toXmlText("UTF-8");
    // The default layout: pretty printed, so an element starts on a new line.
    ASSERT_TRUE(qv::serializeNode(v, utf8.get(), nullptr, nullptr, &text));
    EXPECT_EQ(text, "\n<v a=\"1\">t<![CDATA[x<y]]></v>");
    ASSERT_TRUE(qv::serializeNode(v, nullptr, nullptr, nullptr, &text));
    EXPECT_EQ(text, "\n<v a=\"1\">t<![CDATA[x<y]]></v>");
    EXPECT_STREQ(Q_XMLGetErrMsg(), "");
}

}  // namespace
