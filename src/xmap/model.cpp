// Lookups over the mapping model and its release.
#include "xmap/model.h"

#include <cstring>

namespace qv {
namespace {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool matches(const TableClassMap& m, const char* name, bool byTable) {
    return equalsNoCase(m.mapName, name) || (byTable && equalsNoCase(m.tableName, name));
}

// Depth-first search of `level` from index `from`: each map, its children, then
// the maps after it.
TableClassMap* searchLevel(const std::vector<std::unique_ptr<TableClassMap>>& level,
                           std::size_t from, const char* name, bool byTable) {
    for (std::size_t i = from; i < level.size(); ++i) {
        TableClassMap* m = level[i].get();
        if (matches(*m, name, byTable)) return m;
        if (TableClassMap* found = searchLevel(m->children, 0, name, byTable)) return found;
    }
    return nullptr;
}

}  // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

void MappingModel::clearOptions() {
    emptyStringIsNull = 0;
    ignoreNameSpace = 0;
    cascade = 0;
    existRecordAction = kActionNone;
    namespaces.clear();
    defaultNamespace.reset();
    dateFormat.reset();
}

void MappingModel::clear() {
    bindingKind = 0;
    mapSequence = 0;
    maps.clear();
    clearOptions();
}

TableClassMap* findMap(const MappingModel& model, const char* name, bool byTable) {
    return findMapFrom(model, model.root(), name, byTable);
}

TableClassMap* findMapFrom(const MappingModel& model, TableClassMap* start, const char* name,
                           bool byTable) {
    if (!start) return nullptr;
    if (!name || !*name) return byTable ? start : nullptr;
    const auto& level = start->parent ? start->parent->children : model.maps;
    for (std::size_t i = 0; i < level.size(); ++i)
        if (level[i].get() == start) return searchLevel(level, i, name, byTable);
    return nullptr;
}

MapColumn* findColumn(const TableClassMap& map, const char* name) {
    for (const auto& c : map.columns)
        if (equalsNoCase(c->name, name)) return c.get();
    return nullptr;
}

MapColumn& addColumn(TableClassMap& map, const char* name, ColumnKind kind) {
    auto column = std::make_unique<MapColumn>();
    column->kind = kind;
    if (name) column->name = std::string(name);
    MapColumn& ref = *column;
    map.columns.insert(map.columns.begin(), std::move(column));
    return ref;
}

NameSpaceEntry* findNamespace(MappingModel& model, const char* text, bool byUri) {
    if (!text) return nullptr;
    for (auto& e : model.namespaces)
        if ((byUri ? e.uri : e.prefix) == text) return &e;
    return nullptr;
}

}  // namespace qv
