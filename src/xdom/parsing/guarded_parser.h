// The DOM parser every document is read with: the parser settings of the document
// interface plus the bounds that keep hostile input from harming the host process
// (entity expansion count and volume, element nesting, external general entities),
// and the resource rule (resource_policy.h) for every DTD, entity and schema the
// content names.
#pragma once

#include <cstddef>
#include <memory>
#include <array>
#include <set>
#include <unordered_set>
#include <string>
#include <vector>

#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>

#include "frame/limits.h"
#include "xdom/parsing/content_sink.h"
#include "xdom/parsing/scanned_attributes.h"
#include "xdom/parsing/parse_memory.h"

namespace qv {

class ContentSink;

// Thrown out of the scan after a bound was reached; the parser's error handler has
// already reported the fatal error with its position.
struct ParseLimitExceeded {};

// The parser's memory manager must outlive the parser's document, which the parser
// releases in its destructor: a base listed first is built first and goes last. It is
// shared because a document cloned from the tree lives on the same manager and may
// outlive the parser (see qv::DomForm::memory).
struct ParseMemoryHolder {
    explicit ParseMemoryHolder(ParseMemory::OnExceeded onExceeded, void* context)
        : memory_(std::make_shared<ParseMemory>(onExceeded, context)) {}
    std::shared_ptr<ParseMemory> memory_;
};

class GuardedParser : private ParseMemoryHolder, public XERCES_CPP_NAMESPACE::XercesDOMParser {
public:
    using XMLCh = ::XMLCh;

    // schema: XML Schema processing on (a schema location was given).
    explicit GuardedParser(bool schema);

    // What a parse makes of the content: the Xerces DOM (the default), or what a
    // content sink makes of it (the compact tree, an XPath view; null: nothing, as
    // validation). The scanner, its settings, bounds and error reports are the same
    // for all; only the output differs.
    void buildDom() {
        dom_ = true;
        sink_ = nullptr;
    }
    void buildWith(ContentSink* sink) {
        dom_ = false;
        sink_ = sink;
        if (sink) sink->scanner = this;
    }

    // Scans with Xerces' well-formedness scanner instead of its general one, for
    // bytes isPlainDocument() accepts and without schema processing: the same
    // content, checks and reports, no grammar (plain_document.h).
    void scanWithoutGrammar();

    // Sets the bounds that depend on the document's size in bytes: the characters
    // entity expansion may add and the memory the parse may hold.
    void setInputSize(std::size_t bytes);
    // After the parse the document is the host's to grow.
    void liftMemoryBudget() { memory_->setWindow(0); }
    const ParseMemory& memory() const { return *memory_; }
    // Element nesting allowed (limits::kMaxElementDepth unless set), and whether the
    // parse went deeper.
    void setMaxDepth(std::size_t levels) { maxDepth_ = levels; }
    bool depthExceeded() const { return depthExceeded_; }
    // Schema locations the host gave itself: read as given, not by the resource rule.
    void trustSchemaLocations(const char* noNamespace, const char* pairs);
    std::shared_ptr<ParseMemory> sharedMemory() const { return memory_; }
    // Text held in memory names its resources relative to `folder` (a real path),
    // not to whatever folder is current when it is parsed.
    void setTextFolder(std::string folder) { textFolder_ = std::move(folder); }

    void startElement(const XERCES_CPP_NAMESPACE::XMLElementDecl& elemDecl, const unsigned int urlId,
                      const XMLCh* const elemPrefix,
                      const XERCES_CPP_NAMESPACE::RefVectorOf<XERCES_CPP_NAMESPACE::XMLAttr>& attrList,
                      const XMLSize_t attrCount, const bool isEmpty, const bool isRoot) override;
    void endElement(const XERCES_CPP_NAMESPACE::XMLElementDecl& elemDecl, const unsigned int urlId,
                    const bool isRoot, const XMLCh* const elemPrefix) override;
    void docCharacters(const XMLCh* const chars, const XMLSize_t length,
                       const bool cdataSection) override;
    void ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length,
                             const bool cdataSection) override;
    void docComment(const XMLCh* const comment) override;
    void docPI(const XMLCh* const target, const XMLCh* const data) override;
    void startEntityReference(const XERCES_CPP_NAMESPACE::XMLEntityDecl& entDecl) override;
    void endEntityReference(const XERCES_CPP_NAMESPACE::XMLEntityDecl& entDecl) override;
    void entityDecl(const XERCES_CPP_NAMESPACE::DTDEntityDecl& entityDecl, const bool isPEDecl,
                    const bool isIgnored) override;
    XERCES_CPP_NAMESPACE::InputSource* resolveEntity(
        XERCES_CPP_NAMESPACE::XMLResourceIdentifier* resourceIdentifier) override;

private:
    void produced(std::size_t count);
    // The distinct element names seen so far, up to the one of `decl`.
    std::size_t distinctNames(const XERCES_CPP_NAMESPACE::XMLElementDecl& decl);
    static void memoryExceeded(void* parser, std::size_t budget);
    [[noreturn]] void fail(const std::string& message);

    // Leaves every resource it is asked about to the parser's own resolution.
    struct DefaultResolution : XERCES_CPP_NAMESPACE::XMLEntityResolver {
        XERCES_CPP_NAMESPACE::InputSource* resolveEntity(
            XERCES_CPP_NAMESPACE::XMLResourceIdentifier*) override {
            return nullptr;
        }
    };

    XERCES_CPP_NAMESPACE::SecurityManager security_;
    DefaultResolution defaultResolution_;
    std::size_t depth_ = 0;
    std::size_t maxDepth_ = limits::kMaxElementDepth;
    bool depthExceeded_ = false;
    std::size_t produced_ = 0;   // characters of content delivered so far
    std::size_t budget_ = 0;     // most characters the document may deliver
    bool inContent_ = false;     // the root element has started
    // The well-formedness scanner numbers no declarations; it keeps one per distinct
    // name, so those are counted here, the latest remembered by their address.
    bool countNames_ = false;
    std::unordered_set<const void*> names_;
    std::array<const void*, 64> recentNames_{};
    std::set<std::u16string> externalGeneralEntities_;  // their system ids
    bool dom_ = true;              // the output: the parser's own DOM
    ContentSink* sink_ = nullptr;  // or this (or nothing)
    std::vector<ScannedAttribute> attributes_;  // scratch for the sink's start tags
    std::u16string qname_;                   // scratch for an element's qualified name
    std::set<std::u16string> trustedSchemas_;
    std::string textFolder_;
};

}  // namespace qv
