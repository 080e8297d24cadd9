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
#include "xdom/parsing/plain_document.h"
#include "xdom/parsing/open_options.h"
#include "xdom/handle.h"
#include "xdom/parsing/parse_error_handler.h"
#include "xdom/parsing/resource_policy.h"

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
        keep->folder = folderOf(kMemoryBufferId);
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

// The parser and what it reports to, owning the DOM it parsed.
struct ParsedDom {
    std::unique_ptr<ParseErrorHandler> handler;
    std::unique_ptr<GuardedParser> parser;
    ~ParsedDom() { parser.reset(); }  // frees the parsed tree
};

// The DOM of the kept bytes, parsed as at open. Returns the parse status.
int parseKeptBytes(const CompactDocument& kept, DomForm& dom) {
    auto parsed = std::make_shared<ParsedDom>();
    parsed->handler = std::make_unique<ParseErrorHandler>();
    parsed->parser = makeParser(*parsed->handler, nullptr, nullptr);
    parsed->parser->setTextFolder(kept.folder);
    if (!kept.validates) parsed->parser->setValidationScheme(XercesDOMParser::Val_Never);
    const int status =
        runParse(*parsed->parser, *parsed->handler, *keptInput(kept), kept.bytes.size());
    if (status != 0) return status;
    dom.document = parsed->parser->getDocument();
    dom.memory = parsed->parser->sharedMemory();
    dom.document->normalize();
    dom.owner = std::move(parsed);
    return 0;
}

// The common step of Open and Validate: on success, `made` (Open) is a new handle
// over the document in its compact form. Returns the parse status (0: parsed).
int parseInto(const char* source, bool inMemory, const char* noNamespaceSchema,
              const char* schemaLocations, Form form, QvHandle_** made) {
    int status = 0;
    auto handler = std::make_unique<ParseErrorHandler>();
    auto parser = makeParser(*handler, noNamespaceSchema, schemaLocations);
    CompactForm compact;
    std::unique_ptr<CompactTreeBuilder> builder;
    if (form == Form::Compact) {
        compact.reset(new CompactDocument);
        // Later parses of the kept bytes (the DOM, a scanned view) validate as this one.
        compact->validates = openValidates;
    }
    else
        parser->buildWith(nullptr);

    bool tooLarge = false;
    try {
        std::size_t size = 0;
        std::unique_ptr<InputSource> input = makeInput(source, inMemory, compact.get(), size);
        // The kept bytes scanned into a new tree by `with`; returns the parse status.
        auto scanCompact = [&](GuardedParser& with, ParseErrorHandler& reports) {
            with.setTextFolder(compact->folder);
            builder = std::make_unique<CompactTreeBuilder>(*compact->tree, size);
            with.buildWith(builder.get());
            try {
                return runParse(with, reports, *input, size);
            } catch (const CompactTreeBuilder::TooLarge&) {
                tooLarge = reports.lastError() == 0;
                return reports.lastError();
            }
        };
        bool scanned = false;
        if (compact && !noNamespaceSchema && !schemaLocations &&
            isPlainDocument(compact->bytes.data(), compact->bytes.size())) {
            // The faster scanner, quietly: a document it finds fault with is scanned
            // again by the general scanner, whose reports (and their positions) the
            // host has always had.
            auto quiet = std::make_unique<ParseErrorHandler>(true);
            auto fast = makeParser(*quiet, nullptr, nullptr);
            fast->scanWithoutGrammar();
            if (scanCompact(*fast, *quiet) == 0) {
                parser = std::move(fast);
                handler = std::move(quiet);
                scanned = true;
            } else {
                builder.reset();
                compact->tree = std::make_unique<CompactTree>();
                tooLarge = false;
            }
        }
        if (!scanned)
            status = compact ? scanCompact(*parser, *handler) : runParse(*parser, *handler, *input, size);
    } catch (...) {
        status = reportCaught(kParseOptions);
    }
    if (status != 0 || form == Form::None) return status;  // with whatever tree was built
    if (!tooLarge) builder->finish();
    builder.reset();
    if (tooLarge) {
        // More than the compact tree can index: the document is held as a DOM.
        parser.reset();
        compact->tree.reset();
        DomForm dom;
        status = parseKeptBytes(*compact, dom);
        if (status == 0) *made = makeDocumentHandle(std::move(dom));
        return status;
    }
    // The scan leaves the encoding facts on the parser's (otherwise empty) document.
    *made = makeDocumentHandle(std::move(compact), parser->getDocument());
    return 0;
}

}  // namespace

int parseKept(const CompactDocument& kept, DomForm& dom) { return parseKeptBytes(kept, dom); }

OpenWithoutValidation::OpenWithoutValidation() : previous_(openValidates) {
    openValidates = false;
}

OpenWithoutValidation::~OpenWithoutValidation() { openValidates = previous_; }

bool validatesOnOpen() { return openValidates; }

void scanKept(const CompactDocument& kept, ContentSink& sink) {
    // As the DOM: the bytes parsed at open; failing now is reported by the parse.
    struct ScanFailed {};
    ParseErrorHandler handler;
    auto parser = makeParser(handler, nullptr, nullptr);
    parser->setTextFolder(kept.folder);
    if (!kept.validates) parser->setValidationScheme(XercesDOMParser::Val_Never);
    parser->buildWith(&sink);
    if (runParse(*parser, handler, *keptInput(kept), kept.bytes.size()) != 0) throw ScanFailed{};
}

}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMOpen(const char* source, int inMemory) {
    const auto arguments = qv::Arguments().needs(source, "a null source");
    return qv::callExport<QvHandle>(qv::kParseOptions.reportsMisuseAs("XDOMOpen"), arguments, nullptr, [&]() -> QvHandle {
        QvHandle_* h = nullptr;
        const int status =
            qv::parseInto(source, inMemory != 0, nullptr, nullptr, qv::Form::Compact, &h);
        if (status != 0) {
            qv::setDomStatus(status);
            return nullptr;
        }
        return h;
    });
}

QVXML_API int QV_XDOMValidate(const char* source, int inMemory, const char* noNamespaceSchema,
                              const char* schemaLocations) {
    const auto arguments = qv::Arguments().needs(source, "a null source");
    return qv::callStatusExport(qv::kParseOptions.reportsMisuseAs("XDOMValidate"), arguments, [&] {
        const int status = qv::parseInto(source, inMemory != 0, noNamespaceSchema,
                                         schemaLocations, qv::Form::None, nullptr);
        if (status != 0) qv::setDomStatus(status);
    });
}

}  // extern "C"
