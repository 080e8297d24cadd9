#include "xdom/parsing/parse_memory.h"

#include "xdom/parsing/huge_pages.h"

#include <cstdint>
#include <cstdlib>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

using namespace xercesc;

namespace qv {

// Every block is linked into the manager's list, so that what the parser itself
// leaves behind (Xerces-C++ 3.2.4 drops a declaration for every external DTD it
// scans) is freed with the parser instead of leaking once per document.
struct ParseMemory::Block {
    Block* prev;
    Block* next;
    std::size_t size;
    std::size_t mapped;  // length of the mapping; 0 for a block from malloc
};

namespace {
// The header keeps the caller's part aligned for any type.
constexpr std::size_t kHeader =
    (sizeof(ParseMemory::Block) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
    alignof(std::max_align_t);

// Large blocks (the tree's heap blocks) are mapped on their own (huge_pages.h).
ParseMemory::Block* mapBlock(std::size_t bytes) {
    std::size_t length = 0;
    auto* block = static_cast<ParseMemory::Block*>(mapHuge(bytes, length));
    if (block) block->mapped = length;
    return block;
}

void freeBlock(ParseMemory::Block* block) {
    if (block->mapped)
        unmapHuge(block, block->mapped);
    else
        std::free(block);
}

}  // namespace

ParseMemory::~ParseMemory() {
    while (blocks_) {
        Block* next = blocks_->next;
        freeBlock(blocks_);
        blocks_ = next;
    }
}

MemoryManager* ParseMemory::getExceptionMemoryManager() {
    return XMLPlatformUtils::fgMemoryManager;
}

void* ParseMemory::allocate(XMLSize_t size) {
    if (budget_ != 0 && held_ + size > budget_) {
        const std::size_t window = window_;
        window_ = budget_ = 0;  // reporting allocates too
        onExceeded_(context_, window);
    }
    Block* block = nullptr;
    if (size >= kMapFrom) {
        block = mapBlock(size + kHeader);
    } else if ((block = static_cast<Block*>(std::malloc(size + kHeader)))) {
        block->mapped = 0;
    }
    if (!block) throw OutOfMemoryException();
    block->prev = nullptr;
    block->next = blocks_;
    block->size = size;
    if (blocks_) blocks_->prev = block;
    blocks_ = block;
    held_ += size;
    if (held_ > peak_) peak_ = held_;
    return reinterpret_cast<unsigned char*>(block) + kHeader;
}

void ParseMemory::deallocate(void* p) {
    if (!p) return;
    auto* block = reinterpret_cast<Block*>(static_cast<unsigned char*>(p) - kHeader);
    if (block->prev)
        block->prev->next = block->next;
    else
        blocks_ = block->next;
    if (block->next) block->next->prev = block->prev;
    held_ -= block->size;
    freeBlock(block);
}

}  // namespace qv
