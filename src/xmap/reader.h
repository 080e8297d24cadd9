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
// missing values, never a failure; a record that cannot be queued for want of
// memory is reported (3004) and passed over.
void readDocument(MappingModel& model, XERCES_CPP_NAMESPACE::DOMNode* start,
                  const ReadSettings& settings);

}  // namespace qv
