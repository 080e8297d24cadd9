// Replaces XPath::findRoot of Xalan-C++ 1.12 (xalanc/XPath/XPath.hpp), the step
// that selects the root of the context node's tree for a path from "/".
//
// Why: the original takes the owner document only when it has a document
// element, and otherwise walks up from the context node looking for a document
// fragment (the root of a result tree fragment); from a document that has no
// document element (one built by the host, or whose element was removed) it walks
// past the top and dereferences null. This definition takes the top of the
// context node's tree, whatever it is: the document, or the fragment. A path
// from the root of an empty document then selects what is there (nothing but the
// document node and any comments or processing instructions), so count(//*) is 0.
//
// How it takes effect: as node_set_growth.cpp says; the mangled name is in
// cmake/qvxml.map and cmake/dependency_overrides.txt.
#pragma GCC visibility push(default)
#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/XPath/MutableNodeRefList.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathExecutionContext.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#pragma GCC visibility pop

namespace XALAN_CPP_NAMESPACE {

XPath::OpCodeMapPositionType XPath::findRoot(XPathExecutionContext&, XalanNode* context,
                                             OpCodeMapPositionType opPos, OpCodeMapValueType,
                                             MutableNodeRefList& subQueryResults) const {
    XalanNode* root = context;
    while (XalanNode* parent = DOMServices::getParentOfNode(*root)) root = parent;
    subQueryResults.addNode(root);
    subQueryResults.setDocumentOrder();
    return opPos + getExpression().getOpCodeArgumentLength(opPos) + 3;
}

}  // namespace XALAN_CPP_NAMESPACE
