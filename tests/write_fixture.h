// The host of the writing tests: dictionaries declared by the test (kept by the
// reference host), the reference host's extraction with readable marks, and a
// conversion that keeps values unless its code says otherwise. Datasets opened to
// create, records pushed, documents written compactly for comparison.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/reference_host.h"
#include "qvxml.h"

namespace writetest {

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

// "REFUSE" fails; "TAG" gives "TAG(input)" and shows the direction; any other code
// keeps the value, so what is read can be written back unchanged.
inline int convert(const char* input, const char* code, char** output, int* length,
                   int direction) {
    static std::string out;
    if (std::strcmp(code, "REFUSE") == 0) return -1;
    if (std::strcmp(code, "TAG") == 0)
        out = std::string("TAG") + (direction == QV_CONV_TO_XML ? "x(" : "r(") + input + ")";
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

inline qvhost::ReferenceHost& installHost(const std::vector<DictColumn>& columns,
                                          const std::string& dictionaryDir = "") {
    static std::unique_ptr<qvhost::ReferenceHost> host;
    host = std::make_unique<qvhost::ReferenceHost>();
    for (const DictColumn& c : columns)
        host->dictionary(c.table).addRaw({c.column, c.field, c.multivalued != 0, c.conversion, -1});
    if (!dictionaryDir.empty()) host->setDictionaryDirectory(dictionaryDir);
    host->setMarks(kField, kValue, kSubvalue);
    host->makeCurrent();
    QV_XMLInitial(&qvhost::ReferenceHost::dictOpen, &qvhost::ReferenceHost::dictDescribe,
                  &qvhost::ReferenceHost::dictClose, convert, &qvhost::ReferenceHost::extract,
                  encoding);
    return *host;
}

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

}  // namespace writetest
