#include "xdom/writing/cdata_split.h"

#include <vector>

#include <xercesc/dom/DOMCDATASection.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMDocumentFragment.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMNode.hpp>

using namespace xercesc;

namespace qv {
namespace {

bool holdsCdataEnd(const XMLCh* s) {
    for (; s && *s; ++s)
        if (s[0] == u']' && s[1] == u']' && s[2] == u'>') return true;
    return false;
}

}  // namespace

std::vector<std::basic_string<XMLCh>> splitAtCdataEnds(const XMLCh* data) {
    std::vector<std::basic_string<XMLCh>> pieces(1);
    for (const XMLCh* s = data; s && *s; ++s) {
        if (s[0] == u']' && s[1] == u']' && s[2] == u'>') {
            pieces.back().append(s, 2);
            pieces.emplace_back();
            ++s;  // the ">" starts the next piece
            continue;
        }
        pieces.back().push_back(*s);
    }
    return pieces;
}

CdataSplit::CdataSplit(DOMNode* root, bool enabled, std::size_t maxDepth) : toWrite_{root} {
    if (!root) return;
    if (root->getNodeType() == DOMNode::CDATA_SECTION_NODE) {
        if (!enabled) return;
        // Its pieces cannot become its siblings: they would fall outside the write.
        if (!holdsCdataEnd(root->getNodeValue())) return;
        DOMDocument* doc = root->getOwnerDocument();
        DOMDocumentFragment* fragment = doc->createDocumentFragment();
        fragment_.reset(fragment);
        toWrite_.clear();
        for (const auto& piece : splitAtCdataEnds(root->getNodeValue()))
            toWrite_.push_back(fragment->appendChild(doc->createCDATASection(piece.c_str())));
        return;
    }
    try {
        walk(root, enabled, maxDepth);
    } catch (...) {
        for (auto it = cuts_.rbegin(); it != cuts_.rend(); ++it) restore(*it);
        throw;
    }
    if (tooDeep_) {
        for (auto it = cuts_.rbegin(); it != cuts_.rend(); ++it) restore(*it);
        cuts_.clear();
    }
}

void CdataSplit::walk(DOMNode* root, bool enabled, std::size_t maxDepth) {
    // Without recursion: trees may be deep. The ancestors are kept on a stack of our
    // own: getParentNode costs a dynamic_cast in Xerces, once for every node.
    std::vector<DOMNode*> above{root};  // those of n, the root first
    DOMNode* n = root->getFirstChild();
    if (n && above.size() > maxDepth) {
        tooDeep_ = true;
        return;
    }
    while (n) {
        if (enabled && n->getNodeType() == DOMNode::CDATA_SECTION_NODE && holdsCdataEnd(n->getNodeValue())) {
            cut(static_cast<DOMCharacterData*>(static_cast<DOMCDATASection*>(n)));
            n = static_cast<DOMNode*>(cuts_.back().added.empty() ? n : cuts_.back().added.back());
        }
        if (DOMNode* child = n->getFirstChild()) {
            above.push_back(n);
            if (above.size() > maxDepth) {
                tooDeep_ = true;
                return;
            }
            n = child;
            continue;
        }
        while (n != root && !n->getNextSibling()) {
            n = above.back();
            above.pop_back();
        }
        n = n != root ? n->getNextSibling() : nullptr;
    }
}

void CdataSplit::cut(DOMCharacterData* section) {
    Cut c{section, section->getData(), {}};
    std::vector<std::basic_string<XMLCh>> pieces = splitAtCdataEnds(c.original.c_str());
    try {
        section->setData(pieces[0].c_str());
        cuts_.push_back(std::move(c));
    } catch (const DOMException&) {
        return;  // read-only (inside an entity reference): left to the writer
    }
    Cut& done = cuts_.back();
    DOMDocument* doc = section->getOwnerDocument();
    DOMNode* parent = section->getParentNode();
    DOMNode* after = section->getNextSibling();
    for (size_t i = 1; i < pieces.size(); ++i)
        done.added.push_back(parent->insertBefore(doc->createCDATASection(pieces[i].c_str()), after));
}

void CdataSplit::restore(Cut& c) noexcept {
    try {
        for (DOMNode* added : c.added) c.section->getParentNode()->removeChild(added)->release();
        c.section->setData(c.original.c_str());
    } catch (...) {
    }
}

CdataSplit::~CdataSplit() {
    for (auto it = cuts_.rbegin(); it != cuts_.rend(); ++it) restore(*it);
    fragment_.reset();
}

}  // namespace qv
