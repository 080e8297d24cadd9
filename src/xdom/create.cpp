// Making documents and nodes: QV_XDOMCreateRoot, QV_XDOMCreateNode.
#include <cstring>
#include <memory>
#include <string>

#include <strings.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/dom/impl/DOMDocumentImpl.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/handle.h"
#include "xdom/dom/new_document.h"
#include "xdom/dom/owning_document.h"
#include "xdom/dom/qname.h"

using namespace xercesc;

namespace qv {
namespace {

bool isYes(const char* word) {
    if (!word) return false;
    return strcasecmp(word, "yes") == 0 || strcasecmp(word, "true") == 0;
}

// Type code 13: the document's XML declaration. The handle's encoding follows a
// declared encoding that the document did not get from parsing.
void setDeclaration(QvHandle_* h, DOMDocument* document, const char* encoding, const char* standalone) {
    static const XMLCh kVersion[] = u"1.0";
    XmlText name = toXmlText(encoding);
    document->setXmlVersion(kVersion);
    setDeclaredEncoding(document, name.get());
    document->setXmlStandalone(isYes(standalone));
    QvHandle_* doc = documentHandleOf(h);
    if (doc && doc->builtDom() == document) doc->takeEncoding(document);
}

DOMNode* makeNode(DOMDocument* document, QvHandle_* h, const char* name, const char* value,
                  int type) {
    XmlText xmlName = toXmlText(name);
    XmlText xmlValue = toXmlText(value);
    switch (type) {
        case QV_NODE_ELEMENT: {
            QualifiedName qn = resolveQualifiedName(xmlName.get(), h->domNode());
            return document->createElementNS(qn.uri(), qn.qualifiedName.c_str());
        }
        case QV_NODE_ATTRIBUTE: {
            QualifiedName qn = resolveQualifiedName(xmlName.get(), h->domNode());
            DOMAttr* attribute = document->createAttributeNS(qn.uri(), qn.qualifiedName.c_str());
            if (attribute) attribute->setValue(xmlValue.get());
            return attribute;
        }
        case QV_NODE_TEXT: return document->createTextNode(xmlValue.get());
        case QV_NODE_CDATA_SECTION: return document->createCDATASection(xmlValue.get());
        case QV_NODE_ENTITY_REFERENCE: return document->createEntityReference(xmlName.get());
        case QV_NODE_ENTITY: return document->createEntity(xmlName.get());
        case QV_NODE_PROCESSING_INSTRUCTION:
            return document->createProcessingInstruction(xmlName.get(), xmlValue.get());
        case QV_NODE_COMMENT: return document->createComment(xmlValue.get());
        case QV_NODE_DOCUMENT: return document;
        case QV_NODE_DOCUMENT_TYPE: return document->createDocumentType(xmlName.get());
        case QV_NODE_DOCUMENT_FRAGMENT: return document->createDocumentFragment();
        case QV_NODE_NOTATION: return document->createNotation(xmlName.get());
        default: return nullptr;
    }
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API QvHandle QV_XDOMCreateRoot(const QvDocSettings* settings) {
    const auto options = qv::domExport("XDOMCreateRoot")
                             .starts(qv::Runtime::Xml)
                             .fallsBackTo(qv::Error::CreateDocumentFailed);
    const auto arguments = qv::Arguments().needs(settings, "null settings");
    return qv::callExport<QvHandle>(options, arguments, nullptr, [&]() -> QvHandle {
        qv::XercesPtr<DOMDocument> document = qv::newDocument(settings);
        if (!document) {
            qv::reportDom(qv::Error::CreateDocumentFailed);
            return nullptr;
        }
        return qv::makeDocumentHandle(qv::ownedDom(std::move(document)));
    });
}

QVXML_API QvHandle QV_XDOMCreateNode(QvHandle h, const char* name, const char* value, int type) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<QvHandle>(qv::domExport("XDOMCreateNode"), arguments, nullptr, [&]() -> QvHandle {
        DOMDocument* document = qv::owningDocument(h);
        if (!document) {
            qv::reportDom(qv::Error::DocumentRequired);
            return nullptr;
        }
        if (type < QV_NODE_ELEMENT || type > QV_NODE_XML_DECLARATION) {
            qv::reportDom(qv::Error::InvalidNodeType, type);
            return nullptr;
        }
        if (type == QV_NODE_XML_DECLARATION) {
            // No node is made; the handle of the document node tells the host it worked.
            qv::setDeclaration(h, document, name, value);
            qv::markChanged(h);
            return qv::makeNodeHandle(h, document);
        }
        DOMNode* node = qv::makeNode(document, h, name, value, type);
        if (!node) return nullptr;
        if (node != document) qv::markChanged(h);
        return qv::makeNodeHandle(h, node);
    });
}

}  // extern "C"
