// The mapping model: what a mapping file or an extraction file becomes once it is
// loaded. A tree of table class maps, each with its columns, key links to related
// tables, order columns and record queue, plus the mapping-wide options.
//
// All names, paths and codes are host-encoded text. Where an attribute may be
// missing, `Text` (an optional string) keeps "absent" apart from "empty".
//
// Orders that the rest of the engine relies on:
//   - columns: declaration order, columns added by the cross-checks in front;
//   - byField: ascending field number, the record ID column first;
//   - related: newest first; orderColumns: file order;
//   - children: first child first; the top-level maps: file order;
//   - namespaces: newest first.
// Depth-first order is: a map, then its children (recursively), then its next
// siblings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xmap/compiled_path.h"
#include "xmap/queue.h"

namespace qv {

// Text that may be absent (a missing attribute), as opposed to empty.
using Text = std::optional<std::string>;

// The C view of a Text: null when absent.
inline const char* cstr(const Text& t) { return t ? t->c_str() : nullptr; }

// A name as messages show it: "(null)" when absent.
inline const char* shown(const Text& t) { return t ? t->c_str() : "(null)"; }

// ASCII case-insensitive equality (names and keywords of the mapping file); the
// forms of C strings and Texts are false when either side is absent.
bool equalsNoCase(std::string_view a, std::string_view b);
inline bool equalsNoCase(const char* a, const char* b) {
    return a && b && equalsNoCase(std::string_view(a), std::string_view(b));
}
inline bool equalsNoCase(const Text& a, const char* b) { return a && equalsNoCase(a->c_str(), b); }

enum class ColumnKind : std::int32_t {
    Regular = 0,             // ColumnMap, field_extraction
    RecordId = 1,            // GenerateID
    GeneratedOrder = 2,      // OrderColumn Generate="YES"
    GeneratedParentKey = 3,  // RelatedTable KeyGenerate="YES"
    ParentKey = 4,           // declared column used as a parent key
    ChildKey = 5,            // RelatedTable child side, generated in the child map
    ChildKeyMulti = 7,       // child key into a multivalued parent key
    NestedMap = 100,         // TableMap
};

// Actions of maps and columns (same values as QV_ACTION_*).
constexpr int kActionNone = 0;
constexpr int kActionReplace = 1;
constexpr int kActionAppend = 2;

struct TableClassMap;

struct MapColumn {
    ColumnKind kind = ColumnKind::Regular;
    int field = 0;              // 0 = record ID
    bool multivalued = false;   // from the dictionary
    int action = kActionNone;
    int counter = 0;            // next generated number

    // Kinds ChildKey and ChildKeyMulti: the parent key column and its map (not owned).
    MapColumn* parentKey = nullptr;
    TableClassMap* parentMap = nullptr;
    // Kind ParentKey, at run time: the raw text of this field in the record last
    // built (hasSavedKey false until the first one).
    std::string savedKey;
    bool hasSavedKey = false;

    Text name;      // Column / field; NestedMap: the nested map's MapName
    Text convCode;  // host conversion code, from the dictionary
    // The path split at ",": RecordId: XFIELD, SUBR; NestedMap: Node (as written);
    // ChildKeyMulti: part2 is the relative path to the parent key's value.
    Text part1, part2, part3;
    // The parts as both roads follow them (compiled_path.h), filled once the
    // mapping is loaded: for Regular and ParentKey columns every part, the lowest
    // as a value path; for ChildKeyMulti only part 2, as a value path; none for
    // the other kinds.
    CompiledPath path1, path2, path3;

    // Number of level parts of a Regular or ParentKey column (1 to 3).
    int partCount() const { return part3 ? 3 : part2 ? 2 : 1; }
    bool isKey() const { return kind == ColumnKind::ChildKey || kind == ColumnKind::ChildKeyMulti; }
};

struct RelatedTableLink {
    Text childTable;    // MapChildKey TableName
    Text parentColumn;  // MapParentKey Column
    Text childColumn;   // MapChildKey Column
    Text keyGenerate;   // MapParentKey KeyGenerate
    bool generatesKey() const { return equalsNoCase(keyGenerate, "YES"); }
};

struct OrderColumnRef {
    Text name;       // Column
    Text generate;   // Generate
    const MapColumn* column = nullptr;  // bound by the cross-checks
    // The field number of the named column (follows the dictionary binding).
    int field() const { return column ? column->field : 0; }
};

struct NameSpaceEntry {
    bool referenced = false;  // some path of the mapping uses the prefix
    std::string prefix;
    std::string uri;
};

struct TableClassMap {
    int sequence = 0;           // 1, 2, 3 ... depth first, after the cross-checks
    int action = kActionNone;
    Text mapName;               // empty for an extraction file
    Text tableName;             // the host file
    Text startPath;             // blanks removed, prefixes verified
    CompiledPath start;         // the start path as a node path, once loaded
    int multivalueDepth = -1;
    int subvalueDepth = -1;

    std::vector<std::unique_ptr<MapColumn>> columns;  // declaration order
    std::vector<MapColumn*> byField;                  // ascending field number
    std::vector<RelatedTableLink> related;            // newest first
    std::vector<OrderColumnRef> orderColumns;         // file order

    RecordQueue records;  // run time

    std::vector<std::unique_ptr<TableClassMap>> children;  // maps nested by TableMap
    TableClassMap* parent = nullptr;
};

// The model fields of a mapping dataset.
struct MappingModel {
    int bindingKind = 0;        // 10 mapping file; extraction file: 1 by name, 0 by position
    int mapSequence = 0;        // next sequence number
    // The top-level maps in file order; the first is the root of the tree.
    std::vector<std::unique_ptr<TableClassMap>> maps;

    // Options (QV_XMAPSetOption stores values unchanged, so these stay ints).
    int emptyStringIsNull = 0;
    int ignoreNameSpace = 0;
    int cascade = 0;
    int existRecordAction = kActionNone;
    std::vector<NameSpaceEntry> namespaces;  // newest first
    Text defaultNamespace;
    Text dateFormat;

    TableClassMap* root() const { return maps.empty() ? nullptr : maps.front().get(); }

    // Frees the maps and resets every field to its initial value.
    void clear();
    // Resets only the options and namespaces.
    void clearOptions();
};

// Finds a map by map name (and, when byTable, by table name), ignoring ASCII case,
// depth first from the root. An empty or null name gives the root when byTable,
// else nothing.
TableClassMap* findMap(const MappingModel& model, const char* name, bool byTable);
// The same search starting at `start`: start, its descendants, then its next
// siblings with their descendants.
TableClassMap* findMapFrom(const MappingModel& model, TableClassMap* start, const char* name,
                           bool byTable);

// The first column of the declaration list with that name (ASCII case ignored),
// nested map references included; nullptr when none.
MapColumn* findColumn(const TableClassMap& map, const char* name);

// A new column with that name and kind, put in front of the declaration list.
MapColumn& addColumn(TableClassMap& map, const char* name, ColumnKind kind);

// The first namespace entry whose prefix (byUri: URI) equals text exactly.
NameSpaceEntry* findNamespace(MappingModel& model, const char* text, bool byUri);

// Calls f(TableClassMap&) for every map, depth first from the root. f returns
// false to stop; the result is false when it was stopped.
template <class F>
bool forEachMap(std::vector<std::unique_ptr<TableClassMap>>& level, F&& f) {
    for (std::size_t i = 0; i < level.size(); ++i) {
        TableClassMap& m = *level[i];
        if (!f(m)) return false;
        if (!forEachMap(m.children, f)) return false;
    }
    return true;
}
template <class F>
bool forEachMap(MappingModel& model, F&& f) {
    return forEachMap(model.maps, f);
}

}  // namespace qv
