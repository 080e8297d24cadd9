// The account store over SQLite.
#include "host/account.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

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

// qvxml_field(record, n): field n of a record, as a BLOB ("" past the last field).
void fieldFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* begin = static_cast<const char*>(sqlite3_value_blob(args[0]));
    const char* end = begin + sqlite3_value_bytes(args[0]);
    long long n = sqlite3_value_int64(args[1]);
    if (!begin) begin = end = "";
    for (; n > 0 && begin < end; --n) {
        const void* at = std::memchr(begin, '\xFE', std::size_t(end - begin));
        begin = at ? static_cast<const char*>(at) + 1 : end;
    }
    const void* stop = std::memchr(begin, '\xFE', std::size_t(end - begin));
    if (stop) end = static_cast<const char*>(stop);
    sqlite3_result_blob(context, begin, int(end - begin), SQLITE_TRANSIENT);
}

// The records of `table` as rows (id, j): j is the record as JSON nested three deep,
// built with SQLite's own functions so that any sqlite3 shell reads it: fields, each
// an array of values, each an array of subvalues. json_quote makes the record's bytes
// one JSON string (marks included: bytes above 0x7F pass through it), then the marks
// become the array boundaries.
std::string recordsAsJson(const std::string& table) {
    return "SELECT id, '[[[' || replace(replace(replace(json_quote(CAST(record AS TEXT)), "
           "CAST(x'FC' AS TEXT), '\",\"'), CAST(x'FD' AS TEXT), '\"],[\"'), "
           "CAST(x'FE' AS TEXT), '\"]],[[\"') || ']]]' AS j FROM " + table;
}

// A view column of field `field`: a single-valued field as text (as an array, like a
// multivalued one, when it holds value or subvalue marks, so nothing is hidden); a
// multivalued field as a JSON array of its values, a value with subvalues as an
// array of them. A field the record does not reach reads as "" or [].
std::string fieldColumn(int field, bool multivalued) {
    const std::string array =
        "(SELECT json_group_array(CASE WHEN json_array_length(value) = 1 "
        "THEN json_extract(value, '$[0]') ELSE json(value) END) FROM json_each(f))";
    std::string column = "(SELECT CASE WHEN f IS NULL OR f = '[[\"\"]]' THEN ";
    column += multivalued ? "json_array()" : "''";
    if (!multivalued)
        column += " WHEN json_array_length(f) = 1 AND json_array_length(f, '$[0]') = 1 "
                  "THEN json_extract(f, '$[0][0]')";
    column += " ELSE " + array + " END FROM (SELECT json_extract(j, '$[" + std::to_string(field) +
              "]') AS f))";
    return column;
}

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// How long a writer waits for another one to finish: QVXML_LOCK_WAIT seconds, else
// ten minutes (an import of millions of records takes about one).
int lockWaitMs() {
    const char* env = std::getenv("QVXML_LOCK_WAIT");
    const long seconds = env && *env ? std::strtol(env, nullptr, 10) : 600;
    return int(std::min(std::max(seconds, 0L), 86400L) * 1000);
}

}  // namespace

int Account::onBusy(void* self, int attempt) {
    Account& account = *static_cast<Account*>(self);
    if (attempt == 0) {
        account.waitStart_ = std::chrono::steady_clock::now();
        // Someone at a terminal learns why nothing happens.
        if (isatty(STDERR_FILENO))
            std::fprintf(stderr, "another import is writing to %s: waiting for it to finish\n",
                         account.path_.c_str());
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - account.waitStart_);
    if (waited.count() >= account.lockWaitMs_) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 10 ? 5 : 50));
    return 1;
}

std::string Account::viewSql(const std::string& table, const std::string& view,
                             const std::string& dictionaryText) {
    Dictionary dictionary;
    std::string error;
    dictionary.parse(dictionaryText, &error);
    // Columns in field order; the first name a field is given wins over its synonyms;
    // names already taken (without regard to case) get the field number added.
    std::vector<const Column*> byField;
    for (const Column& c : dictionary.columns()) {
        if (c.result < 0 || c.result > 100000) continue;
        const std::size_t field = std::size_t(c.result);
        if (field >= byField.size()) byField.resize(field + 1);
        if (!byField[field]) byField[field] = &c;
    }
    std::vector<std::string> taken{"ID"};
    std::string columns = "id";
    for (std::size_t field = 0; field < byField.size(); ++field) {
        const Column* c = byField[field];
        if (!c) continue;
        std::string name = c->name;
        if (field == 0 && upperAscii(name) == "ID") continue;
        for (const std::string& t : taken)
            if (t == upperAscii(name)) name += "_" + std::to_string(field);
        taken.push_back(upperAscii(name));
        columns += ", " + (field == 0 ? std::string("id") : fieldColumn(int(field), c->multivalued)) +
                   " AS " + quotedName(name);
    }
    return "CREATE VIEW " + view + " AS SELECT " + columns + " FROM (" + recordsAsJson(table) + ")";
}

void Account::makeView(const std::string& file, const std::string& dictionaryText) {
    const std::string table = tableOf(file);
    const std::string view = quotedName(table.substr(1, table.size() - 2) + "_view");
    exec(("DROP VIEW IF EXISTS " + view).c_str());
    exec(viewSql(table, view, dictionaryText).c_str());
}

void Account::addMissingViews() {
    std::vector<std::pair<std::string, std::string>> missing;
    {
        Statement& s = statement(
            "SELECT name, dictionary FROM qvxml_files WHERE NOT EXISTS (SELECT 1 FROM "
            "sqlite_master WHERE type = 'view' AND name = qvxml_files.name || '_view')");
        Use use{s.stmt};
        int rc;
        while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW)
            missing.emplace_back(columnText(s.stmt, 0), columnText(s.stmt, 1));
        if (rc != SQLITE_DONE) fail("cannot read the file list");
    }
    for (const auto& file : missing) makeView(file.first, file.second);
}

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
    lockWaitMs_ = lockWaitMs();
    sqlite3_busy_handler(db_, &Account::onBusy, this);
    sqlite3_create_function(db_, "qvxml_field", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            fieldFunction, nullptr, nullptr);
    try {
        exec("CREATE TABLE IF NOT EXISTS qvxml_files("
             "name TEXT PRIMARY KEY COLLATE NOCASE, dictionary TEXT NOT NULL)");
        if (!mustExist) addMissingViews();
    } catch (...) {
        statements_.clear();
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
    const int code = sqlite3_errcode(db_);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) throw AccountError(busyMessage());
    throw AccountError(what + ": " + sqlite3_errmsg(db_) + " (account " + path_ + ")");
}

std::string Account::busyMessage() const {
    return "another import is writing to " + path_ + " (waited " +
           std::to_string(lockWaitMs_ / 1000) + " s; QVXML_LOCK_WAIT sets how long)";
}

void Account::exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string why = message ? message : "failed";
        sqlite3_free(message);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) throw AccountError(busyMessage());
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
    writing();
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
    makeView(file, text);
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
    writing();
    Statement& s = *recordStatements(file).put;
    Use use{s.stmt};
    bindRecord(s.stmt, id, record);
    if (sqlite3_step(s.stmt) != SQLITE_DONE) fail("cannot store a record of " + file);
}

void Account::update(const std::string& file, const std::string& id, const std::string& record) {
    writing();
    Statement& s = *recordStatements(file).update;
    Use use{s.stmt};
    bindRecord(s.stmt, id, record);
    if (sqlite3_step(s.stmt) != SQLITE_DONE) fail("cannot store a record of " + file);
}

void Account::remove(const std::string& file, const std::string& id) {
    Statement& s = statement("DELETE FROM " + tableOf(file) + " WHERE id = ?1");
    Use use{s.stmt};
    sqlite3_bind_text(s.stmt, 1, id.data(), int(id.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(s.stmt) != SQLITE_DONE) fail("cannot remove a record of " + file);
}

bool Account::insertNew(const std::string& file, const std::string& id,
                        const std::string& record) {
    writing();
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

void Account::scanWhereField(
    const std::string& file, int field, const std::string& value,
    const std::function<bool(const std::string&, const std::string&)>& visit) {
    Statement& s = statement("SELECT id, record FROM " + tableOf(file) +
                             " WHERE qvxml_field(record, ?1) = ?2 ORDER BY id");
    Use use{s.stmt};
    sqlite3_bind_int(s.stmt, 1, field);
    sqlite3_bind_blob(s.stmt, 2, value.data(), int(value.size()), SQLITE_TRANSIENT);
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

void Account::begin() { transactionWanted_ = true; }

void Account::writing() {
    if (!transactionWanted_ || inTransaction_) return;
    exec("BEGIN IMMEDIATE");
    inTransaction_ = true;
}

void Account::commit() {
    transactionWanted_ = false;
    if (!inTransaction_) return;
    exec("COMMIT");
    inTransaction_ = false;
}

void Account::rollback() {
    transactionWanted_ = false;
    if (!inTransaction_) return;
    inTransaction_ = false;
    exec("ROLLBACK");
}

}  // namespace qvhost
