// Parsing documents into handles: QV_XDOMOpen, QV_XDOMValidate.
#include <cstring>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/util/BinFileInputStream.hpp>
#include <xercesc/util/RuntimeException.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

#include "frame/misuse.h"
#include "frame/errors.h"
#include "frame/guard.h"
#include "frame/parse_error_handler.h"
#include "frame/runtime.h"
#include "xdom/guarded_parser.h"
#include "xdom/handle.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr char kMemoryBufferId[] = "QVXMLMemoryBufferID";

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
        return handler.lastError() ? handler.lastError() : 30;
    } catch (...) {
        return reportCaught({"XDOMParse", 1});
    }
}

// The common step of Open and Validate: on success the handle holds the tree.
void parseInto(QvHandle_* h, const char* source, bool inMemory, const char* noNamespaceSchema,
               const char* schemaLocations) {
    h->parseStatus = 0;
    h->errorHandler = std::make_unique<ParseErrorHandler>();
    auto parser = std::make_unique<GuardedParser>(noNamespaceSchema || schemaLocations);
    parser->setErrorHandler(h->errorHandler.get());
    if (noNamespaceSchema) parser->setExternalNoNamespaceSchemaLocation(noNamespaceSchema);
    if (schemaLocations) parser->setExternalSchemaLocation(schemaLocations);

    h->parseStatus = parseSource(*parser, *h->errorHandler, source, inMemory);
    if (h->parseStatus != 0) {
        parser.reset();  // with whatever tree was built
        h->errorHandler.reset();
        return;
    }
    h->documentMemory = parser->sharedMemory();
    h->parser = std::move(parser);
    h->document = h->parser->getDocument();
    h->node = h->document;
    h->document->normalize();
    takeEncoding(h);
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMOpen(const char* source, int inMemory) {
    if (qv::misused("XDOMOpen", qv::Arguments().needs(source, "a null source"))) return nullptr;
    qv::setDomStatus(0);
    if (!qv::initXmlRuntime()) {
        qv::setDomStatus(17);
        return nullptr;
    }
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
    if (qv::misused("XDOMValidate", qv::Arguments().needs(source, "a null source"))) return qv::domStatus();
    qv::setDomStatus(0);
    if (!qv::initXmlRuntime()) {
        qv::setDomStatus(17);
        return 17;
    }
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
