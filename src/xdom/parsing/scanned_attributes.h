// The attributes of a start tag as the DOM parser would hold them, taken from the
// scanner's events: what the builders of the tree forms that skip the DOM use, so
// that each form lists an element's attributes as its DOM does.
#pragma once

#include <vector>

#include <xercesc/util/RefVectorOf.hpp>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMNamedNodeMap;
class XMLAttr;
class XMLScanner;
XERCES_CPP_NAMESPACE_END

namespace qv {

// Pointers into the scanner's buffers or the document type: valid while the start
// tag is delivered.
struct ScannedAttribute {
    const XMLCh* qname;
    const XMLCh* uri;    // null for no namespace
    const XMLCh* local;
    const XMLCh* value;
    bool id;             // of type ID
    bool specified = true;  // false for a default the document type supplied
};

// Fills `out` with the attributes of one start tag in the DOM's order: the defaults
// the document type declares for the element (`defaults`, null for none), then each
// attribute of the tag, replacing a default of the same namespace URI and local name
// or placed by its qualified name as the DOM places it.
void scanAttributes(const XERCES_CPP_NAMESPACE::XMLScanner& scanner,
                    const XERCES_CPP_NAMESPACE::RefVectorOf<XERCES_CPP_NAMESPACE::XMLAttr>& attrs,
                    XMLSize_t attrCount, const XERCES_CPP_NAMESPACE::DOMNamedNodeMap* defaults,
                    std::vector<ScannedAttribute>& out);

}  // namespace qv
