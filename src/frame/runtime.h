// One-time start of Xerces-C++ and Xalan-C++. Started lazily, never terminated.
#pragma once

namespace qv {

// Starts the parser and XPath runtimes. On failure reports code 17 and returns false.
bool initXmlRuntime();
// Starts the transformer runtime (after initXmlRuntime). Reports 17 and returns false on failure.
bool initXsltRuntime();

bool parserRuntimeStarted();
bool xpathRuntimeStarted();
bool xsltRuntimeStarted();

}  // namespace qv
