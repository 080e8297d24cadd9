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

XmlText declaredEncodingOf(const QvDocSettings* settings) {
    if (!settings) return XmlText();
    const std::string encoding(settings->docEncoding,
                               strnlen(settings->docEncoding, sizeof settings->docEncoding));
    return encoding.empty() ? XmlText() : fromLocalText(encoding.c_str());
}

XercesPtr<DOMDocument> newDocument(const QvDocSettings* settings) {
    XercesPtr<DOMDocument> document(
        DOMImplementation::getImplementation()->createDocument(XMLPlatformUtils::fgMemoryManager));
    if (!document || !settings) return document;
    if (XmlText name = declaredEncodingOf(settings)) setDeclaredEncoding(document.get(), name.get());
    document->setXmlStandalone(settings->standalone != 0);
    return document;
}

XercesPtr<DOMDocument> newBuiltDocument(const QvDocSettings* settings) {
    XercesPtr<DOMDocument> document = newDocument(settings);
    static const XMLCh kVersion[] = u"1.0";
    if (document) document->setXmlVersion(kVersion);
    return document;
}

}  // namespace qv
