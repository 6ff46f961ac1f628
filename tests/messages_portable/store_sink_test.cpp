// StoreSink: every record of a run stored in order with its run, commit before the run's end returns,
// two front ends on one store, a store that fills up, and trimming on the writer thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "messages/store_sink.h"
#include "store_fixture.h"

using namespace store_test;
using decoder::Category;
using messages::MessageStore;
using messages::StoreSink;
using messages::StoreSinkOptions;

namespace {

// A clock the test moves; sinks read it from two threads.
struct TestClock {
    std::atomic<std::int64_t> now{kT0};
    messages::UtcClock Fn() {
        return [this] { return now.load(); };
    }
};

StoreSinkOptions Options(TestClock& clock, const char* instance = "gui-1") {
    StoreSinkOptions o;
    o.instance = instance;
    o.commandLine = "vastrel.exe -f 1500";
    o.clock = clock.Fn();
    o.finishWaitMs = 10'000;  // generous under sanitizers; the test fails if the commit is not there
    return o;
}

}  // namespace

TEST(StoreSink, StoresEveryCategoryInOrderWithRunHeaderLesAndFrame) {
    ScratchDir dir;
    const std::string path = dir.File("s.db");
    TestClock clock;
    struct Row {
        Category category;
        const char* les;
        const char* frame;
        const char* header;
        const char* text;
        std::int64_t lesNumber, frameNumber;  // -1 here: NULL expected
    } rows[] = {
        {Category::FrameHeader, "", "", "1000000", "before any bulletin header", -1, -1},
        {Category::BulletinHeader, "121", "0042", "2121004", "frequency: 1200.0", 121, 42},
        {Category::BulletinContents, "121", "0042", "1xyzxyz", "contents", 121, 42},
        {Category::UnknownFrame, "121", "0042", "3ffffff", "unknown", 121, 42},
        {Category::DecoderNote, "121", "0042", "4      ", "note", 121, 42},
        {Category::MessageText, "121", "0042", "5000001", "MAYDAY test", 121, 42},
        {Category::FrameHeader, "X1", "0043", "0000002", "odd station", -1, 43},
    };
    {
        StoreSink sink(MessageStore::Open(path), Options(clock));
        sink.OnRunStarted();
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            const Row& r = rows[i];
            sink.OnRecord(Rec(kT0 + static_cast<std::int64_t>(i) * 1000, r.category, r.les, r.frame, r.text, r.header));
        }
        clock.now = kT0 + 60'000;
        sink.OnRunEnded();
        EXPECT_EQ(sink.error(), "");
    }
    auto db = messages::Database::Open(path, SQLITE_OPEN_READONLY);
    messages::Statement s(db, "SELECT r.received_ms, r.category, r.header, ifnull(r.les, -1), ifnull(r.frame, -1), "
                              "r.text, u.instance, u.command_line, u.started_ms, u.stopped_ms "
                              "FROM record_rows r JOIN runs u ON u.id = r.run_id ORDER BY r.id");
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        ASSERT_TRUE(s.Step()) << i;
        EXPECT_EQ(s.ColumnInt64(0), kT0 + static_cast<std::int64_t>(i) * 1000);
        EXPECT_EQ(s.ColumnInt64(1), decoder::Index(r.category));
        EXPECT_EQ(s.ColumnText(2), r.header);
        EXPECT_EQ(s.ColumnInt64(3), r.lesNumber);
        EXPECT_EQ(s.ColumnInt64(4), r.frameNumber);
        EXPECT_EQ(s.ColumnText(5), r.text);
        EXPECT_EQ(s.ColumnText(6), "gui-1");
        EXPECT_EQ(s.ColumnText(7), "vastrel.exe -f 1500");
        EXPECT_EQ(s.ColumnInt64(8), kT0);
        EXPECT_EQ(s.ColumnInt64(9), kT0 + 60'000);
    }
    EXPECT_FALSE(s.Step());
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_rows WHERE les = 121 AND frame = 42 AND priority = 0"), 1);
}

TEST(StoreSink, EverythingGivenBeforeTheRunEndsIsCommittedWhenOnRunEndedReturns) {
    ScratchDir dir;
    const std::string path = dir.File("s.db");
    TestClock clock;
    StoreSink sink(MessageStore::Open(path), Options(clock));
    sink.OnRunStarted();
    const int n = 5000;
    for (int i = 0; i < n; ++i) {
        sink.OnRecord(i % 90 == 0 ? Msg(kT0 + i, "112", "message " + std::to_string(i))
                                  : Rec(kT0 + i, Category::FrameHeader, "112", "7", "frame " + std::to_string(i)));
    }
    sink.OnRunEnded();
    // Read at once by another connection: no wait here may stand in for the sink's own.
    EXPECT_EQ(Count(path, "SELECT count(*) FROM record_rows"), n);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_rows"), (n + 89) / 90);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM runs WHERE stopped_ms IS NOT NULL"), 1);
    EXPECT_EQ(sink.written(), static_cast<std::uint64_t>(n));
}

// Two front ends, each with its own store connection and writer, write to one file at once. Every
// record arrives, and a message both hear from the same station is one message with all its copies.
TEST(StoreSink, TwoStoresOnOneFileWritingAtOnceLoseNothing) {
    ScratchDir dir;
    const std::string path = dir.File("shared.db");
    TestClock clock;
    const int perFeeder = 4000;
    auto feed = [&](const char* instance) {
        messages::StoreOptions o;
        o.busyTimeoutMs = 50;  // short, so that the whole-batch retry gets used too
        StoreSink sink(MessageStore::Open(path, o), Options(clock, instance));
        sink.OnRunStarted();
        for (int i = 0; i < perFeeder; ++i) {
            sink.OnRecord(i % 100 == 0 ? Msg(kT0 + i, "121", "SHARED BULLETIN")
                                       : Rec(kT0 + i, Category::UnknownFrame, "121", "1", instance));
            if (i % 500 == 0) std::this_thread::yield();
        }
        sink.OnRunEnded();
        EXPECT_EQ(sink.error(), "") << instance;
    };
    std::thread a(feed, "gui-a");
    std::thread b(feed, "gui-b");
    a.join();
    b.join();
    EXPECT_EQ(Count(path, "SELECT count(*) FROM record_rows"), 2 * perFeeder);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM record_rows r JOIN runs u ON u.id = r.run_id "
                          "WHERE r.category = 3 AND r.text = u.instance"),
              2 * (perFeeder - perFeeder / 100));
    EXPECT_EQ(Count(path, "SELECT count(*) FROM runs WHERE stopped_ms IS NOT NULL"), 2);
    EXPECT_EQ(Count(path, "SELECT count(*) FROM message_rows"), 1);
    EXPECT_EQ(Count(path, "SELECT copies FROM message_rows"), 2 * perFeeder / 100);
}

// A full disk, made by capping the file's pages: the error is reported once, with the path, and the
// sink goes on taking records without writing them.
TEST(StoreSink, AStoreThatFillsUpReportsOnceAndStopsWriting) {
    ScratchDir dir;
    const std::string path = dir.File("full.db");
    TestClock clock;
    auto store = MessageStore::Open(path);
    store->database().Execute("PRAGMA max_page_count = 40");
    std::atomic<int> reports{0};
    std::string first;
    StoreSinkOptions o = Options(clock);
    o.onError = [&](const std::string& e) {
        if (reports++ == 0) first = e;
    };
    StoreSink sink(std::move(store), std::move(o));
    sink.OnRunStarted();
    const std::string big(2000, 'z');
    for (int i = 0; i < 400; ++i) sink.OnRecord(Rec(kT0 + i, Category::BulletinContents, "1", "1", big));
    ASSERT_TRUE(sink.Flush(10'000));
    for (int i = 0; i < 100; ++i) sink.OnRecord(Msg(kT0 + i, "1", big + std::to_string(i)));
    sink.OnRunEnded();
    EXPECT_EQ(reports.load(), 1);
    EXPECT_NE(sink.error().find(path), std::string::npos) << sink.error();
    EXPECT_NE(sink.error().find("full"), std::string::npos) << sink.error();
    EXPECT_EQ(sink.error(), first);
    EXPECT_EQ(sink.written(), 500u);  // taken and dropped after the failure, not queued for ever
}

// Trimming on the writer thread: rows past their keeping time go, in steps, by the sink's clock.
TEST(StoreSink, TrimsOldRowsWhileIdleByItsClock) {
    ScratchDir dir;
    const std::string path = dir.File("trim.db");
    TestClock clock;
    clock.now = kT0 - 30 * messages::kDayMs;  // nothing is old yet
    StoreSinkOptions o = Options(clock);
    o.trimIntervalMs = 20;
    o.trimStepRows = 100;
    StoreSink sink(MessageStore::Open(path), std::move(o));
    sink.OnRunStarted();
    for (int i = 0; i < 1500; ++i) sink.OnRecord(Rec(kT0 - 20 * messages::kDayMs + i, Category::FrameHeader, "1", "1", "old"));
    for (int i = 0; i < 50; ++i) sink.OnRecord(Rec(kT0 - messages::kDayMs + i, Category::FrameHeader, "1", "1", "new"));
    ASSERT_TRUE(sink.Flush(10'000));
    EXPECT_EQ(sink.trimmed(), 0u);
    clock.now = kT0;  // now 1500 records are older than 7 days
    EXPECT_TRUE(WaitUntil([&] { return sink.trimmed() >= 1500; })) << sink.trimmed();
    EXPECT_EQ(Count(path, "SELECT count(*) FROM record_rows"), 50);
    sink.OnRunEnded();
    EXPECT_EQ(sink.trimmed(), 1500u);  // the run itself still has records, so it stays
}
