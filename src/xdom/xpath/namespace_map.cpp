#include "xdom/xpath/namespace_map.h"

#include <cstring>

#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/XPath/ElementPrefixResolverProxy.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xercesc/util/XMLChar.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "frame/transcode.h"
#include "xdom/xpath/xalan_memory.h"

namespace qv {
namespace {


const std::u16string kXmlns = u"xmlns";

// A declaration name is "xmlns" or "xmlns:" followed by an NCName; anything else
// is refused as the DOM refuses it for a namespace-declaration attribute.
bool isDeclarationName(const std::u16string& name) {
    if (name == kXmlns) return true;
    if (name.size() <= kXmlns.size() + 1 || name.compare(0, kXmlns.size() + 1, u"xmlns:") != 0)
        return false;
    const XMLCh* local = name.c_str() + kXmlns.size() + 1;
    return xercesc::XMLChar1_0::isValidNCName(local, name.size() - kXmlns.size() - 1);
}

std::u16string toU16(const char* begin, size_t length) {
    std::string bytes(begin, length);
    XmlText text = toXmlText(bytes.c_str());
    return text ? std::u16string(text.get()) : std::u16string();
}

// Lets the per-query resolver be the document's table without copying it.
class Borrowed : public xalanc::PrefixResolver {
public:
    explicit Borrowed(const xalanc::PrefixResolver& target) : target_(target) {}
    const xalanc::XalanDOMString* getNamespaceForPrefix(
        const xalanc::XalanDOMString& prefix) const override {
        return target_.getNamespaceForPrefix(prefix);
    }
    const xalanc::XalanDOMString& getURI() const override { return target_.getURI(); }

private:
    const xalanc::PrefixResolver& target_;
};

std::unique_ptr<xalanc::PrefixResolver> resolvesNothing() {
    return std::make_unique<xalanc::ElementPrefixResolverProxy>(nullptr, xalanMemory());
}

// Applies every entry of the map text to the table. Entries are separated by
// blanks (spaces only); each is name=value with the "=" before the next blank.
// Entries before a bad one stay declared. Returns false after reporting.
bool apply(DeclaredNamespaces& declared, const char* text) {
    const char* p = text;
    for (;;) {
        while (*p == ' ') ++p;
        if (!*p) return true;
        const char* blank = std::strchr(p, ' ');
        const char* end = blank ? blank : p + std::strlen(p);
        const char* eq = static_cast<const char*>(std::memchr(p, '=', end - p));
        if (!eq) {
            reportDom(Error::BadNamespaceMap, text);
            return false;
        }
        std::u16string name = toU16(p, eq - p);
        if (!isDeclarationName(name)) {
            reportDom(Error::XalanNoDetails);
            return false;
        }
        declared.declare(name, toU16(eq + 1, end - eq - 1));
        p = end;
    }
}

}  // namespace

DeclaredNamespaces::DeclaredNamespaces() : noUri_(xalanMemory()) {}
DeclaredNamespaces::~DeclaredNamespaces() = default;

void DeclaredNamespaces::declare(const std::u16string& name, const std::u16string& uri) {
    auto it = byName_.find(name);
    if (it == byName_.end())
        it = byName_.emplace(name, xalanc::XalanDOMString(xalanMemory())).first;
    it->second.assign(uri.c_str(), uri.size());
}

const xalanc::XalanDOMString* DeclaredNamespaces::getNamespaceForPrefix(
    const xalanc::XalanDOMString& prefix) const {
    // The xml prefix is bound by definition, as on any element.
    if (prefix == xalanc::DOMServices::s_XMLString) return &xalanc::DOMServices::s_XMLNamespaceURI;
    std::u16string name = kXmlns;
    if (!prefix.empty()) {
        name += u':';
        name.append(prefix.c_str(), prefix.length());
    }
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &it->second;
}

const xalanc::XalanDOMString& DeclaredNamespaces::getURI() const { return noUri_; }

std::unique_ptr<xalanc::PrefixResolver> prefixResolverFor(NamespaceMaps& maps,
                                                          const xalanc::XalanDocument& document,
                                                          const char* text) {
    if (!text || !*text) {
        const xalanc::XalanElement* root = document.getDocumentElement();
        if (!root) {
            reportDom(Error::NoDocumentNode);
            return resolvesNothing();
        }
        return std::make_unique<xalanc::ElementPrefixResolverProxy>(root, xalanMemory());
    }
    if (maps.rememberedValid && maps.rememberedText == text)
        return std::make_unique<Borrowed>(maps.declared);

    maps.rememberedText = text;
    maps.rememberedValid = false;
    bool applied = false;
    try {
        applied = apply(maps.declared, text);
    } catch (...) {
        setDomStatus(reportCaught(domExport("XDOMLocate")
                                      .fallsBackTo(Error::XalanNoDetails)
                                      .reportsXalanDomExceptions()));
    }
    if (!applied) return resolvesNothing();
    maps.rememberedValid = true;
    return std::make_unique<Borrowed>(maps.declared);
}

}  // namespace qv
