// What the tool needs to know of a mapping beyond what the dataset exports give:
// its table class maps in the order the library numbers them (from the parsed
// mapping file), and the description of QV_XMAPGetInfo taken apart.
#pragma once

#include <string>
#include <vector>

#include "qvxml.h"

namespace qvcli {

// One table class map of a mapping file.
struct MapEntry {
    std::string mapName;    // may be empty (extraction file)
    std::string tableName;  // the host file
    int level = 1;          // 1 at the top, one more per nesting
};

// The table class maps of a parsed mapping or extraction file, in depth-first order
// (each map, then the maps it nests, newest nesting first, then its next sibling):
// the n-th entry is the map with sequence number n.
std::vector<MapEntry> mapEntries(QvHandle mapping);

// The name to read or write a map's records by: its map name, else its table name.
std::string mapKey(const MapEntry& entry);

// One entry of a map's description: a field number and a code, with the further
// subvalues of child keys (parent sequence number and field) and record IDs.
struct InfoEntry {
    int field = 0;
    int code = 0;
    std::vector<std::string> more;
};

// One map's field of the description.
struct InfoTable {
    std::string tableName;
    int level = 0;
    std::vector<InfoEntry> entries;
    // Code 1000 or 1001 for `field`, 0 when it has no action entry.
    int action(int field) const;
    bool hasActions() const;
    // Whether `field` is a parent key (declared or generated): child records hang on
    // its values.
    bool parentKey(int field) const;
};

// The description text taken apart with the marks it was made with.
std::vector<InfoTable> parseDescription(const std::string& text);

// The description of a dataset (QV_XMAPGetInfo), as text and taken apart.
std::string descriptionText(QvDataset ds);
std::vector<InfoTable> describeDataset(QvDataset ds);

}  // namespace qvcli
