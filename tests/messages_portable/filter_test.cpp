// The filter language on a small store: each expression's matches, run as SQL on the schema and in
// memory on every message, must be the expected ids both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_fixture.h"
#include "messages/filter.h"

using namespace messages;
using messages_test::kNow;
using Ids = std::vector<std::int64_t>;

namespace {

std::string Repeat(const std::string& s, int n, const std::string& join = "") {
    std::string out;
    for (int i = 0; i < n; ++i) out += (i ? join : "") + s;
    return out;
}

struct Case {
    std::string expression;
    Ids expected;
};

std::vector<Case> Cases() {
    const Ids all{1, 2, 3, 4, 5, 6, 7, 8};
    return {
        {"", all},
        {" \t\r\n ", all},
        // The examples of README.md.
        {"(age_day<1) & les=121", {1, 8}},
        {"priority>=urgency | text~\"MAYDAY\"", {1, 3, 6}},
        {"!(les=112) & frame>=1000 & frame<2000", {1, 5, 6}},
        {"\"GALE WARNING\" & age_hour<12", {4}},
        // Ages count from the last hearing, fractions included, with exact edges (7 is 1.5 h old).
        {"age_hour<1.5", {3, 8}},
        {"age_hour<=1.5", {3, 7, 8}},
        {"age_min>=30 AND age_min<=90", {3, 7}},
        {"age_day>-1 & age_day < 0.1", {1, 3, 7, 8}},
        {"age_min=1", {8}},
        {"age_min=1.5", {}},
        // Numbers, quoted or not; words and field names in any case; blanks anywhere.
        {"les=\"121\"", {1, 2, 6, 8}},
        {"LES = 121 and not FRAME > 1000", {6, 8}},
        {"les>=1e2", {1, 2, 3, 4, 6, 7, 8}},
        {"frame>=1999.5", {2, 7}},
        {"frame=1999.5", {}},
        {"frame!=1999.5", all},
        {"copies>=2", {1, 3, 5, 6}},
        {"copies<2.5", {2, 3, 4, 6, 7, 8}},
        {"copies>2.5", {1, 5}},
        {"len>2.5 & len<=13.5", {7}},
        {"len<3", {8}},
        {"len=13", {7}},  // 13 characters in 19 bytes
        // Priorities, ordered routine < safety < urgency < distress.
        {"priority=routine", {2, 5, 7, 8}},
        {"priority<safety", {2, 5, 7, 8}},
        {"priority>safety", {1, 3, 6}},
        {"priority!=Distress", {2, 3, 4, 5, 7, 8}},
        {"TEXT ~ mayday OR Priority = SAFETY", {1, 4}},
        // Text: = is exact, ~ contains with ASCII-only case folding (short needles skip the index).
        {"text=ok", {8}},
        {"text=OK", {}},
        {"text!=ok", {1, 2, 3, 4, 5, 6, 7}},
        {"\"pan\" | \"ok\"", {3, 8}},
        {"not \"a\"", {8}},
        {"text~\xC3\xA9", {7}},
        {"text~\"\xC3\xA9" "cole\"", {}},   // the text says \xC3\x89COLE: beyond ASCII, case counts
        {"text~\"CAF\xC3\x89\"", {}},
        {"text~\"caf\xC3\xA9 \xC3\x89" "cole\"", {7}},
        {"text~\"\\\"quoted\\\"\"", {6}},
        {"\"back\\\\slash\"", {6}},
        {"text~\"\"", all},
        // First heard, against a UTC date (a whole day) or a minute.
        {"time>=2026-12-07", {1, 3, 4, 7}},
        {"time=2026-12-06", {5, 8}},
        {"time!=2026-12-06", {1, 2, 3, 4, 6, 7}},
        {"time=2026-12-06T14:00", {8}},
        {"time<2026-12-06T14:00", {2, 6}},
        {"time<=2026-12-06T14:00", {2, 6, 8}},
        {"time>2026-12-06t14:00", {1, 3, 4, 5, 7}},
        {"time=\"2026-12-01T14:00:00Z\"", {6}},
        // Grouping, and the limits reached but not passed.
        {"les=121 & (frame<100 | frame>2000) | les=305", {2, 7, 8}},
        {"((les=112))", {3, 4}},
        {"!!les=112", {3, 4}},
        {Repeat("(", 64) + "les=112" + Repeat(")", 64), {3, 4}},
        {Repeat("!", 63) + "(les=112)", {1, 2, 5, 6, 7, 8}},
        {Repeat("les=112", 256, " | "), {3, 4}},
        {Repeat("!(les=1 | les=2) &", 85) + " les=44", {5}},
    };
}

class FilterRuns : public ::testing::Test {
protected:
    void SetUp() override {
        MigrateSchema(db_);
        for (const MessageRow& m : rows_) InsertMessage(db_, m);
    }
    Database db_ = Database::Open(":memory:");
    std::vector<MessageRow> rows_ = messages_test::SampleMessages();
};

}  // namespace

TEST_F(FilterRuns, SqlAndMemoryGiveTheExpectedMessages) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE("expression: " + c.expression);
        Filter f;
        FilterError error;
        ASSERT_TRUE(Filter::Parse(c.expression, f, error)) << error.message;
        Ids inMemory;
        for (const MessageRow& m : rows_) {
            if (f.Matches(m, kNow)) inMemory.push_back(m.id);
        }
        EXPECT_EQ(inMemory, c.expected);
        EXPECT_EQ(MatchingMessageIds(db_, f, kNow), c.expected);
    }
}

TEST_F(FilterRuns, UserTextOnlyEverTravelsAsParameters) {
    const std::string hostile = "x'); DROP TABLE message_rows; --";
    Filter f;
    FilterError error;
    ASSERT_TRUE(Filter::Parse("text~\"" + hostile + "\" | les=\"121\" | \"" + hostile + "\"", f, error));
    FilterSql sql = f.ToSql(kNow);
    EXPECT_EQ(sql.where.find("DROP"), std::string::npos) << sql.where;
    EXPECT_EQ(sql.where.find("121"), std::string::npos) << sql.where;
    EXPECT_EQ(sql.params.size(), 5u);
    EXPECT_EQ(MatchingMessageIds(db_, f, kNow), (Ids{1, 2, 6, 8}));
}

TEST_F(FilterRuns, AgesFollowTheGivenNow) {
    Filter f;
    FilterError error;
    ASSERT_TRUE(Filter::Parse("age_hour >= 0 & age_hour < 1", f, error));
    EXPECT_EQ(MatchingMessageIds(db_, f, kNow), (Ids{3, 8}));
    EXPECT_EQ(MatchingMessageIds(db_, f, kNow + messages_test::kHour), (Ids{}));
    EXPECT_EQ(MatchingMessageIds(db_, f, kNow - 47 * messages_test::kHour - 30 * messages_test::kMinute), (Ids{2}));
    EXPECT_TRUE(Filter().matchesEverything());
}
