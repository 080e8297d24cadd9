#include "xdom/xslt/transform_sources.h"

#include <cstring>
#include <new>
#include <vector>

#include <sys/stat.h>

#include <xalanc/XalanSourceTree/XalanSourceTreeParserLiaison.hpp>
#include <xalanc/XalanTransformer/XalanDefaultParsedSource.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/URLInputSource.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLURL.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "frame/limits.h"
#include "xdom/parsing/guarded_parser.h"
#include "xdom/xslt/plain_markup.h"
#include "xdom/parsing/resource_policy.h"
#include "xdom/xslt/stylesheet_check.h"
#include "xdom/xpath/xalan_memory.h"
#include "frame/transcode.h"

using namespace xercesc;

namespace qv {

struct TransformSources::Stylesheet {
    std::string markup;
    unsigned long modules = 1;  // itself and, counted each time, what it includes
    bool done = false;          // its includes are read
};

namespace {

// Keeps the first fatal error of a read as one line of text; validity errors do
// not matter here (nothing is validated) and warnings are dropped.
class FirstFatalError : public ErrorHandler {
public:
    std::string text;

    void warning(const SAXParseException&) override {}
    void error(const SAXParseException&) override {}
    void fatalError(const SAXParseException& e) override {
        if (!text.empty()) return;
        text = "Fatal error at file '" + localText(e.getSystemId()) + "', line " +
               std::to_string(e.getLineNumber()) + ", column " +
               std::to_string(e.getColumnNumber()) + ". Message: " + localText(e.getMessage());
    }
    void resetErrors() override {}
};

// One document read by the guarded parser.
struct GuardedRead {
    std::string markup;                 // plain markup, when it was read
    std::vector<std::string> includes;  // hrefs of xsl:include and xsl:import
    std::string error;                  // else why not
};

void collectHrefs(const DOMDocument* document, const XMLCh* name, std::vector<std::string>& out) {
    const DOMNodeList* elements = document->getElementsByTagNameNS(kXsltNamespace, name);
    for (XMLSize_t i = 0; i < elements->getLength(); ++i) {
        const auto* element = static_cast<const DOMElement*>(elements->item(i));
        if (element->hasAttribute(u"href")) out.push_back(localText(element->getAttribute(u"href")));
    }
}

// Top-level elements in another namespace are data to XSLT 1.0 (document('') still
// reads them from the stylesheet's own file): Xalan would compile the templates
// inside them, so they are left out of what it compiles. Xalan's own extension
// namespaces stay, as it defines them.
void dropForeignTopLevel(DOMDocument* document) {
    DOMElement* root = document ? document->getDocumentElement() : nullptr;
    if (!root || !XMLString::equals(root->getNamespaceURI(), kXsltNamespace)) return;
    for (DOMNode* child = root->getFirstChild(); child;) {
        DOMNode* next = child->getNextSibling();
        const XMLCh* uri = child->getNamespaceURI();
        if (child->getNodeType() == DOMNode::ELEMENT_NODE && uri && *uri &&
            !XMLString::equals(uri, kXsltNamespace) &&
            !XMLString::equals(uri, u"http://xml.apache.org/xalan") &&
            !XMLString::equals(uri, u"http://xml.apache.org/xslt"))
            root->removeChild(child)->release();
        child = next;
    }
}

// exclude-result-prefixes on a stylesheet holds for its whole tree; Xalan loses it
// for the literal result elements of an included stylesheet, whose templates join
// the including one. The same list on each outermost literal result element (as
// xsl:exclude-result-prefixes, which XSLT 1.0 allows there) says the same thing in
// a form Xalan keeps. A stylesheet whose XSLT elements have no prefix is left as
// it is: such an attribute would need one.
void spreadExcludedPrefixes(DOMDocument* document) {
    DOMElement* root = document ? document->getDocumentElement() : nullptr;
    if (!root || !XMLString::equals(root->getNamespaceURI(), kXsltNamespace)) return;
    const XMLCh* prefix = root->getPrefix();
    const XMLCh* excluded = root->getAttribute(u"exclude-result-prefixes");
    if (!prefix || !*prefix || !excluded || !*excluded) return;
    const std::u16string list(excluded);
    const std::u16string name = std::u16string(prefix) + u":exclude-result-prefixes";
    std::vector<DOMElement*> pending{root};
    while (!pending.empty()) {
        DOMElement* element = pending.back();
        pending.pop_back();
        const bool instruction = XMLString::equals(element->getNamespaceURI(), kXsltNamespace);
        for (DOMElement* child = element->getFirstElementChild(); child;
             child = child->getNextElementSibling()) {
            if (XMLString::equals(child->getNamespaceURI(), kXsltNamespace)) {
                pending.push_back(child);
            } else if (instruction && element != root) {
                const XMLCh* own = child->getAttributeNS(kXsltNamespace, u"exclude-result-prefixes");
                const std::u16string merged = own && *own ? list + u" " + own : list;
                child->setAttributeNS(kXsltNamespace, name.c_str(), merged.c_str());
            }
        }
    }
}

// size: the source's bytes, for the entity and memory bounds (0 when unknown).
GuardedRead readGuarded(InputSource& input, std::size_t size, bool stylesheet) {
    GuardedRead result;
    FirstFatalError errors;
    GuardedParser parser(false);
    parser.setValidationScheme(XercesDOMParser::Val_Never);
    parser.setErrorHandler(&errors);
    if (stylesheet) parser.setMaxDepth(limits::kMaxStylesheetDepth);
    try {
        parser.setInputSize(size);
        parser.parse(input);
    } catch (const ParseLimitExceeded&) {
    } catch (const XMLException& e) {
        if (errors.text.empty()) errors.text = localText(e.getMessage());
    }
    if (stylesheet && parser.depthExceeded())  // in the words of the stylesheet check
        errors.text = "stylesheet refused: elements are nested deeper than " +
                      std::to_string(limits::kMaxStylesheetDepth) + " levels";
    DOMDocument* document = parser.getDocument();
    if (errors.text.empty() && (!document || !document->getDocumentElement()))
        errors.text = "'" + localText(input.getSystemId()) + "' holds no document";
    if (!errors.text.empty()) {
        result.error = errors.text;
        return result;
    }
    if (stylesheet) {
        // The shape check reads the tree this parse made: one parse before Xalan's.
        result.error = stylesheetProblem(*document);
        if (!result.error.empty()) return result;
        dropForeignTopLevel(document);
        spreadExcludedPrefixes(document);
    }
    result.markup = plainMarkup(document);
    if (stylesheet) {
        collectHrefs(document, u"include", result.includes);
        collectHrefs(document, u"import", result.includes);
    }
    return result;
}

std::size_t fileSize(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
}

// Markup held by the caller, under the system id Xalan resolves relative names with.
MemBufInputSource* markupSource(const std::string& markup, const XMLCh* systemId) {
    return new MemBufInputSource(reinterpret_cast<const XMLByte*>(markup.data()), markup.size(),
                                 systemId, false);
}

// The parser liaison of a transformation: whatever Xalan reads by system id while
// it runs (document() targets) is read by the guarded parser first.
class GuardedLiaison : public xalanc::XalanSourceTreeParserLiaison {
public:
    GuardedLiaison(TransformSources& sources, MemoryManager& manager)
        : XalanSourceTreeParserLiaison(manager), sources_(sources) {}

    xalanc::XalanDocument* parseXMLStream(const InputSource& input,
                                          const xalanc::XalanDOMString& identifier) override {
        const std::string markup = sources_.read(input);
        std::unique_ptr<InputSource> safe(markupSource(markup, input.getSystemId()));
        return XalanSourceTreeParserLiaison::parseXMLStream(*safe, identifier);
    }
    void parseXMLStream(const InputSource& input, xercesc::DocumentHandler& handler,
                        const xalanc::XalanDOMString& identifier) override {
        const std::string markup = sources_.read(input);
        std::unique_ptr<InputSource> safe(markupSource(markup, input.getSystemId()));
        XalanSourceTreeParserLiaison::parseXMLStream(*safe, handler, identifier);
    }
    void parseXMLStream(const InputSource& input, xercesc::ContentHandler& handler,
                        const xalanc::XalanDOMString& identifier, xercesc::DTDHandler* dtd,
                        xercesc::LexicalHandler* lexical) override {
        const std::string markup = sources_.read(input);
        std::unique_ptr<InputSource> safe(markupSource(markup, input.getSystemId()));
        XalanSourceTreeParserLiaison::parseXMLStream(*safe, handler, identifier, dtd, lexical);
    }

private:
    TransformSources& sources_;
};

class GuardedHelper : public xalanc::XalanParsedSourceHelper {
public:
    GuardedHelper(TransformSources& sources, const xalanc::XalanSourceTreeDOMSupport& source,
                  MemoryManager& manager)
        : liaison_(sources, manager), support_(liaison_, source) {}

    xalanc::DOMSupport& getDOMSupport() override { return support_; }
    xalanc::XMLParserLiaison& getParserLiaison() override { return liaison_; }

private:
    GuardedLiaison liaison_;
    xalanc::XalanDefaultParsedSourceDOMSupport support_;
};

}  // namespace

TransformSources::TransformSources() = default;
TransformSources::~TransformSources() = default;

std::string TransformSources::load(const char* stylesheet, bool isText) {
    GuardedRead main;
    std::string namingId;
    if (isText) {
        // Named as a file in the current folder: what it names is read from there.
        namingId = "stylesheet";
        MemBufInputSource input(reinterpret_cast<const XMLByte*>(stylesheet),
                                std::strlen(stylesheet), namingId.c_str(), false);
        main = readGuarded(input, std::strlen(stylesheet), true);
    } else {
        namingId = stylesheet;
        // Trusted as given: a file name, or a URI the parser opens itself.
        XmlText id = fromLocalText(stylesheet);
        XMLURL url;
        std::unique_ptr<InputSource> input;
        if (XMLURL::parse(id.get(), url) && !url.isRelative())
            input = std::make_unique<URLInputSource>(url);
        else
            input = std::make_unique<LocalFileInputSource>(id.get());
        main = readGuarded(*input, 0, true);
    }
    if (!main.error.empty()) return main.error;
    rootFolder_ = folderOf(namingId);

    unsigned long modules = 1;
    for (const std::string& href : main.includes) {
        const std::string problem = loadIncluded(href, namingId, modules);
        if (!problem.empty()) return problem;
    }

    mainMarkup_ = std::move(main.markup);
    mainStream_.str(mainMarkup_);
    main_ = std::make_unique<xalanc::XSLTInputSource>(&mainStream_, xalanMemory());
    if (!isText) {
        XmlText id = fromLocalText(stylesheet);
        main_->setSystemId(id.get());
    }
    return "";
}

std::string TransformSources::loadIncluded(const std::string& href, const std::string& namingId,
                                           unsigned long& modules) {
    ResourceDecision decision = decideResource(href, namingId);
    if (!decision.refusal.empty()) return refusalMessage(href, decision.refusal);
    if (decision.missing) return "stylesheet '" + href + "' cannot be opened";

    auto found = stylesheets_.find(decision.path);
    if (found == stylesheets_.end()) {
        ConfinedFileSource input(decision);
        GuardedRead read = readGuarded(input, fileSize(decision.path), true);
        if (!read.error.empty()) return read.error;
        found = stylesheets_.emplace(decision.path, Stylesheet{std::move(read.markup)}).first;
        for (const std::string& child : read.includes) {
            const std::string problem = loadIncluded(child, decision.path, found->second.modules);
            if (!problem.empty()) return problem;
        }
        found->second.done = true;
    }
    // A stylesheet still being read includes itself: Xalan refuses that itself.
    modules += found->second.done ? found->second.modules : 1;
    if (modules > limits::kMaxIncludedStylesheets)
        return "stylesheet refused: it includes and imports more than " +
               std::to_string(limits::kMaxIncludedStylesheets) + " stylesheets";
    return "";
}

InputSource* TransformSources::resolveEntity(const XMLCh*, const XMLCh* systemId) {
    // While Xalan runs, the helper's liaison reads documents itself (see read()).
    if (transforming_) return nullptr;
    // Xalan asks by absolute URI; load() read every stylesheet it may ask for.
    const std::string reference = localText(systemId);
    ResourceDecision decision = decideWithin(reference, rootFolder_);
    if (!decision.refusal.empty()) fail(refusalMessage(reference, decision.refusal));
    auto found = stylesheets_.find(decision.path);
    if (decision.missing || found == stylesheets_.end())
        fail(refusalMessage(reference, "it is not a stylesheet the stylesheet includes or imports"));
    return markupSource(found->second.markup, systemId);
}

std::string TransformSources::read(const InputSource& request) {
    // The transformation has failed already: nothing more is read (Xalan asks again
    // for a document it could not load).
    if (!problem_.empty()) throw SAXException(problem_.c_str());
    const XMLCh* systemId = request.getSystemId();
    if (!systemId || !*systemId) fail("a document to load has no name");
    const std::string reference = localText(systemId);
    ResourceDecision decision = decideWithin(reference, rootFolder_);
    if (!decision.refusal.empty() && !sourceFolder_.empty()) {
        ResourceDecision fromSource = decideWithin(reference, sourceFolder_);
        if (fromSource.refusal.empty()) decision = fromSource;
    }
    if (!decision.refusal.empty()) fail(refusalMessage(reference, decision.refusal));
    // A missing document stays what it is to Xalan: document() gives an empty node-set.
    if (decision.missing) throw SAXException((reference + " cannot be opened").c_str());
    ConfinedFileSource input(decision);
    GuardedRead document = readGuarded(input, fileSize(decision.path), false);
    if (!document.error.empty()) fail(document.error);
    return std::move(document.markup);
}

void TransformSources::allowSourceFolder(const std::string& sourceFile) {
    sourceFolder_ = folderOf(sourceFile);
}

xalanc::XalanParsedSourceHelper* TransformSources::createHelper(
    const xalanc::XalanSourceTreeDOMSupport& source, MemoryManager& manager) {
    // Xalan destroys the helper through the manager it gave.
    void* place = manager.allocate(sizeof(GuardedHelper));
    try {
        return new (place) GuardedHelper(*this, source, manager);
    } catch (...) {
        manager.deallocate(place);
        throw;
    }
}

void TransformSources::fail(const std::string& why) {
    if (problem_.empty()) problem_ = why;
    throw SAXException(why.c_str());
}

}  // namespace qv
