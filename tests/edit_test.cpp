// Building documents from nothing and editing them node by node.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <xercesc/dom/DOM.hpp>

#include "dom_test_support.h"
#include "frame/errors.h"
#include "xdom/set_aside_pi.h"
#include "qvxml.h"

using qvtest::Handle;
using qvtest::nodeAt;
using qvtest::open;
using qvtest::picture;
using qvtest::positionOf;
using qvtest::str;

namespace {

class Edit : public ::testing::Test {
protected:
    void SetUp() override { Q_XMLResetErrMsg(); }
    void TearDown() override { Q_XMLResetErrMsg(); }

    static Handle emptyDocument() {
        QvDocSettings settings{};
        return Handle(QV_XDOMCreateRoot(&settings));
    }
    static Handle create(QvHandle h, const char* name, const char* value, int type) {
        return Handle(QV_XDOMCreateNode(h, name, value, type));
    }
};

// One failure: the code, the DOM status and the whole message text.
void expectFailure(int code, const std::string& message) {
    EXPECT_EQ(Q_XMLGetDOMStatus(), code);
    EXPECT_EQ(Q_XMLGetErrCode(), code);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()), message);
}

const char* const kDomMessage = "A DOM exception occured in function %s, DOM Exception code: %d";

std::string domMessage(const char* op, int code, const char* text) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, kDomMessage, op, code);
    return std::string(buffer) + " (" + text + ")\n";
}

const char* const kHierarchy = "Any node is inserted somewhere it doesn't belong";
const char* const kWrongDocument =
    "A node is used in a different document than the one that created it (that doesn't support it)";

// ---- Creating documents --------------------------------------------------------

TEST_F(Edit, BuildsADocumentFromAnEmptyRoot) {
    Handle doc = emptyDocument();
    ASSERT_TRUE(doc);
    EXPECT_EQ(QV_XDOMIsDoc(doc.get()), 1);
    EXPECT_EQ(doc->builtDom()->getFirstChild(), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);

    Handle root = create(doc.get(), "order", nullptr, QV_NODE_ELEMENT);
    ASSERT_TRUE(root);
    EXPECT_EQ(positionOf(root->domNode()), "detached:order");  // made, not attached
    ASSERT_EQ(QV_XDOMAddChild(doc.get(), root.get()), 0);
    EXPECT_EQ(doc->builtDom()->getDocumentElement(), root->domNode());

    Handle id = create(root.get(), "id", "7", QV_NODE_ATTRIBUTE);
    Handle item = create(root.get(), "p:item:urn:x", nullptr, QV_NODE_ELEMENT);
    Handle text = create(root.get(), nullptr, "a & b", QV_NODE_TEXT);
    Handle cdata = create(root.get(), nullptr, "<raw>", QV_NODE_CDATA_SECTION);
    Handle comment = create(root.get(), nullptr, " note ", QV_NODE_COMMENT);
    Handle pi = create(doc.get(), "style", "href='a.css'", QV_NODE_PROCESSING_INSTRUCTION);
    for (QvHandle h : {id.get(), item.get(), text.get(), cdata.get(), comment.get(), pi.get()})
        ASSERT_NE(h, nullptr);
    EXPECT_EQ(QV_XDOMAddChild(root.get(), id.get()), 0);
    EXPECT_EQ(QV_XDOMAddChild(root.get(), item.get()), 0);
    EXPECT_EQ(QV_XDOMAddChild(item.get(), text.get()), 0);
    EXPECT_EQ(QV_XDOMAppend(item.get(), comment.get()), 0);
    EXPECT_EQ(QV_XDOMInsert(item.get(), cdata.get()), 0);
    EXPECT_EQ(QV_XDOMInsert(root.get(), pi.get()), 0);

    EXPECT_EQ(picture(doc.get()),
              "<?style href='a.css'?><order id=\"7\"><![CDATA[<raw>]]><p:item{urn:x}>a & b</p:item>"
              "<!-- note --></order>");
}

TEST_F(Edit, RootTakesEncodingAndStandaloneFromTheSettings) {
    QvDocSettings settings{};
    std::snprintf(settings.docEncoding, sizeof settings.docEncoding, "ISO-8859-1");
    settings.standalone = 1;
    Handle doc(QV_XDOMCreateRoot(&settings));
    ASSERT_TRUE(doc);
    EXPECT_EQ(str(doc->builtDom()->getXmlEncoding()), "ISO-8859-1");
    EXPECT_TRUE(doc->builtDom()->getXmlStandalone());
    EXPECT_EQ(str(doc->encoding()), "ISO-8859-1");
    EXPECT_TRUE(doc->sharedDom().owner);

    Handle plain = emptyDocument();
    EXPECT_EQ(str(plain->builtDom()->getXmlEncoding()), "<null>");
    EXPECT_FALSE(plain->builtDom()->getXmlStandalone());
}

TEST_F(Edit, RootEncodingFieldFilledToTheLastByteIsNotOverrun) {
    QvDocSettings settings{};
    std::memset(settings.docEncoding, 'A', sizeof settings.docEncoding);
    std::memset(settings.outEncoding, 'B', sizeof settings.outEncoding);
    Handle doc(QV_XDOMCreateRoot(&settings));
    ASSERT_TRUE(doc);
    EXPECT_EQ(str(doc->builtDom()->getXmlEncoding()), std::string(sizeof settings.docEncoding, 'A'));
}

TEST_F(Edit, ADocumentBuiltNodeByNodeIsWrittenAsExpected) {
    QvDocSettings settings{};
    std::snprintf(settings.docEncoding, sizeof settings.docEncoding, "UTF-8");
    Handle doc(QV_XDOMCreateRoot(&settings));
    ASSERT_TRUE(doc);
    Handle declaration = create(doc.get(), "UTF-8", "yes", QV_NODE_XML_DECLARATION);
    Handle root = create(doc.get(), "o:order:urn:orders", nullptr, QV_NODE_ELEMENT);
    ASSERT_EQ(QV_XDOMAddChild(doc.get(), root.get()), 0);
    Handle ns = create(root.get(), "xmlns:o", "urn:orders", QV_NODE_ATTRIBUTE);
    Handle id = create(root.get(), "id", "7", QV_NODE_ATTRIBUTE);
    Handle line = create(root.get(), "o:line", nullptr, QV_NODE_ELEMENT);  // o bound in scope
    Handle qty = create(line.get(), nullptr, "2 < 3", QV_NODE_TEXT);
    Handle note = create(root.get(), nullptr, " checked ", QV_NODE_COMMENT);
    Handle pi = create(doc.get(), "app", "run", QV_NODE_PROCESSING_INSTRUCTION);
    EXPECT_EQ(QV_XDOMAddChild(root.get(), ns.get()), 0);
    EXPECT_EQ(QV_XDOMAddChild(root.get(), id.get()), 0);
    EXPECT_EQ(QV_XDOMAddChild(root.get(), line.get()), 0);
    EXPECT_EQ(QV_XDOMAddChild(line.get(), qty.get()), 0);
    EXPECT_EQ(QV_XDOMInsert(line.get(), note.get()), 0);
    EXPECT_EQ(QV_XDOMAppend(root.get(), pi.get()), 0);
    EXPECT_EQ(str(line->domNode()->getNamespaceURI()), "urn:orders");

    QvDocSettings out{};
    out.xmlDeclaration = 1;
    std::snprintf(out.lineEnd, sizeof out.lineEnd, "LF");
    const char* text = QV_XDOMWrite(doc.get(), &out, nullptr);
    ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
    EXPECT_EQ(std::string(text),
              // (the writer puts a blank before "?>" when it writes standalone)
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>"
              "<o:order xmlns:o=\"urn:orders\" id=\"7\"><!-- checked --><o:line>2 &lt; 3</o:line>"
              "</o:order><?app run?>");
}

// ---- Qualified names -----------------------------------------------------------

TEST_F(Edit, QualifiedNameForms) {
    Handle parsed = open("<r xmlns:p=\"urn:p\"><c/></r>");
    ASSERT_TRUE(parsed);
    Handle inScope = nodeAt(parsed.get(), "/0/0");
    Handle empty = emptyDocument();
    Handle commentOnly = emptyDocument();
    Handle comment = create(commentOnly.get(), nullptr, "x", QV_NODE_COMMENT);
    ASSERT_EQ(QV_XDOMAddChild(commentOnly.get(), comment.get()), 0);
    const std::string longName(5000, 'n');
    const std::string longPrefixed = std::string(5000, 'q') + ":item:urn:long";

    struct Case {
        const char* name;
        QvHandle context;
        std::string written;
        int type;
        std::string qualifiedName;  // expected
        std::string uri;            // expected, "<null>" for none
        int status;
    };
    const std::vector<Case> cases = {
        {"no colon: no namespace", empty.get(), "item", QV_NODE_ELEMENT, "item", "<null>", 0},
        {"two colons carry the URI", empty.get(), "p:item:urn:x", QV_NODE_ELEMENT, "p:item", "urn:x", 0},
        {"the URI may hold colons", empty.get(), "p:item:http://x.org:80/a", QV_NODE_ELEMENT, "p:item",
         "http://x.org:80/a", 0},
        {"one colon: binding in scope", inScope.get(), "p:item", QV_NODE_ELEMENT, "p:item", "urn:p", 0},
        {"one colon at a document: its element's scope", parsed.get(), "p:item", QV_NODE_ELEMENT,
         "p:item", "urn:p", 0},
        {"attribute, one colon", inScope.get(), "p:id", QV_NODE_ATTRIBUTE, "p:id", "urn:p", 0},
        {"attribute, two colons", empty.get(), "p:id:urn:x", QV_NODE_ATTRIBUTE, "p:id", "urn:x", 0},
        {"xml prefix is always bound", empty.get(), "xml:lang", QV_NODE_ATTRIBUTE, "xml:lang",
         "http://www.w3.org/XML/1998/namespace", 0},
        {"unbound prefix: namespace error", inScope.get(), "q:item", QV_NODE_ELEMENT, "", "", 1014},
        {"new empty document binds nothing", empty.get(), "p:item", QV_NODE_ELEMENT, "", "", 1014},
        {"document without element binds nothing", commentOnly.get(), "p:item", QV_NODE_ELEMENT, "",
         "", 1014},
        {"long name", empty.get(), longName, QV_NODE_ELEMENT, longName, "<null>", 0},
        {"long prefix", empty.get(), longPrefixed, QV_NODE_ELEMENT, std::string(5000, 'q') + ":item",
         "urn:long", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle node = create(c.context, c.written.c_str(), "v", c.type);
        EXPECT_EQ(Q_XMLGetDOMStatus(), c.status);
        if (c.status) {
            EXPECT_FALSE(node);
            char expected[128];
            std::snprintf(expected, sizeof expected, kDomMessage, "XDOMCreateNode", c.status - 1000);
            EXPECT_EQ(std::string(Q_XMLGetErrMsg()).rfind(expected, 0), 0u);
            continue;
        }
        ASSERT_TRUE(node);
        EXPECT_EQ(node->domNode()->getNodeType(), c.type);
        EXPECT_EQ(str(node->domNode()->getNodeName()), c.qualifiedName);
        EXPECT_EQ(str(node->domNode()->getNamespaceURI()), c.uri);
        if (c.type == QV_NODE_ATTRIBUTE) {
            EXPECT_EQ(str(node->domNode()->getNodeValue()), "v");
        }
    }
}

// ---- Type codes ----------------------------------------------------------------

TEST_F(Edit, MakesEachNodeType) {
    Handle doc = emptyDocument();
    struct Case {
        int type;
        const char* name;
        const char* value;
        std::string nodeName;
        std::string nodeValue;
    };
    const Case cases[] = {
        {QV_NODE_TEXT, "ignored", "hello", "#text", "hello"},
        {QV_NODE_CDATA_SECTION, "ignored", "a<b", "#cdata-section", "a<b"},
        {QV_NODE_ENTITY_REFERENCE, "ent", "ignored", "ent", "<null>"},
        {QV_NODE_ENTITY, "ent", "ignored", "ent", "<null>"},
        {QV_NODE_PROCESSING_INSTRUCTION, "target", "data", "target", "data"},
        {QV_NODE_COMMENT, "ignored", "note", "#comment", "note"},
        {QV_NODE_DOCUMENT, "ignored", "ignored", "#document", "<null>"},
        {QV_NODE_DOCUMENT_TYPE, "book", "ignored", "book", "<null>"},
        {QV_NODE_DOCUMENT_FRAGMENT, "ignored", "ignored", "#document-fragment", "<null>"},
        {QV_NODE_NOTATION, "gif", "ignored", "gif", "<null>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Handle node = create(doc.get(), c.name, c.value, c.type);
        ASSERT_TRUE(node);
        EXPECT_EQ(QV_XDOMIsDoc(node.get()), 0);
        EXPECT_EQ(static_cast<int>(node->domNode()->getNodeType()), c.type);
        EXPECT_EQ(str(node->domNode()->getNodeName()), c.nodeName);
        EXPECT_EQ(str(node->domNode()->getNodeValue()), c.nodeValue);
        EXPECT_EQ(node->documentHandle(), doc.get());
    }
    EXPECT_EQ(doc->builtDom()->getFirstChild(), nullptr);  // nothing was attached
}

TEST_F(Edit, RejectsUnknownTypeCodes) {
    Handle doc = emptyDocument();
    for (int type : {0, 14, -1}) {
        SCOPED_TRACE(type);
        Q_XMLResetErrMsg();
        EXPECT_FALSE(create(doc.get(), "x", "y", type));
        expectFailure(9, "Invalid node type '" + std::to_string(type) + "' was passed in.\n");
    }
}

TEST_F(Edit, Code13SetsTheDeclarationAndHandsBackTheDocumentNode) {
    Handle doc = emptyDocument();
    struct Case {
        const char* standalone;
        bool expected;
    };
    const Case cases[] = {{"yes", true}, {"TRUE", true}, {"no", false}, {"", false}, {"yess", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.standalone);
        Handle result = create(doc.get(), "UTF-16", c.standalone, QV_NODE_XML_DECLARATION);
        ASSERT_TRUE(result);
        EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
        EXPECT_EQ(result->domNode(), doc->domNode());
        EXPECT_EQ(QV_XDOMIsDoc(result.get()), 0);
        EXPECT_EQ(doc->builtDom()->getXmlStandalone(), c.expected);
    }
    EXPECT_EQ(str(doc->builtDom()->getXmlVersion()), "1.0");
    EXPECT_EQ(str(doc->builtDom()->getXmlEncoding()), "UTF-16");
    EXPECT_EQ(str(doc->encoding()), "UTF-16");  // what a later write uses
}

TEST_F(Edit, ADocumentNodeHandleStandsForItsDocument) {
    Handle doc = open("<r/>");
    Handle owner(QV_XDOMGetOwnerDocument(nodeAt(doc.get(), "/0").get()));
    ASSERT_TRUE(owner);
    ASSERT_EQ(QV_XDOMIsDoc(owner.get()), 0);

    Handle made = create(owner.get(), "x", nullptr, QV_NODE_ELEMENT);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->domNode()->getOwnerDocument(), doc->builtDom());
    EXPECT_EQ(made->documentHandle(), doc.get());

    Handle other = open("<o><k/></o>");
    Handle imported(QV_XDOMImportNode(owner.get(), nodeAt(other.get(), "/0/0").get(), 1));
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->domNode()->getOwnerDocument(), doc->builtDom());
}

TEST_F(Edit, ANodeOfNoDocumentCannotMakeNodes) {
    Handle doc = open("<r/>");
    static const XMLCh kName[] = u"free";
    xercesc::DOMDocumentType* loose =
        xercesc::DOMImplementation::getImplementation()->createDocumentType(kName, nullptr, nullptr);
    {
        Handle h(qv::makeNodeHandle(doc.get(), loose));
        EXPECT_FALSE(create(h.get(), "x", nullptr, QV_NODE_ELEMENT));
        expectFailure(8, "A DOM document is required to create a new node.\n");
        Q_XMLResetErrMsg();
        EXPECT_FALSE(Handle(QV_XDOMImportNode(h.get(), doc.get(), 0)));
        expectFailure(8, "A DOM document is required to create a new node.\n");
    }
    loose->release();
}

// ---- Attaching -----------------------------------------------------------------

TEST_F(Edit, AttributesAttachToElementsOnly) {
    using Attach = int (*)(QvHandle, QvHandle);
    struct Case {
        const char* name;
        Attach attach;
    };
    const Case cases[] = {{"append", QV_XDOMAppend}, {"insert", QV_XDOMInsert}, {"add child", QV_XDOMAddChild}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle doc = open("<r id=\"1\" k=\"2\"><e/>text</r>");
        Handle id = create(doc.get(), "id", "7", QV_NODE_ATTRIBUTE);
        Handle other = create(doc.get(), "n", "8", QV_NODE_ATTRIBUTE);

        EXPECT_EQ(c.attach(nodeAt(doc.get(), "/0/0").get(), other.get()), 0);
        EXPECT_EQ(c.attach(nodeAt(doc.get(), "/0").get(), id.get()), 0);  // replaces id="1"
        EXPECT_EQ(picture(doc.get()), "<r id=\"7\" k=\"2\"><e n=\"8\"/>text</r>");

        Handle loose = create(doc.get(), "z", "9", QV_NODE_ATTRIBUTE);
        EXPECT_EQ(c.attach(nodeAt(doc.get(), "/0/1").get(), loose.get()), 18);
        expectFailure(18, "The type of parent node was wrong. Element node was expected.\n");
    }
}

TEST_F(Edit, AttachingPositions) {
    using Attach = int (*)(QvHandle, QvHandle);
    struct Case {
        const char* name;
        Attach attach;
        const char* reference;
        const char* expected;
    };
    const Case cases[] = {
        {"append after the last child", QV_XDOMAppend, "/0/1", "<p><x/><a/><b/></p>"},
        {"append after a middle child", QV_XDOMAppend, "/0/0", "<p><x/><b/><a/></p>"},
        {"insert before", QV_XDOMInsert, "/0/1", "<p><x/><b/><a/></p>"},
        {"insert before the first child", QV_XDOMInsert, "/0/0", "<p><b/><x/><a/></p>"},
        {"add child as the last child", QV_XDOMAddChild, "/0/1", "<p><x/><a><b/></a></p>"},
        {"add child to an element with children", QV_XDOMAddChild, "/0", "<p><x/><a/><b/></p>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Handle doc = open("<p><x/><a/></p>");
        Handle b = create(doc.get(), "b", nullptr, QV_NODE_ELEMENT);
        EXPECT_EQ(c.attach(nodeAt(doc.get(), c.reference).get(), b.get()), 0);
        EXPECT_EQ(picture(doc.get()), c.expected);
    }
}

TEST_F(Edit, AttachingMovesAttachedNodesAndUnpacksFragments) {
    Handle doc = open("<p><x/><a/></p>");
    EXPECT_EQ(QV_XDOMAppend(nodeAt(doc.get(), "/0/1").get(), nodeAt(doc.get(), "/0/0").get()), 0);
    EXPECT_EQ(picture(doc.get()), "<p><a/><x/></p>");

    Handle fragment = create(doc.get(), nullptr, nullptr, QV_NODE_DOCUMENT_FRAGMENT);
    Handle one = create(doc.get(), "one", nullptr, QV_NODE_ELEMENT);
    Handle two = create(doc.get(), nullptr, "two", QV_NODE_TEXT);
    ASSERT_EQ(QV_XDOMAddChild(fragment.get(), one.get()), 0);
    ASSERT_EQ(QV_XDOMAddChild(fragment.get(), two.get()), 0);
    EXPECT_EQ(QV_XDOMInsert(nodeAt(doc.get(), "/0/1").get(), fragment.get()), 0);
    EXPECT_EQ(picture(doc.get()), "<p><a/><one/>two<x/></p>");
    EXPECT_EQ(fragment->domNode()->getFirstChild(), nullptr);
}

TEST_F(Edit, AttachingFailures) {
    using Attach = int (*)(QvHandle, QvHandle);
    struct Case {
        const char* name;
        Attach attach;
        const char* op;
        const char* reference;  // in <r><a><b/></a></r>
        const char* node;       // "new", "other" (another document), or a position
        int code;
        std::string message;
    };
    const std::string parent = "Parent node was expected.\n";
    const Case cases[] = {
        {"append to the document", QV_XDOMAppend, "XDOMAppend", "", "new", 19, parent},
        {"insert before an unattached node", QV_XDOMInsert, "XDOMInsert", "detached", "new", 19, parent},
        {"append a node of another document", QV_XDOMAppend, "XDOMAppend", "/0/0", "other", 1004,
         domMessage("XDOMAppend", 4, kWrongDocument)},
        {"insert a node of another document", QV_XDOMInsert, "XDOMInsert", "/0/0", "other", 1004,
         domMessage("XDOMInsert", 4, kWrongDocument)},
        {"add a node of another document", QV_XDOMAddChild, "XDOMAddChild", "/0", "other", 1004,
         domMessage("XDOMAddChild", 4, kWrongDocument)},
        {"add an ancestor under its descendant", QV_XDOMAddChild, "XDOMAddChild", "/0/0/0", "/0", 1003,
         domMessage("XDOMAddChild", 3, kHierarchy)},
        {"append an ancestor beside its descendant", QV_XDOMAppend, "XDOMAppend", "/0/0/0", "/0/0",
         1003, domMessage("XDOMAppend", 3, kHierarchy)},
        {"add a node under itself", QV_XDOMAddChild, "XDOMAddChild", "/0/0", "/0/0", 1003,
         domMessage("XDOMAddChild", 3, kHierarchy)},
        {"a second document element", QV_XDOMAddChild, "XDOMAddChild", "", "new", 1003,
         domMessage("XDOMAddChild", 3, kHierarchy)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle doc = open("<r><a><b/></a></r>");
        Handle other = open("<o/>");
        Handle fresh = create(doc.get(), "n", nullptr, QV_NODE_ELEMENT);
        Handle freshOther = create(other.get(), "m", nullptr, QV_NODE_ELEMENT);
        Handle detached = create(doc.get(), "d", nullptr, QV_NODE_ELEMENT);
        std::string reference = c.reference;
        Handle r = reference == "detached" ? std::move(detached) : nodeAt(doc.get(), reference);
        std::string which = c.node;
        Handle n = which == "new" ? std::move(fresh) : which == "other" ? std::move(freshOther) : nodeAt(doc.get(), which);
        EXPECT_EQ(c.attach(r.get(), n.get()), c.code);
        expectFailure(c.code, c.message);
        EXPECT_EQ(picture(doc.get()), "<r><a><b/></a></r>");
    }
}

// ---- Replacing -----------------------------------------------------------------

TEST_F(Edit, Replace) {
    struct Case {
        const char* name;
        const char* oldNode;  // position in the document below, or "loose-attr"
        const char* newNode;  // "element", "attr", or a position
        int code;
        const char* expected;
    };
    const char* const text = "<r a=\"1\"><x/><y b=\"2\"/></r>";
    const Case cases[] = {
        {"element by element", "/0/0", "element", 0, "<r a=\"1\"><n/><y b=\"2\"/></r>"},
        {"element by a node of the same tree", "/0/0", "/0/1", 0, "<r a=\"1\"><y b=\"2\"/></r>"},
        {"attribute by attribute", "/0@a", "attr", 0, "<r id=\"9\"><x/><y b=\"2\"/></r>"},
        // The DOM refuses an attribute that another element owns; the old one is put back.
        {"attribute in use elsewhere", "/0@a", "/0/1@b", 1010, "<r a=\"1\"><x/><y b=\"2\"/></r>"},
        {"element by attribute", "/0/0", "attr", 25, "<r a=\"1\"><x/><y b=\"2\"/></r>"},
        {"attribute by element", "/0@a", "element", 25, "<r a=\"1\"><x/><y b=\"2\"/></r>"},
        {"unattached attribute", "loose-attr", "attr", 18, "<r a=\"1\"><x/><y b=\"2\"/></r>"},
        {"element by its own parent", "/0/1", "/0", 1003, "<r a=\"1\"><x/><y b=\"2\"/></r>"},
        {"node without parent", "#document", "element", 19, "<r a=\"1\"><x/><y b=\"2\"/></r>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle doc = open(text);
        Handle element = create(doc.get(), "n", nullptr, QV_NODE_ELEMENT);
        Handle attr = create(doc.get(), "id", "9", QV_NODE_ATTRIBUTE);
        Handle loose = create(doc.get(), "z", "0", QV_NODE_ATTRIBUTE);
        std::string o = c.oldNode, n = c.newNode;
        Handle oldH = o == "loose-attr" ? std::move(loose) : o == "#document" ? nodeAt(doc.get(), "") : nodeAt(doc.get(), o);
        Handle newH = n == "element" ? std::move(element) : n == "attr" ? std::move(attr) : nodeAt(doc.get(), n);
        EXPECT_EQ(QV_XDOMReplace(oldH.get(), newH.get()), c.code);
        EXPECT_EQ(Q_XMLGetDOMStatus(), c.code);
        EXPECT_EQ(picture(doc.get()), c.expected);
    }
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()), "Parent node was expected.\n");
}


// ---- Removing ------------------------------------------------------------------

TEST_F(Edit, RemoveAttribute) {
    struct Case {
        const char* name;
        const char* node;
        const char* attribute;
        int code;
        std::string removed;  // "name=value" of the copy handed back
        const char* expected;
        std::string message;
    };
    const char* const text = "<r a=\"1\" p:b=\"2\" xmlns:p=\"urn:p\"><x/>t</r>";
    const Case cases[] = {
        {"by name", "/0", "a", 0, "a=1", "<r p:b=\"2\" xmlns:p=\"urn:p\"><x/>t</r>", ""},
        {"by local name and URI", "/0", "b:urn:p", 0, "p:b=2", "<r a=\"1\" xmlns:p=\"urn:p\"><x/>t</r>", ""},
        {"missing", "/0", "nope", 27, "", text, "The attribute by name 'nope' didn't exist.\n"},
        {"qualified name is not the local:URI form", "/0", "p:b", 27, "", text,
         "The attribute by name 'p:b' didn't exist.\n"},
        {"from an element without it", "/0/0", "a", 27, "", text, "The attribute by name 'a' didn't exist.\n"},
        {"from a text node", "/0/1", "a", 18, "", text,
         "The type of parent node was wrong. Element node was expected.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle doc = open(text);
        Handle removed(QV_XDOMRemove(nodeAt(doc.get(), c.node).get(), c.attribute));
        EXPECT_EQ(Q_XMLGetDOMStatus(), c.code);
        EXPECT_EQ(picture(doc.get()), c.expected);
        if (c.code) {
            EXPECT_FALSE(removed);
            expectFailure(c.code, c.message);
            continue;
        }
        ASSERT_TRUE(removed);
        EXPECT_EQ(removed->domNode()->getNodeType(), xercesc::DOMNode::ATTRIBUTE_NODE);
        EXPECT_EQ(str(removed->domNode()->getNodeName()) + "=" + str(removed->domNode()->getNodeValue()), c.removed);
        EXPECT_EQ(positionOf(removed->domNode()), "<none>@" + str(removed->domNode()->getNodeName()));
    }
}

TEST_F(Edit, RemoveNode) {
    Handle doc = open("<r><a><b/></a>t</r>");
    Handle a = nodeAt(doc.get(), "/0/0");
    Handle removed(QV_XDOMRemove(a.get(), ""));
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->domNode(), a->domNode());
    EXPECT_EQ(picture(doc.get()), "<r>t</r>");
    EXPECT_EQ(picture(removed.get()), "<a><b/></a>");  // detached with its children

    Handle element(QV_XDOMRemove(nodeAt(doc.get(), "/0").get(), ""));
    ASSERT_TRUE(element);
    EXPECT_EQ(doc->builtDom()->getDocumentElement(), nullptr);
    EXPECT_EQ(element->domNode()->getOwnerDocument(), doc->builtDom());

    // Detached nodes and the document have no parent.
    for (QvHandle h : {removed.get(), doc.get()}) {
        Q_XMLResetErrMsg();
        EXPECT_FALSE(Handle(QV_XDOMRemove(h, "")));
        expectFailure(19, "Parent node was expected.\n");
    }
    // The removed element can be put back.
    EXPECT_EQ(QV_XDOMAddChild(doc.get(), element.get()), 0);
    EXPECT_EQ(picture(doc.get()), "<r>t</r>");
}

// ---- Copying and importing -----------------------------------------------------

TEST_F(Edit, CloneOfADocumentIsAnIndependentDocument) {
    Handle doc = open("<?pi one?><r a=\"1\"><x>t</x></r>");
    Handle copy(QV_XDOMClone(doc.get(), 1));
    ASSERT_TRUE(copy);
    EXPECT_EQ(QV_XDOMIsDoc(copy.get()), 1);
    EXPECT_TRUE(copy->sharedDom().owner);  // closing it releases the copy
    EXPECT_NE(copy->builtDom(), doc->builtDom());
    EXPECT_EQ(picture(copy.get()), "<?pi one?><r a=\"1\"><x>t</x></r>");

    // Edits of the copy stay in the copy; nodes made through it belong to it.
    Handle added = create(copy.get(), "y", nullptr, QV_NODE_ELEMENT);
    EXPECT_EQ(QV_XDOMAddChild(nodeAt(copy.get(), "/1").get(), added.get()), 0);
    EXPECT_EQ(added->documentHandle(), copy.get());
    EXPECT_EQ(picture(doc.get()), "<?pi one?><r a=\"1\"><x>t</x></r>");

    // The original may go first.
    doc.reset();
    EXPECT_EQ(picture(copy.get()), "<?pi one?><r a=\"1\"><x>t</x><y/></r>");

    // So may a shallow copy, reached through a node handle of the document node.
    Handle owner(QV_XDOMGetOwnerDocument(nodeAt(copy.get(), "/1").get()));
    Handle shallow(QV_XDOMClone(owner.get(), 0));
    ASSERT_TRUE(shallow);
    EXPECT_EQ(QV_XDOMIsDoc(shallow.get()), 1);
    EXPECT_EQ(shallow->builtDom()->getFirstChild(), nullptr);
}

TEST_F(Edit, CloneOfADocumentKeepsTheInstructionTheXPathViewSetAside) {
    Handle doc = open("<?first a?><r/><?second b?>");
    // What building the XPath view does to the tree: the first instruction is held aside.
    qv::setAsideFirstPI(doc.get());

    Handle copy(QV_XDOMClone(doc.get(), 1));
    ASSERT_TRUE(copy);
    EXPECT_EQ(picture(copy.get()), "<?first a?><r/><?second b?>");
    EXPECT_EQ(picture(doc.get()), "<r/><?second b?>");  // the view's tree is as it was

    // The node it stood before is gone: it stays before the next one still there.
    Handle removed(QV_XDOMRemove(nodeAt(doc.get(), "/0").get(), ""));
    ASSERT_TRUE(removed);
    Handle second(QV_XDOMClone(doc.get(), 1));
    ASSERT_TRUE(second);
    EXPECT_EQ(picture(second.get()), "<?first a?><?second b?>");
    EXPECT_EQ(picture(doc.get()), "<?second b?>");
}

TEST_F(Edit, CloneOfANodeStaysInItsDocumentUnattached) {
    Handle doc = open("<r><x k=\"v\"><y/>t</x></r>");
    Handle x = nodeAt(doc.get(), "/0/0");
    struct Case {
        int deep;
        const char* expected;
    };
    for (const Case& c : {Case{0, "<x k=\"v\"/>"}, Case{1, "<x k=\"v\"><y/>t</x>"}}) {
        SCOPED_TRACE(c.deep);
        Handle copy(QV_XDOMClone(x.get(), c.deep));
        ASSERT_TRUE(copy);
        EXPECT_EQ(QV_XDOMIsDoc(copy.get()), 0);
        EXPECT_EQ(copy->documentHandle(), doc.get());
        EXPECT_EQ(picture(copy.get()), c.expected);
        EXPECT_EQ(positionOf(copy->domNode()), "detached:x");
    }
    Handle attribute(QV_XDOMClone(nodeAt(doc.get(), "/0/0@k").get(), 0));
    ASSERT_TRUE(attribute);
    EXPECT_EQ(str(attribute->domNode()->getNodeValue()), "v");
}

TEST_F(Edit, ImportNode) {
    Handle target = open("<t/>");
    Handle source = open("<s><x a=\"1\"><y/></x></s>");
    Handle x = nodeAt(source.get(), "/0/0");

    Handle shallow(QV_XDOMImportNode(target.get(), x.get(), 0));
    Handle deep(QV_XDOMImportNode(nodeAt(target.get(), "/0").get(), x.get(), 1));
    ASSERT_TRUE(shallow && deep);
    EXPECT_EQ(picture(shallow.get()), "<x a=\"1\"/>");
    EXPECT_EQ(picture(deep.get()), "<x a=\"1\"><y/></x>");
    EXPECT_EQ(deep->documentHandle(), target.get());
    EXPECT_EQ(QV_XDOMAddChild(nodeAt(target.get(), "/0").get(), deep.get()), 0);
    EXPECT_EQ(picture(target.get()), "<t><x a=\"1\"><y/></x></t>");
    EXPECT_EQ(picture(source.get()), "<s><x a=\"1\"><y/></x></s>");

    // A document cannot be imported: the DOM's code with the export's name.
    EXPECT_FALSE(Handle(QV_XDOMImportNode(target.get(), source.get(), 1)));
    EXPECT_EQ(Q_XMLGetDOMStatus(), 1009);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()).rfind("A DOM exception occured in function XDOMImportNode", 0), 0u);
}

}  // namespace
