#include "xdom/dom/qname.h"

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

namespace qv {
namespace {

constexpr XMLCh kColon = u':';

// The URI `prefix` is bound to at `context`; null when unbound.
const XMLCh* lookupPrefix(const XmlString& prefix, const DOMNode* context) {
    // These two are bound by definition; the DOM's look-up does not know them.
    if (prefix == XMLUni::fgXMLString) return XMLUni::fgXMLURIName;
    if (prefix == XMLUni::fgXMLNSString) return XMLUni::fgXMLNSURIName;
    if (context->getNodeType() == DOMNode::DOCUMENT_NODE) {
        // The DOM looks at the document element, which a document being built may
        // not have yet: such a document binds nothing, hence the empty URI.
        static const XMLCh kEmpty[] = {0};
        auto* document = static_cast<const DOMDocument*>(context);
        if (!document->getDocumentElement()) return kEmpty;
    }
    return context->lookupNamespaceURI(prefix.c_str());
}

}  // namespace

QualifiedName resolveQualifiedName(const XMLCh* written, const DOMNode* context) {
    QualifiedName name;
    XmlString text = written ? XmlString(written) : XmlString();
    const size_t first = text.find(kColon);
    if (first == XmlString::npos) {
        name.qualifiedName = std::move(text);
        return name;
    }
    const size_t second = text.find(kColon, first + 1);
    if (second != XmlString::npos) {
        name.qualifiedName = text.substr(0, second);
        name.namespaceUri = text.substr(second + 1);
        name.hasNamespace = true;
        return name;
    }
    if (const XMLCh* uri = lookupPrefix(text.substr(0, first), context)) {
        name.namespaceUri = uri;
        name.hasNamespace = true;
    }
    name.qualifiedName = std::move(text);
    return name;
}

DOMAttr* findAttribute(const DOMElement* element, const XMLCh* written) {
    XmlString text = written ? XmlString(written) : XmlString();
    const size_t colon = text.find(kColon);
    if (colon == XmlString::npos) return element->getAttributeNode(text.c_str());
    XmlString local = text.substr(0, colon);
    XmlString uri = text.substr(colon + 1);
    return element->getAttributeNodeNS(uri.c_str(), local.c_str());
}

}  // namespace qv
