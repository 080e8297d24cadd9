// Large blocks of memory mapped on their own and aligned for transparent huge pages,
// so that a system that gives them to every mapping can. They are not asked for
// (madvise): where the kernel then compacts memory to find them, a fragmented machine
// took up to 2 s to fault in 900 MB that small pages fault in within 0.3 s.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace qv {

// Blocks from this size on are mapped; smaller ones come from malloc.
constexpr std::size_t kMapFrom = std::size_t(1) << 20;

// A mapping of at least `bytes`, 2 MiB aligned; sets `length` to what must be given
// back to unmapHuge. Null when the system has no memory for it.
void* mapHuge(std::size_t bytes, std::size_t& length);
void unmapHuge(void* block, std::size_t length);
// The length mapHuge maps for `bytes`.
std::size_t hugeLength(std::size_t bytes);

// An allocator for the large arrays of a tree: mapped blocks from kMapFrom bytes.
template <class T>
struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) {}

    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        void* p;
        if (bytes >= kMapFrom) {
            std::size_t length;
            p = mapHuge(bytes, length);
        } else {
            p = std::malloc(bytes ? bytes : 1);
        }
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= kMapFrom) {
            unmapHuge(p, hugeLength(bytes));
        } else {
            std::free(p);
        }
    }
    template <class U>
    bool operator==(const HugePageAllocator<U>&) const { return true; }
    template <class U>
    bool operator!=(const HugePageAllocator<U>&) const { return false; }
};

}  // namespace qv
