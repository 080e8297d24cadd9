// Dictionary binding through the host's dictionary callbacks.
#include "xmap/binding.h"

#include <algorithm>
#include <unordered_map>

#include "frame/errors.h"
#include "frame/host.h"

namespace qv {
namespace {

// One open dictionary, closed on every way out.
class OpenDictionary {
public:
    explicit OpenDictionary(const Text& table) : handle_(host().dictOpen(cstr(table))) {}
    ~OpenDictionary() {
        if (handle_) host().dictClose(handle_);
    }
    OpenDictionary(const OpenDictionary&) = delete;
    OpenDictionary& operator=(const OpenDictionary&) = delete;

    bool open() const { return handle_ != nullptr; }

    struct Description {
        int field;
        int multivalued;
        const char* code;
        int codeLength;
    };
    Description describe(const char* column) const {
        Description d{0, 0, nullptr, 0};
        char* code = nullptr;
        d.field = host().dictDescribe(handle_, column, &d.multivalued, &code, &d.codeLength);
        d.code = code;
        return d;
    }

private:
    void* handle_;
};

// Describes each column; false after reporting.
bool describeColumns(TableClassMap& map, const OpenDictionary& dict, int mode) {
    const char* table = shown(map.tableName);
    for (const auto& owned : map.columns) {
        MapColumn& c = *owned;
        if (c.kind == ColumnKind::NestedMap) continue;
        const char* name = cstr(c.name);
        const auto d = dict.describe(name);
        c.field = d.field;
        c.multivalued = d.multivalued != 0;
        c.convCode.reset();
        if (d.field < 0) {
            const char* shownName = name ? name : "(null)";
            if (d.field == -1 && mode == QV_XMAP_EXTRACTION)
                report(Error::VirtualColumn, shownName, table);
            else if (d.field == -2)
                report(Error::NoSuchColumn, shownName, table);
            else
                report(Error::ColumnDescribeFailed, shownName, table);
            return false;
        }
        if (d.codeLength > 0 && d.code) c.convCode = std::string(d.code, std::size_t(d.codeLength));
        if (c.kind == ColumnKind::RecordId) {
            if (c.field != 0) {
                report(Error::GenerateIdNotId, name ? name : "(null)", table);
                return false;
            }
            if (c.part1 && dict.describe(c.part1->c_str()).field < 0) {
                report(Error::GenerateIdNotInDictionary, c.part1->c_str(), table);
                return false;
            }
        }
    }
    return true;
}

// Chains the bound columns by ascending field number; 3050, 3051.
bool chainByField(TableClassMap& map, int mode) {
    map.byField.clear();
    std::unordered_map<int, const MapColumn*> byNumber;
    for (const auto& owned : map.columns) {
        MapColumn* c = owned.get();
        if (c->kind == ColumnKind::NestedMap) continue;
        map.byField.push_back(c);
    }
    const bool hasId = std::any_of(map.byField.begin(), map.byField.end(),
                                   [](const MapColumn* c) { return c->field == 0; });
    if (!hasId && mode != XML_CREATE) {
        report(Error::IdMappingRequired, shown(map.tableName));
        return false;
    }
    for (const MapColumn* c : map.byField) {
        auto [it, added] = byNumber.emplace(c->field, c);
        if (!added) {
            report(Error::ColumnsShareLocation, shown(it->second->name), shown(c->name), shown(map.tableName));
            return false;
        }
    }
    std::stable_sort(map.byField.begin(), map.byField.end(),
                     [](const MapColumn* a, const MapColumn* b) { return a->field < b->field; });
    return true;
}

}  // namespace

bool bindMap(TableClassMap& map, int mode) {
    {
        OpenDictionary dict(map.tableName);
        if (!dict.open()) {
            report(Error::DictionaryOpenFailed, shown(map.tableName));
            return false;
        }
        if (!describeColumns(map, dict, mode)) return false;
    }
    return chainByField(map, mode);
}

bool bindTree(MappingModel& model, int mode) {
    return forEachMap(model, [mode](TableClassMap& m) { return bindMap(m, mode); });
}

void numberByPosition(TableClassMap& map) {
    map.byField.clear();
    int field = 0;
    for (const auto& owned : map.columns) {
        MapColumn* c = owned.get();
        if (c->kind == ColumnKind::NestedMap) continue;
        c->field = field++;
        c->multivalued = false;
        c->convCode.reset();
        map.byField.push_back(c);
    }
}

}  // namespace qv
