// The node-set vector's insert that replaces Xalan's: same contents as the
// inherited one, amortised O(1) appends.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "dom_test_support.h"
#include "qvxml.h"
#include "xdom/replaced/node_set_growth.h"

namespace {

using qvtest::Handle;
using NodeVector = xalanc::XalanVector<xalanc::XalanNode*>;

// Stand-ins for nodes: the vector never dereferences them.
xalanc::XalanNode* node(std::uintptr_t n) { return reinterpret_cast<xalanc::XalanNode*>(n * 16); }

std::vector<xalanc::XalanNode*> contents(const NodeVector& v) { return {v.begin(), v.end()}; }

struct InsertStep {
    const char* what;
    std::size_t at;     // position; npos: the end
    std::size_t count;
    std::uintptr_t value;  // 0: the element at index 0 of the vector itself
};

TEST(NodeSetGrowth, InsertKeepsTheContentsOfTheInheritedOne) {
    xercesc::XMLPlatformUtils::Initialize();
    const std::size_t end = std::string::npos;
    const InsertStep steps[] = {
        {"first node into an empty set", end, 1, 1},
        {"append", end, 1, 2},
        {"append several copies", end, 3, 3},
        {"at the front", 0, 1, 4},
        {"in the middle, more than the right part", 5, 4, 5},
        {"in the middle, fewer than the right part", 2, 1, 6},
        {"nothing", 3, 0, 7},
        {"a copy of its own element", 1, 1, 0},
        {"a copy of its own element at the end", end, 2, 0},
    };
    NodeVector vector(*xercesc::XMLPlatformUtils::fgMemoryManager);
    std::vector<xalanc::XalanNode*> expected;
    for (const InsertStep& s : steps) {
        SCOPED_TRACE(s.what);
        const std::size_t at = s.at == end ? expected.size() : s.at;
        xalanc::XalanNode* value = s.value ? node(s.value) : expected.at(0);
        expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), s.count, value);
        if (s.value) {
            vector.insert(vector.begin() + at, s.count, value);
        } else {
            // The reference points into the vector being changed.
            vector.insert(vector.begin() + at, s.count, vector[0]);
        }
        EXPECT_EQ(contents(vector), expected);
        EXPECT_GE(vector.capacity(), vector.size());
    }

    // A full vector moves to a new block while the value still points into the old one.
    NodeVector full(*xercesc::XMLPlatformUtils::fgMemoryManager);
    full.reserve(4);
    for (std::uintptr_t i = 1; i <= 4; ++i) full.push_back(node(i));
    ASSERT_EQ(full.capacity(), full.size());
    full.insert(full.begin() + 1, 2, full[3]);
    EXPECT_EQ(contents(full), (std::vector<xalanc::XalanNode*>{node(1), node(4), node(4), node(2),
                                                               node(3), node(4)}));
}

TEST(NodeSetGrowth, AppendsCopyEachNodeAFewTimesAtMost) {
    xercesc::XMLPlatformUtils::Initialize();
    NodeVector vector(*xercesc::XMLPlatformUtils::fgMemoryManager);
    const qv::NodeSetGrowth before = qv::nodeSetGrowth();
    const std::size_t n = 100000;
    for (std::size_t i = 0; i < n; ++i) vector.insert(vector.end(), 1, node(i + 1));
    const qv::NodeSetGrowth after = qv::nodeSetGrowth();
    ASSERT_EQ(vector.size(), n);
    EXPECT_EQ(vector[n - 1], node(n));
    EXPECT_EQ(after.inserts - before.inserts, n);
    EXPECT_LE(after.reallocations - before.reallocations, 40u);
    EXPECT_LE(after.copied - before.copied, 3 * n);
}

// Xalan's own step loop reaches the replacement: a path whose result is merged
// one context node at a time builds a set of 10^5 nodes with linear copying.
TEST(NodeSetGrowth, XalanQueriesUseIt) {
    std::string xml = "<r>";
    for (int g = 0; g < 1000; ++g) xml += "<g><i/><i/><i/><i/><i/><i/><i/><i/><i/><i/></g>";
    for (int g = 0; g < 100; ++g) {
        xml += "<g>";
        for (int i = 0; i < 900; ++i) xml += "<i/>";
        xml += "</g>";
    }
    xml += "</r>";
    Handle doc(QV_XDOMOpen(xml.c_str(), 1));
    ASSERT_NE(doc, nullptr) << Q_XMLGetErrMsg();
    ASSERT_STREQ(QV_XDOMEvaluate(doc.get(), "count(/r)", nullptr), "1");  // builds the view

    const qv::NodeSetGrowth before = qv::nodeSetGrowth();
    EXPECT_STREQ(QV_XDOMEvaluate(doc.get(), "count(/r/g/i)", nullptr), "100000");
    const qv::NodeSetGrowth after = qv::nodeSetGrowth();
    EXPECT_GE(after.inserts - before.inserts, 99000u);  // the first group is copied whole
    EXPECT_LE(after.copied - before.copied, 400000u);
}

}  // namespace
