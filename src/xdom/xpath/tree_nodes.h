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
    TreeAttr(TreeElement* owner, CompactTree::Index attribute, IndexType index)
        : owner_(owner), attribute_(attribute), index_(static_cast<std::uint32_t>(index)) {}

    const XalanDOMString& getNodeName() const override;
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
    const XalanDOMString& getNamespaceURI() const override;
    const XalanDOMString& getPrefix() const override;
    const XalanDOMString& getLocalName() const override;
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getName() const override { return getNodeName(); }
    const XalanDOMString& getValue() const override;
    xalanc::XalanElement* getOwnerElement() const override;

    CompactTree::Index attribute() const { return attribute_; }

private:
    const TreeName& name() const;

    TreeElement* owner_;
    CompactTree::Index attribute_;
    std::uint32_t index_;
    mutable const XalanDOMString* value_ = nullptr;
};

// An element, which is also the map of its attributes.
class TreeElement final : public xalanc::XalanElement, public xalanc::XalanNamedNodeMap {
public:
    TreeElement(TreeNodes* nodes, CompactTree::Index element, IndexType index)
        : nodes_(nodes), element_(element), index_(static_cast<std::uint32_t>(index)) {}

    const XalanDOMString& getNodeName() const override;
    const XalanDOMString& getNodeValue() const override;
    NodeType getNodeType() const override { return ELEMENT_NODE; }
    XalanNode* getParentNode() const override { return links.parent; }
    const xalanc::XalanNodeList* getChildNodes() const override;
    XalanNode* getFirstChild() const override { return firstChild; }
    XalanNode* getLastChild() const override;
    XalanNode* getPreviousSibling() const override { return links.previous; }
    XalanNode* getNextSibling() const override { return links.next; }
    const xalanc::XalanNamedNodeMap* getAttributes() const override { return this; }
    xalanc::XalanDocument* getOwnerDocument() const override;
    const XalanDOMString& getNamespaceURI() const override;
    const XalanDOMString& getPrefix() const override;
    const XalanDOMString& getLocalName() const override;
    bool isIndexed() const override { return true; }
    IndexType getIndex() const override { return index_; }
    const XalanDOMString& getTagName() const override { return getNodeName(); }

    // The map of its attributes.
    XalanNode* item(xalanc::XalanSize_t index) const override;
    XalanNode* getNamedItem(const XalanDOMString& name) const override;
    xalanc::XalanSize_t getLength() const override { return attributeCount; }
    XalanNode* getNamedItemNS(const XalanDOMString& uri, const XalanDOMString& local) const override;

    TreeNodes& nodes() const { return *nodes_; }
    CompactTree::Index element() const { return element_; }

    TreeLinks links;
    XalanNode* firstChild = nullptr;
    TreeAttr* attributes = nullptr;  // in the view's order
    std::uint32_t attributeCount = 0;

private:
    const TreeName& name() const;

    TreeNodes* nodes_;
    CompactTree::Index element_;
    std::uint32_t index_;
};

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
    mutable const XalanDOMString* value_ = nullptr;
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
    // Whether the tree tells every node of the view (else the view is scanned from
    // the document's bytes, scanned_view.h).
    // Its indices are 32-bit: a tree too large for them gets the scanned view too.
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
    const XalanDOMString& empty() const { return empty_; }
    const XalanDOMString& textName() const { return textName_; }
    const XalanDOMString& commentName() const { return commentName_; }
    // The names of an element's, and of an attribute's, interned name.
    const TreeName& elementName(CompactTree::Index name) const { return elementNames_[name]; }
    const TreeName& attributeName(CompactTree::Index name) const { return attributeNames_[name]; }
    // A string made of text that lives as long as the view, kept until the view goes.
    const XalanDOMString& keep(const XMLCh* text, std::size_t length) const;

    // The view's node of a compact element (not the document).
    TreeElement* elementNode(CompactTree::Index e) { return &elements_[e - 1]; }
    std::size_t nodeCount() const { return nextIndex_ - 1; }

private:
    friend class TreeNodesBuilder;

    const CompactTree& tree_;
    XalanDOMString empty_, documentName_, textName_, commentName_;
    std::vector<TreeName> elementNames_, attributeNames_;
    // Elements in the tree's order (element e at e - 1), attributes by element in
    // the view's order: both counts are known, so they never move once made.
    std::vector<TreeElement> elements_;
    std::vector<TreeAttr> attributes_;
    std::deque<TreeText> texts_;
    std::deque<TreeComment> comments_;
    std::deque<TreeInstruction> instructions_;
    XalanNode* firstChild_ = nullptr;
    std::size_t nextIndex_ = 2;

    mutable std::deque<XalanDOMString> kept_;
    // Elements by the value of their ID-typed attributes, the first in document
    // order winning, made on the first lookup.
    mutable std::unique_ptr<std::unordered_map<std::u16string, TreeElement*>> byId_;
};

}  // namespace qv
