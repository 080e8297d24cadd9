// Reading and setting node properties: QV_XDOMGetNodeName, QV_XDOMGetNodeValue,
// QV_XDOMGetNodeType, QV_XDOMGetOwnerDocument, QV_XDOMGetAttribute,
// QV_XDOMGetUserData, QV_XDOMSetNodeValue, QV_XDOMSetUserData.
#include <cstring>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/errors.h"
#include "frame/boundary.h"
#include "xdom/handle.h"
#include "xdom/owning_document.h"
#include "xdom/qname.h"

using namespace xercesc;

namespace qv {
namespace {

// Hands DOM text back through the handle; null (the previous text kept) when the
// text is absent or empty.
const char* handBack(QvHandle_* h, const XMLCh* text) {
    if (!text || !*text) return nullptr;
    return setResultText(h, toHostText(text));
}

}  // namespace
}  // namespace qv

extern "C" {

QVXML_API const char* QV_XDOMGetNodeName(QvHandle h) {
    return qv::callExport<const char*>(qv::domExport("XDOMGetNodeName"), nullptr,
                                     [&] { return qv::handBack(h, h->node->getNodeName()); });
}

QVXML_API const char* QV_XDOMGetNodeValue(QvHandle h) {
    return qv::callExport<const char*>(qv::domExport("XDOMGetNodeValue"), nullptr,
                                     [&]() -> const char* {
        const char* text = qv::handBack(h, h->node->getNodeValue());
        if (!text) qv::reportDom(qv::Error::NoData);
        return text;
    });
}

QVXML_API int QV_XDOMGetNodeType(QvHandle h) {
    return qv::callExport<int>(qv::domExport("XDOMGetNodeType"), 0,
                             [&] { return static_cast<int>(h->node->getNodeType()); });
}

QVXML_API QvHandle QV_XDOMGetOwnerDocument(QvHandle h) {
    return qv::callExport<QvHandle>(qv::domExport("XDOMGetOwnerDocument"), nullptr,
                                  [&]() -> QvHandle {
        DOMDocument* document = qv::owningDocument(h);
        if (!document) {
            qv::reportDom(qv::Error::NoDocumentNode);
            return nullptr;
        }
        return qv::makeNodeHandle(h, document);
    });
}

QVXML_API QvHandle QV_XDOMGetAttribute(QvHandle h, const char* attributeName) {
    return qv::callExport<QvHandle>(qv::domExport("XDOMGetAttribute"), nullptr,
                                  [&]() -> QvHandle {
        if (!attributeName || !*attributeName) {
            qv::reportDom(qv::Error::InvalidAttributeName);
            return nullptr;
        }
        DOMNode* node = h->node;
        if (node->getNodeType() != DOMNode::ELEMENT_NODE) {
            qv::reportDom(qv::Error::ElementExpected);
            return nullptr;
        }
        qv::XmlText name = qv::toXmlText(attributeName);
        DOMAttr* attribute = qv::findAttribute(static_cast<DOMElement*>(node), name.get());
        if (!attribute) {
            qv::reportDom(qv::Error::NoSuchAttribute, attributeName);
            return nullptr;
        }
        return qv::makeNodeHandle(h, attribute);
    });
}

// User data: the host's own pointer, kept under the node's name. The host keeps the
// string alive; reading it back copies the bytes as they are.
QVXML_API const char* QV_XDOMGetUserData(QvHandle h) {
    return qv::callExport<const char*>(qv::domExport("XDOMGetUserData"), nullptr,
                                     [&]() -> const char* {
        DOMNode* node = h->node;
        const auto* data = static_cast<const char*>(node->getUserData(node->getNodeName()));
        if (!data) {
            qv::reportDom(qv::Error::NoData);
            return nullptr;
        }
        const size_t length = std::strlen(data);
        qv::HostText copy(new char[length + 1]);
        std::memcpy(copy.get(), data, length + 1);
        return qv::setResultText(h, std::move(copy));
    });
}

QVXML_API int QV_XDOMSetNodeValue(QvHandle h, const char* value) {
    return qv::callStatusExport(qv::domExport("XDOMSetNodeValue"), [&] {
        qv::XmlText text = qv::toXmlText(value);
        h->node->setNodeValue(text.get());
        // Nodes without a value (elements, documents) ignore the call.
        if (h->node->getNodeValue()) qv::markChanged(h);
    });
}

QVXML_API int QV_XDOMSetUserData(QvHandle h, const char* data) {
    return qv::callStatusExport(qv::domExport("XDOMSetUserData"), [&] {
        DOMNode* node = h->node;
        node->setUserData(node->getNodeName(), const_cast<char*>(data), nullptr);
    });
}

}  // extern "C"
