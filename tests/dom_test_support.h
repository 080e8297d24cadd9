// Helpers of the node tests: owned handles, a compact picture of a tree, and the
// position of a node in its document.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "qvxml.h"
#include "xdom/handle.h"
#include "frame/transcode.h"

namespace qvtest {

struct CloseHandle {
    void operator()(QvHandle h) const { QV_XDOMClose(h); }
};
using Handle = std::unique_ptr<QvHandle_, CloseHandle>;

// Parses text held in memory; the test fails when it does not parse.
inline Handle open(const char* text) {
    Handle h(QV_XDOMOpen(text, 1));
    EXPECT_NE(h, nullptr) << Q_XMLGetErrMsg();
    return h;
}

inline std::string str(const XMLCh* text) { return text ? qv::localText(text) : std::string("<null>"); }
inline std::string str(const char* text) { return text ? std::string(text) : std::string("<null>"); }

// The tree under node as compact text: elements with their attributes in map order,
// text as is, other nodes by their names and values.
inline std::string picture(const xercesc::DOMNode* node) {
    using xercesc::DOMNode;
    std::string out;
    switch (node->getNodeType()) {
        case DOMNode::TEXT_NODE: return str(node->getNodeValue());
        case DOMNode::CDATA_SECTION_NODE: return "<![CDATA[" + str(node->getNodeValue()) + "]]>";
        case DOMNode::COMMENT_NODE: return "<!--" + str(node->getNodeValue()) + "-->";
        case DOMNode::PROCESSING_INSTRUCTION_NODE:
            return "<?" + str(node->getNodeName()) + " " + str(node->getNodeValue()) + "?>";
        case DOMNode::ELEMENT_NODE: {
            out = "<" + str(node->getNodeName());
            if (const XMLCh* uri = node->getNamespaceURI()) out += "{" + str(uri) + "}";
            const xercesc::DOMNamedNodeMap* attributes = node->getAttributes();
            for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
                const DOMNode* a = attributes->item(i);
                out += " " + str(a->getNodeName()) + "=\"" + str(a->getNodeValue()) + "\"";
            }
            if (!node->getFirstChild()) return out + "/>";
            out += ">";
            for (const DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling()) out += picture(c);
            return out + "</" + str(node->getNodeName()) + ">";
        }
        default:
            for (const DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling()) out += picture(c);
            return out;
    }
}
inline std::string picture(const QvHandle_* h) { return picture(h->node); }

// Where a node is: child positions from its document ("/0/3"), "@name" for an
// attribute, "#document" for the document, "detached:" before an unattached node's
// own name.
inline std::string positionOf(const xercesc::DOMNode* node) {
    using xercesc::DOMNode;
    if (!node) return "<none>";
    if (node->getNodeType() == DOMNode::DOCUMENT_NODE) return "#document";
    if (node->getNodeType() == DOMNode::ATTRIBUTE_NODE)
        return positionOf(static_cast<const xercesc::DOMAttr*>(node)->getOwnerElement()) + "@" +
               str(node->getNodeName());
    const DOMNode* parent = node->getParentNode();
    if (!parent) return "detached:" + str(node->getNodeName());
    int index = 0;
    for (const DOMNode* c = parent->getFirstChild(); c != node; c = c->getNextSibling()) ++index;
    std::string up = positionOf(parent);
    return (up == "#document" ? std::string() : up) + "/" + std::to_string(index);
}

// A node handle for the node at a position written as positionOf writes it.
inline Handle nodeAt(QvHandle doc, const std::string& position) {
    xercesc::DOMNode* node = doc->node;
    size_t i = 0;
    while (i < position.size()) {
        if (position[i] == '/') {
            size_t end = position.find_first_of("/@", i + 1);
            int index = std::stoi(position.substr(i + 1, end - i - 1));
            node = node->getFirstChild();
            while (index-- > 0) node = node->getNextSibling();
            i = end == std::string::npos ? position.size() : end;
        } else {  // '@name'
            qv::XmlText name = qv::toXmlText(position.substr(i + 1).c_str());
            node = static_cast<xercesc::DOMElement*>(node)->getAttributeNode(name.get());
            i = position.size();
        }
    }
    return Handle(qv::makeNodeHandle(doc, node));
}

}  // namespace qvtest
