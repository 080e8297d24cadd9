// The queues of a dataset built straight into a DOM, as the document built from
// records was before it was kept as a compact tree: what that tree, and the DOM
// made of it, must match.
#pragma once

#include <utility>

#include <xercesc/dom/DOMDocument.hpp>

#include "qvxml.h"
#include "xdom/dom/new_document.h"
#include "xdom/handle.h"
#include "xmap/dataset.h"
#include "xmap/writer.h"

// A new document handle over that DOM, or null when the build fails.
inline QvHandle buildDirectly(QvDataset ds) {
    qv::XercesPtr<xercesc::DOMDocument> document = qv::newBuiltDocument(nullptr);
    bool namespacesWritten = false;
    qv::WriteSettings write;
    write.marks = &ds->marks;
    write.toXml = &ds->toXml;
    write.namespacesWritten = &namespacesWritten;
    if (!document || !qv::buildDocument(ds->model, document.get(), write)) return nullptr;
    return qv::makeDocumentHandle(qv::ownedDom(std::move(document)));
}
