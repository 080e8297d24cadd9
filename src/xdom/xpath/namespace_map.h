// Namespace maps of the XPath exports: the text "xmlns:a=urn:one xmlns:b=urn:two"
// binds the prefixes an expression uses.
//
// Declarations accumulate per document: a later map adds to or overwrites (by
// name) what earlier maps declared, so a prefix declared once keeps resolving.
// They live in a table of our own rather than on an element of the document,
// because the full Xalan view cannot see nodes created after it was built.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/PlatformSupport/PrefixResolver.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>

namespace XALAN_CPP_NAMESPACE {
class XalanDocument;
}

namespace qv {

// Every declaration made by the maps used with one document, by declaration
// name ("xmlns:a", or "xmlns" for the default namespace).
class DeclaredNamespaces : public xalanc::PrefixResolver {
public:
    DeclaredNamespaces();
    ~DeclaredNamespaces() override;

    void declare(const std::u16string& name, const std::u16string& uri);

    const xalanc::XalanDOMString* getNamespaceForPrefix(
        const xalanc::XalanDOMString& prefix) const override;
    const xalanc::XalanDOMString& getURI() const override;

private:
    std::map<std::u16string, xalanc::XalanDOMString> byName_;
    xalanc::XalanDOMString noUri_;
};

// The namespace state of a document handle.
struct NamespaceMaps {
    DeclaredNamespaces declared;
    std::string rememberedText;  // the last map text applied
    bool rememberedValid = false;  // it applied without error: reuse without parsing
};

// The prefix resolver for one query. `text` null or empty: the declarations of the
// document element. Otherwise the text is applied to `maps` (unless it is the
// remembered one) and the accumulated declarations resolve. On failure (35, 36, or
// 33/34 for what the libraries throw) the error is reported with the DOM status set
// and the returned resolver resolves nothing: the query still runs.
std::unique_ptr<xalanc::PrefixResolver> prefixResolverFor(NamespaceMaps& maps,
                                                          const xalanc::XalanDocument& document,
                                                          const char* text);

}  // namespace qv
