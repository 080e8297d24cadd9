// Replaces XalanVector<XalanNode*>::insert(iterator, size_type, const value_type&)
// of Xalan-C++ 1.12 (xalanc/Include/XalanVector.hpp).
//
// Why: the original reserves exactly size() + count when the vector is full, so
// each append of one node to a full node-set allocates a new block and copies
// the whole set. XPath's step loop adds every result node that way
// (MutableNodeRefList::addNodeInDocOrder -> insert(end(), 1, node)), which
// makes any path over N nodes O(N^2): count(/a/b/c) over 150,000 c takes
// seconds. This definition keeps the same results (same order, same elements,
// same exceptions from the memory manager) and grows the block geometrically,
// so appends are amortised O(1).
//
// How it takes effect: libxalan-c.so calls this member through its PLT (its
// own copy is a weak, exported template instance), and libqvxml.so exports
// this one (cmake/qvxml.map and cmake/dependency_overrides.txt, checked by
// tests/check_exports.sh). The dynamic
// linker resolves Xalan's call to the first definition in the lookup order,
// which is ours both when a host links libqvxml.so (it precedes its
// dependency libxalan-c.so) and when it loads it with dlopen(RTLD_LOCAL) (the
// dlopened library leads its own local scope). A host that links
// libxalan-c.so itself ahead of libqvxml.so keeps Xalan's own copy.
#include "xdom/replaced/node_set_growth.h"

#include <algorithm>
#include <cstring>

namespace {

qv::NodeSetGrowth growth;

}  // namespace

namespace XALAN_CPP_NAMESPACE {

template <>
__attribute__((visibility("default"))) void
XalanVector<XalanNode*, MemoryManagedConstructionTraits<XalanNode*>>::insert(
    XalanNode** position, size_type count, XalanNode* const& value) {
    ++growth.inserts;
    if (count == 0) return;
    // `value` may point into this vector: read it before anything moves.
    XalanNode* const node = value;
    const size_type offset = static_cast<size_type>(position - m_data);
    const size_type total = m_size + count;

    if (total > m_allocation) {
        // Grow by half again (at least to the total), like Xalan's push_back.
        const size_type wanted = m_allocation + m_allocation / 2 + 1;
        const size_type allocation = std::max(total, wanted);
        XalanNode** fresh = allocate(allocation);
        if (offset > 0) std::memcpy(fresh, m_data, offset * sizeof(XalanNode*));
        std::fill(fresh + offset, fresh + offset + count, node);
        if (m_size > offset)
            std::memcpy(fresh + offset + count, m_data + offset,
                        (m_size - offset) * sizeof(XalanNode*));
        if (m_data) deallocate(m_data);
        m_data = fresh;
        m_allocation = allocation;
        ++growth.reallocations;
        growth.copied += m_size;
    } else {
        if (m_size > offset)
            std::memmove(m_data + offset + count, m_data + offset,
                         (m_size - offset) * sizeof(XalanNode*));
        std::fill(m_data + offset, m_data + offset + count, node);
    }
    m_size = total;
}

}  // namespace XALAN_CPP_NAMESPACE

namespace qv {

NodeSetGrowth nodeSetGrowth() { return growth; }

}  // namespace qv
