// The Xalan-C++ view of a document handle's tree, shared by XPath and XSLT.
#pragma once

#include "xdom/handle.h"

namespace qv {

struct XPathContext {
    // Filled in by the XPath layer.
};

}  // namespace qv
