// `qvxml import`: documents read through a mapping into the records of the account,
// all in one transaction; `--dry-run` prints the records instead.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "mapping_check.h"
#include "mapping_info.h"
#include "progress.h"
#include "records.h"
#include "session.h"
#include "store_rules.h"

namespace qvcli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) { g_interrupted = 1; }

// Ctrl-C and termination only set a flag while the import runs: the transaction is
// then rolled back in order instead of being cut off.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted = 0;
        int index = 0;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction action {};
            action.sa_handler = onInterrupt;
            sigemptyset(&action.sa_mask);
            sigaction(sig, &action, &saved_[index++]);
        }
    }
    ~InterruptGuard() {
        int index = 0;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &saved_[index++], nullptr);
    }
    static void check() {
        if (g_interrupted) throw Failure("interrupted: the account is left as it was");
    }

private:
    struct sigaction saved_[3];
};

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

}  // namespace

int runImport(const Args& args) {
    args.expect(2, std::size_t(-1));
    const bool dryRun = args.has("--dry-run");
    const bool json = args.has("--json");
    const std::string dicts = args.value("--dicts");
    if (json && !dryRun) throw UsageError("--json goes with --dry-run");
    const std::string path = accountPath(args.value("--account"));
    const auto start = std::chrono::steady_clock::now();
    if (dicts.empty()) requireAccount(path);  // nowhere else to find dictionaries
    else requireFolder(dicts);

    Session session;
    Handle mapping = session.parse(args.positional()[0], "mapping");
    const std::vector<MapEntry> maps = mapEntries(mapping.get());

    std::unique_ptr<qvhost::Account> account;
    const bool existed = bool(std::ifstream(path));
    // An account that this import made is removed again when the import fails.
    struct MadeAccount {
        std::unique_ptr<qvhost::Account>& account;
        std::string path;
        bool keep;
        ~MadeAccount() {
            if (keep) return;
            account.reset();
            std::remove(path.c_str());
        }
    } made{account, path, existed || dryRun};
    if (!dryRun) {
        account = std::make_unique<qvhost::Account>(path);
    } else if (existed) {
        account = std::make_unique<qvhost::Account>(path, true);
    }
    InterruptGuard interrupts;
    if (!dryRun) {
        account->begin();
        // Dictionaries found in --dicts for files the account lacks join the account
        // with the records.
        for (const MapEntry& map : maps) {
            std::string text;
            if (!qvhost::Account::validFileName(map.tableName, nullptr) ||
                account->dictionary(map.tableName, text))
                continue;
            const std::string file = dictionaryFile(dicts, map.tableName);
            if (file.empty()) continue;
            text = readFile(file);
            qvhost::Dictionary check;
            std::string error;
            if (!check.parse(text, &error)) throw Failure(file + ": " + error);
            account->putDictionary(map.tableName, text);
        }
        session.useDictionaries(account.get(), "");
        session.dictionaryFolder(dicts);
    } else {
        session.useDictionaries(account.get(), dicts);
    }

    const MappingCheck checked = requireSoundMapping(args.positional()[0], session);

    // Field names for --dry-run, by table.
    std::map<std::string, FieldNames> names;
    auto namesOf = [&](const std::string& table) -> const FieldNames& {
        auto it = names.find(qvhost::upperAscii(table));
        if (it != names.end()) return it->second;
        return names.emplace(qvhost::upperAscii(table),
                             FieldNames(session.host().findDictionary(table)))
            .first->second;
    };

    Tally tally;
    double libraryTime = 0, storeTime = 0;
    Progress progress("importing", !dryRun);
    for (std::size_t d = 1; d < args.positional().size(); ++d) {
        const std::string& document = args.positional()[d];
        auto phase = std::chrono::steady_clock::now();
        Handle doc = session.parse(document, "document");
        InterruptGuard::check();
        std::string root;
        Dataset ds = session.open(doc.get(), mapping.get(), QV_XMAP_READ, &root);
        doc.reset();
        if (Q_XMLGetErrCode() != 0) libraryFailure(document + ": records were lost while reading:");
        QV_XMAPSetOption(ds.get(), QV_XMAP_OPT_CASCADE, 0);  // every table read whole
        const std::vector<InfoTable> info = describeDataset(ds.get());
        libraryTime += since(phase);
        InterruptGuard::check();

        for (std::size_t m = 0; m < maps.size(); ++m) {
            const MapEntry& map = maps[m];
            const InfoTable* rules = m < info.size() ? &info[m] : nullptr;
            const std::string key = maps.size() == 1 ? std::string() : mapKey(map);
            long long number = 0;
            // While records come new, each is inserted at once; after one that
            // joined a stored record, the stored one is looked up first. Either
            // way the same records are stored.
            bool expectNew = true;
            for (;;) {
                phase = std::chrono::steady_clock::now();
                char* text = nullptr;
                const int rc = QV_XMAPReadNext(ds.get(), key.c_str(), &text);
                libraryTime += since(phase);
                if (rc == QV_END_OF_TABLE) {
                    if (number == 0 && map.level == 1) warnNothingFound(document, map, checked);
                    break;
                }
                if (rc != 0) libraryFailure(document + ": cannot read the records of " + map.tableName + ":");
                ++number;
                const std::string record = text;
                const std::string id = record.substr(0, record.find(kFieldMark));
                if (id.empty() || id == std::string(1, kNullMark))
                    throw Failure(document + ": record " + std::to_string(number) + " of " +
                                  map.tableName + " has an empty record ID");
                tally.add(map.tableName);
                if (dryRun) {
                    if (json)
                        printJson(stdout, map.tableName, record, namesOf(map.tableName));
                    else
                        printRecord(stdout, map.tableName, record, namesOf(map.tableName));
                    continue;
                }
                phase = std::chrono::steady_clock::now();
                bool isNew = expectNew && account->insertNew(map.tableName, id, record);
                if (!isNew) {
                    std::string stored;
                    if (account->get(map.tableName, id, stored)) {
                        account->update(map.tableName, id, joinRecord(stored, record, rules));
                    } else {
                        account->put(map.tableName, id, record);
                        isNew = true;
                    }
                }
                expectNew = isNew;
                storeTime += since(phase);
                progress.update(tally.total, d, args.positional().size() - 1);
                if ((tally.total & 0xFFFF) == 0) InterruptGuard::check();
            }
        }
    }
    std::fflush(stdout);
    InterruptGuard::check();
    if (!dryRun) {
        const auto phase = std::chrono::steady_clock::now();
        account->commit();
        made.keep = true;
        storeTime += since(phase);
    }
    progress.done();
    const double total = since(start);
    std::fprintf(stderr, "%s %lld records (%s) from %zu document%s in %.2f s, %.0f records/s",
                 dryRun ? "read" : "imported", tally.total, tally.text().c_str(),
                 args.positional().size() - 1, args.positional().size() == 2 ? "" : "s", total,
                 total > 0 ? double(tally.total) / total : 0.0);
    if (!dryRun)
        std::fprintf(stderr, " into %s (library %.3f s, storing %.3f s)", path.c_str(),
                     libraryTime, storeTime);
    std::fprintf(stderr, "\n");
    return kSuccess;
}

}  // namespace qvcli
