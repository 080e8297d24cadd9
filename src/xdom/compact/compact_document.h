// A parsed document held in its compact form: the compact tree and the document's
// bytes, from which the Xerces DOM is built on first need (see requireDom).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/parsing/huge_pages.h"
#include "frame/transcode.h"

struct QvHandle_;

namespace qv {

class ContentSink;

struct CompactDocument {
    // Null once the DOM is being built: the tree is let go first, so that the two
    // are never held at once.
    std::unique_ptr<CompactTree> tree = std::make_unique<CompactTree>();
    std::vector<XMLByte, HugePageAllocator<XMLByte>> bytes;  // the document as it was read
    XmlText systemId;                  // the name the parser knew the document by
};

// Scans the kept bytes of the document handle h (in its compact form) again with the
// parser it was opened with, handing the content to `sink`. Throws, after reporting
// why, when the bytes no longer parse (an outside resource changed).
void scanKept(QvHandle_* h, ContentSink& sink);

}  // namespace qv
