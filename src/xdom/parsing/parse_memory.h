// The memory manager of one parser and its document. While a parse runs it lets the
// memory held grow by at most a window between two checkpoints; the parser sets a
// checkpoint at every piece of content it delivers. The tree may grow as large as
// the document makes it, but nothing the scanner holds before delivering it (the
// expanded attribute values of one start tag, above all) may pass the window.
#pragma once

#include <cstddef>

#include <xercesc/framework/MemoryManager.hpp>

namespace qv {

class ParseMemory : public XERCES_CPP_NAMESPACE::MemoryManager {
public:
    // Called once when a request would pass the window; must throw.
    using OnExceeded = void (*)(void* context, std::size_t window);

    ParseMemory(OnExceeded onExceeded, void* context) : onExceeded_(onExceeded), context_(context) {}
    ~ParseMemory() override;  // frees whatever is still held
    ParseMemory(const ParseMemory&) = delete;
    ParseMemory& operator=(const ParseMemory&) = delete;
    struct Block;

    // 0: no bound (after the parse: the host may grow the document at will).
    void setWindow(std::size_t bytes) {
        window_ = bytes;
        checkpoint();
    }
    void checkpoint() { budget_ = window_ ? held_ + window_ : 0; }
    std::size_t held() const { return held_; }
    std::size_t peak() const { return peak_; }

    XERCES_CPP_NAMESPACE::MemoryManager* getExceptionMemoryManager() override;
    void* allocate(XMLSize_t size) override;
    void deallocate(void* p) override;

private:
    Block* blocks_ = nullptr;
    OnExceeded onExceeded_;
    void* context_;
    std::size_t window_ = 0;
    std::size_t budget_ = 0;
    std::size_t held_ = 0;
    std::size_t peak_ = 0;
};

}  // namespace qv
