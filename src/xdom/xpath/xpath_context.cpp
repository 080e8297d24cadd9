#include "xdom/xpath/xpath_context.h"

#include <cstddef>
#include <vector>

#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeComment.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElement.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeHelper.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeProcessingInstruction.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeText.hpp>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMCharacterData.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/compact/compact_document.h"
#include "xdom/xpath/extension_functions.h"
#include "xdom/xpath/scanned_view.h"
#include "xdom/xpath/tree_nodes.h"
#include "xdom/xpath/view_parts.h"
#include "xdom/xpath/xalan_memory.h"

namespace qv {
namespace {

using xercesc::DOMNode;
using xalanc::XalanNode;
using xalanc::XalanSourceTreeDocument;
using xalanc::XalanSourceTreeElement;


const XMLCh kEmpty[] = {0};

const XMLCh* orEmpty(const XMLCh* s) { return s ? s : kEmpty; }

// Whether a Xerces node has a node in the view: the view keeps elements, text
// (CDATA sections as text), comments and processing instructions, child for child.
// Document types and entity references have none.
bool inView(const DOMNode* node) {
    switch (node->getNodeType()) {
        case DOMNode::ELEMENT_NODE:
        case DOMNode::COMMENT_NODE:
        case DOMNode::PROCESSING_INSTRUCTION_NODE:
            return true;
        case DOMNode::TEXT_NODE:
        case DOMNode::CDATA_SECTION_NODE: {
            const DOMNode* parent = node->getParentNode();
            return parent && parent->getNodeType() == DOMNode::ELEMENT_NODE;
        }
        default:
            return false;
    }
}

// Copies a Xerces tree into a source tree, recording the Xerces node of every
// view node by the view node's index.
class ViewBuilder {
public:
    ViewBuilder(XalanSourceTreeDocument& tree, std::vector<const DOMNode*>& xercesNodes)
        : tree_(tree), xercesNodes_(xercesNodes) {}

    void build(const xercesc::DOMDocument* document) {
        record(&tree_, document);
        for (const DOMNode* child = document->getFirstChild(); child;
             child = child->getNextSibling()) {
            XalanNode* last = nullptr;
            XalanNode* view = add(child, nullptr, last);
            if (view && child->getNodeType() == DOMNode::ELEMENT_NODE)
                addDescendants(child, static_cast<XalanSourceTreeElement*>(view));
        }
    }

private:
    struct Level {
        const DOMNode* next;
        XalanSourceTreeElement* parent;
        XalanNode* last;
    };

    // Iterative, so that a deep tree cannot exhaust the stack.
    void addDescendants(const DOMNode* element, XalanSourceTreeElement* view) {
        std::vector<Level> levels{{element->getFirstChild(), view, nullptr}};
        while (!levels.empty()) {
            Level& level = levels.back();
            if (!level.next) {
                levels.pop_back();
                continue;
            }
            const DOMNode* node = level.next;
            level.next = node->getNextSibling();
            XalanNode* added = add(node, level.parent, level.last);
            if (added && node->getNodeType() == DOMNode::ELEMENT_NODE && node->getFirstChild())
                levels.push_back(
                    {node->getFirstChild(), static_cast<XalanSourceTreeElement*>(added), nullptr});
        }
    }

    void record(const XalanNode* view, const DOMNode* node) {
        std::size_t index = view->getIndex();
        if (index >= xercesNodes_.size()) xercesNodes_.resize(index + 1, nullptr);
        xercesNodes_[index] = node;
    }

    template <class Child>
    void link(XalanSourceTreeElement* parent, XalanNode*& last, Child* child) {
        linkLast(tree_, parent, last, child);
    }

    // The view node of one Xerces node, linked under parent; null when the node
    // has none (inView).
    XalanNode* add(const DOMNode* node, XalanSourceTreeElement* parent, XalanNode*& last) {
        switch (node->getNodeType()) {
            case DOMNode::ELEMENT_NODE: {
                scanned_.clear();
                domAttributes_.clear();
                if (const xercesc::DOMNamedNodeMap* map = node->getAttributes()) {
                    for (XMLSize_t i = 0; i < map->getLength(); ++i) {
                        auto* attr = static_cast<const xercesc::DOMAttr*>(map->item(i));
                        scanned_.push_back({attr->getName(), attr->getNamespaceURI(),
                                            attr->getLocalName(), attr->getValue(), attr->isId()});
                        domAttributes_.push_back(attr);
                    }
                }
                const ViewAttributes attributes(scanned_);
                const XMLCh* local = node->getLocalName();
                XalanSourceTreeElement* element = tree_.createElementNode(
                    orEmpty(node->getNamespaceURI()), local ? local : node->getNodeName(),
                    node->getNodeName(), attributes, parent);
                link(parent, last, element);
                record(element, node);
                if (const xalanc::XalanNamedNodeMap* map = element->getAttributes()) {
                    const std::vector<std::size_t>& order = attributes.order();
                    for (xalanc::XalanSize_t i = 0; i < map->getLength() && i < order.size(); ++i)
                        record(map->item(i), domAttributes_[order[i]]);
                }
                return element;
            }
            case DOMNode::TEXT_NODE:
            case DOMNode::CDATA_SECTION_NODE: {
                if (!parent) return nullptr;  // never at document level in a Xerces tree
                auto* data = static_cast<const xercesc::DOMCharacterData*>(node);
                auto* text = tree_.createTextNode(orEmpty(data->getData()), data->getLength(), parent);
                link(parent, last, text);
                record(text, node);
                return text;
            }
            case DOMNode::COMMENT_NODE: {
                auto* data = static_cast<const xercesc::DOMCharacterData*>(node);
                auto* comment =
                    tree_.createCommentNode(orEmpty(data->getData()), data->getLength(), parent);
                link(parent, last, comment);
                record(comment, node);
                return comment;
            }
            case DOMNode::PROCESSING_INSTRUCTION_NODE: {
                auto* pi = static_cast<const xercesc::DOMProcessingInstruction*>(node);
                auto* view = tree_.createProcessingInstructionNode(orEmpty(pi->getTarget()),
                                                                   orEmpty(pi->getData()), parent);
                link(parent, last, view);
                record(view, node);
                return view;
            }
            default:
                return nullptr;
        }
    }

    XalanSourceTreeDocument& tree_;
    std::vector<const DOMNode*>& xercesNodes_;
    // Scratch for one element's attributes.
    std::vector<ScannedAttribute> scanned_;
    std::vector<const xercesc::DOMAttr*> domAttributes_;
};

// Attribute values, comments and whitespace text are pooled (text is not): the
// pools' bucket counts follow the number of such nodes.
std::size_t pooledNodesOf(const xercesc::DOMDocument* document) {
    std::size_t count = 0;
    const DOMNode* node = document;
    while (node) {
        if (node->getNodeType() == DOMNode::ELEMENT_NODE) {
            const xercesc::DOMNamedNodeMap* map = node->getAttributes();
            count += 1 + (map ? map->getLength() : 0);
        } else {
            ++count;
        }
        if (const DOMNode* child = node->getFirstChild()) {
            node = child;
            continue;
        }
        while (node && !node->getNextSibling()) node = node->getParentNode();
        if (node) node = node->getNextSibling();
    }
    return count;
}

// The nodes to size the pools for: counted in the DOM, or, for a document without
// one yet, told by its compact tree (text nodes are about as many as elements).
std::size_t expectedNodes(const QvHandle_* doc) {
    if (const xercesc::DOMDocument* dom = doc->builtDom()) return pooledNodesOf(dom);
    const CompactTree& tree = *doc->compact()->tree;
    return 2 * tree.elementCount() + tree.attributeCount();
}

// The source-tree copy of the document: of its DOM, or scanned from its kept bytes.
void copyView(XPathContext& context, QvHandle_* doc) {
    const std::size_t nodes = expectedNodes(doc);
    using Tree = XalanSourceTreeDocument;
    auto memory = std::make_unique<ViewMemory>();
    std::unique_ptr<Tree, XalanSourceTreeDocumentDeleter> tree(new Tree(
        *memory, false, Tree::eDefaultNamesStringPoolBlockSize, bucketsFor(nodes / 64),
        Tree::eDefaultNamesStringPoolBucketSize, Tree::eDefaultValuesStringPoolBlockSize,
        bucketsFor(nodes / 4), Tree::eDefaultValuesStringPoolBucketSize));
    std::vector<const DOMNode*> xercesNodes;
    if (const xercesc::DOMDocument* dom = doc->builtDom()) {
        xercesNodes.reserve(nodes + 2);
        ViewBuilder(*tree, xercesNodes).build(dom);
    } else {
        // A tree that cannot tell every node: the first view of the document, which
        // hides the first document-level processing instruction as the view made of
        // a tree does (the DOM sets it aside when built).
        ScannedViewBuilder builder(*tree, true);
        scanKept(*doc->compact(), builder);
    }

    memory->seal();
    context.document = tree.get();
    context.treeMemory = std::move(memory);
    context.tree = std::move(tree);
    context.xercesNodes = std::move(xercesNodes);
}

void buildView(XPathContext& context, QvHandle_* doc) {
    dropView(context);

    auto liaison = std::make_unique<xalanc::XalanSourceTreeParserLiaison>(xalanMemory());
    auto support = std::make_unique<xalanc::XalanSourceTreeDOMSupport>(*liaison);
    if (!doc->builtDom() && TreeNodes::possible(*doc->compact()->tree)) {
        auto nodes = std::make_unique<TreeNodes>(*doc->compact()->tree);
        context.document = nodes.get();
        context.nodes = std::move(nodes);
    } else {
        copyView(context, doc);
    }
    context.liaison = std::move(liaison);
    context.support = std::move(support);
    context.builtAt = doc->changeCount();
}

// The view node of a Xerces node other than an attribute: its position among the
// siblings that have view nodes, under each ancestor, followed down the view.
// Costs the siblings before it on its path.
XalanNode* viewNodeOf(XPathContext& context, const DOMNode* node,
                      const xercesc::DOMDocument* document) {
    std::vector<std::size_t> positions;
    const DOMNode* top = node;
    for (; top->getParentNode(); top = top->getParentNode()) {
        if (!inView(top)) return nullptr;
        std::size_t before = 0;
        for (const DOMNode* s = top->getPreviousSibling(); s; s = s->getPreviousSibling())
            if (inView(s)) ++before;
        positions.push_back(before);
    }
    if (top != document) return nullptr;  // created, never inserted
    XalanNode* view = context.document;
    for (auto it = positions.rbegin(); it != positions.rend() && view; ++it) {
        view = view->getFirstChild();
        for (std::size_t k = 0; k < *it && view; ++k) view = view->getNextSibling();
    }
    return view;
}

}  // namespace

void XalanSourceTreeDocumentDeleter::operator()(xalanc::XalanSourceTreeDocument* document) const {
    delete document;
}

XPathContext::XPathContext() = default;
XPathContext::~XPathContext() = default;

void XPathContextDeleter::operator()(XPathContext* context) const { delete context; }

void dropView(XPathContext& context) {
    context.document = nullptr;
    context.xercesNodes.clear();
    context.tree.reset();
    context.treeMemory.reset();
    context.nodes.reset();
    context.support.reset();
    context.liaison.reset();
}

void updateView(XPathContext& context, QvHandle_* doc) {
    correctCoreFunctions();
    if (!context.document || context.builtAt != doc->changeCount()) buildView(context, doc);
}

xalanc::XalanNode* xalanNodeOf(XPathContext& context, QvHandle_* h) {
    if (h->isDocument()) return context.document;
    const DOMNode* node = h->domNode();
    const xercesc::DOMDocument* document = h->documentHandle()->builtDom();
    if (node == document) return context.document;
    if (node->getNodeType() != DOMNode::ATTRIBUTE_NODE) return viewNodeOf(context, node, document);

    // An attribute: among the view attributes of its element, the one standing for it.
    const DOMNode* owner = static_cast<const xercesc::DOMAttr*>(node)->getOwnerElement();
    XalanNode* element = owner ? viewNodeOf(context, owner, document) : nullptr;
    const xalanc::XalanNamedNodeMap* map = element ? element->getAttributes() : nullptr;
    if (!map) return nullptr;
    for (xalanc::XalanSize_t i = 0; i < map->getLength(); ++i)
        if (xercesNodeOf(context, map->item(i)) == node) return map->item(i);
    return nullptr;
}

const xercesc::DOMNode* xercesNodeOf(const XPathContext& context, const xalanc::XalanNode* node) {
    if (!node) return nullptr;
    if (node != context.document && node->getOwnerDocument() != context.document) return nullptr;
    std::size_t index = node->getIndex();
    return index < context.xercesNodes.size() ? context.xercesNodes[index] : nullptr;
}

}  // namespace qv
