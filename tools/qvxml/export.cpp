// `qvxml export`: records of the account written back as one XML document through
// a mapping: the root table's records (all, or those named) with their related
// child records, pushed with QV_XMAPWriteNext and built with QV_XMAPToDOM.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "host/conversion.h"
#include "xdom/writing/written_text.h"
#include "mapping_info.h"
#include "progress.h"
#include "records.h"
#include "safe_output.h"
#include "session.h"
#include "writer_options.h"

namespace qvcli {
namespace {

constexpr std::size_t kFewRecords = 16;
constexpr char kValueOrSubvalueMark[] = {kValueMark, kSubvalueMark, '\0'};

// The fields of a record as views into it: every record is split once, without a
// copy of each field (a whole export splits millions).
void viewFields(std::string_view text, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t begin = 0;
    for (;;) {
        const std::size_t at = text.find(kFieldMark, begin);
        if (at == std::string_view::npos) {
            fields.push_back(text.substr(begin));
            return;
        }
        fields.push_back(text.substr(begin, at - begin));
        begin = at + 1;
    }
}

// Field `field` of a record, empty when it has fewer.
std::string_view fieldOf(std::string_view record, std::size_t field) {
    std::size_t begin = 0;
    for (; field > 0; --field) {
        begin = record.find(kFieldMark, begin);
        if (begin == std::string_view::npos) return {};
        ++begin;
    }
    const std::size_t end = record.find(kFieldMark, begin);
    return record.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

// The records of a child table for a whole export, read in one pass (in record ID
// order) and found by the text of their child key field. At a million records a map
// of keys to vectors of positions cost a node, a key and a vector each, and its
// lookups showed in the profile; here the texts are one buffer, the index is one
// array of (key hash, position) sorted once, so that a key's records are a run in
// record ID order, and an open-addressing table finds a hash's run.
class ChildRecords {
public:
    explicit ChildRecords(std::size_t keyField = 0) : keyField_(keyField) { starts_.push_back(0); }

    void add(std::string_view record) {
        const std::string_view key = fieldOf(record, keyField_);
        const auto at = std::uint32_t(starts_.size() - 1);
        text_.append(record);
        starts_.push_back(text_.size());
        // A record with no key is never asked for: it only counts as read.
        if (!key.empty()) index_.push_back({hashOf(key), at});
    }

    // Once every record is added.
    void finish() {
        std::sort(index_.begin(), index_.end(), [](const Entry& a, const Entry& b) {
            return a.hash != b.hash ? a.hash < b.hash : a.at < b.at;
        });
        std::size_t runs = 0;
        for (std::size_t i = 0; i < index_.size(); ++i) runs += i == 0 || index_[i].hash != index_[i - 1].hash;
        std::size_t size = 2;
        while (size < 2 * runs) size *= 2;  // at most half full: short probes
        table_.assign(size, 0);
        for (std::size_t i = 0; i < index_.size(); ++i) {
            if (i > 0 && index_[i].hash == index_[i - 1].hash) continue;
            std::size_t slot = slotOf(index_[i].hash);
            while (table_[slot] != 0) slot = (slot + 1) & (table_.size() - 1);
            table_[slot] = std::uint32_t(i + 1);
        }
        written.assign(starts_.size() - 1, false);
    }

    // No record was read (the file is empty).
    bool empty() const { return starts_.size() == 1; }
    std::string_view record(std::uint32_t at) const {
        return std::string_view(text_).substr(starts_[at], starts_[at + 1] - starts_[at]);
    }

    // Calls `visit` with the position of each record whose key is `key`, in record ID
    // order; false when there is none.
    template <class Visit>
    bool find(std::string_view key, Visit visit) const {
        const std::uint64_t hash = hashOf(key);
        for (std::size_t slot = slotOf(hash);; slot = (slot + 1) & (table_.size() - 1)) {
            if (table_[slot] == 0) return false;
            std::size_t i = table_[slot] - 1;
            if (index_[i].hash != hash) continue;
            // Keys of the same hash share the run: those with another text are passed over.
            bool found = false;
            for (; i < index_.size() && index_[i].hash == hash; ++i) {
                if (fieldOf(record(index_[i].at), keyField_) != key) continue;
                found = true;
                visit(index_[i].at);
            }
            return found;
        }
    }

    std::vector<bool> written;  // by position, once finished

private:
    struct Entry {
        std::uint64_t hash;
        std::uint32_t at;
    };
    static std::uint64_t hashOf(std::string_view key) { return std::hash<std::string_view>()(key); }
    std::size_t slotOf(std::uint64_t hash) const {
        return std::size_t((hash * 0x9E3779B97F4A7C15ull) >> 32) & (table_.size() - 1);
    }

    std::size_t keyField_;
    std::string text_;                 // the records, one after the other
    std::vector<std::size_t> starts_;  // where each begins, and the end of the last
    std::vector<Entry> index_;
    std::vector<std::uint32_t> table_;  // 1 + the start of a hash's run in index_, 0 free
};

// A table of the mapping and how its records are found from their parent's.
struct ExportTable {
    std::string file;
    std::string key;          // name to write its records by
    int parentField = -1;     // field of the parent record holding the key
    bool intoValues = false;  // the parent key is multivalued: match any value
    int keyField = -1;        // its own field holding the key
    std::vector<std::size_t> children;
    // For a whole export (or many named records) its records read in one pass; a few
    // named records fetch theirs by key instead (then it is empty).
    ChildRecords records;
    FieldNames names;
    std::vector<std::string> codes;  // output conversion by field, from the dictionary
    // IDs written of the records not held in `records`.
    std::unordered_set<std::string> writtenIds;
};

class Exporter {
public:
    Exporter(qvhost::Account& account, qvhost::ReferenceHost& host, QvDataset ds,
             const std::vector<MapEntry>& maps, const std::vector<InfoTable>& info, bool whole)
        : account_(account), ds_(ds) {
        for (std::size_t t = 0; t < info.size(); ++t) {
            ExportTable table;
            table.file = info[t].tableName;
            table.key = maps.size() == info.size() ? mapKey(maps[t]) : info[t].tableName;
            const qvhost::Dictionary* dictionary = host.findDictionary(table.file);
            table.names = FieldNames(dictionary);
            if (dictionary)
                for (const qvhost::Column& c : dictionary->columns()) {
                    if (c.result < 0 || c.result > 100000 || c.code.empty()) continue;
                    if (table.codes.size() <= std::size_t(c.result)) table.codes.resize(std::size_t(c.result) + 1);
                    if (table.codes[std::size_t(c.result)].empty()) table.codes[std::size_t(c.result)] = c.code;
                }
            tables_.push_back(std::move(table));
        }
        // A child table is reached through its first child key.
        for (std::size_t t = 1; t < info.size(); ++t) {
            for (const InfoEntry& e : info[t].entries) {
                if ((e.code != 5 && e.code != 6 && e.code != 7) || e.more.size() < 2) continue;
                const int parent = std::atoi(e.more[0].c_str());
                if (parent < 1 || std::size_t(parent) > info.size() || std::size_t(parent) == t + 1)
                    break;
                ExportTable& child = tables_[t];
                child.parentField = std::atoi(e.more[1].c_str());
                child.intoValues = e.code == 7;
                child.keyField = e.field;
                tables_[std::size_t(parent - 1)].children.push_back(t);
                const std::size_t field = std::size_t(e.field);
                if (!whole) break;
                child.records = ChildRecords(field);
                account.scan(child.file, [&](const std::string&, const std::string& record) {
                    child.records.add(record);
                    return true;
                });
                child.records.finish();
                break;
            }
            if (tables_[t].parentField < 0 && info[t].level > 1)
                std::fprintf(stderr, "qvxml export: %s has no key to its parent table; its records are left out\n",
                             info[t].tableName.c_str());
        }
    }

    // Writes a record of table `t` and, after it, the records of its child tables
    // that belong to it (so both Cascade and key matching place them under it).
    // Each record is written once, however often the command line or the keys name it.
    // `depth`: as for write.
    void push(std::size_t t, std::string_view record, std::size_t depth = 0) {
        if (!tables_[t].writtenIds.emplace(record.substr(0, record.find(kFieldMark))).second) return;
        write(t, record, depth);
    }
    // A record of the root table read by a scan of its file, where IDs are unique.
    void pushScanned(std::string_view record) { write(0, record, 0); }

    // Once every record is pushed: the library holds its own copy of each, so the
    // child records read for the lookups are let go before the document is built,
    // which is when the export uses the most memory.
    void releaseRecords() {
        for (ExportTable& table : tables_) {
            table.records = ChildRecords();
            table.writtenIds = {};
        }
        fields_ = {};
    }

    long long written() const { return written_; }
    long long refused() const { return refused_; }
    const std::string& rootFile() const { return tables_.at(0).file; }

private:
    // push, once the record is known to be written for the first time. `depth` is
    // how many records are being written around it: each depth has its own fields,
    // reused from record to record (a whole export writes millions).
    void write(std::size_t t, std::string_view record, std::size_t depth) {
        const std::string_view id = record.substr(0, record.find(kFieldMark));
        if (fields_.size() == depth) fields_.emplace_back();
        std::vector<std::string_view>& fields = fields_[depth];  // a deque: stays put
        viewFields(record, fields);
        checkConversions(t, id, fields);
        if (QV_XMAPWriteNext(ds_, tables_[t].key.c_str(), record.data(), int(record.size())) != 0)
            libraryFailure("cannot write a record of " + tables_[t].file + ":");
        ++written_;
        for (std::size_t c : tables_[t].children) {
            const std::size_t f = std::size_t(tables_[c].parentField);
            const std::string_view key = f < fields.size() ? fields[f] : std::string_view();
            if (!tables_[c].intoValues) {
                writeChildren(t, id, c, key, depth);
                continue;
            }
            // Each value and each subvalue of a multivalued key names its own records.
            std::size_t begin = 0;
            for (;;) {
                const std::size_t at = key.find_first_of(kValueOrSubvalueMark, begin);
                writeChildren(t, id, c, key.substr(begin, at == std::string_view::npos ? at : at - begin), depth);
                if (at == std::string_view::npos) break;
                begin = at + 1;
            }
        }
    }

    // The records of child table `c` with key `key`, under the record `id` of table `t`.
    void writeChildren(std::size_t t, std::string_view id, std::size_t c, std::string_view key, std::size_t depth) {
        // No key names no record; nor does the null mark, which an import stores for
        // an empty value when the mapping has EmptyString IsNull.
        if (key.empty() || key == std::string_view(&kNullMark, 1)) return;
        ExportTable& child = tables_[c];
        if (child.records.empty()) {
            std::vector<std::string> found;
            account_.scanWhereField(child.file, child.keyField, std::string(key),
                                    [&](const std::string&, const std::string& r) {
                                        found.push_back(r);
                                        return true;
                                    });
            for (const std::string& childRecord : found) push(c, childRecord, depth + 1);
            if (found.empty()) noteMissingChild(t, id, c, key);
            return;
        }
        const bool found = child.records.find(key, [&](std::uint32_t at) {
            if (child.records.written[at]) return;
            child.records.written[at] = true;
            write(c, child.records.record(at), depth + 1);
        });
        if (!found) noteMissingChild(t, id, c, key);
    }

    // A key value of a multivalued parent key stands for a child record; when none is
    // stored (removed since, or never imported) only the key is written: say which.
    void noteMissingChild(std::size_t t, std::string_view id, std::size_t c, std::string_view key) {
        if (!tables_[c].intoValues || ++missingChildren_ > 20) return;
        std::fprintf(stderr,
                     "qvxml export: warning: %s record %s holds the key %s, but no %s record has "
                     "it: only the key is written\n",
                     tables_[t].file.c_str(), visible(std::string(id)).c_str(), visible(std::string(key)).c_str(),
                     tables_[c].file.c_str());
    }
    long long missingChildren_ = 0;
    std::string field_, converted_;  // reused by checkConversions
    std::deque<std::vector<std::string_view>> fields_;  // by depth, reused by write

    // The library leaves out a value its output conversion refuses: say which.
    void checkConversions(std::size_t t, std::string_view id, const std::vector<std::string_view>& fields) {
        const ExportTable& table = tables_[t];
        if (table.codes.empty()) return;
        for (std::size_t f = 1; f < fields.size() && f < table.codes.size(); ++f) {
            if (table.codes[f].empty() || fields[f].empty()) continue;
            field_.assign(fields[f]);
            qvhost::convertField(field_, table.codes[f], QV_CONV_TO_XML, kValueMark, kSubvalueMark,
                                 kNullMark, converted_, [&](const std::string& piece, std::string&) {
                                     ++refused_;
                                     std::fprintf(stderr,
                                                  "qvxml export: warning: %s record %s, column %s: value "
                                                  "\"%s\" refused by output conversion %s; left out\n",
                                                  table.file.c_str(), visible(std::string(id)).c_str(),
                                                  table.names.name(f).c_str(), visible(piece).c_str(),
                                                  table.codes[f].c_str());
                                 });
        }
    }

    qvhost::Account& account_;
    QvDataset ds_;
    long long refused_ = 0;
    std::vector<ExportTable> tables_;
    long long written_ = 0;
};

}  // namespace

int runExport(const Args& args) {
    args.expect(1, std::size_t(-1));
    const QvDocSettings settings = writerSettings(args);
    const std::string out = args.value("-o");
    std::unique_ptr<OutputFile> file;
    if (!out.empty()) file = std::make_unique<OutputFile>(out);  // before the work
    Session session;
    Handle mapping = session.parse(args.positional()[0], "mapping");
    const std::string path = accountPath(args.value("--account"));
    requireAccount(path);
    qvhost::Account account(path, true);
    session.useDictionaries(&account, "");
    Dataset ds = session.open(nullptr, mapping.get(), XML_CREATE, nullptr);
    const std::vector<InfoTable> info = describeDataset(ds.get());
    if (info.empty()) throw Failure("the mapping describes no table");
    const bool whole = args.positional().size() == 1;
    // Each child key fetched alone is one pass over the child file in SQLite: for a
    // few named records that is far less than reading every child record; for many,
    // one pass that indexes them all is less.
    const bool indexChildren = whole || args.positional().size() > 1 + kFewRecords;
    Exporter exporter(account, session.host(), ds.get(), mapEntries(mapping.get()), info,
                      indexChildren);
    const InterruptGuard interrupts(out.empty() ? "nothing written" : out + " is left as it was");

    Progress progress("exporting");
    if (whole) {
        account.scan(exporter.rootFile(), [&](const std::string&, const std::string& record) {
            exporter.pushScanned(record);
            progress.update(exporter.written());
            return !InterruptGuard::interrupted();
        });
    } else {
        for (std::size_t i = 1; i < args.positional().size(); ++i) {
            std::string record;
            if (!account.get(exporter.rootFile(), args.positional()[i], record))
                throw Failure("no record " + visible(args.positional()[i]) + " in " + exporter.rootFile());
            exporter.push(0, record);
        }
    }
    interrupts.check();
    exporter.releaseRecords();

    // A document needs an element: with no record there is nothing to build.
    if (exporter.written() == 0) throw Failure("no records in " + exporter.rootFile() + " to export");
    Handle doc(QV_XMAPToDOM(ds.get(), &settings));
    if (!doc) libraryFailure("cannot build the document:");
    interrupts.check();
    const char* text = QV_XDOMWrite(doc.get(), &settings, file ? file->path().c_str() : nullptr);
    if (!text) libraryFailure("cannot write the document:");
    interrupts.check();
    if (file) {
        tidyFile(file->path(), settings);
        file->commit();
    } else {
        writeDocumentOutput(qv::writtenText(doc.get()), settings);
    }
    progress.done();
    std::fprintf(stderr, "exported %lld record%s", exporter.written(), exporter.written() == 1 ? "" : "s");
    if (exporter.refused())
        std::fprintf(stderr, " (%lld value%s left out: refused by the output conversion)",
                     exporter.refused(), exporter.refused() == 1 ? "" : "s");
    std::fprintf(stderr, "\n");
    exitWithoutTeardown(kSuccess);
    return kSuccess;
}

}  // namespace qvcli
