// The record layout (field alignment, null marks), the work buffer and the record
// queue.
#include <string>

#include <gtest/gtest.h>

#include "case_name.h"
#include "read_fixture.h"
#include "xmap/queue.h"
#include "xmap/record.h"

using namespace readtest;

namespace {

struct LayoutCase {
    const char* name;
    bool isNull;
    const char* columns;
    const char* xml;
    Records expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class Layouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, RecordText) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "V", 3, 0, ""}, {"T", "W", 5, 0, ""}});
    const LayoutCase& c = GetParam();
    std::string map = std::string("<QVXMAP><OPTIONS>") +
                      (c.isNull ? "<EmptyString IsNull='ON'/>" : "") +
                      "</OPTIONS><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/REC'>" +
                      c.columns + "</TABLECLASSMAP></QVXMAP>";
    Opened o(c.xml, map.c_str());
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(o.read(), c.expected);
}

const char* kIdV = "<ColumnMap Column='V' Node='@v'/><ColumnMap Column='ID' Node='@id'/>";
const char* kIdVW =
    "<ColumnMap Column='W' Node='@w'/><ColumnMap Column='ID' Node='@id'/>"
    "<ColumnMap Column='V' Node='@v'/>";

INSTANTIATE_TEST_SUITE_P(
    Record, Layouts,
    ::testing::Values(
        LayoutCase{"gap_isnull_on", true, kIdV, "<R><REC id='1' v='x'/></R>", {"1|~|~|x"}},
        LayoutCase{"gap_isnull_off", false, kIdV, "<R><REC id='1' v='x'/></R>", {"1|||x"}},
        LayoutCase{"missing_id_isnull_on", true, kIdV, "<R><REC v='x'/></R>", {"~|~|~|x"}},
        LayoutCase{"missing_id_isnull_off", false, kIdV, "<R><REC v='x'/></R>", {"|||x"}},
        LayoutCase{"nothing_after_last_field", false, kIdVW, "<R><REC id='1' v='x'/></R>",
                   {"1|||x||"}},
        LayoutCase{"two_gaps_isnull_on", true, kIdVW, "<R><REC id='1' w='y'/></R>",
                   {"1|~|~|~|~|y"}},
        // An ID that is the only column and is empty makes a record of no bytes,
        // which is not queued; the next one is.
        LayoutCase{"empty_id_only_not_queued", false, "<ColumnMap Column='ID' Node='@id'/>",
                   "<R><REC/><REC id=''/><REC id='2'/></R>", {"2"}}),
    qvtest::caseName<LayoutCase>);

// ---- Text that would hold a mark -------------------------------------------

// A value whose host text would hold a mark (or a NUL) is left out and reported by
// record and column; the fields after it keep their places.
TEST(Record, ValueHoldingAMarkIsLeftOutAndNamed) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "V", 3, 0, ""}, {"T", "W", 5, 0, ""}});
    const char* map =
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/REC'>"
        "<ColumnMap Column='ID' Node='@id'/><ColumnMap Column='V' Node='@v'/>"
        "<ColumnMap Column='W' Node='@w'/></TABLECLASSMAP></QVXMAP>";
    Opened o("<R><REC id='1' v='a|b]c' w='y'/><REC id='2}' v='z' w='y'/></R>", map);
    ASSERT_TRUE(o.ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(Q_XMLGetErrCode(), 3009);
    const std::string message = Q_XMLGetErrMsg();
    EXPECT_NE(message.find("Value 'a|b]c' of column V in record '1' of table T would hold the "
                           "byte 0x7C (the field mark); the value was left out."),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("of column ID in record '(this value)' of table T would hold the byte "
                           "0x7D (the subvalue mark)"),
              std::string::npos)
        << message;
    EXPECT_EQ(o.read(), (Records{"1|||||y", "|||z||y"}));
}

// With the marks a multivalued host uses and a host encoding of ISO-8859-1, the
// letters \xFE and \xFD of ordinary text are those marks: such a value is named,
// never taken as a field or value boundary.
TEST(Record, LettersThatAreMarksInTheHostEncoding) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "NAME", 1, 0, ""}, {"T", "DATE", 2, 0, ""}});
    static QvHostEncoding latin1 = {"ISO-8859-1", "", ""};
    QV_XMLInitial(&qvhost::ReferenceHost::dictOpen, &qvhost::ReferenceHost::dictDescribe,
                  &qvhost::ReferenceHost::dictClose, convert, extract,
                  [] { return static_cast<const QvHostEncoding*>(&latin1); });
    Q_XMLResetErrMsg();
    QvHandle doc = QV_XDOMOpen("<R><REC id='1'><N>\xC3\xBEor\xC3\xBC</N><D>2024</D></REC>"
                               "<REC id='2'><N>\xC3\xBC" "ber</N><D>2025</D></REC></R>",
                               1);
    QvHandle map = QV_XDOMOpen(
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/REC'>"
        "<ColumnMap Column='ID' Node='@id'/><ColumnMap Column='NAME' Node='N'/>"
        "<ColumnMap Column='DATE' Node='D'/></TABLECLASSMAP></QVXMAP>",
        1);
    QvDataset ds = QV_XMAPOpen(doc, map, nullptr, '\xFE', '\xFD', '\xFC', '\x7F', QV_XMAP_READ);
    ASSERT_TRUE(ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(Q_XMLGetErrCode(), 3009);
    const std::string message = Q_XMLGetErrMsg();
    EXPECT_NE(message.find("of column NAME in record '1' of table T would hold the byte 0xFE "
                           "(the field mark)"),
              std::string::npos)
        << message;
    char* record = nullptr;
    ASSERT_EQ(QV_XMAPReadNext(ds, nullptr, &record), 0);
    EXPECT_EQ(std::string(record), "1\xFE\xFE" "2024");
    ASSERT_EQ(QV_XMAPReadNext(ds, nullptr, &record), 0);
    EXPECT_EQ(std::string(record), "2\xFE\xFE" "2025");  // \xFC, the subvalue mark
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
    installHost({});  // the fixture's UTF-8 encoding again
}

// "xmldata()" of an ISO-8859-1 document is written in host text (UTF-8): its \xFE
// and \xFD stay letters instead of becoming a field and a value mark.
TEST(Record, MarkupOfALatin1DocumentIsHostText) {
    installHost({{"T", "ID", 0, 0, ""}, {"T", "BODY", 1, 0, ""}, {"T", "DATE", 2, 0, ""}});
    QvHandle doc = QV_XDOMOpen("<?xml version='1.0' encoding='ISO-8859-1'?>"
                               "<R><REC id='1'><B>\xFE" "e\xFD</B><D>1999</D></REC></R>",
                               1);
    QvHandle map = QV_XDOMOpen(
        "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/R/REC'>"
        "<ColumnMap Column='ID' Node='@id'/><ColumnMap Column='BODY' Node='B/xmldata()'/>"
        "<ColumnMap Column='DATE' Node='D'/></TABLECLASSMAP></QVXMAP>",
        1);
    QvDataset ds = QV_XMAPOpen(doc, map, nullptr, '\xFE', '\xFD', '\xFC', '\x7F', QV_XMAP_READ);
    ASSERT_TRUE(ds) << Q_XMLGetErrMsg();
    EXPECT_EQ(Q_XMLGetErrCode(), 0) << Q_XMLGetErrMsg();
    char* record = nullptr;
    ASSERT_EQ(QV_XMAPReadNext(ds, nullptr, &record), 0);
    const std::string r = record;
    EXPECT_NE(r.find("<B>\xC3\xBE" "e\xC3\xBD</B>"), std::string::npos) << r;
    EXPECT_EQ(r.substr(r.rfind('\xFE')), "\xFE" "1999");
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
}

TEST(Record, WorkBufferGrowsAndIsCutBackAfterALargeRecord) {
    qv::WorkBuffer buffer;
    EXPECT_GE(buffer.capacity(), qv::WorkBuffer::kInitial);
    buffer.begin();
    buffer.text().assign(qv::WorkBuffer::kCutBackAbove + 1, 'x');
    buffer.begin();
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_LT(buffer.capacity(), qv::WorkBuffer::kCutBackAbove);
    // Below the limit the allocation is kept for the next record.
    buffer.text().assign(100000, 'x');
    const size_t kept = buffer.capacity();
    buffer.begin();
    EXPECT_EQ(buffer.capacity(), kept);
}

// ---- Queue ------------------------------------------------------------------

std::vector<std::string> chain(const qv::RecordQueue& q, uint32_t from, bool ofParent) {
    std::vector<std::string> out;
    for (uint32_t i = from; i != qv::kNoRecord; i = ofParent ? q.nextOfParent(i) : q.next(i))
        out.emplace_back(q.text(i));
    return out;
}

TEST(Record, QueueFindsTheRecordsOfEachParentInArrivalOrder) {
    qv::RecordQueue q;
    q.append("r0", 2, qv::kNoRecord);  // read before any parent record
    q.append("a1", 2, 0);
    q.append("a2", 2, 0);
    q.append("c1", 2, 2);
    q.append("e1", 2, 4);
    q.append("e2", 2, 4);
    EXPECT_EQ(chain(q, q.first(), false), (Records{"r0", "a1", "a2", "c1", "e1", "e2"}));
    EXPECT_EQ(chain(q, q.firstOf(0), true), (Records{"a1", "a2"}));
    EXPECT_EQ(chain(q, q.firstOf(2), true), (Records{"c1"}));
    EXPECT_EQ(chain(q, q.firstOf(4), true), (Records{"e1", "e2"}));
    EXPECT_EQ(q.firstOf(1), qv::kNoRecord);
    EXPECT_EQ(q.firstOf(3), qv::kNoRecord);
    EXPECT_EQ(q.firstOf(9), qv::kNoRecord);
}

// A parent that goes back (a record put under an earlier parent record).
TEST(Record, QueueKeepsOrderAndTheRecordsOfEachParent) {
    qv::RecordQueue q;
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.cursor, qv::kNoRecord);
    q.append("a1", 2, 0);
    q.append("a2", 2, 0);
    q.append("c1", 2, 2);
    q.append("a3", 2, 0);
    EXPECT_EQ(q.cursor, q.first());
    EXPECT_EQ(chain(q, q.first(), false), (Records{"a1", "a2", "c1", "a3"}));
    EXPECT_EQ(chain(q, q.firstOf(0), true), (Records{"a1", "a2", "a3"}));
    EXPECT_EQ(chain(q, q.firstOf(2), true), (Records{"c1"}));
    EXPECT_EQ(q.firstOf(1), qv::kNoRecord);
    EXPECT_EQ(q.firstOf(5000000), qv::kNoRecord);
    EXPECT_EQ(q.lastQueued(), 3u);
    EXPECT_EQ(q.textBytes(), 12u);
}

TEST(Record, QueueInsertKeepsTheParentChainInQueueOrder) {
    qv::RecordQueue q;
    uint32_t b = q.insertAfter(qv::kNoRecord, "b", 1, 7);  // into an empty queue
    EXPECT_EQ(q.cursor, b);
    q.append("d", 1, 7);
    q.insertAfter(qv::kNoRecord, "a", 1, 7);  // front
    q.insertAfter(b, "c", 1, 7);              // middle
    q.insertAfter(b, "x", 1, 8);              // another parent between b and c
    EXPECT_EQ(chain(q, q.first(), false), (Records{"a", "b", "x", "c", "d"}));
    EXPECT_EQ(chain(q, q.firstOf(7), true), (Records{"a", "b", "c", "d"}));
    EXPECT_EQ(chain(q, q.firstOf(8), true), (Records{"x"}));
    q.append("e", 1, 7);
    EXPECT_EQ(chain(q, q.firstOf(7), true), (Records{"a", "b", "c", "d", "e"}));
}

TEST(Record, QueuedTextsDoNotMove) {
    qv::RecordQueue q;
    std::string large(100000, 'L');
    const char* first = q.text(q.append("first", 5, qv::kNoRecord));
    for (int i = 0; i < 20000; ++i) q.append("0123456789", 10, qv::kNoRecord);
    q.append(large.data(), large.size(), qv::kNoRecord);
    EXPECT_STREQ(first, "first");
    EXPECT_EQ(std::string(q.text(q.lastQueued())), large);
    EXPECT_EQ(q.size(), 20002u);
}

}  // namespace
