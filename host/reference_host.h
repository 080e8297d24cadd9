// The reference host: the six host callbacks of qvxml implemented the way a
// multivalued database would, for the tests, the benchmarks and the tools.
//
//   - Dictionaries, one per host file: built in code (Dictionary::add) or read
//     from "<directory>/<FILE>.dict" (format in dictionary.h / README).
//   - Conversion codes (conversion.h): D (dates), MD (masked decimals), MCU, MCL.
//   - Extraction of fields, values and subvalues from a record, with the marks set
//     by the caller.
//   - The encoding record, settable (none by default).
//
// The C callbacks carry no user pointer, so static trampolines route them: the
// dictionary callbacks to the host that opened the dictionary, the others to the
// host installed last. One host serves any number of datasets.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/dictionary.h"
#include "qvxml.h"

namespace qvhost {

class ReferenceHost {
public:
    ReferenceHost();
    ~ReferenceHost();
    ReferenceHost(const ReferenceHost&) = delete;
    ReferenceHost& operator=(const ReferenceHost&) = delete;

    // The dictionary of a host file, made empty on first use (names ignore ASCII case).
    Dictionary& dictionary(const std::string& file);
    // Where dictionaries not built in code are read from ("<dir>/<FILE>.dict").
    void setDictionaryDirectory(std::string dir) { directory_ = std::move(dir); }
    // The dictionary of a host file as the callbacks find it (built in code, else read
    // from the directory); null when there is none.
    const Dictionary* findDictionary(const std::string& file) { return find(file.c_str()); }
    // The last error of reading a dictionary file ("" when none).
    const std::string& dictionaryError() const { return dictionaryError_; }

    // Marks used by the extract callback (the ones given to QV_XMAPOpen).
    void setMarks(char field, char value, char subvalue) {
        fieldMark_ = field;
        valueMark_ = value;
        subvalueMark_ = subvalue;
    }
    // Values the conversion callback refused, in the order met. The callback converts
    // value by value and subvalue by subvalue; by default a field with a refused piece
    // fails as a whole (-1). With setMarkRefusals(true) it succeeds instead and each
    // refused piece becomes kRefusalMark, the index of its entry here, kRefusalMark:
    // a caller reading the records finds where each refused value was (record, field,
    // value) and decides what to do with it. 0xFB never occurs in UTF-8 text.
    struct Refusal {
        std::string value;
        std::string code;
        int direction;
    };
    static constexpr char kRefusalMark = '\xFB';
    void setMarkRefusals(bool on) { markRefusals_ = on; }
    const std::vector<Refusal>& refusals() const { return refusals_; }
    void clearRefusals() { refusals_.clear(); }

    // The record the encoding callback returns; clearEncoding(): null.
    void setEncoding(const QvHostEncoding& record) { encoding_ = record; }
    void clearEncoding() { encoding_.reset(); }

    // Dictionary traffic, for checking that every open is closed.
    int opens() const { return opens_; }
    int closes() const { return closes_; }

    // Makes this the host that the trampolines route to and registers them.
    void install() {
        makeCurrent();
        QV_XMLInitial(&dictOpen, &dictDescribe, &dictClose, &convert, &extract, &encoding);
    }
    void makeCurrent();

    // The callbacks, as the library calls them.
    static void* dictOpen(const char* file);
    static int dictDescribe(void* dict, const char* column, int* multivalued, char** code,
                            int* codeLength);
    static void dictClose(void* dict);
    static int convert(const char* input, const char* code, char** output, int* length,
                       int direction);
    static void extract(const char* record, int field, int value, int subvalue, char** text,
                        int* length, int* valueCount, int* subvalueCount);
    static const QvHostEncoding* encoding();

private:
    const Dictionary* find(const char* file);

    std::map<std::string, std::unique_ptr<Dictionary>> dictionaries_;  // by upper-case name
    std::string directory_;
    std::string dictionaryError_;
    std::string converted_;  // output of the last conversion
    std::vector<Refusal> refusals_;
    bool markRefusals_ = false;
    char fieldMark_ = '\xFE';
    char valueMark_ = '\xFD';
    char subvalueMark_ = '\xFC';
    std::optional<QvHostEncoding> encoding_;
    int opens_ = 0;
    int closes_ = 0;
};

}  // namespace qvhost
