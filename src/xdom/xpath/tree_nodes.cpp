#include "xdom/xpath/tree_nodes.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/tree_walk.h"
#include "xdom/xpath/xalan_memory.h"

namespace qv {
namespace {

using Index = CompactTree::Index;

const XMLCh kXmlns[] = u"xmlns";
const XMLCh kXmlnsColon[] = u"xmlns:";

bool isNamespaceDeclaration(const std::u16string& qname) {
    const XMLCh* q = reinterpret_cast<const XMLCh*>(qname.c_str());
    return xercesc::XMLString::equals(q, kXmlns) || xercesc::XMLString::startsWith(q, kXmlnsColon);
}

XalanDOMString make(const std::u16string& s) {
    return XalanDOMString(reinterpret_cast<const XMLCh*>(s.data()), xalanMemory(),
                          static_cast<XalanDOMString::size_type>(s.size()));
}

// A qualified name's prefix, what comes before its colon; a name without a colon
// has none or, when `whole`, is its own.
XalanDOMString prefixOf(const std::u16string& qname, bool whole) {
    const auto colon = qname.find(u':');
    if (colon == std::u16string::npos) return whole ? make(qname) : XalanDOMString(xalanMemory());
    return make(qname.substr(0, colon));
}

bool isXmlWhitespace(const XMLCh* s, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (s[i] != 0x20 && s[i] != 0x9 && s[i] != 0xA && s[i] != 0xD) return false;
    return true;
}

[[noreturn]] void notSupported() {
    throw xalanc::XalanDOMException(xalanc::XalanDOMException::NOT_SUPPORTED_ERR);
}

}  // namespace

// Links the nodes in document order (tree_walk.h), numbering them as it goes.
class TreeNodesBuilder {
public:
    // An element the walk is in (null: the document) and its last child so far.
    struct Parent {
        TreeElement* node;
        XalanNode* last;
        TreeLinks* lastLinks;
    };

    explicit TreeNodesBuilder(TreeNodes& nodes) : nodes_(nodes), tree_(nodes.tree_) {}

    void build() {
        if (!walkTree(tree_, *this, Parent{nullptr, nullptr, nullptr}))
            throw std::logic_error("the compact tree's pieces do not add up");
    }

    // The element and its attributes, namespace declarations first.
    Parent open(Index e, Parent& parent) {
        TreeElement& element = nodes_.elements_.emplace_back(
            &nodes_, &nodes_.elementNames_[tree_.element(e).name], nextIndex());
        link(parent, &element, element.links);
        const Index begin = tree_.attributesBegin(e), end = tree_.attributesEnd(e);
        if (begin != end) {
            element.attributes = static_cast<Index>(nodes_.maps_.size());
            nodes_.maps_.emplace_back(nodes_.attributes_.data() + nodes_.attributes_.size(),
                                      end - begin);
            for (int pass = 0; pass < 2; ++pass)
                for (Index a = begin; a < end; ++a) {
                    const Index name = tree_.attribute(a).name;
                    if (declaration_[name] == (pass == 0))
                        nodes_.attributes_.emplace_back(&element, &nodes_.attributeNames_[name], a,
                                                        nextIndex());
                }
        }
        return {&element, nullptr, nullptr};
    }
    void close(Parent&) {}
    void text(Parent& parent, const XMLCh* chars, Index length, bool) {
        TreeText& text = nodes_.texts_.emplace_back(parent.node, chars, length, nextIndex());
        link(parent, &text, text.links);
    }
    void comment(Parent& parent, const XMLCh* data) {
        TreeComment& comment =
            nodes_.comments_.emplace_back(&nodes_, parentNode(parent), data, nextIndex());
        link(parent, &comment, comment.links);
    }
    void instruction(Parent& parent, const XMLCh* target, const XMLCh*) {
        if (!parent.node && hidePI_) {
            hidePI_ = false;
            return;
        }
        TreeInstruction& pi =
            nodes_.instructions_.emplace_back(&nodes_, parentNode(parent), target, nextIndex());
        link(parent, &pi, pi.links);
    }

    std::vector<bool> declaration_;  // by name: a namespace declaration

private:
    std::uint32_t nextIndex() { return static_cast<std::uint32_t>(nodes_.nextIndex_++); }

    XalanNode* parentNode(const Parent& parent) {
        return parent.node ? static_cast<XalanNode*>(parent.node) : &nodes_;
    }

    // `node` becomes the last child of the parent's node.
    void link(Parent& parent, XalanNode* node, TreeLinks& links) {
        links.parent = parentNode(parent);
        links.previous = parent.last;
        if (parent.lastLinks)
            parent.lastLinks->next = node;
        else if (parent.node)
            parent.node->firstChild = node;
        else
            nodes_.firstChild_ = node;
        parent.last = node;
        parent.lastLinks = &links;
    }

    TreeNodes& nodes_;
    const CompactTree& tree_;
    bool hidePI_ = true;
};

bool TreeNodes::possible(const CompactTree& tree) {
    const std::size_t most = 2 + 2 * tree.elementCount() + tree.attributeCount() +
                             static_cast<std::size_t>(tree.piecesEnd() - tree.piecesBegin());
    return tree.piecesComplete() && most < std::numeric_limits<std::uint32_t>::max();
}

TreeNodes::TreeNodes(const CompactTree& tree)
    : tree_(tree),
      empty_(xalanMemory()),
      documentName_(u"#document", xalanMemory()),
      textName_(u"#text", xalanMemory()),
      commentName_(u"#comment", xalanMemory()) {
    TreeNodesBuilder builder(*this);
    elementNames_.reserve(tree.nameCount());
    attributeNames_.reserve(tree.nameCount());
    builder.declaration_.reserve(tree.nameCount());
    for (Index i = 0; i < tree.nameCount(); ++i) {
        const CompactTree::Name& name = tree.name(i);
        // As the source tree: an element in no namespace and without a prefix is its
        // own local name; an attribute in no namespace has an empty local name and no
        // prefix, and one in a namespace without a colon (xmlns) is its own prefix.
        if (name.uri.empty() && name.qname.size() == name.local.size())
            elementNames_.push_back({make(name.qname), make(name.qname), empty_, empty_});
        else
            elementNames_.push_back({make(name.qname), make(name.local), make(name.uri),
                                     prefixOf(name.qname, false)});
        if (name.uri.empty())
            attributeNames_.push_back({make(name.qname), empty_, empty_, empty_});
        else
            attributeNames_.push_back({make(name.qname), make(name.local.empty() ? name.qname : name.local),
                                       make(name.uri), prefixOf(name.qname, true)});
        builder.declaration_.push_back(isNamespaceDeclaration(name.qname));
    }
    elements_.reserve(tree.elementCount() ? tree.elementCount() - 1 : 0);
    attributes_.reserve(tree.attributeCount());
    // A text node is a text piece or the whole direct text of an element.
    texts_.reserve(static_cast<std::size_t>(tree.piecesEnd() - tree.piecesBegin()) + tree.elementCount());
    maps_.reserve(std::min(tree.attributeCount(), tree.elementCount()));
    builder.build();
}

TreeNodes::~TreeNodes() = default;

const xalanc::XalanNodeList* TreeNodes::getChildNodes() const { notSupported(); }

xalanc::XalanElement* TreeNodes::getDocumentElement() const {
    return elements_.empty() ? nullptr : const_cast<TreeElement*>(&elements_.front());
}

xalanc::XalanElement* TreeNodes::getElementById(const XalanDOMString& id) const {
    if (!byId_) {
        auto byId = std::make_unique<std::unordered_map<std::u16string, TreeElement*>>();
        for (const TreeElement& element : elements_)
            for (const TreeAttr& attribute : attributeMap(element.attributes)) {
                const CompactTree::Attribute& a = tree_.attribute(attribute.attribute());
                if (!tree_.name(a.name).id) continue;
                const XMLCh* value = tree_.text(a.value.begin);
                byId->emplace(std::u16string(value, value + xercesc::XMLString::stringLen(value)),
                              const_cast<TreeElement*>(&element));
            }
        byId_ = std::move(byId);
    }
    const auto found = byId_->find(std::u16string(id.c_str(), id.length()));
    return found == byId_->end() ? nullptr : found->second;
}

const XalanDOMString& TreeNodes::keep(const XMLCh* text, std::size_t length) const {
    return kept_.emplace_back(text, keptMemory_, static_cast<XalanDOMString::size_type>(length));
}

namespace {

template <class Node, class Nodes>
const XalanDOMString& valueIn(std::vector<const XalanDOMString*>& values, const Nodes& nodes,
                              const Node& node, const TreeNodes& view, const XMLCh* data,
                              std::size_t length) {
    if (values.empty()) values.resize(nodes.size());
    const XalanDOMString*& value = values[static_cast<std::size_t>(&node - nodes.data())];
    if (!value) value = &view.keep(data, length);
    return *value;
}

}  // namespace

const XalanDOMString& TreeNodes::valueOf(const TreeText& text, const XMLCh* data,
                                         std::size_t length) const {
    return valueIn(textValues_, texts_, text, *this, data, length);
}

const XalanDOMString& TreeNodes::valueOf(const TreeAttr& attribute, const XMLCh* data,
                                         std::size_t length) const {
    return valueIn(attributeValues_, attributes_, attribute, *this, data, length);
}

// Element.

const XalanDOMString& TreeElement::getNodeValue() const { return nodes_->empty(); }
const xalanc::XalanNodeList* TreeElement::getChildNodes() const { notSupported(); }
XalanNode* TreeElement::getLastChild() const {
    XalanNode* last = firstChild;
    if (last)
        while (XalanNode* next = last->getNextSibling()) last = next;
    return last;
}
xalanc::XalanDocument* TreeElement::getOwnerDocument() const { return nodes_; }

const xalanc::XalanNamedNodeMap* TreeElement::getAttributes() const {
    return &nodes_->attributeMap(attributes);
}

// Attribute map.

XalanNode* TreeAttributes::item(xalanc::XalanSize_t index) const {
    return index < count_ ? first_ + index : nullptr;
}
XalanNode* TreeAttributes::getNamedItem(const XalanDOMString& name) const {
    for (TreeAttr* a = first_; a != first_ + count_; ++a)
        if (a->getNodeName() == name) return a;
    return nullptr;
}
XalanNode* TreeAttributes::getNamedItemNS(const XalanDOMString& uri, const XalanDOMString& local) const {
    for (TreeAttr* a = first_; a != first_ + count_; ++a)
        if (a->getLocalName() == local && a->getNamespaceURI() == uri) return a;
    return nullptr;
}

// Attribute.

xalanc::XalanDocument* TreeAttr::getOwnerDocument() const { return &owner_->nodes(); }
xalanc::XalanElement* TreeAttr::getOwnerElement() const { return owner_; }
const XalanDOMString& TreeAttr::getValue() const {
    const TreeNodes& nodes = owner_->nodes();
    const CompactTree::Slice value = nodes.tree().attribute(attribute_).value;
    return nodes.valueOf(*this, nodes.tree().text(value.begin), value.length);
}

// Text.

TreeNodes& TreeText::nodes() const { return static_cast<TreeElement*>(links.parent)->nodes(); }
const XalanDOMString& TreeText::getNodeName() const { return nodes().textName(); }
const xalanc::XalanNodeList* TreeText::getChildNodes() const { notSupported(); }
xalanc::XalanDocument* TreeText::getOwnerDocument() const { return &nodes(); }
const XalanDOMString& TreeText::getNamespaceURI() const { return nodes().empty(); }
const XalanDOMString& TreeText::getPrefix() const { return nodes().empty(); }
const XalanDOMString& TreeText::getLocalName() const { return nodes().empty(); }
const XalanDOMString& TreeText::getData() const { return nodes().valueOf(*this, data_, length_); }
bool TreeText::isWhitespace() const { return isXmlWhitespace(data_, length_); }

// Comment.

const XalanDOMString& TreeComment::getNodeName() const { return nodes_->commentName(); }
const xalanc::XalanNodeList* TreeComment::getChildNodes() const { notSupported(); }
xalanc::XalanDocument* TreeComment::getOwnerDocument() const { return nodes_; }
const XalanDOMString& TreeComment::getNamespaceURI() const { return nodes_->empty(); }
const XalanDOMString& TreeComment::getPrefix() const { return nodes_->empty(); }
const XalanDOMString& TreeComment::getLocalName() const { return nodes_->empty(); }
const XalanDOMString& TreeComment::getData() const {
    if (!value_) value_ = &nodes_->keep(data_, xercesc::XMLString::stringLen(data_));
    return *value_;
}

// Processing instruction.

const xalanc::XalanNodeList* TreeInstruction::getChildNodes() const { notSupported(); }
xalanc::XalanDocument* TreeInstruction::getOwnerDocument() const { return nodes_; }
const XalanDOMString& TreeInstruction::getNamespaceURI() const { return nodes_->empty(); }
const XalanDOMString& TreeInstruction::getPrefix() const { return nodes_->empty(); }
const XalanDOMString& TreeInstruction::getLocalName() const { return nodes_->empty(); }
const XalanDOMString& TreeInstruction::getTarget() const {
    if (!targetString_) targetString_ = &nodes_->keep(target_, xercesc::XMLString::stringLen(target_));
    return *targetString_;
}
const XalanDOMString& TreeInstruction::getData() const {
    if (!value_) {
        const XMLCh* data = target_ + xercesc::XMLString::stringLen(target_) + 1;
        value_ = &nodes_->keep(data, xercesc::XMLString::stringLen(data));
    }
    return *value_;
}

}  // namespace qv
