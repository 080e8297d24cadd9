// The host of the reading tests: dictionaries declared by the test (kept by the
// reference host), a conversion that shows which code it was given, readable marks,
// and helpers that open a dataset over two texts and read whole tables.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/reference_host.h"
#include "qvxml.h"
#include "xdom/handle.h"

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

// The reference host serves the dictionaries; conversion, extraction and encoding
// are this fixture's own, so that records show which code each value went through.
inline qvhost::ReferenceHost& freshDictionaries() {
    static std::unique_ptr<qvhost::ReferenceHost> host;
    host = std::make_unique<qvhost::ReferenceHost>();
    return *host;
}

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

inline void installHost(const std::vector<DictColumn>& columns) {
    qvhost::ReferenceHost& host = freshDictionaries();
    for (const DictColumn& c : columns)
        host.dictionary(c.table).addRaw({c.column, c.field, c.multivalued != 0, c.conversion, -1});
    host.makeCurrent();
    QV_XMLInitial(&qvhost::ReferenceHost::dictOpen, &qvhost::ReferenceHost::dictDescribe,
                  &qvhost::ReferenceHost::dictClose, convert, extract, encoding);
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

}  // namespace readtest
