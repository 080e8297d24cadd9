// A document under construction, made in any order (children appended anywhere,
// attributes inserted and replaced in place), then finished into a CompactTree in
// one pass: the form a document built from records is held in, without the DOM.
//
// It holds what a DOM built with the same calls would: elements, their attributes in
// the order the caller keeps them, and text nodes, each one its own node (adjacent
// ones are not joined, empty ones are kept). finish() lays it out as the parser's
// compact tree: elements in document order, attributes after their element, each
// element's text as its direct text, and pieces wherever that alone does not tell
// the text nodes (more than one, one beside child elements, or an empty one).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/compact/compact_tree.h"

namespace qv {

class DraftTree {
public:
    using Index = CompactTree::Index;
    static constexpr Index kNone = CompactTree::kNone;
    static constexpr Index kDocument = 0;

    // `sizeHint`: about how many bytes of text go in, to reserve room once.
    explicit DraftTree(std::size_t sizeHint = 0);

    // The index of a name (an element's or an attribute's), interned: local name,
    // namespace URI (null or empty for none) and qualified name.
    Index name(const XMLCh* local, const XMLCh* uri, const XMLCh* qname);
    const CompactTree::Name& nameOf(Index name) const { return names_[name]; }

    // Nodes: the document (kDocument), elements and texts.
    Index appendElement(Index parent, Index name);
    void appendText(Index parent, const XMLCh* text, std::size_t length);
    bool isElement(Index node) const { return node != kDocument && nodes_[node].name != kText; }
    Index parent(Index node) const { return nodes_[node].parent; }
    Index firstChild(Index node) const { return inlined(node) ? kNone : nodes_[node].first; }
    Index nextSibling(Index node) const { return nodes_[node].next; }
    Index elementName(Index element) const { return nodes_[element].name & ~kInline; }

    // Attributes of an element, in the order kept; `at` counts from 0.
    Index firstAttribute(Index element) const { return nodes_[element].data; }
    Index nextAttribute(Index attribute) const { return attributes_[attribute].next; }
    Index attributeName(Index attribute) const { return attributes_[attribute].name; }
    const XMLCh* attributeValue(Index attribute) const {
        return arena_.data() + attributes_[attribute].value;
    }
    void insertAttribute(Index element, std::size_t at, Index name, const XMLCh* value,
                         std::size_t length);
    void replaceAttribute(Index attribute, Index name, const XMLCh* value, std::size_t length);

    // The compact tree of what was made, with `prolog` as its declaration facts. The
    // draft is left empty. Throws CompactTreeBuilder::TooLarge past the tree's indices.
    std::unique_ptr<CompactTree> finish(const CompactTree::Prolog& prolog);

private:
    static constexpr Index kText = kNone;  // the name of a text node
    // An element: parent, first and last child, next sibling, name, first attribute.
    // A text: first is where its text begins in the arena, last its length. Most
    // elements hold one text and nothing else: an element's first text is kept in
    // it that way (kInline set in its name) until another child comes.
    static constexpr Index kInline = 0x80000000u;
    struct Node {
        Index parent = kNone;
        Index first = kNone;
        Index last = kNone;
        Index next = kNone;
        Index name = kNone;
        Index data = kNone;
    };
    struct Attribute {
        Index name;
        Index value;   // terminated in the arena
        Index length;
        Index next;
    };

    // Whether an element holds its one text inline.
    bool inlined(Index node) const {
        return node != kDocument && nodes_[node].name != kText && (nodes_[node].name & kInline);
    }
    Index newNode(Index parent, Index name);
    // An element's inline text becomes its first child node.
    void unInline(Index element);
    // A text node of `length` units of the arena at `begin`, the last child of `parent`.
    void newText(Index parent, Index begin, Index length);
    Index store(const XMLCh* text, std::size_t length);

    std::vector<Node, HugePageAllocator<Node>> nodes_;
    std::vector<Attribute, HugePageAllocator<Attribute>> attributes_;
    std::vector<CompactTree::Name> names_;
    std::vector<XMLCh, HugePageAllocator<XMLCh>> arena_;
};

}  // namespace qv
