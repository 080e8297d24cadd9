#include "xdom/xpath/compact_view.h"

#include <vector>

#include <xalanc/XalanSourceTree/XalanSourceTreeComment.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElement.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeProcessingInstruction.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/xpath/view_parts.h"

namespace qv {
namespace {

using Index = CompactTree::Index;
using Kind = CompactTree::PieceKind;
using xalanc::XalanNode;
using xalanc::XalanSourceTreeElement;

const XMLCh* chars(const std::u16string& s) { return reinterpret_cast<const XMLCh*>(s.c_str()); }

xalanc::XalanDOMString::size_type lengthOf(const XMLCh* s) {
    return static_cast<xalanc::XalanDOMString::size_type>(xercesc::XMLString::stringLen(s));
}

class CompactViewBuilder {
public:
    CompactViewBuilder(const CompactTree& tree, xalanc::XalanSourceTreeDocument& view)
        : tree_(tree), view_(view), piece_(tree.piecesBegin()), end_(tree.piecesEnd()) {}

    // Depth first, without recursion, so that a deep tree cannot exhaust the stack.
    void build() {
        levels_.push_back({CompactTree::kDocument, tree_.element(CompactTree::kDocument).firstChild,
                           0, 0, nullptr, nullptr});
        while (!levels_.empty()) {
            addPieces(levels_.back());
            Level& level = levels_.back();
            const Index child = level.next;
            if (child == CompactTree::kNone) {
                levels_.pop_back();
                continue;
            }
            level.next = tree_.element(child).nextSibling;
            ++level.children;
            XalanSourceTreeElement* element = addElement(child, level.view);
            linkLast(view_, level.view, level.last, element);
            levels_.push_back({child, tree_.element(child).firstChild, 0, 0, element, nullptr});
            addWholeText(levels_.back());
        }
    }

private:
    struct Level {
        Index element;
        Index next;        // next child element
        Index children;    // child elements so far
        Index textOffset;  // direct text taken by text nodes so far
        XalanSourceTreeElement* view;  // null: the document
        XalanNode* last;               // its last child so far
    };

    XalanSourceTreeElement* addElement(Index e, XalanSourceTreeElement* parent) {
        attributes_.clear();
        for (Index a = tree_.attributesBegin(e); a < tree_.attributesEnd(e); ++a) {
            const CompactTree::Attribute& attribute = tree_.attribute(a);
            const CompactTree::Name& name = tree_.name(attribute.name);
            attributes_.push_back({chars(name.qname), name.uri.empty() ? nullptr : chars(name.uri),
                                   name.local.empty() ? nullptr : chars(name.local),
                                   tree_.text(attribute.value.begin), name.id});
        }
        const ViewAttributes viewAttributes(attributes_);
        const CompactTree::Name& name = tree_.name(tree_.element(e).name);
        // An element in no namespace and without a prefix answers every question
        // the same in the smaller form without namespace fields (its local name is
        // its name, its namespace and prefix empty), which takes one name lookup
        // where the other takes four.
        if (name.uri.empty() && name.qname.size() == name.local.size())
            return view_.createElementNode(chars(name.qname), viewAttributes, parent);
        return view_.createElementNode(chars(name.uri), chars(name.local), chars(name.qname),
                                       viewAttributes, parent);
    }

    // An element without child elements or pieces has at most one text node: its
    // whole direct text. (Pieces of an element without child elements are next in
    // line when it starts; with child elements, all its text is in pieces.)
    void addWholeText(Level& level) {
        const CompactTree::Element& element = tree_.element(level.element);
        if (!element.hasText() || element.text.length == 0 || element.firstChild != CompactTree::kNone)
            return;
        if (piece_ != end_ && piece_->owner == level.element) return;
        auto* text = view_.createTextNode(tree_.text(element.text), element.text.length, level.view);
        linkLast(view_, level.view, level.last, text);
    }

    // The pieces of the level's element before its next child element.
    void addPieces(Level& level) {
        for (; piece_ != end_ && piece_->owner == level.element &&
               piece_->before() == level.children;
             ++piece_) {
            const Index data = piece_->data;
            switch (piece_->kind()) {
                case Kind::Text:
                case Kind::Cdata: {
                    const XMLCh* text = tree_.text(tree_.element(level.element).text) + level.textOffset;
                    level.textOffset += data;
                    linkLast(view_, level.view, level.last, view_.createTextNode(text, data, level.view));
                    break;
                }
                case Kind::Comment: {
                    const XMLCh* text = tree_.text(data);
                    linkLast(view_, level.view, level.last,
                             view_.createCommentNode(text, lengthOf(text), level.view));
                    break;
                }
                case Kind::Instruction: {
                    if (!level.view && hidePI_) {
                        hidePI_ = false;
                        break;
                    }
                    const XMLCh* target = tree_.text(data);
                    const XMLCh* value = target + lengthOf(target) + 1;
                    linkLast(view_, level.view, level.last,
                             view_.createProcessingInstructionNode(target, value, level.view));
                    break;
                }
            }
        }
    }

    const CompactTree& tree_;
    xalanc::XalanSourceTreeDocument& view_;
    const CompactTree::Piece* piece_;  // the next piece, in document order
    const CompactTree::Piece* const end_;
    bool hidePI_ = true;
    std::vector<Level> levels_;
    std::vector<ScannedAttribute> attributes_;  // scratch for one element's
};

}  // namespace

void buildCompactView(const CompactTree& tree, xalanc::XalanSourceTreeDocument& view) {
    CompactViewBuilder(tree, view).build();
}

}  // namespace qv
