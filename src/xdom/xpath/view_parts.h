// What the builders of a document's XPath view share (from the DOM:
// xpath_context.cpp; from the compact tree: compact_view.cpp; from the document's
// kept bytes: scanned_view.cpp): an element's attributes as the source tree takes
// them, the linking of a new node, and the memory the view is made on.
#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElement.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeHelper.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeText.hpp>
#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/sax2/Attributes.hpp>

#include "xdom/parsing/scanned_attributes.h"

namespace qv {

// An element's attributes as the source tree's builder takes them, namespace
// declarations first and each group in the DOM's order: the builder creates them in
// this order, so the view's attribute i stands for attribute i of `order()`.
class ViewAttributes : public xercesc::Attributes {
public:
    // `attributes` in the DOM's order; they must outlive this.
    explicit ViewAttributes(const std::vector<ScannedAttribute>& attributes);

    // Positions in the list given, in the order of the view.
    const std::vector<std::size_t>& order() const { return order_; }

    XMLSize_t getLength() const override { return order_.size(); }
    const XMLCh* getURI(const XMLSize_t i) const override;
    const XMLCh* getLocalName(const XMLSize_t i) const override;
    const XMLCh* getQName(const XMLSize_t i) const override { return at(i).qname; }
    const XMLCh* getType(const XMLSize_t i) const override;
    const XMLCh* getValue(const XMLSize_t i) const override;

    bool getIndex(const XMLCh* const uri, const XMLCh* const local, XMLSize_t& index) const override;
    int getIndex(const XMLCh* const uri, const XMLCh* const local) const override;
    bool getIndex(const XMLCh* const qname, XMLSize_t& index) const override;
    int getIndex(const XMLCh* const qname) const override;
    const XMLCh* getType(const XMLCh* const uri, const XMLCh* const local) const override;
    const XMLCh* getType(const XMLCh* const qname) const override;
    const XMLCh* getValue(const XMLCh* const uri, const XMLCh* const local) const override;
    const XMLCh* getValue(const XMLCh* const qname) const override;

private:
    const ScannedAttribute& at(XMLSize_t i) const { return attributes_[order_[i]]; }

    const std::vector<ScannedAttribute>& attributes_;
    std::vector<std::size_t> order_;
};

// Links `child` as the last child of `parent` (of the document when null); `last`
// is the parent's last child so far and becomes `child`.
template <class Child>
void linkLast(xalanc::XalanSourceTreeDocument& tree, xalanc::XalanSourceTreeElement* parent,
              xalanc::XalanNode*& last, Child* child) {
    if constexpr (!std::is_same_v<Child, xalanc::XalanSourceTreeText>) {
        if (!parent) {
            tree.appendChildNode(child);
            last = child;
            return;
        }
    }
    if (!last) {
        parent->appendChildNode(child);
    } else {
        xalanc::XalanSourceTreeHelper::appendSibling(last, child);
        child->setParent(parent);
    }
    last = child;
}

// The smallest of a few primes at or above n, for the string pools' buckets.
std::size_t bucketsFor(std::size_t n);

// The memory a view's source tree is built on: millions of small nodes and strings
// that live exactly as long as the view. While the view is built, memory is handed
// out from large blocks one after the other and never given back piece by piece
// (the blocks go with the view): no allocator bookkeeping per node, no free per
// node when the view is dropped. Once sealed, whatever the tree still asks for
// comes from, and goes back to, the general heap, so that nothing done with the
// finished view can make the blocks grow.
class ViewMemory : public xercesc::MemoryManager {
public:
    ViewMemory();
    ~ViewMemory() override;
    ViewMemory(const ViewMemory&) = delete;
    ViewMemory& operator=(const ViewMemory&) = delete;

    void* allocate(XMLSize_t size) override;
    void deallocate(void* p) override;
    xercesc::MemoryManager* getExceptionMemoryManager() override;

    void seal();
    std::size_t bytes() const { return held_; }

private:
    bool ours(const void* p) const;

    struct Block {
        char* begin;
        char* end;
    };
    std::vector<Block> blocks_;  // in the order made; sorted by address when sealed
    char* next_ = nullptr;
    char* limit_ = nullptr;
    std::size_t held_ = 0;
    bool sealed_ = false;
};

}  // namespace qv
