// What a scan that builds no DOM hands a document's content to, in document order,
// with the DOM parser's view of it: the element's attributes as the DOM holds them,
// text outside the document element dropped, entities already expanded. The parser's
// one output besides its own DOM (the compact tree's builder is one).
#pragma once

#include <vector>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/parsing/scanned_attributes.h"

namespace qv {

class ContentSink {
public:
    virtual ~ContentSink() = default;

    // `qname`: the element's qualified name; `uri`: its namespace URI (empty for none),
    // a pointer that stays the same for one URI for the whole scan. `nameKey` is the
    // same for every element of a name (with the same `uri`) in one scan, so a sink
    // may cache what it makes of the name under it; elements of other names may share
    // it, so the name is compared too.
    virtual void startElement(const XMLCh* uri, const XMLCh* local, const XMLCh* qname,
                              const std::vector<ScannedAttribute>& attributes,
                              const void* nameKey) = 0;
    virtual void endElement() = 0;
    // Content inside the document element; a CDATA section comes in one piece.
    virtual void characters(const XMLCh* chars, XMLSize_t length, bool cdataSection) = 0;
    virtual void comment(const XMLCh* text) = 0;
    virtual void processingInstruction(const XMLCh* target, const XMLCh* data) = 0;
};

}  // namespace qv
