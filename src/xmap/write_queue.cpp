#include "xmap/write_queue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "frame/errors.h"
#include "xmap/record.h"

namespace qv {
namespace {

// One order column's key of one record: the number atoi() reads from the field and
// the field's bytes (in the table's key text).
struct OrderKey {
    int number = 0;
    uint32_t length = 0;
    std::size_t offset = 0;
};

std::string_view fieldText(const char* record, int field) {
    const RecordItem item = extractItem(record, field);
    return std::string_view(item.text, static_cast<std::size_t>(item.length));
}

}  // namespace

// Values by the text of a key, each key's in the order added: an open-addressing
// table over one array of keys, a key's first value held in place (most keys have
// one), so indexing a million keys makes no allocation per key beyond a long key's.
// Each key also keeps the value that its adder ranked best, so that finding the
// first of many records sharing a key takes no walk over them.
template <class T>
class WriteQueues::TextIndex {
public:
    using Span = Found<T>;

    // `replaces(value, best)`: whether the value takes the key's best place.
    template <class Replaces>
    void add(std::string_view key, const T& value, Replaces replaces) {
        if ((entries_.size() + 1) * 2 > slots_.size()) grow();
        const std::size_t hash = std::hash<std::string_view>()(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.entry == kEmpty) {
                slot = {hash, static_cast<uint32_t>(entries_.size())};
                entries_.push_back({std::string(key), value, value, {}});
                return;
            }
            if (slot.hash == hash && entries_[slot.entry].key == key) {
                Entry& e = entries_[slot.entry];
                if (e.more.empty()) e.more.push_back(e.one);
                e.more.push_back(value);
                if (replaces(value, e.best)) e.best = value;
                return;
            }
        }
    }

    Span find(std::string_view key) const {
        const Entry* e = lookup(key);
        if (!e) return {};
        return e->more.empty() ? Span{&e->one, &e->one + 1}
                               : Span{e->more.data(), e->more.data() + e->more.size()};
    }
    // The key's best value, or null when no value has the key.
    const T* best(std::string_view key) const {
        const Entry* e = lookup(key);
        return e ? &e->best : nullptr;
    }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    struct Slot {
        std::size_t hash = 0;
        uint32_t entry = kEmpty;
    };
    struct Entry {
        std::string key;
        T one;               // the first value
        T best;
        std::vector<T> more; // every value, once there are two
    };

    const Entry* lookup(std::string_view key) const {
        if (slots_.empty()) return nullptr;
        const std::size_t hash = std::hash<std::string_view>()(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.entry == kEmpty) return nullptr;
            const Entry& e = entries_[slot.entry];
            if (slot.hash == hash && e.key == key) return &e;
        }
    }

    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(slots_.size() * 2, 64));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.entry == kEmpty) continue;
            std::size_t i = s.hash & mask;
            while (slots_[i].entry != kEmpty) i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::vector<Entry> entries_;
};

struct WriteQueues::Table {
    TableClassMap* map = nullptr;
    std::size_t orderCount = 0;
    std::vector<OrderKey> keys;  // orderCount per record, by arrival index
    std::string keyText;

    // The queue order is the arrival order sorted stably by the order keys;
    // `lagging`: the queue's chain has not been sorted since a record arrived out
    // of order. `literal`: the order is no such sort (see the header).
    bool lagging = false;
    bool literal = false;
    uint32_t first = kNoRecord;  // first and last in queue order, unless literal
    uint32_t last = kNoRecord;

    // Indexes on this table's parent key fields, by field number.
    struct Whole {
        uint32_t upTo = 0;
        TextIndex<uint32_t> byText;
    };
    struct Items {
        uint32_t upTo = 0;
        TextIndex<Position> byText;
    };
    std::unordered_map<int, Whole> whole;
    std::unordered_map<int, Items> items;
};

WriteQueues::WriteQueues(MappingModel& model, const RecordMarks& marks)
    : model_(model), marks_(marks) {
    tables_.resize(static_cast<std::size_t>(std::max(model.mapSequence, 1)));
    forEachMap(model, [this](TableClassMap& m) {
        const std::size_t seq = static_cast<std::size_t>(std::max(m.sequence, 0));
        if (seq >= tables_.size()) tables_.resize(seq + 1);
        tables_[seq] = std::make_unique<Table>();
        tables_[seq]->map = &m;
        tables_[seq]->orderCount = m.orderColumns.size();
        return true;
    });
    // Records already queued (read at open from an extraction file) stand in
    // arrival order: the queue is a sort only if they happen to be in key order.
    for (auto& t : tables_) {
        if (!t) continue;
        const RecordQueue& q = t->map->records;
        for (uint32_t i = 0; i < q.size(); ++i) {
            takeKeys(*t, q.text(i));
            if (i > 0 && compare(*t->map, i, i - 1) < 0) t->literal = true;
        }
        if (!q.empty() && !t->literal) {
            t->first = q.first();
            t->last = q.tail();
        }
    }
}

WriteQueues::~WriteQueues() = default;

WriteQueues::Table& WriteQueues::table(const TableClassMap& map) {
    return *tables_[static_cast<std::size_t>(map.sequence)];
}
const WriteQueues::Table& WriteQueues::table(const TableClassMap& map) const {
    return *tables_[static_cast<std::size_t>(map.sequence)];
}

// Appends the order keys of the record about to be queued (its index is the
// queue's size).
void WriteQueues::takeKeys(Table& t, const char* record) {
    for (const OrderColumnRef& ref : t.map->orderColumns) {
        const RecordItem item = extractItem(record, ref.field());
        OrderKey key;
        // atoi() wants a terminated copy; it reads what strtol reads, cut to int.
        std::string copy(item.text, static_cast<std::size_t>(item.length));
        key.number = static_cast<int>(std::strtol(copy.c_str(), nullptr, 10));
        key.length = static_cast<uint32_t>(copy.size());
        key.offset = t.keyText.size();
        t.keyText += copy;
        t.keys.push_back(key);
    }
}

// Takes back the keys of a record that was not queued after all.
void WriteQueues::dropKeys(Table& t, uint32_t index) {
    const std::size_t from = static_cast<std::size_t>(index) * t.orderCount;
    if (from < t.keys.size()) {
        t.keyText.resize(t.keys[from].offset);
        t.keys.resize(from);
    }
}

int WriteQueues::compare(const TableClassMap& map, uint32_t a, uint32_t b) const {
    const Table& t = table(map);
    if (t.orderCount == 0) return 0;
    const OrderKey* ka = &t.keys[static_cast<std::size_t>(a) * t.orderCount];
    const OrderKey* kb = &t.keys[static_cast<std::size_t>(b) * t.orderCount];
    for (std::size_t i = 0; i < t.orderCount; ++i) {
        if (ka[i].number != kb[i].number) return ka[i].number > kb[i].number ? 1 : -1;
        const uint32_t n = std::min(ka[i].length, kb[i].length);
        const int bytes = std::memcmp(t.keyText.data() + ka[i].offset,
                                      t.keyText.data() + kb[i].offset, n);
        if (bytes != 0) return bytes > 0 ? 1 : -1;
        if (ka[i].length != kb[i].length) return ka[i].length > kb[i].length ? 1 : -1;
    }
    return 0;
}

// Whether record `a` stands before record `b` in a queue kept as a stable sort.
bool WriteQueues::sortsBefore(const Table& t, uint32_t a, uint32_t b) const {
    const int c = compare(*t.map, a, b);
    return c < 0 || (c == 0 && a < b);
}

void WriteQueues::settle(Table& t) {
    if (!t.lagging) return;
    std::vector<uint32_t> order(t.map->records.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return compare(*t.map, a, b) < 0;
    });
    t.map->records.setOrder(order);
    t.lagging = false;
}

void WriteQueues::settle() {
    for (auto& t : tables_)
        if (t) settle(*t);
}

void WriteQueues::dropIndexes() {
    for (auto& t : tables_)
        if (t) {
            t->whole.clear();
            t->items.clear();
        }
}

// Stores the record (its keys already taken) at its place: by its keys when
// `ordered`, else at the end.
uint32_t WriteQueues::store(Table& t, const char* record, std::size_t length, uint32_t parent,
                            bool ordered) {
    RecordQueue& q = t.map->records;
    const uint32_t x = q.size();
    if (t.literal) {
        uint32_t after = q.tail();
        if (ordered) {
            after = kNoRecord;
            for (uint32_t i = q.first(); i != kNoRecord; i = q.next(i)) {
                if (compare(*t.map, i, x) > 0) break;
                after = i;
            }
        }
        return q.insertAfter(after, record, length, parent);
    }
    const bool beforeLast = t.last != kNoRecord && compare(*t.map, x, t.last) < 0;
    if (beforeLast && !ordered) {
        // A record put at the end out of key order: the queue is no sort any more.
        settle(t);
        t.literal = true;
        return q.append(record, length, parent);
    }
    q.append(record, length, parent);
    if (beforeLast)
        t.lagging = true;
    else
        t.last = x;
    if (t.first == kNoRecord || compare(*t.map, x, t.first) < 0) t.first = x;
    return x;
}

// The index of a parent key field, brought up to the queue. A key's best record is
// the first of its records in queue order, while the queue is a sort.
WriteQueues::TextIndex<uint32_t>& WriteQueues::wholeIndex(TableClassMap& holder, int field) {
    Table& t = table(holder);
    Table::Whole& index = t.whole[field];
    const RecordQueue& q = holder.records;
    const auto before = [&](uint32_t a, uint32_t b) { return sortsBefore(t, a, b); };
    for (; index.upTo < q.size(); ++index.upTo)
        index.byText.add(fieldText(q.text(index.upTo), field), index.upTo, before);
    return index.byText;
}

WriteQueues::Found<uint32_t> WriteQueues::wholeMatches(TableClassMap& holder, int field,
                                                       std::string_view key) {
    return wholeIndex(holder, field).find(key);
}

// Every subvalue of the field of every record, with its place: (v, s), s being 0
// when the value holds no subvalue mark.
// A key's best position is the last one of the first record in queue order that
// holds the key, while the queue is a sort.
WriteQueues::TextIndex<WriteQueues::Position>& WriteQueues::itemIndex(TableClassMap& holder,
                                                                      int field) {
    Table& t = table(holder);
    Table::Items& index = t.items[field];
    const RecordQueue& q = holder.records;
    const auto replaces = [&](const Position& p, const Position& best) {
        return p.record == best.record || sortsBefore(t, p.record, best.record);
    };
    for (; index.upTo < q.size(); ++index.upTo) {
        // The field is asked for once and split here, not once per value.
        ItemParts values(extractItem(q.text(index.upTo), field), marks_.value[0],
                         marks_.subvalue[0]);
        RecordItem value;
        for (int v = 1; values.next(value); ++v) {
            ItemParts subvalues(value, marks_.subvalue[0], '\0');
            RecordItem subvalue;
            for (int s = 1; subvalues.next(subvalue); ++s)
                index.byText.add(std::string_view(subvalue.text, static_cast<std::size_t>(subvalue.length)),
                                 {index.upTo, v, value.subvalues == 0 ? 0 : s}, replaces);
        }
    }
    return index.byText;
}

WriteQueues::Found<WriteQueues::Position> WriteQueues::itemMatches(TableClassMap& holder,
                                                                   int field,
                                                                   std::string_view key) {
    return itemIndex(holder, field).find(key);
}

// From a matching record of an ancestor map down to the records of `target` below
// it, through the first child map that holds any records at each level.
void WriteQueues::descend(TableClassMap& from, uint32_t record, const TableClassMap& target,
                          std::vector<uint32_t>& reached) {
    TableClassMap* child = nullptr;
    for (auto& c : from.children)
        if (!c->records.empty()) {
            child = c.get();
            break;
        }
    if (!child) return;
    const RecordQueue& q = child->records;
    for (uint32_t r = q.firstOf(record); r != kNoRecord; r = q.nextOfParent(r)) {
        if (child == &target)
            reached.push_back(r);
        else
            descend(*child, r, target, reached);
    }
}

// The value and subvalue of the parent record's multivalued key fields that the
// record's keys are found in. True when every such key agrees on a place (or the
// table has none).
bool WriteQueues::keyPosition(TableClassMap& map, const char* record, uint32_t parent,
                              Position& at) {
    std::vector<Position> candidates;
    bool firstColumn = true;
    for (MapColumn* k : map.byField) {
        if (k->kind != ColumnKind::ChildKeyMulti || !k->parentKey) continue;
        const auto all = itemMatches(*map.parent, k->parentKey->field, fieldText(record, k->field));
        std::vector<Position> found;
        auto from = std::lower_bound(all.begin(), all.end(), parent,
                                     [](const Position& p, uint32_t r) { return p.record < r; });
        for (; from != all.end() && from->record == parent; ++from) found.push_back(*from);
        if (firstColumn) {
            candidates = std::move(found);
            firstColumn = false;
            continue;
        }
        std::vector<Position> kept;
        std::vector<Position> added;
        for (const Position& c : candidates) {
            bool stays = false;
            for (const Position& f : found) {
                if (f.value != c.value) continue;
                if (c.subvalue == 0 || f.subvalue == 0 || f.subvalue == c.subvalue) stays = true;
                if (c.subvalue == 0 && f.subvalue != 0) added.push_back(f);
            }
            if (stays) kept.push_back(c);
        }
        kept.insert(kept.end(), added.begin(), added.end());
        candidates = std::move(kept);
    }
    if (firstColumn) {
        at = {parent, 0, 0};
        return true;
    }
    if (candidates.empty()) return false;
    at = candidates.back();
    at.record = parent;
    return true;
}

namespace {

// Whether every key column names a key field of the parent map itself.
bool directKeys(const std::vector<const MapColumn*>& keys, const TableClassMap& parent) {
    for (const MapColumn* k : keys)
        if (!k->parentKey || k->parentMap != &parent) return false;
    return true;
}

}  // namespace

bool WriteQueues::findParent(TableClassMap& map, const char* record, uint32_t& parent,
                             Position& at) {
    TableClassMap& up = *map.parent;
    Table& pt = table(up);
    if (up.records.empty()) return false;

    std::vector<const MapColumn*> keys;
    const MapColumn* firstMulti = nullptr;
    int placingKeys = 0;  // the keys into a multivalued parent key that place the record
    for (const MapColumn* k : map.byField) {
        if (k->kind == ColumnKind::ChildKey) keys.push_back(k);
        if (k->kind == ColumnKind::ChildKeyMulti && !firstMulti) firstMulti = k;
        if (k->kind == ColumnKind::ChildKeyMulti && k->parentKey) ++placingKeys;
    }

    // The usual shapes, while the parent queue is a sort: one child key into the
    // parent map, or one into a multivalued key of it. The first matching record in
    // queue order is then the answer, and each index keeps it per key.
    if (!pt.literal && keys.size() == 1 && placingKeys == 0 && keys[0]->parentKey &&
        keys[0]->parentMap == &up) {
        const uint32_t* best = wholeIndex(up, keys[0]->parentKey->field)
                                   .best(fieldText(record, keys[0]->field));
        if (!best) return false;
        parent = *best;
        at = {parent, 0, 0};
        return true;
    }
    if (!pt.literal && keys.empty() && placingKeys == 1 && firstMulti->parentKey) {
        const Position* best =
            itemIndex(up, firstMulti->parentKey->field).best(fieldText(record, firstMulti->field));
        if (!best) return false;
        parent = best->record;
        at = *best;
        return true;
    }

    std::vector<uint32_t> candidates;
    if (!keys.empty() && directKeys(keys, up)) {
        // Every key is into the parent map: the parents that the key with the fewest
        // matches reaches, kept where their other keys hold the child's values too.
        // (Counting matches over every key would visit all the parents that share a
        // customer, say, for every child.)
        std::vector<std::string_view> wanted;
        std::vector<Found<uint32_t>> matches;
        std::size_t fewest = 0;
        for (const MapColumn* k : keys) {
            wanted.push_back(fieldText(record, k->field));
            matches.push_back(wholeMatches(up, k->parentKey->field, wanted.back()));
            if (matches.back().size() < matches[fewest].size()) fewest = matches.size() - 1;
        }
        for (uint32_t r : matches[fewest]) {
            const char* held = up.records.text(r);
            bool all = true;
            for (std::size_t i = 0; i < keys.size() && all; ++i)
                all = i == fewest || fieldText(held, keys[i]->parentKey->field) == wanted[i];
            if (all) candidates.push_back(r);
        }
    } else if (!keys.empty()) {
        // Match counts of the parent records, over every child key column.
        std::unordered_map<uint32_t, std::size_t> counts;
        std::vector<uint32_t> reached;
        for (const MapColumn* k : keys) {
            if (!k->parentKey || !k->parentMap) continue;
            const auto matches =
                wholeMatches(*k->parentMap, k->parentKey->field, fieldText(record, k->field));
            if (matches.empty()) continue;
            reached.clear();
            if (k->parentMap == &up)
                reached.assign(matches.begin(), matches.end());
            else
                for (uint32_t r : matches) descend(*k->parentMap, r, up, reached);
            for (uint32_t r : reached) ++counts[r];
        }
        for (const auto& c : counts)
            if (c.second == keys.size()) candidates.push_back(c.first);
    } else if (firstMulti && firstMulti->parentKey) {
        const auto found =
            itemMatches(up, firstMulti->parentKey->field, fieldText(record, firstMulti->field));
        for (const Position& p : found)
                if (candidates.empty() || candidates.back() != p.record)
                    candidates.push_back(p.record);
    } else {
        parent = pt.literal ? up.records.first() : pt.first;
        at = {parent, 0, 0};
        return true;
    }
    if (candidates.empty()) return false;

    // The first candidate in the parent's queue order that its multivalued keys place.
    if (pt.literal) {
        std::vector<uint32_t> rank(up.records.size());
        uint32_t n = 0;
        for (uint32_t i = up.records.first(); i != kNoRecord; i = up.records.next(i)) rank[i] = n++;
        std::sort(candidates.begin(), candidates.end(),
                  [&](uint32_t a, uint32_t b) { return rank[a] < rank[b]; });
    } else {
        std::sort(candidates.begin(), candidates.end(),
                  [&](uint32_t a, uint32_t b) { return sortsBefore(pt, a, b); });
    }
    for (uint32_t r : candidates) {
        if (keyPosition(map, record, r, at)) {
            parent = r;
            return true;
        }
    }
    return false;
}

bool WriteQueues::queueInArrivalOrder(TableClassMap& map, const char* record,
                                      std::size_t length) {
    return queue(map, record, length, false);
}

bool WriteQueues::queueByKeys(TableClassMap& map, const char* record, std::size_t length) {
    return queue(map, record, length, true);
}

bool WriteQueues::queue(TableClassMap& map, const char* record, std::size_t length, bool byKeys) {
    if (length == 0) return true;
    Table& t = table(map);
    copy_.assign(record, length);
    const uint32_t x = map.records.size();
    try {
        takeKeys(t, copy_.c_str());
        uint32_t parent = kNoRecord;
        Position at{kNoRecord, 0, 0};
        if (byKeys) {
            if (map.parent && !findParent(map, copy_.c_str(), parent, at)) {
                dropKeys(t, x);
                report(Error::ParentRecordMissing);
                return false;
            }
        } else if (map.parent) {
            // Under the parent map's last record, at the place its keys give, if any.
            parent = map.parent->records.lastQueued();
            if (parent == kNoRecord || !keyPosition(map, copy_.c_str(), parent, at))
                at = {parent, 0, 0};
        }
        store(t, copy_.data(), length, parent, byKeys);
        if (at.value != 0) {
            KeyPlace& place = map.records.place(x);
            place.valueNumber = at.value;
            place.subvalueNumber = at.subvalue;
        }
    } catch (const std::bad_alloc&) {
        if (map.records.size() == x) dropKeys(t, x);
        report(Error::OutOfMemory);
        return false;
    }
    return true;
}

}  // namespace qv
