// Parsing documents into handles: QV_XDOMOpen, QV_XDOMValidate, and the DOM of a
// document opened in its compact form.
#include <cstring>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/util/BinFileInputStream.hpp>
#include <xercesc/util/RuntimeException.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

#include "frame/boundary.h"
#include "frame/errors.h"
#include "xdom/compact/compact_document.h"
#include "xdom/parsing/guarded_parser.h"
#include "xdom/parsing/open_options.h"
#include "xdom/handle.h"
#include "xdom/parsing/parse_error_handler.h"
#include "xdom/xpath/xpath_context.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr char kMemoryBufferId[] = "QVXMLMemoryBufferID";

thread_local bool openValidates = true;

constexpr ExportOptions kParseOptions =
    domExport("XDOMParse").starts(Runtime::Xml).fallsBackTo(Error::ParseDomError);

// What a parse at open makes of a document (the DOM comes later: parseKept).
enum class Form {
    Compact,  // the compact tree, keeping the document's bytes
    None,     // nothing: validation
};

// A document file must open and read. Xerces-C++ 3 only reports a fatal error for a
// file it cannot open; the exception of the earlier series (2000-range status, row
// 2000's line) is what callers rely on, so it is raised here before the parse.
std::unique_ptr<BinInputStream> openReadable(InputSource& input) {
    std::unique_ptr<BinInputStream> stream(input.makeStream());
    if (!stream)
        throw RuntimeException(__FILE__, __LINE__, XMLExcepts::Scan_CouldNotOpenSource,
                               input.getSystemId());
    return stream;
}

// Returns the file's size after checking that it reads (a directory opens but
// cannot be read).
std::size_t checkReadable(InputSource& input) {
    std::unique_ptr<BinInputStream> stream = openReadable(input);
    XMLByte probe[1];
    stream->readBytes(probe, sizeof probe);
    return static_cast<std::size_t>(static_cast<BinFileInputStream*>(stream.get())->getSize());
}

// Reads the whole file into `keep`, which then stands in for it under its name. The
// first read comes before the size is asked: a directory opens but cannot be read.
void readWhole(InputSource& input, CompactDocument& keep) {
    std::unique_ptr<BinInputStream> stream = openReadable(input);
    XMLByte first[1];
    std::size_t size = stream->readBytes(first, sizeof first);
    auto& bytes = keep.bytes;
    bytes.reserve(
        static_cast<std::size_t>(static_cast<BinFileInputStream*>(stream.get())->getSize()) + 1);
    bytes.assign(first, first + size);
    while (size != 0) {
        // Whatever the size said, read until the end (the file may have grown).
        if (bytes.size() == bytes.capacity()) bytes.reserve(bytes.capacity() * 2);
        const std::size_t capacity = bytes.capacity();
        bytes.resize(capacity);
        const XMLSize_t n = stream->readBytes(bytes.data() + size, capacity - size);
        size += n;
        bytes.resize(size);
        if (n == 0) break;
    }
    const XMLCh* id = input.getSystemId();
    const size_t n = xmlLength(id);
    keep.systemId.reset(new XMLCh[n + 1]);
    std::memcpy(keep.systemId.get(), id, (n + 1) * sizeof(XMLCh));
}

// The kept bytes as an input source, under the name the document was first read by.
std::unique_ptr<InputSource> keptInput(const CompactDocument& keep) {
    if (keep.systemId)
        return std::make_unique<MemBufInputSource>(keep.bytes.data(), keep.bytes.size(),
                                                   keep.systemId.get(), false);
    return std::make_unique<MemBufInputSource>(keep.bytes.data(), keep.bytes.size(),
                                               kMemoryBufferId, false);
}

// The source as the caller gave it; `keep` (compact form) receives its bytes.
std::unique_ptr<InputSource> makeInput(const char* source, bool inMemory,
                                       CompactDocument* keep, std::size_t& size) {
    if (inMemory) {
        size = std::strlen(source);
        if (!keep)
            return std::make_unique<MemBufInputSource>(reinterpret_cast<const XMLByte*>(source),
                                                       size, kMemoryBufferId, false);
        const auto* bytes = reinterpret_cast<const XMLByte*>(source);
        keep->bytes.assign(bytes, bytes + size);
        return keptInput(*keep);
    }
    XmlText name = toXmlText(source);
    auto file = std::make_unique<LocalFileInputSource>(name.get());
    if (!keep) {
        size = checkReadable(*file);
        return file;
    }
    readWhole(*file, *keep);
    size = keep->bytes.size();
    return keptInput(*keep);
}

// Parses with the parser; returns the parse status. A bound the parser stopped at has
// been reported as a fatal error.
int runParse(GuardedParser& parser, ParseErrorHandler& handler, const InputSource& input,
             std::size_t size) {
    parser.setInputSize(size);
    try {
        parser.parse(input);
    } catch (const ParseLimitExceeded&) {
        return handler.lastError() ? handler.lastError() : codeOf(Error::ParseFatalError);
    }
    parser.liftMemoryBudget();
    return handler.lastError();
}

// A parser with the settings of the document interface, reporting to `handler`.
std::unique_ptr<GuardedParser> makeParser(ParseErrorHandler& handler,
                                          const char* noNamespaceSchema,
                                          const char* schemaLocations) {
    auto parser = std::make_unique<GuardedParser>(noNamespaceSchema || schemaLocations);
    parser->setErrorHandler(&handler);
    if (!openValidates) parser->setValidationScheme(XercesDOMParser::Val_Never);
    if (noNamespaceSchema) parser->setExternalNoNamespaceSchemaLocation(noNamespaceSchema);
    if (schemaLocations) parser->setExternalSchemaLocation(schemaLocations);
    parser->trustSchemaLocations(noNamespaceSchema, schemaLocations);
    return parser;
}

// Takes the parsed DOM of a successful parse into the handle.
void adoptDom(QvHandle_* h, std::unique_ptr<GuardedParser> parser) {
    parser->buildDom();
    h->documentMemory = parser->sharedMemory();
    h->parser = std::move(parser);
    h->document = h->parser->getDocument();
    h->node = h->document;
    h->document->normalize();
    takeEncoding(h);
}

// The DOM of the kept bytes of h's compact form, parsed into h as at open. Returns
// the parse status.
int parseKept(QvHandle_* h) {
    h->compact->tree.reset();
    auto handler = std::make_unique<ParseErrorHandler>();
    auto parser = makeParser(*handler, nullptr, nullptr);
    const int status =
        runParse(*parser, *handler, *keptInput(*h->compact), h->compact->bytes.size());
    if (status != 0) return status;
    h->errorHandler = std::move(handler);
    adoptDom(h, std::move(parser));
    h->compact.reset();
    domArrived(h);
    return 0;
}

// The kept bytes of h's compact form scanned into `sink`. Returns the parse status.
int scanKeptInto(QvHandle_* h, ContentSink& sink) {
    ParseErrorHandler handler;
    auto parser = makeParser(handler, nullptr, nullptr);
    parser->buildWith(&sink);
    return runParse(*parser, handler, *keptInput(*h->compact), h->compact->bytes.size());
}

// The common step of Open and Validate: on success the handle holds the document in
// the form asked for. Returns the parse status (0: parsed).
int parseInto(QvHandle_* h, const char* source, bool inMemory, const char* noNamespaceSchema,
              const char* schemaLocations, Form form) {
    int status = 0;
    h->errorHandler = std::make_unique<ParseErrorHandler>();
    auto parser = makeParser(*h->errorHandler, noNamespaceSchema, schemaLocations);
    std::unique_ptr<CompactDocument> compact;
    std::unique_ptr<CompactTreeBuilder> builder;
    if (form == Form::Compact)
        compact = std::make_unique<CompactDocument>();
    else
        parser->scanOnly();

    bool tooLarge = false;
    try {
        std::size_t size = 0;
        std::unique_ptr<InputSource> input = makeInput(source, inMemory, compact.get(), size);
        if (compact) {
            builder = std::make_unique<CompactTreeBuilder>(*compact->tree, size);
            parser->buildCompact(builder.get());
        }
        status = runParse(*parser, *h->errorHandler, *input, size);
    } catch (const CompactTreeBuilder::TooLarge&) {
        status = h->errorHandler->lastError();
        tooLarge = status == 0;
    } catch (...) {
        status = reportCaught(kParseOptions);
    }
    if (status != 0 || form == Form::None) {
        parser.reset();  // with whatever tree was built
        h->errorHandler.reset();
        return status;
    }
    // The scan leaves the encoding facts on the parser's (otherwise empty) document.
    builder->finish();
    builder.reset();
    takeEncoding(h, parser->getDocument());
    parser.reset();
    h->errorHandler.reset();
    h->compact = std::move(compact);
    // More than the compact tree can index: the document is held as a DOM.
    return tooLarge ? parseKept(h) : 0;
}

}  // namespace

OpenWithoutValidation::OpenWithoutValidation() : previous_(openValidates) {
    openValidates = false;
}

OpenWithoutValidation::~OpenWithoutValidation() { openValidates = previous_; }

bool validatesOnOpen() { return openValidates; }

void scanKept(QvHandle_* h, ContentSink& sink) {
    // As requireDom: the bytes parsed at open; failing now is reported by the parse.
    struct ScanFailed {};
    if (scanKeptInto(h, sink) != 0) throw ScanFailed{};
}

void requireDom(QvHandle_* h) {
    h = documentHandleOf(h);
    if (!h || !h->compact) return;
    // The bytes parsed without error at open; failing now means an outside resource
    // (an external DTD) changed or memory ran out. The parse has reported why; the
    // export fails with its own code.
    struct DomUnavailable {};
    if (parseKept(h) != 0) throw DomUnavailable{};
}

}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMOpen(const char* source, int inMemory) {
    const auto arguments = qv::Arguments().needs(source, "a null source");
    return qv::callExport<QvHandle>(qv::kParseOptions.reportsMisuseAs("XDOMOpen"), arguments, nullptr, [&]() -> QvHandle {
        std::unique_ptr<QvHandle_> h(new QvHandle_);
        h->isDocument = true;
        h->docHandle = h.get();
        const int status =
            qv::parseInto(h.get(), source, inMemory != 0, nullptr, nullptr, qv::Form::Compact);
        if (status != 0) {
            qv::setDomStatus(status);
            return nullptr;
        }
        return h.release();
    });
}

QVXML_API int QV_XDOMValidate(const char* source, int inMemory, const char* noNamespaceSchema,
                              const char* schemaLocations) {
    const auto arguments = qv::Arguments().needs(source, "a null source");
    return qv::callStatusExport(qv::kParseOptions.reportsMisuseAs("XDOMValidate"), arguments, [&] {
        QvHandle_ h;
        h.isDocument = true;
        h.docHandle = &h;
        const int status = qv::parseInto(&h, source, inMemory != 0, noNamespaceSchema,
                                         schemaLocations, qv::Form::None);
        if (status != 0) qv::setDomStatus(status);
    });
}

}  // extern "C"
