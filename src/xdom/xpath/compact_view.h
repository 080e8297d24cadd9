// A source-tree copy of a compact tree: node for node the view its DOM would give
// (xpath_context.cpp), with neither the DOM nor a second scan of the document's
// bytes. The first document-level processing instruction is left out, as the DOM's
// view sets it aside. Queries run over the tree itself (tree_nodes.h), which answers
// as this copy does; the copy is the reference it is checked against.
#pragma once

#include <xalanc/Include/PlatformDefinitions.hpp>

namespace XALAN_CPP_NAMESPACE {
class XalanSourceTreeDocument;
}

namespace qv {

class CompactTree;

// Builds the view of `tree` into the empty source tree `view`.
void buildCompactView(const CompactTree& tree, xalanc::XalanSourceTreeDocument& view);

}  // namespace qv
