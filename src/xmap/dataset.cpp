// The mapping dataset exports: QV_XMAPOpen, QV_XMAPClose, QV_XMAPReadNext,
// QV_XMAPWriteNext, QV_XMAPSetOption (QV_XMAPGetInfo and QV_XMAPToDOM: output.cpp).
#include "xmap/dataset.h"

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <memory>
#include <new>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "frame/host.h"
#include "xdom/compact/compact_document.h"
#include "xdom/handle.h"
#include "xmap/loader.h"
#include "xmap/paths.h"
#include "xmap/reader.h"

namespace qv {
namespace {

// A copy, not the handle's own field: the host may close the input handle while
// the dataset lives.
XmlText g_xmldataEncoding;

void rememberXmldataEncoding(const QvHandle_* input) {
    g_xmldataEncoding = copyXml(input && input->isDocument() ? input->encoding() : nullptr);
}

// The maps on the same level as `map`, itself included.
std::vector<std::unique_ptr<TableClassMap>>& levelOf(MappingModel& model, TableClassMap* map) {
    return map->parent ? map->parent->children : model.maps;
}

// Puts a child map's cursor on the first of its records read under its parent's
// current record, then does the same for the child's own children.
void positionChild(TableClassMap& child) {
    const uint32_t parent = child.parent->records.cursor;
    child.records.cursor = parent == kNoRecord ? kNoRecord : child.records.firstOf(parent);
    for (auto& grandchild : child.children) positionChild(*grandchild);
}

// Before the cursor of `map` moves on: the children of it and of each of its next
// siblings are put on the records of their parent's current record.
void positionDescendants(MappingModel& model, TableClassMap* map) {
    auto& level = levelOf(model, map);
    size_t i = 0;
    while (i < level.size() && level[i].get() != map) ++i;
    for (; i < level.size(); ++i)
        for (auto& child : level[i]->children) positionChild(*child);
}

// A top-level map whose records are the document element: a start path of one step.
bool recordsAreDocumentElement(const TableClassMap& map) {
    const char* path = cstr(map.startPath);
    if (!path) return true;
    if (*path == '/') ++path;
    return std::strchr(path, '/') == nullptr;
}

// The encoding "xmldata()" markup is written in: the document's as long as its bytes
// are host text (the host's own encoding, or US-ASCII), else the host's. Markup of
// an ISO-8859-1 document in a UTF-8 host would carry bytes that are marks there,
// and UTF-16 markup NULs.
XmlText markupEncoding(const XMLCh* documentEncoding, const HostTranscoder& toHost) {
    const char* host = toHost.encodingName();
    if (!host) return copyXml(documentEncoding);
    if (documentEncoding) {
        const std::string name = localText(documentEncoding);
        if (strcasecmp(name.c_str(), host) == 0 || strcasecmp(name.c_str(), "US-ASCII") == 0 ||
            strcasecmp(name.c_str(), "ASCII") == 0)
            return copyXml(documentEncoding);
    }
    return fromLocalText(host);
}

// The host reads records by NUL-terminated text: everything after a NUL would be
// lost without a word. Names the record, the field and its column.
void reportNulInRecord(const TableClassMap& map, const RecordMarks& marks, const char* record,
                       size_t length) {
    const char* nul = static_cast<const char*>(std::memchr(record, '\0', length));
    const size_t at = static_cast<size_t>(nul - record);
    const std::string text(record, length);
    int field = 0;
    for (size_t i = 0; i < at; ++i)
        if (text[i] == marks.field[0]) ++field;
    const std::string id = shownValue(record, std::min(at, text.find(marks.field[0])));
    const char* column = "none";
    for (const MapColumn* c : map.byField)
        if (c->field == field) column = shown(c->name);
    report(Error::RecordHoldsNul, id.c_str(), shown(map.tableName), field, column);
}

}  // namespace

const XMLCh* xmldataEncoding() { return g_xmldataEncoding.get(); }

const char* datasetProblem(const QvDataset_* ds) {
    if (!ds) return "a null dataset";
    if (isLive(ds, LiveKind::Dataset)) return "";
    if (isLive(ds, LiveKind::Handle)) return "a document or node handle where a mapping dataset goes";
    return "a dataset that is closed or was never opened";
}

}  // namespace qv

extern "C" {

QVXML_API QvDataset QV_XMAPOpen(QvHandle input, QvHandle mapping, char** rootTableName,
                                char fieldMark, char valueMark, char subvalueMark,
                                char nullMark, int mode) {
    const auto options = qv::mapExport("XMAPOpen").starts(qv::Runtime::Xml);
    const auto arguments = qv::Arguments()
                               .check(mode != XML_CREATE ? qv::handleProblem(input) : nullptr)
                               .check(qv::handleProblem(mapping))
                               .check(qv::hostCallbacksProblem());
    return qv::callExport<QvDataset>(options, arguments, nullptr, [&]() -> QvDataset {
        const QvHostEncoding* encoding = qv::hostEncoding();
        auto ds = std::make_unique<QvDataset_>(qv::hostInputEncoding(encoding),
                                               qv::hostOutputEncoding(encoding));
        ds->mode = mode;
        if (mode != XML_CREATE && mode != QV_XMAP_READ && input) {
            // The other modes keep the input document and QV_XMAPToDOM hands it
            // back: it is needed as a DOM, and the dataset shares it, so that it
            // outlives the input handle.
            ds->input = input->sharedDom();
            ds->document = ds->input.document;
        }
        if (!qv::loadMapping(ds->model, mapping, ds->mode, ds->toHost))
            return nullptr;  // the loader has reported why
        qv::compilePaths(ds->model, ds->toXml);
        if (mode != XML_CREATE) qv::rememberXmldataEncoding(input);
        ds->marks.set(fieldMark, valueMark, subvalueMark, nullMark);
        if (mode != QV_XMAP_READ) return ds.release();

        qv::ReadSettings settings;
        settings.marks = &ds->marks;
        settings.buffer = &ds->work;
        settings.toHost = &ds->toHost;
        const qv::XmlText markupIn = qv::markupEncoding(qv::xmldataEncoding(), ds->toHost);
        settings.xmldataEncoding = markupIn.get();
        // A document still in its compact form is read as it is, unless a column
        // asks for markup: that is written from the DOM.
        const qv::ReadingView view =
            input ? input->readingView(qv::readsMarkup(ds->model)) : qv::ReadingView{};
        const bool read = view.tree ? qv::readDocument(ds->model, *view.tree, settings)
                                    : qv::readDocument(ds->model, view.node, settings);
        if (!read) return nullptr;
        if (rootTableName) *rootTableName = const_cast<char*>(qv::cstr(ds->model.root()->tableName));
        return ds.release();
    });
}

QVXML_API void QV_XMAPClose(QvDataset ds) {
    const auto arguments = qv::Arguments().check(ds ? qv::datasetProblem(ds) : nullptr);
    qv::callExport<int>(qv::mapExport("XMAPClose"), arguments, 0, [&] {
        delete ds;
        return 0;
    });
}

QVXML_API int QV_XMAPReadNext(QvDataset ds, const char* table, char** record) {
    const auto arguments = qv::Arguments()
                               .check(qv::datasetProblem(ds))
                               .needs(record, "a null record pointer");
    return qv::callExport<int>(qv::mapExport("XMAPReadNext"), arguments, -1, [&]() -> int {
        if (ds->mode == XML_CREATE) {
            qv::report(qv::Error::ReadFromCreateDataset);
            return -1;
        }
        qv::TableClassMap* map = qv::findMap(ds->model, table, true);
        if (!map) {
            qv::report(qv::Error::NoSuchTableOrMap, table ? table : "");
            return -1;
        }
        if (ds->writing) ds->writing->settle();  // records written are read in queue order
        qv::RecordQueue& queue = map->records;
        const uint32_t current = queue.cursor;
        if (current == qv::kNoRecord) return QV_END_OF_TABLE;
        *record = const_cast<char*>(queue.text(current));
        if (!ds->model.cascade) {
            queue.cursor = queue.next(current);
            return 0;
        }
        qv::positionDescendants(ds->model, map);
        queue.cursor = map->parent ? queue.nextOfParent(current) : queue.next(current);
        return 0;
    });
}

QVXML_API int QV_XMAPWriteNext(QvDataset ds, const char* table, const char* record,
                               int length) {
    const auto arguments = qv::Arguments()
                               .check(qv::datasetProblem(ds))
                               .check(qv::hostCallbacksProblem());
    return qv::callExport<int>(qv::mapExport("XMAPWriteNext"), arguments, -1, [&]() -> int {
        if (ds->mode == QV_XMAP_READ) {
            qv::report(qv::Error::WriteToReadDataset);
            return -1;
        }
        if (!record) return 0;
        qv::TableClassMap* map = qv::findMap(ds->model, table, true);
        if (!map) {
            qv::report(qv::Error::NoSuchTableOrMap, table ? table : "");
            return -1;
        }
        if (!map->parent && !map->records.empty() && qv::recordsAreDocumentElement(*map)) {
            qv::report(qv::Error::SecondRootElement);
            return -1;
        }
        if (length <= 0) return 0;
        const size_t n = static_cast<size_t>(length);
        if (std::memchr(record, '\0', n)) {
            qv::reportNulInRecord(*map, ds->marks, record, n);
            return -1;
        }
        if (!ds->writing) ds->writing = std::make_unique<qv::WriteQueues>(ds->model, ds->marks);
        const bool queued = ds->model.cascade ? ds->writing->queueInArrivalOrder(*map, record, n)
                                              : ds->writing->queueByKeys(*map, record, n);
        return queued ? 0 : -1;
    });
}

QVXML_API int QV_XMAPSetOption(QvDataset ds, int option, int value) {
    const auto arguments = qv::Arguments().check(qv::datasetProblem(ds));
    return qv::callExport<int>(qv::mapExport("XMAPSetOption"), arguments, -1, [&]() -> int {
        switch (option) {
            case QV_XMAP_OPT_CASCADE: ds->model.cascade = value; return 0;
            case QV_XMAP_OPT_EMPTYSTRING_ISNULL: ds->model.emptyStringIsNull = value; return 0;
            case QV_XMAP_OPT_EXISTRECORD: ds->model.existRecordAction = value; return 0;
            default: qv::report(qv::Error::IllegalOption); return -1;
        }
    });
}

}  // extern "C"
