// The browser's query on a real store file: order, paging, filters, sort keys, positions, changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "browser/match_counter.h"
#include "browser/message_query.h"
#include "browser_store.h"
#include "messages/warning_rows.h"
#include "messages_portable/old_schema.h"

using namespace browser;
using browsertest::kHourMs;
using browsertest::Message;
using browsertest::StoreFile;

namespace {

constexpr std::int64_t kNow = 1796565909750;  // 2026-12-06 14:05:09.750 UTC

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::vector<std::int64_t> Ids(MessageQuery& query) {
    std::vector<std::int64_t> ids;
    for (std::int64_t p = 0; p < query.count(); ++p) {
        const BrowserRow* row = query.RowAt(p);
        ids.push_back(row ? row->id : -1);
    }
    return ids;
}

messages::Filter Parsed(std::string_view text) {
    messages::Filter filter;
    messages::FilterError error;
    EXPECT_TRUE(messages::Filter::Parse(text, filter, error)) << error.message;
    return filter;
}

// A store with varied messages, one every 10 minutes back from kNow.
struct Mixed {
    StoreFile file{TestName()};
    std::vector<messages::MessageRow> rows;
    Mixed() {
        const char* texts[] = {"MAYDAY VESSEL AGROUND", "GALE WARNING AREA 3", "routine traffic list",
                               "PAN PAN MAN OVERBOARD", "SECURITE NAVAREA", "weather bulletin\nGALE WARNING later",
                               "cargo note", "DISTRESS RELAY"};
        for (int i = 0; i < 40; ++i) {
            auto row = Message(kNow - (40 - i) * 10 * 60'000LL, i % 3 == 0 ? 121 : 112 + i % 2, 900 + i * 50,
                               std::string(texts[i % 8]) + " #" + std::to_string(i), 1 + i % 4);
            row.id = file.Add(row);
            rows.push_back(row);
        }
    }
};

}  // namespace

TEST(MessageQuery, ListsNewestFirstAcrossPagesAndKeepsFewPages) {
    StoreFile file(TestName());
    const int n = MessageQuery::kPageRows * 20 + 5;
    for (int i = 0; i < n; ++i) file.Add(Message(kNow - (n - i) * 1000LL, 121, i, "text " + std::to_string(i)));
    MessageQuery query(file.path());
    EXPECT_EQ(query.Refresh(kNow), n);
    const std::vector<std::int64_t> ids = Ids(query);
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p) ASSERT_EQ(ids[p], n - p) << p;
    EXPECT_LE(query.cachedPages(), MessageQuery::kCachedPages);
    // Back to the start after the cache turned over: the rows are read again, the same.
    EXPECT_EQ(query.RowAt(0)->firstLine, "text " + std::to_string(n - 1));
    EXPECT_EQ(query.RowAt(n), nullptr);
    EXPECT_EQ(query.RowAt(-1), nullptr);
}

TEST(MessageQuery, FilterExamplesSelectWhatTheFilterMatchesInMemory) {
    Mixed m;
    MessageQuery query(m.file.path());
    for (const char* text : {"(age_day<1) & les=121", "priority>=urgency | text~\"MAYDAY\"",
                             "!(les=112) & frame>=1000 & frame<2000", "\"GALE WARNING\" & age_hour<12", ""}) {
        SCOPED_TRACE(text);
        const messages::Filter filter = Parsed(text);
        std::vector<std::int64_t> expected;
        for (auto it = m.rows.rbegin(); it != m.rows.rend(); ++it)
            if (filter.Matches(*it, kNow)) expected.push_back(it->id);
        query.SetFilter(filter);
        EXPECT_EQ(query.Refresh(kNow), static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(Ids(query), expected);
    }
}

TEST(MessageQuery, EachColumnSortsBothWaysWithTheIdBreakingTies) {
    Mixed m;
    MessageQuery query(m.file.path());
    for (int c = 0; c < kColumnCount; ++c) {
        for (bool descending : {false, true}) {
            SCOPED_TRACE(std::to_string(c) + (descending ? " desc" : " asc"));
            auto key = [c](const messages::MessageRow& r) -> std::pair<std::string, std::int64_t> {
                switch (static_cast<Column>(c)) {
                    case Column::Received: return {{}, r.firstHeardMs};
                    case Column::Les: return {{}, r.les};
                    case Column::Frame: return {{}, r.frame};
                    case Column::Priority: return {{}, static_cast<std::int64_t>(r.priority)};
                    case Column::Copies: return {{}, r.copies};
                    case Column::Length: return {{}, r.length};
                    case Column::Message: return {r.text, 0};
                }
                return {};
            };
            std::vector<messages::MessageRow> sorted = m.rows;
            std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
                const auto ka = std::make_pair(key(a), a.id), kb = std::make_pair(key(b), b.id);
                return descending ? kb < ka : ka < kb;
            });
            std::vector<std::int64_t> expected;
            for (const auto& r : sorted) expected.push_back(r.id);
            query.SetSort(static_cast<Column>(c), descending);
            query.Refresh(kNow);
            EXPECT_EQ(Ids(query), expected);
            // Every row's position is found again from its id.
            for (std::size_t p = 0; p < expected.size(); p += 7)
                EXPECT_EQ(query.PositionOf(expected[p]), static_cast<std::int64_t>(p));
        }
    }
}

TEST(MessageQuery, PositionOfAMessageTheFilterLeavesOutIsMinusOne) {
    Mixed m;
    MessageQuery query(m.file.path());
    query.SetFilter(Parsed("les=121"));
    query.Refresh(kNow);
    EXPECT_EQ(query.PositionOf(m.rows[1].id), -1);  // les 113
    EXPECT_EQ(query.PositionOf(m.rows[39].id), 0);  // the newest from 121
    EXPECT_EQ(query.PositionOf(999999), -1);
}

TEST(MessageQuery, TextIsTheWholeMessageAsStored) {
    StoreFile file(TestName());
    const std::string text = "SECURITE\r\nline two\n\ttabbed \xC3\xA9";
    const std::int64_t id = file.Add(Message(kNow, 121, 1, text));
    MessageQuery query(file.path());
    query.Refresh(kNow);
    EXPECT_EQ(query.Text(id), text);
    EXPECT_EQ(query.RowAt(0)->firstLine, "SECURITE");
    EXPECT_EQ(query.Text(id + 1), "");
}

TEST(MessageQuery, SeesAnotherConnectionsWritesAfterRefresh) {
    StoreFile file(TestName());
    file.Add(Message(kNow - kHourMs, 121, 1, "first"));
    MessageQuery query(file.path());
    EXPECT_EQ(query.Refresh(kNow), 1);
    EXPECT_FALSE(query.StoreChanged());
    file.Add(Message(kNow, 121, 2, "second"));
    EXPECT_TRUE(query.StoreChanged());
    EXPECT_FALSE(query.StoreChanged());
    EXPECT_EQ(query.count(), 1);  // as of the last refresh until told
    EXPECT_EQ(query.Refresh(kNow), 2);
    EXPECT_EQ(query.RowAt(0)->firstLine, "second");
    file.database().Execute("UPDATE message_rows SET copies = copies + 1 WHERE text = 'second'");
    EXPECT_TRUE(query.StoreChanged());
    query.Refresh(kNow);
    EXPECT_EQ(query.RowAt(0)->copies, 2);
}

TEST(MessageQuery, RefusesAMissingFileAndOneThatIsNotAStore) {
    StoreFile missing(TestName());
    EXPECT_THROW(MessageQuery query(missing.path()), messages::SqliteError);
    EXPECT_FALSE(std::filesystem::exists(missing.fsPath()));  // read-only: never created
    StoreFile text(TestName() + "_text");
    std::ofstream(text.fsPath()) << "not a database at all, just some words that go on for a while";
    EXPECT_THROW(MessageQuery query(text.path()), messages::SqliteError);
    StoreFile other(TestName() + "_other");
    {
        auto db = messages::Database::Open(other.path());
        db.Execute("CREATE TABLE something(x)");
    }
    EXPECT_THROW(MessageQuery query(other.path()), messages::SqliteError);
}

namespace {

// Many rows with few distinct keys, so that pages start and end inside runs of equal keys.
struct Ties {
    StoreFile file{TestName()};
    std::vector<messages::MessageRow> rows;
    Ties() {
        const int n = MessageQuery::kPageRows * 5 + 3;
        for (int i = 0; i < n; ++i) {
            auto row = Message(kNow - (i % 50) * 1000LL, 112 + i % 3, i % 7, std::string(i % 11 == 0 ? "MAYDAY " : "") +
                               "note " + std::to_string(i % 5), 1 + i % 2);
            row.id = file.Add(row);
            rows.push_back(row);
        }
    }
    std::vector<std::int64_t> Sorted(Column c, bool descending) const {
        auto key = [c](const messages::MessageRow& r) -> std::int64_t {
            switch (c) {
                case Column::Received: return r.firstHeardMs;
                case Column::Les: return r.les;
                case Column::Frame: return r.frame;
                case Column::Priority: return static_cast<std::int64_t>(r.priority);
                case Column::Copies: return r.copies;
                case Column::Length: return r.length;
                case Column::Message: break;
            }
            return 0;
        };
        std::vector<messages::MessageRow> sorted = rows;
        std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
            const auto ka = std::make_pair(key(a), a.id), kb = std::make_pair(key(b), b.id);
            return descending ? kb < ka : ka < kb;
        });
        std::vector<std::int64_t> ids;
        for (const auto& r : sorted) ids.push_back(r.id);
        return ids;
    }
};

}  // namespace

TEST(MessageQuery, PagesReadOnFromTheirNeighboursAgreeWithTheOrderBothWays) {
    Ties t;
    MessageQuery query(t.file.path());
    for (Column c : {Column::Received, Column::Les, Column::Frame, Column::Priority, Column::Copies, Column::Length}) {
        for (bool descending : {true, false}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(c)) + (descending ? " desc" : " asc"));
            const std::vector<std::int64_t> expected = t.Sorted(c, descending);
            query.SetSort(c, descending);
            ASSERT_EQ(query.Refresh(kNow), static_cast<std::int64_t>(expected.size()));
            // Forwards: each page from the one before it.
            EXPECT_EQ(Ids(query), expected);
            // Backwards from the far end, after the cache has turned over: each from the one after it.
            query.Reorder();
            const auto n = static_cast<std::int64_t>(expected.size());
            std::vector<std::int64_t> backwards(expected.size(), -1);
            for (std::int64_t p = n - 1; p >= 0; --p) {
                const BrowserRow* row = query.RowAt(p);
                backwards[static_cast<std::size_t>(p)] = row ? row->id : -1;
            }
            EXPECT_EQ(backwards, expected);
            // And a page in the middle alone, by its offset.
            query.Reorder();
            const std::int64_t middle = MessageQuery::kPageRows * 2 + 5;
            ASSERT_NE(query.RowAt(middle), nullptr);
            EXPECT_EQ(query.RowAt(middle)->id, expected[static_cast<std::size_t>(middle)]);
        }
    }
}

TEST(MessageQuery, ACountOverTheBudgetIsLeftToACounterOnItsOwnThread) {
    Ties t;
    const auto n = static_cast<std::int64_t>(t.rows.size());
    MessageQuery query(t.file.path());
    query.SetStepBudget(0);  // nothing counted on this thread
    EXPECT_EQ(query.Refresh(kNow), MessageQuery::kPageRows);
    EXPECT_FALSE(query.countKnown());
    EXPECT_EQ(query.RowAt(MessageQuery::kPageRows), nullptr);  // not yet in the list
    EXPECT_EQ(query.Refresh(kNow, 200), 200);                   // a refresh keeps the length it had
    EXPECT_FALSE(query.countKnown());

    MatchCounter counter(query.path(), query.countSql());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!counter.done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(counter.done());
    EXPECT_EQ(counter.count(), n);
    query.SetCount(counter.count());
    EXPECT_TRUE(query.countKnown());
    EXPECT_EQ(Ids(query), t.Sorted(Column::Received, true));

    // Fewer matches than a page: the first page is the count, known at once.
    query.SetFilter(Parsed("les=112 & frame=3 & copies=2"));
    const std::int64_t few = query.Refresh(kNow);
    EXPECT_TRUE(query.countKnown());
    EXPECT_EQ(few, std::count_if(t.rows.begin(), t.rows.end(), [](const auto& r) {
                  return r.les == 112 && r.frame == 3 && r.copies == 2;
              }));
    EXPECT_LT(few, MessageQuery::kPageRows);

    // Within the budget, counted here.
    query.SetStepBudget(MessageQuery::kDefaultStepBudget);
    query.SetFilter(messages::Filter());
    EXPECT_EQ(query.Refresh(kNow), n);
    EXPECT_TRUE(query.countKnown());
}

TEST(MessageQuery, ACounterStoppedEarlyEndsAtOnceWithoutACount) {
    Ties t;
    MessageQuery query(t.file.path());
    query.Refresh(kNow);
    // A count that would take very long: every message against every other.
    messages::FilterSql slow;
    slow.where = "(SELECT count(*) FROM message_rows a, message_rows b, message_rows c WHERE a.id <> m.id) > 0";
    const auto start = std::chrono::steady_clock::now();
    {
        MatchCounter counter(query.path(), slow);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(counter.done());
        EXPECT_EQ(counter.count(), -1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // Cancelled without waiting: it ends by itself soon after, with no count.
    MatchCounter cancelled(query.path(), slow);
    cancelled.Cancel();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!cancelled.done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(cancelled.done());
    EXPECT_EQ(cancelled.count(), -1);
    EXPECT_THROW(MatchCounter(t.file.path() + ".missing", messages::FilterSql{"1", {}}), messages::SqliteError);
}

TEST(MessageQuery, SearchesFindTheSameWalkingTheOrderOrByTheirOwnIndexes) {
    Ties t;
    MessageQuery query(t.file.path());
    for (const char* text : {"\"MAYDAY\"", "text~\"note 3\" | frame=2", "!\"note\"", "\"MAYDAY\" & les=113", "frame=3"}) {
        const messages::Filter filter = Parsed(text);
        std::vector<std::int64_t> expected;
        for (std::int64_t id : t.Sorted(Column::Received, true)) {
            if (filter.Matches(t.rows[static_cast<std::size_t>(id - t.rows.front().id)], kNow)) expected.push_back(id);
        }
        // A budget of one progress call gives up on the plain test at once; the default one finishes it.
        for (std::int64_t budget : {std::int64_t{1}, MessageQuery::kDefaultStepBudget}) {
            SCOPED_TRACE(std::string(text) + " budget " + std::to_string(budget));
            query.SetStepBudget(budget);
            query.SetFilter(filter);
            query.Refresh(kNow);
            if (!query.countKnown()) query.SetCount(static_cast<std::int64_t>(expected.size()));
            EXPECT_EQ(Ids(query), expected);
        }
    }
}

namespace {

// Warnings of two series, a cancellation, and a bulletin naming one never heard, all read.
struct Warnings {
    StoreFile file{TestName()};
    std::int64_t ids[6] = {};
    Warnings() {
        const char* texts[] = {
            "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.",
            "NAVAREA IV 1170/22\nBUOY ADRIFT 28-10N 080-10W.",
            "HYDROLANT 2300/26\nBUOY ADRIFT WITHIN 5 MILES OF 50-30N 004-00W.",
            "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.",
            "NAVAREA IV WARNINGS IN FORCE\n2022 SERIES: 1170, 1190, 1200.",
            "plain text",
        };
        for (int i = 0; i < 6; ++i) ids[i] = file.Add(Message(kNow - (6 - i) * kHourMs, 121, i + 1, texts[i]));
        messages::ReadUnreadMessages(file.database(), 10);
    }
};

}  // namespace

TEST(MessageQuery, RowsCarryTheirWarningKindStateAndUnreadMark) {
    Warnings store;
    messages::MarkSeen(store.file.database(), store.ids[1]);
    MessageQuery query(store.file.path());
    query.SetSort(Column::Frame, false);
    query.Refresh(kNow);
    ASSERT_EQ(query.count(), 6);
    struct Expected {
        const char* warning;
        const char* kind;
        const char* state;
        bool unread;
    };
    const Expected expected[] = {{"NAVAREA IV 1165/22", "nav", "cancelled", true},
                                 {"NAVAREA IV 1170/22", "nav", "in force", false},
                                 {"HYDROLANT 2300/26", "nav", "in force", true},
                                 {"NAVAREA IV 1190/22", "nav", "in force", true},
                                 {"NAVAREA IV", "bulletin", "", true},
                                 {"", "other", "", true}};
    for (int p = 0; p < 6; ++p) {
        const BrowserRow* row = query.RowAt(p);
        ASSERT_TRUE(row);
        EXPECT_EQ(CellText(*row, Column::Warning), expected[p].warning) << p;
        EXPECT_EQ(CellText(*row, Column::Kind), expected[p].kind) << p;
        EXPECT_EQ(CellText(*row, Column::State), expected[p].state) << p;
        EXPECT_EQ(row->unread, expected[p].unread) << p;
    }
    // The new columns sort like the others: by series, year and number (the bulletin takes the year
    // it was heard, 2026), the id breaking ties.
    query.SetSort(Column::Warning, false);
    query.Reorder();
    EXPECT_EQ(Ids(query), (std::vector<std::int64_t>{store.ids[5], store.ids[2], store.ids[0], store.ids[1],
                                                     store.ids[3], store.ids[4]}));
    EXPECT_EQ(query.PositionOf(store.ids[0]), 2);
    query.SetSort(Column::State, true);
    query.Reorder();
    EXPECT_EQ(Ids(query), (std::vector<std::int64_t>{store.ids[5], store.ids[4], store.ids[3], store.ids[2],
                                                     store.ids[1], store.ids[0]}));  // none, in force, cancelled
    query.SetFilter(Parsed("unread=1 & state=inforce"));
    query.Refresh(kNow);
    EXPECT_EQ(Ids(query), (std::vector<std::int64_t>{store.ids[3], store.ids[2]}));
}

TEST(MessageQuery, TheBoardGroupsWhatIsInForceAndTheMissingListNamesItsBulletin) {
    Warnings store;
    // 1170/22 broadcast again by another station: still one warning, shown as its newest message.
    const std::int64_t again = store.file.Add(Message(kNow - kHourMs / 2, 112, 9, "NAVAREA IV 1170/22\nBUOY ADRIFT 28-10N 080-10W."));
    messages::ReadUnreadMessages(store.file.database(), 10);
    MessageQuery query(store.file.path());
    query.Refresh(kNow);
    std::vector<std::string> board;
    for (const BoardEntry& e : query.InForceBoard())
        board.push_back(e.id ? std::to_string(e.id) : e.series + " (" + std::to_string(e.count) + ")");
    EXPECT_EQ(board, (std::vector<std::string>{"HYDROLANT (1)", std::to_string(store.ids[2]), "NAVAREA IV (2)",
                                               std::to_string(again), std::to_string(store.ids[3])}));
    const std::vector<MissingWarning> missing = query.MissingWarnings();
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(WarningName(missing[0].series, missing[0].number, missing[0].year), "NAVAREA IV 1200/22");
    EXPECT_EQ(missing[0].bulletinId, store.ids[4]);
    // The reading line's facts: who cancelled, and what a bulletin names that never came.
    const MessageReadingInfo cancelled = query.Reading(store.ids[0]);
    EXPECT_EQ(cancelled.cancelledBy, store.ids[3]);
    EXPECT_EQ(cancelled.cancelledByName, "NAVAREA IV 1190/22");
    EXPECT_EQ(MakeReadingLine(query.Reading(store.ids[4])).Whole(), "NAVAREA IV | bulletin | never received: NAVAREA IV 1200/22");
    EXPECT_EQ(MakeReadingLine(query.Reading(store.ids[2])).Whole(),
              "HYDROLANT 2300/26 | nav | in force | circle 5.0 nm around 50-30.0N 004-00.0W");
}

TEST(MessageQuery, AStoreOfTheVersionBeforeTheSeenStateIsBrowsedWithEveryMessageUnread) {
    Warnings store;
    messages_test::DropSeenTables(store.file.database());  // as a read-only store of version 4 stays
    MessageQuery query(store.file.path());
    query.Refresh(kNow);
    ASSERT_EQ(query.count(), 6);
    for (std::int64_t p = 0; p < 6; ++p) EXPECT_TRUE(query.RowAt(p)->unread) << p;
    EXPECT_EQ(query.InForceBoard().size(), 5u);
}
