// Expressions the filter refuses: the exact message, and the characters [column, endColumn) it marks.
#include <gtest/gtest.h>

#include <string>

#include "messages/filter.h"

using messages::Filter;
using messages::FilterError;

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

struct Case {
    std::string expression;
    std::string message;
    int column;
    int endColumn;
};

const std::string kFields =
    " (fields: age_day, age_hour, age_min, les, frame, priority, copies, len, text, time, series, navarea, metarea, number, "
    "year, kind, state, positions, dist, unread, alerted)";
const std::string kTimeHint = " (a UTC date 2026-12-06 or date and time 2026-12-06T14:00)";

}  // namespace

TEST(FilterErrors, SayWhatAndWhere) {
    const Case cases[] = {
        {"(age_day<1) & lse=121", "unknown field 'lse' at column 15" + kFields, 15, 18},
        {"les=1 & dist<5", "'dist' needs the home position, and none is set at column 9 (set \"Home position\" in the "
                           "settings, e.g. 50-22.0N 004-08.5W)", 9, 13},
        {"kind=boat", "unknown kind 'boat' at column 6 (kinds: nav, met, sar, piracy, ice, bulletin, other)", 6, 10},
        {"state<inforce", "operator '<' does not apply to 'state' at column 6 (state takes = or !=)", 6, 7},
        {"series>A", "operator '>' does not apply to 'series' at column 7 (series takes =, != or ~)", 7, 8},
        {"navarea=XXII", "expected a number or a roman numeral I to XXI for 'navarea', found 'XXII' at column 9", 9, 13},
        {"\xC3\xA9=1", "unknown field '\xC3\xA9' at column 1" + kFields, 1, 2},
        {"text~\"\xC3\xA9\" & lse=1", "unknown field 'lse' at column 12" + kFields, 12, 15},  // columns count characters
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
        {"time>2026-13-01", "bad time '2026-13-01' at column 6" + kTimeHint, 6, 16},
        {"time=2026-02-29", "bad time '2026-02-29' at column 6" + kTimeHint, 6, 16},
        {"time=2026-12-06T24:00", "bad time '2026-12-06T24:00' at column 6" + kTimeHint, 6, 22},
        {"time=yesterday", "bad time 'yesterday' at column 6" + kTimeHint, 6, 15},
        {"les=abc", "expected a number for 'les', found 'abc' at column 5", 5, 8},
        {"frame=1e99", "expected a number for 'frame', found '1e99' at column 7", 7, 11},
        {"age_day<inf", "expected a number for 'age_day', found 'inf' at column 9", 9, 12},
        {"text~\"abc", "unterminated string at column 6 (a closing '\"' is missing)", 6, 10},
        {"text~\"a\\nb\"", "unknown escape in string at column 8 (use \\\" or \\\\)", 8, 9},
        {"les=\xFF", "invalid UTF-8 at column 5", 5, 6},
        {"les=\xED\xA0\x80", "invalid UTF-8 at column 5", 5, 6},  // a UTF-16 surrogate
        {"les=1\x01", "control character at column 6 (only blanks, tabs and line breaks may separate words)", 6, 7},
        // Limits: size, nesting (parentheses and negations together) and terms.
        {std::string(4001, ' '), "expression longer than 4000 characters at column 4001", 4001, 4002},
        {Repeat("(", 65) + "les=1" + Repeat(")", 65), "nesting deeper than 64 levels at column 65", 65, 66},
        {Repeat("!", 64) + "(les=1)", "nesting deeper than 64 levels at column 65", 65, 66},
        {Repeat("les=1|", 256) + "les=1", "more than 256 terms at column 1537", 1537, 1540},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("expression: " + c.expression.substr(0, 80));
        Filter f;
        FilterError error;
        ASSERT_FALSE(Filter::Parse(c.expression, f, error));
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(error.column, c.column);
        EXPECT_EQ(error.endColumn, c.endColumn);
    }
}

TEST(FilterErrors, HostileSizesFailFastWithoutDeepRecursion) {
    // A megabyte of openings: refused by the length limit before any parsing.
    Filter f;
    FilterError error;
    EXPECT_FALSE(Filter::Parse(std::string(1 << 20, '('), f, error));
    EXPECT_EQ(error.column, 4001);
    EXPECT_EQ(error.endColumn, (1 << 20) + 1);
    // Within the length, the nesting limit stops the descent.
    EXPECT_FALSE(Filter::Parse(std::string(3999, '!') + "x", f, error));
    EXPECT_EQ(error.column, 65);
}
