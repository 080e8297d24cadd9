// The XPath view of a document still in its compact form, built straight from the
// document's kept bytes by the scanner: node for node the view the DOM of those
// bytes would give (xpath_context.cpp), without building the DOM. Queries and
// transformations that hand back no node of the document use it when the compact
// tree cannot tell every node (tree_nodes.h); the first export that needs the DOM
// drops it (QvHandle_::domNode).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <xalanc/Include/PlatformDefinitions.hpp>

#include "xdom/parsing/content_sink.h"

namespace XALAN_CPP_NAMESPACE {
class XalanNode;
class XalanSourceTreeDocument;
class XalanSourceTreeElement;
}

namespace qv {

class ScannedViewBuilder : public ContentSink {
public:
    // `hideFirstPI`: leave out the first document-level processing instruction, as
    // the view of the DOM does once it has been set aside (set_aside_pi.h).
    ScannedViewBuilder(xalanc::XalanSourceTreeDocument& tree, bool hideFirstPI);

    void startElement(const XMLCh* uri, const XMLCh* local, const XMLCh* qname,
                      const std::vector<ScannedAttribute>& attributes, const void*) override;
    void endElement() override;
    void characters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void comment(const XMLCh* text) override;
    void processingInstruction(const XMLCh* target, const XMLCh* data) override;

private:
    struct Level {
        xalanc::XalanSourceTreeElement* element;  // null: the document
        xalanc::XalanNode* last;                  // its last child so far
    };

    // The DOM joins adjacent text into one node but keeps each CDATA section a node
    // of its own: text waits here until something else arrives.
    void flushText();

    xalanc::XalanSourceTreeDocument& tree_;
    std::vector<Level> levels_;
    std::u16string text_;
    bool hasText_ = false;
    bool hidePI_;
};

}  // namespace qv
