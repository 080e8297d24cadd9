// The qvxml tool's pieces that need no account: joining an incoming record with the
// stored one by the mapping's actions, the description taken apart, JSON strings.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "cli.h"
#include "host/account.h"
#include "mapping_info.h"
#include "records.h"
#include "session.h"
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

TEST(tool_records, documents_tidied_for_output) {
    struct Case {
        const char* written;
        const char* lineEnd;
        const char* expected;
    } cases[] = {
        {"\n<a/>\n", "\n", "<a/>\n"},           // pretty printed without a declaration
        {"<a/>", "\n", "<a/>\n"},               // not pretty printed: no final line end
        {"\r\n<a/>\r\n", "\r\n", "<a/>\r\n"},
        {"<?xml version=\"1.0\"?>\n<a/>", "\r", "<?xml version=\"1.0\"?>\n<a/>\r"},
        {"", "\n", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(qvcli::tidyDocument(c.written, c.lineEnd), c.expected) << c.written;
}

TEST(tool_records, parse_failures_say_where_and_what) {
    qvcli::Source file;
    file.name = file.path = "doc.xml";
    EXPECT_EQ(qvcli::parseFailureLine(file, 30,
                                      "Fatal error at file '/x/doc.xml', line 3, column 9. Message: "
                                      "expected end of tag 'b'\n"),
              "doc.xml:3:9: not well-formed: expected end of tag 'b'");
    // A validation error before a fatal one: the document is still not well-formed.
    EXPECT_EQ(qvcli::parseFailureLine(file, 30,
                                      "Error at file '/x/doc.xml', line 1, column 4. Message: no "
                                      "declaration found for element 'a'\nFatal error at file "
                                      "'/x/doc.xml', line 1, column 9. Message: x\n"),
              "doc.xml:1:4: not well-formed: no declaration found for element 'a'");
    EXPECT_EQ(qvcli::parseFailureLine(file, 29,
                                      "Error at file '/x/doc.xml', line 2, column 1. Message: "
                                      "element 'from' is not allowed\n"),
              "doc.xml:2:1: not valid: element 'from' is not allowed");
    qvcli::Source input;
    input.name = "-";
    EXPECT_EQ(qvcli::parseFailureLine(input, 2029, "An XML exception occured.\n"),
              "standard input: cannot be parsed (code 2029)");
}

TEST(tool_records, mapping_errors_find_their_line) {
    const std::string mapping =
        "<QVXMAP>\n"
        "  <TABLECLASSMAP MapName=\"M\" TableName=\"T\" StartNode=\"/r/i\">\n"
        "    <ColumnMap Column=\"ID\" Node=\"@id\"/>\n"
        "    <ColumnMap Column='NAMEX'\n"
        "               Node=\"n\"/>\n"
        "    <ColumnMap\n"
        "      Node=\"x\"/>\n"
        "  </TABLECLASSMAP>\n"
        "</QVXMAP>\n";
    struct Case {
        const char* message;
        int line;
    } cases[] = {
        {"QVXMAP/QVXML_extraction: Cannot find column NAMEX in file T.\n", 4},
        {"QVXMAP/QVXML_extraction: Missing attribute Column in <ColumnMap>.\n", 6},
        {"QVXMAP/QVXML_extraction: Cannot find the map name 'M' referenced in the <TableMap> in X.\n", 2},
        {"QVXMAP/QVXML_extraction: Must have an ID mapping for table Q.\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(qvcli::mappingErrorLine(mapping, c.message), c.line) << c.message;
}

// The file's view read from SQL gives back every value of every record as the tool
// splits it, whatever bytes the values hold.
TEST(tool_records, account_view_reads_every_value) {
    char folder[] = "/tmp/qvxml_view_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/account.db";
    std::string awkward = "q\"b\\s/t\tn\nr\r\x7F\xFF\xC3\xA9";
    for (char c = 1; c < 0x20; ++c) awkward += c;
    const std::vector<std::string> records{
        marks("1^one^a]b]c^x"),
        marks("2^^^"),                           // empty fields
        marks("3^two"),                          // fields the record does not reach
        marks("4^x]y^a\\b]c^p\\q"),              // marks in a single-valued field
        marks("5^") + awkward + marks("^") + awkward + marks("]") + awkward,
    };
    {
        qvhost::Account account(path);
        account.putDictionary("T", "ID 0 S\nNAME 1 S\nTAGS 2 M\nNAME2 1 S\nid 3 S\n");
        for (const std::string& record : records)
            account.put("T", record.substr(0, record.find('\xFE')), record);
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    auto query = [&](const std::string& sql) {
        std::vector<std::string> rows;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sql << ": " << sqlite3_errmsg(db);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            rows.emplace_back(text ? text : "<null>", text ? std::size_t(sqlite3_column_bytes(stmt, 0)) : 6);
        }
        EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        return rows;
    };
    using Rows = std::vector<std::string>;
    // The column names: the record ID, then the first name of each field (a name
    // already taken gets the field number).
    EXPECT_EQ(query("SELECT name FROM pragma_table_info('T_view')"), (Rows{"id", "NAME", "TAGS", "id_3"}));
    EXPECT_EQ(query("SELECT NAME FROM T_view ORDER BY id"),
              (Rows{"one", "", "two", "[\"x\",\"y\"]", awkward}));
    EXPECT_EQ(query("SELECT TAGS FROM T_view WHERE id < '5' ORDER BY id"),
              (Rows{"[\"a\",\"b\",\"c\"]", "[]", "[]", "[[\"a\",\"b\"],\"c\"]"}));
    EXPECT_EQ(query("SELECT value FROM T_view, json_each(T_view.TAGS) WHERE T_view.id = '1'"),
              (Rows{"a", "b", "c"}));
    EXPECT_EQ(query("SELECT value FROM T_view, json_each(T_view.TAGS) WHERE T_view.id = '5'"),
              (Rows{awkward, awkward}));
    EXPECT_EQ(query("SELECT id_3 FROM T_view WHERE id = '4'"), (Rows{"[[\"p\",\"q\"]]"}));
    EXPECT_EQ(query("SELECT id FROM T_view WHERE NAME = 'one'"), (Rows{"1"}));
    // The records themselves are untouched.
    EXPECT_EQ(query("SELECT CAST(record AS TEXT) FROM T ORDER BY id"), records);
    sqlite3_close(db);
    std::remove(path.c_str());
    rmdir(folder);
}

}  // namespace
