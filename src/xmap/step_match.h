// Matching nodes against the name steps of a compiled path, the same way on both
// roads and over every tree: a node matches when its local name equals the step's
// and, unless namespaces are ignored, its namespace URI equals the step's (an
// absent URI and an empty one count as equal). Names are compared as UTF-16.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <xercesc/util/XercesDefs.hpp>

#include "xdom/compact/compact_tree.h"
#include "xmap/compiled_path.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMNode;
XERCES_CPP_NAMESPACE_END

namespace qv {

class StepMatcher {
public:
    explicit StepMatcher(bool ignoreNamespaces) : ignoreNamespaces_(ignoreNamespaces) {}

    // An element or attribute against a name step.
    bool matches(const XERCES_CPP_NAMESPACE::DOMNode* node, const PathStep& step) const;
    // A name of a compact tree (or of a draft of one) against a name step.
    bool matches(const CompactTree::Name& name, const PathStep& step) const;
    // The first child element that matches, or null.
    XERCES_CPP_NAMESPACE::DOMNode* firstChild(XERCES_CPP_NAMESPACE::DOMNode* node,
                                              const PathStep& step) const;
    // The next following sibling element that matches, or null.
    XERCES_CPP_NAMESPACE::DOMNode* nextSibling(XERCES_CPP_NAMESPACE::DOMNode* node,
                                               const PathStep& step) const;

private:
    bool ignoreNamespaces_;
};

// The same for the interned names of a tree: whether a name matches a step is
// remembered by the pair (its index, the step, which lives as long as the walk), so
// most checks compare no text. `held(name)` gives the name when it is compared.
class InternedMatcher {
public:
    explicit InternedMatcher(bool ignoreNamespaces) : match_(ignoreNamespaces) {}

    template <class Held>
    bool matches(CompactTree::Index name, const PathStep& step, Held held) const {
        const std::uintptr_t key = reinterpret_cast<std::uintptr_t>(&step);
        Slot& slot = matched_[((key >> 4) * 0x9E3779B1u + name) % kSlots];
        if (slot.step != key || slot.name != name) slot = {key, name, match_.matches(held(name), step)};
        return slot.matches;
    }

private:
    struct Slot {
        std::uintptr_t step = 0;
        CompactTree::Index name = CompactTree::kNone;
        bool matches = false;
    };
    static constexpr std::size_t kSlots = 256;
    const StepMatcher match_;
    mutable std::array<Slot, kSlots> matched_{};
};

}  // namespace qv
