// A document held in its compact form: the compact tree and, for a parsed document,
// its bytes, from which the Xerces DOM is built on first need (QvHandle_::domNode).
// A document built from records has no bytes: its DOM is made from the tree.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/compact/compact_tree.h"
#include "xdom/handle.h"
#include "xdom/parsing/huge_pages.h"
#include "frame/transcode.h"
#include "frame/xerces_ptr.h"
#include "qvxml.h"

namespace qv {

class ContentSink;

// The DOM of a document built in its compact form, made from the tree on first need
// with the declaration of the settings it was built under, and shared by every
// handle over that build: what one of them edits, the others see.
struct MadeDom {
    std::optional<QvDocSettings> settings;
    DomForm dom;  // once made
};

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
    // Set for a document built rather than parsed (no bytes).
    std::shared_ptr<MadeDom> made;
};

// The DOM of the kept bytes, parsed again with the parser the document was opened
// with (parse.cpp). Returns the parse status (0: `dom` holds the document); a
// failure has been reported, and `kept` is untouched either way.
int parseKept(const CompactDocument& kept, DomForm& dom);

// The DOM of a document built rather than parsed, made node by node from its tree
// as the builder's calls on the DOM would have made it (no text joined, nothing
// normalized).
XercesPtr<XERCES_CPP_NAMESPACE::DOMDocument> domOfTree(const CompactTree& tree,
                                                       const QvDocSettings* settings);

// Scans the kept bytes again with the same parser, handing the content to `sink`.
// Throws, after reporting why, when the bytes no longer parse (an outside resource
// changed).
void scanKept(const CompactDocument& kept, ContentSink& sink);

}  // namespace qv
