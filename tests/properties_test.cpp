// Reading and setting node properties through handles.
#include <gtest/gtest.h>

#include <string>

#include "dom_test_support.h"
#include "qvxml.h"

using qvtest::Handle;
using qvtest::nodeAt;
using qvtest::open;
using qvtest::picture;
using qvtest::str;

namespace {

class Properties : public ::testing::Test {
protected:
    void SetUp() override {
        Q_XMLResetErrMsg();
        doc = open(kText);
        ASSERT_TRUE(doc);
    }
    void TearDown() override { Q_XMLResetErrMsg(); }

    static constexpr const char* kText =
        "<r empty=\"\" id=\"7\" p:k=\"v\" xmlns:p=\"urn:p\"><p:item>text</p:item><!--c--><e/>"
        "<e/></r>";
    Handle doc;
};

void expectFailure(int code, const std::string& message) {
    EXPECT_EQ(Q_XMLGetDOMStatus(), code);
    EXPECT_EQ(Q_XMLGetErrCode(), code);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()), message);
}

TEST_F(Properties, NamesValuesAndTypes) {
    struct Case {
        const char* node;
        std::string name;
        std::string value;  // "<null>": none, code 28
        int type;
    };
    const Case cases[] = {
        {"", "#document", "<null>", QV_NODE_DOCUMENT},
        {"/0", "r", "<null>", QV_NODE_ELEMENT},
        {"/0/0", "p:item", "<null>", QV_NODE_ELEMENT},
        {"/0/0/0", "#text", "text", QV_NODE_TEXT},
        {"/0/1", "#comment", "c", QV_NODE_COMMENT},
        {"/0@id", "id", "7", QV_NODE_ATTRIBUTE},
        {"/0@empty", "empty", "<null>", QV_NODE_ATTRIBUTE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node);
        Q_XMLResetErrMsg();
        Handle h = nodeAt(doc.get(), c.node);
        EXPECT_EQ(str(QV_XDOMGetNodeName(h.get())), c.name);
        EXPECT_EQ(QV_XDOMGetNodeType(h.get()), c.type);
        EXPECT_EQ(str(QV_XDOMGetNodeValue(h.get())), c.value);
        if (c.value == "<null>") {
            expectFailure(28, "No requested data was available.\n");
        } else {
            EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
        }
    }
    EXPECT_EQ(QV_XDOMGetNodeType(doc.get()), QV_NODE_DOCUMENT);
}

TEST_F(Properties, EmptyTextHasNoValue) {
    QvHandle text = QV_XDOMCreateNode(doc.get(), nullptr, "", QV_NODE_TEXT);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QV_XDOMGetNodeValue(text), nullptr);
    expectFailure(28, "No requested data was available.\n");
    QV_XDOMClose(text);
}

TEST_F(Properties, ResultTextBelongsToTheHandleAndSurvivesAFailedRead) {
    Handle element = nodeAt(doc.get(), "/0/0");
    const char* first = QV_XDOMGetNodeName(element.get());
    ASSERT_STREQ(first, "p:item");
    // A failing read leaves the last text in place.
    EXPECT_EQ(QV_XDOMGetNodeValue(element.get()), nullptr);
    EXPECT_EQ(QV_XDOMGetUserData(element.get()), nullptr);
    EXPECT_STREQ(element->resultText(), "p:item");
    EXPECT_EQ(element->resultText(), first);
    // Another handle on the same node has its own text.
    Handle same = nodeAt(doc.get(), "/0/0");
    EXPECT_STREQ(QV_XDOMGetNodeValue(nodeAt(doc.get(), "/0/0/0").get()), "text");
    EXPECT_STREQ(QV_XDOMGetNodeName(same.get()), "p:item");
    EXPECT_STREQ(first, "p:item");
    // The next text on the handle replaces the first.
    Handle text = nodeAt(doc.get(), "/0/0/0");
    EXPECT_STREQ(QV_XDOMGetNodeName(text.get()), "#text");
    EXPECT_STREQ(QV_XDOMGetNodeValue(text.get()), "text");
    EXPECT_STREQ(text->resultText(), "text");
}

TEST_F(Properties, OwnerDocument) {
    for (const char* node : {"", "/0", "/0/0/0", "/0@id"}) {
        SCOPED_TRACE(node);
        Handle owner(QV_XDOMGetOwnerDocument(nodeAt(doc.get(), node).get()));
        ASSERT_TRUE(owner);
        EXPECT_EQ(QV_XDOMIsDoc(owner.get()), 0);  // a node handle, not a document handle
        EXPECT_EQ(QV_XDOMGetNodeType(owner.get()), QV_NODE_DOCUMENT);
        EXPECT_EQ(owner->domNode(), doc->domNode());
        EXPECT_EQ(owner->documentHandle(), doc.get());
        // Its own owner document is itself, not error 36.
        Handle again(QV_XDOMGetOwnerDocument(owner.get()));
        ASSERT_TRUE(again);
        EXPECT_EQ(again->domNode(), doc->domNode());
    }
    Handle fromDocument(QV_XDOMGetOwnerDocument(doc.get()));
    ASSERT_TRUE(fromDocument);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
}

TEST_F(Properties, GetAttribute) {
    struct Case {
        const char* node;
        const char* name;
        int code;
        std::string value;  // of the attribute found
        std::string message;
    };
    const Case cases[] = {
        {"/0", "id", 0, "7", ""},
        {"/0", "k:urn:p", 0, "v", ""},
        {"/0", "nope", 27, "", "The attribute by name 'nope' didn't exist.\n"},
        {"/0", "k:urn:other", 27, "", "The attribute by name 'k:urn:other' didn't exist.\n"},
        {"/0/0/0", "id", 18, "", "The type of parent node was wrong. Element node was expected.\n"},
        {"/0", "", 26, "", "The attribute name was invalid.\n"},
        {"/0/0/0", "", 26, "", "The attribute name was invalid.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.node) + " " + c.name);
        Q_XMLResetErrMsg();
        Handle attribute(QV_XDOMGetAttribute(nodeAt(doc.get(), c.node).get(), c.name));
        if (c.code) {
            EXPECT_FALSE(attribute);
            expectFailure(c.code, c.message);
            continue;
        }
        ASSERT_TRUE(attribute);
        EXPECT_EQ(QV_XDOMGetNodeType(attribute.get()), QV_NODE_ATTRIBUTE);
        EXPECT_EQ(str(QV_XDOMGetNodeValue(attribute.get())), c.value);
        EXPECT_EQ(attribute->documentHandle(), doc.get());
    }
}

TEST_F(Properties, UserDataIsKeptPerNode) {
    static const char kFirst[] = "first";
    static const char kSecond[] = "second";
    Handle e1 = nodeAt(doc.get(), "/0/2");
    Handle e2 = nodeAt(doc.get(), "/0/3");  // same name as e1

    EXPECT_EQ(QV_XDOMGetUserData(e1.get()), nullptr);
    expectFailure(28, "No requested data was available.\n");

    EXPECT_EQ(QV_XDOMSetUserData(e1.get(), kFirst), 0);
    EXPECT_EQ(QV_XDOMSetUserData(e2.get(), kSecond), 0);
    Handle other = nodeAt(doc.get(), "/0/2");
    const char* back = QV_XDOMGetUserData(other.get());
    ASSERT_STREQ(back, "first");
    EXPECT_NE(back, kFirst);  // a copy held by the handle
    EXPECT_STREQ(QV_XDOMGetUserData(e2.get()), "second");

    // A later call replaces the pointer.
    EXPECT_EQ(QV_XDOMSetUserData(e1.get(), kSecond), 0);
    EXPECT_STREQ(QV_XDOMGetUserData(other.get()), "second");
    // Text nodes keep theirs too, under their fixed name.
    Handle text = nodeAt(doc.get(), "/0/0/0");
    EXPECT_EQ(QV_XDOMSetUserData(text.get(), kFirst), 0);
    EXPECT_STREQ(QV_XDOMGetUserData(text.get()), "first");
}

TEST_F(Properties, SetNodeValue) {
    EXPECT_EQ(QV_XDOMSetNodeValue(nodeAt(doc.get(), "/0/0/0").get(), "changed"), 0);
    EXPECT_EQ(QV_XDOMSetNodeValue(nodeAt(doc.get(), "/0@id").get(), "8"), 0);
    EXPECT_EQ(QV_XDOMSetNodeValue(nodeAt(doc.get(), "/0/1").get(), "note"), 0);
    // Elements and documents have no value: nothing changes, no failure.
    EXPECT_EQ(QV_XDOMSetNodeValue(nodeAt(doc.get(), "/0/0").get(), "ignored"), 0);
    EXPECT_EQ(QV_XDOMSetNodeValue(doc.get(), "ignored"), 0);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
    EXPECT_EQ(picture(doc.get()),
              "<r empty=\"\" id=\"8\" p:k=\"v\" xmlns:p=\"urn:p\"><p:item{urn:p}>changed</p:item>"
              "<!--note--><e/><e/></r>");
}


TEST_F(Properties, LongAttributeNamesAreFound) {
    const std::string local(5000, 'a');
    const std::string uri = "urn:" + std::string(5000, 'u');
    const std::string text = "<r " + local + "=\"1\" xmlns:p=\"" + uri + "\" p:" + local + "=\"2\"/>";
    Handle longDoc = open(text.c_str());
    ASSERT_TRUE(longDoc);
    Handle element = nodeAt(longDoc.get(), "/0");
    Handle plain(QV_XDOMGetAttribute(element.get(), local.c_str()));
    Handle qualified(QV_XDOMGetAttribute(element.get(), (local + ":" + uri).c_str()));
    ASSERT_TRUE(plain && qualified);
    EXPECT_STREQ(QV_XDOMGetNodeValue(plain.get()), "1");
    EXPECT_STREQ(QV_XDOMGetNodeValue(qualified.get()), "2");
    Handle removed(QV_XDOMRemove(element.get(), (local + ":" + uri).c_str()));
    ASSERT_TRUE(removed);
    EXPECT_STREQ(QV_XDOMGetNodeValue(removed.get()), "2");
}

}  // namespace
