// `qvxml import`: documents read through a mapping into the records of the account,
// all in one transaction; `--dry-run` prints the records as they would be stored.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "mapping_check.h"
#include "incoming.h"
#include "mapping_info.h"
#include "progress.h"
#include "records.h"
#include "safe_output.h"
#include "session.h"
#include "store_rules.h"

namespace qvcli {
namespace {

// How many lines of one kind of problem a message shows; the rest are counted.
constexpr std::size_t kShownLines = 20;

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The ".dict" file of `file` in `directory` (as named, else in upper case), or "".
std::string dictionaryFile(const std::string& directory, const std::string& file) {
    if (directory.empty()) return "";
    for (const std::string& name : {file, qvhost::upperAscii(file)}) {
        const std::string path = directory + "/" + name + ".dict";
        if (std::ifstream(path)) return path;
    }
    return "";
}

std::string idOf(const std::string& record) { return record.substr(0, record.find(kFieldMark)); }

// Counts per table, in the order tables are first met.
struct Tally {
    std::vector<std::pair<std::string, long long>> tables;
    long long total = 0;
    void add(const std::string& table) {
        ++total;
        for (auto& t : tables)
            if (t.first == table) {
                ++t.second;
                return;
            }
        tables.emplace_back(table, 1);
    }
    std::string text() const {
        std::string out;
        for (const auto& t : tables)
            out += (out.empty() ? "" : ", ") + t.first + " " + std::to_string(t.second);
        return out.empty() ? "no records" : out;
    }
};

// Lines of one kind of problem: the first ones kept, all counted.
struct Lines {
    std::vector<std::string> shown;
    long long count = 0;
    // Keeps `line`; true when it is one of those shown.
    bool add(std::string line) {
        ++count;
        if (shown.size() >= kShownLines) return false;
        shown.push_back(std::move(line));
        return true;
    }
    std::string more() const {
        return count > static_cast<long long>(shown.size())
                   ? "  ... and " + std::to_string(count - static_cast<long long>(shown.size())) + " more\n"
                   : "";
    }
    std::string text() const {
        std::string out;
        for (const std::string& line : shown) out += "\n  " + line;
        const std::string rest = more();
        return rest.empty() ? out : out + "\n" + rest.substr(0, rest.size() - 1);
    }
    // The names shown, on one line.
    std::string names() const {
        std::string out;
        for (const std::string& line : shown) out += (out.empty() ? "" : ", ") + line;
        return count > static_cast<long long>(shown.size()) ? out + ", ..." : out;
    }
};

struct Options {
    bool dryRun, json, skipBadValues, removeOrphans;
    std::string dicts, path;
};

// A child key of a table: which parent key field its values point into.
struct ChildLink {
    std::size_t child;  // map index
    int childField;
    std::size_t parent;
    int parentField;
};

class Importer {
public:
    Importer(Session& session, QvHandle mapping, const Options& options)
        : session_(session), mapping_(mapping), options_(options),
          maps_(mapEntries(mapping)), interrupts_("the account is left as it was") {}
    // A failed import removes the account only when this run made the file.
    ~Importer() {
        if (!created_) return;
        account_.reset();
        unlink(options_.path.c_str());
    }
    Importer(const Importer&) = delete;
    Importer& operator=(const Importer&) = delete;

    void openAccount();
    // The mapping's mistakes, with the dictionaries of the account at hand: Failure.
    void checkMapping(const std::string& file) {
        checked_ = requireSoundMapping(file, session_);
        mappingFile_ = file;
    }
    // Document `number` of `documents`, for the progress line.
    void readDocument(const std::string& document, std::size_t number, std::size_t documents);
    void finish();
    void summary(std::size_t documents, double seconds) const;
    void noteEmptyColumns() const;
    void noteChangedDictionaries() const;

private:
    void prepare(QvDataset ds);
    void readTable(QvDataset ds, std::size_t m, const std::string& document);
    void take(std::size_t m, std::string record, const std::string& document, long long number);
    bool lookup(std::size_t m, const std::string& id, std::string& stored);
    void store(std::size_t m, const std::string& id, const std::string& record, bool stored);
    void noteRefused(const std::string& document, std::size_t m, const std::string& id,
                     const Refused& refused);
    void noteDropped(std::size_t m, const std::string& before, const std::string& after);
    void noteUnwritable(const std::string& document, std::size_t m, const std::string& id,
                        const std::string& record);
    long long unwritable_ = 0;  // values an export cannot write, told as they came
    void findOrphans();
    using Visit = std::function<bool(const std::string& id, const std::string& record)>;
    void scanStored(const std::string& table, const Visit& visit);

    Session& session_;
    QvHandle mapping_;
    Options options_;
    std::vector<MapEntry> maps_;
    MappingCheck checked_;
    InterruptGuard interrupts_;
    Progress progress_{"importing", !options_.dryRun};
    std::size_t document_ = 0, documents_ = 0;
    std::unique_ptr<qvhost::Account> account_;
    bool created_ = false;  // this run made the account file
    std::vector<InfoTable> info_;
    std::vector<FieldNames> names_;
    std::vector<ChildLink> links_;
    std::unique_ptr<Numbering> numbering_;
    std::vector<bool> expectNew_;
    // Records of this import by file (maps of one file share one) and ID.
    std::vector<std::size_t> fileOf_;
    std::vector<std::unordered_set<std::string>> seen_;
    std::vector<int> linkCode_;  // the description's code of each link (0: a 5 into a single value)
    bool multivaluedField(std::size_t m, int field) const {
        const qvhost::Dictionary* dictionary = session_.host().findDictionary(maps_[m].tableName);
        if (!dictionary) return false;
        for (const qvhost::Column& c : dictionary->columns())
            if (c.result == field && c.multivalued) return true;
        return false;
    }
    // Per map: the columns the mapping reads (field, index in checked_.columns), and
    // whether each found a value in some record of the import.
    std::vector<std::vector<std::pair<int, std::size_t>>> readColumns_;
    std::vector<std::vector<bool>> columnFound_;
    std::vector<long long> readInDocument_;  // records of each map in the import
    std::string mappingFile_;
    std::vector<long long> keyedParents_;  // per link: parent records of this document with keys
    std::unordered_map<std::string, std::string> dryStore_;  // --dry-run: stored by key
    // Parent key values a joined record no longer holds, by link.
    std::vector<std::unordered_set<std::string>> dropped_;
    Tally tally_;
    long long new_ = 0, updated_ = 0, orphansRemoved_ = 0;
    Lines repeated_, badValues_, orphans_;
    std::unordered_set<std::string> repeatedIds_;
    double libraryTime_ = 0, storeTime_ = 0;
};

// The account file is made here when there is none, with O_EXCL: only a file this run
// made may be removed when the import fails. An existing file that cannot be opened
// is an error and stays as it is.
void Importer::openAccount() {
    const std::string& path = options_.path;
    struct stat st {};
    const bool exists = lstat(path.c_str(), &st) == 0;
    if (options_.dryRun) {
        if (exists) account_ = std::make_unique<qvhost::Account>(path, true);
    } else if (exists) {
        account_ = std::make_unique<qvhost::Account>(path, true);
    } else {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            throw Failure("cannot create account " + path + ": " + std::strerror(errno));
        close(fd);
        created_ = true;
        try {
            account_ = std::make_unique<qvhost::Account>(path, true);
        } catch (...) {
            unlink(path.c_str());
            throw;
        }
    }
    if (options_.dryRun) {
        if (account_) noteChangedDictionaries();
        session_.useDictionaries(account_.get(), options_.dicts);
        return;
    }
    account_->addMissingViews();
    account_->begin();
    noteChangedDictionaries();
    // Dictionaries found in --dicts for files the account lacks join the account with
    // the records.
    for (const MapEntry& map : maps_) {
        std::string text;
        if (!qvhost::Account::validFileName(map.tableName, nullptr)) continue;
        if (account_->dictionary(map.tableName, text)) continue;
        const std::string file = dictionaryFile(options_.dicts, map.tableName);
        if (file.empty()) continue;
        text = readFile(file);
        qvhost::Dictionary check;
        std::string error;
        if (!check.parse(text, &error, true)) throw Failure(file + ": " + error);
        account_->putDictionary(map.tableName, text);
    }
    session_.useDictionaries(account_.get(), "");
    session_.dictionaryFolder(options_.dicts);
}

// What the first dataset tells of the mapping: the rules of each table, the field
// names, the generated numbers and the links between parent and child keys.
void Importer::prepare(QvDataset ds) {
    info_ = describeDataset(ds);
    for (const MapEntry& map : maps_)
        names_.emplace_back(session_.host().findDictionary(map.tableName));
    expectNew_.assign(maps_.size(), true);
    numbering_ = std::make_unique<Numbering>(maps_, info_);
    if (numbering_->any()) numbering_->start(account_.get());
    for (std::size_t t = 0; t < info_.size() && t < maps_.size(); ++t)
        for (const InfoEntry& e : info_[t].entries)
            if ((e.code == 5 || e.code == 6 || e.code == 7) && e.more.size() >= 2) {
                const std::size_t parent = std::size_t(std::atoi(e.more[0].c_str()));
                if (parent >= 1 && parent <= maps_.size())
                if (parent >= 1 && parent <= maps_.size())
                    linkCode_.push_back(e.code == 5 && !multivaluedField(parent - 1, std::atoi(e.more[1].c_str()))
                                            ? 0 : e.code);
                if (parent >= 1 && parent <= maps_.size())
                    links_.push_back(ChildLink{t, e.field, parent - 1, std::atoi(e.more[1].c_str())});
            }
    dropped_.resize(links_.size());
    readColumns_.assign(maps_.size(), {});
    for (std::size_t m = 0; m < maps_.size(); ++m) {
        const qvhost::Dictionary* dictionary = session_.host().findDictionary(maps_[m].tableName);
        for (std::size_t c = 0; dictionary && c < checked_.columns.size(); ++c) {
            const MappedColumn& column = checked_.columns[c];
            if (qvhost::upperAscii(column.table) != qvhost::upperAscii(maps_[m].tableName)) continue;
            const qvhost::Column* found = dictionary->find(column.column.c_str());
            if (found && found->result > 0) readColumns_[m].emplace_back(found->result, c);
        }
    }
    readInDocument_.assign(maps_.size(), 0);
    columnFound_.assign(maps_.size(), {});
    for (std::size_t m = 0; m < maps_.size(); ++m) columnFound_[m].assign(readColumns_[m].size(), false);
    for (std::size_t m = 0; m < maps_.size(); ++m) {
        std::size_t f = m;
        for (std::size_t o = 0; o < m; ++o)
            if (qvhost::upperAscii(maps_[o].tableName) == qvhost::upperAscii(maps_[m].tableName)) f = fileOf_[o];
        fileOf_.push_back(f);
    }
    seen_.resize(maps_.size());
}

namespace {

// Whether field `field` of a record holds anything but marks and the null mark.
bool hasValue(const char* record, int field) {
    if (!record || field < 0) return false;
    const char* p = record;
    for (int f = 0; f < field; ++f) {
        p = std::strchr(p, kFieldMark);
        if (!p) return false;
        ++p;
    }
    for (; *p && *p != kFieldMark; ++p)
        if (*p != kValueMark && *p != kSubvalueMark && *p != kNullMark) return true;
    return false;
}

}  // namespace

// A column that found no value in any record of the import: a misspelt element or
// attribute name in its path looks exactly like an absent value to the library, so
// the column is named with its mapping line (a note: optional data may be absent).
void Importer::noteEmptyColumns() const {
    // One line per table, each column with its place in the mapping.
    for (std::size_t m = 0; m < maps_.size() && m < readColumns_.size(); ++m) {
        if (readInDocument_[m] == 0) continue;
        std::string list;
        int count = 0;
        for (std::size_t c = 0; c < readColumns_[m].size(); ++c) {
            if (columnFound_[m][c]) continue;
            const MappedColumn& column = checked_.columns[readColumns_[m][c].second];
            list += std::string(count++ ? ", " : "") + column.column + " (" + mappingFile_ + ":" +
                    std::to_string(column.line) + ":" + std::to_string(column.column_) + ", path \"" +
                    column.path + "\")";
        }
        if (count == 0) continue;
        std::fprintf(stderr,
                     "note: %d column%s of %s found no value in any of the %lld record%s read: %s; "
                     "if %s should have, check %s path\n",
                     count, count == 1 ? "" : "s", maps_[m].tableName.c_str(), readInDocument_[m],
                     readInDocument_[m] == 1 ? "" : "s", list.c_str(), count == 1 ? "it" : "they",
                     count == 1 ? "its" : "the");
    }
}

// The account's dictionary rules; one in --dicts that differs from it (edited since
// it was loaded) would otherwise be passed over without a word.
void Importer::noteChangedDictionaries() const {
    if (options_.dicts.empty()) return;
    for (const MapEntry& map : maps_) {
        std::string text;
        if (!qvhost::Account::validFileName(map.tableName, nullptr) ||
            !account_->dictionary(map.tableName, text))
            continue;
        const std::string file = dictionaryFile(options_.dicts, map.tableName);
        if (!file.empty() && readFile(file) != text)
            std::fprintf(stderr,
                         "note: %s differs from the dictionary of %s in %s, which is the one "
                         "used; `qvxml dict %s %s` loads it\n",
                         file.c_str(), map.tableName.c_str(), options_.path.c_str(),
                         map.tableName.c_str(), file.c_str());
    }
}

void Importer::readDocument(const std::string& document, std::size_t number,
                            std::size_t documents) {
    document_ = number;
    documents_ = documents;
    auto phase = std::chrono::steady_clock::now();
    Handle doc = session_.parse(document, "document");
    interrupts_.check();
    session_.host().clearRefusals();
    Dataset ds = session_.open(doc.get(), mapping_, QV_XMAP_READ, nullptr);
    doc.reset();
    if (Q_XMLGetErrCode() != 0) libraryFailure(document + ": records were lost while reading:");
    QV_XMAPSetOption(ds.get(), QV_XMAP_OPT_CASCADE, 0);  // every table read whole
    if (!numbering_) prepare(ds.get());
    libraryTime_ += since(phase);
    interrupts_.check();
    keyedParents_.assign(links_.size(), 0);

    for (std::size_t m = 0; m < maps_.size(); ++m) readTable(ds.get(), m, document);
    numbering_->endDocument();
}

void Importer::readTable(QvDataset ds, std::size_t m, const std::string& document) {
    const std::string key = maps_.size() == 1 ? std::string() : mapKey(maps_[m]);
    for (long long number = 1;; ++number) {
        auto phase = std::chrono::steady_clock::now();
        char* text = nullptr;
        const int rc = QV_XMAPReadNext(ds, key.c_str(), &text);
        libraryTime_ += since(phase);
        if (rc == QV_END_OF_TABLE) {
            if (number == 1 && maps_[m].level == 1) warnNothingFound(document, maps_[m], checked_);
            // A nested map keyed by a declared multivalued key field of its parent
            // (not the ID nor a generated key), whose parents in this document hold
            // key values but which found no element: its start path is wrong (a
            // parent without children has no key values there).
            for (std::size_t l = 0; number == 1 && l < links_.size(); ++l)
                if (links_[l].child == m && (linkCode_[l] == 5 || linkCode_[l] == 7) &&
                    links_[l].parentField > 0 && keyedParents_[l] > 0) {
                    warnNothingFound(document, maps_[m], checked_, &maps_[links_[l].parent],
                                     keyedParents_[l]);
                    break;
                }
            return;
        }
        if (rc != 0)
            libraryFailure(document + ": cannot read the records of " + maps_[m].tableName + ":");
        phase = std::chrono::steady_clock::now();
        for (std::size_t l = 0; l < links_.size(); ++l)
            if (links_[l].parent == m && hasValue(text, links_[l].parentField)) ++keyedParents_[l];
        ++readInDocument_[m];
        if (m < readColumns_.size())
            for (std::size_t c = 0; c < readColumns_[m].size(); ++c)
                if (!columnFound_[m][c] && hasValue(text, readColumns_[m][c].first))
                    columnFound_[m][c] = true;
        take(m, text, document, number);
        storeTime_ += since(phase);
        progress_.update(tally_.total, document_, documents_);
        if ((tally_.total & 0xFFFF) == 0) interrupts_.check();
    }
}

// One record read from a document: refused values named, generated numbers shifted,
// then joined with what is stored under its ID (or with an earlier record of this
// import) and stored.
void Importer::take(std::size_t m, std::string record, const std::string& document,
                    long long number) {
    const std::string& table = maps_[m].tableName;
    const std::vector<Refused> refused = takeRefusals(record, session_.host());
    numbering_->shift(m, record);
    const std::string id = idOf(record);
    if (id.empty() || id == std::string(1, kNullMark))
        throw Failure(document + ": record " + std::to_string(number) + " of " + table +
                      " has an empty record ID");
    for (const Refused& r : refused) noteRefused(document, m, id, r);
    noteUnwritable(document, m, id, record);
    tally_.add(table);
    const bool again = !seen_[fileOf_[m]].insert(id).second;
    // Named once however often it came.
    if (again && repeatedIds_.insert(maps_[fileOf_[m]].tableName + '\n' + id).second)
        repeated_.add(table + " " + visible(id));

    bool isNew = false;
    if (!again && expectNew_[m] && !options_.dryRun) isNew = account_->insertNew(table, id, record);
    const char* state = "new";
    if (!isNew) {
        std::string stored;
        const bool had = lookup(m, id, stored);
        if (had && !again && numbering_->generated(m, 0))
            throw Failure(document + ": the generated record ID " + visible(id) + " of " + table +
                          " would replace a stored record");
        if (had) {
            std::string joined = joinRecord(stored, record, m < info_.size() ? &info_[m] : nullptr);
            noteDropped(m, stored, joined);
            record = std::move(joined);
            state = "joined";
        }
        store(m, id, record, had);
        isNew = !had;
    }
    expectNew_[m] = isNew;
    if (!again) ++(isNew ? new_ : updated_);
    if (!options_.dryRun) return;
    if (options_.json)
        printJson(stdout, table, record, names_[m], state);
    else
        printRecord(stdout, table, record, names_[m], state);
}

bool Importer::lookup(std::size_t m, const std::string& id, std::string& stored) {
    const std::string& table = maps_[m].tableName;
    if (options_.dryRun) {
        auto it = dryStore_.find(qvhost::upperAscii(table) + '\n' + id);
        if (it != dryStore_.end()) {
            stored = it->second;
            return true;
        }
        std::string text;
        return account_ && account_->dictionary(table, text) && account_->get(table, id, stored);
    }
    return account_->get(table, id, stored);
}

void Importer::store(std::size_t m, const std::string& id, const std::string& record,
                     bool stored) {
    const std::string& table = maps_[m].tableName;
    if (options_.dryRun)
        dryStore_[qvhost::upperAscii(table) + '\n' + id] = record;
    else if (stored)
        account_->update(table, id, record);
    else
        account_->put(table, id, record);
}

void Importer::noteRefused(const std::string& document, std::size_t m, const std::string& id,
                           const Refused& r) {
    const std::string& column = names_[m].name(r.field);
    const std::string line = document + ": " + maps_[m].tableName + " record " + visible(id) +
                             ", column " + (column.empty() ? "field " + std::to_string(r.field) : column) +
                             ": value \"" + visible(r.value) + "\" refused by conversion " + r.code;
    if (badValues_.add(line) && options_.skipBadValues)
        std::fprintf(stderr, "qvxml import: warning: %s (skipped)\n", line.c_str());
}

// A value holding a control character XML 1.0 cannot carry (from an XML 1.1
// document: "&#x1;") is stored as it came, but no export can write it back: the user
// is told now, by record and column, rather than by the first export that fails.
void Importer::noteUnwritable(const std::string& document, std::size_t m, const std::string& id,
                              const std::string& record) {
    std::size_t field = 0;
    long long named = -1;
    for (unsigned char c : record) {
        if (c == static_cast<unsigned char>(kFieldMark)) ++field;
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r' || (long long)field == named) continue;
        named = (long long)field;
        if (++unwritable_ > 20) continue;
        const std::string& column = names_[m].name(field);
        char code[8];
        std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
        std::fprintf(stderr,
                     "qvxml import: warning: %s: %s record %s, column %s: the value holds the "
                     "character %s, which XML 1.0 cannot carry: it is stored, but an export "
                     "will refuse it\n",
                     document.c_str(), maps_[m].tableName.c_str(), visible(id).c_str(),
                     column.empty() ? ("field " + std::to_string(field)).c_str() : column.c_str(), code);
    }
}

// A joined parent record may hold fewer keys than before: the child records of the
// keys it dropped may be left without a parent.
void Importer::noteDropped(std::size_t m, const std::string& before, const std::string& after) {
    if (links_.empty()) return;
    const std::vector<std::string> old = splitMarks(before, kFieldMark);
    const std::vector<std::string> now = splitMarks(after, kFieldMark);
    for (std::size_t l = 0; l < links_.size(); ++l) {
        const ChildLink& link = links_[l];
        const std::size_t f = std::size_t(link.parentField);
        if (link.parent != m || f >= old.size() || old[f].empty()) continue;
        const std::vector<std::string> kept =
            f < now.size() ? splitMarks(now[f], kValueMark) : std::vector<std::string>{};
        const std::unordered_set<std::string> keep(kept.begin(), kept.end());
        for (const std::string& value : splitMarks(old[f], kValueMark))
            if (!value.empty() && !keep.count(value)) dropped_[l].insert(value);
    }
}

// Child records whose key no parent record holds any more: named, and removed with
// --remove-orphans. One pass over the parent file and one over the child file per
// link that dropped keys.
void Importer::findOrphans() {
    for (std::size_t l = 0; l < links_.size(); ++l) {
        std::unordered_set<std::string>& keys = dropped_[l];
        if (keys.empty()) continue;
        const ChildLink& link = links_[l];
        scanStored(maps_[link.parent].tableName, [&](const std::string&, const std::string& r) {
            const std::vector<std::string> fields = splitMarks(r, kFieldMark);
            const std::size_t f = std::size_t(link.parentField);
            if (f < fields.size())
                for (const std::string& value : splitMarks(fields[f], kValueMark)) keys.erase(value);
            return !keys.empty();
        });
        if (keys.empty()) continue;
        const std::string& child = maps_[link.child].tableName;
        std::vector<std::string> found;
        scanStored(child, [&](const std::string& id, const std::string& r) {
            const std::vector<std::string> fields = splitMarks(r, kFieldMark);
            const std::size_t f = std::size_t(link.childField);
            if (f < fields.size() && keys.count(fields[f])) found.push_back(id);
            return true;
        });
        for (const std::string& id : found) {
            orphans_.add(child + " " + visible(id));
            if (!options_.removeOrphans || options_.dryRun) continue;
            account_->remove(child, id);
            ++orphansRemoved_;
        }
    }
}

// The records of a file as stored now: in a dry run, the account's with the records
// this run would store in their place, then those it would add.
void Importer::scanStored(const std::string& table, const Visit& visit) {
    if (!options_.dryRun) return account_->scan(table, visit);
    const std::string prefix = qvhost::upperAscii(table) + '\n';
    std::unordered_set<std::string> seen;
    bool going = true;
    std::string text;
    if (account_ && account_->dictionary(table, text))
        account_->scan(table, [&](const std::string& id, const std::string& record) {
            auto it = dryStore_.find(prefix + id);
            if (it == dryStore_.end()) return going = visit(id, record);
            seen.insert(id);
            return going = visit(id, it->second);
        });
    for (const auto& entry : dryStore_) {
        if (!going) return;
        if (entry.first.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string id = entry.first.substr(prefix.size());
        if (!seen.count(id)) going = visit(id, entry.second);
    }
}

void Importer::finish() {
    progress_.done();
    std::fflush(stdout);
    interrupts_.check();
    if (badValues_.count && !options_.skipBadValues)
        throw Failure(std::to_string(badValues_.count) + " value" + (badValues_.count == 1 ? "" : "s") +
                      " refused by their conversion; " +
                      (options_.dryRun ? "an import would store nothing"
                                       : "nothing is stored") +
                      " (--skip-bad-values stores the rest):" + badValues_.text());
    if (options_.skipBadValues && badValues_.more().size())
        std::fprintf(stderr, "qvxml import: warning:%s", badValues_.more().c_str());
    findOrphans();
    if (options_.dryRun) return;
    const auto phase = std::chrono::steady_clock::now();
    account_->commit();
    created_ = false;
    storeTime_ += since(phase);
}

void Importer::summary(std::size_t documents, double total) const {
    std::fprintf(stderr, "%s %lld record%s (%s) from %zu document%s in %.2f s, %.0f records/s",
                 options_.dryRun ? "read" : "imported", tally_.total, tally_.total == 1 ? "" : "s",
                 tally_.text().c_str(), documents,
                 documents == 1 ? "" : "s", total, total > 0 ? double(tally_.total) / total : 0.0);
    if (!options_.dryRun)
        std::fprintf(stderr, " into %s (library %.3f s, storing %.3f s)", options_.path.c_str(),
                     libraryTime_, storeTime_);
    std::fprintf(stderr, "\n%s: %lld new, %lld updated", options_.dryRun ? "would store" : "stored",
                 new_, updated_);
    if (badValues_.count) std::fprintf(stderr, ", %lld values skipped", badValues_.count);
    std::fprintf(stderr, "\n");
    if (repeated_.count)
        std::fprintf(stderr, "%lld record%s came more than once and %s joined: %s\n", repeated_.count,
                     repeated_.count == 1 ? "" : "s", repeated_.count == 1 ? "was" : "were",
                     repeated_.names().c_str());
    if (orphans_.count)
        std::fprintf(stderr, "%lld child record%s no longer referenced by a parent record%s: %s\n",
                     orphans_.count, orphans_.count == 1 ? "" : "s",
                     orphansRemoved_                                ? ", removed"
                     : options_.removeOrphans && options_.dryRun ? ", would be removed"
                                                                 : " (--remove-orphans removes them)",
                     orphans_.names().c_str());
}

}  // namespace

int runImport(const Args& args) {
    args.expect(2, std::size_t(-1));
    Options options{args.has("--dry-run"), args.has("--json"), args.has("--skip-bad-values"),
                    args.has("--remove-orphans"), args.value("--dicts"),
                    accountPath(args.value("--account"))};
    if (options.json && !options.dryRun) throw UsageError("--json goes with --dry-run");
    const auto start = std::chrono::steady_clock::now();
    if (options.dicts.empty()) requireAccount(options.path);  // nowhere else to find dictionaries
    else requireFolder(options.dicts);

    Session session;
    session.host().setMarkRefusals(true);
    Handle mapping = session.parse(args.positional()[0], "mapping");
    // Checks of the mapping itself belong here: before any account is opened.
    Importer importer(session, mapping.get(), options);
    importer.openAccount();
    importer.checkMapping(args.positional()[0]);
    const std::size_t documents = args.positional().size() - 1;
    for (std::size_t d = 1; d <= documents; ++d)
        importer.readDocument(args.positional()[d], d, documents);
    importer.noteEmptyColumns();
    importer.finish();
    importer.summary(args.positional().size() - 1, since(start));
    return kSuccess;
}

}  // namespace qvcli
