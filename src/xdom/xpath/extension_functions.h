// The extension functions a transformation may call. Starting XSLT installs
// Xalan-C++'s extension functions process-wide; two kinds cannot be allowed:
// "evaluate" (Xalan's and EXSLT's dynamic one) compiles and runs an expression
// built at run time, past every check the library makes on expressions, and
// str:padding builds a text of any length from one number before any budget can
// look at it.
#pragma once

namespace qv {

// Namespaces and name of the functions that evaluate text as an expression.
extern const char16_t kXalanExtensionsNamespace[];
extern const char16_t kExsltDynamicNamespace[];
extern const char16_t kEvaluateFunction[];

// Removes both "evaluate" functions, holds str:padding to
// limits::kMaxTransformOutput characters and puts a generate-id() whose ids are
// names (a letter, then letters and digits) in place of Xalan's, and corrects the
// core functions as below. Call once the XSLT runtime has started;
// later calls do nothing.
void restrictExtensionFunctions();

// Puts a lang() that asks the nearest xml:lang (Xalan's matches any ancestor's) in
// place of Xalan's, for queries and transformations. Call once the XPath runtime
// has started; later calls do nothing.
void correctCoreFunctions();

}  // namespace qv
