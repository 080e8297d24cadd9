// The account store over SQLite.
#include "host/account.h"

#include <sqlite3.h>
#include <sys/stat.h>


#include "host/dictionary.h"

namespace qvhost {

// A prepared statement, reset after every use.
struct Account::Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

namespace {

// Resets a statement and clears its bindings when a use ends, however it ends.
struct Use {
    sqlite3_stmt* stmt;
    ~Use() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// Binds a record statement's ID (?1) and record (?2); both outlive the statement's use.
void bindRecord(sqlite3_stmt* stmt, const std::string& id, const std::string& record) {
    sqlite3_bind_text(stmt, 1, id.data(), int(id.size()), SQLITE_STATIC);
    sqlite3_bind_blob(stmt, 2, record.data(), int(record.size()), SQLITE_STATIC);
}

std::string columnText(sqlite3_stmt* stmt, int column) {
    const void* bytes = sqlite3_column_blob(stmt, column);
    const int length = sqlite3_column_bytes(stmt, column);
    return bytes ? std::string(static_cast<const char*>(bytes), std::size_t(length)) : std::string();
}

}  // namespace

Account::Account(const std::string& path, bool mustExist) : path_(path) {
    // One thread uses an account: SQLite's own locking would only cost time.
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (mustExist ? 0 : SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        // SQLite says "unable to open database file" for a missing folder: say which.
        const std::size_t slash = path.rfind('/');
        struct stat st {};
        if (slash != std::string::npos && slash > 0 && stat(path.substr(0, slash).c_str(), &st) != 0)
            why = "folder " + path.substr(0, slash) + " does not exist";
        throw AccountError("cannot open account " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, 5000);
    try {
        exec("CREATE TABLE IF NOT EXISTS qvxml_files("
             "name TEXT PRIMARY KEY COLLATE NOCASE, dictionary TEXT NOT NULL)");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

Account::~Account() {
    if (inTransaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    statements_.clear();
    sqlite3_close(db_);
}

void Account::fail(const std::string& what) {
    throw AccountError(what + ": " + sqlite3_errmsg(db_) + " (account " + path_ + ")");
}

void Account::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : "failed";
        sqlite3_free(message);
        throw AccountError(why + " (account " + path_ + ")");
    }
}

Account::Statement& Account::statement(const std::string& sql) {
    for (auto& entry : statements_)
        if (entry.first == sql) return *entry.second;
    auto made = std::make_unique<Statement>();
    if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &made->stmt, nullptr) != SQLITE_OK)
        fail("cannot prepare a statement");
    statements_.emplace_back(sql, std::move(made));
    return *statements_.back().second;
}

bool Account::validFileName(const std::string& name, std::string* why) {
    auto refuse = [&](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    if (name.empty()) return refuse("a file name may not be empty");
    if (name.size() > 128) return refuse("a file name has at most 128 characters");
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '.' || c == '-'))
            return refuse("a file name holds only letters, digits, \"_\", \".\" and \"-\"");
    const std::string upper = upperAscii(name);
    if (upper.rfind("SQLITE_", 0) == 0 || upper.rfind("QVXML_", 0) == 0)
        return refuse("a file name may not start with \"sqlite_\" or \"qvxml_\"");
    return true;
}

std::string Account::tableOf(const std::string& file) {
    for (const auto& known : tables_)
        if (known.first == file) return known.second;
    std::string why;
    if (!validFileName(file, &why)) throw AccountError("bad file name \"" + file + "\": " + why);
    Statement& s = statement("SELECT name FROM qvxml_files WHERE name = ?1");
    Use use{s.stmt};
    sqlite3_bind_text(s.stmt, 1, file.data(), int(file.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) {
        tables_.emplace_back(file, quoted(columnText(s.stmt, 0)));
        return tables_.back().second;
    }
    if (rc != SQLITE_DONE) fail("cannot read the file list");
    throw AccountError("no file " + file + " in account " + path_ +
                       " (load its dictionary with: qvxml dict " + file + " FILE.dict)");
}

bool Account::dictionary(const std::string& file, std::string& text) {
    Statement& s = statement("SELECT dictionary FROM qvxml_files WHERE name = ?1");
    Use use{s.stmt};
    sqlite3_bind_text(s.stmt, 1, file.data(), int(file.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) {
        text = columnText(s.stmt, 0);
        return true;
    }
    if (rc != SQLITE_DONE) fail("cannot read the dictionary of " + file);
    return false;
}

void Account::putDictionary(const std::string& file, const std::string& text) {
    std::string why;
    if (!validFileName(file, &why)) throw AccountError("bad file name \"" + file + "\": " + why);
    {
        Statement& s = statement(
            "INSERT INTO qvxml_files(name, dictionary) VALUES(?1, ?2) "
            "ON CONFLICT(name) DO UPDATE SET dictionary = excluded.dictionary");
        Use use{s.stmt};
        sqlite3_bind_text(s.stmt, 1, file.data(), int(file.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(s.stmt, 2, text.data(), int(text.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(s.stmt) != SQLITE_DONE) fail("cannot store the dictionary of " + file);
    }
    // The name was checked above: only letters, digits, "_", "." and "-" reach this
    // text, inside double quotes.
    const std::string create = "CREATE TABLE IF NOT EXISTS " + tableOf(file) +
                               "(id TEXT PRIMARY KEY, record BLOB NOT NULL) WITHOUT ROWID";
    exec(create.c_str());
}

std::vector<std::string> Account::files() {
    Statement& s = statement("SELECT name FROM qvxml_files ORDER BY name");
    Use use{s.stmt};
    std::vector<std::string> names;
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) names.push_back(columnText(s.stmt, 0));
    if (rc != SQLITE_DONE) fail("cannot read the file list");
    return names;
}

Account::RecordStatements& Account::recordStatements(const std::string& file) {
    RecordStatements& found = recordStatements_[file];
    if (!found.get) {
        const std::string table = tableOf(file);
        found.get = &statement("SELECT record FROM " + table + " WHERE id = ?1");
        found.put = &statement("INSERT OR REPLACE INTO " + table + "(id, record) VALUES(?1, ?2)");
        found.insert = &statement("INSERT INTO " + table + "(id, record) VALUES(?1, ?2)");
        found.update = &statement("UPDATE " + table + " SET record = ?2 WHERE id = ?1");
    }
    return found;
}

bool Account::get(const std::string& file, const std::string& id, std::string& record) {
    Statement& s = *recordStatements(file).get;
    Use use{s.stmt};
    sqlite3_bind_text(s.stmt, 1, id.data(), int(id.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_ROW) {
        record = columnText(s.stmt, 0);
        return true;
    }
    if (rc != SQLITE_DONE) fail("cannot read a record of " + file);
    return false;
}

void Account::put(const std::string& file, const std::string& id, const std::string& record) {
    Statement& s = *recordStatements(file).put;
    Use use{s.stmt};
    bindRecord(s.stmt, id, record);
    if (sqlite3_step(s.stmt) != SQLITE_DONE) fail("cannot store a record of " + file);
}

void Account::update(const std::string& file, const std::string& id, const std::string& record) {
    Statement& s = *recordStatements(file).update;
    Use use{s.stmt};
    bindRecord(s.stmt, id, record);
    if (sqlite3_step(s.stmt) != SQLITE_DONE) fail("cannot store a record of " + file);
}

bool Account::insertNew(const std::string& file, const std::string& id,
                        const std::string& record) {
    Statement& s = *recordStatements(file).insert;
    Use use{s.stmt};
    bindRecord(s.stmt, id, record);
    const int rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_DONE) return true;
    // The ID is taken: the failed statement alone is undone, not the transaction.
    if (sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_PRIMARYKEY) return false;
    fail("cannot store a record of " + file);
}

void Account::scan(const std::string& file,
                   const std::function<bool(const std::string&, const std::string&)>& visit) {
    Statement& s = statement("SELECT id, record FROM " + tableOf(file) + " ORDER BY id");
    Use use{s.stmt};
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW)
        if (!visit(columnText(s.stmt, 0), columnText(s.stmt, 1))) return;
    if (rc != SQLITE_DONE) fail("cannot read the records of " + file);
}

long long Account::count(const std::string& file) {
    Statement& s = statement("SELECT count(*) FROM " + tableOf(file));
    Use use{s.stmt};
    if (sqlite3_step(s.stmt) != SQLITE_ROW) fail("cannot count the records of " + file);
    return sqlite3_column_int64(s.stmt, 0);
}

void Account::begin() {
    exec("BEGIN IMMEDIATE");
    inTransaction_ = true;
}

void Account::commit() {
    exec("COMMIT");
    inTransaction_ = false;
}

void Account::rollback() {
    if (!inTransaction_) return;
    inTransaction_ = false;
    exec("ROLLBACK");
}

}  // namespace qvhost
