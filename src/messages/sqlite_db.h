// Owners for an SQLite connection, a prepared statement and a write transaction; failures throw SqliteError.
//
// Portable. One connection per thread that uses it (SQLite is built thread-safe, the owners are not
// shared between threads).
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace messages {

// What failed and SQLite's own words for it (the result code and sqlite3_errmsg of the connection).
class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const noexcept { return code_; }
    // The primary result code (SQLITE_BUSY, ...) without the extended bits.
    int primary() const noexcept { return code_ & 0xff; }
    // Another connection holds the lock: worth waiting and trying again.
    bool busy() const noexcept { return primary() == SQLITE_BUSY || primary() == SQLITE_LOCKED; }

private:
    int code_;
};

class Database {
public:
    static constexpr int kReadWriteCreate = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

    // Opens (or creates) the file; ":memory:" gives a private in-memory database. Extended result codes
    // are on, so SqliteError::code() tells a busy database from a full disk.
    static Database Open(const std::string& path, int flags = kReadWriteCreate);

    Database() = default;
    Database(Database&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { Close(); }

    // Closes once; statements still open keep the connection alive until they are finalised
    // (sqlite3_close_v2), so destruction order between owners does not matter.
    void Close() noexcept;

    // Runs SQL text of our own (schema, pragmas), several statements allowed. Never for user input.
    void Execute(const char* sql);

    std::int64_t LastInsertRowId() const noexcept { return sqlite3_last_insert_rowid(db_); }
    sqlite3* handle() const noexcept { return db_; }
    explicit operator bool() const noexcept { return db_ != nullptr; }

private:
    explicit Database(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
};

// Throws SqliteError: "<what>: <the connection's message>", with the result code.
[[noreturn]] void ThrowSqliteError(sqlite3* db, int code, std::string_view what);

// One prepared statement. Bind indexes are 1-based and column indexes 0-based, as in SQLite. It keeps
// its connection alive (see Database::Close) but not the Database object, which may move meanwhile.
class Statement {
public:
    Statement(Database& db, std::string_view sql);
    Statement(Statement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt_); }

    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, double value);
    Statement& Bind(int index, std::string_view text);  // copied by SQLite (SQLITE_TRANSIENT)
    Statement& BindNull(int index);
    int ParameterCount() const noexcept { return sqlite3_bind_parameter_count(stmt_); }

    // True while a row is there to read, false when the statement is done.
    bool Step();

    std::int64_t ColumnInt64(int column) const noexcept { return sqlite3_column_int64(stmt_, column); }
    double ColumnDouble(int column) const noexcept { return sqlite3_column_double(stmt_, column); }
    std::string_view ColumnText(int column) const noexcept;  // valid until the next Step or Reset
    bool ColumnIsNull(int column) const noexcept { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    int ColumnCount() const noexcept { return sqlite3_column_count(stmt_); }

    // Ready to run again; bindings are kept unless cleared.
    void Reset(bool clearBindings = false) noexcept;

private:
    void Check(int rc, const char* what) const;
    sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE on construction (the write lock is taken at once, so a busy database fails here and
// not half-way through); ROLLBACK on destruction unless Commit() ran.
class Transaction {
public:
    explicit Transaction(Database& db);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void Commit();

private:
    sqlite3* db_;
    bool open_ = true;
};

}  // namespace messages
