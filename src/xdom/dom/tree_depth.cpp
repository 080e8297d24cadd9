#include "xdom/dom/tree_depth.h"

#include <string>

#include <xercesc/dom/DOMNode.hpp>

#include "frame/limits.h"

namespace qv {

bool deeperThan(const xercesc::DOMNode* node, std::size_t levels) {
    if (!node) return false;
    std::size_t depth = 0;
    const xercesc::DOMNode* n = node;
    for (;;) {
        if (const xercesc::DOMNode* child = n->getFirstChild()) {
            if (++depth > levels) return true;
            n = child;
            continue;
        }
        while (n != node && !n->getNextSibling()) {
            n = n->getParentNode();
            --depth;
        }
        if (n == node) return false;
        n = n->getNextSibling();
    }
}

bool tooDeepToWalk(const xercesc::DOMNode* node) {
    return deeperThan(node, limits::kMaxElementDepth + 1);
}

const char* tooDeepMessage(const char* op) {
    static std::string message;
    message = std::string(op) + ": elements are nested deeper than " +
              std::to_string(limits::kMaxElementDepth) +
              " levels; the tree is not walked, to protect the host's stack";
    return message.c_str();
}

}  // namespace qv
