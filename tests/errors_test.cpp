// The error state through its exports: codes, formats, prefixes, limits.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "frame/errors.h"
#include "qvxml.h"

namespace {

// A report takes what the message formats take, text and integers; an argument of
// any other type does not compile.
static_assert(qv::detail::isReportArg<const char*> && qv::detail::isReportArg<char*> &&
              qv::detail::isReportArg<int> && qv::detail::isReportArg<unsigned long>);
static_assert(!qv::detail::isReportArg<double> && !qv::detail::isReportArg<std::string> &&
              !qv::detail::isReportArg<bool> && !qv::detail::isReportArg<const void*>);

void put(int code, ...) {
    va_list args;
    va_start(args, code);
    Q_XMLPutErrMsgVar(code, args);
    va_end(args);
}

class ErrorState : public ::testing::Test {
protected:
    void SetUp() override { Q_XMLResetErrMsg(); }
    void TearDown() override { Q_XMLResetErrMsg(); }
};

TEST_F(ErrorState, ReportsByCode) {
    struct Case {
        const char* name;
        void (*report)();
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"unknown code", [] { put(47); }, "unknown error: error code 47.\n", 47},
        {"3000 has no row and no prefix", [] { put(3000); }, "unknown error: error code 3000.\n", 3000},
        {"DOM exception with its text", [] { put(1008, "XDOMRemove", 8); },
         "A DOM exception occured in function XDOMRemove, DOM Exception code: 8 (An attempt is "
         "made to reference a node in a context where it does not exist)\n",
         1008},
        {"DOM sub-code 0 gets a bare line feed", [] { put(1000, "XDOMClone", 0); },
         "A DOM exception occured in function XDOMClone, DOM Exception code: 0\n", 1000},
        {"DOM sub-code outside the table", [] { put(1099, "XDOMClone", 99); },
         "A DOM exception occured in function XDOMClone, DOM Exception code: 99\n", 1099},
        {"2000 range uses row 2000", [] { put(2028, "cannot open"); },
         "An XML exception occured. Message: cannot open\n", 2028},
        {"mapping prefix", [] { put(3013, "ORDERS"); },
         "QVXMAP/QVXML_extraction: Cannot find the table or map named as ORDERS.\n", 3013},
        {"4002 carries free text without prefix", [] { put(4002, "abc"); }, "abc\n", 4002},
        {"parse error line", [] { put(30, "QVXMLMemoryBufferID", 1, 7, "bad"); },
         "Fatal error at file 'QVXMLMemoryBufferID', line 1, column 7. Message: bad\n", 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        c.report();
        EXPECT_STREQ(Q_XMLGetErrMsg(), c.text);
        EXPECT_EQ(Q_XMLGetErrCode(), c.code);
    }
}

TEST_F(ErrorState, AccumulatesUntilReset) {
    put(12);
    put(3014);
    EXPECT_STREQ(Q_XMLGetErrMsg(),
                 "No such node was found.\nQVXMAP/QVXML_extraction: Illegal option set.\n");
    EXPECT_EQ(Q_XMLGetErrCode(), 3014);
}

TEST_F(ErrorState, ResetLeavesDomStatus) {
    qv::reportDom(qv::Error::NoSuchNode);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 12);
    EXPECT_EQ(Q_XMLResetErrMsg(), 0);
    EXPECT_STREQ(Q_XMLGetErrMsg(), "");
    EXPECT_EQ(Q_XMLGetErrCode(), 0);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 12);
    qv::setDomStatus(0);
}

TEST_F(ErrorState, TextStopsAtTheLimit) {
    // 85 lines of 48 characters fill 4080; the next report is cut at 4085, prefix included.
    const std::string line(47, 'x');
    for (int i = 0; i < 85; ++i) put(4002, line.c_str());
    ASSERT_EQ(std::string(Q_XMLGetErrMsg()).size(), 4080u);
    put(3013, "ORDERS");
    std::string text = Q_XMLGetErrMsg();
    EXPECT_EQ(text.size(), 4085u);
    EXPECT_EQ(text.substr(4080), "QVXMA");
    put(12);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()).size(), 4085u);
    EXPECT_EQ(Q_XMLGetErrCode(), 12);
}

TEST_F(ErrorState, LongArgumentsAreCutNotOverflowed) {
    const std::string path(10000, 'p');
    put(10, path.c_str());
    std::string text = Q_XMLGetErrMsg();
    EXPECT_EQ(text.size(), 4085u);
    EXPECT_EQ(text.rfind("The location path 'ppp", 0), 0u);
    // A DOM exception report with a long operation name is cut at 4095 characters too.
    Q_XMLResetErrMsg();
    put(1008, path.c_str(), 8);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()).size(), 4085u);
    EXPECT_EQ(Q_XMLGetErrCode(), 1008);
}

}  // namespace
