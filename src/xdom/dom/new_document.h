// New empty documents with the XML declaration a host's settings record asks for,
// for QV_XDOMCreateRoot and for the documents the mapping engine builds.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include "frame/transcode.h"
#include "frame/xerces_ptr.h"
#include "qvxml.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

namespace qv {

// An empty document (on Xerces' memory manager) declaring the record's encoding name
// (local code page; an empty name declares none) and its standalone flag. A null
// record declares neither.
XercesPtr<XERCES_CPP_NAMESPACE::DOMDocument> newDocument(const QvDocSettings* settings);

// The same declaring version "1.0": the document records are built into.
XercesPtr<XERCES_CPP_NAMESPACE::DOMDocument> newBuiltDocument(const QvDocSettings* settings);

// The encoding name a settings record declares (local code page), null when it
// names none: a field of fixed width that a host may fill to the last byte.
XmlText declaredEncodingOf(const QvDocSettings* settings);

// Sets the encoding named by the XML declaration. The DOM interface only reads it;
// every document of this library is the DOM's own implementation, which also sets it.
void setDeclaredEncoding(XERCES_CPP_NAMESPACE::DOMDocument* document, const XMLCh* encoding);

}  // namespace qv
