// The browser's query on a real store file: order, paging, filters, sort keys, positions, changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "browser/message_query.h"
#include "browser_store.h"

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
