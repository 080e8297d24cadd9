// The reference host's callbacks and their routing.
#include "host/reference_host.h"

#include <cstring>
#include <fstream>

#include "host/conversion.h"

namespace qvhost {
namespace {

ReferenceHost* g_current = nullptr;

// What a dictionary handle stands for.
struct OpenDictionary {
    ReferenceHost* host;
    const Dictionary* dictionary;
};

char g_empty[] = "";

}  // namespace

ReferenceHost::ReferenceHost() = default;

ReferenceHost::~ReferenceHost() {
    if (g_current == this) g_current = nullptr;
}

void ReferenceHost::makeCurrent() { g_current = this; }

Dictionary& ReferenceHost::dictionary(const std::string& file) {
    auto& slot = dictionaries_[upperAscii(file)];
    if (!slot) slot = std::make_unique<Dictionary>();
    return *slot;
}

const Dictionary* ReferenceHost::find(const char* file) {
    if (!file || !*file) return nullptr;
    const std::string key = upperAscii(file);
    auto it = dictionaries_.find(key);
    if (it != dictionaries_.end()) return it->second.get();
    if (directory_.empty() || std::strchr(file, '/')) return nullptr;
    // The file as named, else its upper-case name.
    for (const std::string& name : {std::string(file), key}) {
        const std::string path = directory_ + "/" + name + ".dict";
        if (!std::ifstream(path)) continue;
        auto loaded = std::make_unique<Dictionary>();
        if (!loaded->load(path, &dictionaryError_)) return nullptr;
        dictionaryError_.clear();
        return (dictionaries_[key] = std::move(loaded)).get();
    }
    dictionaryError_ = std::string("no dictionary file for ") + file;
    return nullptr;
}

void* ReferenceHost::dictOpen(const char* file) {
    ReferenceHost* self = g_current;
    const Dictionary* dictionary = self ? self->find(file) : nullptr;
    if (!dictionary) return nullptr;
    ++self->opens_;
    return new OpenDictionary{self, dictionary};
}

int ReferenceHost::dictDescribe(void* dict, const char* column, int* multivalued, char** code,
                                int* codeLength) {
    *multivalued = 0;
    *code = g_empty;
    *codeLength = 0;
    const Column* c = static_cast<OpenDictionary*>(dict)->dictionary->find(column);
    if (!c) return -2;
    *multivalued = c->multivalued ? 1 : 0;
    *code = const_cast<char*>(c->code.c_str());
    *codeLength = c->codeLength >= 0 ? c->codeLength : int(c->code.size());
    return c->result;
}

void ReferenceHost::dictClose(void* dict) {
    auto* open = static_cast<OpenDictionary*>(dict);
    if (!open) return;
    ++open->host->closes_;
    delete open;
}

int ReferenceHost::convert(const char* input, const char* code, char** output, int* length,
                           int direction) {
    ReferenceHost* self = g_current;
    if (!self || !input || !code) return -1;
    if (!knownConversion(code)) {
        self->refusals_.push_back(Refusal{input, code, direction});
        return -1;
    }
    const bool mark = self->markRefusals_;
    auto refuse = [&](const std::string& piece, std::string& out) {
        if (mark) out += kRefusalMark + std::to_string(self->refusals_.size()) + kRefusalMark;
        self->refusals_.push_back(Refusal{piece, code, direction});
    };
    if (!convertField(input, code, direction, self->valueMark_, self->subvalueMark_, '\x7F',
                      self->converted_, refuse) &&
        !mark)
        return -1;
    *output = const_cast<char*>(self->converted_.c_str());
    *length = int(self->converted_.size());
    return 0;
}

namespace {

// [begin, end) of the n-th (1-based) item of [begin, end) separated by mark;
// false past the last item.
bool item(const char*& begin, const char*& end, int n, char mark) {
    for (int i = 1; i < n; ++i) {
        const void* at = std::memchr(begin, mark, std::size_t(end - begin));
        if (!at) return false;
        begin = static_cast<const char*>(at) + 1;
    }
    if (const void* at = std::memchr(begin, mark, std::size_t(end - begin)))
        end = static_cast<const char*>(at);
    return true;
}

int countOf(const char* begin, const char* end, char mark) {
    int n = 0;
    for (const char* p = begin; p < end; ++p) n += (*p == mark);
    return n;
}

}  // namespace

void ReferenceHost::extract(const char* record, int field, int value, int subvalue, char** text,
                            int* length, int* valueCount, int* subvalueCount) {
    ReferenceHost* self = g_current;
    const char fm = self ? self->fieldMark_ : '\xFE';
    const char vm = self ? self->valueMark_ : '\xFD';
    const char sm = self ? self->subvalueMark_ : '\xFC';
    *text = g_empty;
    *length = 0;
    if (valueCount) *valueCount = 0;
    if (subvalueCount) *subvalueCount = 0;
    if (!record || field < 1) return;
    const char* begin = record;
    const char* end = record + std::strlen(record);
    if (!item(begin, end, field, fm)) return;
    if (valueCount) *valueCount = countOf(begin, end, vm);
    if (value > 0 && !item(begin, end, value, vm)) return;
    // Subvalue marks of the value asked for (of the whole field for value 0).
    if (subvalueCount) *subvalueCount = countOf(begin, end, sm);
    if (value > 0 && subvalue > 0 && !item(begin, end, subvalue, sm)) return;
    *text = const_cast<char*>(begin);
    *length = int(end - begin);
}

const QvHostEncoding* ReferenceHost::encoding() {
    return g_current && g_current->encoding_ ? &*g_current->encoding_ : nullptr;
}

}  // namespace qvhost
