// The one walk of a compact tree in document order: every element as it opens and
// closes and, between them, its other children (text, CDATA sections, comments,
// processing instructions) where the pieces place them. Depth first without
// recursion, so that a deep tree cannot exhaust the stack.
#pragma once

#include <vector>

#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_tree.h"

namespace qv {

// Walks `tree` with `visitor`, whose `Node` is what it keeps of an element that is
// open (its parent for the calls of its children); the document's is `document`.
//   Node open(CompactTree::Index element, Node& parent)  an element starts
//   void close(Node& node)                            it ends (the document does not)
//   void text(Node& parent, const XMLCh* chars, CompactTree::Index length, bool cdata)
//   void comment(Node& parent, const XMLCh* data)
//   void instruction(Node& parent, const XMLCh* target, const XMLCh* data)
// An element without pieces has its whole direct text as its one text child. The
// pieces must add up: a text piece beyond its element's direct text, direct text
// that the pieces leave over, or a piece out of place stops the walk, which then
// returns false.
template <class Visitor, class Node>
bool walkTree(const CompactTree& tree, Visitor& visitor, Node document) {
    using Index = CompactTree::Index;
    struct Frame {
        Index element;
        Index next;      // the next child element
        Index children;  // child elements so far
        Index used;      // units of the direct text that pieces took
        bool pieces;     // some piece was this element's
        Node node;
    };
    std::vector<Frame> frames;
    frames.push_back({CompactTree::kDocument, tree.element(CompactTree::kDocument).firstChild, 0, 0,
                      false, document});
    const CompactTree::Piece* piece = tree.piecesBegin();
    const CompactTree::Piece* const end = tree.piecesEnd();
    while (!frames.empty()) {
        Frame& f = frames.back();
        const CompactTree::Element& self = tree.element(f.element);
        for (; piece != end && piece->owner == f.element && piece->before() == f.children;
             ++piece) {
            f.pieces = true;
            switch (piece->kind()) {
                case CompactTree::PieceKind::Text:
                case CompactTree::PieceKind::Cdata: {
                    if (!self.hasText() || piece->data > self.text.length - f.used) return false;
                    const XMLCh* chars = tree.text(self.text) + f.used;
                    f.used += piece->data;
                    visitor.text(f.node, chars, piece->data,
                                 piece->kind() == CompactTree::PieceKind::Cdata);
                    break;
                }
                case CompactTree::PieceKind::Comment:
                    visitor.comment(f.node, tree.text(piece->data));
                    break;
                case CompactTree::PieceKind::Instruction: {
                    const XMLCh* target = tree.text(piece->data);
                    visitor.instruction(f.node, target,
                                        target + xercesc::XMLString::stringLen(target) + 1);
                    break;
                }
            }
        }
        if (f.next != CompactTree::kNone) {
            const Index e = f.next;
            f.next = tree.element(e).nextSibling;
            ++f.children;
            // `f` is not used past the push, which may move it.
            Node node = visitor.open(e, f.node);
            frames.push_back({e, tree.element(e).firstChild, 0, 0, false, node});
            continue;
        }
        if (f.element == CompactTree::kDocument) break;
        const Index direct = self.hasText() ? self.text.length : 0;
        if (!f.pieces && direct > 0) {
            if (f.children > 0) return false;
            visitor.text(f.node, tree.text(self.text), direct, false);
        } else if (f.pieces && f.used != direct) {
            return false;
        }
        visitor.close(f.node);
        frames.pop_back();
    }
    return piece == end;
}

}  // namespace qv
