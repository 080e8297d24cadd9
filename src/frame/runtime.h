// One-time start of Xerces-C++ and Xalan-C++. Started lazily, never terminated.
#pragma once

namespace qv {

// What an export needs started before its body runs.
enum class Runtime {
    None,
    Xml,   // the parser and the XPath runtime
    Xslt,  // the transformer too
};

// Starts what `runtime` names (once). On failure reports code 17 and returns false.
bool startRuntime(Runtime runtime);

}  // namespace qv
