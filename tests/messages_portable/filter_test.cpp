// The filter language: each expression's matches, in memory and as SQL by both lookups, are the expected
// ids all three ways; a refused expression says what is wrong and marks [column, endColumn).
#include <gtest/gtest.h>


#include "message_fixture.h"
#include "messages/filter.h"
#include "messages/warning_rows.h"

using namespace messages;
using namespace messages_test;
using Ids = std::vector<std::int64_t>;

namespace {

std::string Repeat(const std::string& s, int n, const std::string& join = "") {
    return n == 0 ? "" : s + (n == 1 ? "" : join + Repeat(s, n - 1, join));
}

struct Case { std::string expression; Ids expected; std::int64_t now = kNow; };

class FilterRuns : public ::testing::Test {
protected:
    void SetUp() override {
        MigrateSchema(db_);
        for (const MessageRow& m : rows_) InsertMessage(db_, m);
    }

    void Expect(const Case& c, const FilterContext& context = {}) {
        SCOPED_TRACE("expression: " + c.expression.substr(0, 80));
        Filter f; FilterError error;
        ASSERT_TRUE(Filter::Parse(c.expression, f, error, context)) << error.message;
        Ids inMemory;
        for (const MessageRow& m : rows_) if (f.Matches(m, c.now)) inMemory.push_back(m.id);
        EXPECT_EQ(inMemory, c.expected);
        EXPECT_EQ(MatchingMessageIds(db_, f, c.now), c.expected);
        EXPECT_EQ(MatchingMessageIds(db_, f, c.now, Filter::Lookup::EachMessage), c.expected);
    }

    Database db_ = Database::Open(":memory:");
    std::vector<MessageRow> rows_ = messages_test::SampleMessages();
};

}  // namespace

TEST_F(FilterRuns, SampleMessagesMatchAsExpected) {
    const Ids all{1, 2, 3, 4, 5, 6, 7, 8};
    const Case cases[] = {
        {"", all}, {" \t\r\n ", all},
        // The examples of README.md.
        {"(age_day<1) & les=121", {1, 8}}, {"priority>=urgency | text~\"MAYDAY\"", {1, 3, 6}},
        {"!(les=112) & frame>=1000 & frame<2000", {1, 5, 6}}, {"\"GALE WARNING\" & age_hour<12", {4}},
        // Ages from the last hearing to now, fractions included, exact edges (7 is 1.5 h old).
        {"age_hour<1.5", {3, 8}}, {"age_hour<=1.5", {3, 7, 8}}, {"age_min>=30 AND age_min<=90", {3, 7}},
        {"age_day>-1 & age_day < 0.1", {1, 3, 7, 8}}, {"age_min=1", {8}}, {"age_min=1.5", {}},
        {"age_hour >= 0 & age_hour < 1", {3, 8}}, {"age_hour >= 0 & age_hour < 1", {}, kNow + kHour},
        {"age_hour >= 0 & age_hour < 1", {2}, kNow - 47 * kHour - 30 * messages_test::kMinute},
        // Numbers, quoted or not; words and field names in any case; blanks anywhere.
        {"les=\"121\"", {1, 2, 6, 8}}, {"LES = 121 and not FRAME > 1000", {6, 8}}, {"les>=1e2", {1, 2, 3, 4, 6, 7, 8}},
        {"frame>=1999.5", {2, 7}}, {"frame=1999.5", {}}, {"frame!=1999.5", all},
        {"copies>=2", {1, 3, 5, 6}}, {"copies<2.5", {2, 3, 4, 6, 7, 8}}, {"copies>2.5", {1, 5}},
        {"len>2.5 & len<=13.5", {7}}, {"len<3", {8}}, {"len=13", {7}},  // 13 characters in 19 bytes
        // Priorities, ordered routine < safety < urgency < distress.
        {"priority=routine", {2, 5, 7, 8}}, {"priority<safety", {2, 5, 7, 8}}, {"priority>safety", {1, 3, 6}},
        {"priority!=Distress", {2, 3, 4, 5, 7, 8}}, {"TEXT ~ mayday OR Priority = SAFETY", {1, 4}},
        // Text: = is exact, ~ contains with ASCII-only case folding (short needles skip the index).
        {"text=ok", {8}}, {"text=OK", {}}, {"text!=ok", {1, 2, 3, 4, 5, 6, 7}}, {"\"pan\" | \"ok\"", {3, 8}},
        {"not \"a\"", {8}}, {"text~\xC3\xA9", {7}},
        {"text~\"\xC3\xA9" "cole\"", {}},  // the text says \xC3\x89COLE: beyond ASCII, case counts
        {"text~\"CAF\xC3\x89\"", {}}, {"text~\"caf\xC3\xA9 \xC3\x89" "cole\"", {7}},
        {"text~\"\\\"quoted\\\"\"", {6}}, {"\"back\\\\slash\"", {6}}, {"text~\"\"", all},
        // First heard, against a UTC date (a whole day) or a minute.
        {"time>=2026-12-07", {1, 3, 4, 7}}, {"time=2026-12-06", {5, 8}}, {"time!=2026-12-06", {1, 2, 3, 4, 6, 7}},
        {"time=2026-12-06T14:00", {8}}, {"time<2026-12-06T14:00", {2, 6}}, {"time<=2026-12-06T14:00", {2, 6, 8}},
        {"time>2026-12-06t14:00", {1, 3, 4, 5, 7}}, {"time=\"2026-12-01T14:00:00Z\"", {6}},
        // Seen by the user or not (2 and 5 are seen); raised an alert or not (3 did).
        {"unread=1", {1, 3, 4, 6, 7, 8}}, {"unread=0", {2, 5}}, {"unread!=1 | les=305", {2, 5, 7}},
        {"unread>0 & les=44", {}}, {"unread<=0.5", {2, 5}}, {"alerted=1", {3}}, {"alerted=0 & les=112", {4}},
        // Grouping, and the limits reached but not passed.
        {"les=121 & (frame<100 | frame>2000) | les=305", {2, 7, 8}}, {"((les=112))", {3, 4}}, {"!!les=112", {3, 4}},
        {Repeat("(", 64) + "les=112" + Repeat(")", 64), {3, 4}}, {Repeat("!", 63) + "(les=112)", {1, 2, 5, 6, 7, 8}},
        {Repeat("les=112", 256, " | "), {3, 4}}, {Repeat("!(les=1 | les=2) &", 85) + " les=44", {5}},
    };
    for (const Case& c : cases) Expect(c);
    // The user's text only ever travels as parameters.
    const std::string hostile = "\"x'); DROP TABLE message_rows; --\"", expression = "text~" + hostile + " | les=\"121\" | " + hostile;
    Expect({expression, {1, 2, 6, 8}});
    Filter f; FilterError error;
    ASSERT_TRUE(Filter::Parse(expression, f, error));
    const FilterSql sql = f.ToSql(kNow);
    EXPECT_TRUE(sql.where.find("DROP") == std::string::npos && sql.where.find("121") == std::string::npos) << sql.where;
    EXPECT_EQ(sql.params.size(), 5u);
    EXPECT_TRUE(Filter().matchesEverything() && !f.matchesEverything());
}

// Messages the store has read, and one it has not (8): the fields of the reading.
TEST_F(FilterRuns, ReadingFieldsMatchAsExpected) {
    const std::int64_t H = kHour, T = kNow;
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
        Row(7, T - H, T - H, 3, 7, 1, "plain text"), Row(8, T - H, T - H, 3, 8, 1, "NAVAREA I 5/26\nWRECK 50-00N 004-00W."),
    };
    db_ = Database::Open(":memory:");
    MigrateSchema(db_);
    for (const MessageRow& m : rows_) {
        InsertMessage(db_, m);
        if (m.id == 7) ReadUnreadMessages(db_, 10);
    }
    for (MessageRow& m : rows_) LoadReading(db_, m);
    const FilterContext plymouthApproaches{warnings::GeoPoint{50.0, -4.0}};
    const Case cases[] = {
        {"series=\"NAVAREA IV\"", {1, 2, 3}}, {"series=\"navarea  4\"", {1, 2, 3}},
        {"series!=\"NAVAREA IV\"", {4, 6}},  // 5 and 7 have no series, 8 is unread
        {"series~area", {1, 2, 3, 4}}, {"navarea=IV & navarea=4 & navarea>3", {1, 2, 3}}, {"navarea!=2.5", {1, 2, 3}},
        {"metarea=iii", {4}}, {"number>=1170", {1, 3, 6}}, {"number=31 & year=2026", {4}}, {"year=2022", {1, 2, 3}},
        {"kind=nav", {1, 2, 3, 6}}, {"kind!=nav", {4, 5, 7}}, {"kind=SAR | kind=other", {5, 7}},
        {"state=cancelled", {2}}, {"state=expired", {1}}, {"state=inforce", {3, 4, 6}}, {"state=none", {5, 7}},
        {"state=inforce & year=2022", {1, 3}, nov18},  // before its expiry at 19:54
        {"positions=0", {3, 4, 7}}, {"positions>=4", {1}}, {"positions=1", {2, 5, 6}}, {"dist<1", {5}},
        {"dist>25 & dist<25.1", {6}},  // 30' north is 30.02 nm, less the circle's 5
        {"!(dist<100)", {1, 2, 3, 4, 7, 8}}, {"dist>=0", {1, 2, 5, 6}},
    };
    for (const Case& c : cases) Expect(c, plymouthApproaches);
    // Inside the area, and on the wreck itself.
    Expect({"dist=0", {1, 2}}, FilterContext{warnings::GeoPoint{28.5, -80.5}});
}

TEST(FilterErrors, SayWhatAndWhere) {
    const std::string fields =
        " (fields: age_day, age_hour, age_min, les, frame, priority, copies, len, text, time, series, navarea, metarea, "
        "number, year, kind, state, positions, dist, unread, alerted)";
    const std::string timeHint = " (a UTC date 2026-12-06 or date and time 2026-12-06T14:00)";
    const struct { std::string expression, message; int column, endColumn; } cases[] = {
        {"(age_day<1) & lse=121", "unknown field 'lse' at column 15" + fields, 15, 18},
        {"les=1 & dist<5", "'dist' needs the home position, and none is set at column 9 (set \"Home position\" in the "
                           "settings, e.g. 50-22.0N 004-08.5W)", 9, 13},
        {"kind=boat", "unknown kind 'boat' at column 6 (kinds: nav, met, sar, piracy, ice, bulletin, other)", 6, 10},
        {"state<inforce", "operator '<' does not apply to 'state' at column 6 (state takes = or !=)", 6, 7},
        {"series>A", "operator '>' does not apply to 'series' at column 7 (series takes =, != or ~)", 7, 8},
        {"navarea=XXII", "expected a number or a roman numeral I to XXI for 'navarea', found 'XXII' at column 9", 9, 13},
        {"\xC3\xA9=1", "unknown field '\xC3\xA9' at column 1" + fields, 1, 2},
        {"text~\"\xC3\xA9\" & lse=1", "unknown field 'lse' at column 12" + fields, 12, 15},  // columns count characters
        {"(les=121 & frame>1", "missing ')' at column 19 (for the '(' at column 1)", 19, 19},
        {"(les=1 | (les=2 les=3))", "missing ')' at column 17 (for the '(' at column 10)", 17, 20},
        {"les=121)", "unexpected ')' at column 8 (no '(' to close)", 8, 9},
        {"()", "expected a term before ')' at column 2", 2, 3},
        {"les=121 &", "expected a term, found the end at column 10", 10, 10},
        {"les=1 | or", "expected a term, found 'or' at column 9", 9, 11},
        {"& les=1", "expected a term, found '&' at column 1", 1, 2},
        {"les=121 frame=2", "expected '&', '|' or the end, found 'frame' at column 9", 9, 14},
        {"les", "expected an operator (=, !=, <, <=, >, >=, ~) after 'les' at column 4", 4, 4},
        {"les (", "expected an operator (=, !=, <, <=, >, >=, ~) after 'les' at column 5", 5, 6},
        {"les=", "expected a value after '=', found the end at column 5", 5, 5},
        {"les=(1)", "expected a value after '=', found '(' at column 5", 5, 6},
        {"text<5", "operator '<' does not apply to 'text' at column 5 (text takes =, != or ~)", 5, 6},
        {"priority~x", "operator '~' does not apply to 'priority' at column 9 (priority takes =, !=, <, <=, >, >=)", 9, 10},
        {"priority>=high", "unknown priority 'high' at column 11 (priorities: distress, urgency, safety, routine)", 11, 15},
        {"time>2026-13-01", "bad time '2026-13-01' at column 6" + timeHint, 6, 16},
        {"time=2026-02-29", "bad time '2026-02-29' at column 6" + timeHint, 6, 16},
        {"time=2026-12-06T24:00", "bad time '2026-12-06T24:00' at column 6" + timeHint, 6, 22},
        {"time=yesterday", "bad time 'yesterday' at column 6" + timeHint, 6, 15},
        {"les=abc", "expected a number for 'les', found 'abc' at column 5", 5, 8},
        {"frame=1e99", "expected a number for 'frame', found '1e99' at column 7", 7, 11},
        {"age_day<inf", "expected a number for 'age_day', found 'inf' at column 9", 9, 12},
        {"text~\"abc", "unterminated string at column 6 (a closing '\"' is missing)", 6, 10},
        {"text~\"a\\nb\"", "unknown escape in string at column 8 (use \\\" or \\\\)", 8, 9},
        {"les=\xFF", "invalid UTF-8 at column 5", 5, 6},
        {"les=\xED\xA0\x80", "invalid UTF-8 at column 5", 5, 6},  // a UTF-16 surrogate
        {"les=1\x01", "control character at column 6 (only blanks, tabs and line breaks may separate words)", 6, 7},
        // Limits: size (a megabyte refused before parsing), nesting (parentheses and negations), terms.
        {std::string(4001, ' '), "expression longer than 4000 characters at column 4001", 4001, 4002},
        {std::string(1 << 20, '('), "expression longer than 4000 characters at column 4001", 4001, (1 << 20) + 1},
        {Repeat("(", 65) + "les=1" + Repeat(")", 65), "nesting deeper than 64 levels at column 65", 65, 66},
        {Repeat("!", 64) + "(les=1)", "nesting deeper than 64 levels at column 65", 65, 66},
        {std::string(3999, '!') + "x", "nesting deeper than 64 levels at column 65", 65, 66},
        {Repeat("les=1|", 256) + "les=1", "more than 256 terms at column 1537", 1537, 1540},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("expression: " + c.expression.substr(0, 80));
        Filter f; FilterError error;
        ASSERT_FALSE(Filter::Parse(c.expression, f, error));
        EXPECT_EQ(error.message + " [" + std::to_string(error.column) + ", " + std::to_string(error.endColumn) + ")",
                  c.message + " [" + std::to_string(c.column) + ", " + std::to_string(c.endColumn) + ")");
    }
}
