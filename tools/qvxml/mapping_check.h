// The tool's check of a mapping file before it is used. The library's loader
// ignores what it does not know (a misspelt element, an unknown attribute, an
// action word it does not take) and accepts paths whose steps can never match
// ("a[1]", "//a", "@*", "name()"): such a mapping imports empty columns without a
// word. The check reads the file itself (for lines and columns) and names each such
// mistake where it stands.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qvcli {

class Session;

// One mistake, at the end of the start tag it was found in.
struct MappingProblem {
    int line = 0;
    int column = 0;
    std::string text;
};

// A column a map reads, where the mapping file names it.
struct MappedColumn {
    std::string table, column, path;
    int line = 0, column_ = 0;
};

struct MappingCheck {
    std::vector<MappingProblem> problems;
    std::vector<MappedColumn> columns;  // every ColumnMap / field_extraction, in file order
    // StartNode of every TABLECLASSMAP, by map name and by table name (as written).
    std::map<std::string, std::string> startPaths;

    // "FILE:LINE:COLUMN: text" lines, one per problem.
    std::string lines(const std::string& file) const;
};

// Whether column `column` of table `table` is multivalued in the host's
// dictionary: 1 yes, 0 no, -1 unknown (no dictionary, no such column).
using MultivaluedLookup = std::function<int(const std::string& table, const std::string& column)>;

// Reads and checks the mapping (or extraction) file. A file that is not
// well-formed gives no problems: parsing it reports that.
MappingCheck checkMapping(const std::string& file, const MultivaluedLookup& multivalued);

// The problems of one path, as the loader would take it ("" when sound). `start`:
// a start path (StartNode, the Node of a TableMap, an extraction's start).
std::string pathProblem(const std::string& path, bool start);

// The lookup through the dictionaries the session's host holds.
MultivaluedLookup multivaluedIn(Session& session);

// checkMapping() with the session's dictionaries; Failure listing every problem.
MappingCheck requireSoundMapping(const std::string& file, Session& session);

struct MapEntry;

// A top-level map whose start path found no element in a document: a warning on
// stderr naming the document, the map, its start path and the document element. For
// a nested map, `parent` and `parents` (its records in the document that hold key
// values for the map) are given: the start path found nothing under any of them.
void warnNothingFound(const std::string& document, const MapEntry& map, const MappingCheck& check,
                      const MapEntry* parent = nullptr, long long parents = 0);

// The document element of an XML file as "<name>" with its namespace, for
// messages; "" when it cannot be read.
std::string documentElement(const std::string& file);

}  // namespace qvcli
