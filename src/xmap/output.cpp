// What a dataset gives beyond records: QV_XMAPGetInfo (the mapping description)
// and QV_XMAPToDOM (the document built from the records written).
#include <memory>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>

#include "frame/boundary.h"
#include "frame/host.h"
#include "frame/errors.h"
#include "xdom/compact/compact_document.h"
#include "xdom/handle.h"
#include "xdom/dom/new_document.h"
#include "xmap/dataset.h"
#include "xmap/describe.h"
#include "xmap/writer.h"

using namespace xercesc;

namespace qv {
namespace {

struct BuildResult {
    bool ok = false;
    std::shared_ptr<CompactDocument> compact;  // one of the two is set
    std::shared_ptr<DOMDocument> dom;
};

// The document of the records queued, in its compact form: it is written without a
// DOM, and the DOM is made from it only when a host asks for one. A document beyond
// the compact tree's 32-bit indices is built as a DOM.
BuildResult buildOutput(MappingModel& model, const WriteSettings& write,
                        const QvDocSettings* settings) {
    BuildResult result;
    try {
        auto kept = std::make_shared<CompactDocument>();
        kept->made = std::make_shared<MadeDom>();
        if (settings) kept->made->settings = *settings;
        result.ok = buildCompactDocument(model, write, settings && settings->standalone != 0,
                                         kept->tree);
        result.compact = std::move(kept);
        return result;
    } catch (const CompactTreeBuilder::TooLarge&) {
        *write.namespacesWritten = false;
    }
    result.dom = newBuiltDocument(settings);
    if (!result.dom) {
        report(Error::OutOfMemory);
        return result;
    }
    result.ok = buildDocument(model, result.dom.get(), write);
    return result;
}

// A handle over the built document: its DOM once some handle made it, else the tree.
QvHandle_* handleOfBuilt(const std::shared_ptr<CompactDocument>& built) {
    const MadeDom& made = *built->made;
    if (made.dom.document) return makeDocumentHandle(made.dom);
    QvHandle_* h = makeDocumentHandle(CompactForm(built));
    // The encoding a DOM of the same settings would declare.
    if (XmlText name = declaredEncodingOf(made.settings ? &*made.settings : nullptr))
        h->setEncoding(std::move(name));
    return h;
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
        if (!ds->document && !ds->built) {
            if (ds->writing) {
                ds->writing->settle();
                ds->writing->dropIndexes();  // their room goes to the document
            }
            ds->namespacesWritten = false;
            qv::WriteSettings write;
            write.marks = &ds->marks;
            write.toXml = &ds->toXml;
            write.namespacesWritten = &ds->namespacesWritten;
            // A failed build leaves the partial document with the dataset.
            const qv::BuildResult result = qv::buildOutput(ds->model, write, settings);
            ds->built = result.compact;
            ds->output = result.dom;
            ds->document = result.dom.get();
            if (!result.ok) return nullptr;
        }
        // The handle keeps the document alive for as long as it lives: the one built
        // here, or the input document the dataset shares with the input handle.
        if (ds->built) return qv::handleOfBuilt(ds->built);
        if (!ds->output) return qv::makeDocumentHandle(ds->input);
        return qv::makeDocumentHandle(qv::DomForm{ds->document, ds->output, nullptr});
    });
}

}  // extern "C"
