// The XPath view of a document still in its compact form, made of the compact tree
// itself: one small node object per element, attribute and child node the view
// shows, linked in one pass and reading names and texts from the tree, where the
// copied view (compact_view.h) duplicated every name and text into a source tree.
//
// It answers node for node as the copied view does: the same node types, names,
// values, links and document-order indices (the document 1, then each element, its
// attributes, namespace declarations first, and its children), CDATA as text, the
// first document-level processing instruction left out. Names are made once per
// interned name; a value is made the first time it is asked for and kept, so a
// query that reads no text costs no string.
//
// The tree must outlive the view; the view does not see later changes to it (there
// are none: a compact tree is read-only).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanComment.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanProcessingInstruction.hpp>
#include <xalanc/XalanDOM/XalanText.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/xpath/view_parts.h"

namespace qv {

class TreeNodes;
class TreeElement;

using xalanc::XalanDOMString;
using xalanc::XalanNode;

// What every child node keeps of its neighbours.
struct TreeLinks {
    XalanNode* parent = nullptr;  // the element, or the document
    XalanNode* previous = nullptr;
    XalanNode* next = nullptr;
};

// The names of one interned name as the view gives them, made once.
struct TreeName {
    XalanDOMString qname, local, uri, prefix;
};

class TreeAttr final : public xalanc::XalanAttr {
public:
    TreeAttr(TreeElement* owner, const TreeName* name, CompactTree::Index attribute, IndexType index)
        : owner_(owner), name_(name), attribute_(attribute), index_(static_cast<std::uint32_t>(index)) {}

    const XalanDOMString& getNodeName() const override { return name_->qname; }
    const XalanDOMString& getNodeValue() const override { return getValue(); }
    NodeType getNodeType() const override { return ATTRIBUTE_NODE; }
    XalanNode* getParentNode() const override { return nullptr; }
    const xalanc::XalanNodeList* getChildNodes() const override { return nullptr; }
    XalanNode* getFirstChild() const override { return nullptr; }
    XalanNode* getLastChild() const override { return nullptr; }
    XalanNode* getPreviousSibling() const override { return nullptr; }
    XalanNode* getNextSibling() const override { return nullptr; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalanc::XalanDocument* getOwnerDocument() const override;
    const XalanDOMString& getNamespaceURI() const override { return name_->uri; }
    const XalanDOMString& getPrefix() const override { return name_->prefix; }
    const XalanDOMString& getLocalName() const override { return name_->local; }
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getName() const override { return getNodeName(); }
    const XalanDOMString& getValue() const override;
    xalanc::XalanElement* getOwnerElement() const override;

    CompactTree::Index attribute() const { return attribute_; }

private:
    TreeElement* owner_;
    const TreeName* name_;  // name tests read it on every node: one load away
    CompactTree::Index attribute_;
    std::uint32_t index_;
};

// The attributes of an element, in the view's order. An element without any
// shares the document's empty map.
class TreeAttributes final : public xalanc::XalanNamedNodeMap {
public:
    TreeAttributes(TreeAttr* first, std::uint32_t count) : first_(first), count_(count) {}

    XalanNode* item(xalanc::XalanSize_t index) const override;
    XalanNode* getNamedItem(const XalanDOMString& name) const override;
    xalanc::XalanSize_t getLength() const override { return count_; }
    XalanNode* getNamedItemNS(const XalanDOMString& uri, const XalanDOMString& local) const override;

    const TreeAttr* begin() const { return first_; }
    const TreeAttr* end() const { return first_ + count_; }

private:
    TreeAttr* first_;
    std::uint32_t count_;
};

class TreeElement final : public xalanc::XalanElement {
public:
    TreeElement(TreeNodes* nodes, const TreeName* name, IndexType index)
        : index_(static_cast<std::uint32_t>(index)), nodes_(nodes), name_(name) {}

    const XalanDOMString& getNodeName() const override { return name_->qname; }
    const XalanDOMString& getNodeValue() const override;
    NodeType getNodeType() const override { return ELEMENT_NODE; }
    XalanNode* getParentNode() const override { return links.parent; }
    const xalanc::XalanNodeList* getChildNodes() const override;
    XalanNode* getFirstChild() const override { return firstChild; }
    XalanNode* getLastChild() const override;
    XalanNode* getPreviousSibling() const override { return links.previous; }
    XalanNode* getNextSibling() const override { return links.next; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override;
    xalanc::XalanDocument* getOwnerDocument() const override;
    const XalanDOMString& getNamespaceURI() const override { return name_->uri; }
    const XalanDOMString& getPrefix() const override { return name_->prefix; }
    const XalanDOMString& getLocalName() const override { return name_->local; }
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getTagName() const override { return getNodeName(); }

    TreeNodes& nodes() const { return *nodes_; }

    TreeLinks links;
    XalanNode* firstChild = nullptr;
    // Its attributes' map among the document's; kNone when it has none.
    CompactTree::Index attributes = CompactTree::kNone;

private:
    std::uint32_t index_;  // beside `attributes`: the two fill one word
    TreeNodes* nodes_;
    const TreeName* name_;  // name tests read it on every node: one load away
};
static_assert(sizeof(TreeElement) <= 64, "an element of the view fits a cache line");

// A text node: a run of an element's direct text (CDATA sections included), or
// the whole of it.
class TreeText final : public xalanc::XalanText {
public:
    TreeText(TreeElement* parent, const XMLCh* data, CompactTree::Index length, IndexType index)
        : data_(data), length_(length), index_(static_cast<std::uint32_t>(index)) {
        links.parent = parent;
    }

    const XalanDOMString& getNodeName() const override;
    const XalanDOMString& getNodeValue() const override { return getData(); }
    NodeType getNodeType() const override { return TEXT_NODE; }
    XalanNode* getParentNode() const override { return links.parent; }
    const xalanc::XalanNodeList* getChildNodes() const override;
    XalanNode* getFirstChild() const override { return nullptr; }
    XalanNode* getLastChild() const override { return nullptr; }
    XalanNode* getPreviousSibling() const override { return links.previous; }
    XalanNode* getNextSibling() const override { return links.next; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalanc::XalanDocument* getOwnerDocument() const override;
    const XalanDOMString& getNamespaceURI() const override;
    const XalanDOMString& getPrefix() const override;
    const XalanDOMString& getLocalName() const override;
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getData() const override;
    bool isWhitespace() const override;

    TreeLinks links;

private:
    TreeNodes& nodes() const;

    const XMLCh* data_;
    CompactTree::Index length_;
    std::uint32_t index_;
};

class TreeComment final : public xalanc::XalanComment {
public:
    TreeComment(TreeNodes* nodes, XalanNode* parent, const XMLCh* data, IndexType index)
        : nodes_(nodes), data_(data), index_(static_cast<std::uint32_t>(index)) {
        links.parent = parent;
    }

    const XalanDOMString& getNodeName() const override;
    const XalanDOMString& getNodeValue() const override { return getData(); }
    NodeType getNodeType() const override { return COMMENT_NODE; }
    XalanNode* getParentNode() const override { return links.parent; }
    const xalanc::XalanNodeList* getChildNodes() const override;
    XalanNode* getFirstChild() const override { return nullptr; }
    XalanNode* getLastChild() const override { return nullptr; }
    XalanNode* getPreviousSibling() const override { return links.previous; }
    XalanNode* getNextSibling() const override { return links.next; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalanc::XalanDocument* getOwnerDocument() const override;
    const XalanDOMString& getNamespaceURI() const override;
    const XalanDOMString& getPrefix() const override;
    const XalanDOMString& getLocalName() const override;
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getData() const override;

    TreeLinks links;

private:
    TreeNodes* nodes_;
    const XMLCh* data_;
    std::uint32_t index_;
    mutable const XalanDOMString* value_ = nullptr;
};

class TreeInstruction final : public xalanc::XalanProcessingInstruction {
public:
    // `target` and its data after it are terminated strings.
    TreeInstruction(TreeNodes* nodes, XalanNode* parent, const XMLCh* target, IndexType index)
        : nodes_(nodes), target_(target), index_(static_cast<std::uint32_t>(index)) {
        links.parent = parent;
    }

    const XalanDOMString& getNodeName() const override { return getTarget(); }
    const XalanDOMString& getNodeValue() const override { return getData(); }
    NodeType getNodeType() const override { return PROCESSING_INSTRUCTION_NODE; }
    XalanNode* getParentNode() const override { return links.parent; }
    const xalanc::XalanNodeList* getChildNodes() const override;
    XalanNode* getFirstChild() const override { return nullptr; }
    XalanNode* getLastChild() const override { return nullptr; }
    XalanNode* getPreviousSibling() const override { return links.previous; }
    XalanNode* getNextSibling() const override { return links.next; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalanc::XalanDocument* getOwnerDocument() const override;
    const XalanDOMString& getNamespaceURI() const override;
    const XalanDOMString& getPrefix() const override;
    const XalanDOMString& getLocalName() const override;
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getTarget() const override;
    const XalanDOMString& getData() const override;

    TreeLinks links;

private:
    TreeNodes* nodes_;
    const XMLCh* target_;
    std::uint32_t index_;
    mutable const XalanDOMString* targetString_ = nullptr;
    mutable const XalanDOMString* value_ = nullptr;
};

// The document node, which owns every node of the view.
class TreeNodes final : public xalanc::XalanDocument {
public:
    // Whether the tree tells every node of the view and their count fits the
    // nodes' 32-bit indices (else the view is scanned from the document's bytes,
    // scanned_view.h).
    static bool possible(const CompactTree& tree);

    explicit TreeNodes(const CompactTree& tree);
    ~TreeNodes() override;
    TreeNodes(const TreeNodes&) = delete;
    TreeNodes& operator=(const TreeNodes&) = delete;

    const XalanDOMString& getNodeName() const override { return documentName_; }
    const XalanDOMString& getNodeValue() const override { return empty_; }
    NodeType getNodeType() const override { return DOCUMENT_NODE; }
    XalanNode* getParentNode() const override { return nullptr; }
    const xalanc::XalanNodeList* getChildNodes() const override;
    XalanNode* getFirstChild() const override { return firstChild_; }
    // The document element, as the source tree answers, not the last child.
    XalanNode* getLastChild() const override { return getDocumentElement(); }
    XalanNode* getPreviousSibling() const override { return nullptr; }
    XalanNode* getNextSibling() const override { return nullptr; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override { return nullptr; }
    xalanc::XalanDocument* getOwnerDocument() const override { return nullptr; }
    const XalanDOMString& getNamespaceURI() const override { return empty_; }
    const XalanDOMString& getPrefix() const override { return empty_; }
    const XalanDOMString& getLocalName() const override { return documentName_; }
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return 1; }
    xalanc::XalanElement* getDocumentElement() const override;
    xalanc::XalanElement* getElementById(const XalanDOMString& id) const override;

    const CompactTree& tree() const { return tree_; }
    const TreeAttributes& attributeMap(CompactTree::Index map) const {
        return map == CompactTree::kNone ? noAttributes_ : maps_[map];
    }
    const XalanDOMString& empty() const { return empty_; }
    const XalanDOMString& textName() const { return textName_; }
    const XalanDOMString& commentName() const { return commentName_; }
    // A string made of text that lives as long as the view, kept until the view goes.
    const XalanDOMString& keep(const XMLCh* text, std::size_t length) const;
    // The value of a text node or an attribute, made the first time it is asked for.
    // Kept here, by the node's place in its array, rather than in every node: a
    // query that reads no values pays nothing for them.
    const XalanDOMString& valueOf(const TreeText& text, const XMLCh* data, std::size_t length) const;
    const XalanDOMString& valueOf(const TreeAttr& attribute, const XMLCh* data, std::size_t length) const;

private:
    friend class TreeNodesBuilder;

    const CompactTree& tree_;
    XalanDOMString empty_, documentName_, textName_, commentName_;
    // The names of each interned name, as an element's and as an attribute's.
    std::vector<TreeName> elementNames_, attributeNames_;
    // Elements in the tree's order, attributes by element in the view's order, texts
    // in document order: reserved for all there can be, so they never move once
    // made; comments and instructions in deques, which do not move what they hold
    // either.
    std::vector<TreeElement> elements_;
    std::vector<TreeAttr> attributes_;
    std::vector<TreeAttributes> maps_;  // of the elements that have attributes
    const TreeAttributes noAttributes_{nullptr, 0};
    std::vector<TreeText> texts_;
    std::deque<TreeComment> comments_;
    std::deque<TreeInstruction> instructions_;
    XalanNode* firstChild_ = nullptr;
    std::size_t nextIndex_ = 2;

    // The values made so far (the library is called from one thread at a time),
    // their texts one after the other in large blocks that go with the view.
    mutable ViewMemory keptMemory_;
    mutable std::deque<XalanDOMString> kept_;
    mutable std::vector<const XalanDOMString*> textValues_, attributeValues_;
    // Elements by the value of their ID-typed attributes, the first in document
    // order winning, made on the first lookup.
    mutable std::unique_ptr<std::unordered_map<std::u16string, TreeElement*>> byId_;
};

}  // namespace qv
