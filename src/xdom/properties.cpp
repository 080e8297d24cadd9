// Reading and setting node properties: QV_XDOMGetNodeName, QV_XDOMGetNodeValue,
// QV_XDOMGetNodeType, QV_XDOMGetOwnerDocument, QV_XDOMGetAttribute,
// QV_XDOMGetUserData, QV_XDOMSetNodeValue, QV_XDOMSetUserData.
#include <cstring>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/misuse.h"
#include "frame/errors.h"
#include "frame/guard.h"
#include "xdom/handle.h"
#include "xdom/node_access.h"
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
    if (qv::misused("XDOMGetNodeName", qv::Arguments().check(qv::handleProblem(h)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<const char*>({"XDOMGetNodeName", 99, "XDOMGetNodeName"}, nullptr,
                                     [&] { return qv::handBack(h, h->node->getNodeName()); });
}

QVXML_API const char* QV_XDOMGetNodeValue(QvHandle h) {
    if (qv::misused("XDOMGetNodeValue", qv::Arguments().check(qv::handleProblem(h)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<const char*>({"XDOMGetNodeValue", 99, "XDOMGetNodeValue"}, nullptr,
                                     [&]() -> const char* {
        const char* text = qv::handBack(h, h->node->getNodeValue());
        if (!text) qv::reportDom(28);
        return text;
    });
}

QVXML_API int QV_XDOMGetNodeType(QvHandle h) {
    if (qv::misused("XDOMGetNodeType", qv::Arguments().check(qv::handleProblem(h)))) return 0;
    qv::setDomStatus(0);
    return qv::guardDom<int>({"XDOMGetNodeType", 99, "XDOMGetNodeType"}, 0,
                             [&] { return static_cast<int>(h->node->getNodeType()); });
}

QVXML_API QvHandle QV_XDOMGetOwnerDocument(QvHandle h) {
    if (qv::misused("XDOMGetOwnerDocument", qv::Arguments().check(qv::handleProblem(h)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<QvHandle>({"XDOMGetOwnerDocument", 99, "XDOMGetOwnerDocument"}, nullptr,
                                  [&]() -> QvHandle {
        DOMDocument* document = qv::owningDocument(h);
        if (!document) {
            qv::reportDom(36);
            return nullptr;
        }
        return qv::makeNodeHandle(h, document);
    });
}

QVXML_API QvHandle QV_XDOMGetAttribute(QvHandle h, const char* attributeName) {
    if (qv::misused("XDOMGetAttribute", qv::Arguments().check(qv::handleProblem(h)).needs(attributeName, "a null attribute name"))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<QvHandle>({"XDOMGetAttribute", 99, "XDOMGetAttribute"}, nullptr,
                                  [&]() -> QvHandle {
        if (!attributeName || !*attributeName) {
            qv::reportDom(26);
            return nullptr;
        }
        DOMNode* node = h->node;
        if (node->getNodeType() != DOMNode::ELEMENT_NODE) {
            qv::reportDom(18);
            return nullptr;
        }
        qv::XmlText name = qv::toXmlText(attributeName);
        DOMAttr* attribute = qv::findAttribute(static_cast<DOMElement*>(node), name.get());
        if (!attribute) {
            qv::reportDom(27, attributeName);
            return nullptr;
        }
        return qv::makeNodeHandle(h, attribute);
    });
}

// User data: the host's own pointer, kept under the node's name. The host keeps the
// string alive; reading it back copies the bytes as they are.
QVXML_API const char* QV_XDOMGetUserData(QvHandle h) {
    if (qv::misused("XDOMGetUserData", qv::Arguments().check(qv::handleProblem(h)))) return nullptr;
    qv::setDomStatus(0);
    return qv::guardDom<const char*>({"XDOMGetUserData", 99, "XDOMGetUserData"}, nullptr,
                                     [&]() -> const char* {
        DOMNode* node = h->node;
        const auto* data = static_cast<const char*>(node->getUserData(node->getNodeName()));
        if (!data) {
            qv::reportDom(28);
            return nullptr;
        }
        const size_t length = std::strlen(data);
        qv::HostText copy(new char[length + 1]);
        std::memcpy(copy.get(), data, length + 1);
        return qv::setResultText(h, std::move(copy));
    });
}

QVXML_API int QV_XDOMSetNodeValue(QvHandle h, const char* value) {
    if (qv::misused("XDOMSetNodeValue", qv::Arguments().check(qv::handleProblem(h)).needs(value, "a null value"))) return qv::domStatus();
    return qv::guardStatus({"XDOMSetNodeValue", 99, "XDOMSetNodeValue"}, [&] {
        qv::XmlText text = qv::toXmlText(value);
        h->node->setNodeValue(text.get());
        // Nodes without a value (elements, documents) ignore the call.
        if (h->node->getNodeValue()) qv::markChanged(h);
    });
}

QVXML_API int QV_XDOMSetUserData(QvHandle h, const char* data) {
    if (qv::misused("XDOMSetUserData", qv::Arguments().check(qv::handleProblem(h)))) return qv::domStatus();
    return qv::guardStatus({"XDOMSetUserData", 99, "XDOMSetUserData"}, [&] {
        DOMNode* node = h->node;
        node->setUserData(node->getNodeName(), const_cast<char*>(data), nullptr);
    });
}

}  // extern "C"
