// The mapping path language at load time: normalisation, namespace prefix checks,
// the split of a column path into its three level parts, and the key paths that
// tie a nested table to a multivalued key of its parent.
#pragma once

#include <string>

#include "xmap/model.h"

namespace qv {

// Removes every blank and tab, in place.
void removeBlanks(std::string& path);

// Verifies the namespace prefixes of a path (3015, 3017, 3018) and marks the
// entries used as referenced; a path with a prefix then loses its trailing "/"s
// (never its first character). False after reporting.
bool checkPrefixes(std::string& path, MappingModel& model);

// Words that name a column path's origin in message 3029.
struct PathOrigin {
    const char* attribute;  // "Node" or "path"
    const char* word;       // "Column" or "field"
};

// Normalises, checks and splits a column path into column.part1..3 (3015, 3017,
// 3018, then 3030 or 3031 followed by 3029). False after reporting.
bool setColumnPath(MapColumn& column, std::string path, MappingModel& model,
                   const PathOrigin& origin);

// The start path of a table class map: blanks removed, prefixes checked.
bool normaliseStartPath(std::string& path, MappingModel& model);

// The start path of an extraction file: as above, then it must begin with "/"
// (3027) and hold no "@" (3028).
bool normaliseExtractionStart(std::string& path, MappingModel& model);

// Over the whole bound tree: turns child keys into a multivalued parent key into
// ChildKeyMulti with their relative paths, and sets every map's multivalue and
// subvalue depths (3056 when two keys of one map disagree). False after reporting.
bool deriveKeyPaths(MappingModel& model);

// Compiles every path of the loaded tree into the form the reading and writing
// roads follow (compiled_path.h): each map's start path, and the parts of every
// column whose values are read or written. Names go to UTF-16 through `toXml` (the
// dataset's host-to-UTF-16 converter); prefixes take the URI of their namespace
// entry. Run once after a successful load, before the first record is read or
// queued; nothing in it can fail but allocation.
void compilePaths(MappingModel& model, const HostTranscoder& toXml);

// Compiles one path text (null: an absent path) as a node path or a value path.
enum class PathUse { Node, Value };
CompiledPath compilePath(const Text& text, PathUse use, const MappingModel& model,
                         const HostTranscoder& toXml);

}  // namespace qv
