// Owners for an SQLite connection, a prepared statement and a write transaction.
#include "messages/sqlite_db.h"

#include <climits>

namespace messages {

Database Database::Open(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        // A failed open may still hand back a connection carrying the message; it must be closed too.
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        throw SqliteError(rc, "cannot open database '" + path + "': " + message);
    }
    sqlite3_extended_result_codes(db, 1);
    return Database(db);
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        Close();
        db_ = other.db_;
        other.db_ = nullptr;
    }
    return *this;
}

void Database::Close() noexcept {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void ThrowSqliteError(sqlite3* db, int code, std::string_view what) {
    std::string message(what);
    message += ": ";
    message += db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw SqliteError(code, message);
}

namespace {

void Execute(sqlite3* db, const char* sql) {
    char* error = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        throw SqliteError(rc, "SQL failed: " + message);
    }
}

}  // namespace

void Database::Execute(const char* sql) { messages::Execute(db_, sql); }

Statement::Statement(Database& db, std::string_view sql) {
    if (sql.size() > INT_MAX) throw SqliteError(SQLITE_TOOBIG, "SQL text too long");
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) ThrowSqliteError(db.handle(), rc, "cannot prepare '" + std::string(sql.substr(0, 200)) + "'");
    if (!stmt_) throw SqliteError(SQLITE_MISUSE, "no statement in SQL text");
}

void Statement::Check(int rc, const char* what) const {
    if (rc != SQLITE_OK) ThrowSqliteError(sqlite3_db_handle(stmt_), rc, what);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(stmt_, index, value), "cannot bind an integer");
    return *this;
}

Statement& Statement::Bind(int index, double value) {
    Check(sqlite3_bind_double(stmt_, index, value), "cannot bind a number");
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    Check(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
          "cannot bind a text");
    return *this;
}

Statement& Statement::BindNull(int index) {
    Check(sqlite3_bind_null(stmt_, index), "cannot bind null");
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // The statement must be reset before it can run again; its error stays on the connection.
    std::string sql = sqlite3_sql(stmt_) ? sqlite3_sql(stmt_) : "";
    sqlite3_reset(stmt_);
    ThrowSqliteError(sqlite3_db_handle(stmt_), rc, "cannot run '" + sql.substr(0, 200) + "'");
}

std::string_view Statement::ColumnText(int column) const noexcept {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    if (!text) return {};
    return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

void Statement::Reset(bool clearBindings) noexcept {
    sqlite3_reset(stmt_);
    if (clearBindings) sqlite3_clear_bindings(stmt_);
}

Transaction::Transaction(Database& db) : db_(db.handle()) { Execute(db_, "BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!open_) return;
    // Nothing to report from a destructor; SQLite may already have rolled back after an error.
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    Execute(db_, "COMMIT");
    open_ = false;
}

}  // namespace messages
