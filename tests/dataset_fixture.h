// The host of the mapping tests, reading and writing alike: dictionaries declared by
// the test (kept by the reference host), the reference host's extraction with
// readable marks, and a conversion that shows which code it was given; helpers that
// open a dataset over texts, read whole tables, push records and write the built
// document compactly for comparison.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/reference_host.h"
#include "qvxml.h"
#include "xdom/handle.h"

namespace dstest {

// Readable marks: records compare as plain strings.
constexpr char kField = '|';
constexpr char kValue = ']';
constexpr char kSubvalue = '}';
constexpr char kNull = '~';

struct DictColumn {
    std::string table;
    std::string column;
    int field;
    int multivalued;
    std::string conversion;
};

// Whether codes other than the two below keep the value: so for dictionaries read
// from files, whose codes are real ones, so that what is read writes back unchanged.
inline bool& keepOtherCodes() {
    static bool keep = false;
    return keep;
}

// "REFUSE" fails; "TAG" gives "TAGx(input)" towards the document and "TAGr(input)"
// towards the record, showing the direction; any other code gives "code(input)"
// (or the value itself, keepOtherCodes). Columns without a code are not converted.
inline int convert(const char* input, const char* code, char** output, int* length,
                   int direction) {
    static std::string out;
    if (std::strcmp(code, "REFUSE") == 0) return -1;
    if (std::strcmp(code, "TAG") == 0)
        out = std::string("TAG") + (direction == QV_CONV_TO_XML ? "x(" : "r(") + input + ")";
    else if (*code && !keepOtherCodes())
        out = std::string(code) + "(" + input + ")";
    else
        out = input;
    *output = const_cast<char*>(out.c_str());
    *length = static_cast<int>(out.size());
    return 0;
}

inline const QvHostEncoding* encoding() {
    static QvHostEncoding utf8 = {"UTF-8", "", ""};
    return &utf8;
}

// A fresh reference host serving `columns` (and the dictionaries of
// `dictionaryDir`, when given), installed with this fixture's conversion.
inline qvhost::ReferenceHost& installHost(const std::vector<DictColumn>& columns,
                                          const std::string& dictionaryDir = "") {
    static std::unique_ptr<qvhost::ReferenceHost> host;
    host = std::make_unique<qvhost::ReferenceHost>();
    for (const DictColumn& c : columns)
        host->dictionary(c.table).addRaw({c.column, c.field, c.multivalued != 0, c.conversion, -1});
    if (!dictionaryDir.empty()) host->setDictionaryDirectory(dictionaryDir);
    keepOtherCodes() = !dictionaryDir.empty();
    host->setMarks(kField, kValue, kSubvalue);
    host->makeCurrent();
    QV_XMLInitial(&qvhost::ReferenceHost::dictOpen, &qvhost::ReferenceHost::dictDescribe,
                  &qvhost::ReferenceHost::dictClose, convert, &qvhost::ReferenceHost::extract,
                  encoding);
    return *host;
}

// The two forms a document is read from: as opened (the compact tree) or after an
// export has needed its DOM. Every reading test runs over both and must give the
// same records.
enum class Form { Compact, Dom };

inline Form& currentForm() {
    static Form form = Form::Compact;
    return form;
}

// Brings an opened document into the form under test.
inline void takeForm(QvHandle doc) {
    if (doc && currentForm() == Form::Dom) doc->domNode();
}

// A suite whose tests run once per form.
class BothForms : public ::testing::TestWithParam<Form> {
protected:
    void SetUp() override { currentForm() = GetParam(); }
    void TearDown() override { currentForm() = Form::Compact; }
};

inline std::string formName(Form form) { return form == Form::Dom ? "dom" : "compact"; }
inline std::string paramName(const ::testing::TestParamInfo<Form>& info) {
    return formName(info.param);
}

// A dataset opened over a document text and a mapping text; closes everything.
struct Opened {
    QvHandle doc = nullptr;
    QvHandle map = nullptr;
    QvDataset ds = nullptr;
    char* rootTable = nullptr;
    bool readCompact = false;  // the records came from the compact tree

    Opened(const char* xml, const char* mapping, int mode = QV_XMAP_READ) {
        Q_XMLResetErrMsg();
        if (xml) doc = QV_XDOMOpen(xml, 1);
        takeForm(doc);
        map = QV_XDOMOpen(mapping, 1);
        EXPECT_TRUE(map) << Q_XMLGetErrMsg();
        ds = QV_XMAPOpen(doc, map, &rootTable, kField, kValue, kSubvalue, kNull, mode);
        readCompact = doc && doc->isCompact();
    }
    ~Opened() {
        QV_XMAPClose(ds);
        QV_XDOMClose(map);
        QV_XDOMClose(doc);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;

    // Every record left in a table.
    std::vector<std::string> read(const char* table = nullptr) {
        std::vector<std::string> out;
        char* record = nullptr;
        int rc;
        while ((rc = QV_XMAPReadNext(ds, table, &record)) == 0) out.emplace_back(record);
        EXPECT_EQ(rc, QV_END_OF_TABLE) << Q_XMLGetErrMsg();
        return out;
    }
    // The next record of a table, or "<end>".
    std::string next(const char* table = nullptr) {
        char* record = nullptr;
        int rc = QV_XMAPReadNext(ds, table, &record);
        if (rc == QV_END_OF_TABLE) return "<end>";
        EXPECT_EQ(rc, 0) << Q_XMLGetErrMsg();
        return rc == 0 ? record : "<error>";
    }
};

using Records = std::vector<std::string>;

// The document of a handle as compact text without a declaration.
inline std::string compact(QvHandle h) {
    Q_XMLResetErrMsg();  // a code left in the error state would fail the write
    QvDocSettings out{};
    std::strcpy(out.lineEnd, "LF");
    const char* text = QV_XDOMWrite(h, &out, nullptr);
    EXPECT_NE(text, nullptr) << Q_XMLGetErrMsg();
    return text ? text : "<write failed>";
}

// A dataset opened over a mapping text, by default to create a document.
struct Dataset {
    QvHandle map = nullptr;
    QvHandle input = nullptr;
    QvDataset ds = nullptr;
    char* rootTable = nullptr;

    explicit Dataset(const std::string& mapping, int mode = XML_CREATE, const char* xml = nullptr) {
        Q_XMLResetErrMsg();
        map = QV_XDOMOpen(mapping.c_str(), 1);
        EXPECT_TRUE(map) << Q_XMLGetErrMsg();
        if (xml) input = QV_XDOMOpen(xml, 1);
        ds = QV_XMAPOpen(input, map, &rootTable, kField, kValue, kSubvalue, kNull, mode);
        EXPECT_TRUE(ds) << Q_XMLGetErrMsg();
    }
    ~Dataset() {
        QV_XMAPClose(ds);
        QV_XDOMClose(map);
        QV_XDOMClose(input);
    }
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    int write(const char* table, const std::string& record) {
        return QV_XMAPWriteNext(ds, table, record.c_str(), static_cast<int>(record.size()));
    }
    // Writes every record, expecting each to be queued.
    void writeAll(const char* table, const std::vector<std::string>& records) {
        for (const std::string& r : records) EXPECT_EQ(write(table, r), 0) << r << ": " << Q_XMLGetErrMsg();
    }
    // The built document as compact text.
    std::string xml() {
        QvHandle h = QV_XMAPToDOM(ds, nullptr);
        EXPECT_NE(h, nullptr) << Q_XMLGetErrMsg();
        if (!h) return "<no document>";
        std::string text = compact(h);
        QV_XDOMClose(h);
        return text;
    }
    // Every record left in a table (reading datasets).
    std::vector<std::string> read(const char* table) {
        std::vector<std::string> out;
        char* record = nullptr;
        while (QV_XMAPReadNext(ds, table, &record) == 0) out.emplace_back(record);
        return out;
    }
};

}  // namespace dstest
