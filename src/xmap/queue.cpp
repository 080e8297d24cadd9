#include "xmap/queue.h"

#include <cstring>
#include <new>

namespace qv {

const char* RecordQueue::copyText(const char* text, size_t length) {
    const size_t need = length + 1;
    char* out;
    if (need > kOwnChunkAbove) {
        // A large record gets a block of its own: no chunk tail is wasted on it.
        texts_.emplace_back(new char[need]);
        out = texts_.back().get();
    } else {
        if (need > textLeft_) {
            texts_.emplace_back(new char[kTextChunk]);
            textFree_ = texts_.back().get();
            textLeft_ = kTextChunk;
        }
        out = textFree_;
        textFree_ += need;
        textLeft_ -= need;
    }
    if (length) std::memcpy(out, text, length);
    out[length] = '\0';
    textBytes_ += need;
    return out;
}

uint32_t RecordQueue::newSlot(const char* text, size_t length, uint32_t parent) {
    if (count_ == kNoRecord - 1 || length > 0xFFFFFFFEu) throw std::bad_alloc();
    if (count_ / kSlotsPerChunk >= slots_.size()) {
        slots_.reserve(slots_.size() + 1);
        slots_.emplace_back(new QueuedRecord[kSlotsPerChunk]);
    }
    if (parent != kNoRecord && parent >= groups_.size()) {
        size_t want = groups_.size() < 1024 ? 1024 : groups_.size();
        while (want <= parent) want *= 2;
        groups_.resize(want);
    }
    const char* copy = copyText(text, length);  // the last step that may throw
    uint32_t index = count_++;
    slot(index) = {copy, static_cast<uint32_t>(length), kNoRecord, parent, kNoRecord};
    return index;
}

uint32_t RecordQueue::append(const char* text, size_t length, uint32_t parent) {
    uint32_t index = newSlot(text, length, parent);
    if (tail_ == kNoRecord) {
        head_ = index;
    } else {
        slot(tail_).next = index;
    }
    tail_ = index;
    if (cursor == kNoRecord && head_ == index) cursor = index;
    Group& group = parent == kNoRecord ? rootGroup_ : groups_[parent];
    if (group.last == kNoRecord) {
        group.first = index;
    } else {
        slot(group.last).nextOfParent = index;
    }
    group.last = index;
    return index;
}

uint32_t RecordQueue::insertAfter(uint32_t after, const char* text, size_t length,
                                  uint32_t parent) {
    if (after == tail_) return append(text, length, parent);
    uint32_t index = newSlot(text, length, parent);
    const bool wasEmpty = head_ == kNoRecord;
    if (after == kNoRecord) {
        slot(index).next = head_;
        head_ = index;
    } else {
        slot(index).next = slot(after).next;
        slot(after).next = index;
    }
    if (wasEmpty) {
        tail_ = index;
        cursor = index;
    }
    linkInGroup(index, parent);
    return index;
}

// Puts a record inserted in the middle of the queue into its parent's chain, after
// the last record of that parent that stands before it.
void RecordQueue::linkInGroup(uint32_t index, uint32_t parent) {
    Group& group = parent == kNoRecord ? rootGroup_ : groups_[parent];
    uint32_t before = kNoRecord;
    for (uint32_t i = head_; i != index && i != kNoRecord; i = slot(i).next)
        if (slot(i).parent == parent) before = i;
    if (before == kNoRecord) {
        slot(index).nextOfParent = group.first;
        group.first = index;
    } else {
        slot(index).nextOfParent = slot(before).nextOfParent;
        slot(before).nextOfParent = index;
    }
    if (slot(index).nextOfParent == kNoRecord) group.last = index;
}

uint32_t RecordQueue::firstOf(uint32_t parent) const {
    if (parent == kNoRecord) return rootGroup_.first;
    return parent < groups_.size() ? groups_[parent].first : kNoRecord;
}

KeyPlace& RecordQueue::place(uint32_t index) {
    if (places_.size() < count_) places_.resize(count_);
    return places_[index];
}

void RecordQueue::clear() { *this = RecordQueue(); }

}  // namespace qv
