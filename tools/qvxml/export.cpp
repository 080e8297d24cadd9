// `qvxml export`: records of the account written back as one XML document through
// a mapping: the root table's records (all, or those named) with their related
// child records, pushed with QV_XMAPWriteNext and built with QV_XMAPToDOM.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unordered_map>
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

// The fields of a record as views into it: every record is split once, without a
// copy of each field (a whole export splits millions).
void viewFields(const std::string& record, std::vector<std::string_view>& fields) {
    fields.clear();
    const std::string_view text(record);
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
std::string_view fieldOf(const std::string& record, std::size_t field) {
    std::size_t begin = 0;
    for (; field > 0; --field) {
        begin = record.find(kFieldMark, begin);
        if (begin == std::string::npos) return {};
        ++begin;
    }
    const std::size_t end = record.find(kFieldMark, begin);
    return std::string_view(record).substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// A table of the mapping and how its records are found from their parent's.
struct ExportTable {
    std::string file;
    std::string key;          // name to write its records by
    int parentField = -1;     // field of the parent record holding the key
    bool intoValues = false;  // the parent key is multivalued: match any value
    int keyField = -1;        // its own field holding the key
    std::vector<std::size_t> children;
    // For a whole export: records by the text of their child key field, in record ID
    // order, read in one pass. A few named records fetch theirs by key instead.
    // They are held once, with whether each has been written, and found by index.
    std::vector<std::string> records;
    std::vector<bool> written;
    std::unordered_map<std::string, std::vector<std::uint32_t>> byKey;
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
                std::string key;
                account.scan(child.file, [&](const std::string&, const std::string& record) {
                    key.assign(fieldOf(record, field));
                    child.byKey[key].push_back(std::uint32_t(child.records.size()));
                    child.records.push_back(record);
                    return true;
                });
                child.written.assign(child.records.size(), false);
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
    void push(std::size_t t, const std::string& record) {
        if (!tables_[t].writtenIds.insert(record.substr(0, record.find(kFieldMark))).second) return;
        write(t, record);
    }
    // A record of the root table read by a scan of its file, where IDs are unique.
    void pushScanned(const std::string& record) { write(0, record); }

    long long written() const { return written_; }
    long long refused() const { return refused_; }
    const std::string& rootFile() const { return tables_.at(0).file; }

private:
    // push, once the record is known to be written for the first time.
    void write(std::size_t t, const std::string& record) {
        const std::string id = record.substr(0, record.find(kFieldMark));
        std::vector<std::string_view> fields;
        viewFields(record, fields);
        checkConversions(t, id, fields);
        if (QV_XMAPWriteNext(ds_, tables_[t].key.c_str(), record.data(), int(record.size())) != 0)
            libraryFailure("cannot write a record of " + tables_[t].file + ":");
        ++written_;
        if (tables_[t].children.empty()) return;
        for (std::size_t c : tables_[t].children) {
            ExportTable& child = tables_[c];
            const std::size_t f = std::size_t(child.parentField);
            const std::string key(f < fields.size() ? fields[f] : std::string_view());
            std::vector<std::string> keys{key};
            if (child.intoValues) {
                keys.clear();
                for (const std::string& value : splitMarks(key, kValueMark))
                    for (const std::string& sub : splitMarks(value, kSubvalueMark)) keys.push_back(sub);
            }
            for (const std::string& k : keys) {
                if (k.empty()) continue;
                if (child.byKey.empty()) {
                    std::vector<std::string> found;
                    account_.scanWhereField(child.file, child.keyField, k,
                                            [&](const std::string&, const std::string& r) {
                                                found.push_back(r);
                                                return true;
                                            });
                    for (const std::string& childRecord : found) push(c, childRecord);
                    if (found.empty()) noteMissingChild(t, id, c, k);
                    continue;
                }
                auto it = child.byKey.find(k);
                if (it == child.byKey.end()) {
                    noteMissingChild(t, id, c, k);
                    continue;
                }
                for (std::uint32_t i : it->second) {
                    if (child.written[i]) continue;
                    child.written[i] = true;
                    write(c, child.records[i]);
                }
            }
        }
    }

    // A key value of a multivalued parent key stands for a child record; when none is
    // stored (removed since, or never imported) only the key is written: say which.
    void noteMissingChild(std::size_t t, const std::string& id, std::size_t c, const std::string& key) {
        if (!tables_[c].intoValues || ++missingChildren_ > 20) return;
        std::fprintf(stderr,
                     "qvxml export: warning: %s record %s holds the key %s, but no %s record has "
                     "it: only the key is written\n",
                     tables_[t].file.c_str(), visible(id).c_str(), visible(key).c_str(),
                     tables_[c].file.c_str());
    }
    long long missingChildren_ = 0;
    std::string field_, converted_;  // reused by checkConversions

    // The library leaves out a value its output conversion refuses: say which.
    void checkConversions(std::size_t t, const std::string& id, const std::vector<std::string_view>& fields) {
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
                                                  table.file.c_str(), visible(id).c_str(),
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
