// Parsing documents into handles: QV_XDOMOpen, QV_XDOMValidate.
#include <cstring>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/util/BinFileInputStream.hpp>
#include <xercesc/util/RuntimeException.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/guarded_parser.h"
#include "xdom/parse_error_handler.h"
#include "xdom/handle.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr char kMemoryBufferId[] = "QVXMLMemoryBufferID";

constexpr ExportOptions kParseOptions =
    domExport("XDOMParse").starts(Runtime::Xml).fallsBackTo(Error::ParseDomError);

// A document file must open and read. Xerces-C++ 3 only reports a fatal error for a
// file it cannot open; the exception of the earlier series (2000-range status, row
// 2000's line) is what callers rely on, so it is raised here before the parse.
// Returns the file's size.
std::size_t checkReadable(InputSource& input) {
    std::unique_ptr<BinInputStream> stream(input.makeStream());
    if (!stream)
        throw RuntimeException(__FILE__, __LINE__, XMLExcepts::Scan_CouldNotOpenSource,
                               input.getSystemId());
    XMLByte probe[1];
    stream->readBytes(probe, sizeof probe);  // a directory opens but cannot be read
    return static_cast<std::size_t>(static_cast<BinFileInputStream*>(stream.get())->getSize());
}

// Parses the source with the parser; returns the parse status.
int parseSource(GuardedParser& parser, ParseErrorHandler& handler, const char* source,
                bool inMemory) {
    try {
        std::unique_ptr<InputSource> input;
        std::size_t size = 0;
        if (inMemory) {
            size = std::strlen(source);
            input = std::make_unique<MemBufInputSource>(reinterpret_cast<const XMLByte*>(source),
                                                        size, kMemoryBufferId, false);
        } else {
            XmlText name = toXmlText(source);
            input = std::make_unique<LocalFileInputSource>(name.get());
            size = checkReadable(*input);
        }
        parser.setInputSize(size);
        parser.parse(*input);
        parser.liftMemoryBudget();
        return handler.lastError();
    } catch (const ParseLimitExceeded&) {
        return handler.lastError() ? handler.lastError() : codeOf(Error::ParseFatalError);
    } catch (...) {
        return reportCaught(kParseOptions);
    }
}

// The common step of Open and Validate: on success the handle holds the tree.
// Returns the parse status (0: parsed).
int parseInto(QvHandle_* h, const char* source, bool inMemory, const char* noNamespaceSchema,
               const char* schemaLocations) {
    h->errorHandler = std::make_unique<ParseErrorHandler>();
    auto parser = std::make_unique<GuardedParser>(noNamespaceSchema || schemaLocations);
    parser->setErrorHandler(h->errorHandler.get());
    if (noNamespaceSchema) parser->setExternalNoNamespaceSchemaLocation(noNamespaceSchema);
    if (schemaLocations) parser->setExternalSchemaLocation(schemaLocations);
    parser->trustSchemaLocations(noNamespaceSchema, schemaLocations);

    const int status = parseSource(*parser, *h->errorHandler, source, inMemory);
    if (status != 0) {
        parser.reset();  // with whatever tree was built
        h->errorHandler.reset();
        return status;
    }
    h->documentMemory = parser->sharedMemory();
    h->parser = std::move(parser);
    h->document = h->parser->getDocument();
    h->node = h->document;
    h->document->normalize();
    takeEncoding(h);
    return 0;
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMOpen(const char* source, int inMemory) {
    return qv::callExport<QvHandle>(qv::kParseOptions, nullptr, [&]() -> QvHandle {
        std::unique_ptr<QvHandle_> h(new QvHandle_);
        h->isDocument = true;
        h->docHandle = h.get();
        const int status = qv::parseInto(h.get(), source, inMemory != 0, nullptr, nullptr);
        if (status != 0) {
            qv::setDomStatus(status);
            return nullptr;
        }
        return h.release();
    });
}

QVXML_API int QV_XDOMValidate(const char* source, int inMemory, const char* noNamespaceSchema,
                              const char* schemaLocations) {
    return qv::callStatusExport(qv::kParseOptions, [&] {
        QvHandle_ h;
        h.isDocument = true;
        h.docHandle = &h;
        const int status =
            qv::parseInto(&h, source, inMemory != 0, noNamespaceSchema, schemaLocations);
        if (status != 0) qv::setDomStatus(status);
    });
}

}  // extern "C"
