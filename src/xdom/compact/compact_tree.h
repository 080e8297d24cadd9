// A compact read-only form of a parsed document, built in one pass of the scanner:
// what the reading walk of a mapping and the XPath view see of a document. Elements
// and attributes live in arrays and refer to each other by index; names are
// interned once; every text is a slice of one UTF-16 arena. It takes a small
// fraction of the memory and time of the Xerces DOM of the same document.
//
// Kept per element: its name (local name and namespace URI), parent, first child
// element, next sibling element, its attributes (as the DOM orders them: by
// qualified name), and its direct text, that is the text and CDATA children the DOM
// would give it, concatenated in document order, with whether it has any such child
// at all. Text outside the document element is not kept.
//
// For the XPath view (xpath/tree_nodes.h), which shows every child node as the DOM
// has it, the tree also keeps, in document order, the children other than elements
// that the direct text alone does not tell: how an element's direct text falls into
// text nodes and CDATA sections between its child elements, and the comments and
// processing instructions. An element whose only child is one run of text needs none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/parsing/content_sink.h"
#include "xdom/parsing/huge_pages.h"
#include "xdom/parsing/scanned_attributes.h"

namespace qv {

class CompactTree {
public:
    using Index = std::uint32_t;
    static constexpr Index kNone = 0xFFFFFFFFu;
    static constexpr Index kDocument = 0;  // the document node, parent of the root

    // A slice of the text arena.
    struct Slice {
        Index begin = 0;
        Index length = 0;
    };

    // An interned name: a local name and a namespace URI (empty for none), with the
    // qualified name it was written with and, for attributes, whether it is of type
    // ID: names differing only there are separate entries.
    struct Name {
        std::u16string local;
        std::u16string uri;
        std::u16string qname;
        bool id = false;
    };

    struct Element {
        Index name = kNone;         // kNone for the document node
        Index parent = kNone;
        Index firstChild = kNone;   // first child element
        Index nextSibling = kNone;  // next sibling element
        Index attributes = 0;       // first attribute; they run to the next element's
        // Direct text; begin is kNone when there is no text or CDATA child at all
        // (an empty CDATA section is a child: its text is empty, not missing).
        Slice text{kNone, 0};

        bool hasText() const { return text.begin != kNone; }
    };

    struct Attribute {
        Index name = 0;
        Slice value;
    };
    static_assert(sizeof(Element) == 28 && sizeof(Attribute) == 12, "kept small: millions of them");

    // A child other than an element, of the element `owner` (kDocument at the
    // document level), after `before()` of its child elements. Text and CDATA take
    // `data` units of the owner's direct text, in turn; a comment's text and a
    // processing instruction's target then data are terminated strings at `data`.
    enum class PieceKind : std::uint32_t { Text, Cdata, Comment, Instruction };
    struct Piece {
        Index owner;
        Index place;  // kind in the top two bits, child elements before it below
        Index data;

        static constexpr Index kMaxBefore = (1u << 30) - 1;
        PieceKind kind() const { return static_cast<PieceKind>(place >> 30); }
        Index before() const { return place & kMaxBefore; }
    };
    static_assert(sizeof(Piece) == 12, "one for each text node between elements");
    const Element& element(Index i) const { return elements_[i]; }
    const Name& name(Index i) const { return names_[i]; }
    std::size_t nameCount() const { return names_.size(); }
    Index attributesBegin(Index e) const { return elements_[e].attributes; }
    Index attributesEnd(Index e) const {
        return e + 1 < elements_.size() ? elements_[e + 1].attributes
                                        : static_cast<Index>(attributes_.size());
    }
    const Attribute& attribute(Index a) const { return attributes_[a]; }
    const XMLCh* text(Slice s) const { return arena_.data() + s.begin; }
    // Attribute values are terminated in the arena as well.
    const XMLCh* text(Index begin) const { return arena_.data() + begin; }

    const Piece* piecesBegin() const { return pieces_.data(); }
    const Piece* piecesEnd() const { return pieces_.data() + pieces_.size(); }
    // Whether the pieces tell every child node (false only past their counters'
    // reach: an element with 2^30 child elements or more).
    bool piecesComplete() const { return piecesComplete_; }

    // What the writer needs of the document beyond its content (compact_writer), read
    // from the scanner as the document element starts: the declaration, the document
    // type and where it stands among the children of the document.
    struct Prolog {
        bool known = false;       // read (false: the tree was built without a scanner)
        bool version10 = true;    // the declaration's version is 1.0 (or none is given)
        bool standalone = false;
        bool doctype = false;
        Index doctypeBefore = 0;  // children of the document before the document type
        std::u16string doctypeName, publicId, systemId, internalSubset;
        // Some attribute is a default the document type supplied (the tree does not
        // tell which).
        bool defaultedAttributes = false;
    };
    const Prolog& prolog() const { return prolog_; }

    std::size_t elementCount() const { return elements_.size(); }
    std::size_t attributeCount() const { return attributes_.size(); }
    // Bytes held, for the benchmarks.
    std::size_t bytes() const;

private:
    friend class CompactTreeBuilder;
    friend class DraftTree;

    template <class T>
    using Array = std::vector<T, HugePageAllocator<T>>;
    Array<Element> elements_;
    Array<Attribute> attributes_;
    std::vector<Name> names_;
    Array<XMLCh> arena_;
    Array<Piece> pieces_;
    bool piecesComplete_ = true;
    Prolog prolog_;
};

// Builds a CompactTree from what the scanner hands on (content_sink.h), the same
// events the DOM parser builds its tree from, so that both forms hold the same
// elements, attributes and texts.
class CompactTreeBuilder : public ContentSink {
public:
    using XMLCh = ::XMLCh;

    // Thrown when the document holds more than the tree's 32-bit indices can count.
    struct TooLarge {};

    // `sizeHint`: the document's size in bytes, to reserve room once.
    CompactTreeBuilder(CompactTree& tree, std::size_t sizeHint);

    void startElement(const XMLCh* uri, const XMLCh* local, const XMLCh* qname,
                      const std::vector<ScannedAttribute>& attributes,
                      const void* nameKey) override;
    void endElement() override;
    // Text or CDATA content; outside the document element it is not kept.
    void characters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void comment(const XMLCh* text) override;
    void processingInstruction(const XMLCh* target, const XMLCh* data) override;
    // The tree is complete.
    void finish();

private:
    CompactTree::Index intern(const XMLCh* uri, const XMLCh* qname, std::size_t qnameLength,
                              const XMLCh* local, std::size_t localLength, bool id);
    CompactTree::Slice store(const XMLCh* text, std::size_t length, bool terminated = false);
    // The run of plain text the innermost element is in ends: it becomes a piece
    // unless it is the element's whole content (`atEnd`, no child or piece before).
    void endRun(bool atEnd);
    void addPiece(CompactTree::PieceKind kind, CompactTree::Index data);
    // A child of the document node begins: notes where the document type stands.
    void documentChild();
    void readProlog();

    CompactTree& tree_;
    // The open elements, innermost last, and the last child element of each.
    std::vector<CompactTree::Index> open_;
    std::vector<CompactTree::Index> lastChild_;
    // Direct text of each open element, gathered until it ends (reused buffers).
    std::vector<std::u16string> pendingText_;
    std::vector<bool> pendingHasText_;
    // Per open element: child elements so far, where its current run of plain text
    // began in its direct text (kNone: not in a run), whether it has pieces.
    struct Level {
        CompactTree::Index children = 0;
        CompactTree::Index runStart = CompactTree::kNone;
        bool pieces = false;
    };
    std::vector<Level> levels_;
    // Names interned so far, by URI (its text pointer, which the scanner keeps for the
    // whole parse) and local name: an open-addressing table of name indices.
    struct NameSlot {
        CompactTree::Index name = CompactTree::kNone;
        const XMLCh* uri = nullptr;
    };
    std::vector<NameSlot> nameTable_;
    std::size_t namesHeld_ = 0;
    // Element names by the scan's name key and URI, which stay the same for every
    // element of a name: most elements skip the table.
    struct ElementSlot {
        const void* key = nullptr;
        const XMLCh* uri = nullptr;
        CompactTree::Index name = CompactTree::kNone;
    };
    ElementSlot elementNames_[64];
    CompactTree::Index documentChildren_ = 0;
};

}  // namespace qv
