// A parsed document held in its compact form: the compact tree and the document's
// bytes, from which the Xerces DOM is built on first need (QvHandle_::domNode).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/handle.h"
#include "xdom/parsing/huge_pages.h"
#include "frame/transcode.h"

namespace qv {

class ContentSink;

struct CompactDocument {
    std::unique_ptr<CompactTree> tree = std::make_unique<CompactTree>();
    std::vector<XMLByte, HugePageAllocator<XMLByte>> bytes;  // the document as it was read
    XmlText systemId;                  // the name the parser knew the document by
    // Text given in memory: the folder that was current at the open, where the
    // resources it names (a DTD) were found; every later parse looks there too.
    std::string folder;
    // Whether the open validated against the document's DTD (the tool reads the
    // sources of a transformation without); every later parse does the same.
    bool validates = true;
};

// The DOM of the kept bytes, parsed again with the parser the document was opened
// with (parse.cpp). Returns the parse status (0: `dom` holds the document); a
// failure has been reported, and `kept` is untouched either way.
int parseKept(const CompactDocument& kept, DomForm& dom);

// Scans the kept bytes again with the same parser, handing the content to `sink`.
// Throws, after reporting why, when the bytes no longer parse (an outside resource
// changed).
void scanKept(const CompactDocument& kept, ContentSink& sink);

}  // namespace qv
