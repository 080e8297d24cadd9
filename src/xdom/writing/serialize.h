// Writing a node as XML text with the Xerces-C++ LS serializer.
#pragma once

#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "frame/boundary.h"
#include "qvxml.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

// How QV_XDOMWrite and the writer report what they catch.
constexpr ExportOptions kWriteOptions = domExport("XDOMWrite").fallsBackTo(
    Error::Failure, "Unexpected failure while writing the XML text");

// Writes `node`. encoding: used when settings are absent or name no
// output encoding. settings: null for the defaults (pretty print, split CDATA, discard
// default content, no byte order mark). fileName: null writes into *text.
// Returns false after reporting the failure in the error state.
bool serializeNode(XERCES_CPP_NAMESPACE::DOMNode* node, const XMLCh* encoding,
                   const QvDocSettings* settings, const char* fileName, std::string* text);

}  // namespace qv
