// How a row's values read in the list, and the reading line above a message.
#include <gtest/gtest.h>

#include "browser/browser_row.h"
#include "browser/reading_line.h"

using namespace browser;

TEST(BrowserRow, TimesNamesStatesFirstLinesAndCellsRead) {
    // A leap day; before 1970 rounds down, not to zero.
    const struct { std::int64_t ms; bool iso; const char* text; } times[] = {
        {0, false, "1970-01-01 00:00:00"}, {1796565909750, false, "2026-12-06 14:05:09"},
        {1796565909750, true, "2026-12-06T14:05:09Z"}, {951782400000, false, "2000-02-29 00:00:00"},
        {-1, false, "1969-12-31 23:59:59"}, {4102444799000, false, "2099-12-31 23:59:59"}};
    for (const auto& t : times) EXPECT_EQ(FormatUtc(t.ms, t.iso), t.text) << t.ms;

    const struct { const char* series; std::int64_t number, year; const char* name; } names[] = {
        {"NAVAREA IV", 1177, 2022, "NAVAREA IV 1177/22"}, {"HYDROLANT", 5, 2007, "HYDROLANT 5/07"},
        {"METAREA III", 0, 0, "METAREA III"}, {"", 12, 2026, ""}};
    for (const auto& n : names) EXPECT_EQ(WarningName(n.series, n.number, n.year), n.name);

    const struct { const char* state; const char* text; bool over; } states[] = {
        {"inforce", "in force", false}, {"none", "", false}, {"", "", false},
        {"cancelled", "cancelled", true}, {"expired", "expired", true}, {"dropped", "dropped", true}};
    for (const auto& s : states)
        EXPECT_TRUE(StateText(s.state) == s.text && NoLongerInForce(BrowserRow{.state = s.state}) == s.over) << s.state;

    // "é" is two bytes: a cut at 2 would fall inside it, so it goes back to 1.
    const struct { const char* text; std::size_t max; const char* line; } lines[] = {
        {"GALE WARNING\nAREA 3", kFirstLineBytes, "GALE WARNING"}, {"SECURITE\r\nNAV", kFirstLineBytes, "SECURITE"},
        {"one line", kFirstLineBytes, "one line"}, {"\nsecond", kFirstLineBytes, ""},
        {"a\xC3\xA9z", 2, "a"}, {"a\xC3\xA9z", 3, "a\xC3\xA9"}};
    for (const auto& l : lines) EXPECT_EQ(FirstLine(l.text, l.max), l.line) << l.text << " " << l.max;

    // Cells show numbers, and nothing for an unknown station.
    BrowserRow row{.receivedMs = 1796565909750, .les = 121, .frame = -1, .priority = messages::Priority::Urgency,
                   .copies = 3, .length = 42, .firstLine = "PAN PAN", .series = "NAVAREA IV", .number = 1177,
                   .year = 2022, .kind = "nav", .state = "inforce"};
    const char* expected[kColumnCount] = {"2026-12-06 14:05:09", "121", "", "urgency", "3", "42", "PAN PAN",
                                          "NAVAREA IV 1177/22", "nav", "in force"};
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(CellText(row, static_cast<Column>(c)), expected[c]) << c;
    row.les = -1;
    EXPECT_EQ(CellText(row, Column::Les), "");
}

TEST(ReadingLine, SaysWhatWasReadWithTheCancellingMessageApart) {
    EXPECT_EQ(FormatPositionDm(28.665333, -80.638833), "28-39.9N 080-38.3W");
    EXPECT_EQ(FormatPositionDm(-5.99999, 179.999999), "06-00.0S 180-00.0E");  // minutes carried
    EXPECT_EQ(MakeReadingLine({}).Whole(), "");  // not read
    const MessageReadingInfo info{
        .read = true, .series = "NAVAREA IV", .number = 1165, .year = 2022, .kind = "nav", .state = "cancelled",
        .cancelledBy = 4, .cancelledByName = "NAVAREA IV 1190/22", .expiresMs = 1668801240000,  // 2022-11-18T19:54:00Z
        .shapes = {{"circle", {{50.0, -4.0}}, 2.0}, {"area", {{28.5, -80.5}, {28.25, -80.0}, {28.0, -80.25}}, 0}}};
    const ReadingLine line = MakeReadingLine(info);  // the link apart in brackets
    EXPECT_EQ(line.before + "[" + line.link + "]" + line.after,
              "NAVAREA IV 1165/22 | nav | cancelled by [NAVAREA IV 1190/22] | expires 2022-11-18 19:54 UTC"
              " | circle 2.0 nm around 50-00.0N 004-00.0W | area 28-30.0N 080-30.0W, 28-15.0N 080-00.0W, 28-00.0N 080-15.0W");
    MessageReadingInfo bulletin{.read = true, .series = "NAVAREA IV", .kind = "bulletin", .state = "none",
                                .missing = {"NAVAREA IV 1200/22", "NAVAREA IV 1201/22"}};
    EXPECT_EQ(MakeReadingLine(bulletin).Whole(), "NAVAREA IV | bulletin | never received: NAVAREA IV 1200/22, NAVAREA IV 1201/22");
    bulletin.missing.clear();
    EXPECT_EQ(MakeReadingLine(bulletin).Whole(), "NAVAREA IV | bulletin | every warning it lists was received");
}
