// The object behind a mapping dataset handle.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include "frame/live_handles.h"
#include "frame/transcode.h"
#include "xdom/handle.h"
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

    // On the list of live datasets for as long as it exists (frame/live_handles.h).
    qv::LiveEntry live{this, qv::LiveKind::Dataset};

    // The open mode: 0 read, 3 create; 12 once an extraction file is loaded;
    // other values keep the input document and read nothing.
    int mode = 0;
    // Modes other than 0 and 3: the input document, shared with its handle (`input`);
    // else the output document, once one is built.
    XERCES_CPP_NAMESPACE::DOMDocument* document = nullptr;
    qv::DomForm input;
    qv::MappingModel model;
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
    // The same in its compact form, as it is built unless it is too large for it: its
    // DOM is made on first need and shared alike.
    std::shared_ptr<qv::CompactDocument> built;
};

namespace qv {

// Why ds may not be used ("" when it may): null, closed, never made, or a handle.
const char* datasetProblem(const QvDataset_* ds);

// The encoding in which "xmldata()" values are written: that of the input handle
// of the last dataset opened for anything but creating (null for a node handle).
const XMLCh* xmldataEncoding();

}  // namespace qv
