// The DOM of a document built in its compact form (compact_document.h: domOfTree).
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMCDATASection.hpp>
#include <xercesc/dom/DOMComment.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_document.h"
#include "xdom/dom/new_document.h"

using namespace xercesc;

namespace qv {
namespace {

const XMLCh* xml(const std::u16string& s) { return reinterpret_cast<const XMLCh*>(s.c_str()); }

}  // namespace

// The calls are those that made the draft's nodes: elements and namespaced attributes
// with their namespace URI, attributes without one (a name in no namespace, not a
// declaration) without namespaces, one text node per text, in the tree's order.
XercesPtr<DOMDocument> domOfTree(const CompactTree& tree, const QvDocSettings* settings) {
    XercesPtr<DOMDocument> document = newBuiltDocument(settings);
    if (!document) throw std::bad_alloc();

    struct Frame {
        CompactTree::Index element;
        DOMNode* node;
        CompactTree::Index next;      // the next child element
        CompactTree::Index children;  // child elements made
        CompactTree::Index used;      // units of the direct text made into nodes
        bool pieces;
    };
    std::vector<Frame> frames;
    frames.push_back({CompactTree::kDocument, document.get(),
                      tree.element(CompactTree::kDocument).firstChild, 0, 0, false});
    const CompactTree::Piece* piece = tree.piecesBegin();
    const CompactTree::Piece* const pieceEnd = tree.piecesEnd();
    std::u16string text;
    while (!frames.empty()) {
        Frame& f = frames.back();
        const CompactTree::Element& self = tree.element(f.element);
        for (; piece != pieceEnd && piece->owner == f.element && piece->before() == f.children; ++piece) {
            f.pieces = true;
            DOMNode* child = nullptr;
            switch (piece->kind()) {
                case CompactTree::PieceKind::Text:
                case CompactTree::PieceKind::Cdata: {
                    text.assign(reinterpret_cast<const char16_t*>(tree.text(self.text) + f.used), piece->data);
                    f.used += piece->data;
                    if (piece->kind() == CompactTree::PieceKind::Text)
                        child = document->createTextNode(xml(text));
                    else
                        child = document->createCDATASection(xml(text));
                    break;
                }
                case CompactTree::PieceKind::Comment:
                    child = document->createComment(tree.text(piece->data));
                    break;
                case CompactTree::PieceKind::Instruction: {
                    const XMLCh* target = tree.text(piece->data);
                    child = document->createProcessingInstruction(
                        target, target + XMLString::stringLen(target) + 1);
                    break;
                }
            }
            f.node->appendChild(child);
        }
        if (f.next != CompactTree::kNone) {
            const CompactTree::Index e = f.next;
            f.next = tree.element(e).nextSibling;
            ++f.children;
            const CompactTree::Name& name = tree.name(tree.element(e).name);
            DOMElement* element = document->createElementNS(xml(name.uri), xml(name.qname));
            f.node->appendChild(element);
            for (CompactTree::Index a = tree.attributesBegin(e); a < tree.attributesEnd(e); ++a) {
                const CompactTree::Attribute& at = tree.attribute(a);
                const CompactTree::Name& an = tree.name(at.name);
                const bool plain = an.uri.empty();
                DOMAttr* attribute = plain ? document->createAttribute(xml(an.qname))
                                           : document->createAttributeNS(xml(an.uri), xml(an.qname));
                attribute->setValue(tree.text(at.value.begin));
                if (plain)
                    element->setAttributeNode(attribute);
                else
                    element->setAttributeNodeNS(attribute);
            }
            frames.push_back({e, element, tree.element(e).firstChild, 0, 0, false});
            continue;
        }
        // Without pieces the direct text is the element's one child.
        if (f.element != CompactTree::kDocument && !f.pieces && self.hasText() && self.text.length > 0) {
            text.assign(reinterpret_cast<const char16_t*>(tree.text(self.text)), self.text.length);
            f.node->appendChild(document->createTextNode(xml(text)));
        }
        frames.pop_back();
    }
    return document;
}

}  // namespace qv
