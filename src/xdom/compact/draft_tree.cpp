#include "xdom/compact/draft_tree.h"

#include <xercesc/util/XMLString.hpp>

using namespace xercesc;

namespace qv {
namespace {

std::u16string copyOf(const XMLCh* s) {
    return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}

}  // namespace

// Room is reserved for what that much text usually makes, so that the arrays are not
// copied as they grow (the old and the new array at once would be the build's
// peak); capacity never touched is never paged in.
DraftTree::DraftTree(std::size_t sizeHint) {
    nodes_.reserve(sizeHint / 4 + 64);
    attributes_.reserve(sizeHint / 16 + 16);
    arena_.reserve(sizeHint + sizeHint / 4 + 4096);
    nodes_.emplace_back();  // the document node
}

DraftTree::Index DraftTree::name(const XMLCh* local, const XMLCh* uri, const XMLCh* qname) {
    // A document holds few names, and a caller asks once per step of its paths.
    const std::u16string l = copyOf(local), u = copyOf(uri), q = copyOf(qname);
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i].local == l && names_[i].uri == u && names_[i].qname == q)
            return static_cast<Index>(i);
    CompactTree::Name entry;
    entry.local = l;
    entry.uri = u;
    entry.qname = q;
    names_.push_back(std::move(entry));
    return static_cast<Index>(names_.size() - 1);
}

void DraftTree::unInline(Index element) {
    Node& e = nodes_[element];
    const Index begin = e.first, length = e.last;
    e.name &= ~kInline;
    e.first = e.last = kNone;
    newText(element, begin, length);
}

void DraftTree::newText(Index parent, Index begin, Index length) {
    const Index n = newNode(parent, kText);
    nodes_[n].first = begin;
    nodes_[n].last = length;
}

DraftTree::Index DraftTree::newNode(Index parent, Index name) {
    if (nodes_.size() >= kNone - 1) throw CompactTreeBuilder::TooLarge{};
    if (inlined(parent)) unInline(parent);
    const auto n = static_cast<Index>(nodes_.size());
    Node node;
    node.parent = parent;
    node.name = name;
    nodes_.push_back(node);
    Node& p = nodes_[parent];
    if (p.last == kNone)
        p.first = n;
    else
        nodes_[p.last].next = n;
    p.last = n;
    return n;
}

DraftTree::Index DraftTree::store(const XMLCh* text, std::size_t length) {
    if (length + 1 >= kNone - arena_.size()) throw CompactTreeBuilder::TooLarge{};
    const auto begin = static_cast<Index>(arena_.size());
    arena_.insert(arena_.end(), text, text + length);
    arena_.push_back(0);
    return begin;
}

DraftTree::Index DraftTree::appendElement(Index parent, Index name) { return newNode(parent, name); }

void DraftTree::appendText(Index parent, const XMLCh* text, std::size_t length) {
    const Index begin = store(text, length);
    Node& p = nodes_[parent];
    if (parent != kDocument && p.first == kNone) {
        p.name |= kInline;
        p.first = begin;
        p.last = static_cast<Index>(length);
        return;
    }
    newText(parent, begin, static_cast<Index>(length));
}

void DraftTree::insertAttribute(Index element, std::size_t at, Index name, const XMLCh* value,
                                std::size_t length) {
    if (attributes_.size() >= kNone - 1) throw CompactTreeBuilder::TooLarge{};
    const auto a = static_cast<Index>(attributes_.size());
    attributes_.push_back({name, store(value, length), static_cast<Index>(length), kNone});
    Index* link = &nodes_[element].data;
    for (; at > 0 && *link != kNone; --at) link = &attributes_[*link].next;
    attributes_[a].next = *link;
    *link = a;
}

void DraftTree::replaceAttribute(Index attribute, Index name, const XMLCh* value,
                                 std::size_t length) {
    Attribute& held = attributes_[attribute];
    held.name = name;
    if (length == held.length && XMLString::equals(value, arena_.data() + held.value)) return;
    const Index begin = store(value, length);
    attributes_[attribute].value = begin;
    attributes_[attribute].length = static_cast<Index>(length);
}

std::unique_ptr<CompactTree> DraftTree::finish(const CompactTree::Prolog& prolog) {
    auto tree = std::make_unique<CompactTree>();
    tree->prolog_ = prolog;
    tree->names_ = std::move(names_);
    auto& elements = tree->elements_;
    elements.reserve(nodes_.size());
    elements.emplace_back();  // the document node
    tree->attributes_.reserve(attributes_.size());

    using Kind = CompactTree::PieceKind;
    auto addPiece = [&](Index owner, Index before, Index length) {
        if (before > CompactTree::Piece::kMaxBefore) {
            tree->piecesComplete_ = false;
            before = CompactTree::Piece::kMaxBefore;
        }
        tree->pieces_.push_back({owner, (static_cast<Index>(Kind::Text) << 30) | before, length});
    };

    struct Frame {
        Index node;       // in the draft
        Index element;    // in the tree
        Index child;      // the next child to visit
        Index children;   // child elements visited
        Index lastChild;  // the last child element laid out
        bool pieces;      // its texts are told by pieces
    };
    std::vector<Frame> frames;
    frames.push_back({kDocument, CompactTree::kDocument, nodes_[kDocument].first, 0, kNone, false});
    // An element's texts: one alone (held inline) is its direct text, and a piece
    // when empty (the element still has a child); otherwise each is a piece, and
    // the direct text is all of them in order, where they lie in the arena when they
    // follow each other there, else copied after it.
    auto layOutText = [&](Index node, Index element) {
        const Node& self = nodes_[node];
        if (inlined(node)) {
            elements[element].text = {self.first, self.last};
            if (self.last == 0) addPiece(element, 0, 0);  // its one child, an empty text
            return false;
        }
        // Texts not inline are never alone: they stand beside other texts or elements.
        Index total = 0, begin = kNone, end = kNone;
        bool adjacent = true;
        for (Index c = nodes_[node].first; c != kNone; c = nodes_[c].next) {
            const Node& n = nodes_[c];
            if (n.name != kText) continue;
            total += n.last;
            if (begin == kNone)
                begin = n.first;
            else if (n.first != end)
                adjacent = false;
            end = n.first + n.last;
        }
        if (begin == kNone) return false;  // no text
        CompactTree::Slice slice{begin, total};
        if (!adjacent) {
            if (total >= kNone - arena_.size()) throw CompactTreeBuilder::TooLarge{};
            slice.begin = static_cast<Index>(arena_.size());
            arena_.reserve(arena_.size() + total);  // the copies come from the arena itself
            for (Index c = nodes_[node].first; c != kNone; c = nodes_[c].next)
                if (nodes_[c].name == kText) {
                    const XMLCh* text = arena_.data() + nodes_[c].first;
                    arena_.insert(arena_.end(), text, text + nodes_[c].last);
                }
        }
        elements[element].text = slice;
        return true;
    };

    while (!frames.empty()) {
        Frame& f = frames.back();
        if (f.child == kNone) {
            frames.pop_back();
            continue;
        }
        const Index c = f.child;
        const Node& n = nodes_[c];
        f.child = n.next;
        if (n.name == kText) {
            if (f.pieces) addPiece(f.element, f.children, n.last);
            continue;
        }
        if (elements.size() >= kNone - 1) throw CompactTreeBuilder::TooLarge{};
        const auto e = static_cast<Index>(elements.size());
        CompactTree::Element element;
        element.name = n.name & ~kInline;
        element.parent = f.element;
        element.attributes = static_cast<Index>(tree->attributes_.size());
        elements.push_back(element);
        if (f.lastChild == kNone)
            elements[f.element].firstChild = e;
        else
            elements[f.lastChild].nextSibling = e;
        f.lastChild = e;
        ++f.children;
        for (Index a = n.data; a != kNone; a = attributes_[a].next)
            tree->attributes_.push_back({attributes_[a].name, {attributes_[a].value, attributes_[a].length}});
        const bool pieces = layOutText(c, e);
        frames.push_back({c, e, firstChild(c), 0, kNone, pieces});  // f is stale from here
    }
    tree->arena_ = std::move(arena_);
    nodes_.clear();
    nodes_.shrink_to_fit();
    attributes_.clear();
    attributes_.shrink_to_fit();
    nodes_.emplace_back();
    return tree;
}

}  // namespace qv
