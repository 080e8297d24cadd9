// A text picture of what the reading walk can see of a document (elements with their
// names, attributes in order, direct text and whether there is any, child elements),
// taken from either form. Both forms of one document must give the same picture;
// and so must what queries see of it (viewPicture).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "qvxml.h"
#include "xdom/compact/compact_tree.h"

namespace formdump {

inline void put(std::string& out, const XMLCh* text, size_t n) {
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        const unsigned c = text[i];
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
        }
    }
}

inline void put(std::string& out, const XMLCh* text) {
    size_t n = 0;
    while (text && text[n]) ++n;
    put(out, text, n);
}

inline void put(std::string& out, const std::u16string& text) {
    put(out, reinterpret_cast<const XMLCh*>(text.data()), text.size());
}

// Depth-first, without recursion: documents may nest thousands of levels.
inline std::string picture(const xercesc::DOMNode* document) {
    using xercesc::DOMNode;
    std::string out;
    std::vector<std::pair<const DOMNode*, bool>> stack;  // node, closing
    auto pushChildren = [&](const DOMNode* n) {
        std::vector<const DOMNode*> kids;
        for (const DOMNode* c = n->getFirstChild(); c; c = c->getNextSibling())
            if (c->getNodeType() == DOMNode::ELEMENT_NODE) kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, false});
    };
    pushChildren(document);
    while (!stack.empty()) {
        auto [n, closing] = stack.back();
        stack.pop_back();
        if (closing) {
            out += ")";
            continue;
        }
        out += "(";
        put(out, n->getLocalName() ? n->getLocalName() : n->getNodeName());
        out += "{";
        put(out, n->getNamespaceURI());
        out += "}";
        const xercesc::DOMNamedNodeMap* attributes = n->getAttributes();
        for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i) {
            const DOMNode* a = attributes->item(i);
            out += " ";
            put(out, a->getLocalName() ? a->getLocalName() : a->getNodeName());
            out += "{";
            put(out, a->getNamespaceURI());
            out += "}=\"";
            put(out, a->getNodeValue());
            out += "\"";
        }
        bool hasText = false;
        std::string text;
        for (const DOMNode* c = n->getFirstChild(); c; c = c->getNextSibling()) {
            const short type = c->getNodeType();
            if (type != DOMNode::TEXT_NODE && type != DOMNode::CDATA_SECTION_NODE) continue;
            hasText = true;
            put(text, c->getNodeValue());
        }
        if (hasText) out += " text[" + text + "]";
        stack.push_back({n, true});
        pushChildren(n);
    }
    return out;
}

inline std::string picture(const qv::CompactTree& tree) {
    using Index = qv::CompactTree::Index;
    std::string out;
    std::vector<std::pair<Index, bool>> stack;
    auto pushChildren = [&](Index n) {
        std::vector<Index> kids;
        for (Index c = tree.element(n).firstChild; c != qv::CompactTree::kNone;
             c = tree.element(c).nextSibling)
            kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, false});
    };
    pushChildren(qv::CompactTree::kDocument);
    while (!stack.empty()) {
        auto [n, closing] = stack.back();
        stack.pop_back();
        if (closing) {
            out += ")";
            continue;
        }
        const qv::CompactTree::Element& e = tree.element(n);
        out += "(";
        put(out, tree.name(e.name).local);
        out += "{";
        put(out, tree.name(e.name).uri);
        out += "}";
        for (Index a = tree.attributesBegin(n); a < tree.attributesEnd(n); ++a) {
            const qv::CompactTree::Attribute& attribute = tree.attribute(a);
            out += " ";
            put(out, tree.name(attribute.name).local);
            out += "{";
            put(out, tree.name(attribute.name).uri);
            out += "}=\"";
            put(out, tree.text(attribute.value), attribute.value.length);
            out += "\"";
        }
        if (e.hasText()) {
            out += " text[";
            put(out, tree.text(e.text), e.text.length);
            out += "]";
        }
        stack.push_back({n, true});
        pushChildren(n);
    }
    return out;
}

// Every node of a DOM as it is, in document order: kind, qualified name, local name
// ("-" for a node made without namespaces), namespace URI and value, attributes in
// the map's order; each node on its own, so adjacent and empty texts show. Two
// trees built by different means must give the same picture.
inline std::string nodesPicture(const xercesc::DOMNode* document) {
    using xercesc::DOMNode;
    std::string out;
    auto node = [&out](const DOMNode* n) {
        out += std::to_string(n->getNodeType()) + " ";
        put(out, n->getNodeName());
        out += " ";
        if (n->getLocalName())
            put(out, n->getLocalName());
        else
            out += "-";
        out += " {";
        put(out, n->getNamespaceURI());
        out += "} [";
        put(out, n->getNodeValue());
        out += "]";
    };
    std::vector<std::pair<const DOMNode*, bool>> stack{{document, false}};  // node, closing
    while (!stack.empty()) {
        auto [n, closing] = stack.back();
        stack.pop_back();
        if (closing) {
            out += ")\n";
            continue;
        }
        out += "(";
        node(n);
        const xercesc::DOMNamedNodeMap* attributes = n->getAttributes();
        for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i) {
            out += " @";
            node(attributes->item(i));
        }
        out += "\n";
        stack.push_back({n, true});
        std::vector<const DOMNode*> kids;
        for (const DOMNode* c = n->getFirstChild(); c; c = c->getNextSibling()) kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, false});
    }
    return out;
}

// Every node a query or stylesheet sees, with its kind, names and value, in
// document order: one line per node, attributes and namespace nodes after their
// element.
inline const char kViewDump[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:output method='text'/>"
    "<xsl:template match='/'><xsl:apply-templates select='node()'/></xsl:template>"
    "<xsl:template match='*'>E <xsl:value-of select='concat(name(), \" {\", namespace-uri(),"
    " \"} \", count(namespace::*))'/>&#10;<xsl:for-each select='@*'>"
    "A <xsl:value-of select='concat(name(), \" {\", namespace-uri(), \"}=\", .)'/>&#10;"
    "</xsl:for-each><xsl:apply-templates select='node()'/></xsl:template>"
    "<xsl:template match='text()'>T [<xsl:value-of select='.'/>]&#10;</xsl:template>"
    "<xsl:template match='comment()'>C [<xsl:value-of select='.'/>]&#10;</xsl:template>"
    "<xsl:template match='processing-instruction()'>"
    "P <xsl:value-of select='name()'/> [<xsl:value-of select='.'/>]&#10;</xsl:template>"
    "</xsl:stylesheet>";

// What queries and stylesheets see of the document of h: a few answers of
// QV_XDOMEvaluate and the dump of QV_XDOMTransform with kViewDump (or the errors).
inline std::string viewPicture(QvHandle h) {
    static const char* const expressions[] = {
        "count(//node())", "count(//text())", "count(//@*)", "count(//comment())",
        "count(/processing-instruction())", "string(/)", "count(id('a b'))",
        "name(id('b'))", "count(//namespace::*)", "string(//*[last()])",
    };
    std::string all;
    for (const char* e : expressions) {
        const char* v = QV_XDOMEvaluate(h, e, nullptr);
        all += std::string(e) + " = " + (v ? v : Q_XMLGetErrMsg()) + "\n";
    }
    const void* dump = QV_XDOMTransform(h, kViewDump, 1, QV_RESULT_TEXT, nullptr);
    all += dump ? static_cast<const char*>(dump) : Q_XMLGetErrMsg();
    return all;
}

}  // namespace formdump
