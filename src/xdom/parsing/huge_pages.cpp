#include "xdom/parsing/huge_pages.h"

#include <cstdint>

#include <sys/mman.h>

namespace qv {
namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
}  // namespace

std::size_t hugeLength(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

void* mapHuge(std::size_t bytes, std::size_t& length) {
    length = hugeLength(bytes);
    // One huge page more than needed, then the unaligned ends are given back.
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t end = start + length + kHugePage;
    if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
    return reinterpret_cast<void*>(aligned);
}

void unmapHuge(void* block, std::size_t length) { munmap(block, length); }

}  // namespace qv
