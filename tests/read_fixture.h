// A small host for the mapping tests: dictionaries declared by the test, a
// conversion that shows which code it was given, readable marks, and helpers that
// open a dataset over two texts and read whole tables.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qvxml.h"

namespace readtest {

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

inline std::vector<DictColumn>& dictionary() {
    static std::vector<DictColumn> columns;
    return columns;
}

inline void* dictOpen(const char* file) {
    if (!file) return nullptr;
    for (const DictColumn& c : dictionary())
        if (c.table == file) return const_cast<char*>(c.table.c_str());
    return nullptr;
}

inline int dictDescribe(void* dict, const char* column, int* multivalued, char** code,
                        int* codeLength) {
    *multivalued = 0;
    *code = nullptr;
    *codeLength = 0;
    for (DictColumn& c : dictionary()) {
        if (c.table != static_cast<const char*>(dict) || strcasecmp(c.column.c_str(), column) != 0)
            continue;
        *multivalued = c.multivalued;
        *code = const_cast<char*>(c.conversion.c_str());
        *codeLength = static_cast<int>(c.conversion.size());
        return c.field;
    }
    return -2;
}

inline void dictClose(void*) {}

// "REFUSE" fails; any other code gives "code(input)".
inline int convert(const char* input, const char* code, char** output, int* length, int) {
    static std::string out;
    if (std::strcmp(code, "REFUSE") == 0) return -1;
    out = std::string(code) + "(" + input + ")";
    *output = const_cast<char*>(out.c_str());
    *length = static_cast<int>(out.size());
    return 0;
}

inline void extract(const char*, int, int, int, char** text, int* length, int* values,
                    int* subvalues) {
    *text = nullptr;
    *length = 0;
    if (values) *values = 0;
    if (subvalues) *subvalues = 0;
}

inline const QvHostEncoding* encoding() {
    static QvHostEncoding utf8 = {"UTF-8", "", ""};
    return &utf8;
}

inline void installHost(std::vector<DictColumn> columns) {
    dictionary() = std::move(columns);
    QV_XMLInitial(dictOpen, dictDescribe, dictClose, convert, extract, encoding);
}

// A dataset opened over a document text and a mapping text; closes everything.
struct Opened {
    QvHandle doc = nullptr;
    QvHandle map = nullptr;
    QvDataset ds = nullptr;
    char* rootTable = nullptr;

    Opened(const char* xml, const char* mapping, int mode = QV_XMAP_READ) {
        Q_XMLResetErrMsg();
        if (xml) doc = QV_XDOMOpen(xml, 1);
        map = QV_XDOMOpen(mapping, 1);
        EXPECT_TRUE(map) << Q_XMLGetErrMsg();
        ds = QV_XMAPOpen(doc, map, &rootTable, kField, kValue, kSubvalue, kNull, mode);
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

}  // namespace readtest
