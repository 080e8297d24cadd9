// Building a document from the queued records: for each record the record element
// is found or made along its table's start path, then each column's values, taken
// from the record by the host's extract callback, are put into elements, attributes
// or text along the column's path. Nested tables are written inside the record
// elements of their parent, each under its own TableMap reference.
#pragma once

#include <memory>

#include <xercesc/util/XercesDefs.hpp>

#include "xmap/model.h"
#include "xmap/record.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

namespace qv {

class CompactTree;
class HostTranscoder;

// What the build needs of the dataset.
struct WriteSettings {
    const RecordMarks* marks = nullptr;
    const HostTranscoder* toXml = nullptr;  // record text to UTF-16
    bool* namespacesWritten = nullptr;      // declarations put on the first element
};

// Writes every top-level table into `document` (queues settled in queue order).
// Returns false when a nested map reference names no map, or (reported, 3049) when a
// value is not host text or holds a character XML 1.0 cannot carry; what was made
// stays.
// A value the host's conversion refuses is left out; an element the DOM refuses
// leaves out what would have gone below it.
bool buildDocument(MappingModel& model, XERCES_CPP_NAMESPACE::DOMDocument* document,
                   const WriteSettings& settings);

// The same document built into a compact tree, without the DOM: node for node what
// buildDocument makes (its DOM is made from the tree on first need), declaring
// `standalone`. `tree` holds what was made, also when the build fails. Throws
// CompactTreeBuilder::TooLarge past the tree's 32-bit indices.
bool buildCompactDocument(MappingModel& model, const WriteSettings& settings, bool standalone,
                          std::unique_ptr<CompactTree>& tree);

}  // namespace qv
