// Writing a document still in its compact form without building its DOM: the kept
// bytes are scanned once more and each piece of content is written as it arrives,
// byte for byte as the DOM writer (serialize.h) writes the DOM the same bytes
// would give, under the same settings.
#pragma once

#include <string>

#include <xercesc/util/XercesDefs.hpp>

#include "qvxml.h"

struct QvHandle_;

namespace qv {

// Writes the document handle `doc`, which is in its compact form; arguments as for
// serializeNode. Returns false, having kept nothing of its output (text cleared,
// the file left to be written over), when it cannot write what the DOM writer
// would: an encoding or character it cannot write, a section it cannot split, or
// no compact tree to consult. The DOM writer then writes the document and reports
// whatever fails. Throws, after reporting why, when the kept bytes no longer parse.
bool writeCompact(QvHandle_* doc, const XMLCh* encoding, const QvDocSettings* settings,
                  const char* fileName, std::string* text);

}  // namespace qv
