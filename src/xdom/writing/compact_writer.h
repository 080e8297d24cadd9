// Writing a document still in its compact form without building its DOM: from the
// compact tree (its elements, attributes, texts and the pieces between them), or,
// where the tree cannot tell everything, by scanning the kept bytes once more and
// writing each piece of content as it arrives; either way byte for byte as the DOM
// writer (serialize.h) writes the DOM the same bytes would give, under the same
// settings.
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
// `road`: the tests hold both roads to the DOM writer's bytes.
enum class CompactRoad { TreeWherePossible, Scan };
bool writeCompact(QvHandle_* doc, const XMLCh* encoding, const QvDocSettings* settings,
                  const char* fileName, std::string* text,
                  CompactRoad road = CompactRoad::TreeWherePossible);

}  // namespace qv
