// The Xalan-C++ view of a document handle's tree, shared by XPath and XSLT.
//
// A document with a DOM gets a Xalan source tree copied from the Xerces tree: its
// nodes hold their names and values, so queries read them without the per-call
// string interning a wrapper over the Xerces nodes does. A document still in its
// compact form gets the compact tree itself behind Xalan's node interfaces
// (tree_nodes.h), which costs a fraction of a copy to make. Neither sees later
// edits, so the view remembers the document's change count it was built at and is
// rebuilt on the next use after an edit.
#pragma once

#include <memory>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeParserLiaison.hpp>

#include "xdom/handle.h"
#include "xdom/xpath/namespace_map.h"

namespace XALAN_CPP_NAMESPACE {
class XalanDocument;
class XalanNode;
class XalanSourceTreeDocument;
}

namespace qv {

class TreeNodes;
class ViewMemory;

struct XalanSourceTreeDocumentDeleter {
    void operator()(xalanc::XalanSourceTreeDocument* document) const;
};

struct XPathContext {
    XPathContext();
    ~XPathContext();

    // The support refers to the liaison (which serves documents a stylesheet
    // loads); the view document is ours. The support serves either view: it orders
    // nodes by index and finds no unparsed entity in a document not its liaison's. Members are destroyed in reverse order.
    std::unique_ptr<xalanc::XalanSourceTreeParserLiaison> liaison;
    std::unique_ptr<xalanc::XalanSourceTreeDOMSupport> support;
    std::unique_ptr<ViewMemory> treeMemory;  // what the tree is made on (view_parts.h)
    std::unique_ptr<xalanc::XalanSourceTreeDocument, XalanSourceTreeDocumentDeleter> tree;
    // Or, for a document still in its compact form, the view made of its tree.
    std::unique_ptr<TreeNodes> nodes;
    xalanc::XalanDocument* document = nullptr;  // either, as a plain document
    // The Xerces node of each view node, by the view node's index (document order,
    // attributes included); null where the view has no Xerces counterpart.
    std::vector<const xercesc::DOMNode*> xercesNodes;
    unsigned long builtAt = 0;  // the document handle's change count at the build

    // Namespace maps outlive rebuilds of the view: they belong to the document.
    NamespaceMaps namespaces;
};

// Brings the view of the document handle `doc` up to date (QvHandle_::xpathView):
// built when there is none or the document changed since. A document still in its
// compact form gets a view without a DOM (tree_nodes.h, or scanned_view.h), whose
// nodes map to no DOM node. Throws on failure.
void updateView(XPathContext& context, QvHandle_* doc);

// Lets the view go, keeping the namespace maps: the next use builds it again (the
// DOM has just been built from the kept bytes, and a view scanned from them maps no
// node to it).
void dropView(XPathContext& context);

// The Xalan node standing for the node of h: the Xalan document for a document
// handle. Null when the node is not part of the document's tree.
xalanc::XalanNode* xalanNodeOf(XPathContext& context, QvHandle_* h);

// The Xerces node a view node stands for; null when it has none.
const xercesc::DOMNode* xercesNodeOf(const XPathContext& context, const xalanc::XalanNode* node);

}  // namespace qv
