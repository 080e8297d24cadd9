// The qvxml tool's pieces that need no account: joining an incoming record with the
// stored one by the mapping's actions, the description taken apart, JSON strings.
#include <string>

#include <gtest/gtest.h>

#include "mapping_info.h"
#include "records.h"
#include "store_rules.h"

namespace {

using qvcli::InfoTable;

// Records written with "^" for the field mark, "]" for the value mark, "\" for the
// subvalue mark.
std::string marks(std::string text) {
    for (char& c : text) {
        if (c == '^') c = '\xFE';
        else if (c == ']') c = '\xFD';
        else if (c == '\\') c = '\xFC';
    }
    return text;
}

InfoTable table(const std::string& description) {
    const std::vector<InfoTable> tables = qvcli::parseDescription(marks(description));
    return tables.at(0);
}



// A parent key is a set of keys: appending adds only the values it lacks, while an
// ordinary Append column keeps repeats.
TEST(tool_records, append_to_a_parent_key_adds_new_values_only) {
    // Field 1 Append and a parent key, field 2 Append.
    const InfoTable rules = table("T\\1]1\\1001]1\\4]2\\1001");
    EXPECT_EQ(qvcli::joinRecord(marks("K^c1]c2^n"), marks("K^c1]c2]c3^n"), &rules),
              marks("K^c1]c2]c3^n]n"));
    EXPECT_EQ(qvcli::joinRecord(marks("K^^n"), marks("K^c1]c1^"), &rules), marks("K^c1^n"));
}

TEST(tool_records, join_by_actions) {
    // Field 1 Replace, field 2 Append, field 3 no action.
    const InfoTable rules = table("T\\1]0\\1]1\\1000]2\\1001");
    struct Case {
        const char* stored;
        const char* incoming;
        const char* expected;
    } cases[] = {
        {"K^a^x]y^keep", "K^b^z^new", "K^b^x]y]z^keep"},
        {"K^a^^", "K^b^z^new", "K^b^z^new"},          // empty fields take the new text
        {"K^a^x", "K^^^", "K^^x"},                    // Replace with empty, Append of nothing
        {"K^a^x^^^^old6", "K^b", "K^b^x^^^^old6"},    // fields beyond the new record stay
        {"K^a^x^c^^", "K^a^x^c", "K^a^x]x^c"},        // trailing empty fields dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(qvcli::joinRecord(marks(c.stored), marks(c.incoming), &rules), marks(c.expected))
            << c.stored << " + " << c.incoming;
    // Without actions the incoming record replaces the stored one whole.
    const InfoTable none = table("T\\1]0\\1");
    EXPECT_EQ(qvcli::joinRecord(marks("K^a^b^c"), marks("K^z"), &none), marks("K^z"));
    EXPECT_EQ(qvcli::joinRecord(marks("K^a^b^c"), marks("K^z"), nullptr), marks("K^z"));
}

TEST(tool_records, description_fields) {
    const std::vector<InfoTable> tables = qvcli::parseDescription(
        marks("ORDERS\\1]0\\1000]3\\1000]3\\4^LINES\\2]0\\1\\1\\XID]1\\7\\1\\3]4\\2"));
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].tableName, "ORDERS");
    EXPECT_EQ(tables[0].level, 1);
    EXPECT_EQ(tables[0].action(3), 1000);
    EXPECT_EQ(tables[0].action(5), 0);
    EXPECT_EQ(tables[1].level, 2);
    ASSERT_EQ(tables[1].entries.size(), 3u);
    EXPECT_EQ(tables[1].entries[0].more, (std::vector<std::string>{"1", "XID"}));
    EXPECT_EQ(tables[1].entries[1].code, 7);
    EXPECT_EQ(tables[1].entries[1].more, (std::vector<std::string>{"1", "3"}));
    EXPECT_FALSE(tables[1].hasActions());
    EXPECT_TRUE(qvcli::parseDescription("").empty());
}

TEST(tool_records, json_strings_are_valid_utf8_json) {
    EXPECT_EQ(qvcli::jsonString("a\"b\\c\n\t\x01\x7F"), "\"a\\\"b\\\\c\\n\\t\\u0001\\u007f\"");
    EXPECT_EQ(qvcli::jsonString("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
              "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"");
    // Bytes that are not UTF-8 (a lone continuation, an overlong form, a surrogate,
    // a cut sequence) stand for themselves.
    EXPECT_EQ(qvcli::jsonString("\x80\xC0\xAF\xED\xA0\x80\xE2\x82"),
              "\"\\u0080\\u00c0\\u00af\\u00ed\\u00a0\\u0080\\u00e2\\u0082\"");
}

}  // namespace
