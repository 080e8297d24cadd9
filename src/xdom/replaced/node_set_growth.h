// Geometric growth for Xalan-C++'s node-set vector (XalanVector<XalanNode*>).
//
// Xalan 1.12 grows that vector by exactly the inserted count when it inserts,
// so every node appended to a node-set copies the whole set: a path over N
// nodes costs O(N^2). node_set_growth.cpp defines the one member that does it,
// insert(position, count, value), and exports it from libqvxml.so; Xalan calls
// it through its PLT, so the definition here is the one its own code runs.
#pragma once

#include <cstddef>

#include <xalanc/Include/XalanVector.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>

namespace XALAN_CPP_NAMESPACE {

// Declared here so that every caller of ours binds to the definition in
// node_set_growth.cpp instead of instantiating the header's own.
template <>
__attribute__((visibility("default"))) void
XalanVector<XalanNode*, MemoryManagedConstructionTraits<XalanNode*>>::insert(
    XalanNode** position, size_type count, XalanNode* const& value);

}  // namespace XALAN_CPP_NAMESPACE

namespace qv {

// What the node-set insert has done since the process started: how often it
// had to move a set to a larger block, and how many nodes those moves copied.
// Linear growth shows as `copied` staying below a small multiple of the nodes
// appended; the inherited behaviour copies about n^2/2 for n appends.
struct NodeSetGrowth {
    unsigned long inserts = 0;
    unsigned long reallocations = 0;
    unsigned long copied = 0;
};
NodeSetGrowth nodeSetGrowth();

}  // namespace qv
