// A look at a stylesheet before Xalan-C++ compiles it. Xalan builds and runs
// stylesheets recursively: XPath expressions in its attributes that the query
// exports would refuse take it minutes or end in a stack overflow. (How deep its
// elements nest is bounded by the guarded parser that reads it.)
#pragma once

#include <string>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

namespace qv {

extern const XMLCh kXsltNamespace[];

// Why the stylesheet, as the guarded parser read it, may not be handed to Xalan
// ("" when it may): an XSLT instruction's attribute that expressionProblem()
// refuses, an attribute value template of a literal element nested deeper than
// limits::kMaxExpressionNesting, or a call of an "evaluate" extension function
// (extension_functions.h). Included and imported stylesheets are checked the same
// way as transform_sources reads each.
std::string stylesheetProblem(const xercesc::DOMDocument& stylesheet);

}  // namespace qv
