#include "xdom/parse_memory.h"

#include <cstdlib>
#include <cstring>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

using namespace xercesc;

namespace qv {
namespace {
// Each block starts with its size, padded to keep the caller's part aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);
}  // namespace

MemoryManager* ParseMemory::getExceptionMemoryManager() {
    return XMLPlatformUtils::fgMemoryManager;
}

void* ParseMemory::allocate(XMLSize_t size) {
    if (budget_ != 0 && held_ + size > budget_) {
        const std::size_t window = window_;
        window_ = budget_ = 0;  // reporting allocates too
        onExceeded_(context_, window);
    }
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw OutOfMemoryException();
    std::memcpy(block, &size, sizeof size);
    held_ += size;
    if (held_ > peak_) peak_ = held_;
    return block + kHeader;
}

void ParseMemory::deallocate(void* p) {
    if (!p) return;
    unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
    std::size_t size;
    std::memcpy(&size, block, sizeof size);
    held_ -= size;
    std::free(block);
}

}  // namespace qv
