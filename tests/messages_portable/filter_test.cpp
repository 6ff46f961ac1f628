// The filter language on a small store: each expression's matches, run as SQL on the schema and in
// memory on every message, must be the expected ids both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_fixture.h"
#include "messages/filter.h"
#include "messages/warning_rows.h"

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
        // Seen by the user or not (2 and 5 are seen).
        {"unread=1", {1, 3, 4, 6, 7, 8}},
        {"unread=0", {2, 5}},
        {"unread!=1 | les=305", {2, 5, 7}},
        {"unread>0 & les=44", {}},
        {"unread<=0.5", {2, 5}},
        // Raised an alert or not (3 did).
        {"alerted=1", {3}},
        {"alerted=0 & les=112", {4}},
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
        EXPECT_EQ(MatchingMessageIds(db_, f, kNow, Filter::Lookup::EachMessage), c.expected);
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

namespace {

// Messages the store has read, and one it has not: fields of the reading, SQL and in memory alike.
class WarningFilterRuns : public ::testing::Test {
protected:
    void SetUp() override {
        using messages_test::Row;
        const std::int64_t H = messages_test::kHour, T = kNow;
        const std::int64_t nov18 = 1668772800000;  // 2022-11-18T12:00:00Z
        rows_ = {
            Row(1, nov18, nov18, 1, 1, 1,
                "NAVAREA IV 1177/22\nAREA BOUND BY 28-40N 080-40W, 28-40N 080-20W, 28-20N 080-20W, 28-20N 080-40W.\n"
                "CANCEL THIS MSG 181954Z NOV 22."),
            Row(2, nov18 - 8 * 24 * H, nov18, 1, 2, 1, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W."),
            Row(3, nov18 + H, nov18 + H, 1, 3, 1, "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22."),
            Row(4, T - H, T - H, 2, 4, 1, "METAREA III GALE WARNING 031\nSTORM FORCE 10."),
            Row(5, T - H, T - H, 2, 5, 1, "MAYDAY RELAY\nYACHT SINKING 50-00N 004-00W."),
            Row(6, T - H, T - H, 3, 6, 1, "HYDROLANT 2300/26\nBUOY ADRIFT WITHIN 5 MILES OF 50-30N 004-00W."),
            Row(7, T - H, T - H, 3, 7, 1, "plain text"),
            Row(8, T - H, T - H, 3, 8, 1, "NAVAREA I 5/26\nWRECK 50-00N 004-00W."),
        };
        MigrateSchema(db_);
        for (const MessageRow& m : rows_) {
            InsertMessage(db_, m);
            if (m.id == 7) ReadUnreadMessages(db_, 10);  // 8 stays unread
        }
        for (MessageRow& m : rows_) LoadReading(db_, m);
    }

    Ids Both(const std::string& expression, const FilterContext& context) {
        Filter f;
        FilterError error;
        EXPECT_TRUE(Filter::Parse(expression, f, error, context)) << error.message;
        Ids inMemory;
        for (const MessageRow& m : rows_) {
            if (f.Matches(m, kNow)) inMemory.push_back(m.id);
        }
        const Ids inSql = MatchingMessageIds(db_, f, kNow);
        EXPECT_EQ(inMemory, inSql) << "SQL and memory differ";
        EXPECT_EQ(MatchingMessageIds(db_, f, kNow, Filter::Lookup::EachMessage), inSql) << "the two lookups differ";
        return inSql;
    }

    Database db_ = Database::Open(":memory:");
    std::vector<MessageRow> rows_;
};

}  // namespace

TEST_F(WarningFilterRuns, ReadingFieldsGiveTheExpectedMessages) {
    const FilterContext plymouthApproaches{warnings::GeoPoint{50.0, -4.0}};
    const Case cases[] = {
        {"series=\"NAVAREA IV\"", {1, 2, 3}},
        {"series=\"navarea  4\"", {1, 2, 3}},
        {"series!=\"NAVAREA IV\"", {4, 6}},  // 5 and 7 have no series, 8 is unread
        {"series~area", {1, 2, 3, 4}},
        {"navarea=IV & navarea=4 & navarea>3", {1, 2, 3}},
        {"navarea!=2.5", {1, 2, 3}},
        {"metarea=iii", {4}},
        {"number>=1170", {1, 3, 6}},
        {"number=31 & year=2026", {4}},
        {"year=2022", {1, 2, 3}},
        {"kind=nav", {1, 2, 3, 6}},
        {"kind!=nav", {4, 5, 7}},
        {"kind=SAR | kind=other", {5, 7}},
        {"state=cancelled", {2}},
        {"state=expired", {1}},
        {"state=inforce", {3, 4, 6}},
        {"state=none", {5, 7}},
        {"positions=0", {3, 4, 7}},
        {"positions>=4", {1}},
        {"positions=1", {2, 5, 6}},
        {"dist<1", {5}},
        {"dist>25 & dist<25.1", {6}},  // 30' north is 30.02 nm, less the circle's 5
        {"!(dist<100)", {1, 2, 3, 4, 7, 8}},
        {"dist>=0", {1, 2, 5, 6}},
    };
    for (const Case& c : cases) EXPECT_EQ(Both(c.expression, plymouthApproaches), c.expected) << c.expression;
    // Inside the area, and on the wreck itself.
    const FilterContext capeCanaveral{warnings::GeoPoint{28.5, -80.5}};
    EXPECT_EQ(Both("dist=0", capeCanaveral), (Ids{1, 2}));
}

TEST_F(WarningFilterRuns, ExpiryFollowsTheGivenNow) {
    Filter f;
    FilterError error;
    ASSERT_TRUE(Filter::Parse("state=inforce & year=2022", f, error));
    EXPECT_EQ(MatchingMessageIds(db_, f, 1668772800000), (Ids{1, 3}));  // 2022-11-18T12:00Z, before 19:54
    EXPECT_EQ(MatchingMessageIds(db_, f, kNow), (Ids{3}));
}
