// Reading a document into records: the walk that finds the record elements of
// every table class map by its start path, builds one record per element and queues
// it, nested maps being read under their parent's record elements.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include "xmap/model.h"
#include "xmap/record.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

class CompactTree;
class HostTranscoder;

// What the walk needs of the dataset.
struct ReadSettings {
    const RecordMarks* marks = nullptr;
    WorkBuffer* buffer = nullptr;
    const HostTranscoder* toHost = nullptr;  // document text to host text
    const XMLCh* xmldataEncoding = nullptr;  // encoding of "xmldata()" values
};

// Reads the whole document below `start`, following the compiled paths of the
// model (compilePaths() must have run) into the queues of the model's maps,
// beginning with the root map and its next siblings. Problems met on the way give
// missing values. Returns false, reported, when the records cannot all be held:
// memory ran out (3004), an "xmldata()" value could not be written (4002), or
// they go over limits::kMaxRecordsPerOpen records or
// limits::kMaxRecordTextPerOpen bytes (3007). Never a partial read.
bool readDocument(MappingModel& model, XERCES_CPP_NAMESPACE::DOMNode* start,
                  const ReadSettings& settings);
// The same walk over a document held in its compact form, from its document node.
// Gives the records the DOM of the document would give, byte for byte.
bool readDocument(MappingModel& model, const CompactTree& tree, const ReadSettings& settings);

// Sets the bound on the elements one open looks at (limits::kMaxElementVisitsPerOpen)
// and returns the previous one: tests lower it to reach it with small documents.
unsigned long setElementVisitBound(unsigned long bound);

// Whether some column reads "xmldata()": markup needs the document as a DOM.
bool readsMarkup(const MappingModel& model);

}  // namespace qv
