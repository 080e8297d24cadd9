// The object behind a mapping dataset handle.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include "frame/transcode.h"
#include "xmap/model.h"
#include "xmap/record.h"
#include "xmap/write_queue.h"

#include <memory>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMNode;
XERCES_CPP_NAMESPACE_END

struct QvDataset_ {
    // The two converters are made from the host's encoding names at open.
    QvDataset_(const char* inputEncoding, const char* outputEncoding)
        : toXml(inputEncoding), toHost(outputEncoding) {}
    QvDataset_(const QvDataset_&) = delete;
    QvDataset_& operator=(const QvDataset_&) = delete;

    // The open mode: 0 read, 3 create; 12 once an extraction file is loaded;
    // other values keep the input document and read nothing.
    int mode = 0;
    // Every mode but 3: the input document until reading at open has finished.
    // Afterwards the output document, once one is built.
    XERCES_CPP_NAMESPACE::DOMDocument* document = nullptr;
    qv::MappingModel model;
    // Where the root map's start path is resolved when reading.
    XERCES_CPP_NAMESPACE::DOMNode* readingStart = nullptr;
    qv::Text description;  // cached mapping description
    qv::WorkBuffer work;
    qv::RecordMarks marks;
    qv::HostTranscoder toXml;   // host text to UTF-16
    qv::HostTranscoder toHost;  // UTF-16 to host text
    bool namespacesWritten = false;  // declarations put on the output's first element
    // Queueing state of the records written, made by the first QV_XMAPWriteNext.
    std::unique_ptr<qv::WriteQueues> writing;
    // The document QV_XMAPToDOM built, shared with every handle given out over it:
    // released when the dataset is closed and the last of those handles too.
    std::shared_ptr<XERCES_CPP_NAMESPACE::DOMDocument> output;
};

namespace qv {

// The encoding in which "xmldata()" values are written: that of the input handle
// of the last dataset opened for anything but creating (null for a node handle).
const XMLCh* xmldataEncoding();

}  // namespace qv
