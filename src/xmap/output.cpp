// What a dataset gives beyond records: QV_XMAPGetInfo (the mapping description)
// and QV_XMAPToDOM (the document built from the records written).
#include <cstring>
#include <memory>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/impl/DOMDocumentImpl.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "frame/errors.h"
#include "frame/guard.h"
#include "xdom/handle.h"
#include "xmap/dataset.h"
#include "xmap/describe.h"
#include "xmap/writer.h"

using namespace xercesc;

namespace qv {
namespace {

// A new empty document with the declaration the settings record asks for:
// version "1.0", the record's encoding name (local code page; empty: none) and
// its standalone flag.
std::shared_ptr<DOMDocument> newOutputDocument(const QvDocSettings* settings) {
    std::shared_ptr<DOMDocument> document(
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager),
        [](DOMDocument* d) { d->release(); });
    static const XMLCh kVersion[] = u"1.0";
    document->setXmlVersion(kVersion);
    if (settings) {
        const std::string encoding(settings->docEncoding,
                                   strnlen(settings->docEncoding, sizeof settings->docEncoding));
        if (!encoding.empty()) {
            XmlText name = fromLocalText(encoding.c_str());
            if (auto* impl = dynamic_cast<DOMDocumentImpl*>(document.get()))
                impl->setXmlEncoding(name.get());
        }
        document->setXmlStandalone(settings->standalone != 0);
    }
    return document;
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API int QV_XMAPGetInfo(QvDataset ds, char** description) {
    return qv::guardMap<int>(-1, [&]() -> int {
        if (!ds->description) {
            ds->work.begin();
            qv::describeMapping(ds->model, ds->marks, ds->work.text());
            ds->description = ds->work.text();
        }
        if (description) *description = const_cast<char*>(ds->description->c_str());
        return ds->model.existRecordAction;
    });
}

QVXML_API QvHandle QV_XMAPToDOM(QvDataset ds, const QvDocSettings* settings) {
    return qv::guardMap<QvHandle>(nullptr, [&]() -> QvHandle {
        if (ds->mode == QV_XMAP_READ) {
            qv::report(3058);
            return nullptr;
        }
        if (!ds->document) {
            ds->output = qv::newOutputDocument(settings);
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
        std::unique_ptr<QvHandle_> h(qv::makeDocumentHandle(ds->document, false));
        // The handle keeps the built document alive for as long as it lives; a
        // document taken from the input handle stays that handle's.
        h->documentMemory = ds->output;
        return h.release();
    });
}

}  // extern "C"
