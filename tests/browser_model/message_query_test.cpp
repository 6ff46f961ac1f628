// The browser's query on a real store file: order, paging, filters, sort keys, positions, counts,
// changes and what the store read in warnings.
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
using browsertest::Parsed;
using browsertest::StoreFile;

namespace {

constexpr std::int64_t kNow = 1796565909750;  // 2026-12-06 14:05:09.750 UTC
using Listing = std::vector<std::pair<std::int64_t, std::string>>;  // id and first line, in list order

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

Listing Listed(MessageQuery& query) {
    Listing out;
    for (std::int64_t p = 0; p < query.count(); ++p) {
        const BrowserRow* row = query.RowAt(p);
        out.emplace_back(row ? row->id : -1, row ? row->firstLine : "?");
    }
    return out;
}

bool WaitDone(const MatchCounter& counter) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!counter.done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return counter.done();
}

// Nine pages and a bit of varied messages with few distinct keys, so that pages start and end inside
// runs of equal keys: 50 times 37 minutes apart (30 hours), LES 121/112/113, frames 0-6, 40 texts.
class MessageQuerySample : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* texts[] = {"MAYDAY VESSEL AGROUND", "GALE WARNING AREA 3", "routine traffic list",
                               "PAN PAN MAN OVERBOARD", "SECURITE NAVAREA", "weather bulletin\nGALE WARNING later",
                               "cargo note", "DISTRESS RELAY"};
        const std::int64_t les[] = {121, 112, 113};
        file = new StoreFile("sample");
        file->database().Execute("BEGIN");
        for (int i = 0; i < MessageQuery::kPageRows * 9 + 5; ++i) {
            auto row = Message(kNow - (i % 50) * 37 * 60'000LL, les[i % 3], i % 7,
                               std::string(texts[i % 8]) + " #" + std::to_string(i % 5), 1 + i % 4);
            row.id = file->Add(row);
            rows.push_back(row);
        }
        file->database().Execute("COMMIT");
    }
    static void TearDownTestSuite() {
        delete file;
        rows.clear();
    }
    // The rows `filter` passes, sorted by the column's value in memory, the id breaking ties (the
    // warning columns are empty in a store that has read nothing: the id alone).
    static Listing Expected(Column c, bool descending, const messages::Filter& filter = {}) {
        auto key = [c](const messages::MessageRow& r) -> std::pair<std::string, std::int64_t> {
            switch (c) {
                case Column::Received: return {{}, r.firstHeardMs};
                case Column::Les: return {{}, r.les};
                case Column::Frame: return {{}, r.frame};
                case Column::Priority: return {{}, static_cast<std::int64_t>(r.priority)};
                case Column::Copies: return {{}, r.copies};
                case Column::Length: return {{}, r.length};
                case Column::Message: return {r.text, 0};
                default: return {};
            }
        };
        std::vector<messages::MessageRow> sorted;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(sorted), [&](const auto& r) { return filter.Matches(r, kNow); });
        std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
            const auto ka = std::make_pair(key(a), a.id), kb = std::make_pair(key(b), b.id);
            return descending ? kb < ka : ka < kb;
        });
        Listing out;
        for (const auto& r : sorted) out.emplace_back(r.id, r.text.substr(0, r.text.find('\n')));
        return out;
    }
    static inline StoreFile* file = nullptr;
    static inline std::vector<messages::MessageRow> rows;
};

}  // namespace

TEST_F(MessageQuerySample, EachColumnSortsBothWaysReadForwardsBackwardsAndByOffset) {
    MessageQuery query(file->path());
    for (int c = 0; c < kColumnCount; ++c) {
        for (bool descending : {true, false}) {
            SCOPED_TRACE(std::to_string(c) + (descending ? " desc" : " asc"));
            const Listing expected = Expected(static_cast<Column>(c), descending);
            const auto n = static_cast<std::int64_t>(expected.size());
            query.SetSort(static_cast<Column>(c), descending);
            ASSERT_EQ(query.Refresh(kNow), n);
            // Forwards: each page from the one before it, the cache turning over on the way.
            EXPECT_EQ(Listed(query), expected);
            EXPECT_EQ(query.cachedPages(), MessageQuery::kCachedPages);
            EXPECT_EQ(query.RowAt(0)->id, expected[0].first);  // read again after it was let go
            EXPECT_EQ(query.RowAt(n), nullptr);
            EXPECT_EQ(query.RowAt(-1), nullptr);
            // Rows at either end and about a page's edges are found again from their ids.
            for (std::int64_t p : {std::int64_t{0}, std::int64_t{1}, std::int64_t{63}, std::int64_t{64}, n - 2, n - 1})
                EXPECT_EQ(query.PositionOf(expected[static_cast<std::size_t>(p)].first), p);
            if (IsTextColumn(static_cast<Column>(c))) continue;  // read by offset alone, as above
            // Backwards from the far end, each page from the one after it.
            query.Reorder();
            Listing backwards(expected.size());
            for (std::int64_t p = n - 1; p >= 0; --p) {
                const BrowserRow* row = query.RowAt(p);
                if (row) backwards[static_cast<std::size_t>(p)] = {row->id, row->firstLine};
            }
            EXPECT_EQ(backwards, expected);
            // A page in the middle alone, by its offset.
            query.Reorder();
            const std::int64_t middle = MessageQuery::kPageRows * 2 + 5;
            ASSERT_NE(query.RowAt(middle), nullptr);
            EXPECT_EQ(query.RowAt(middle)->id, expected[static_cast<std::size_t>(middle)].first);
        }
    }
}

TEST_F(MessageQuerySample, FiltersSelectWhatTheyMatchInMemoryWithinTheBudgetOrPastIt) {
    MessageQuery query(file->path());
    for (const char* text : {"(age_day<1) & les=121", "priority>=urgency | text~\"MAYDAY\"",
                             "!(les=112) & frame>=2 & frame<5", "\"GALE WARNING\" & age_hour<12", "\"MAYDAY\" & les=113",
                             "text~\"#3\" | frame=2", "!\"GALE\"", "frame=3"}) {
        const messages::Filter filter = Parsed(text);
        const Listing expected = Expected(Column::Received, true, filter);
        ASSERT_GT(expected.size(), 0u) << text;
        ASSERT_LT(expected.size(), rows.size()) << text;
        // A budget of one progress call gives up counting at once and pages by SQLite's own plan.
        for (std::int64_t budget : {std::int64_t{1}, MessageQuery::kDefaultStepBudget}) {
            SCOPED_TRACE(std::string(text) + " budget " + std::to_string(budget));
            query.SetStepBudget(budget);
            query.SetFilter(filter);
            query.Refresh(kNow);
            EXPECT_TRUE(query.countKnown() || budget == 1);
            if (!query.countKnown()) query.SetCount(static_cast<std::int64_t>(expected.size()));
            EXPECT_EQ(query.count(), static_cast<std::int64_t>(expected.size()));
            EXPECT_EQ(Listed(query), expected);
        }
    }
}

TEST_F(MessageQuerySample, PositionOfAMessageTheFilterLeavesOutIsMinusOne) {
    MessageQuery query(file->path());
    query.SetFilter(Parsed("les=121"));
    query.Refresh(kNow);
    EXPECT_EQ(query.PositionOf(rows[1].id), -1);    // LES 112
    EXPECT_EQ(query.PositionOf(rows[450].id), 0);   // the newest from 121 (i % 50 == 0, the highest id)
    EXPECT_EQ(query.PositionOf(999999), -1);
}

TEST_F(MessageQuerySample, ACountOverTheBudgetIsLeftToACounterOnItsOwnThread) {
    const auto n = static_cast<std::int64_t>(rows.size());
    MessageQuery query(file->path());
    query.SetStepBudget(0);  // nothing counted on this thread
    EXPECT_EQ(query.Refresh(kNow), MessageQuery::kPageRows);
    EXPECT_FALSE(query.countKnown());
    EXPECT_EQ(query.RowAt(MessageQuery::kPageRows), nullptr);  // not yet in the list
    EXPECT_EQ(query.Refresh(kNow, 200), 200);                   // a refresh keeps the length it had
    EXPECT_FALSE(query.countKnown());

    MatchCounter counter(query.path(), query.countSql());
    ASSERT_TRUE(WaitDone(counter));
    EXPECT_EQ(counter.count(), n);
    query.SetCount(counter.count());
    EXPECT_TRUE(query.countKnown());
    EXPECT_EQ(Listed(query), Expected(Column::Received, true));

    // Fewer matches than a page: the first page is the count, known at once.
    query.SetFilter(Parsed("les=112 & frame=3 & copies=2"));
    const std::int64_t few = query.Refresh(kNow);
    EXPECT_TRUE(query.countKnown());
    EXPECT_EQ(few, std::count_if(rows.begin(), rows.end(), [](const auto& r) {
                  return r.les == 112 && r.frame == 3 && r.copies == 2;
              }));
    EXPECT_GT(few, 0);
    EXPECT_LT(few, MessageQuery::kPageRows);

    // Within the budget, counted here.
    query.SetStepBudget(MessageQuery::kDefaultStepBudget);
    query.SetFilter(messages::Filter());
    EXPECT_EQ(query.Refresh(kNow), n);
    EXPECT_TRUE(query.countKnown());
}

TEST_F(MessageQuerySample, ACounterStoppedEarlyEndsAtOnceWithoutACount) {
    // A count that would take very long: every message against every other.
    messages::FilterSql slow;
    slow.where = "(SELECT count(*) FROM message_rows a, message_rows b, message_rows c WHERE a.id <> m.id) > 0";
    const auto start = std::chrono::steady_clock::now();
    {
        MatchCounter counter(file->path(), slow);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(counter.done());
        EXPECT_EQ(counter.count(), -1);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // Cancelled without waiting: it ends by itself soon after, with no count.
    MatchCounter cancelled(file->path(), slow);
    cancelled.Cancel();
    EXPECT_TRUE(WaitDone(cancelled));
    EXPECT_EQ(cancelled.count(), -1);
    EXPECT_THROW(MatchCounter(file->path() + ".missing", messages::FilterSql{"1", {}}), messages::SqliteError);
}

TEST(MessageQuery, TextIsTheWholeMessageAndAnotherConnectionsWritesShowAfterRefresh) {
    StoreFile file(TestName());
    const std::string text = "SECURITE\r\nline two\n\ttabbed \xC3\xA9";
    const std::int64_t id = file.Add(Message(kNow - kHourMs, 121, 1, text));
    MessageQuery query(file.path());
    EXPECT_EQ(query.Refresh(kNow), 1);
    EXPECT_EQ(query.Text(id), text);
    EXPECT_EQ(query.RowAt(0)->firstLine, "SECURITE");
    EXPECT_EQ(query.Text(id + 1), "");
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
    StoreFile missing(TestName()), text(TestName() + "_text"), other(TestName() + "_other");
    EXPECT_THROW(MessageQuery query(missing.path()), messages::SqliteError);
    EXPECT_FALSE(std::filesystem::exists(missing.fsPath()));  // read-only: never created
    std::ofstream(text.fsPath()) << "not a database at all, just some words that go on for a while";
    EXPECT_THROW(MessageQuery query(text.path()), messages::SqliteError);
    messages::Database::Open(other.path()).Execute("CREATE TABLE something(x)");
    EXPECT_THROW(MessageQuery query(other.path()), messages::SqliteError);
}

namespace {

// Warnings of two series, a cancellation, and a bulletin naming one never heard, all read.
struct Warnings {
    StoreFile file{TestName()};
    std::int64_t ids[6] = {};
    Warnings() {
        const char* texts[] = {"NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.", "NAVAREA IV 1170/22\nBUOY ADRIFT 28-10N 080-10W.",
                               "HYDROLANT 2300/26\nBUOY ADRIFT WITHIN 5 MILES OF 50-30N 004-00W.",
                               "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.",
                               "NAVAREA IV WARNINGS IN FORCE\n2022 SERIES: 1170, 1190, 1200.", "plain text"};
        for (int i = 0; i < 6; ++i) ids[i] = file.Add(Message(kNow - (6 - i) * kHourMs, 121, i + 1, texts[i]));
        messages::ReadUnreadMessages(file.database(), 10);
    }
    std::vector<std::int64_t> Order(std::initializer_list<int> which) const {
        std::vector<std::int64_t> out;
        for (int i : which) out.push_back(ids[i]);
        return out;
    }
};

std::vector<std::int64_t> Ids(MessageQuery& query) {
    std::vector<std::int64_t> ids;
    for (const auto& [id, line] : Listed(query)) ids.push_back(id);
    return ids;
}

}  // namespace

TEST(MessageQuery, RowsCarryTheirWarningKindStateAndUnreadMark) {
    Warnings store;
    messages::MarkSeen(store.file.database(), store.ids[1]);
    MessageQuery query(store.file.path());
    query.SetSort(Column::Frame, false);
    query.Refresh(kNow);
    ASSERT_EQ(query.count(), 6);
    // Warning, kind, state and unread, by frame.
    const char* expected[6][4] = {{"NAVAREA IV 1165/22", "nav", "cancelled", "unread"},
                                  {"NAVAREA IV 1170/22", "nav", "in force", "seen"},
                                  {"HYDROLANT 2300/26", "nav", "in force", "unread"},
                                  {"NAVAREA IV 1190/22", "nav", "in force", "unread"},
                                  {"NAVAREA IV", "bulletin", "", "unread"},
                                  {"", "other", "", "unread"}};
    for (int p = 0; p < 6; ++p) {
        const BrowserRow* row = query.RowAt(p);
        ASSERT_TRUE(row);
        EXPECT_EQ((std::vector<std::string>{CellText(*row, Column::Warning), CellText(*row, Column::Kind),
                                            CellText(*row, Column::State), row->unread ? "unread" : "seen"}),
                  (std::vector<std::string>(expected[p], expected[p] + 4)));
    }
    // The warning columns sort like the others: by series, year and number (the bulletin takes the
    // year it was heard, 2026), the id breaking ties.
    query.SetSort(Column::Warning, false);
    query.Reorder();
    EXPECT_EQ(Ids(query), store.Order({5, 2, 0, 1, 3, 4}));
    EXPECT_EQ(query.PositionOf(store.ids[0]), 2);
    query.SetSort(Column::State, true);  // none, in force, cancelled
    query.Reorder();
    EXPECT_EQ(Ids(query), store.Order({5, 4, 3, 2, 1, 0}));
    query.SetFilter(Parsed("unread=1 & state=inforce"));
    query.Refresh(kNow);
    EXPECT_EQ(Ids(query), store.Order({3, 2}));
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
