// Xerces-C++ 3.2 drops the "]]>" of a CDATA section it splits ("x]]>y" comes out
// as <![CDATA[x]]><![CDATA[y]]>, which reads back as "xy"). For the length of one
// write, sections holding "]]>" are cut into adjacent sections between "]]" and
// ">", which the writer copies faithfully and which read back as the same text.
// The same walk tells whether the tree is nested too deep to be written, so that a
// write walks the tree once before the writer does.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "frame/xerces_ptr.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
class DOMCharacterData;
XERCES_CPP_NAMESPACE_END

namespace qv {

class CdataSplit {
public:
    // enabled: the writer splits sections (otherwise it refuses them). A tree with
    // elements nested more than `maxDepth` levels below the root is left as it was,
    // and tooDeep() tells so.
    CdataSplit(XERCES_CPP_NAMESPACE::DOMNode* root, bool enabled, std::size_t maxDepth);
    ~CdataSplit();  // puts every section back as it was
    CdataSplit(const CdataSplit&) = delete;
    CdataSplit& operator=(const CdataSplit&) = delete;

    // The root, or the pieces of the root when it was itself a section to cut, to be
    // written one after the other.
    const std::vector<XERCES_CPP_NAMESPACE::DOMNode*>& nodesToWrite() const { return toWrite_; }
    bool tooDeep() const { return tooDeep_; }

private:
    struct Cut {
        XERCES_CPP_NAMESPACE::DOMCharacterData* section;
        std::basic_string<XMLCh> original;
        std::vector<XERCES_CPP_NAMESPACE::DOMNode*> added;
    };
    void walk(XERCES_CPP_NAMESPACE::DOMNode* root, bool enabled, std::size_t maxDepth);
    void cut(XERCES_CPP_NAMESPACE::DOMCharacterData* section);
    void restore(Cut& c) noexcept;

    std::vector<XERCES_CPP_NAMESPACE::DOMNode*> toWrite_;
    XercesPtr<XERCES_CPP_NAMESPACE::DOMNode> fragment_;  // holds the root's pieces
    std::vector<Cut> cuts_;
    bool tooDeep_ = false;
};

// The pieces of a section's text cut between "]]" and ">" of every "]]>".
std::vector<std::basic_string<XMLCh>> splitAtCdataEnds(const XMLCh* data);

}  // namespace qv
