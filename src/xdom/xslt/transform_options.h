// What a caller inside the process (the qvxml tool) can add to the transformations
// it runs, beyond what QV_XDOMTransform takes: stylesheet parameters, the file the
// source document was read from, and a reader for the stylesheet's messages and
// Xalan's warnings. Not an export: a host of the binary interface runs without
// them, as the interface describes.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv {

struct TransformParameter {
    std::string name;   // a QName, in host text
    std::string value;  // an XPath expression, or the string itself when isText
    bool isText = false;
};

struct TransformOptions {
    std::vector<TransformParameter> parameters;
    // The file the source document was read from: document() resolves relative
    // names from the source against it, and may read inside its folder.
    std::string sourceFile;
    // Receives each xsl:message (its text) and each warning of Xalan (one line
    // with where it arose), in host text; unset: they are dropped.
    std::function<void(const std::string&)> notice;
};

// While alive, the QV_XDOMTransform calls of this thread run with `options`.
class UseTransformOptions {
public:
    explicit UseTransformOptions(const TransformOptions& options);
    ~UseTransformOptions();
    UseTransformOptions(const UseTransformOptions&) = delete;
    UseTransformOptions& operator=(const UseTransformOptions&) = delete;

private:
    const TransformOptions* previous_;
};

// The options in force on this thread (empty ones when none were given).
const TransformOptions& transformOptions();

}  // namespace qv
