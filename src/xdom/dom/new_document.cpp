#include "xdom/dom/new_document.h"

#include <cstring>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/impl/DOMDocumentImpl.hpp>
#include <xercesc/util/PlatformUtils.hpp>

using namespace xercesc;

namespace qv {

void setDeclaredEncoding(DOMDocument* document, const XMLCh* encoding) {
    if (auto* impl = dynamic_cast<DOMDocumentImpl*>(document)) impl->setXmlEncoding(encoding);
}

XercesPtr<DOMDocument> newDocument(const QvDocSettings* settings) {
    XercesPtr<DOMDocument> document(
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager));
    if (!document || !settings) return document;
    // A field of fixed width that a host may fill to the last byte without a terminator.
    const std::string encoding(settings->docEncoding,
                               strnlen(settings->docEncoding, sizeof settings->docEncoding));
    if (!encoding.empty()) {
        XmlText name = fromLocalText(encoding.c_str());
        setDeclaredEncoding(document.get(), name.get());
    }
    document->setXmlStandalone(settings->standalone != 0);
    return document;
}

}  // namespace qv
