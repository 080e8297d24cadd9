#include "xdom/compact/compact_tree.h"

#include "xdom/parsing/scanned_attributes.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMDocumentType.hpp>
#include <xercesc/parsers/AbstractDOMParser.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cstdint>
#include <string_view>

using namespace xercesc;

namespace qv {
namespace {

using Index = CompactTree::Index;

// Whether `held` is the terminated `name`, in one pass over the shorter.
bool sameName(const std::u16string& held, const XMLCh* name) {
    const std::size_t n = held.size();
    const char16_t* h = held.c_str();  // terminated: a longer `name` differs at n
    for (std::size_t i = 0; i <= n; ++i)
        if (h[i] != name[i]) return false;
    return true;
}

template <class V>
std::size_t capacityBytes(const V& v) {
    return v.capacity() * sizeof(typename V::value_type);
}

}  // namespace

std::size_t CompactTree::bytes() const {
    std::size_t n = capacityBytes(elements_) + capacityBytes(attributes_) +
                    capacityBytes(names_) + capacityBytes(arena_) + capacityBytes(pieces_);
    for (const Name& name : names_) n += (name.local.capacity() + name.uri.capacity()) * 2;
    return n;
}

// Room is reserved for what a document of this size usually holds, so that the
// arrays are not copied as they grow; capacity never touched is never paged in.
CompactTreeBuilder::CompactTreeBuilder(CompactTree& tree, std::size_t sizeHint) : tree_(tree) {
    tree_.elements_.reserve(sizeHint / 16 + 16);
    tree_.attributes_.reserve(sizeHint / 32 + 16);
    tree_.arena_.reserve(sizeHint + 16);
    tree_.pieces_.reserve(sizeHint / 24 + 16);
    nameTable_.resize(64);
    tree_.elements_.emplace_back();  // the document node
    open_.push_back(CompactTree::kDocument);
    lastChild_.push_back(CompactTree::kNone);
    pendingText_.emplace_back();
    pendingHasText_.push_back(false);
    levels_.emplace_back();
}

Index CompactTreeBuilder::intern(const XMLCh* uri, const XMLCh* qname, std::size_t qnameLength,
                                 const XMLCh* local, std::size_t localLength, bool id) {
    if (uri && !*uri) uri = nullptr;  // no namespace, however it is spelt
    auto hashOf = [](const XMLCh* u, const char16_t* q, std::size_t n, bool isId) {
        std::size_t h = (reinterpret_cast<std::uintptr_t>(u) + isId) * 0x9E3779B97F4A7C15ull;
        for (std::size_t i = 0; i < n; ++i) h = (h ^ q[i]) * 0x100000001B3ull;
        return h;
    };
    const std::u16string_view name(reinterpret_cast<const char16_t*>(qname), qnameLength);
    const std::size_t hash = hashOf(uri, name.data(), name.size(), id);
    std::size_t mask = nameTable_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        NameSlot& slot = nameTable_[i];
        if (slot.name == CompactTree::kNone) break;
        const CompactTree::Name& held = tree_.names_[slot.name];
        if (slot.uri == uri && held.id == id && held.qname == name) return slot.name;
    }
    const auto index = static_cast<Index>(tree_.names_.size());
    CompactTree::Name entry;
    entry.local.assign(reinterpret_cast<const char16_t*>(local), localLength);
    entry.qname.assign(name);
    entry.id = id;
    if (uri) entry.uri.assign(reinterpret_cast<const char16_t*>(uri));
    tree_.names_.push_back(std::move(entry));
    if (++namesHeld_ * 2 > nameTable_.size()) {
        // Rehash into a table twice the size.
        std::vector<NameSlot> old(nameTable_.size() * 2);
        old.swap(nameTable_);
        mask = nameTable_.size() - 1;
        for (const NameSlot& s : old) {
            if (s.name == CompactTree::kNone) continue;
            const CompactTree::Name& held = tree_.names_[s.name];
            std::size_t j = hashOf(s.uri, held.qname.data(), held.qname.size(), held.id) & mask;
            while (nameTable_[j].name != CompactTree::kNone) j = (j + 1) & mask;
            nameTable_[j] = s;
        }
    }
    std::size_t j = hash & mask;
    while (nameTable_[j].name != CompactTree::kNone) j = (j + 1) & mask;
    nameTable_[j] = {index, uri};
    return index;
}

CompactTree::Slice CompactTreeBuilder::store(const XMLCh* text, std::size_t length,
                                             bool terminated) {
    auto& arena = tree_.arena_;
    if (length + terminated >= CompactTree::kNone - arena.size()) throw TooLarge{};
    CompactTree::Slice slice;
    slice.begin = static_cast<Index>(arena.size());
    slice.length = static_cast<Index>(length);
    arena.insert(arena.end(), text, text + length);
    if (terminated) arena.push_back(0);
    return slice;
}

void CompactTreeBuilder::addPiece(CompactTree::PieceKind kind, Index data) {
    Level& level = levels_.back();
    Index before = level.children;
    if (before > CompactTree::Piece::kMaxBefore) {
        tree_.piecesComplete_ = false;
        before = CompactTree::Piece::kMaxBefore;
    }
    tree_.pieces_.push_back(
        {open_.back(), static_cast<Index>(static_cast<Index>(kind) << 30) | before, data});
    level.pieces = true;
}

void CompactTreeBuilder::endRun(bool atEnd) {
    Level& level = levels_.back();
    if (level.runStart == CompactTree::kNone) return;
    const auto length =
        static_cast<Index>(pendingText_[open_.size() - 1].size() - level.runStart);
    level.runStart = CompactTree::kNone;
    if (length == 0 || (atEnd && !level.pieces && level.children == 0)) return;
    addPiece(CompactTree::PieceKind::Text, length);
}

void CompactTreeBuilder::documentChild() {
    CompactTree::Prolog& prolog = tree_.prolog_;
    if (!prolog.doctype && scanner) {
        const DOMDocument* document = scanner->getDocument();
        if (document && document->getDoctype()) {
            prolog.doctype = true;
            prolog.doctypeBefore = documentChildren_;
        }
    }
    ++documentChildren_;
}

// At the document element's start the declaration and the document type are read whole.
void CompactTreeBuilder::readProlog() {
    CompactTree::Prolog& prolog = tree_.prolog_;
    const DOMDocument* document = scanner ? scanner->getDocument() : nullptr;
    if (!document) return;
    auto copy = [](const XMLCh* s) {
        return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
    };
    const XMLCh* version = document->getXmlVersion();
    prolog.version10 = !version || !*version || XMLString::equals(version, XMLUni::fgVersion1_0);
    prolog.standalone = document->getXmlStandalone();
    if (const DOMDocumentType* doctype = document->getDoctype()) {
        prolog.doctypeName = copy(doctype->getNodeName());
        prolog.publicId = copy(doctype->getPublicId());
        prolog.systemId = copy(doctype->getSystemId());
        prolog.internalSubset = copy(doctype->getInternalSubset());
    }
    prolog.known = true;
}

void CompactTreeBuilder::startElement(const XMLCh* uri, const XMLCh* local, const XMLCh* qname,
                                      const std::vector<ScannedAttribute>& attributes,
                                      const void* nameKey) {
    auto& elements = tree_.elements_;
    if (elements.size() >= CompactTree::kNone - 1 ||
        tree_.attributes_.size() + attributes.size() >= CompactTree::kNone)
        throw TooLarge{};
    const auto e = static_cast<Index>(elements.size());
    const Index parent = open_.back();
    if (parent == CompactTree::kDocument) {
        documentChild();
        readProlog();
    }
    endRun(false);
    ++levels_.back().children;
    CompactTree::Element element;
    element.parent = parent;
    // The URI pointer stands for one URI for the whole scan; the qualified name is
    // compared as well, so a key shared by another name or prefix cannot mislead the
    // cache.
    ElementSlot& cached = elementNames_[(reinterpret_cast<std::uintptr_t>(nameKey) / sizeof(void*) +
                                         reinterpret_cast<std::uintptr_t>(uri) / sizeof(XMLCh)) %
                                        64];
    if (cached.key != nameKey || cached.uri != uri || !sameName(tree_.names_[cached.name].qname, qname))
        cached = {nameKey, uri,
                  intern(uri, qname, XMLString::stringLen(qname), local,
                         XMLString::stringLen(local), false)};
    element.name = cached.name;
    element.attributes = static_cast<Index>(tree_.attributes_.size());
    elements.push_back(element);
    if (lastChild_.back() == CompactTree::kNone)
        elements[parent].firstChild = e;
    else
        elements[lastChild_.back()].nextSibling = e;
    lastChild_.back() = e;

    for (const ScannedAttribute& a : attributes) {
        if (!a.specified) tree_.prolog_.defaultedAttributes = true;
        CompactTree::Attribute attribute;
        attribute.name = intern(a.uri, a.qname, XMLString::stringLen(a.qname), a.local,
                                XMLString::stringLen(a.local), a.id);
        attribute.value = store(a.value, XMLString::stringLen(a.value), true);
        tree_.attributes_.push_back(attribute);
    }

    open_.push_back(e);
    lastChild_.push_back(CompactTree::kNone);
    levels_.emplace_back();
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
    endRun(true);
    const std::size_t depth = open_.size() - 1;
    CompactTree::Element& element = tree_.elements_[open_.back()];
    if (pendingHasText_[depth]) {
        const std::u16string& text = pendingText_[depth];
        element.text = store(reinterpret_cast<const XMLCh*>(text.data()), text.size());
    }
    open_.pop_back();
    lastChild_.pop_back();
    levels_.pop_back();
}

// The DOM joins adjacent text into one node and keeps each CDATA section a node of
// its own.
void CompactTreeBuilder::characters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    if (open_.size() <= 1) return;
    const std::size_t depth = open_.size() - 1;
    std::u16string& text = pendingText_[depth];
    pendingHasText_[depth] = true;
    if (cdataSection) {
        endRun(false);
        if (length >= CompactTree::kNone) throw TooLarge{};
        addPiece(CompactTree::PieceKind::Cdata, static_cast<Index>(length));
    } else if (levels_.back().runStart == CompactTree::kNone) {
        levels_.back().runStart = static_cast<Index>(text.size());
    }
    if (text.size() + length >= CompactTree::kNone) throw TooLarge{};
    text.append(reinterpret_cast<const char16_t*>(chars), length);
}

void CompactTreeBuilder::comment(const XMLCh* text) {
    if (open_.size() == 1) documentChild();
    endRun(false);
    addPiece(CompactTree::PieceKind::Comment, store(text, XMLString::stringLen(text), true).begin);
}

void CompactTreeBuilder::processingInstruction(const XMLCh* target, const XMLCh* data) {
    if (open_.size() == 1) documentChild();
    endRun(false);
    const Index begin = store(target, XMLString::stringLen(target), true).begin;
    store(data ? data : u"", data ? XMLString::stringLen(data) : 0, true);
    addPiece(CompactTree::PieceKind::Instruction, begin);
}

void CompactTreeBuilder::finish() {
    nameTable_.clear();
    pendingText_.clear();
}

}  // namespace qv
