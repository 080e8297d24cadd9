#include "xdom/dom/owning_document.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMNode.hpp>

using namespace xercesc;

namespace qv {

DOMDocument* owningDocument(QvHandle_* h) {
    DOMNode* node = h->domNode();
    if (!node) return nullptr;
    if (node->getNodeType() == DOMNode::DOCUMENT_NODE) return static_cast<DOMDocument*>(node);
    return node->getOwnerDocument();
}

}  // namespace qv
