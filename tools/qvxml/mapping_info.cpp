// Table class maps of a mapping file, and the mapping description.
#include "mapping_info.h"

#include <cstdlib>
#include <cstring>
#include <functional>

#include "cli.h"
#include "records.h"
#include "session.h"

namespace qvcli {
namespace {

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

std::string attribute(QvHandle element, const char* name) {
    QvHandle a = QV_XDOMGetAttribute(element, name);
    const char* value = a ? QV_XDOMGetNodeValue(a) : nullptr;
    std::string text = value ? value : "";
    QV_XDOMClose(a);
    return text;
}

// The element children of `parent`, as handles the caller closes.
std::vector<Handle> elementChildren(QvHandle parent) {
    std::vector<Handle> children;
    Handle node(QV_XDOMLocateNode(parent, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT));
    while (node) {
        Handle next(QV_XDOMLocateNode(node.get(), QV_DIR_NEXT_SIBLING, 0, QV_NODE_ELEMENT));
        children.push_back(std::move(node));
        node = std::move(next);
    }
    return children;
}

std::string localName(QvHandle element) {
    const char* name = QV_XDOMGetNodeName(element);
    std::string text = name ? name : "";
    const std::size_t colon = text.find(':');
    return colon == std::string::npos ? text : text.substr(colon + 1);
}

}  // namespace

std::vector<MapEntry> mapEntries(QvHandle mapping) {
    std::vector<MapEntry> entries;
    Handle root(QV_XDOMLocateNode(mapping, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT));
    if (!root) {
        Q_XMLResetErrMsg();
        return entries;
    }
    const char* rootName = QV_XDOMGetNodeName(root.get());
    if (!rootName || std::strcmp(rootName, "QVXMAP") != 0) {
        // An extraction file: one map, named by its dictionary.
        std::function<std::string(QvHandle)> find = [&](QvHandle at) -> std::string {
            for (Handle& child : elementChildren(at)) {
                if (localName(child.get()) == "file_extraction")
                    return attribute(child.get(), "dictionary");
                std::string found = find(child.get());
                if (!found.empty()) return found;
            }
            return "";
        };
        entries.push_back(MapEntry{"", find(root.get()), 1});
        Q_XMLResetErrMsg();
        return entries;
    }

    // Every TABLECLASSMAP with the map names its TableMap elements nest.
    struct Map {
        MapEntry entry;
        std::vector<std::string> nests;  // upper-case map names, in file order
        bool nested = false;
    };
    std::vector<Map> maps;
    for (Handle& element : elementChildren(root.get())) {
        const char* name = QV_XDOMGetNodeName(element.get());
        if (!name || std::strcmp(name, "TABLECLASSMAP") != 0) continue;
        Map map;
        map.entry.mapName = attribute(element.get(), "MapName");
        map.entry.tableName = attribute(element.get(), "TableName");
        for (Handle& child : elementChildren(element.get())) {
            const char* childName = QV_XDOMGetNodeName(child.get());
            if (childName && std::strcmp(childName, "TableMap") == 0)
                map.nests.push_back(upper(attribute(child.get(), "MapName")));
        }
        maps.push_back(std::move(map));
    }
    Q_XMLResetErrMsg();  // the walks end on "no further sibling", which is expected

    // A nested map hangs under the first map naming it; each nesting puts the map at
    // the front of its parent's children.
    std::vector<std::vector<std::size_t>> children(maps.size());
    for (std::size_t m = 0; m < maps.size(); ++m) {
        for (const std::string& name : maps[m].nests) {
            for (std::size_t c = 0; c < maps.size(); ++c) {
                if (c == m || maps[c].nested || upper(maps[c].entry.mapName) != name) continue;
                maps[c].nested = true;
                children[m].insert(children[m].begin(), c);
                break;
            }
        }
    }
    std::function<void(std::size_t, int)> walk = [&](std::size_t m, int level) {
        maps[m].entry.level = level;
        entries.push_back(maps[m].entry);
        for (std::size_t c : children[m]) walk(c, level + 1);
    };
    for (std::size_t m = 0; m < maps.size(); ++m)
        if (!maps[m].nested) walk(m, 1);
    return entries;
}

std::string mapKey(const MapEntry& entry) {
    return entry.mapName.empty() ? entry.tableName : entry.mapName;
}

int InfoTable::action(int field) const {
    for (const InfoEntry& e : entries)
        if (e.field == field && (e.code == 1000 || e.code == 1001)) return e.code;
    return 0;
}

bool InfoTable::hasActions() const {
    for (const InfoEntry& e : entries)
        if (e.code == 1000 || e.code == 1001) return true;
    return false;
}

bool InfoTable::parentKey(int field) const {
    for (const InfoEntry& e : entries)
        if (e.field == field && (e.code == 3 || e.code == 4)) return true;
    return false;
}

std::vector<InfoTable> parseDescription(const std::string& text) {
    std::vector<InfoTable> tables;
    if (text.empty()) return tables;
    for (const std::string& field : splitMarks(text, kFieldMark)) {
        const std::vector<std::string> values = splitMarks(field, kValueMark);
        InfoTable table;
        const std::vector<std::string> head = splitMarks(values[0], kSubvalueMark);
        table.tableName = head[0];
        table.level = head.size() > 1 ? std::atoi(head[1].c_str()) : 0;
        for (std::size_t v = 1; v < values.size(); ++v) {
            std::vector<std::string> parts = splitMarks(values[v], kSubvalueMark);
            InfoEntry entry;
            entry.field = std::atoi(parts[0].c_str());
            entry.code = parts.size() > 1 ? std::atoi(parts[1].c_str()) : 0;
            entry.more.assign(parts.begin() + std::min<std::size_t>(2, parts.size()), parts.end());
            table.entries.push_back(std::move(entry));
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

std::string descriptionText(QvDataset ds) {
    char* text = nullptr;
    QV_XMAPGetInfo(ds, &text);
    return text ? text : "";
}

std::vector<InfoTable> describeDataset(QvDataset ds) { return parseDescription(descriptionText(ds)); }

}  // namespace qvcli
