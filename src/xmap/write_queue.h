// Queueing the records the host writes (QV_XMAPWriteNext), before a document is
// built from them.
//
// With Cascade a record goes to the end of its table's queue, under the parent
// table's last record. Without it, it goes under the parent record whose keys it
// matches and into the place its order columns give it: just before the first
// queued record that sorts after it, so equal records keep their arrival order.
//
// The same results without walking queues per record:
//   - a table's order keys are taken from each record once, on arrival;
//   - while every record of a table was placed by its keys, the queue order is the
//     arrival order sorted stably by those keys: a record that sorts after the last
//     one is appended, any other only marks the queue's chain as lagging, and the
//     chain is sorted once before the queue is walked (settle());
//   - parent records are found through hash indexes on the parent key fields (the
//     whole field for child keys, each value and subvalue for child keys into a
//     multivalued parent key), built incrementally as parent records arrive;
//   - among the parents that match, the first in queue order is the least by
//     (order keys, arrival); each index keeps it per key as records arrive, so
//     parents sharing a key are not walked for every child.
// Should a Cascade record break the stable sort (a table with order columns taking
// records both ways), the table falls back to walking its queue as it stands.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xmap/model.h"
#include "xmap/record.h"

namespace qv {

class WriteQueues {
public:
    // `marks`: the dataset's, with which the fields of queued records are split.
    WriteQueues(MappingModel& model, const RecordMarks& marks);
    ~WriteQueues();
    WriteQueues(const WriteQueues&) = delete;
    WriteQueues& operator=(const WriteQueues&) = delete;

    // Cascade on: at the end of the queue, under the parent map's last record.
    // False after reporting 3004; nothing is queued then.
    bool queueInArrivalOrder(TableClassMap& map, const char* record, std::size_t length);

    // Cascade off: under the parent record its keys match, in order-column order.
    // False after reporting 3004 or 3052; nothing is queued then.
    bool queueByKeys(TableClassMap& map, const char* record, std::size_t length);

    // Brings every queue's chain into its queue order; call before a queue is walked.
    void settle();

    // Lets the parent key indexes go (a build needs them no more): a record queued
    // later indexes the queues again.
    void dropIndexes();

    // The order of two records of `map` by its order columns: 1 when `a` sorts
    // after `b`, -1 before, 0 equal.
    int compare(const TableClassMap& map, uint32_t a, uint32_t b) const;

private:
    struct Table;
    struct Position {
        uint32_t record;
        int value;
        int subvalue;
    };

    Table& table(const TableClassMap& map);
    const Table& table(const TableClassMap& map) const;
    void takeKeys(Table& t, const char* record);
    void dropKeys(Table& t, uint32_t index);
    bool sortsBefore(const Table& t, uint32_t a, uint32_t b) const;
    void settle(Table& t);
    uint32_t store(Table& t, const char* record, std::size_t length, uint32_t parent,
                   bool ordered);
    bool queue(TableClassMap& map, const char* record, std::size_t length, bool byKeys);
    bool findParent(TableClassMap& map, const char* record, uint32_t& parent, Position& at);
    bool keyPosition(TableClassMap& map, const char* record, uint32_t parent, Position& at);
    // The values an index holds for a key, in the order added.
    template <class T>
    struct Found {
        const T* first = nullptr;
        const T* last = nullptr;
        const T* begin() const { return first; }
        const T* end() const { return last; }
        bool empty() const { return first == last; }
        std::size_t size() const { return static_cast<std::size_t>(last - first); }
    };
    template <class T>
    class TextIndex;
    TextIndex<uint32_t>& wholeIndex(TableClassMap& holder, int field);
    TextIndex<Position>& itemIndex(TableClassMap& holder, int field);
    Found<uint32_t> wholeMatches(TableClassMap& holder, int field, std::string_view key);
    Found<Position> itemMatches(TableClassMap& holder, int field, std::string_view key);
    void descend(TableClassMap& from, uint32_t record, const TableClassMap& target,
                 std::vector<uint32_t>& reached);

    MappingModel& model_;
    const RecordMarks& marks_;
    std::vector<std::unique_ptr<Table>> tables_;  // by sequence number
    std::string copy_;                            // the record being queued, NUL-terminated
};

}  // namespace qv
