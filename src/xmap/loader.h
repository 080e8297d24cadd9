// Loading a parsed mapping file (root QVXMAP) or extraction file (root
// QVXML_extraction / QVxml_extraction) into a MappingModel: options, table class
// maps, columns, key links, nesting and cross-checks, dictionary binding through
// host callbacks 1 to 3, and the derived key paths.
#pragma once

#include "xmap/model.h"

struct QvHandle_;

namespace qv {

class HostTranscoder;

// Loads the mapping of `mappingHandle` (must be a document handle) into `model`.
//   mode     in: the dataset's open mode (XML_CREATE allows a map without a record
//            ID column); out: set to QV_XMAP_EXTRACTION for an extraction file.
//   toHost   the dataset's converter from the DOM's UTF-16 to host text; every
//            name, path and value read from the mapping goes through it.
// The model is cleared first. On success returns true with model.root() set. On
// failure the error is reported (one report, or 3030/3031 followed by 3029), the
// model is left empty and the result is false.
// Exceptions of Xerces-C++ or of allocation propagate; the model is then left
// empty as well (the caller's guard reports them).
bool loadMapping(MappingModel& model, QvHandle_* mappingHandle, int& mode,
                 const HostTranscoder& toHost);

}  // namespace qv
