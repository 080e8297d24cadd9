// What a dataset gives beyond records: QV_XMAPGetInfo (the mapping description)
// and QV_XMAPToDOM (the document built from the records written).
#include <memory>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "frame/boundary.h"
#include "frame/host.h"
#include "frame/errors.h"
#include "xdom/handle.h"
#include "xdom/dom/new_document.h"
#include "xmap/dataset.h"
#include "xmap/describe.h"
#include "xmap/writer.h"

using namespace xercesc;

namespace qv {
namespace {

// The output document: the settings record's declaration, version "1.0".
std::shared_ptr<DOMDocument> newOutputDocument(const QvDocSettings* settings) {
    std::shared_ptr<DOMDocument> document = newDocument(settings);
    static const XMLCh kVersion[] = u"1.0";
    if (document) document->setXmlVersion(kVersion);
    return document;
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API int QV_XMAPGetInfo(QvDataset ds, char** description) {
    const auto arguments = qv::Arguments()
                               .check(qv::datasetProblem(ds))
                               .needs(description, "a null description pointer");
    return qv::callExport<int>(qv::mapExport("XMAPGetInfo"), arguments, -1, [&]() -> int {
        if (!ds->description) {
            ds->work.begin();
            qv::describeMapping(ds->model, ds->marks, ds->work.text());
            ds->description = ds->work.text();
        }
        *description = const_cast<char*>(ds->description->c_str());
        return ds->model.existRecordAction;
    });
}

QVXML_API QvHandle QV_XMAPToDOM(QvDataset ds, const QvDocSettings* settings) {
    const auto options = qv::mapExport("XMAPToDOM").starts(qv::Runtime::Xml);
    const auto arguments =
        qv::Arguments().check(qv::datasetProblem(ds)).check(qv::hostCallbacksProblem());
    return qv::callExport<QvHandle>(options, arguments, nullptr, [&]() -> QvHandle {
        if (ds->mode == QV_XMAP_READ) {
            qv::report(qv::Error::ReadOnlyMapping);
            return nullptr;
        }
        if (!ds->document) {
            ds->output = qv::newOutputDocument(settings);
            if (!ds->output) {
                qv::report(qv::Error::OutOfMemory);
                return nullptr;
            }
            ds->document = ds->output.get();
            ds->namespacesWritten = false;
            if (ds->writing) ds->writing->settle();
            qv::WriteSettings write;
            write.marks = &ds->marks;
            write.toXml = &ds->toXml;
            write.namespacesWritten = &ds->namespacesWritten;
            // A failed build leaves the partial document with the dataset.
            if (!qv::buildDocument(ds->model, ds->document, write)) return nullptr;
        }
        // The handle keeps the document alive for as long as it lives: the one built
        // here, or the input document the dataset shares with the input handle.
        if (!ds->output) return qv::makeDocumentHandle(ds->input);
        return qv::makeDocumentHandle(qv::DomForm{ds->document, ds->output, nullptr});
    });
}

}  // extern "C"
