// MessageStore: numbers from station text, messages and their 24-hour copies, priority, refusals of
// files it must not touch, trimming in steps, and reopening.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <optional>
#include <thread>
#include <vector>

#include "messages/message_store.h"
#include "messages/schema.h"
#include "store_fixture.h"

using namespace store_test;
using messages::MessageStore;
using messages::StoreRefusal;

TEST(StoreNumbers, StationAndFrameTextBecomeNumbersOnlyWhenTheyAreDigits) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> number;
    } cases[] = {{"121", 121}, {"0042", 42}, {"0", 0}, {"999999999", 999999999}, {"", std::nullopt},
                 {"12a", std::nullopt}, {"-1", std::nullopt}, {" 12", std::nullopt}, {"1234567890", std::nullopt}};
    for (const Case& c : cases) EXPECT_EQ(messages::StationNumber(c.text), c.number) << c.text;
}

TEST(StoreMessages, SameTextFromTheSameStationWithin24HoursIsOneMessageWithCopies) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    const std::int64_t H = kHourMs;
    // Each row: when, station, text. Expected afterwards: one row per message, in id order.
    std::vector<decoder::Record> heard = {
        Msg(kT0, "121", "GALE WARNING"),              // 1 new
        Msg(kT0 + 2 * H, "121", "GALE WARNING"),      // 1 copy
        Msg(kT0 + 3 * H, "112", "GALE WARNING"),      // 2 new: other station
        Msg(kT0 + 4 * H, "121", "GALE WARNING."),     // 3 new: other text
        Msg(kT0 + 25 * H, "121", "GALE WARNING"),     // 1 copy: 23 h after its last copy, 25 h after its first
        Msg(kT0 + 49 * H, "121", "GALE WARNING"),     // 4 new: exactly 24 h after the last copy
        Msg(kT0 + 49 * H + 1, "", "NO STATION YET"),  // 5 new, station unknown
        Msg(kT0 + 50 * H, "A7", "NO STATION YET"),     // 5 copy: every unknown station counts as one
    };
    ASSERT_EQ(store->Write(0, heard), heard.size());
    struct Expected {
        std::int64_t les, copies, first, last;
    } expected[] = {{121, 3, kT0, kT0 + 25 * H},
                    {112, 1, kT0 + 3 * H, kT0 + 3 * H},
                    {121, 1, kT0 + 4 * H, kT0 + 4 * H},
                    {121, 1, kT0 + 49 * H, kT0 + 49 * H},
                    {messages::kUnknownNumber, 2, kT0 + 49 * H + 1, kT0 + 50 * H}};
    messages::Statement s(store->database(),
                          "SELECT les, copies, first_heard_ms, last_heard_ms FROM message_rows ORDER BY id");
    for (const Expected& e : expected) {
        ASSERT_TRUE(s.Step());
        EXPECT_EQ(s.ColumnInt64(0), e.les);
        EXPECT_EQ(s.ColumnInt64(1), e.copies);
        EXPECT_EQ(s.ColumnInt64(2), e.first);
        EXPECT_EQ(s.ColumnInt64(3), e.last);
    }
    EXPECT_FALSE(s.Step());
    EXPECT_EQ(Count(dir.File("m.db"), "SELECT count(*) FROM record_rows WHERE category = 5"), 8);
}

TEST(StoreMessages, PriorityLengthFrameAndTextComeFromTheRecord) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    struct Case {
        const char* text;
        const char* frame;
        messages::Priority priority;
        std::int64_t frameNumber, length;
    } cases[] = {{"MAYDAY MAYDAY\nvessel", "0042", messages::Priority::Distress, 42, 20},
                 {"pan pan medical", "7", messages::Priority::Urgency, 7, 15},
                 {"SECURITE nav warning", "x", messages::Priority::Safety, messages::kUnknownNumber, 20},
                 {"weather\nMAYDAY later", "10000", messages::Priority::Routine, 10000, 20},
                 {"caf\xC3\xA9", "1", messages::Priority::Routine, 1, 4}};
    std::vector<decoder::Record> records;
    for (const Case& c : cases) records.push_back(Msg(kT0, "121", c.text, c.frame));
    ASSERT_EQ(store->Write(0, records), records.size());
    messages::Statement s(store->database(), "SELECT priority, frame, len, text FROM message_rows ORDER BY id");
    for (const Case& c : cases) {
        ASSERT_TRUE(s.Step());
        EXPECT_EQ(s.ColumnInt64(0), static_cast<int>(c.priority)) << c.text;
        EXPECT_EQ(s.ColumnInt64(1), c.frameNumber) << c.text;
        EXPECT_EQ(s.ColumnInt64(2), c.length) << c.text;
        EXPECT_EQ(s.ColumnText(3), c.text);
    }
}

TEST(StoreMessages, WideTextIsStoredAsUtf8) {
    decoder::Record r = Msg(kT0, "121", "caf\xE9");  // code page 1252 bytes as received
    r.wideText = L"caf\u00E9 \u20AC";
    EXPECT_EQ(messages::StoredText(r), "caf\xC3\xA9 \xE2\x82\xAC");
    r.wideText.clear();
    EXPECT_EQ(messages::StoredText(r), "caf\xE9");
}

// Each case writes a file the store must refuse; the refusal names the reason and the path and the
// file keeps every byte.
TEST(StoreOpen, RefusesFilesItMustNotTouchAndLeavesThemAsTheyWere) {
    ScratchDir dir;
    // A real store to damage: written, closed (so the journal is folded back into the file).
    const std::string good = dir.File("good.db");
    {
        auto store = MessageStore::Open(good);
        store->Write(0, std::vector<decoder::Record>{Msg(kT0, "121", "hello")});
    }
    std::string damaged = Bytes(good);
    ASSERT_GT(damaged.size(), 4096u);
    for (std::size_t i = 100; i < 400; ++i) damaged[i] = static_cast<char>(0xA5);  // the schema page's body
    std::string newer;
    {
        auto db = messages::Database::Open(dir.File("newer.db"));
        db.Execute("CREATE TABLE future(x); PRAGMA user_version = 99;");
    }
    std::string foreign;
    {
        auto db = messages::Database::Open(dir.File("foreign.db"));
        db.Execute("CREATE TABLE accounts(name TEXT);");
    }
    struct Case {
        const char* name;
        std::string bytes;  // empty: the file already exists as made above
        StoreRefusal reason;
        const char* words;
    } cases[] = {
        {"notes.txt", std::string(5000, 'x') + "\nnot a database at all\n", StoreRefusal::NotADatabase,
         "is not a database"},
        {"damaged.db", damaged, StoreRefusal::Corrupt, "is damaged"},
        {"newer.db", "", StoreRefusal::NewerSchema, "schema version 99, newer than this program's"},
        {"foreign.db", "", StoreRefusal::ForeignDatabase, "not a message store"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File(c.name);
        if (!c.bytes.empty()) WriteBytes(path, c.bytes);
        const std::string before = Bytes(path);
        try {
            MessageStore::Open(path);
            ADD_FAILURE() << c.name << " was opened";
        } catch (const messages::StoreError& e) {
            EXPECT_EQ(e.reason(), c.reason) << c.name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
        EXPECT_EQ(Bytes(path), before) << c.name;
        EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << c.name;
    }
}

TEST(StoreOpen, RefusesAReadOnlyFileOrFolder) {
    namespace fs = std::filesystem;
    ScratchDir dir;
    const std::string file = dir.File("ro.db");
    MessageStore::Open(file).reset();
    const std::string before = Bytes(file);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    try {
        MessageStore::Open(file);
        ADD_FAILURE() << "a read-only file was opened";
    } catch (const messages::StoreError& e) {
        EXPECT_EQ(e.reason(), StoreRefusal::ReadOnly) << e.what();
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Bytes(file), before);

#ifndef _WIN32  // a Windows folder's read-only mark does not keep files out of it
    fs::create_directory(dir.path() / "locked");
    const std::string inLocked = (dir.path() / "locked" / "new.db").string();
    fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    try {
        MessageStore::Open(inLocked);
        ADD_FAILURE() << "a store in a read-only folder was opened";
    } catch (const messages::StoreError& e) {
        EXPECT_EQ(e.reason(), StoreRefusal::ReadOnly) << e.what();
        EXPECT_NE(std::string(e.what()).find("read-only folder"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(inLocked));
    fs::permissions(dir.path() / "locked", fs::perms::owner_all);
#endif
}

TEST(StoreTrim, RemovesOldRowsInStepsAndKeepsTheRest) {
    ScratchDir dir;
    messages::StoreOptions options;
    options.keepRecordsDays = 7;
    options.keepMessagesDays = 30;
    auto store = MessageStore::Open(dir.File("t.db"), options);
    const std::int64_t now = kT0 + 40 * messages::kDayMs;
    // 2500 records older than 7 days and 700 younger; 300 messages older than 30 days and 40 younger.
    std::vector<decoder::Record> records;
    for (int i = 0; i < 2500; ++i) records.push_back(Rec(now - 8 * messages::kDayMs - i, decoder::Category::FrameHeader, "1", "2", "old"));
    for (int i = 0; i < 700; ++i) records.push_back(Rec(now - 6 * messages::kDayMs + i, decoder::Category::UnknownFrame, "1", "2", "new"));
    for (int i = 0; i < 300; ++i) records.push_back(Msg(now - 31 * messages::kDayMs, "121", "old " + std::to_string(i)));
    for (int i = 0; i < 40; ++i) records.push_back(Msg(now - 29 * messages::kDayMs, "121", "kept " + std::to_string(i)));
    std::span<const decoder::Record> rest(records);
    while (!rest.empty()) rest = rest.subspan(store->Write(0, rest));

    // Records go first, 1000 rows a step, the step that finishes them goes on with messages: 2840
    // records (the 340 messages' own records are older than 7 days too), then 300 messages.
    std::vector<int> steps;
    for (int removed; (removed = store->TrimStep(now, 1000)) > 0;) steps.push_back(removed);
    EXPECT_EQ(steps, (std::vector<int>{1000, 1000, 1000, 140}));
    const std::string path = dir.File("t.db");
    EXPECT_EQ(Count(path, "SELECT count(*) FROM record_rows"), 700);
    EXPECT_EQ(Count(path, "SELECT min(text = 'new') FROM record_rows"), 1);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_rows"), 40);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_fts WHERE message_fts MATCH 'old'"), 0);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_fts WHERE message_fts MATCH 'kept'"), 40);
}

TEST(StoreOpen, AReopenedStoreGoesOnWriting) {
    ScratchDir dir;
    const std::string path = dir.File("r.db");
    for (int round = 0; round < 3; ++round) {
        auto store = MessageStore::Open(path);
        EXPECT_EQ(messages::SchemaVersion(store->database()), messages::kSchemaVersion);
        std::int64_t run = store->BeginRun("gui", kT0 + round, "vastrel.exe");
        store->Write(run, std::vector<decoder::Record>{Msg(kT0 + round * kHourMs, "121", "same"),
                                                      Rec(kT0, decoder::Category::BulletinHeader, "1", "1", "b")});
        store->EndRun(run, kT0 + round + 1);
    }
    EXPECT_EQ(Count(path, "SELECT count(*) FROM runs WHERE stopped_ms IS NOT NULL"), 3);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM record_rows"), 6);
    EXPECT_EQ(Count(path, "SELECT copies FROM message_rows"), 3);
}

// Another front end holding the write lock for longer than SQLite's own busy wait: the batch is
// retried whole until it gets through, and only a store that may not retry gives up (and says so).
// Another connection writing the file while the store opens (a second front end creating it at the same
// moment): the opening waits for it instead of refusing the store.
TEST(StoreOpen, AStoreHeldByAnotherWriterWhileOpeningIsOpenedOnceItIsFree) {
    ScratchDir dir;
    const std::string path = dir.File("held.db");
    for (int attempts : {400, 1}) {
        std::remove(path.c_str());
        auto other = messages::Database::Open(path);
        other.Execute("BEGIN EXCLUSIVE");
        other.Execute("CREATE TABLE IF NOT EXISTS early(x)");
        std::atomic<bool> started{false};
        std::string refusal = "not finished";
        std::thread opener([&] {
            started = true;
            messages::StoreOptions o;
            o.busyTimeoutMs = 10;
            o.busyAttempts = attempts;
            try {
                MessageStore::Open(path, o);
                refusal.clear();
            } catch (const messages::StoreError& e) {
                refusal = e.what();
            }
        });
        ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the other writer's long transaction
        other.Execute("ROLLBACK");
        opener.join();
        if (attempts > 1) {
            EXPECT_EQ(refusal, "");
        } else {
            EXPECT_NE(refusal.find("locked"), std::string::npos) << refusal;
        }
    }
}

TEST(StoreOpen, ABusyStoreIsRetriedUntilTheOtherWriterIsDone) {
    ScratchDir dir;
    const std::string path = dir.File("busy.db");
    std::vector<decoder::Record> records;
    for (int i = 0; i < 50; ++i) records.push_back(Msg(kT0 + i, "121", "busy " + std::to_string(i)));
    for (int attempts : {400, 1}) {
        messages::StoreOptions o;
        o.busyTimeoutMs = 10;
        o.busyAttempts = attempts;
        auto store = MessageStore::Open(path, o);
        auto other = messages::Database::Open(path);
        other.Execute("BEGIN IMMEDIATE");
        std::atomic<bool> started{false};
        std::size_t written = 99;
        std::thread writer([&] {
            started = true;
            written = store->Write(0, records);
        });
        ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the other writer's long transaction
        other.Execute("COMMIT");
        writer.join();
        if (attempts > 1) {
            EXPECT_EQ(written, records.size());
            EXPECT_FALSE(store->failed()) << store->error();
        } else {
            EXPECT_EQ(written, 0u);
            EXPECT_TRUE(store->failed());
            EXPECT_NE(store->error().find("locked"), std::string::npos) << store->error();
        }
    }
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_rows"), 50);
}
