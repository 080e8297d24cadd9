#include "xdom/parsing/scanned_attributes.h"

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/util/XMLString.hpp>

using namespace xercesc;

namespace qv {
namespace {

const XMLCh kXmlns[] = u"xmlns";

// The DOM keeps an element's attributes sorted by qualified name: one that has the
// namespace URI and local name of an attribute already there takes its place, any
// other goes where a binary search of the qualified names puts it (in front of an
// equal name). The same steps give the same order here.
void place(std::vector<ScannedAttribute>& list, const ScannedAttribute& attribute) {
    for (ScannedAttribute& a : list) {
        if (XMLString::equals(a.uri, attribute.uri) && XMLString::equals(a.local, attribute.local)) {
            a = attribute;
            return;
        }
    }
    int first = 0;
    int last = static_cast<int>(list.size()) - 1;
    int i = 0;
    while (first <= last) {
        i = (first + last) / 2;
        const int test = XMLString::compareString(attribute.qname, list[i].qname);
        if (test == 0) break;
        if (test < 0)
            last = i - 1;
        else
            first = i + 1;
    }
    if (first > last && first > i) i = first;
    list.insert(list.begin() + i, attribute);
}

}  // namespace

void scanAttributes(const XMLScanner& scanner, const RefVectorOf<XMLAttr>& attrs,
                    XMLSize_t attrCount, const DOMNamedNodeMap* defaults,
                    std::vector<ScannedAttribute>& out) {
    out.clear();
    if (defaults) {
        const XMLSize_t n = defaults->getLength();
        for (XMLSize_t i = 0; i < n; ++i) {
            const auto* a = static_cast<const DOMAttr*>(defaults->item(i));
            out.push_back({a->getNodeName(), a->getNamespaceURI(), a->getLocalName(),
                           a->getNodeValue(), a->isId(), false});
        }
    }
    const unsigned int empty = scanner.getEmptyNamespaceId();
    for (XMLSize_t i = 0; i < attrCount; ++i) {
        const XMLAttr* a = attrs.elementAt(i);
        unsigned int id = a->getURIId();
        if (XMLString::equals(a->getName(), kXmlns)) id = scanner.getXMLNSNamespaceId();
        place(out, {a->getQName(), id != empty ? scanner.getURIText(id) : nullptr, a->getName(),
                    a->getValue(), a->getType() == XMLAttDef::ID, a->getSpecified()});
    }
}

}  // namespace qv
