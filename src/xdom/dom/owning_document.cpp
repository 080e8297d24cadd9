#include "xdom/dom/owning_document.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

using namespace xercesc;

namespace qv {

DOMDocument* owningDocument(const QvHandle_* h) {
    DOMNode* node = h->node;
    if (!node) return h->isDocument ? h->document : nullptr;
    if (node->getNodeType() == DOMNode::DOCUMENT_NODE) return static_cast<DOMDocument*>(node);
    return node->getOwnerDocument();
}

}  // namespace qv
