// Parsing documents into handles: QV_XDOMOpen, QV_XDOMValidate.
#include <cstring>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "frame/errors.h"
#include "frame/guard.h"
#include "frame/parse_error_handler.h"
#include "frame/runtime.h"
#include "xdom/handle.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr char kMemoryBufferId[] = "QVXMLMemoryBufferID";

std::unique_ptr<InputSource> makeSource(const char* source, bool inMemory) {
    if (inMemory)
        return std::make_unique<MemBufInputSource>(reinterpret_cast<const XMLByte*>(source),
                                                   std::strlen(source), kMemoryBufferId, false);
    XmlText name = toXmlText(source);
    return std::make_unique<LocalFileInputSource>(name.get());
}

// The common step of Open and Validate: on success the handle holds the tree.
void parseInto(QvHandle_* h, const char* source, bool inMemory, const char* noNamespaceSchema,
               const char* schemaLocations) {
    h->parseStatus = 0;
    h->errorHandler = std::make_unique<ParseErrorHandler>();
    h->parser = std::make_unique<XercesDOMParser>();
    XercesDOMParser& parser = *h->parser;
    const bool schema = noNamespaceSchema || schemaLocations;
    parser.setValidationScheme(XercesDOMParser::Val_Auto);
    parser.setDoNamespaces(true);
    parser.setDoSchema(schema);
    parser.setCreateEntityReferenceNodes(false);
    if (schema) parser.setValidationSchemaFullChecking(true);
    parser.setErrorHandler(h->errorHandler.get());
    if (noNamespaceSchema) parser.setExternalNoNamespaceSchemaLocation(noNamespaceSchema);
    if (schemaLocations) parser.setExternalSchemaLocation(schemaLocations);

    try {
        std::unique_ptr<InputSource> input = makeSource(source, inMemory);
        parser.parse(*input);
        h->parseStatus = h->errorHandler->lastError();
    } catch (...) {
        h->parseStatus = reportCaught({"XDOMParse", 1});
    }

    if (h->parseStatus == 0) {
        h->document = parser.getDocument();
        h->node = h->document;
        h->document->normalize();
        takeEncoding(h);
    } else {
        h->parser.reset();
        h->errorHandler.reset();
    }
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMOpen(const char* source, int inMemory) {
    qv::setDomStatus(0);
    if (!qv::initXmlRuntime()) return nullptr;
    return qv::guardDom<QvHandle>({"XDOMParse", 1}, nullptr, [&]() -> QvHandle {
        std::unique_ptr<QvHandle_> h(new QvHandle_);
        h->isDocument = true;
        h->docHandle = h.get();
        qv::parseInto(h.get(), source, inMemory != 0, nullptr, nullptr);
        if (h->parseStatus != 0) {
            qv::setDomStatus(h->parseStatus);
            return nullptr;
        }
        return h.release();
    });
}

QVXML_API int QV_XDOMValidate(const char* source, int inMemory, const char* noNamespaceSchema,
                              const char* schemaLocations) {
    qv::setDomStatus(0);
    if (!qv::initXmlRuntime()) return qv::domStatus();
    return qv::guardDom<int>({"XDOMParse", 1}, 1, [&]() -> int {
        QvHandle_ h;
        h.isDocument = true;
        h.docHandle = &h;
        qv::parseInto(&h, source, inMemory != 0, noNamespaceSchema, schemaLocations);
        if (h.parseStatus != 0) qv::setDomStatus(h.parseStatus);
        return qv::domStatus();
    });
}

}  // extern "C"
