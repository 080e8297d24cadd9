// The Xalan-C++ view of a document handle's tree, shared by XPath and XSLT.
//
// The view is a Xalan source tree copied from the Xerces tree: its nodes hold
// their names and values, so queries read them without the per-call string
// interning a wrapper over the Xerces nodes does. The copy does not see later
// edits, so it remembers the document's change count it was built at and is
// rebuilt on the next use after an edit.
#pragma once

#include <memory>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeParserLiaison.hpp>

#include "xdom/handle.h"
#include "xdom/xpath/namespace_map.h"
#include "xdom/set_aside_pi.h"

namespace XALAN_CPP_NAMESPACE {
class XalanDocument;
class XalanNode;
class XalanSourceTreeDocument;
}

namespace qv {

class ViewMemory;

struct XalanSourceTreeDocumentDeleter {
    void operator()(xalanc::XalanSourceTreeDocument* document) const;
};

struct XPathContext {
    XPathContext();
    ~XPathContext();

    // The support refers to the liaison (which serves documents a stylesheet
    // loads); the view document is ours. Members are destroyed in reverse order.
    std::unique_ptr<xalanc::XalanSourceTreeParserLiaison> liaison;
    std::unique_ptr<xalanc::XalanSourceTreeDOMSupport> support;
    std::unique_ptr<ViewMemory> treeMemory;  // what the tree is made on (view_parts.h)
    std::unique_ptr<xalanc::XalanSourceTreeDocument, XalanSourceTreeDocumentDeleter> tree;
    xalanc::XalanDocument* document = nullptr;  // the tree, as a plain document
    // The Xerces node of each view node, by the view node's index (document order,
    // attributes included); null where the view has no Xerces counterpart.
    std::vector<const xercesc::DOMNode*> xercesNodes;
    unsigned long builtAt = 0;  // the document handle's change count at the build

    // Namespace maps outlive rebuilds of the view: they belong to the document.
    NamespaceMaps namespaces;
    // Set aside when the view was first made (set_aside_pi.h).
    SetAsidePI setAside;
};

// The up-to-date view of the document of h (any handle), built on first use
// (which also sets aside the document's first document-level processing
// instruction) and rebuilt when the document changed since. Throws on failure.
// A document still in its compact form gets a view without a DOM
// (scanned_view.h), whose nodes map to no DOM node: callers that hand back nodes
// of the document call requireDom first.
XPathContext& currentXPathContext(QvHandle_* h);

// The DOM of the document handle `doc` has just been built from its kept bytes: a
// view built from those bytes maps no node to it, so the next use builds the view
// again, from the DOM; a set-aside left pending is carried out.
void domArrived(QvHandle_* doc);

// The Xalan node standing for the node of h: the Xalan document for a document
// handle. Null when the node is not part of the document's tree.
xalanc::XalanNode* xalanNodeOf(XPathContext& context, QvHandle_* h);

// The Xerces node a view node stands for; null when it has none.
const xercesc::DOMNode* xercesNodeOf(const XPathContext& context, const xalanc::XalanNode* node);

}  // namespace qv
