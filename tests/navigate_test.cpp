// Walking from node to node with QV_XDOMLocateNode.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>

#include "case_name.h"
#include "dom_test_support.h"
#include "qvxml.h"

using qvtest::Handle;
using qvtest::nodeAt;
using qvtest::open;
using qvtest::positionOf;

namespace {

// Children of e: /0/0 text, /0/1 a, /0/2 text, /0/3 b.
const char* const kMixed = "<e> <a/> <b/></e>";
// Children of r: /0/0 i, /0/1 text, /0/2 o, /0/3 i, /0/4 text, /0/5 comment, /0/6 i.
const char* const kItems = "<r x=\"1\" y=\"2\" z=\"3\"><i/> <o/><i/>t<!--c--><i/></r>";
// Same local name, same namespace through another prefix; and one without namespace.
const char* const kNamespaced = "<r xmlns:p=\"urn:p\" xmlns:q=\"urn:p\"><p:i/><i/><q:i/><p:j/></r>";

const std::string kNotFound = "No such node was found.\n";

std::string badIndex(int index) {
    return "Invalid child index '" + std::to_string(index) + "' was passed in.\n" + kNotFound;
}
std::string badDirection(int direction) {
    return "Invalid node direction code '" + std::to_string(direction) + "' was passed in.\n" + kNotFound;
}

struct Case {
    const char* name;
    const char* text;
    const char* start;
    int direction;
    int index;
    int type;
    const char* found;    // position of the node found; "" for none
    std::string message;  // the error text when none is found
};

// ctest lists each case by its name.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Navigate : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { Q_XMLResetErrMsg(); }
    void TearDown() override { Q_XMLResetErrMsg(); }
};

TEST_P(Navigate, Step) {
    const Case& c = GetParam();
    Handle doc = open(c.text);
    ASSERT_TRUE(doc);
    Handle start = nodeAt(doc.get(), c.start);
    Handle found(QV_XDOMLocateNode(start.get(), c.direction, c.index, c.type));
    if (*c.found) {
        ASSERT_TRUE(found) << Q_XMLGetErrMsg();
        EXPECT_EQ(positionOf(found->domNode()), c.found);
        EXPECT_EQ(QV_XDOMIsDoc(found.get()), 0);
        EXPECT_EQ(found->documentHandle(), doc.get());
        EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
        EXPECT_STREQ(Q_XMLGetErrMsg(), "");
    } else {
        EXPECT_FALSE(found) << positionOf(found->domNode());
        EXPECT_EQ(Q_XMLGetDOMStatus(), 12);
        EXPECT_EQ(Q_XMLGetErrCode(), 12);
        EXPECT_EQ(std::string(Q_XMLGetErrMsg()), c.message);
    }
    EXPECT_EQ(positionOf(start->domNode()), std::string(c.start).empty() ? "#document" : c.start);
}

const Case kCases[] = {
    // Siblings, with and without a type filter.
    {"next sibling", kMixed, "/0/1", QV_DIR_NEXT_SIBLING, 0, QV_NODE_ANY, "/0/2", ""},
    {"next sibling of the last child", kMixed, "/0/3", QV_DIR_NEXT_SIBLING, 0, QV_NODE_ANY, "", kNotFound},
    {"next element skips text", kMixed, "/0/1", QV_DIR_NEXT_SIBLING, 0, QV_NODE_ELEMENT, "/0/3", ""},
    {"next comment: none", kMixed, "/0/1", QV_DIR_NEXT_SIBLING, 0, QV_NODE_COMMENT, "", kNotFound},
    {"previous sibling", kMixed, "/0/3", QV_DIR_PREVIOUS_SIBLING, 0, QV_NODE_ANY, "/0/2", ""},
    {"previous element skips text", kMixed, "/0/3", QV_DIR_PREVIOUS_SIBLING, 0, QV_NODE_ELEMENT, "/0/1", ""},
    {"previous of the first child", kMixed, "/0/0", QV_DIR_PREVIOUS_SIBLING, 0, QV_NODE_ANY, "", kNotFound},
    {"index is ignored for siblings", kMixed, "/0/1", QV_DIR_NEXT_SIBLING, -7, QV_NODE_ANY, "/0/2", ""},
    // Parent.
    {"parent of the document element", kMixed, "/0", QV_DIR_PARENT, 0, QV_NODE_ANY, "#document", ""},
    {"parent of the document", kMixed, "", QV_DIR_PARENT, 0, QV_NODE_ANY, "", kNotFound},
    {"parent of an attribute is its element", kItems, "/0@y", QV_DIR_PARENT, 0, QV_NODE_ANY, "/0", ""},
    {"parent ignores filter and index", kMixed, "/0/1", QV_DIR_PARENT, -9, QV_NODE_TEXT, "/0", ""},
    // Children by index.
    {"first child is whitespace text", kMixed, "/0", QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ANY, "/0/0", ""},
    {"first child element", kMixed, "/0", QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT, "/0/1", ""},
    {"last child", kItems, "/0", QV_DIR_CHILD, QV_CHILD_LAST, QV_NODE_ANY, "/0/6", ""},
    {"last text child", kItems, "/0", QV_DIR_CHILD, QV_CHILD_LAST, QV_NODE_TEXT, "/0/4", ""},
    {"second child", kMixed, "/0", QV_DIR_CHILD, 2, QV_NODE_ANY, "/0/1", ""},
    {"second element", kMixed, "/0", QV_DIR_CHILD, 2, QV_NODE_ELEMENT, "/0/3", ""},
    {"index 4 of four children", kMixed, "/0", QV_DIR_CHILD, 4, QV_NODE_ANY, "/0/3", ""},
    {"index beyond the children", kMixed, "/0", QV_DIR_CHILD, 5, QV_NODE_ANY, "", badIndex(5)},
    {"index beyond, with a filter", kMixed, "/0", QV_DIR_CHILD, 5, QV_NODE_ELEMENT, "", badIndex(5)},
    {"third element of four children", kMixed, "/0", QV_DIR_CHILD, 3, QV_NODE_ELEMENT, "", kNotFound},
    {"index below -1", kMixed, "/0", QV_DIR_CHILD, -2, QV_NODE_ANY, "", badIndex(-2)},
    {"first child of a childless element", kMixed, "/0/1", QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ANY, "",
     kNotFound},
    {"last child of a childless element", kMixed, "/0/1", QV_DIR_CHILD, QV_CHILD_LAST, QV_NODE_ANY, "",
     kNotFound},
    {"child of the document", kMixed, "", QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT, "/0", ""},
    // Attributes under filter 2.
    {"first attribute", kItems, "/0", QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ATTRIBUTE, "/0@x", ""},
    {"last attribute", kItems, "/0", QV_DIR_CHILD, QV_CHILD_LAST, QV_NODE_ATTRIBUTE, "/0@z", ""},
    {"second attribute", kItems, "/0", QV_DIR_CHILD, 2, QV_NODE_ATTRIBUTE, "/0@y", ""},
    {"attribute beyond the map", kItems, "/0", QV_DIR_CHILD, 4, QV_NODE_ATTRIBUTE, "", badIndex(4)},
    {"first attribute of an element without", kItems, "/0/0", QV_DIR_CHILD, QV_CHILD_FIRST,
     QV_NODE_ATTRIBUTE, "", kNotFound},
    {"last attribute of an element without", kItems, "/0/0", QV_DIR_CHILD, QV_CHILD_LAST, QV_NODE_ATTRIBUTE,
     "", kNotFound},
    {"attributes of a text node", kItems, "/0/1", QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ATTRIBUTE, "",
     kNotFound},
    {"attribute index on a text node", kItems, "/0/1", QV_DIR_CHILD, 1, QV_NODE_ATTRIBUTE, "", kNotFound},
    // Same kind.
    {"next item skips text and other names", kItems, "/0/0", QV_DIR_NEXT_SAME_KIND, 0, QV_NODE_ANY, "/0/3",
     ""},
    {"next item again", kItems, "/0/3", QV_DIR_NEXT_SAME_KIND, 0, QV_NODE_ANY, "/0/6", ""},
    {"no item after the last", kItems, "/0/6", QV_DIR_NEXT_SAME_KIND, 0, QV_NODE_ANY, "", kNotFound},
    {"previous item", kItems, "/0/6", QV_DIR_PREVIOUS_SAME_KIND, 0, QV_NODE_ANY, "/0/3", ""},
    {"next text from text", kItems, "/0/1", QV_DIR_NEXT_SAME_KIND, 0, QV_NODE_ANY, "/0/4", ""},
    {"previous text from text", kItems, "/0/4", QV_DIR_PREVIOUS_SAME_KIND, 0, QV_NODE_ANY, "/0/1", ""},
    {"same local name and namespace", kNamespaced, "/0/0", QV_DIR_NEXT_SAME_KIND, 0, QV_NODE_ANY, "/0/2",
     ""},
    {"back over the name without namespace", kNamespaced, "/0/2", QV_DIR_PREVIOUS_SAME_KIND, 0,
     QV_NODE_ANY, "/0/0", ""},
    {"no namespace matches no namespace only", kNamespaced, "/0/1", QV_DIR_NEXT_SAME_KIND, 0, QV_NODE_ANY,
     "", kNotFound},
    // Direction codes.
    {"direction 6", kMixed, "/0", 6, 0, QV_NODE_ANY, "", badDirection(6)},
    {"direction -1", kMixed, "/0", -1, 0, QV_NODE_ANY, "", badDirection(-1)},
};

INSTANTIATE_TEST_SUITE_P(Table, Navigate, ::testing::ValuesIn(kCases),
                         qvtest::caseName<Case>);

TEST(NavigateWalk, VisitsEveryElementOnce) {
    // A host's loop: first child element, then next element siblings, depth first.
    Handle doc = open("<r><a><b/><c/></a>t<d><e/></d></r>");
    std::string visited;
    std::function<void(QvHandle)> walk = [&](QvHandle h) {
        visited += QV_XDOMGetNodeName(h);
        Handle child(QV_XDOMLocateNode(h, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT));
        while (child) {
            walk(child.get());
            child.reset(QV_XDOMLocateNode(child.get(), QV_DIR_NEXT_SIBLING, 0, QV_NODE_ELEMENT));
        }
    };
    walk(nodeAt(doc.get(), "/0").get());
    EXPECT_EQ(visited, "rabcde");
    EXPECT_EQ(Q_XMLGetDOMStatus(), 12);  // each loop ends on "not found"
    Q_XMLResetErrMsg();
}

}  // namespace
