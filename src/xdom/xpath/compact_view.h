// The XPath view of a document still in its compact form, built from its compact
// tree: node for node the view its DOM would give (xpath_context.cpp), with neither
// the DOM nor a second scan of the document's bytes. The first document-level
// processing instruction is left out, as the DOM's view sets it aside.
#pragma once

#include <xalanc/Include/PlatformDefinitions.hpp>

namespace XALAN_CPP_NAMESPACE {
class XalanSourceTreeDocument;
}

namespace qv {

class CompactTree;

// Whether the tree tells every node of the view (else the view is scanned from the
// document's bytes, scanned_view.h).
bool compactViewPossible(const CompactTree& tree);

// Builds the view of `tree` into the empty source tree `view`.
void buildCompactView(const CompactTree& tree, xalanc::XalanSourceTreeDocument& view);

}  // namespace qv
