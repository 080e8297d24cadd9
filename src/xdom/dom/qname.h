// Name arguments of the node exports: the written form of new
// elements and attributes, and the "name" / "local:uri" form of attribute look-ups.
// Names of any length are accepted.
#pragma once

#include <string>

#include "frame/transcode.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMAttr;
class DOMElement;
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

using XmlString = std::basic_string<XMLCh>;

// A new element's or attribute's name and namespace, resolved at `context`:
//   "name"              no namespace
//   "prefix:local"      the URI the prefix is bound to at `context` (none when unbound)
//   "prefix:local:uri"  the qualified name up to the second colon, the URI after it
struct QualifiedName {
    XmlString qualifiedName;
    XmlString namespaceUri;
    bool hasNamespace = false;  // false: the node gets no namespace (null URI)

    const XMLCh* uri() const { return hasNamespace ? namespaceUri.c_str() : nullptr; }
};
QualifiedName resolveQualifiedName(const XMLCh* written, const XERCES_CPP_NAMESPACE::DOMNode* context);

// The attribute of `element` named by `written` ("name", or "local:uri" for an
// attribute in a namespace); null when it has none.
XERCES_CPP_NAMESPACE::DOMAttr* findAttribute(const XERCES_CPP_NAMESPACE::DOMElement* element, const XMLCh* written);

}  // namespace qv
