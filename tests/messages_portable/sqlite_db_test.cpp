// SQLite owners: values round-trip through bound parameters, errors carry SQLite's message, and a
// transaction left without Commit() rolls back.
#include <gtest/gtest.h>

#include <string>

#include "messages/sqlite_db.h"

using messages::Database;
using messages::SqliteError;
using messages::Statement;
using messages::Transaction;

namespace {

Database Memory() {
    Database db = Database::Open(":memory:");
    db.Execute("CREATE TABLE t (i INTEGER, r REAL, s TEXT)");
    return db;
}

std::int64_t Count(Database& db) {
    Statement s(db, "SELECT count(*) FROM t");
    EXPECT_TRUE(s.Step());
    return s.ColumnInt64(0);
}

}  // namespace

TEST(SqliteOwners, BoundValuesComeBackAsTheyWent) {
    Database db = Memory();
    Statement insert(db, "INSERT INTO t VALUES (?, ?, ?)");
    EXPECT_EQ(insert.ParameterCount(), 3);
    const std::string withZero("a\0b", 3);
    insert.Bind(1, std::int64_t{-9007199254740993}).Bind(2, 0.1).Bind(3, withZero);
    EXPECT_FALSE(insert.Step());
    insert.Reset(true);  // cleared bindings are NULL
    insert.Bind(1, std::int64_t{7});
    EXPECT_FALSE(insert.Step());

    Statement read(db, "SELECT i, r, s FROM t ORDER BY rowid");
    ASSERT_TRUE(read.Step());
    EXPECT_EQ(read.ColumnInt64(0), -9007199254740993);
    EXPECT_EQ(read.ColumnDouble(1), 0.1);
    EXPECT_EQ(read.ColumnText(2), withZero);
    ASSERT_TRUE(read.Step());
    EXPECT_EQ(read.ColumnInt64(0), 7);
    EXPECT_TRUE(read.ColumnIsNull(1));
    EXPECT_TRUE(read.ColumnIsNull(2));
    EXPECT_FALSE(read.Step());
    read.Reset();
    EXPECT_TRUE(read.Step());  // runs again after a reset

    // The statement survives its Database object's move, and may be finalised after the close
    // (SQLite then ends the connection with the last statement).
    Database moved = std::move(db);
    read.Reset();
    EXPECT_TRUE(read.Step());
    EXPECT_EQ(read.ColumnInt64(0), -9007199254740993);
    read.Reset();
    EXPECT_THROW(read.Bind(9, std::int64_t{1}), SqliteError);  // errors still find the connection
    moved.Close();
}

TEST(SqliteOwners, ErrorsCarrySqlitesMessage) {
    Database db = Memory();
    try {
        Statement s(db, "SELECT x FROM nowhere");
        FAIL() << "prepared a query on a missing table";
    } catch (const SqliteError& e) {
        EXPECT_NE(std::string(e.what()).find("no such table: nowhere"), std::string::npos) << e.what();
        EXPECT_EQ(e.code(), SQLITE_ERROR);
    }
    db.Execute("CREATE TABLE u (k INTEGER PRIMARY KEY)");
    Statement s(db, "INSERT INTO u VALUES (1)");
    s.Step();
    s.Reset();
    try {
        s.Step();
        FAIL() << "inserted a duplicate key";
    } catch (const SqliteError& e) {
        EXPECT_NE(std::string(e.what()).find("UNIQUE constraint failed: u.k"), std::string::npos) << e.what();
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT_PRIMARYKEY);
        EXPECT_EQ(e.primary(), SQLITE_CONSTRAINT);
    }
    EXPECT_THROW(Database::Open("/nonexistent-folder/x.db"), SqliteError);
}

TEST(SqliteOwners, OnlyALockHeldElsewhereIsWorthWaitingFor) {
    struct Case {
        int code;
        int primary;
        bool busy;
    };
    const Case cases[] = {
        {5, 5, true},       // SQLITE_BUSY
        {517, 5, true},     // SQLITE_BUSY_SNAPSHOT
        {6, 6, true},       // SQLITE_LOCKED
        {262, 6, true},     // SQLITE_LOCKED_SHAREDCACHE
        {8, 8, false},      // SQLITE_READONLY
        {778, 10, false},   // SQLITE_IOERR_WRITE
        {13, 13, false},    // SQLITE_FULL
        {1299, 19, false},  // SQLITE_CONSTRAINT_NOTNULL
    };
    for (const Case& c : cases) {
        const SqliteError e(c.code, "x");
        EXPECT_EQ(e.primary(), c.primary) << c.code;
        EXPECT_EQ(e.busy(), c.busy) << c.code;
    }
}

TEST(SqliteOwners, TransactionRollsBackUnlessCommitted) {
    Database db = Memory();
    {
        Transaction t(db);
        db.Execute("INSERT INTO t (i) VALUES (1)");
    }
    EXPECT_EQ(Count(db), 0);
    {
        Transaction t(db);
        db.Execute("INSERT INTO t (i) VALUES (2)");
        t.Commit();
    }
    EXPECT_EQ(Count(db), 1);
    try {
        Transaction t(db);
        db.Execute("INSERT INTO t (i) VALUES (3)");
        throw std::runtime_error("failure half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Count(db), 1);
    // A connection that is closed once and then moved-from or destroyed does nothing more.
    Database other = std::move(db);
    other.Close();
    other.Close();
    EXPECT_FALSE(other);
}
