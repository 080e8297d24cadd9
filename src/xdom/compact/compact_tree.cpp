#include "xdom/compact/compact_tree.h"

#include "xdom/parsing/scanned_attributes.h"

#include <xercesc/util/XMLString.hpp>

#include <cstdint>
#include <string_view>

using namespace xercesc;

namespace qv {
namespace {

using Index = CompactTree::Index;

template <class V>
std::size_t capacityBytes(const V& v) {
    return v.capacity() * sizeof(typename V::value_type);
}

}  // namespace

std::size_t CompactTree::bytes() const {
    std::size_t n = capacityBytes(elements_) + capacityBytes(attributes_) +
                    capacityBytes(names_) + capacityBytes(arena_);
    for (const Name& name : names_) n += (name.local.capacity() + name.uri.capacity()) * 2;
    return n;
}

// Room is reserved for what a document of this size usually holds, so that the
// arrays are not copied as they grow; capacity never touched is never paged in.
CompactTreeBuilder::CompactTreeBuilder(CompactTree& tree, std::size_t sizeHint) : tree_(tree) {
    tree_.elements_.reserve(sizeHint / 16 + 16);
    tree_.attributes_.reserve(sizeHint / 32 + 16);
    tree_.arena_.reserve(sizeHint + 16);
    nameTable_.resize(64);
    tree_.elements_.emplace_back();  // the document node
    open_.push_back(CompactTree::kDocument);
    lastChild_.push_back(CompactTree::kNone);
    pendingText_.emplace_back();
    pendingHasText_.push_back(false);
}

Index CompactTreeBuilder::intern(const XMLCh* uri, const XMLCh* local, std::size_t localLength) {
    if (uri && !*uri) uri = nullptr;  // no namespace, however it is spelt
    std::size_t hash = reinterpret_cast<std::uintptr_t>(uri) * 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < localLength; ++i) hash = (hash ^ local[i]) * 0x100000001B3ull;
    const std::u16string_view name(reinterpret_cast<const char16_t*>(local), localLength);
    std::size_t mask = nameTable_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        NameSlot& slot = nameTable_[i];
        if (slot.name == CompactTree::kNone) break;
        if (slot.uri == uri && tree_.names_[slot.name].local == name) return slot.name;
    }
    const auto index = static_cast<Index>(tree_.names_.size());
    CompactTree::Name entry;
    entry.local.assign(name);
    if (uri) entry.uri.assign(reinterpret_cast<const char16_t*>(uri));
    tree_.names_.push_back(std::move(entry));
    if (++namesHeld_ * 2 > nameTable_.size()) {
        // Rehash into a table twice the size.
        std::vector<NameSlot> old(nameTable_.size() * 2);
        old.swap(nameTable_);
        mask = nameTable_.size() - 1;
        for (const NameSlot& s : old) {
            if (s.name == CompactTree::kNone) continue;
            const std::u16string& l = tree_.names_[s.name].local;
            std::size_t h = reinterpret_cast<std::uintptr_t>(s.uri) * 0x9E3779B97F4A7C15ull;
            for (char16_t c : l) h = (h ^ c) * 0x100000001B3ull;
            std::size_t j = h & mask;
            while (nameTable_[j].name != CompactTree::kNone) j = (j + 1) & mask;
            nameTable_[j] = s;
        }
    }
    std::size_t j = hash & mask;
    while (nameTable_[j].name != CompactTree::kNone) j = (j + 1) & mask;
    nameTable_[j] = {index, uri};
    return index;
}

CompactTree::Slice CompactTreeBuilder::store(const XMLCh* text, std::size_t length) {
    auto& arena = tree_.arena_;
    if (length >= CompactTree::kNone - arena.size()) throw TooLarge{};
    CompactTree::Slice slice;
    slice.begin = static_cast<Index>(arena.size());
    slice.length = static_cast<Index>(length);
    arena.insert(arena.end(), text, text + length);
    return slice;
}

void CompactTreeBuilder::startElement(const XMLCh* uri, const XMLCh* local, const XMLCh*,
                                      const std::vector<ScannedAttribute>& attributes,
                                      const void* nameKey) {
    auto& elements = tree_.elements_;
    if (elements.size() >= CompactTree::kNone - 1 ||
        tree_.attributes_.size() + attributes.size() >= CompactTree::kNone)
        throw TooLarge{};
    const auto e = static_cast<Index>(elements.size());
    const Index parent = open_.back();
    CompactTree::Element element;
    element.parent = parent;
    // The URI pointer stands for one URI for the whole scan; the local name is
    // compared as well, so a key shared by another name cannot mislead the cache.
    ElementSlot& cached = elementNames_[(reinterpret_cast<std::uintptr_t>(nameKey) / sizeof(void*) +
                                         reinterpret_cast<std::uintptr_t>(uri) / sizeof(XMLCh)) %
                                        64];
    if (cached.key != nameKey || cached.uri != uri ||
        tree_.names_[cached.name].local.compare(reinterpret_cast<const char16_t*>(local)) != 0)
        cached = {nameKey, uri, intern(uri, local, XMLString::stringLen(local))};
    element.name = cached.name;
    element.attributes = static_cast<Index>(tree_.attributes_.size());
    elements.push_back(element);
    if (lastChild_.back() == CompactTree::kNone)
        elements[parent].firstChild = e;
    else
        elements[lastChild_.back()].nextSibling = e;
    lastChild_.back() = e;

    for (const ScannedAttribute& a : attributes) {
        CompactTree::Attribute attribute;
        attribute.name = intern(a.uri, a.local, XMLString::stringLen(a.local));
        attribute.value = store(a.value, XMLString::stringLen(a.value));
        tree_.attributes_.push_back(attribute);
    }

    open_.push_back(e);
    lastChild_.push_back(CompactTree::kNone);
    const std::size_t depth = open_.size() - 1;
    if (pendingText_.size() <= depth) {
        pendingText_.emplace_back();
        pendingHasText_.push_back(false);
    }
    pendingText_[depth].clear();
    pendingHasText_[depth] = false;
}

void CompactTreeBuilder::endElement() {
    if (open_.size() <= 1) return;
    const std::size_t depth = open_.size() - 1;
    CompactTree::Element& element = tree_.elements_[open_.back()];
    if (pendingHasText_[depth]) {
        const std::u16string& text = pendingText_[depth];
        element.text = store(reinterpret_cast<const XMLCh*>(text.data()), text.size());
    }
    open_.pop_back();
    lastChild_.pop_back();
}

void CompactTreeBuilder::characters(const XMLCh* chars, XMLSize_t length, bool) {
    if (open_.size() <= 1) return;
    const std::size_t depth = open_.size() - 1;
    pendingText_[depth].append(reinterpret_cast<const char16_t*>(chars), length);
    pendingHasText_[depth] = true;
}

void CompactTreeBuilder::finish() {
    nameTable_.clear();
    pendingText_.clear();
}

}  // namespace qv
