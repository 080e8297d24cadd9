// Writing records into a document: queueing by keys and order columns, the build
// along start and column paths, the description of the mapping, and the documents
// handed back by QV_XMAPToDOM.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_data.h"
#include "write_fixture.h"

using namespace writetest;

namespace {

using Records = std::vector<std::string>;

constexpr const char* kPrefix = "QVXMAP/QVXML_extraction: ";

// ---- Round trips -------------------------------------------------------------

const char* const kOrdersWritten =
    "<o:ORDERS xmlns:o=\"urn:orders\">"
    "<o:ORDER cust=\"C1\" date=\"2026-01-05\"><o:LINES>"
    "<o:LINE id=\"L1\"><o:QTY>2</o:QTY></o:LINE><o:LINE id=\"L2\"><o:QTY>5</o:QTY></o:LINE>"
    "</o:LINES></o:ORDER>"
    "<o:ORDER cust=\"C2\" date=\"2026-02-14\"><o:LINES>"
    "<o:LINE id=\"L3\"><o:QTY>1</o:QTY></o:LINE>"
    "</o:LINES></o:ORDER></o:ORDERS>";

class OrdersExample : public ::testing::Test {
protected:
    void SetUp() override {
        installHost({}, qvtest::dataPath("read"));
        mapping = qvtest::readData("read/orders_map.xml");
        Dataset in(mapping, QV_XMAP_READ, qvtest::readData("read/orders.xml").c_str());
        orders = in.read("ORDERS");
        lines = in.read("ORDER_LINES");
    }
    std::string mapping;
    Records orders, lines;
};

// The records read from the example write back into the same document (in the
// mapping's prefix; record IDs and child keys are not written).
TEST_F(OrdersExample, RecordsReadWriteBackTheSameDocument) {
    ASSERT_EQ(orders, (Records{"0|C1|L1]L2|2026-01-05", "1|C2|L3|2026-02-14"}));
    ASSERT_EQ(lines, (Records{"0|L1|2", "1|L2|5", "2|L3|1"}));
    Dataset out(mapping);
    out.writeAll("ORDERS", orders);
    out.writeAll("ORDER_LINES", lines);
    EXPECT_EQ(out.xml(), kOrdersWritten);
}

// Lines pushed in reverse key order still land in the line element of their own
// key value: no record takes another value's element, no stray element is made.
TEST_F(OrdersExample, LinesPushedInReverseLandInTheirOwnValueElements) {
    Dataset out(mapping);
    out.writeAll("ORDERS", orders);
    Records reversed(lines.rbegin(), lines.rend());
    out.writeAll("ORDER_LINES", reversed);
    EXPECT_EQ(out.xml(), kOrdersWritten);
}

}  // namespace
