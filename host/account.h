// An account: the reference host's files kept in one SQLite database.
//
// Each host file is a table of records keyed by record ID; each record is kept byte
// for byte as the mapping engine makes it (record ID, field marks, value marks,
// subvalue marks). Each file's dictionary is kept in the account as the text of its
// ".dict" file (format in dictionary.h). Schema:
//
//   qvxml_files(name TEXT PRIMARY KEY COLLATE NOCASE, dictionary TEXT NOT NULL)
//   "<FILE>"(id TEXT PRIMARY KEY, record BLOB NOT NULL) WITHOUT ROWID
//   "<FILE>_view"(id, one column per field of the dictionary)
//
// The view reads the records with SQLite's built-in functions only, so that any
// sqlite3 shell can query them: a single-valued field as text, a multivalued one as
// a JSON array of its values (a value with subvalues as a nested array), for
// json_each. It is made again each time the file's dictionary is stored.
//
// File names become quoted table names, so they are held to letters, digits, "_",
// "." and "-" (not starting with "sqlite_" or "qvxml_"). Record IDs and records
// only ever reach SQLite as bound parameters. Every failure throws AccountError.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qvhost {

class AccountError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Account {
public:
    // Opens the account at `path`, creating it (and its schema) unless `mustExist`.
    explicit Account(const std::string& path, bool mustExist = false);
    ~Account();
    Account(const Account&) = delete;
    Account& operator=(const Account&) = delete;

    const std::string& path() const { return path_; }

    // Whether `name` can name a file (see above); `why` tells what is wrong.
    static bool validFileName(const std::string& name, std::string* why);

    // Dictionaries: the stored ".dict" text of a file, by name without regard to case.
    bool dictionary(const std::string& file, std::string& text);
    // Stores (or replaces) a file's dictionary and makes its record table and view.
    void putDictionary(const std::string& file, const std::string& text);
    // File names as first stored, sorted without regard to case.
    std::vector<std::string> files();

    // Records of a file. get: false when there is none with that ID. put stores or
    // replaces; insertNew stores only a record whose ID is not there yet (false when
    // it is, leaving the stored one); update replaces a record known to be stored.
    bool get(const std::string& file, const std::string& id, std::string& record);
    void put(const std::string& file, const std::string& id, const std::string& record);
    bool insertNew(const std::string& file, const std::string& id, const std::string& record);
    void update(const std::string& file, const std::string& id, const std::string& record);
    // Removes a record (nothing when there is none with that ID).
    void remove(const std::string& file, const std::string& id);
    // Every record of a file in record ID order; `visit` returns false to stop.
    void scan(const std::string& file,
              const std::function<bool(const std::string& id, const std::string& record)>& visit);
    long long count(const std::string& file);
    // The records of a file whose field `field` (1 and up, the field mark 0xFE between
    // fields) is exactly `value`, in record ID order: one pass in SQLite, holding one
    // record at a time.
    void scanWhereField(const std::string& file, int field, const std::string& value,
                        const std::function<bool(const std::string& id, const std::string& record)>& visit);

    // One transaction: begin, then commit or (also by the destructor) roll back.
    // The write lock is taken at the first write after begin, so that the work before
    // it (reading documents) does not hold other writers up. A writer waits for
    // another one to finish (QVXML_LOCK_WAIT seconds, default 600), then fails with
    // "another import is writing to PATH".
    void begin();
    void commit();
    void rollback();

    // The CREATE VIEW statement of a file's view over `table` (quoted) by the fields
    // of a dictionary's text.
    static std::string viewSql(const std::string& table, const std::string& view,
                               const std::string& dictionaryText);
    // Makes the views an account made before files had views lacks (a writer calls it).
    void addMissingViews();

private:
    struct Statement;
    void makeView(const std::string& file, const std::string& dictionaryText);
    // The record statements of one file, prepared once: imports use them per record.
    struct RecordStatements {
        Statement* get = nullptr;
        Statement* put = nullptr;
        Statement* insert = nullptr;
        Statement* update = nullptr;
    };
    static int onBusy(void* self, int attempt);
    std::string busyMessage() const;
    void writing();  // takes the write lock when a transaction is wanted
    Statement& statement(const std::string& sql);
    RecordStatements& recordStatements(const std::string& file);
    void exec(const char* sql);
    std::string tableOf(const std::string& file);
    [[noreturn]] void fail(const std::string& what);

    std::string path_;
    sqlite3* db_ = nullptr;
    bool inTransaction_ = false;
    bool transactionWanted_ = false;
    int lockWaitMs_ = 0;
    std::chrono::steady_clock::time_point waitStart_;
    std::vector<std::pair<std::string, std::unique_ptr<Statement>>> statements_;
    std::vector<std::pair<std::string, std::string>> tables_;  // file as asked -> quoted table
    std::unordered_map<std::string, RecordStatements> recordStatements_;  // by file as asked
};

}  // namespace qvhost
