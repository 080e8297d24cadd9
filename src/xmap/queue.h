// The record queue of a table class map.
//
// Reading fills a queue at open and hands records out afterwards; writing queues the
// host's records and later walks them per parent record. Both need the records of one
// parent record in queue order without scanning the queue from its start, so every
// record is also chained to the next record of the same parent, and the queue keeps,
// per parent record, the first and last of those.
//
// Records are numbered by arrival (their index) and stay where they were put: texts
// live in chunks that never move, so a text handed to the host stays valid until the
// queue is freed. Queue order is a singly linked chain over the indices, so a record
// can be put anywhere (the writer's ordered insert) in constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qv {

// One queued record. 24 bytes besides its text: a document of a million short
// records keeps its queue overhead below the bytes of the records themselves.
struct QueuedRecord {
    const char* text;       // NUL-terminated copy, owned by the queue
    uint32_t length;        // bytes before the NUL
    uint32_t next;          // next record in queue order, or kNoRecord
    uint32_t parent;        // index of the parent map's record, or kNoRecord
    uint32_t nextOfParent;  // next record in queue order with the same parent
};

// Writing state of a record: key matching count and the value and subvalue position
// of the parent key value it belongs to. Kept apart, only for queues that write.
struct KeyPlace {
    int32_t matchCounter = 0;
    int32_t valueNumber = 0;
    int32_t subvalueNumber = 0;
};

constexpr uint32_t kNoRecord = 0xFFFFFFFFu;

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

    bool empty() const { return count_ == 0; }
    uint32_t size() const { return count_; }
    uint32_t first() const { return head_; }
    uint32_t tail() const { return tail_; }
    // The record queued most recently (the parent of records read under it).
    uint32_t lastQueued() const { return count_ ? count_ - 1 : kNoRecord; }

    const QueuedRecord& at(uint32_t index) const { return slot(index); }
    const char* text(uint32_t index) const { return slot(index).text; }
    uint32_t next(uint32_t index) const { return slot(index).next; }
    uint32_t parentOf(uint32_t index) const { return slot(index).parent; }
    uint32_t nextOfParent(uint32_t index) const { return slot(index).nextOfParent; }

    // First record, in queue order, whose parent is `parent`; kNoRecord if none.
    uint32_t firstOf(uint32_t parent) const;

    // Read cursor (kNoRecord when at the end).
    uint32_t cursor = kNoRecord;

    // Writing state, made on first use.
    KeyPlace& place(uint32_t index);

    // Bytes of record text held (NUL terminators included).
    size_t textBytes() const { return textBytes_; }

    void clear();

private:
    struct Group {
        uint32_t first = kNoRecord;
        uint32_t last = kNoRecord;
    };
    static constexpr uint32_t kSlotsPerChunk = 4096;
    static constexpr size_t kTextChunk = 64 * 1024;
    static constexpr size_t kOwnChunkAbove = kTextChunk / 8;

    QueuedRecord& slot(uint32_t index) {
        return slots_[index / kSlotsPerChunk][index % kSlotsPerChunk];
    }
    const QueuedRecord& slot(uint32_t index) const {
        return slots_[index / kSlotsPerChunk][index % kSlotsPerChunk];
    }
    const char* copyText(const char* text, size_t length);
    uint32_t newSlot(const char* text, size_t length, uint32_t parent);
    void linkInGroup(uint32_t index, uint32_t parent);

    std::vector<std::unique_ptr<QueuedRecord[]>> slots_;
    std::vector<std::unique_ptr<char[]>> texts_;
    char* textFree_ = nullptr;   // free room of the current text chunk
    size_t textLeft_ = 0;
    size_t textBytes_ = 0;
    uint32_t count_ = 0;
    uint32_t head_ = kNoRecord;
    uint32_t tail_ = kNoRecord;
    std::vector<Group> groups_;  // by parent index; the group of kNoRecord is rootGroup_
    Group rootGroup_;
    std::vector<KeyPlace> places_;
};

}  // namespace qv
