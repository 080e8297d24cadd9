// The one node-access interface of the reading walk, with an adapter for each form
// a document can be held in: the Xerces DOM and the compact tree (compact_tree.h).
// The walk (reader.cpp) is written once, over a view; the two adapters answer the
// same questions the same way, so both forms give byte-identical records.
//
// What a view offers (Node is a cheap value; none() stands for no node):
//   parent(n)                     the parent node, none above the document node
//   firstElement(n)               the first child element
//   nextElement(n)                the next sibling element
//   matches(n, step)              an element or attribute step names the node
//   elementText(n, out)           appends the direct text and CDATA children in host
//                                 text; false when there are none
//   attribute(n, step, out)       appends the value of the first matching attribute
//   markup(n, encoding, out)      appends the node serialized as XML ("xmldata()")
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/writing/serialize.h"
#include "frame/transcode.h"
#include "xmap/compiled_path.h"
#include "xmap/step_match.h"

namespace qv {


class DomView {
public:
    using DOMNode = XERCES_CPP_NAMESPACE::DOMNode;
    using Node = DOMNode*;

    DomView(bool ignoreNamespaces, const HostTranscoder& toHost)
        : match_(ignoreNamespaces), toHost_(toHost) {}

    static constexpr Node none() { return nullptr; }
    Node parent(Node n) const { return n->getParentNode(); }

    Node firstElement(Node n) const {
        Node c = n->getFirstChild();
        while (c && c->getNodeType() != DOMNode::ELEMENT_NODE) c = c->getNextSibling();
        return c;
    }

    Node nextElement(Node n) const {
        Node c = n->getNextSibling();
        while (c && c->getNodeType() != DOMNode::ELEMENT_NODE) c = c->getNextSibling();
        return c;
    }

    // The matcher the writing road uses too (step_match.h).
    bool matches(const DOMNode* n, const PathStep& step) const { return match_.matches(n, step); }

    bool elementText(const DOMNode* n, std::string& out) const {
        bool found = false;
        for (const DOMNode* c = n->getFirstChild(); c; c = c->getNextSibling()) {
            const short type = c->getNodeType();
            if (type != DOMNode::TEXT_NODE && type != DOMNode::CDATA_SECTION_NODE) continue;
            found = true;
            const XMLCh* value = c->getNodeValue();
            toHost_.appendHost(out, value, xmlLength(value));
        }
        return found;
    }

    bool attribute(const DOMNode* n, const PathStep& step, std::string& out) const {
        const XERCES_CPP_NAMESPACE::DOMNamedNodeMap* attributes = n->getAttributes();
        if (!attributes) return false;
        const XMLSize_t count = attributes->getLength();
        for (XMLSize_t i = 0; i < count; ++i) {
            const DOMNode* a = attributes->item(i);
            if (!matches(a, step)) continue;
            const XMLCh* value = a->getNodeValue();
            toHost_.appendHost(out, value, xmlLength(value));
            return true;
        }
        return false;
    }

    bool markup(Node n, const XMLCh* encoding, std::string& out) const {
        std::string text;
        if (!serializeNode(n, encoding, nullptr, nullptr, &text)) return false;
        out += text;
        return true;
    }

private:
    const StepMatcher match_;
    const HostTranscoder& toHost_;
};

class CompactView {
public:
    using Index = CompactTree::Index;
    using Node = Index;

    CompactView(const CompactTree& tree, bool ignoreNamespaces, const HostTranscoder& toHost)
        : tree_(tree), match_(ignoreNamespaces), toHost_(toHost) {}

    static constexpr Node none() { return CompactTree::kNone; }
    Node parent(Node n) const { return tree_.element(n).parent; }
    Node firstElement(Node n) const { return tree_.element(n).firstChild; }
    Node nextElement(Node n) const { return tree_.element(n).nextSibling; }

    bool matches(Node n, const PathStep& step) const {
        return namedBy(tree_.element(n).name, step);
    }

    bool elementText(Node n, std::string& out) const {
        const CompactTree::Element& e = tree_.element(n);
        if (!e.hasText()) return false;
        toHost_.appendHost(out, tree_.text(e.text), e.text.length);
        return true;
    }

    bool attribute(Node n, const PathStep& step, std::string& out) const {
        const Index end = tree_.attributesEnd(n);
        for (Index a = tree_.attributesBegin(n); a < end; ++a) {
            const CompactTree::Attribute& attribute = tree_.attribute(a);
            if (!namedBy(attribute.name, step)) continue;
            toHost_.appendHost(out, tree_.text(attribute.value), attribute.value.length);
            return true;
        }
        return false;
    }

    // Never asked: a mapping that reads markup reads the document as a DOM
    // (readsMarkup(), reader.h).
    bool markup(Node, const XMLCh*, std::string&) const { return false; }

private:
    bool namedBy(Index name, const PathStep& step) const {
        return match_.matches(name, step, [this](Index n) -> const CompactTree::Name& { return tree_.name(n); });
    }

    const CompactTree& tree_;
    const InternedMatcher match_;
    const HostTranscoder& toHost_;
};

}  // namespace qv
