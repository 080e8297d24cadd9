#include "xdom/xpath/compact_view.h"

#include <stdexcept>
#include <vector>

#include <xalanc/XalanSourceTree/XalanSourceTreeComment.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElement.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeProcessingInstruction.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/compact/tree_walk.h"
#include "xdom/xpath/view_parts.h"

namespace qv {
namespace {

using Index = CompactTree::Index;
using xalanc::XalanNode;
using xalanc::XalanSourceTreeElement;

const XMLCh* chars(const std::u16string& s) { return reinterpret_cast<const XMLCh*>(s.c_str()); }

xalanc::XalanDOMString::size_type lengthOf(const XMLCh* s) {
    return static_cast<xalanc::XalanDOMString::size_type>(xercesc::XMLString::stringLen(s));
}

// Copies the tree's nodes in document order (tree_walk.h).
class CompactViewBuilder {
public:
    // An element the walk is in (null: the document) and its last child so far.
    struct Parent {
        XalanSourceTreeElement* view;
        XalanNode* last;
    };

    CompactViewBuilder(const CompactTree& tree, xalanc::XalanSourceTreeDocument& view)
        : tree_(tree), view_(view) {}

    void build() {
        if (!walkTree(tree_, *this, Parent{nullptr, nullptr}))
            throw std::logic_error("the compact tree's pieces do not add up");
    }

    Parent open(Index e, Parent& parent) {
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
        XalanSourceTreeElement* element =
            name.uri.empty() && name.qname.size() == name.local.size()
                ? view_.createElementNode(chars(name.qname), viewAttributes, parent.view)
                : view_.createElementNode(chars(name.uri), chars(name.local), chars(name.qname),
                                          viewAttributes, parent.view);
        add(parent, element);
        return {element, nullptr};
    }
    void close(Parent&) {}
    void text(Parent& parent, const XMLCh* chars, Index length, bool) {
        add(parent, view_.createTextNode(chars, length, parent.view));
    }
    void comment(Parent& parent, const XMLCh* data) {
        add(parent, view_.createCommentNode(data, lengthOf(data), parent.view));
    }
    void instruction(Parent& parent, const XMLCh* target, const XMLCh* data) {
        if (!parent.view && hidePI_) {
            hidePI_ = false;
            return;
        }
        add(parent, view_.createProcessingInstructionNode(target, data, parent.view));
    }

private:
    template <class Child>
    void add(Parent& parent, Child* node) {
        linkLast(view_, parent.view, parent.last, node);
    }

    const CompactTree& tree_;
    xalanc::XalanSourceTreeDocument& view_;
    bool hidePI_ = true;
    std::vector<ScannedAttribute> attributes_;  // scratch for one element's
};

}  // namespace

void buildCompactView(const CompactTree& tree, xalanc::XalanSourceTreeDocument& view) {
    CompactViewBuilder(tree, view).build();
}

}  // namespace qv
