// MessageStore: messages and their copies, refusals, trimming, another writer holding the file; its
// record sink (runs, a full disk, trimming); the reading of warnings (any order, bulletins, old stores).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "messages/store_sink.h"
#include "old_schema.h"
#include "store_fixture.h"
#include "store_support/query_rows.h"
#include "warnings/reader.h"
#include "warnings/warning_state.h"

using namespace store_test;
using namespace messages;
using decoder::Category;
using Rows = std::vector<std::string>;

namespace {

Rows Query(MessageStore& store, const char* sql) { return store_support::QueryRows(store.database(), sql); }

// The sink reads the test's clock from two threads.
// The finish wait is generous under sanitizers; the test fails if the commit is not there.
StoreSinkOptions Options(std::atomic<std::int64_t>& clock) {
    return {.instance = "gui-1", .commandLine = "vastrel.exe -f 1500", .finishWaitMs = 10'000,
            .clock = [&clock] { return clock.load(); }};
}

// Another front end's transaction on `path`, begun now and ended by `end` after `holdMs` on a thread of
// its own (joined by the caller); without `holdMs`, the caller ends it.
struct Holder {
    Holder(const std::string& path, const char* begin, const char* end, int holdMs) : db(Database::Open(path)) {
        db.Execute(begin);
        if (holdMs > 0)  // the other writer's long transaction
            release = std::thread([=, this] { std::this_thread::sleep_for(std::chrono::milliseconds(holdMs)), db.Execute(end); });
    }
    Database db;
    std::thread release;
};

}  // namespace

TEST(StoreNumbers, StationAndFrameTextBecomeNumbersOnlyWhenTheyAreDigits) {
    const struct { const char* text; std::int64_t number; } cases[] = {{"121", 121}, {"0042", 42}, {"0", 0}, {"999999999", 999999999},
        {"", -1}, {"12a", -1}, {"-1", -1}, {" 12", -1}, {"1234567890", -1}};
    for (const auto& c : cases) EXPECT_EQ(StationNumber(c.text).value_or(-1), c.number) << c.text;
}

TEST(StoreMessages, RecordsBecomeMessagesAndTheSameTextWithin24HoursIsACopy) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    const std::int64_t H = kHourMs;
    const std::vector<decoder::Record> heard = {
        Msg(kT0, "121", "GALE WARNING"),              // 1 new
        Msg(kT0 + 2 * H, "121", "GALE WARNING"),      // 1 copy
        Msg(kT0 + 3 * H, "112", "GALE WARNING"),      // 2 new: other station
        Msg(kT0 + 4 * H, "121", "GALE WARNING."),     // 3 new: other text
        Msg(kT0 + 25 * H, "121", "GALE WARNING"),     // 1 copy: 23 h after its last copy, 25 h after its first
        Msg(kT0 + 49 * H, "121", "GALE WARNING"),     // 4 new: exactly 24 h after the last copy
        Msg(kT0 + 49 * H + 1, "", "NO STATION YET"),  // 5 new, station unknown
        Msg(kT0 + 50 * H, "A7", "NO STATION YET"),    // 5 copy: every unknown station counts as one
        // Priority from the first line; the frame a number only when it is digits; length in characters.
        Msg(kT0, "121", "MAYDAY MAYDAY\nvessel", "0042"), Msg(kT0, "121", "pan pan medical", "7"),
        Msg(kT0, "121", "SECURITE nav warning", "x"), Msg(kT0, "121", "weather\nMAYDAY later", "10000"),
        Msg(kT0, "121", "caf\xC3\xA9", "1"),
    };
    ASSERT_EQ(store->Write(0, heard), heard.size());
    EXPECT_EQ(Query(*store, "SELECT v.les, v.copies, v.first_heard_utc, v.last_heard_utc, v.priority, v.frame, m.len, v.text "
                            "FROM messages v JOIN message_rows m USING (id) ORDER BY id"),
              (Rows{"121|3|2026-12-07T12:00:00.000Z|2026-12-08T13:00:00.000Z|routine|1|12|GALE WARNING",
                    "112|1|2026-12-07T15:00:00.000Z|2026-12-07T15:00:00.000Z|routine|1|12|GALE WARNING",
                    "121|1|2026-12-07T16:00:00.000Z|2026-12-07T16:00:00.000Z|routine|1|13|GALE WARNING.",
                    "121|1|2026-12-09T13:00:00.000Z|2026-12-09T13:00:00.000Z|routine|1|12|GALE WARNING",
                    "-1|2|2026-12-09T13:00:00.001Z|2026-12-09T14:00:00.000Z|routine|1|14|NO STATION YET",
                    "121|1|2026-12-07T12:00:00.000Z|2026-12-07T12:00:00.000Z|distress|42|20|MAYDAY MAYDAY\nvessel",
                    "121|1|2026-12-07T12:00:00.000Z|2026-12-07T12:00:00.000Z|urgency|7|15|pan pan medical",
                    "121|1|2026-12-07T12:00:00.000Z|2026-12-07T12:00:00.000Z|safety|-1|20|SECURITE nav warning",
                    "121|1|2026-12-07T12:00:00.000Z|2026-12-07T12:00:00.000Z|routine|10000|20|weather\nMAYDAY later",
                    "121|1|2026-12-07T12:00:00.000Z|2026-12-07T12:00:00.000Z|routine|1|4|caf\xC3\xA9"}));
    EXPECT_EQ(Count(dir.File("m.db"), "SELECT count(*) FROM record_rows WHERE category = 5"), 13);

    decoder::Record r = Msg(kT0, "121", "caf\xE9");  // code page 1252 bytes as received
    EXPECT_EQ(StoredText(r), "caf\xE9");
    r.wideText = L"caf\u00E9 \u20AC";
    EXPECT_EQ(StoredText(r), "caf\xC3\xA9 \xE2\x82\xAC");  // wide text is stored as UTF-8
}

// Files the store must refuse: the refusal names the reason and the path; the file keeps every byte.
TEST(StoreOpen, RefusesFilesItMustNotTouchAndLeavesThemAsTheyWere) {
    namespace fs = std::filesystem;
    ScratchDir dir;
    // A real store to damage: written, closed (so the journal is folded back into the file).
    MessageStore::Open(dir.File("good.db"))->Write(0, std::vector<decoder::Record>{Msg(kT0, "121", "hello")});
    std::string damaged = Bytes(dir.File("good.db"));
    ASSERT_GT(damaged.size(), 4096u);
    for (std::size_t i = 100; i < 400; ++i) damaged[i] = static_cast<char>(0xA5);  // the schema page's body
    std::ofstream(dir.File("damaged.db"), std::ios::binary) << damaged;
    std::ofstream(dir.File("notes.txt"), std::ios::binary) << std::string(5000, 'x') << "\nnot a database at all\n";
    Database::Open(dir.File("newer.db")).Execute("CREATE TABLE future(x); PRAGMA user_version = 99;");
    Database::Open(dir.File("foreign.db")).Execute("CREATE TABLE accounts(name TEXT);");
    MessageStore::Open(dir.File("ro.db")).reset();
    fs::permissions(dir.File("ro.db"), fs::perms::owner_read | fs::perms::group_read);
#ifndef _WIN32  // a Windows folder's read-only mark does not keep files out of it
    fs::create_directory(dir.path() / "locked");
    fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
#endif
    const struct { const char* name; StoreRefusal reason; const char* words; } cases[] = {
        {"notes.txt", StoreRefusal::NotADatabase, "is not a database"}, {"damaged.db", StoreRefusal::Corrupt, "is damaged"},
        {"newer.db", StoreRefusal::NewerSchema, "schema version 99, newer than this program's"},
        {"foreign.db", StoreRefusal::ForeignDatabase, "not a message store"},
        {"ro.db", StoreRefusal::ReadOnly, "is read-only"},
#ifndef _WIN32
        {"locked/new.db", StoreRefusal::ReadOnly, "is in a read-only folder"},
#endif
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(c.name);
        const bool existed = fs::exists(path);
        const std::string before = Bytes(path);
        try { MessageStore::Open(path); ADD_FAILURE() << c.name << " was opened"; } catch (const StoreError& e) {
            EXPECT_EQ(e.reason(), c.reason) << c.name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
        EXPECT_EQ(Bytes(path), before) << c.name;
        EXPECT_EQ(fs::exists(path), existed) << c.name;
        EXPECT_FALSE(fs::exists(path + "-wal")) << c.name;
    }
    // The good one, reopened, goes on writing: a copy of its message.
    MessageStore::Open(dir.File("good.db"))->Write(0, std::vector<decoder::Record>{Msg(kT0 + 1, "121", "hello")});
    EXPECT_EQ(Count(dir.File("good.db"), "SELECT copies FROM message_rows"), 2);
}

TEST(StoreTrim, RemovesOldRowsInStepsAndKeepsTheRest) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("t.db"), StoreOptions{.keepRecordsDays = 7, .keepMessagesDays = 30});
    const std::int64_t now = kT0 + 40 * kDayMs, day = kDayMs;
    // 2500 records older than 7 days and 700 younger; 300 messages older than 30 days and 40 younger.
    std::vector<decoder::Record> records;
    for (int i = 0; i < 2500; ++i) records.push_back(Rec(now - 8 * day - i, decoder::Category::FrameHeader, "1", "2", "old"));
    for (int i = 0; i < 700; ++i) records.push_back(Rec(now - 6 * day + i, decoder::Category::UnknownFrame, "1", "2", "new"));
    for (int i = 0; i < 300; ++i) records.push_back(Msg(now - 31 * day, "121", "old " + std::to_string(i)));
    for (int i = 0; i < 40; ++i) records.push_back(Msg(now - 29 * day, "121", "kept " + std::to_string(i)));
    std::span<const decoder::Record> rest(records);
    while (!rest.empty()) rest = rest.subspan(store->Write(0, rest));

    // Records first, 1000 rows a step, then messages: 2840 records (with the 340 messages' own), 300 messages.
    std::vector<int> steps;
    for (int removed; (removed = store->TrimStep(now, 1000)) > 0;) steps.push_back(removed);
    EXPECT_EQ(steps, (std::vector<int>{1000, 1000, 1000, 140}));
    EXPECT_EQ(Query(*store, "SELECT (SELECT count(*) || ' ' || min(text = 'new') FROM record_rows), (SELECT count(*) FROM "
                            "message_rows), (SELECT count(*) FROM message_fts WHERE message_fts MATCH 'old'), "
                            "(SELECT count(*) FROM message_fts WHERE message_fts MATCH 'kept')"),
              Rows{"700 1|40|0|40"});
}

// Another front end holds the write lock longer than SQLite's busy wait while this one opens or writes:
// retried whole until it gets through; only a store that may not retry gives up, and says so.
TEST(StoreOpen, AStoreHeldByAnotherWriterIsWaitedFor) {
    ScratchDir dir;
    const std::string busy = dir.File("busy.db");
    std::vector<decoder::Record> records;
    for (int i = 0; i < 50; ++i) records.push_back(Msg(kT0 + i, "121", "busy " + std::to_string(i)));
    for (int attempts : {400, 1}) {
        SCOPED_TRACE(attempts);
        const StoreOptions o{.busyTimeoutMs = 10, .busyAttempts = attempts};
        const int holdMs = attempts > 1 ? 300 : 0;
        const std::string held = dir.File(attempts > 1 ? "held.db" : "held1.db");
        Holder creator(held, "BEGIN EXCLUSIVE; CREATE TABLE IF NOT EXISTS early(x)", "ROLLBACK", holdMs);
        std::string refusal = "opened";
        try { MessageStore::Open(held, o); } catch (const StoreError& e) { refusal = e.what(); }
        auto store = MessageStore::Open(busy, o);
        Holder writer(busy, "BEGIN IMMEDIATE", "COMMIT", holdMs);
        const std::size_t written = store->Write(0, records);
        for (Holder* h : {&creator, &writer})
            if (h->release.joinable()) h->release.join();
            else h->db.Execute("ROLLBACK");
        EXPECT_EQ(store->failed(), attempts == 1) << store->error();
        if (attempts > 1) EXPECT_EQ(refusal + " " + std::to_string(written) + " " + store->error(), "opened 50 ");
        else EXPECT_TRUE(refusal.find("locked") != std::string::npos && written == 0 &&
                         store->error().find("locked") != std::string::npos) << refusal << " " << written << " " << store->error();
    }
    EXPECT_EQ(Count(busy, "SELECT count(*) FROM message_rows"), 50);
}

TEST(StoreSink, EveryRecordIsCommittedInOrderWithItsRunWhenOnRunEndedReturns) {
    ScratchDir dir;
    const std::string path = dir.File("s.db");
    std::atomic<std::int64_t> clock{kT0};
    StoreSink sink(MessageStore::Open(path), Options(clock));
    sink.OnRunStarted();
    // One of each category: header, station and frame as received, the numbers when they are digits.
    for (const decoder::Record& r : {Rec(kT0, Category::FrameHeader, "", "", "before any bulletin header", "1000000"),
             Rec(kT0 + 1, Category::BulletinHeader, "121", "0042", "frequency: 1200.0", "2121004"),
             Rec(kT0 + 2, Category::BulletinContents, "121", "0042", "contents", "1xyzxyz"),
             Rec(kT0 + 3, Category::UnknownFrame, "121", "0042", "unknown", "3ffffff"),
             Rec(kT0 + 4, Category::DecoderNote, "121", "0042", "note", "4      "),
             Rec(kT0 + 5, Category::MessageText, "121", "0042", "MAYDAY test", "5000001"),
             Rec(kT0 + 6, Category::FrameHeader, "X1", "0043", "odd station", "0000002")})
        sink.OnRecord(r);
    const int n = 5000;  // then many, a message among every 90
    for (int i = 0; i < n; ++i)
        sink.OnRecord(i % 90 == 0 ? Msg(kT0 + 10 + i, "112", "message " + std::to_string(i))
                                  : Rec(kT0 + 10 + i, Category::FrameHeader, "112", "7", "frame " + std::to_string(i)));
    clock = kT0 + 60'000;
    sink.OnRunEnded();
    EXPECT_EQ(sink.error() + "|" + std::to_string(sink.written()), "|5007");
    // Read at once by another connection: no wait here may stand in for the sink's own.
    auto db = Database::Open(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(store_support::QueryRows(db, "SELECT received_ms - 1796644800000, category, header, les, frame, text "
                                           "FROM record_rows ORDER BY id LIMIT 7"),
              (Rows{"0|0|1000000|NULL|NULL|before any bulletin header", "1|2|2121004|121|42|frequency: 1200.0",
                    "2|1|1xyzxyz|121|42|contents", "3|3|3ffffff|121|42|unknown", "4|4|4      |121|42|note",
                    "5|5|5000001|121|42|MAYDAY test", "6|0|0000002|NULL|43|odd station"}));
    EXPECT_EQ(store_support::QueryRows(db, "SELECT u.instance, u.command_line, u.started_ms - 1796644800000, u.stopped_ms - "
                                           "1796644800000, count(*) FROM record_rows r JOIN runs u ON u.id = r.run_id"),
              Rows{"gui-1|vastrel.exe -f 1500|0|60000|5007"});
    EXPECT_EQ(store_support::QueryRows(db, "SELECT les || ' ' || frame || ' ' || priority || ' ' || (SELECT count(*) FROM "
                                           "message_rows) FROM message_rows ORDER BY id LIMIT 1"),
              Rows{"121 42 0 57"});  // the MAYDAY and 56 of the many
}

// A full disk (the file's pages capped): said once, with the path; the sink takes records, unwritten.
TEST(StoreSink, AStoreThatFillsUpReportsOnceAndStopsWriting) {
    ScratchDir dir;
    const std::string path = dir.File("full.db");
    std::atomic<std::int64_t> clock{kT0};
    auto store = MessageStore::Open(path);
    store->database().Execute("PRAGMA max_page_count = 40");
    std::atomic<int> reports{0};
    std::string first;
    StoreSinkOptions o = Options(clock);
    o.onError = [&](const std::string& e) { first = reports++ == 0 ? e : first; };
    StoreSink sink(std::move(store), std::move(o));
    sink.OnRunStarted();
    const std::string big(2000, 'z');
    for (int i = 0; i < 400; ++i) sink.OnRecord(Rec(kT0 + i, Category::BulletinContents, "1", "1", big));
    ASSERT_TRUE(sink.Flush(10'000));
    for (int i = 0; i < 100; ++i) sink.OnRecord(Msg(kT0 + i, "1", big + std::to_string(i)));
    sink.OnRunEnded();
    EXPECT_EQ(reports.load(), 1);
    EXPECT_TRUE(sink.error() == first && sink.error().find(path) != std::string::npos &&
                sink.error().find("full") != std::string::npos) << sink.error() << " / " << first;
    EXPECT_EQ(sink.written(), 500u);  // taken and dropped after the failure, not queued for ever
}

// A cancellation heard before its warning (and its repeat) cancels it on arrival; a bulletin drops the
// warnings it leaves out and names the one never heard, until it arrives.
TEST(StoreWarnings, CancellationsAndBulletinsApplyWhicheverIsHeardFirst) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    const std::int64_t H = kHourMs;
    store->Write(0, std::vector<decoder::Record>{
                        Msg(kT0, "121", "NAVAREA IV 1200/26\nCANCEL NAVAREA IV 1190/26.\nCANCEL THIS MSG 071300Z DEC 26."),
                        Msg(kT0 + H, "121", "MAYDAY RELAY\nYACHT SINKING 49-10N 008-30W.")});
    store->Write(0, std::vector<decoder::Record>{
                        Msg(kT0 + 2 * H, "121", "NAVAREA IV 1190/26\nBUOY ADRIFT WITHIN 2 MILES OF 30-00N 070-00W."),
                        Msg(kT0 + 3 * H, "112", "NAVAREA IV 1190/26\nBUOY ADRIFT WITHIN 2 MILES OF 30-00N 070-00W.\n")});
    std::int64_t at = kT0 + 4 * H;
    for (const char* text : {"NAVAREA I 101/26\nWRECK 50-00N 001-00W.", "NAVAREA I 102/26\nBUOY UNLIT.",
                             "NAVAREA I 103/26\nAREA BOUNDED BY 50-00N 001-00W, 50-10N 001-00W, 50-10N 001-20W.",
                             "NAVAREA I WARNINGS IN FORCE AT 071500 UTC DEC 26:\n2026 SERIES: 103, 104.",
                             "NAVAREA II 200/26\nBUOY UNLIT."})
        store->Write(0, std::vector<decoder::Record>{Msg(at += H, "121", text)});
    EXPECT_EQ(Query(*store, "SELECT id, series, number, year, kind, state, cancelled_by, expires_utc FROM warnings ORDER BY id"),
              (Rows{"1|NAVAREA IV|1200|2026|nav|expired|NULL|2026-12-07T13:00:00.000Z", "2|NULL|NULL|NULL|sar|none|NULL|NULL",
                    "3|NAVAREA IV|1190|2026|nav|cancelled|1|NULL", "4|NAVAREA IV|1190|2026|nav|cancelled|1|NULL",
                    "5|NAVAREA I|101|2026|nav|dropped|NULL|NULL", "6|NAVAREA I|102|2026|nav|dropped|NULL|NULL",
                    "7|NAVAREA I|103|2026|nav|inforce|NULL|NULL", "8|NAVAREA I|NULL|NULL|bulletin|none|NULL|NULL",
                    "9|NAVAREA II|200|2026|nav|inforce|NULL|NULL"}));
    EXPECT_EQ(Query(*store, "SELECT id, shape, seq, kind, lat, lon, radius_nm FROM positions WHERE id < 5 ORDER BY id, shape, seq"),
              (Rows{"2|1|1|point|49.166667|-8.5|NULL", "3|1|1|circle|30.0|-70.0|2.0", "4|1|1|circle|30.0|-70.0|2.0"}));
    EXPECT_EQ(Query(*store, "SELECT series, number, year, bulletin_id FROM missing_warnings"), Rows{"NAVAREA I|104|2026|8"});
    store->Write(0, std::vector<decoder::Record>{Msg(at + H, "121", "NAVAREA I 104/26\nLIGHT UNLIT.")});
    EXPECT_EQ(Query(*store, "SELECT (SELECT count(*) FROM missing_warnings), state FROM warnings WHERE id = 10"),
              Rows{"0|inforce"});
}

// A store of the version before reading is read in steps after opening (each says how many remain);
// the sink's writer thread reads the rest while idle, and trims old records in steps by its clock.
TEST(StoreWarnings, AStoreOfTheVersionBeforeIsReadInStepsAndTrimmedByTheSinksClock) {
    ScratchDir dir;
    const std::string path = dir.File("m.db");
    std::vector<decoder::Record> heard;
    for (int i = 0; i < 1500; ++i) heard.push_back(Rec(kT0 - 20 * kDayMs + i, Category::FrameHeader, "1", "1", "old"));
    for (int i = 0; i < 5; ++i)
        heard.push_back(Msg(kT0 + i, "121", "NAVAREA I " + std::to_string(300 + i) + "/26\nWRECK 50-0" + std::to_string(i) + "N 001-00W."));
    heard.push_back(Msg(kT0 + 9, "121", "NAVAREA I 310/26\nCANCEL NAVAREA I 300/26."));
    for (int i = 0; i < 250; ++i) heard.push_back(Msg(kT0 + 10 + i, "121", "NAVAREA II " + std::to_string(i + 1) + "/26\nBUOY."));
    std::span<const decoder::Record> rest(heard);
    for (auto old = MessageStore::Open(path); !rest.empty();) rest = rest.subspan(old->Write(0, rest));
    messages_test::DropReadingTables(MessageStore::Open(path)->database());  // the store reopens as the old one
    auto store = MessageStore::Open(path);
    EXPECT_EQ(Query(*store, "SELECT count(*) FROM warnings"), Rows{"0"});
    EXPECT_EQ(store->ReadPendingMessages(4), 252);
    EXPECT_EQ(Query(*store, "SELECT id, number, state, cancelled_by FROM warnings ORDER BY id"),
              (Rows{"1|300|inforce|NULL", "2|301|inforce|NULL", "3|302|inforce|NULL", "4|303|inforce|NULL"}));
    std::atomic<std::int64_t> clock{kT0 - 30 * kDayMs};  // nothing is old yet
    StoreSinkOptions o = Options(clock);
    o.trimIntervalMs = 20, o.trimStepRows = 100;
    StoreSink sink(std::move(store), std::move(o));
    // Steps of 200 and a few; generous under sanitizers on a loaded machine.
    EXPECT_TRUE(WaitUntil([&] { return Count(path, "SELECT count(*) FROM warnings WHERE state = 'inforce'") == 255; }, 30'000));
    EXPECT_EQ(sink.trimmed(), 0u);
    clock = kT0;  // now the 1500 records are older than 7 days
    EXPECT_TRUE(WaitUntil([&] { return sink.trimmed() >= 1500; })) << sink.trimmed();
    auto db = Database::Open(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(store_support::QueryRows(db, "SELECT (SELECT count(*) FROM record_rows), (SELECT cancelled_by FROM warnings WHERE "
                                           "id = 1), lat, lon FROM positions WHERE id = 5"),
              Rows{"256|6|50.066667|-1.0"});
    EXPECT_EQ(sink.trimmed(), 1500u);
}

TEST(StoreWarnings, StatesKeptMessageByMessageAgreeWithStatesWorkedOutOverAll) {
    // Two series heard in a shuffled order, one write each: the store keeps what the states over all give.
    std::vector<std::string> texts;
    for (int n = 1; n <= 12; ++n) {
        texts.push_back("NAVAREA I " + std::to_string(n) + "/26\nBUOY.");
        if (n % 3 == 0) texts.push_back("NAVAREA I " + std::to_string(n) + "/26\nBUOY.\n");  // a repeat
        if (n % 4 == 0) texts.push_back("NAVAREA I " + std::to_string(20 + n) + "/26\nCANCEL NAVAREA I " + std::to_string(n) + "/26.");
        texts.push_back("HYDROPAC " + std::to_string(n) + "/26\nCANCEL HYDROPAC " + std::to_string(n + 1) + "/26.");
    }
    texts.push_back("NAVAREA I WARNINGS IN FORCE AT 071200 UTC DEC 26\n2026 SERIES: 1, 2, 5, 7, 11, 40.");
    texts.push_back("HYDROPAC WARNINGS IN FORCE\n2026 SERIES: 3, 13.");
    std::shuffle(texts.begin(), texts.end(), std::mt19937(20261208));

    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    std::vector<warnings::Heard> all;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::int64_t at = kT0 + static_cast<std::int64_t>(i) * 60'000;
        store->Write(0, std::vector<decoder::Record>{Msg(at, i % 2 ? "121" : "112", texts[i])});
        all.push_back(warnings::HeardOf(static_cast<std::int64_t>(i + 1), at, warnings::Read(texts[i], at)));
    }
    const warnings::States expected = warnings::ComputeStates(all);
    Rows want, missing;
    for (const warnings::MessageState& m : expected.messages)
        want.push_back(std::to_string(m.id) + "|" + std::string(warnings::StateName(m.state)) + "|" +
                       (m.cancelledBy ? std::to_string(m.cancelledBy) : "NULL"));
    for (const warnings::Missing& m : expected.missing)
        missing.push_back(m.key.series + "|" + std::to_string(m.key.number) + "|" + std::to_string(m.bulletinId));
    EXPECT_EQ(Query(*store, "SELECT id, state, cancelled_by FROM warnings ORDER BY id"), want);
    EXPECT_EQ(Query(*store, "SELECT series, number, bulletin_id FROM missing_warnings ORDER BY series, number"), missing);
}
