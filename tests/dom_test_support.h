// Helpers of the document tests: owned handles, a fixture with a clear error
// state, a compact picture of a tree, and the position of a node in its document.
#pragma once

#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "frame/transcode.h"
#include "qvxml.h"
#include "test_data.h"
#include "xdom/handle.h"

namespace qvtest {

// Owns a handle for the length of a test; passes as the handle it owns.
class Handle {
public:
    explicit Handle(QvHandle h = nullptr) : h_(h) {}
    ~Handle() { QV_XDOMClose(h_); }
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        reset(std::exchange(other.h_, nullptr));
        return *this;
    }

    QvHandle get() const { return h_; }
    QvHandle operator->() const { return h_; }
    operator QvHandle() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset(QvHandle h = nullptr) {
        QV_XDOMClose(h_);
        h_ = h;
    }

private:
    QvHandle h_;
};

// Every test starts and ends with a clear error state.
class XdomTest : public ::testing::Test {
protected:
    void SetUp() override { Q_XMLResetErrMsg(); }
    void TearDown() override { Q_XMLResetErrMsg(); }
};

// Number of lines in the error state that start with `prefix`.
inline int linesStartingWith(const std::string& prefix) {
    std::string text = Q_XMLGetErrMsg();
    int n = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (text.compare(at, prefix.size(), prefix) == 0) ++n;
        at = end + 1;
    }
    return n;
}

// Parses text held in memory; the test fails when it does not parse. The tests of
// the DOM exports look at the tree itself, so it is built at once (every export
// builds it on first need: compact_form_test.cpp).
inline Handle open(const char* text) {
    Handle h(QV_XDOMOpen(text, 1));
    EXPECT_NE(h, nullptr) << Q_XMLGetErrMsg();
    if (h) h.get()->domNode();
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
inline std::string picture(QvHandle_* h) {
    h->domNode();
    return picture(h->domNode());
}

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
    doc->domNode();
    xercesc::DOMNode* node = doc->domNode();
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
