// A look at a stylesheet before Xalan-C++ compiles it. Xalan builds and runs
// stylesheets recursively: deeply nested elements take it minutes or end in a stack
// overflow, and so do XPath expressions in its attributes that the query exports
// would refuse.
#pragma once

#include <string>

namespace qv {

// Why the stylesheet may not be handed to Xalan ("" when it may): elements nested
// deeper than limits::kMaxStylesheetDepth, an XSLT instruction's attribute that
// expressionProblem() refuses, or an attribute value template of a literal element
// nested deeper than limits::kMaxExpressionNesting, or a call of an "evaluate"
// extension function (extension_functions.h). `stylesheet` is the text itself
// or, when isText is false, a file name or URI. A stylesheet that does not parse
// passes: Xalan reports that itself. Included and imported stylesheets are not read
// here: transform_sources reads each and checks it with this.
std::string stylesheetProblem(const char* stylesheet, bool isText);

}  // namespace qv
