// The record queue of a table class map.
//
// Reading fills a queue at open and hands records out afterwards; writing queues the
// host's records and later walks them per parent record. Both need the records of
// one parent record, in queue order, without scanning the queue from its start.
//
// Records are numbered by arrival (their index) and their texts never move, so a
// text handed to the host stays valid until the queue is freed. While records only
// arrive at the end under parents that never go back (all of reading, and writing
// in arrival order), queue order is arrival order and the records of one parent
// are contiguous: the queue then keeps nothing but each record's text and parent
// (12 bytes a record besides the text), finds a parent's first record by binary
// search and its next one by looking at the neighbour. The first record put
// elsewhere (the writer's ordered insert) turns on explicit links: a chain in
// queue order, a chain per parent and each parent's first and last record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qv {

constexpr uint32_t kNoRecord = 0xFFFFFFFFu;

// Writing state of a record: key matching count and the value and subvalue position
// of the parent key value it belongs to. Kept apart, only for queues that write.
struct KeyPlace {
    int32_t matchCounter = 0;
    int32_t valueNumber = 0;
    int32_t subvalueNumber = 0;
};

// An array that grows by fixed chunks: growing never copies or moves what it holds
// and never needs the old and the new storage at once.
template <class T>
class ChunkedArray {
public:
    T& operator[](uint32_t i) { return chunks_[i / kChunk][i % kChunk]; }
    const T& operator[](uint32_t i) const { return chunks_[i / kChunk][i % kChunk]; }
    // Makes room for index `i` (may throw std::bad_alloc, leaving the array as it was).
    void reserveIndex(uint32_t i) {
        while (chunks_.size() <= i / kChunk) {
            chunks_.reserve(chunks_.size() + 1);
            chunks_.emplace_back(new T[kChunk]);
        }
    }

private:
    static constexpr uint32_t kChunk = 8192;
    std::vector<std::unique_ptr<T[]>> chunks_;
};

class RecordQueue {
public:
    RecordQueue() = default;
    RecordQueue(const RecordQueue&) = delete;
    RecordQueue& operator=(const RecordQueue&) = delete;
    RecordQueue(RecordQueue&&) noexcept = default;
    RecordQueue& operator=(RecordQueue&&) noexcept = default;

    // Copies `length` bytes of text and puts the record at the end of the queue,
    // under `parent` (an index of the parent map's queue, or kNoRecord). The read
    // cursor is set to it when the queue was empty. Returns its index. Throws
    // std::bad_alloc when memory runs out; the queue is then unchanged.
    uint32_t append(const char* text, size_t length, uint32_t parent);

    // Copies the text like append() but puts the record right after `after`
    // (kNoRecord: at the front). The per-parent chain keeps queue order.
    uint32_t insertAfter(uint32_t after, const char* text, size_t length, uint32_t parent);

    // Puts the records in the queue order given (every index once): the chain in
    // queue order and each parent's chain follow it. The cursor stays where it is.
    void setOrder(const std::vector<uint32_t>& order);

    bool empty() const { return count_ == 0; }
    uint32_t size() const { return count_; }
    uint32_t first() const { return linked_ ? head_ : (count_ ? 0 : kNoRecord); }
    uint32_t tail() const { return linked_ ? tail_ : lastQueued(); }
    // The record queued most recently (the parent of records read under it).
    uint32_t lastQueued() const { return count_ ? count_ - 1 : kNoRecord; }

    const char* text(uint32_t index) const { return texts_[index]; }
    uint32_t parentOf(uint32_t index) const { return parents_[index]; }
    // The next record in queue order.
    uint32_t next(uint32_t index) const {
        if (linked_) return next_[index];
        return index + 1 < count_ ? index + 1 : kNoRecord;
    }
    // The next record in queue order with the same parent.
    uint32_t nextOfParent(uint32_t index) const {
        if (linked_) return nextOfParent_[index];
        return index + 1 < count_ && parents_[index + 1] == parents_[index] ? index + 1
                                                                            : kNoRecord;
    }
    // First record, in queue order, whose parent is `parent`; kNoRecord if none.
    uint32_t firstOf(uint32_t parent) const;

    // Read cursor (kNoRecord when at the end).
    uint32_t cursor = kNoRecord;

    // Writing state, made on first use; placeOf() reads it (zeros when never set).
    KeyPlace& place(uint32_t index);
    KeyPlace placeOf(uint32_t index) const {
        return index < places_.size() ? places_[index] : KeyPlace();
    }

    // Bytes of record text held (NUL terminators included).
    size_t textBytes() const { return textBytes_; }

private:
    struct Group {
        uint32_t first = kNoRecord;
        uint32_t last = kNoRecord;
    };
    static constexpr size_t kTextChunk = 64 * 1024;
    static constexpr size_t kOwnBlockAbove = kTextChunk / 8;

    const char* copyText(const char* text, size_t length);
    uint32_t store(const char* text, size_t length, uint32_t parent);
    void link();
    Group& group(uint32_t parent) { return parent == kNoRecord ? rootGroup_ : groups_[parent]; }
    void reserveGroup(uint32_t parent);
    void linkInGroup(uint32_t index, uint32_t parent);

    ChunkedArray<const char*> texts_;
    ChunkedArray<uint32_t> parents_;
    std::vector<std::unique_ptr<char[]>> blocks_;  // record texts
    char* textFree_ = nullptr;                     // free room of the current block
    size_t textLeft_ = 0;
    size_t textBytes_ = 0;
    uint32_t count_ = 0;

    // Explicit links, once a record has been put elsewhere than at the end.
    bool linked_ = false;
    uint32_t head_ = kNoRecord;
    uint32_t tail_ = kNoRecord;
    ChunkedArray<uint32_t> next_;
    ChunkedArray<uint32_t> nextOfParent_;
    std::vector<Group> groups_;  // by parent index; the group of kNoRecord is rootGroup_
    Group rootGroup_;

    std::vector<KeyPlace> places_;
};

}  // namespace qv
