// Schema: migration from an empty file, reopening leaves it alone, views speak ISO UTC, the full-text
// index follows inserts, updates and deletes, and the priority rule reads the first line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "messages/schema.h"
#include "message_fixture.h"
#include "old_schema.h"

using namespace messages;

namespace {

// A database file of its own in the temporary folder, removed afterwards.
struct TempFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("messages_schema_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                  "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db");
    TempFile() { Remove(); }
    ~TempFile() { Remove(); }
    void Remove() {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
    }
};

std::vector<std::string> Texts(Database& db, const char* sql, std::string_view param = {}) {
    Statement s(db, sql);
    if (s.ParameterCount() > 0) s.Bind(1, param);
    std::vector<std::string> out;
    while (s.Step()) {
        for (int c = 0; c < s.ColumnCount(); ++c) out.emplace_back(s.ColumnText(c));
    }
    return out;
}

std::vector<std::string> FtsIds(Database& db, std::string_view phrase) {
    return Texts(db, "SELECT rowid FROM message_fts WHERE message_fts MATCH ? ORDER BY rowid", phrase);
}

}  // namespace

TEST(MessageSchema, MigratesAnEmptyFileOnceAndKeepsItsData) {
    TempFile file;
    {
        Database db = Database::Open(file.path.string());
        EXPECT_EQ(SchemaVersion(db), 0);
        EXPECT_EQ(MigrateSchema(db), kSchemaVersion);
        EXPECT_EQ(SchemaVersion(db), kSchemaVersion);
        InsertMessage(db, messages_test::SampleMessages()[0]);
    }
    Database db = Database::Open(file.path.string());
    EXPECT_EQ(MigrateSchema(db), 0);
    EXPECT_EQ(Texts(db, "SELECT count(*) FROM message_rows"), std::vector<std::string>{"1"});
    EXPECT_EQ(Texts(db, "SELECT name FROM sqlite_schema WHERE type = 'view' ORDER BY name"),
              (std::vector<std::string>{"alerts", "messages", "missing_warnings", "positions", "reception",
                                        "records", "unread_messages", "warnings"}));

    db.Execute(("PRAGMA user_version = " + std::to_string(kSchemaVersion + 1)).c_str());  // as a later program would leave it
    EXPECT_THROW(MigrateSchema(db), SqliteError);
}

TEST(MessageSchema, ViewsGiveIsoUtcTimesAndPriorityNames) {
    Database db = Database::Open(":memory:");
    MigrateSchema(db);
    MessageRow m = messages_test::Row(0, 1765030800123, -1, 121, 42, 2, "PAN PAN test");
    m.id = InsertMessage(db, m);
    EXPECT_EQ(Texts(db, "SELECT id, first_heard_utc, last_heard_utc, les, frame, priority, copies, text FROM messages"),
              (std::vector<std::string>{std::to_string(m.id), "2025-12-06T14:20:00.123Z", "1969-12-31T23:59:59.999Z",
                                        "121", "42", "urgency", "2", "PAN PAN test"}));

    db.Execute("INSERT INTO runs (id, instance, started_ms, command_line) VALUES (5, 'gui1A', 0, 'vastrel.exe -n')");
    db.Execute("INSERT INTO record_rows (received_ms, run_id, category, header, les, frame, text) "
               "VALUES (1796644800000, 5, 2, '1210042', 121, 42, 'frequency: 1200.0')");
    EXPECT_EQ(Texts(db, "SELECT received_utc, run, category, les, frame, text FROM records"),
              (std::vector<std::string>{"2026-12-07T12:00:00.000Z", "5", "2", "121", "42", "frequency: 1200.0"}));
    EXPECT_THROW(db.Execute("INSERT INTO record_rows (received_ms, category, header, text) VALUES (0, 6, 'x', 'y')"),
                 SqliteError);
}

TEST(MessageSchema, FullTextIndexFollowsInsertUpdateDelete) {
    Database db = Database::Open(":memory:");
    MigrateSchema(db);
    for (const MessageRow& m : messages_test::SampleMessages()) InsertMessage(db, m);
    EXPECT_EQ(FtsIds(db, "\"gale warning\""), (std::vector<std::string>{"2", "4", "5"}));

    db.Execute("UPDATE message_rows SET text = 'calm seas' WHERE id = 4");
    db.Execute("UPDATE message_rows SET copies = 9 WHERE id = 5");  // not the text: index untouched
    EXPECT_EQ(FtsIds(db, "\"gale warning\""), (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(FtsIds(db, "\"calm\""), std::vector<std::string>{"4"});

    db.Execute("DELETE FROM message_rows WHERE id IN (2, 4)");
    EXPECT_EQ(FtsIds(db, "\"gale warning\""), std::vector<std::string>{"5"});
    EXPECT_TRUE(FtsIds(db, "\"calm\"").empty());
    // FTS5's own check compares the index with the content table.
    db.Execute("INSERT INTO message_fts (message_fts, rank) VALUES ('integrity-check', 1)");
}

TEST(MessagePriority, FirstLineDecides) {
    struct Case {
        const char* text;
        Priority expected;
    };
    const Case cases[] = {
        {"MAYDAY MAYDAY MAYDAY", Priority::Distress},   {"relay of distress alert", Priority::Distress},
        {"pan pan medical", Priority::Urgency},        {"URGENT: call coast guard", Priority::Urgency},
        {"Securite navigational", Priority::Safety},   {"SAFETY message", Priority::Safety},
        {"URGENT, upgraded to MAYDAY", Priority::Distress},  // the most pressing word wins
        {"weather\nMAYDAY on the second line", Priority::Routine},
        {"PANPAN", Priority::Routine},                 {"", Priority::Routine},
        {"S\xC3\x89" "CURIT\xC3\x89", Priority::Routine},  // folding is ASCII only
    };
    for (const Case& c : cases) EXPECT_EQ(PriorityOfText(c.text), c.expected) << c.text;
    for (int p = 0; p < kPriorityCount; ++p) {
        EXPECT_EQ(PriorityFromName(std::string(PriorityName(static_cast<Priority>(p)))), static_cast<Priority>(p));
    }
    EXPECT_EQ(PriorityFromName("SafeTy"), Priority::Safety);
    EXPECT_FALSE(PriorityFromName("high"));
}

TEST(MessageSchema, AStoreOfTheVersionBeforeGainsTheStationIndexAndKeepsItsRows) {
    TempFile file;
    {
        Database db = Database::Open(file.path.string());
        MigrateSchema(db);
        InsertMessage(db, messages_test::SampleMessages()[0]);
        // As the program before this index left its stores.
        messages_test::DropReadingTables(db);
        db.Execute("DROP INDEX message_rows_les_first; PRAGMA user_version = 2;");
    }
    Database db = Database::Open(file.path.string());
    EXPECT_EQ(MigrateSchema(db), kSchemaVersion - 2);  // every step after version 2
    EXPECT_EQ(SchemaVersion(db), kSchemaVersion);
    EXPECT_EQ(Texts(db, "SELECT count(*) FROM message_rows"), std::vector<std::string>{"1"});
    // A station's messages newest first come straight off the index, unsorted.
    std::string plan;
    for (const std::string& row : Texts(db, "EXPLAIN QUERY PLAN SELECT m.id FROM message_rows m WHERE m.les = 121 "
                                            "ORDER BY m.first_heard_ms DESC, m.id DESC LIMIT 64"))
        plan += row + " ";
    EXPECT_NE(plan.find("message_rows_les_first"), std::string::npos) << plan;
    EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << plan;
}

// The user's seen state: one by one above the mark, all at once by moving it, gone with its message,
// and an old store gaining it with every message unread.
TEST(MessageSchema, SeenStateFollowsMarksAndDeletes) {
    TempFile file;
    {
        Database db = Database::Open(file.path.string());
        MigrateSchema(db);
        for (const MessageRow& m : messages_test::SampleMessages()) InsertMessage(db, m);  // ids 1 to 8
        messages_test::DropSeenTables(db);
    }
    Database db = Database::Open(file.path.string());
    EXPECT_EQ(MigrateSchema(db), kSchemaVersion - 4);  // every step after version 4
    EXPECT_EQ(UnseenCount(db), 8);
    EXPECT_TRUE(MarkSeen(db, 3));
    EXPECT_FALSE(MarkSeen(db, 3));
    EXPECT_TRUE(MarkSeen(db, 7));
    EXPECT_EQ(UnseenCount(db), 6);
    EXPECT_EQ(UnseenCount(db, 0), 6);  // counted in the time index, as a store of many unread is
    EXPECT_TRUE(IsSeen(db, 3));
    EXPECT_FALSE(IsSeen(db, 4));
    EXPECT_EQ(Texts(db, "SELECT group_concat(id) FROM unread_messages"), std::vector<std::string>{"1,2,4,5,6,8"});
    db.Execute("DELETE FROM message_rows WHERE id = 7");
    EXPECT_EQ(Texts(db, "SELECT count(*) FROM seen_rows"), std::vector<std::string>{"1"});

    MarkAllSeen(db);
    EXPECT_EQ(UnseenCount(db), 0);
    EXPECT_EQ(Texts(db, "SELECT upto FROM seen_mark"), std::vector<std::string>{"8"});
    EXPECT_EQ(Texts(db, "SELECT count(*) FROM seen_rows"), std::vector<std::string>{"0"});  // under the mark now
    MessageRow late = messages_test::SampleMessages()[0];
    late.id = 0;
    const std::int64_t id = InsertMessage(db, late);
    EXPECT_EQ(id, 9);
    EXPECT_EQ(UnseenCount(db), 1);
    EXPECT_EQ(UnseenCount(db, 0), 1);
    EXPECT_FALSE(IsSeen(db, 9));
    EXPECT_FALSE(MarkSeen(db, 2));  // under the mark: nothing to write
    EXPECT_EQ(Texts(db, "SELECT count(*) FROM seen_rows"), std::vector<std::string>{"0"});
}
