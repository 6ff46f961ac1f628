// SQLite owners (values, errors, transactions) and the schema: migration from an empty file and from
// older stores, the full-text index, the user's seen state and the priority rule.
#include <gtest/gtest.h>


#include "message_fixture.h"
#include "messages/schema.h"
#include "old_schema.h"
#include "store_fixture.h"
#include "store_support/query_rows.h"

using namespace messages;
using Rows = std::vector<std::string>;
using store_support::QueryRows;

namespace {

Database Memory(const char* sql = "CREATE TABLE t (i INTEGER, r REAL, s TEXT)") {
    Database db = Database::Open(":memory:");
    db.Execute(sql);
    return db;
}

// The rowids whose text holds `phrase`, as one comma-joined row.
Rows FtsIds(Database& db, const std::string& phrase) {
    return QueryRows(db, ("SELECT group_concat(rowid) FROM (SELECT rowid FROM message_fts WHERE message_fts MATCH '" +
                          phrase + "' ORDER BY rowid)").c_str());
}

// What SQLite says when `work` throws, with its code.
template <class Work>
std::string Refusal(Work work, int& code) {
    try { work(); } catch (const SqliteError& e) { return code = e.code(), e.what(); }
    return "no error";
}

}  // namespace

TEST(SqliteOwners, BoundValuesComeBackAsTheyWentAndTransactionsRollBackUnlessCommitted) {
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
    EXPECT_TRUE(read.ColumnIsNull(1) && read.ColumnIsNull(2));
    EXPECT_FALSE(read.Step());
    // Runs again after a reset, also when its Database object has moved.
    Database moved = std::move(db);
    read.Reset();
    EXPECT_TRUE(read.Step());
    EXPECT_EQ(read.ColumnInt64(0), -9007199254740993);
    EXPECT_THROW(read.Bind(9, std::int64_t{1}), SqliteError);  // errors still find the connection
    // A transaction rolls back unless committed, also when left by an exception.
    moved.Execute("DELETE FROM t");
    for (int i : {1, 2, 3}) try {
        Transaction t(moved);
        moved.Execute(("INSERT INTO t (i) VALUES (" + std::to_string(i) + ")").c_str());
        if (i == 2) t.Commit();
        if (i == 3) throw std::runtime_error("failure half-way");
    } catch (const std::runtime_error&) {}
    EXPECT_EQ(QueryRows(moved, "SELECT group_concat(i) FROM t"), Rows{"2"});
    // A connection closed once and then moved-from or destroyed does nothing more.
    Database other = std::move(moved);
    other.Close(), other.Close();
    EXPECT_FALSE(other);
}

TEST(SqliteOwners, ErrorsCarrySqlitesMessageAndOnlyALockIsWorthWaitingFor) {
    Database db = Memory("CREATE TABLE u (k INTEGER PRIMARY KEY); INSERT INTO u VALUES (1)");
    int code = 0;
    EXPECT_NE(Refusal([&] { Statement(db, "SELECT x FROM nowhere"); }, code).find("no such table: nowhere"),
              std::string::npos);
    EXPECT_EQ(code, SQLITE_ERROR);
    Statement insert(db, "INSERT INTO u VALUES (1)");
    EXPECT_NE(Refusal([&] { insert.Step(); }, code).find("UNIQUE constraint failed: u.k"), std::string::npos);
    EXPECT_EQ(code, SQLITE_CONSTRAINT_PRIMARYKEY);
    EXPECT_EQ(SqliteError(code, "x").primary(), SQLITE_CONSTRAINT);
    EXPECT_THROW(Database::Open("/nonexistent-folder/x.db"), SqliteError);

    // code, primary, busy: BUSY, BUSY_SNAPSHOT, LOCKED, LOCKED_SHAREDCACHE, READONLY, IOERR_WRITE, FULL, CONSTRAINT_NOTNULL
    const int cases[][3] = {{5, 5, 1}, {517, 5, 1}, {6, 6, 1}, {262, 6, 1},
                            {8, 8, 0}, {778, 10, 0}, {13, 13, 0}, {1299, 19, 0}};
    for (const auto& c : cases) EXPECT_TRUE(SqliteError(c[0], "x").primary() == c[1] && SqliteError(c[0], "x").busy() == (c[2] == 1)) << c[0];
}

TEST(MessageSchema, MigratesAnEmptyFileOnceKeepsItsDataAndItsFullTextIndex) {
    store_test::ScratchDir dir;
    const std::string path = dir.File("m.db");
    {
        Database db = Database::Open(path);
        EXPECT_EQ(SchemaVersion(db), 0);
        EXPECT_EQ(MigrateSchema(db) * 100 + SchemaVersion(db), kSchemaVersion * 101);
        for (const MessageRow& m : messages_test::SampleMessages()) InsertMessage(db, m);
    }
    Database db = Database::Open(path);
    EXPECT_EQ(MigrateSchema(db), 0);
    // The full-text index follows inserts, text updates and deletes (FTS5's own check agrees).
    EXPECT_EQ(FtsIds(db, "\"gale warning\""), Rows{"2,4,5"});
    db.Execute("UPDATE message_rows SET text = 'calm seas' WHERE id = 4; UPDATE message_rows SET copies = 9 WHERE id = 5");
    EXPECT_EQ(FtsIds(db, "\"gale warning\""), Rows{"2,5"});
    EXPECT_EQ(FtsIds(db, "\"calm\""), Rows{"4"});
    db.Execute("DELETE FROM message_rows WHERE id IN (2, 4)");
    EXPECT_EQ(FtsIds(db, "\"gale warning\""), Rows{"5"});
    EXPECT_EQ(FtsIds(db, "\"calm\""), Rows{"NULL"});
    db.Execute("INSERT INTO message_fts (message_fts, rank) VALUES ('integrity-check', 1)");
    EXPECT_EQ(QueryRows(db, "SELECT count(*) FROM message_rows"), Rows{"6"});
    EXPECT_EQ(QueryRows(db, "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_schema WHERE type = 'view' ORDER BY name)"),
              Rows{"alerts messages missing_warnings positions reception records unread_messages warnings"});

    EXPECT_THROW(db.Execute("INSERT INTO record_rows (received_ms, category, header, text) VALUES (0, 6, 'x', 'y')"),
                 SqliteError);  // no such category
    db.Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion + 1)).c_str());  // as a later program would leave it
    EXPECT_THROW(MigrateSchema(db), SqliteError);
}

TEST(MessagePriority, FirstLineDecides) {
    const struct { const char* text; Priority expected; } cases[] = {
        {"MAYDAY MAYDAY MAYDAY", Priority::Distress},   {"relay of distress alert", Priority::Distress},
        {"pan pan medical", Priority::Urgency},         {"URGENT: call coast guard", Priority::Urgency},
        {"Securite navigational", Priority::Safety},    {"SAFETY message", Priority::Safety},
        {"URGENT, upgraded to MAYDAY", Priority::Distress},  // the most pressing word wins
        {"weather\nMAYDAY on the second line", Priority::Routine},
        {"PANPAN", Priority::Routine},                  {"", Priority::Routine},
        {"S\xC3\x89" "CURIT\xC3\x89", Priority::Routine},  // folding is ASCII only
    };
    for (const auto& c : cases) EXPECT_EQ(PriorityOfText(c.text), c.expected) << c.text;
    for (int p = 0; p < kPriorityCount; ++p)
        EXPECT_EQ(PriorityFromName(std::string(PriorityName(static_cast<Priority>(p)))), static_cast<Priority>(p));
    EXPECT_EQ(PriorityFromName("SafeTy"), Priority::Safety);
    EXPECT_FALSE(PriorityFromName("high"));
}

// A store of version 2 gains the station index, the reading tables and the seen state, all unread. Seen:
// one by one above the mark, all at once by moving it, gone with its message.
TEST(MessageSchema, AnOldStoreGainsTheStationIndexAndTheSeenStateAndKeepsItsRows) {
    store_test::ScratchDir dir;
    const std::string path = dir.File("m.db");
    {
        Database db = Database::Open(path);
        MigrateSchema(db);
        for (const MessageRow& m : messages_test::SampleMessages()) InsertMessage(db, m);  // ids 1 to 8
        messages_test::DropReadingTables(db);
        db.Execute("DROP INDEX message_rows_les_first; PRAGMA user_version = 2;");
    }
    Database db = Database::Open(path);
    EXPECT_EQ(MigrateSchema(db), kSchemaVersion - 2);  // every step after version 2
    EXPECT_EQ(SchemaVersion(db), kSchemaVersion);
    // A station's messages newest first come straight off the index, unsorted.
    std::string plan;
    for (const std::string& row : QueryRows(db, "EXPLAIN QUERY PLAN SELECT m.id FROM message_rows m WHERE m.les = 121 "
                                                "ORDER BY m.first_heard_ms DESC, m.id DESC LIMIT 64"))
        plan += row + " ";
    EXPECT_TRUE(plan.find("message_rows_les_first") != std::string::npos && plan.find("TEMP B-TREE") == std::string::npos) << plan;

    EXPECT_EQ(UnseenCount(db), 8);
    EXPECT_EQ((std::vector<bool>{MarkSeen(db, 3), MarkSeen(db, 3), MarkSeen(db, 7)}), (std::vector<bool>{true, false, true}));
    // Counted both ways: by the seen rows, and in the time index (as a store of many unread is).
    EXPECT_EQ((std::vector<std::int64_t>{UnseenCount(db), UnseenCount(db, 0)}), (std::vector<std::int64_t>{6, 6}));
    EXPECT_TRUE(IsSeen(db, 3) && !IsSeen(db, 4));
    EXPECT_EQ(QueryRows(db, "SELECT group_concat(id) FROM unread_messages"), Rows{"1,2,4,5,6,8"});
    db.Execute("DELETE FROM message_rows WHERE id = 7");
    EXPECT_EQ(QueryRows(db, "SELECT count(*) FROM seen_rows"), Rows{"1"});

    MarkAllSeen(db);
    EXPECT_EQ(QueryRows(db, "SELECT upto || ' ' || (SELECT count(*) FROM seen_rows) FROM seen_mark"), Rows{"8 0"});
    EXPECT_EQ(UnseenCount(db), 0);
    MessageRow late = messages_test::SampleMessages()[0];
    late.id = 0;
    EXPECT_EQ(InsertMessage(db, late), 9);
    EXPECT_EQ((std::vector<std::int64_t>{UnseenCount(db), UnseenCount(db, 0)}), (std::vector<std::int64_t>{1, 1}));
    EXPECT_FALSE(IsSeen(db, 9) || MarkSeen(db, 2));  // under the mark: nothing to write
    EXPECT_EQ(QueryRows(db, "SELECT count(*) FROM seen_rows"), Rows{"0"});
}
