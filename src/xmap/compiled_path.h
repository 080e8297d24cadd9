// A mapping path as both roads use it: split into steps once, when the mapping is
// loaded, with every name already in UTF-16 and every prefix resolved to its
// namespace URI. Reading follows the steps to find nodes and values; writing
// follows the same steps to find or make them.
//
// The text forms stay in the model (messages, the description, the loader's
// checks); compilePaths() (paths.h) fills these from them. Which form a part takes
// depends on where it stands:
//   - a node path (a start path, or a column part that has a lower part below it)
//     ends at an element: its last step is an element name, or "."/".."/"" which
//     stay or climb;
//   - a value path (the lowest part of a column, or the key path of a child key
//     into a multivalued parent key) ends at the value: "text()", "xmldata()", an
//     "@" attribute, or the name of a child element holding the text.
// A leading "/" is dropped: paths are followed from the node they are given.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/transcode.h"

namespace qv {

struct PathStep {
    enum class Kind : std::uint8_t {
        Element,    // a child element of that name (inner steps: the first match)
        Self,       // "." (and an empty last step of a node path)
        Parent,     // ".."
        Text,       // "text()", last step of a value path
        XmlData,    // "xmldata()", last step of a value path
        Attribute,  // "@name", last step of a value path
    };
    Kind kind = Kind::Element;
    // Element and Attribute: the local name, the namespace URI the prefix stands for
    // (null without a prefix) and the name as written, prefix included, for making
    // the node.
    XmlText local;
    XmlText uri;
    XmlText qualified;
    bool prefixed = false;

    bool names() const { return kind == Kind::Element || kind == Kind::Attribute; }
};

struct CompiledPath {
    bool present = false;  // false: the text form is absent
    std::vector<PathStep> steps;

    // The step that same-named siblings are scanned by: the last step when it names
    // elements, else none.
    const PathStep* siblingStep() const {
        return !steps.empty() && steps.back().kind == PathStep::Kind::Element ? &steps.back()
                                                                               : nullptr;
    }
};

}  // namespace qv
