// A document opened holds its compact form: the reading walk sees in it exactly
// what it would see in the DOM, and every export that needs the DOM builds it first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>
#include <sys/stat.h>

#include <xercesc/dom/DOMDocument.hpp>

#include "form_dump.h"
#include "dataset_fixture.h"
#include "xdom/compact/compact_document.h"
#include "xdom/handle.h"
#include "dom_test_support.h"

using namespace qvtest;

namespace {

class CompactForm : public XdomTest {};

// The picture of the compact form, then that of the DOM built from the same handle.
std::pair<std::string, std::string> bothPictures(QvHandle h) {
    EXPECT_TRUE(h->isCompact());
    if (!h->isCompact()) return {};
    std::string compact = formdump::picture(*h->compact()->tree);
    h->domNode();
    EXPECT_FALSE(h->isCompact());  // the DOM is the document from now on
    return {compact, formdump::picture(static_cast<const xercesc::DOMNode*>(h->builtDom()))};
}

struct Case {
    const char* name;
    const char* xml;
};

// Documents of every shape the two forms must agree on.
const Case cases[] = {
    // A document type makes the parser validate: every element is declared.
    {"entities with text and markup",
     "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT b ANY><!ELEMENT x ANY><!ELEMENT y ANY>"
     "<!ENTITY e 'one<b>two</b>three'><!ENTITY n '&e;!'>]>"
     "<r>a&e;b&amp;c<x>&n;</x><y>&e;&e;</y></r>"},
    {"entity of elements only",
     "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a ANY><!ENTITY e '<a>1</a><a>2</a>'>]>"
     "<r>&e;&e;</r>"},
    {"empty entity",
     "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a ANY><!ELEMENT b ANY><!ENTITY e ''>]>"
     "<r><a>&e;</a><b>x&e;y</b></r>"},
    {"CDATA next to text", "<r>a<![CDATA[b<c]]>d<e><![CDATA[]]></e><f><![CDATA[x]]></f></r>"},
    {"character references", "<r a='&#x41;&lt;&#233;'>&#x41;&#233;&lt;&#x10000;</r>"},
    {"DTD default and fixed attributes",
     "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT e ANY>"
     "<!ATTLIST e a CDATA #IMPLIED b CDATA #IMPLIED d CDATA 'dv' f CDATA #FIXED 'fv'"
     " i CDATA #IMPLIED><!ATTLIST e z CDATA 'zv'>]><r><e a='1'/><e d='given' b='2'/></r>"},
    {"DTD defaults with prefixes and namespace declarations",
     "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT e ANY><!ELEMENT x:e ANY>"
     "<!ATTLIST r xmlns:x CDATA #IMPLIED>"
     "<!ATTLIST e x:p CDATA 'pv' xmlns:x CDATA 'urn:x' xmlns CDATA 'urn:d'>]>"
     "<r xmlns:x='urn:x'><e/><e x:p='given'/><x:e/></r>"},
    {"validated with ignorable whitespace",
     "<!DOCTYPE r [<!ELEMENT r (a*)><!ELEMENT a (#PCDATA)>]><r>\n  <a>x</a>\n  <a/>\n</r>"},
    {"namespaces declared and redeclared",
     "<r xmlns='urn:a' xmlns:p='urn:p'><p:x p:a='1' a='2'><y xmlns='urn:b'><z xmlns=''/>"
     "</y></p:x><q xmlns:p='urn:q'><p:x p:a='3'/></q></r>"},
    {"attribute order", "<r z='1' a='2' m='3' xmlns:b='urn:b' b:a='4' xmlns='urn:r'/>"},
    {"comments and instructions between records",
     "<?top?><!--c--><r><!--c--><a>1</a><?pi d?><a>2<!--in-->3</a></r><!--after-->"},
    {"whitespace-only text", "<r>\n  <a> </a>\n  <b>\t</b><c/>\n</r>"},
    {"ISO-8859-1", "<?xml version='1.0' encoding='ISO-8859-1'?><r a='\xe9'>caf\xe9</r>"},
    {"deep", "<a><b><c><d><e><f><g>deep</g></f></e></d></c></b></a>"},
    {"ID attributes",
     "<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT e ANY><!ATTLIST e k ID #IMPLIED n CDATA #IMPLIED>]>"
     "<?first?><r><e k='a' n='b'/><e k='b'/><e n='a'/></r><?second?>"},
};

TEST_F(CompactForm, HoldsWhatTheDomHolds) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Handle h(QV_XDOMOpen(c.xml, 1));
        ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
        auto [compact, dom] = bothPictures(h);
        EXPECT_EQ(compact, dom);
    }
    // Not equal by both missing something: the declared defaults are there.
    const Case* defaults = std::find_if(std::begin(cases), std::end(cases), [](const Case& c) {
        return std::string(c.name) == "DTD default and fixed attributes";
    });
    Handle h(QV_XDOMOpen(defaults->xml, 1));
    ASSERT_NE(h.get(), nullptr);
    EXPECT_EQ(formdump::picture(*h.get()->compact()->tree),
              "(r{}(e{} a{}=\"1\" d{}=\"dv\" f{}=\"fv\" z{}=\"zv\")"
              "(e{} b{}=\"2\" d{}=\"given\" f{}=\"fv\" z{}=\"zv\"))");
}

// What queries and stylesheets see of a document still in its compact form (a view
// scanned from its kept bytes) is what they see once its DOM exists, node for node;
// a DOM built afterwards is the DOM a query made first.
TEST_F(CompactForm, QueriesSeeWhatTheDomShows) {
    auto answers = formdump::viewPicture;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Handle withDom(QV_XDOMOpen(c.xml, 1));
        ASSERT_NE(withDom.get(), nullptr) << Q_XMLGetErrMsg();
        withDom->domNode();
        const std::string expected = answers(withDom);

        Handle scanned(QV_XDOMOpen(c.xml, 1));
        ASSERT_NE(scanned.get(), nullptr);
        EXPECT_EQ(answers(scanned), expected);
        EXPECT_TRUE(scanned.get()->isCompact());

        // The DOM built now is the one the queries saw: the first document-level
        // instruction set aside, written back in its place.
        auto firstChild = [](QvHandle doc) {
            QvHandle n = QV_XDOMLocateNode(doc, 1, 1, 0);
            const char* name = n ? QV_XDOMGetNodeName(n) : nullptr;
            std::string text = name ? name : "<none>";
            QV_XDOMClose(n);
            return text;
        };
        auto written = [](QvHandle doc) {
            const char* text = QV_XDOMWrite(doc, nullptr, nullptr);
            return std::string(text ? text : Q_XMLGetErrMsg());
        };
        EXPECT_EQ(firstChild(scanned), firstChild(withDom));
        EXPECT_FALSE(scanned.get()->isCompact());
        EXPECT_EQ(written(scanned), written(withDom));
        EXPECT_EQ(answers(scanned), expected);
    }
}

TEST_F(CompactForm, FileInOtherEncodingsAndItsName) {
    const std::string path = testing::TempDir() + "compact_form_utf16.xml";
    {
        // UTF-16LE with a byte order mark: "<r a='é'>ü</r>"
        const std::u16string text = u"\xFEFF<r a='\u00e9'>\u00fc</r>";
        std::ofstream out(path, std::ios::binary);
        for (char16_t c : text) out.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
    }
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(formdump::picture(*h.get()->compact()->tree), "(r{} a{}=\"\\u00e9\" text[\\u00fc])");
    std::remove(path.c_str());  // the DOM comes from the bytes kept at open
    auto [compact, dom] = bothPictures(h);
    EXPECT_EQ(compact, dom);
    EXPECT_STREQ(QV_XDOMGetNodeName(h), "#document");
    EXPECT_EQ(qv::localText(h.get()->encoding()), "UTF-16 (LE)");
}

// Each export answers on a handle fresh from QV_XDOMOpen as it does on a handle
// whose DOM exists already; those that hand back a node or touch the tree build the
// DOM, while Evaluate and Transform read a view scanned from the kept bytes and
// Write writes from them.
TEST_F(CompactForm, EveryDomExportBuildsTheDom) {
    const char* xml = "<?xml version='1.0' encoding='ISO-8859-1'?><r a='1'><b>x</b><!--c--></r>";
    auto text = [](const char* s) { return std::string(s ? s : "<null>"); };
    auto nodeName = [&](QvHandle n) {
        std::string name = n ? text(QV_XDOMGetNodeName(n)) : "<none>";
        QV_XDOMClose(n);
        return name;
    };
    struct Export {
        const char* name;
        std::function<std::string(QvHandle)> call;
        bool buildsDom = true;
    };
    const Export exports[] = {
        {"Write", [&](QvHandle h) { return text(QV_XDOMWrite(h, nullptr, nullptr)); }, false},
        {"Locate", [&](QvHandle h) { return nodeName(QV_XDOMLocate(h, "/r/b", nullptr)); }},
        {"Evaluate", [&](QvHandle h) { return text(QV_XDOMEvaluate(h, "string(/r/@a)", nullptr)); },
         false},
        {"LocateNode", [&](QvHandle h) { return nodeName(QV_XDOMLocateNode(h, 1, 1, 1)); }},
        {"GetNodeName", [&](QvHandle h) { return text(QV_XDOMGetNodeName(h)); }},
        {"GetNodeValue", [&](QvHandle h) { return text(QV_XDOMGetNodeValue(h)); }},
        {"GetNodeType", [&](QvHandle h) { return std::to_string(QV_XDOMGetNodeType(h)); }},
        {"GetOwnerDocument", [&](QvHandle h) { return nodeName(QV_XDOMGetOwnerDocument(h)); }},
        {"GetAttribute", [&](QvHandle h) { return nodeName(QV_XDOMGetAttribute(h, "a")); }},
        {"CreateNode", [&](QvHandle h) { return nodeName(QV_XDOMCreateNode(h, "n", "v", 1)); }},
        {"Clone", [&](QvHandle h) { return nodeName(QV_XDOMClone(h, 1)); }},
        {"SetNodeValue", [&](QvHandle h) { return std::to_string(QV_XDOMSetNodeValue(h, "v")); }},
        {"Transform",
         [&](QvHandle h) {
             const char* xsl =
                 "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                 "<xsl:output method='text'/><xsl:template match='/'><xsl:value-of select='/r/b'/>"
                 "</xsl:template></xsl:stylesheet>";
             return text(static_cast<const char*>(QV_XDOMTransform(h, xsl, 1, QV_RESULT_TEXT, nullptr)));
         },
         false},
    };
    for (const auto& [name, call, buildsDom] : exports) {
        SCOPED_TRACE(name);
        Handle built(QV_XDOMOpen(xml, 1));
        ASSERT_NE(built.get(), nullptr);
        built->domNode();
        Q_XMLResetErrMsg();
        const std::string expected = call(built);
        const int expectedStatus = Q_XMLGetDOMStatus();
        const std::string expectedMessage = Q_XMLGetErrMsg();

        Q_XMLResetErrMsg();
        Handle fresh(QV_XDOMOpen(xml, 1));
        ASSERT_NE(fresh.get(), nullptr);
        ASSERT_TRUE(fresh.get()->isCompact());
        EXPECT_EQ(call(fresh), expected);
        EXPECT_EQ(Q_XMLGetDOMStatus(), expectedStatus);
        EXPECT_EQ(std::string(Q_XMLGetErrMsg()), expectedMessage);
        EXPECT_NE(static_cast<bool>(fresh.get()->isCompact()), buildsDom);
    }
    // Closing and telling kinds apart need no DOM.
    Handle fresh(QV_XDOMOpen(xml, 1));
    EXPECT_EQ(QV_XDOMIsDoc(fresh), 1);
    EXPECT_TRUE(fresh.get()->isCompact());
}

// Editing after open: both handles of an import or append get their DOM.
TEST_F(CompactForm, TwoHandleExportsBuildBothDoms) {
    Handle target(QV_XDOMOpen("<t/>", 1));
    Handle source(QV_XDOMOpen("<s><x>1</x></s>", 1));
    QvHandle x = QV_XDOMLocate(source, "/s", nullptr);
    ASSERT_NE(x, nullptr) << Q_XMLGetErrMsg();
    ASSERT_TRUE(target.get()->isCompact());
    QvHandle copy = QV_XDOMImportNode(target, x, 1);
    ASSERT_NE(copy, nullptr) << Q_XMLGetErrMsg();
    QvHandle root = QV_XDOMLocate(target, "/t", nullptr);
    EXPECT_EQ(QV_XDOMAddChild(root, copy), 0);
    const char* written = QV_XDOMWrite(root, nullptr, nullptr);
    ASSERT_NE(written, nullptr) << Q_XMLGetErrMsg();
    EXPECT_NE(std::string(written).find("<x>1</x>"), std::string::npos) << written;
    for (QvHandle h : {x, copy, root}) QV_XDOMClose(h);
}

TEST_F(CompactForm, ValidationScansAndOpeningKeepsTheStatuses) {
    // The same lines and codes from the scan as from a DOM build.
    const char* invalid = "<!DOCTYPE r [<!ELEMENT r (a)><!ELEMENT a EMPTY>]><r><b/></r>";
    EXPECT_EQ(QV_XDOMValidate(invalid, 1, nullptr, nullptr), 29);
    const std::string validateLines = Q_XMLGetErrMsg();
    Q_XMLResetErrMsg();
    EXPECT_EQ(QV_XDOMOpen(invalid, 1), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 29);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()), validateLines);
    EXPECT_NE(validateLines.find("QVXMLMemoryBufferID"), std::string::npos) << validateLines;
}

}  // namespace

namespace {

// The DOM is parsed again at first use, and an external DTD is read again then. If it
// no longer fits the document, that export fails with the parser's lines and its
// own code, and the handle stays as it was: every later DOM use fails the same way,
// queries and writing still answer from the compact tree, and the mapping reads the
// compact form.
TEST_F(CompactForm, ADomThatCannotBeBuiltAnyMoreLeavesTheHandleAsItWas) {
    const std::string dir = testing::TempDir();
    const std::string dtd = dir + "compact_form_changing.dtd";
    const std::string xml = dir + "compact_form_changing.xml";
    auto write = [](const std::string& path, const char* text) {
        std::ofstream(path, std::ios::binary) << text;
    };
    write(dtd, "<!ELEMENT r (a)><!ELEMENT a (#PCDATA)>");
    write(xml, "<!DOCTYPE r SYSTEM 'compact_form_changing.dtd'><r><a>x</a></r>");
    Handle h(QV_XDOMOpen(xml.c_str(), 0));
    ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    write(dtd, "<!ELEMENT r EMPTY><!ELEMENT a (#PCDATA)>");

    for (int round = 0; round < 2; ++round) {
        Q_XMLResetErrMsg();
        EXPECT_EQ(QV_XDOMGetNodeName(h), nullptr);
        EXPECT_EQ(Q_XMLGetDOMStatus(), 99);
        EXPECT_EQ(linesStartingWith("Error at file"), 1) << Q_XMLGetErrMsg();
        EXPECT_TRUE(h->isCompact());
        // Writing, like a query, reads the tree of the open and parses nothing.
        Q_XMLResetErrMsg();
        const char* written = QV_XDOMWrite(h, nullptr, nullptr);
        ASSERT_NE(written, nullptr) << Q_XMLGetErrMsg();
        EXPECT_NE(std::strstr(written, "<a>x</a>"), nullptr) << written;
        EXPECT_TRUE(h->isCompact());
        Q_XMLResetErrMsg();
        const char* count = QV_XDOMEvaluate(h, "count(//a)", nullptr);
        ASSERT_NE(count, nullptr) << Q_XMLGetErrMsg();
        EXPECT_STREQ(count, "1");
    }

    const char* mapping =
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/r/a'>"
        "<ColumnMap Column='ID' Node='text()'/></TABLECLASSMAP></QVXMAP>";
    dstest::installHost({{"T", "ID", 0, 0, ""}});
    Handle map(QV_XDOMOpen(mapping, 1));
    ASSERT_NE(map.get(), nullptr);
    Q_XMLResetErrMsg();
    char* root = nullptr;
    QvDataset ds = QV_XMAPOpen(h, map, &root, '|', ']', '}', '~', QV_XMAP_READ);
    ASSERT_NE(ds, nullptr) << Q_XMLGetErrMsg();
    char* record = nullptr;
    EXPECT_EQ(QV_XMAPReadNext(ds, "T", &record), 0);
    EXPECT_STREQ(record, "x");
    QV_XMAPClose(ds);

    // The DTD fits again: the DOM is built.
    write(dtd, "<!ELEMENT r (a)><!ELEMENT a (#PCDATA)>");
    EXPECT_STREQ(QV_XDOMGetNodeName(h), "#document");
    EXPECT_EQ(str(QV_XDOMEvaluate(h, "count(//a)", nullptr)), "1");
    std::remove(dtd.c_str());
    std::remove(xml.c_str());
}

// Text held in memory names its DTD relative to the folder current at the open; the
// DOM built later reads the same file whatever folder is current then.
TEST_F(CompactForm, TextInMemoryReadsItsDtdFromTheFolderOfTheOpen) {
    const std::string dir = testing::TempDir() + "compact_form_folder";
    ::mkdir(dir.c_str(), 0700);
    std::ofstream(dir + "/m.dtd", std::ios::binary) << "<!ELEMENT r (a)><!ELEMENT a (#PCDATA)><!ATTLIST a k CDATA 'd'>";
    char before[4096];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    Handle h(QV_XDOMOpen("<!DOCTYPE r SYSTEM 'm.dtd'><r><a>x</a></r>", 1));
    ASSERT_EQ(::chdir(before), 0);
    ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(str(QV_XDOMEvaluate(h, "string(/r/a/@k)", nullptr)), "d");
    Q_XMLResetErrMsg();
    Handle k(QV_XDOMLocate(h, "/r/a/@k", nullptr));  // the DOM, built now
    ASSERT_NE(k.get(), nullptr) << Q_XMLGetErrMsg();
    EXPECT_STREQ(QV_XDOMGetNodeValue(k), "d");
    std::remove((dir + "/m.dtd").c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
