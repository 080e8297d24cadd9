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
#include "xdom/dom/owning_document.h"
#include "xdom/dom/qname.h"

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
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<const char*>(qv::domExport("XDOMGetNodeName"), arguments, nullptr, [&] {
        return qv::handBack(h, h->domNode()->getNodeName());
    });
}

QVXML_API const char* QV_XDOMGetNodeValue(QvHandle h) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<const char*>(qv::domExport("XDOMGetNodeValue"), arguments, nullptr,
                                     [&]() -> const char* {
        const char* text = qv::handBack(h, h->domNode()->getNodeValue());
        if (!text) qv::reportDom(qv::Error::NoData);
        return text;
    });
}

QVXML_API int QV_XDOMGetNodeType(QvHandle h) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<int>(qv::domExport("XDOMGetNodeType"), arguments, 0, [&] {
        return static_cast<int>(h->domNode()->getNodeType());
    });
}

QVXML_API QvHandle QV_XDOMGetOwnerDocument(QvHandle h) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<QvHandle>(qv::domExport("XDOMGetOwnerDocument"), arguments, nullptr,
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
    const auto arguments = qv::Arguments()
                               .check(qv::handleProblem(h))
                               .needs(attributeName, "a null attribute name");
    return qv::callExport<QvHandle>(qv::domExport("XDOMGetAttribute"), arguments, nullptr,
                                  [&]() -> QvHandle {
        DOMNode* node = h->domNode();
        if (!attributeName || !*attributeName) {
            qv::reportDom(qv::Error::InvalidAttributeName);
            return nullptr;
        }
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
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callExport<const char*>(qv::domExport("XDOMGetUserData"), arguments, nullptr,
                                     [&]() -> const char* {
        DOMNode* node = h->domNode();
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
    const auto arguments = qv::Arguments().check(qv::handleProblem(h)).needs(value, "a null value");
    return qv::callStatusExport(qv::domExport("XDOMSetNodeValue"), arguments, [&] {
        DOMNode* node = h->domNode();
        qv::XmlText text = qv::toXmlText(value);
        node->setNodeValue(text.get());
        // Nodes without a value (elements, documents) ignore the call.
        if (node->getNodeValue()) qv::markChanged(h);
    });
}

QVXML_API int QV_XDOMSetUserData(QvHandle h, const char* data) {
    const auto arguments = qv::Arguments().check(qv::handleProblem(h));
    return qv::callStatusExport(qv::domExport("XDOMSetUserData"), arguments, [&] {
        DOMNode* node = h->domNode();
        node->setUserData(node->getNodeName(), const_cast<char*>(data), nullptr);
    });
}

}  // extern "C"
