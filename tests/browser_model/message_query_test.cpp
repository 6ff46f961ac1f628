// The browser's query on a real store file: order, paging, filters, positions, counts, changes and warnings.
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
using namespace browsertest;

namespace {

using Listing = std::vector<std::pair<std::int64_t, std::string>>;  // id and first line, in list order

Listing Listed(MessageQuery& query) {
    Listing out;
    for (std::int64_t p = 0; p < query.count(); ++p)
        out.emplace_back(query.RowAt(p) ? query.RowAt(p)->id : -1, query.RowAt(p) ? query.RowAt(p)->firstLine : "?");
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
        file = std::make_unique<StoreFile>("sample");
        file->database().Execute("BEGIN");
        for (int i = 0; i < MessageQuery::kPageRows * 9 + 5; ++i) {
            rows.push_back(Message(kNow - (i % 50) * 37 * 60'000LL, i % 3 ? 111 + i % 3 : 121, i % 7,
                                   std::string(texts[i % 8]) + " #" + std::to_string(i % 5), 1 + i % 4));
            rows.back().id = file->Add(rows.back());
        }
        file->database().Execute("COMMIT");
    }
    static void TearDownTestSuite() { file.reset(), rows.clear(); }
    // The rows `filter` passes sorted in memory by the column, the id breaking ties (warning columns: the id alone).
    static Listing Expected(Column c, bool descending, const messages::Filter& filter = {}) {
        auto key = [c](const messages::MessageRow& r) {
            const std::int64_t n[] = {r.firstHeardMs, r.les, r.frame, static_cast<int>(r.priority), r.copies, r.length};
            if (c == Column::Message) return std::make_pair(r.text, std::int64_t{0});
            return std::make_pair(std::string(), c < Column::Message ? n[static_cast<int>(c)] : 0);
        };
        std::vector<messages::MessageRow> sorted = rows;
        std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
            const auto ka = std::make_pair(key(a), a.id), kb = std::make_pair(key(b), b.id);
            return descending ? kb < ka : ka < kb;
        });
        Listing out;
        for (const auto& r : sorted)
            if (filter.Matches(r, kNow)) out.emplace_back(r.id, r.text.substr(0, r.text.find('\n')));
        return out;
    }
    static inline std::unique_ptr<StoreFile> file;
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
            EXPECT_TRUE(!query.RowAt(n) && !query.RowAt(-1));
            // Rows at either end and about a page's edges are found again from their ids.
            for (std::int64_t p : std::initializer_list<std::int64_t>{0, 1, 63, 64, n - 2, n - 1})
                EXPECT_EQ(query.PositionOf(expected[static_cast<std::size_t>(p)].first), p);
            if (IsTextColumn(static_cast<Column>(c))) continue;  // read by offset alone, as above
            // Backwards from the far end, each page from the one after it.
            query.Reorder();
            Listing backwards(expected.size());
            for (std::int64_t p = n - 1; p >= 0; --p)
                if (const BrowserRow* row = query.RowAt(p)) backwards[static_cast<std::size_t>(p)] = {row->id, row->firstLine};
            EXPECT_EQ(backwards, expected);
            // A page in the middle alone, by its offset.
            query.Reorder();
            const BrowserRow* middle = query.RowAt(MessageQuery::kPageRows * 2 + 5);
            EXPECT_EQ(middle ? middle->id : -1, expected[MessageQuery::kPageRows * 2 + 5].first);
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
        ASSERT_TRUE(!expected.empty() && expected.size() < rows.size()) << text;
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
        // Positions count what the filter passes; a message it leaves out has none.
        EXPECT_EQ(query.PositionOf(expected.back().first), static_cast<std::int64_t>(expected.size()) - 1) << text;
        const auto left = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return !filter.Matches(r, kNow); });
        EXPECT_EQ(query.PositionOf(left->id), -1) << text;
    }
    EXPECT_EQ(query.PositionOf(999999), -1);
}

TEST_F(MessageQuerySample, ACountOverTheBudgetIsLeftToACounterOnItsOwnThreadThatCanBeStopped) {
    MessageQuery query(file->path());
    query.SetStepBudget(0);  // nothing counted on this thread
    EXPECT_EQ(query.Refresh(kNow), MessageQuery::kPageRows);
    EXPECT_FALSE(query.countKnown());
    EXPECT_EQ(query.RowAt(MessageQuery::kPageRows), nullptr);  // not yet in the list
    EXPECT_EQ(query.Refresh(kNow, 200), 200);                   // a refresh keeps the length it had
    MatchCounter counter(query.path(), query.countSql());
    ASSERT_TRUE(WaitDone(counter));
    EXPECT_EQ(counter.count(), 581);  // every message
    query.SetCount(counter.count());
    EXPECT_TRUE(query.countKnown());
    EXPECT_EQ(Listed(query), Expected(Column::Received, true));
    // Fewer matches than a page (i % 84 == 45: 45, 129, ... 549) are counted by the first page at once.
    query.SetFilter(Parsed("les=121 & frame=3 & copies=2"));
    EXPECT_EQ(query.Refresh(kNow), 7);
    EXPECT_TRUE(query.countKnown());

    // A count that would take very long, stopped early, ends at once without a count; so does one cancelled.
    const messages::FilterSql slow{
        "(SELECT count(*) FROM message_rows a, message_rows b, message_rows c WHERE a.id <> m.id) > 0", {}};
    const auto start = std::chrono::steady_clock::now();
    {
        MatchCounter stopped(file->path(), slow);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(stopped.done());
        EXPECT_EQ(stopped.count(), -1);  // none while it runs
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    MatchCounter cancelled(file->path(), slow);
    cancelled.Cancel();
    EXPECT_TRUE(WaitDone(cancelled));
    EXPECT_EQ(cancelled.count(), -1);
    EXPECT_THROW(MatchCounter(file->path() + ".missing", messages::FilterSql{"1", {}}), messages::SqliteError);
}

TEST(MessageQuery, RefusesAMissingFileAndOneThatIsNotAStore) {
    StoreFile missing("missing"), text("words"), other("other");
    EXPECT_THROW(MessageQuery query(missing.path()), messages::SqliteError);
    EXPECT_FALSE(std::filesystem::exists(missing.fsPath()));  // read-only: never created
    std::ofstream(text.fsPath()) << "not a database at all, just some words that go on for a while";
    EXPECT_THROW(MessageQuery query(text.path()), messages::SqliteError);
    messages::Database::Open(other.path()).Execute("CREATE TABLE something(x)");
    EXPECT_THROW(MessageQuery query(other.path()), messages::SqliteError);
}

// Warnings of two series, a cancellation, and a bulletin naming one never heard, all read; ids and frames 1-6.
TEST(MessageQuery, WarningsShowKindStateAndUnreadMarkBoardReadingLineAndTextAndOthersWritesShowAfterRefresh) {
    StoreFile file("warnings");
    const char* texts[] = {"NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.", "NAVAREA IV 1170/22\nBUOY ADRIFT 28-10N 080-10W.",
                           "HYDROLANT 2300/26\nBUOY ADRIFT WITHIN 5 MILES OF 50-30N 004-00W.",
                           "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.",
                           "NAVAREA IV WARNINGS IN FORCE\n2022 SERIES: 1170, 1190, 1200.", "plain text"};
    for (int i = 0; i < 6; ++i) ASSERT_EQ(file.Add(Message(kNow - (6 - i) * 3'600'000, 121, i + 1, texts[i])), i + 1);
    messages::ReadUnreadMessages(file.database(), 10);
    messages::MarkSeen(file.database(), 2);
    MessageQuery query(file.path());
    query.SetSort(Column::Frame, false);
    query.Refresh(kNow);
    EXPECT_EQ(query.Text(3), texts[2]);  // the whole message
    EXPECT_EQ(query.Text(7), "");
    EXPECT_FALSE(query.StoreChanged());
    const auto listed = [&query](auto cell) {
        std::vector<std::string> out;
        for (std::int64_t p = 0; p < query.count(); ++p) out.push_back(cell(*query.RowAt(p)));
        return out;
    };
    EXPECT_EQ(listed([](const BrowserRow& r) {  // warning, kind, state and unread mark, by frame
                  return CellText(r, Column::Warning) + "|" + CellText(r, Column::Kind) + "|" +
                         CellText(r, Column::State) + (r.unread ? "|unread" : "|seen");
              }),
              (std::vector<std::string>{"NAVAREA IV 1165/22|nav|cancelled|unread", "NAVAREA IV 1170/22|nav|in force|seen",
                                               "HYDROLANT 2300/26|nav|in force|unread", "NAVAREA IV 1190/22|nav|in force|unread",
                                               "NAVAREA IV|bulletin||unread", "|other||unread"}));
    // The warning columns sort like the others (by series, year and number; the bulletin takes the year
    // it was heard, 2026), the id breaking ties: the frames in list order.
    const auto frames = [&](Column c, bool descending) {
        query.SetSort(c, descending);
        query.Reorder();
        return listed([](const BrowserRow& r) { return std::to_string(r.frame); });
    };
    EXPECT_EQ(frames(Column::Warning, false), (std::vector<std::string>{"6", "3", "1", "2", "4", "5"}));
    EXPECT_EQ(query.PositionOf(1), 2);
    EXPECT_EQ(frames(Column::State, true), (std::vector<std::string>{"6", "5", "4", "3", "2", "1"}));  // none, in force, cancelled
    query.SetFilter(Parsed("unread=1 & state=inforce"));
    query.Refresh(kNow);
    EXPECT_EQ(frames(Column::State, true), (std::vector<std::string>{"4", "3"}));

    // 1170/22 broadcast again by another station: still one warning on the board, as its newest message.
    file.Add(Message(kNow - 1'800'000, 112, 9, texts[1]));
    messages::ReadUnreadMessages(file.database(), 10);
    EXPECT_TRUE(query.StoreChanged());
    EXPECT_FALSE(query.StoreChanged());
    std::vector<std::string> board;
    for (const BoardEntry& e : query.InForceBoard())
        board.push_back(e.id ? std::to_string(e.id) : e.series + " (" + std::to_string(e.count) + ")");
    EXPECT_EQ(board, (std::vector<std::string>{"HYDROLANT (1)", "3", "NAVAREA IV (2)", "7", "4"}));
    const std::vector<MissingWarning> missing = query.MissingWarnings();
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(WarningName(missing[0].series, missing[0].number, missing[0].year) + " in " +
                  std::to_string(missing[0].bulletinId), "NAVAREA IV 1200/22 in 5");
    // The reading line's facts: who cancelled, and what a bulletin names that never came.
    EXPECT_EQ(query.Reading(1).cancelledBy, 4);
    EXPECT_EQ(query.Reading(1).cancelledByName, "NAVAREA IV 1190/22");
    EXPECT_EQ(MakeReadingLine(query.Reading(5)).Whole(),
              "NAVAREA IV | bulletin | never received: NAVAREA IV 1200/22");
    EXPECT_EQ(MakeReadingLine(query.Reading(3)).Whole(),
              "HYDROLANT 2300/26 | nav | in force | circle 5.0 nm around 50-30.0N 004-00.0W");

    // Another connection's writes show after a refresh, not before.
    file.database().Execute("UPDATE message_rows SET copies = 2 WHERE id = 7");
    EXPECT_TRUE(query.StoreChanged());
    EXPECT_EQ(query.count(), 2);
    query.Refresh(kNow);
    EXPECT_EQ(frames(Column::State, true), (std::vector<std::string>{"9", "4", "3"}));
    EXPECT_EQ(query.RowAt(0)->copies, 2);

    // A store of the version before the seen state is browsed with every message unread.
    messages_test::DropSeenTables(file.database());
    MessageQuery old(file.path());
    ASSERT_EQ(old.Refresh(kNow), 7);
    for (std::int64_t p = 0; p < 7; ++p) EXPECT_TRUE(old.RowAt(p)->unread) << p;
    EXPECT_EQ(old.InForceBoard().size(), 5u);
}
