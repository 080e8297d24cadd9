#include "xdom/parsing/guarded_parser.h"

#include <algorithm>
#include <memory>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMDocumentType.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/impl/DOMDocumentTypeImpl.hpp>
#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include "frame/limits.h"
#include "frame/transcode.h"
#include "xdom/parsing/content_sink.h"
#include "xdom/parsing/resource_policy.h"

using namespace xercesc;

namespace qv {
namespace {

std::u16string text16(const XMLCh* s) {
    return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}

// The qualified name of an element: prefix:local, or the local name alone.
void qualifiedName(const XMLCh* prefix, const XMLCh* local, std::u16string& out) {
    out.clear();
    if (prefix && *prefix) {
        out += reinterpret_cast<const char16_t*>(prefix);
        out += u':';
    }
    out += reinterpret_cast<const char16_t*>(local);
}

// The attributes a DTD declares with a value for elements of this qualified name, as
// the DOM parser keeps them on its document type: every element of that name starts
// with them.
// `qname` is scratch space.
const DOMNamedNodeMap* declaredDefaults(DOMDocument* document, const XMLScanner& scanner,
                                        const XMLElementDecl& decl, unsigned int uriId,
                                        const XMLCh* prefix, std::u16string& qname) {
    // Only the parser's own document type keeps the element definitions.
    const auto* doctype =
        dynamic_cast<const DOMDocumentTypeImpl*>(document ? document->getDoctype() : nullptr);
    if (!doctype) return nullptr;
    qualifiedName(uriId != scanner.getEmptyNamespaceId() ? prefix : nullptr, decl.getBaseName(),
                  qname);
    const DOMNode* definition =
        doctype->getElements()->getNamedItem(reinterpret_cast<const XMLCh*>(qname.c_str()));
    return definition ? definition->getAttributes() : nullptr;
}

}  // namespace

GuardedParser::GuardedParser(bool schema)
    : ParseMemoryHolder(&GuardedParser::memoryExceeded, this),
      XercesDOMParser(nullptr, memory_.get(), nullptr) {
    setValidationScheme(Val_Auto);
    setDoNamespaces(true);
    setDoSchema(schema);
    setCreateEntityReferenceNodes(false);
    if (schema) setValidationSchemaFullChecking(true);
    security_.setEntityExpansionLimit(limits::kEntityExpansions);
    setSecurityManager(&security_);
    // The scanner asks the parser about entities only while a resolver is set.
    setXMLEntityResolver(&defaultResolution_);
    setInputSize(0);
}


void GuardedParser::scanWithoutGrammar() {
    useScanner(XMLUni::fgWFXMLScanner);
    countNames_ = true;
}

std::size_t GuardedParser::distinctNames(const XMLElementDecl& decl) {
    // The general scanner numbers the declaration it keeps for each name in turn.
    if (!countNames_) return decl.getId();
    const void*& recent =
        recentNames_[(reinterpret_cast<std::uintptr_t>(&decl) >> 4) % recentNames_.size()];
    if (recent != &decl) {
        recent = &decl;
        names_.insert(&decl);
    }
    return names_.size();
}

void GuardedParser::setInputSize(std::size_t bytes) {
    std::size_t allowance = std::max(limits::kEntityExpansionChars.value(),
                                     bytes * limits::kEntityAmplification);
    budget_ = bytes + allowance;
    memory_->setWindow(limits::kParseMemoryWindow + bytes * limits::kParseMemoryWindowPerByte);
}

// The attribute values of a start tag are expanded in full before the parser sees
// them, so a blowup inside them is caught by the memory it needs.
void GuardedParser::memoryExceeded(void* parser, std::size_t window) {
    static_cast<GuardedParser*>(parser)->fail(
        "the parser would hold more than " + std::to_string(window >> 20) +
        " MB for one piece of this document; the limit protects the host");
}

// Every character of content is counted once as it is delivered. Without entities
// a document cannot deliver more characters than it has bytes, so the budget bounds
// what entity expansion adds (the "quadratic blowup" of a large entity referenced
// many times passes the expansion count but not this).
void GuardedParser::produced(std::size_t count) {
    memory_->checkpoint();
    produced_ += count;
    if (produced_ > budget_)
        fail("entity expansion produces more than " + std::to_string(budget_) +
             " characters of content for this document; the limit protects the host");
}

void GuardedParser::startElement(const XMLElementDecl& elemDecl, const unsigned int urlId,
                                 const XMLCh* const elemPrefix,
                                 const RefVectorOf<XMLAttr>& attrList, const XMLSize_t attrCount,
                                 const bool isEmpty, const bool isRoot) {
    inContent_ = true;
    if (++depth_ > maxDepth_) {
        depthExceeded_ = true;
        fail("elements are nested deeper than " + std::to_string(maxDepth_) + " levels");
    }
    if (distinctNames(elemDecl) > limits::kMaxElementNames)
        fail("the document has more than " + std::to_string(limits::kMaxElementNames) +
             " distinct element names");
    if (attrCount > limits::kMaxAttributes)
        fail("an element has more than " + std::to_string(limits::kMaxAttributes) +
             " attributes");
    std::size_t count = 1;
    for (XMLSize_t i = 0; i < attrCount; ++i) {
        const XMLAttr* attr = attrList.elementAt(i);
        if (attr->getSpecified()) count += XMLString::stringLen(attr->getValue());
    }
    produced(count);
    if (dom_) {
        XercesDOMParser::startElement(elemDecl, urlId, elemPrefix, attrList, attrCount, isEmpty,
                                      isRoot);
        return;
    }
    if (sink_) {
        const XMLScanner& scanner = *getScanner();
        scanAttributes(scanner, attrList, attrCount,
                       declaredDefaults(getDocument(), scanner, elemDecl, urlId, elemPrefix, qname_),
                       attributes_);
        // Most elements have no prefix: their qualified name is the local name as it is.
        const XMLCh* qname = elemDecl.getBaseName();
        if (elemPrefix && *elemPrefix) {
            qualifiedName(elemPrefix, elemDecl.getBaseName(), qname_);
            qname = reinterpret_cast<const XMLCh*>(qname_.c_str());
        }
        const XMLCh* uri = urlId != scanner.getEmptyNamespaceId() ? scanner.getURIText(urlId) : u"";
        // The declaration is the same object for every element of its name.
        sink_->startElement(uri, elemDecl.getBaseName(), qname, attributes_, &elemDecl);
    }
    if (isEmpty) endElement(elemDecl, urlId, isRoot, elemPrefix);
}

void GuardedParser::endElement(const XMLElementDecl& elemDecl, const unsigned int urlId,
                               const bool isRoot, const XMLCh* const elemPrefix) {
    if (depth_ > 0) --depth_;
    memory_->checkpoint();
    if (dom_)
        XercesDOMParser::endElement(elemDecl, urlId, isRoot, elemPrefix);
    else if (sink_)
        sink_->endElement();
}

void GuardedParser::docCharacters(const XMLCh* const chars, const XMLSize_t length,
                                  const bool cdataSection) {
    produced(length);
    if (dom_)
        XercesDOMParser::docCharacters(chars, length, cdataSection);
    else if (sink_ && inContent_ && depth_ > 0)
        sink_->characters(chars, length, cdataSection);
}

void GuardedParser::ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length,
                                        const bool cdataSection) {
    produced(length);
    if (dom_)
        XercesDOMParser::ignorableWhitespace(chars, length, cdataSection);
    else if (sink_ && getIncludeIgnorableWhitespace() && inContent_ && depth_ > 0)
        sink_->characters(chars, length, false);
}

void GuardedParser::docComment(const XMLCh* const comment) {
    produced(XMLString::stringLen(comment));
    if (dom_)
        XercesDOMParser::docComment(comment);
    else if (sink_)
        sink_->comment(comment);
}

void GuardedParser::docPI(const XMLCh* const target, const XMLCh* const data) {
    produced(XMLString::stringLen(target) + XMLString::stringLen(data));
    if (dom_)
        XercesDOMParser::docPI(target, data);
    else if (sink_)
        sink_->processingInstruction(target, data);
}

// Without entity reference nodes the DOM parser builds an entity's content under a
// reference node and then moves it to the parent; the scan sees the same content in
// place.
void GuardedParser::startEntityReference(const XMLEntityDecl& entDecl) {
    if (dom_) XercesDOMParser::startEntityReference(entDecl);
}

void GuardedParser::endEntityReference(const XMLEntityDecl& entDecl) {
    if (dom_) XercesDOMParser::endEntityReference(entDecl);
}

void GuardedParser::entityDecl(const DTDEntityDecl& decl, const bool isPEDecl,
                               const bool isIgnored) {
    if (!isPEDecl && decl.isExternal() && !decl.isUnparsed())
        externalGeneralEntities_.insert(text16(decl.getSystemId()));
    XercesDOMParser::entityDecl(decl, isPEDecl, isIgnored);
}

void GuardedParser::trustSchemaLocations(const char* noNamespace, const char* pairs) {
    if (noNamespace) trustedSchemas_.insert(text16(fromLocalText(noNamespace).get()));
    if (!pairs) return;
    // Namespace and location alternate; the locations are every second word.
    std::string list(pairs);
    const char* blanks = " \t\r\n";
    bool location = false;
    for (std::size_t start = list.find_first_not_of(blanks); start != std::string::npos;) {
        std::size_t end = std::min(list.find_first_of(blanks, start), list.size());
        if (location)
            trustedSchemas_.insert(text16(fromLocalText(list.substr(start, end - start).c_str()).get()));
        location = !location;
        start = list.find_first_not_of(blanks, end);
    }
}

// External general entities would copy any file or URL the document names into the
// tree. The external DTD subset, parameter entities and schema documents are read
// before the content or are typed as schema resources, so validation still works,
// from the files the resource rule allows.
InputSource* GuardedParser::resolveEntity(XMLResourceIdentifier* id) {
    if (inContent_ && id->getResourceIdentifierType() == XMLResourceIdentifier::ExternalEntity &&
        externalGeneralEntities_.count(text16(id->getSystemId())) != 0)
        fail("external entity '" + localText(id->getSystemId()) +
             "' is not read: documents may not include other files or URLs through entities");
    const XMLCh* systemId = id->getSystemId();
    const bool hostSchema = id->getResourceIdentifierType() == XMLResourceIdentifier::SchemaGrammar &&
                            trustedSchemas_.count(text16(systemId)) != 0;
    if (!systemId || !*systemId || hostSchema) return XercesDOMParser::resolveEntity(id);
    const std::string reference = localText(systemId);
    std::string base = localText(id->getBaseURI());
    // A base that is neither a path nor a URI is the name of text held in memory.
    if (!textFolder_.empty() && !base.empty() && base[0] != '/' && base.find(':') == std::string::npos)
        base = textFolder_ + "/" + base;
    ResourceDecision decision = decideResource(reference, base);
    if (!decision.refusal.empty()) fail(refusalMessage(reference, decision.refusal));
    return new ConfinedFileSource(decision);
}

void GuardedParser::fail(const std::string& message) {
    if (ErrorHandler* handler = getErrorHandler()) {
        if (const Locator* locator = getScanner()->getLocator()) {
            XmlText text = fromLocalText(message.c_str());
            SAXParseException e(text.get(), *locator, XMLPlatformUtils::fgMemoryManager);
            handler->fatalError(e);
        }
    }
    throw ParseLimitExceeded{};
}

}  // namespace qv
