// The DOM of a document built in its compact form (compact_document.h: domOfTree).
#include <stdexcept>
#include <string>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMCDATASection.hpp>
#include <xercesc/dom/DOMComment.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_document.h"
#include "xdom/compact/tree_walk.h"
#include "xdom/dom/new_document.h"

using namespace xercesc;

namespace qv {
namespace {

const XMLCh* xml(const std::u16string& s) { return reinterpret_cast<const XMLCh*>(s.c_str()); }

// Appends each node to the node of its parent.
class DomBuilder {
public:
    DomBuilder(const CompactTree& tree, DOMDocument& document) : tree_(tree), document_(document) {}

    DOMNode* open(CompactTree::Index e, DOMNode* parent) {
        const CompactTree::Name& name = tree_.name(tree_.element(e).name);
        DOMElement* element = document_.createElementNS(xml(name.uri), xml(name.qname));
        parent->appendChild(element);
        for (CompactTree::Index a = tree_.attributesBegin(e); a < tree_.attributesEnd(e); ++a) {
            const CompactTree::Attribute& at = tree_.attribute(a);
            const CompactTree::Name& an = tree_.name(at.name);
            const bool plain = an.uri.empty();
            DOMAttr* attribute = plain ? document_.createAttribute(xml(an.qname))
                                       : document_.createAttributeNS(xml(an.uri), xml(an.qname));
            attribute->setValue(tree_.text(at.value.begin));
            if (plain)
                element->setAttributeNode(attribute);
            else
                element->setAttributeNodeNS(attribute);
        }
        return element;
    }
    void close(DOMNode*) {}
    void text(DOMNode* parent, const XMLCh* chars, CompactTree::Index length, bool cdata) {
        text_.assign(reinterpret_cast<const char16_t*>(chars), length);
        if (cdata)
            parent->appendChild(document_.createCDATASection(xml(text_)));
        else
            parent->appendChild(document_.createTextNode(xml(text_)));
    }
    void comment(DOMNode* parent, const XMLCh* data) {
        parent->appendChild(document_.createComment(data));
    }
    void instruction(DOMNode* parent, const XMLCh* target, const XMLCh* data) {
        parent->appendChild(document_.createProcessingInstruction(target, data));
    }

private:
    const CompactTree& tree_;
    DOMDocument& document_;
    std::u16string text_;  // a text node's, terminated
};

}  // namespace

// The calls are those that made the draft's nodes: elements and namespaced attributes
// with their namespace URI, attributes without one (a name in no namespace, not a
// declaration) without namespaces, one text node per text, in the tree's order.
XercesPtr<DOMDocument> domOfTree(const CompactTree& tree, const QvDocSettings* settings) {
    XercesPtr<DOMDocument> document = newBuiltDocument(settings);
    if (!document) throw std::bad_alloc();
    DomBuilder builder(tree, *document);
    if (!walkTree(tree, builder, static_cast<DOMNode*>(document.get())))
        throw std::logic_error("the compact tree's pieces do not add up");
    return document;
}

}  // namespace qv
