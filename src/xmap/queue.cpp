#include "xmap/queue.h"

#include <cstring>
#include <new>

namespace qv {

const char* RecordQueue::copyText(const char* text, size_t length) {
    const size_t need = length + 1;
    char* out;
    if (need > kOwnBlockAbove) {
        // A large record gets a block of its own: no block tail is wasted on it.
        blocks_.reserve(blocks_.size() + 1);
        blocks_.emplace_back(new char[need]);
        out = blocks_.back().get();
    } else {
        if (need > textLeft_) {
            blocks_.reserve(blocks_.size() + 1);
            blocks_.emplace_back(new char[kTextChunk]);
            textFree_ = blocks_.back().get();
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

void RecordQueue::reserveGroup(uint32_t parent) {
    if (parent == kNoRecord || parent < groups_.size()) return;
    size_t want = groups_.size() < 1024 ? 1024 : groups_.size() * 2;
    while (want <= parent) want *= 2;
    groups_.resize(want);
}

// Room for one more record, then its text: the copy is the last step that may
// throw, so a failure leaves the queue as it was.
uint32_t RecordQueue::store(const char* text, size_t length, uint32_t parent) {
    if (count_ == kNoRecord) throw std::bad_alloc();
    texts_.reserveIndex(count_);
    parents_.reserveIndex(count_);
    if (linked_) {
        next_.reserveIndex(count_);
        nextOfParent_.reserveIndex(count_);
        reserveGroup(parent);
    }
    const char* copy = copyText(text, length);
    const uint32_t index = count_++;
    texts_[index] = copy;
    parents_[index] = parent;
    if (linked_) {
        next_[index] = kNoRecord;
        nextOfParent_[index] = kNoRecord;
    }
    return index;
}

// Builds the explicit links of the arrival order kept so far.
void RecordQueue::link() {
    if (linked_) return;
    groups_.clear();
    rootGroup_ = Group();
    for (uint32_t i = 0; i < count_; ++i) {
        next_.reserveIndex(i);
        nextOfParent_.reserveIndex(i);
        reserveGroup(parents_[i]);
    }
    for (uint32_t i = 0; i < count_; ++i) {
        next_[i] = i + 1 < count_ ? i + 1 : kNoRecord;
        nextOfParent_[i] = kNoRecord;
        Group& g = group(parents_[i]);
        if (g.last == kNoRecord)
            g.first = i;
        else
            nextOfParent_[g.last] = i;
        g.last = i;
    }
    head_ = count_ ? 0 : kNoRecord;
    tail_ = lastQueued();
    linked_ = true;
}

uint32_t RecordQueue::append(const char* text, size_t length, uint32_t parent) {
    // A parent that goes back breaks the contiguous runs: links from here on.
    if (!linked_ && count_ > 0 && parent < parents_[count_ - 1]) link();
    const bool wasEmpty = count_ == 0;
    const uint32_t index = store(text, length, parent);
    if (linked_) {
        if (tail_ == kNoRecord)
            head_ = index;
        else
            next_[tail_] = index;
        tail_ = index;
        Group& g = group(parent);
        if (g.last == kNoRecord)
            g.first = index;
        else
            nextOfParent_[g.last] = index;
        g.last = index;
    }
    if (wasEmpty) cursor = index;
    return index;
}

uint32_t RecordQueue::insertAfter(uint32_t after, const char* text, size_t length,
                                  uint32_t parent) {
    if (after == tail()) return append(text, length, parent);
    link();
    const bool wasEmpty = head_ == kNoRecord;
    const uint32_t index = store(text, length, parent);
    if (after == kNoRecord) {
        next_[index] = head_;
        head_ = index;
    } else {
        next_[index] = next_[after];
        next_[after] = index;
    }
    if (next_[index] == kNoRecord) tail_ = index;
    if (wasEmpty) cursor = index;
    linkInGroup(index, parent);
    return index;
}

// Puts a record inserted in the middle of the queue into its parent's chain, after
// the last record of that parent that stands before it in queue order.
void RecordQueue::linkInGroup(uint32_t index, uint32_t parent) {
    Group& g = group(parent);
    uint32_t before = kNoRecord;
    for (uint32_t i = head_; i != index && i != kNoRecord; i = next_[i])
        if (parents_[i] == parent) before = i;
    if (before == kNoRecord) {
        nextOfParent_[index] = g.first;
        g.first = index;
    } else {
        nextOfParent_[index] = nextOfParent_[before];
        nextOfParent_[before] = index;
    }
    if (nextOfParent_[index] == kNoRecord) g.last = index;
}

void RecordQueue::setOrder(const std::vector<uint32_t>& order) {
    link();
    for (Group& g : groups_) g = Group();
    rootGroup_ = Group();
    head_ = tail_ = kNoRecord;
    for (uint32_t index : order) {
        if (tail_ == kNoRecord)
            head_ = index;
        else
            next_[tail_] = index;
        tail_ = index;
        next_[index] = kNoRecord;
        nextOfParent_[index] = kNoRecord;
        Group& g = group(parents_[index]);
        if (g.last == kNoRecord)
            g.first = index;
        else
            nextOfParent_[g.last] = index;
        g.last = index;
    }
}

uint32_t RecordQueue::firstOf(uint32_t parent) const {
    if (linked_) {
        if (parent == kNoRecord) return rootGroup_.first;
        return parent < groups_.size() ? groups_[parent].first : kNoRecord;
    }
    // Parents never decrease along the queue: the first record of a parent is
    // where a binary search for it lands.
    uint32_t low = 0, high = count_;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        if (parents_[mid] < parent)
            low = mid + 1;
        else
            high = mid;
    }
    return low < count_ && parents_[low] == parent ? low : kNoRecord;
}

KeyPlace& RecordQueue::place(uint32_t index) {
    if (places_.size() < count_) places_.resize(count_);
    return places_[index];
}

}  // namespace qv
