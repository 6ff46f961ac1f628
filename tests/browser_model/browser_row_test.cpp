// How a row's values read in the list.
#include <gtest/gtest.h>

#include "browser/browser_row.h"

using namespace browser;

TEST(BrowserRow, TimesReadAsUtcCalendarDates) {
    EXPECT_EQ(FormatUtc(0), "1970-01-01 00:00:00");
    // 2026-12-06 14:05:09.750 UTC.
    EXPECT_EQ(FormatUtc(1796565909750), "2026-12-06 14:05:09");
    EXPECT_EQ(FormatUtc(1796565909750, true), "2026-12-06T14:05:09Z");
    EXPECT_EQ(FormatUtc(951782400000), "2000-02-29 00:00:00");    // a leap day
    EXPECT_EQ(FormatUtc(-1), "1969-12-31 23:59:59");              // before 1970 rounds down, not to zero
    EXPECT_EQ(FormatUtc(4102444799000), "2099-12-31 23:59:59");
}

TEST(BrowserRow, FirstLineEndsAtEitherLineBreakAndNeverSplitsACharacter) {
    EXPECT_EQ(FirstLine("GALE WARNING\nAREA 3"), "GALE WARNING");
    EXPECT_EQ(FirstLine("SECURITE\r\nNAV"), "SECURITE");
    EXPECT_EQ(FirstLine("one line"), "one line");
    EXPECT_EQ(FirstLine("\nsecond"), "");
    // "é" is two bytes: a cut at 2 would fall inside it, so it goes back to 1.
    EXPECT_EQ(FirstLine("a\xC3\xA9z", 2), "a");
    EXPECT_EQ(FirstLine("a\xC3\xA9z", 3), "a\xC3\xA9");
}

TEST(BrowserRow, CellsShowNumbersAndLeaveUnknownStationsEmpty) {
    BrowserRow row;
    row.receivedMs = 1796565909750;
    row.les = 121;
    row.frame = -1;
    row.priority = messages::Priority::Urgency;
    row.copies = 3;
    row.length = 42;
    row.firstLine = "PAN PAN";
    const char* expected[kColumnCount] = {"2026-12-06 14:05:09", "121", "", "urgency", "3", "42", "PAN PAN"};
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(CellText(row, static_cast<Column>(c)), expected[c]) << c;
    row.les = -1;
    EXPECT_EQ(CellText(row, Column::Les), "");
}
