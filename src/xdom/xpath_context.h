// The Xalan-C++ view of a document handle's tree, shared by XPath and XSLT.
//
// The view is built in full (every node wrapped and mapped) because a lazily
// mapped view makes each XPath step rescan the tree. A full view does not see
// later edits, so it remembers the document's change count it was built at and
// is rebuilt on the next use after an edit.
#pragma once

#include <memory>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XercesParserLiaison/XercesDOMSupport.hpp>
#include <xalanc/XercesParserLiaison/XercesParserLiaison.hpp>

#include "xdom/handle.h"
#include "xdom/namespace_map.h"

namespace XALAN_CPP_NAMESPACE {
class XalanDocument;
class XalanNode;
class XercesDocumentWrapper;
}

namespace qv {

struct XPathContext {
    XPathContext();
    ~XPathContext();

    // The view; the support refers to the liaison, which owns the Xalan document
    // and its wrapper. Members are destroyed in reverse order: support first.
    std::unique_ptr<xalanc::XercesParserLiaison> liaison;
    std::unique_ptr<xalanc::XercesDOMSupport> support;
    xalanc::XalanDocument* document = nullptr;
    xalanc::XercesDocumentWrapper* wrapper = nullptr;
    unsigned long builtAt = 0;  // the document handle's change count at the build

    // Namespace maps outlive rebuilds of the view: they belong to the document.
    NamespaceMaps namespaces;
};

// The up-to-date view of the document of h (any handle), built on first use
// (which also detaches the document's first document-level processing
// instruction) and rebuilt when the document changed since. Throws on failure.
XPathContext& currentXPathContext(QvHandle_* h);

// The Xalan node standing for the node of h: the Xalan document for a document
// handle. Null when the node is not part of the document's tree.
xalanc::XalanNode* xalanNodeOf(XPathContext& context, QvHandle_* h);

}  // namespace qv
