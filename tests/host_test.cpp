// The reference host: conversion codes, record extraction, dictionaries.
#include <gtest/gtest.h>

#include <string>

#include "host/conversion.h"
#include "host/reference_host.h"

namespace {

struct Conversion {
    const char* code;
    int direction;
    const char* input;
    const char* output;  // null: refused (-1)
};

constexpr int X = QV_CONV_TO_XML;
constexpr int R = QV_CONV_TO_RECORD;

const Conversion kConversions[] = {
    // Dates: day 0 is 31 December 1967.
    {"D-YMD[4,2,2]", R, "1967-12-31", "0"},
    {"D-YMD[4,2,2]", R, "1968-01-01", "1"},
    {"D-YMD[4,2,2]", R, "1967-12-30", "-1"},
    {"D-YMD[4,2,2]", R, "2000-01-01", "11689"},
    {"D-YMD[4,2,2]", X, "11689", "2000-01-01"},
    {"D-YMD[4,2,2]", X, "-1", "1967-12-30"},
    {"D-YMD[4,2,2]", R, "2000-02-29", "11748"},
    {"D-YMD[4,2,2]", R, "1900-02-29", nullptr},
    {"D-YMD[4,2,2]", R, "2000-13-01", nullptr},
    {"D-YMD[4,2,2]", R, "2000-01", nullptr},
    {"D-YMD[4,2,2]", R, "2000-01-01-01", nullptr},
    {"D-YMD[4,2,2]", R, "2000/01/01", nullptr},
    {"D-YMD[4,2,2]", R, "", ""},
    {"D-YMD[4,2,2]", X, "12a", nullptr},
    {"D4/", X, "11689", "01/01/2000"},
    {"D4/", R, "12/31/1999", "11688"},
    {"D2/DMY", X, "11719", "31/01/00"},
    {"D2/DMY", R, "31/01/00", "11719"},
    {"D2/DMY", R, "31/01/45", "-8369"},
    {"D", X, "11719", "31 JAN 2000"},
    {"D", R, "31 jan 2000", "11719"},
    {"D2", X, "0", "31 DEC 67"},
    {"D.YMD[4,3,2]", X, "0", "1967.DEC.31"},
    {"D4-YMD[4,2", X, "0", nullptr},
    {"DXYZ", X, "0", nullptr},
    {"D3/", X, "0", nullptr},
    // Masked decimals
    {"MD2", R, "12.34", "1234"},
    {"MD2", X, "1234", "12.34"},
    {"MD2", R, "12.3", "1230"},
    {"MD2", R, "12", "1200"},
    {"MD2", R, "-0.5", "-50"},
    {"MD2", R, "12.345", "1235"},
    {"MD2", R, "9.995", "1000"},
    {"MD2", R, ".5", "50"},
    {"MD2", X, "5", "0.05"},
    {"MD2", X, "-5", "-0.05"},
    {"MD2", X, "0", "0.00"},
    {"MD0", X, "0012", "12"},
    {"MD", R, "7", "7"},
    {"MD2", R, "1,234.00", nullptr},
    {"MD2", R, "-", nullptr},
    {"MD2", X, "12.5", nullptr},
    {"MD2", R, "", ""},
    {"MD2", R, " 12.50\n  ", "1250"},
    {"D-YMD[4,2,2]", R, "\n  2000-01-01 ", "11689"},
    {"MD2", R, "12,50", nullptr},
    {"D-YMD[4,2,2]", R, "2024-02-30", nullptr},
    {"D-YMD[4,2,2]", R, "2024-02-03T10:00", nullptr},
    {"MD22", R, "1", nullptr},
    // Case
    {"MCU", R, "abc Zz1", "ABC ZZ1"},
    {"MCL", X, "ABC zZ1", "abc zz1"},
    // Unknown
    {"XYZ", R, "1", nullptr},
    {"", R, "1", nullptr},
};

TEST(HostConversion, Codes) {
    qvhost::ReferenceHost host;
    host.makeCurrent();
    for (const Conversion& c : kConversions) {
        SCOPED_TRACE(std::string(c.code) + " " + std::to_string(c.direction) + " '" + c.input + "'");
        char* out = nullptr;
        int length = -7;
        const int result = qvhost::ReferenceHost::convert(c.input, c.code, &out, &length, c.direction);
        if (!c.output) {
            EXPECT_EQ(result, -1);
            continue;
        }
        ASSERT_NE(result, -1);
        EXPECT_EQ(std::string(out, std::size_t(length)), c.output);
        EXPECT_EQ(out[length], '\0');
    }
}

// The library hands over a whole field: each value and subvalue converts on its own,
// marks kept, in both directions; one refused piece fails the call unless refusals
// are marked, and each is logged.
TEST(HostConversion, FieldValueByValue) {
    qvhost::ReferenceHost host;
    host.makeCurrent();
    char* out = nullptr;
    int length = 0;
    ASSERT_EQ(qvhost::ReferenceHost::convert("2000-01-01\xFD" "2000-01-02\xFC" "1968-01-01\xFD",
                                             "D-YMD[4,2,2]", &out, &length, R), 0);
    EXPECT_EQ(std::string(out, std::size_t(length)), "11689\xFD" "11690\xFC" "1\xFD");
    ASSERT_EQ(qvhost::ReferenceHost::convert("1250\xFD\x7F\xFD-5", "MD2", &out, &length, X), 0);
    EXPECT_EQ(std::string(out, std::size_t(length)), "12.50\xFD\x7F\xFD-0.05");

    EXPECT_EQ(qvhost::ReferenceHost::convert("1.5\xFDx\xFD" "2", "MD2", &out, &length, R), -1);
    ASSERT_EQ(host.refusals().size(), 1u);
    EXPECT_EQ(host.refusals()[0].value, "x");
    host.setMarkRefusals(true);
    ASSERT_EQ(qvhost::ReferenceHost::convert("1.5\xFDy\xFD" "2", "MD2", &out, &length, R), 0);
    EXPECT_EQ(std::string(out, std::size_t(length)), "150\xFD\xFB" "1\xFB\xFD" "200");
    EXPECT_EQ(host.refusals()[1].value, "y");
    EXPECT_EQ(host.refusals()[1].code, "MD2");
}

TEST(HostConversion, DatesRoundTrip) {
    for (int day = -30000; day <= 60000; day += 37) {
        std::string external, internal;
        ASSERT_TRUE(qvhost::convertValue(std::to_string(day), "D-YMD[4,2,2]", X, external));
        ASSERT_TRUE(qvhost::convertValue(external, "D-YMD[4,2,2]", R, internal));
        EXPECT_EQ(internal, std::to_string(day));
    }
}

struct Extraction {
    int field, value, subvalue;
    const char* text;
    int values, subvalues;
};

TEST(HostExtract, ByPosition) {
    qvhost::ReferenceHost host;
    host.setMarks('^', ']', '\\');
    host.makeCurrent();
    const char* record = "K1^a]b\\c]d^^x";
    const Extraction cases[] = {
        {1, 0, 0, "K1", 0, 0},
        {2, 0, 0, "a]b\\c]d", 2, 1},
        {2, 1, 0, "a", 2, 0},
        {2, 2, 0, "b\\c", 2, 1},
        {2, 2, 2, "c", 2, 1},
        {2, 2, 3, "", 2, 1},
        {2, 3, 0, "d", 2, 0},
        {2, 4, 0, "", 2, 0},
        {3, 0, 0, "", 0, 0},
        {4, 0, 0, "x", 0, 0},
        {5, 0, 0, "", 0, 0},
        {0, 0, 0, "", 0, 0},
    };
    for (const Extraction& c : cases) {
        SCOPED_TRACE(std::to_string(c.field) + "," + std::to_string(c.value) + "," +
                     std::to_string(c.subvalue));
        char* text = nullptr;
        int length = -1, values = -1, subvalues = -1;
        qvhost::ReferenceHost::extract(record, c.field, c.value, c.subvalue, &text, &length,
                                       &values, &subvalues);
        EXPECT_EQ(std::string(text, std::size_t(length)), c.text);
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(subvalues, c.subvalues);
    }
    char* text = nullptr;
    int length = -1;
    qvhost::ReferenceHost::extract(record, 2, 1, 0, &text, &length, nullptr, nullptr);
    EXPECT_EQ(length, 1);
}

TEST(HostDictionary, FileFormat) {
    qvhost::ReferenceHost host;
    host.setDictionaryDirectory(QVXML_TEST_DATA "/map");
    host.install();
    void* dict = qvhost::ReferenceHost::dictOpen("orders");
    ASSERT_NE(dict, nullptr);
    int mv = -1, length = -1;
    char* code = nullptr;
    EXPECT_EQ(qvhost::ReferenceHost::dictDescribe(dict, "line_ids", &mv, &code, &length), 2);
    EXPECT_EQ(mv, 1);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(qvhost::ReferenceHost::dictDescribe(dict, "ORDER_DATE", &mv, &code, &length), 3);
    EXPECT_EQ(std::string(code, std::size_t(length)), "D-YMD[4,2,2]");
    EXPECT_EQ(qvhost::ReferenceHost::dictDescribe(dict, "NAME", &mv, &code, &length), 5);
    EXPECT_EQ(qvhost::ReferenceHost::dictDescribe(dict, "FULL_NAME", &mv, &code, &length), -1);
    EXPECT_EQ(qvhost::ReferenceHost::dictDescribe(dict, "NOPE", &mv, &code, &length), -2);
    EXPECT_EQ(mv, 0);
    EXPECT_EQ(length, 0);
    qvhost::ReferenceHost::dictClose(dict);
    EXPECT_EQ(host.opens(), 1);
    EXPECT_EQ(host.closes(), 1);
    EXPECT_EQ(qvhost::ReferenceHost::dictOpen("MISSING"), nullptr);
    EXPECT_EQ(qvhost::ReferenceHost::dictOpen(nullptr), nullptr);
    EXPECT_EQ(qvhost::ReferenceHost::dictOpen("../map/ORDERS"), nullptr);
}

TEST(HostDictionary, MalformedLines) {
    const char* bad[] = {"ID", "ID x S", "ID 0 Q", "ID -1 S", "X V S", "P 1 S MD2x",
                         "D 1 M D-YDM[4,2,2", "C 2 S XYZ"};
    for (const char* line : bad) {
        qvhost::Dictionary d;
        std::string error;
        EXPECT_FALSE(d.parse(std::string("# c\n\n") + line + "\n", &error)) << line;
        EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << error;
    }
}

TEST(HostEncoding, Settable) {
    qvhost::ReferenceHost host;
    host.makeCurrent();
    EXPECT_EQ(qvhost::ReferenceHost::encoding(), nullptr);
    QvHostEncoding e{};
    std::snprintf(e.base, sizeof e.base, "%s", "ISO-8859-1");
    host.setEncoding(e);
    ASSERT_NE(qvhost::ReferenceHost::encoding(), nullptr);
    EXPECT_STREQ(qvhost::ReferenceHost::encoding()->base, "ISO-8859-1");
    host.clearEncoding();
    EXPECT_EQ(qvhost::ReferenceHost::encoding(), nullptr);
}

}  // namespace
