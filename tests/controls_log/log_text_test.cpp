// The decoder log's text: lines and colours as appended, the bound, positions, the selection, wrapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/log_text.h"

namespace {

using logview::LogText;
using logview::WrapRows;

std::wstring All(const LogText& text) { return text.Range(0, text.Length(), L"\n"); }

TEST(LogText, LinesEndAtEveryKindOfLineEndAndPiecesJoin) {
    LogText text;
    text.Append(L"one\ntw", 1);
    text.Append(L"o\r\nthree\r", 2);
    text.Append(L"\nfour\rfive", 3);  // the "\n" belongs to the "\r" before it
    EXPECT_EQ(All(text), L"one\ntwo\nthree\nfour\nfive");
    EXPECT_EQ(text.Lines(), 4u);  // "five" is still open
    EXPECT_EQ(text.LineCount(), 5u);
    EXPECT_EQ(text.Length(), 23);  // 19 characters and four line ends
    EXPECT_EQ(text.LineStart(3), 14);
    EXPECT_EQ((std::vector{text.LineFromPosition(13), text.LineFromPosition(14), text.LineFromPosition(999)}),
              (std::vector<std::size_t>{2, 3, 4}));  // the line end of "three" belongs to it
}

TEST(LogText, ColoursFollowThePiecesAndNoColourKeepsTheOneInForce) {
    LogText text;
    text.Append(L"red ", 0xFF);
    text.Append(L"green\n", 0xFF00);
    text.Append(L"kept\n", 0, true);
    EXPECT_EQ((std::vector{text.ColourAt(0, 0), text.ColourAt(0, 3), text.ColourAt(0, 4), text.ColourAt(1, 0)}),
              (std::vector<logview::Colour>{0xFF, 0xFF, 0xFF00, 0xFF00}));
    std::wstring pieces;
    text.ForEachRun(0, 2, 7, [&](std::size_t a, std::size_t b, logview::Colour c) {
        pieces += std::to_wstring(a) + L"-" + std::to_wstring(b) + L":" + std::to_wstring(c) + L" ";
    });
    EXPECT_EQ(pieces, L"2-4:255 4-7:65280 ");
}

TEST(LogText, PastTheBoundWholeLinesLeaveTheTopInOrder) {
    LogText text;
    text.SetLineLimit(3);
    for (int i = 0; i < 10; ++i) text.Append(L"line " + std::to_wstring(i) + L"\n", 1);
    EXPECT_EQ(text.Lines(), 3u);
    EXPECT_EQ(All(text), L"line 7\nline 8\nline 9\n");
    EXPECT_EQ(text.FirstLineNumber(), 7);
    EXPECT_EQ(text.Origin(), 7 * 7);
    EXPECT_EQ(text.LineStart(0), 0);
    EXPECT_EQ(text.LineFromPosition(8), 1u);
    // The bound off: nothing more leaves.
    text.SetLineLimit(0);
    for (int i = 10; i < 15; ++i) text.Append(L"x\n", 1);
    EXPECT_EQ(text.Lines(), 8u);
}

TEST(LogText, ASelectionStaysOnItsTextWhileLinesLeaveAndShrinksWhenItsLinesGo) {
    LogText text;
    text.SetLineLimit(4);
    for (int i = 0; i < 4; ++i) text.Append(L"line " + std::to_wstring(i) + L"\n", 1);
    // Select "line 2" (positions 14 to 20) and "ne 0" to "line 1" in turn.
    text.Select(14, 20);
    text.Append(L"line 4\n", 1);  // "line 0" leaves
    EXPECT_EQ(text.Range(text.SelectionStart(), text.SelectionEnd(), L"\n"), L"line 2");
    EXPECT_EQ(text.SelectionStart(), 7);
    text.Select(2, 13);  // "ne 1\nline 2" now
    text.Append(L"line 5\n", 1);  // "line 1" leaves: what is left of the selection stays
    EXPECT_EQ(text.Range(text.SelectionStart(), text.SelectionEnd(), L"\n"), L"line 2");
    EXPECT_EQ(text.SelectionStart(), 0);
    text.Append(L"line 6\nline 7\n", 1);  // the rest of it leaves: an empty selection at the top
    EXPECT_FALSE(text.HasSelection());
    EXPECT_EQ(text.Caret(), 0);
}

TEST(LogText, AnEmptySelectionAtTheEndFollowsTheEndAndAClearStartsAgain) {
    LogText text;
    text.Append(L"a\n", 1);
    EXPECT_EQ(text.Caret(), 2);
    text.Select(1, 1);  // a click inside the text stays there
    text.Append(L"b\n", 1);
    EXPECT_EQ(text.Caret(), 1);
    text.Select(4, 4);
    text.Append(L"c\n", 1);
    EXPECT_EQ(text.Caret(), 6);
    text.Select(0, -5);  // clamped
    EXPECT_EQ(text.Caret(), 0);
    text.Clear();
    EXPECT_TRUE(text.Length() == 0 && text.Lines() == 0u && text.Origin() == 0);
    text.Append(L"d", 0, true);
    EXPECT_EQ(text.ColourAt(0, 0), 1u);  // the colour in force survives the clear
    EXPECT_EQ(All(text), L"d");
}

TEST(LogText, RangesWriteLineEndsAsAsked) {
    LogText text;
    text.Append(L"ab\ncd\nef", 1);
    EXPECT_EQ(text.Range(1, 7, L"\r\n"), L"b\r\ncd\r\ne");
    EXPECT_EQ(text.Range(2, 3, L"\r"), L"\r");  // just the line end
    EXPECT_EQ(text.Range(3, 3, L"\r"), L"");
    EXPECT_EQ(text.Range(-4, 100, L"|"), L"ab|cd|ef");
}

// Fits as a fixed-pitch font of one unit a character would in `width` units.
auto Width(std::size_t width) {
    return [width](std::wstring_view piece) { return std::min(piece.size(), width); };
}

TEST(WrapRows, BreaksAfterTheLastSpaceThatFitsOrWhereTheWidthEnds) {
    EXPECT_EQ(WrapRows(L"", Width(5)), (std::vector<std::size_t>{0}));
    EXPECT_EQ(WrapRows(L"short", Width(5)), (std::vector<std::size_t>{0}));
    EXPECT_EQ(WrapRows(L"one two three", Width(8)), (std::vector<std::size_t>{0, 8}));
    EXPECT_EQ(WrapRows(L"one two three", Width(7)), (std::vector<std::size_t>{0, 8}));  // the space hangs
    EXPECT_EQ(WrapRows(L"abcdefghij", Width(4)), (std::vector<std::size_t>{0, 4, 8}));
    EXPECT_EQ(WrapRows(L"ab   ", Width(3)), (std::vector<std::size_t>{0}));  // trailing spaces make no row
    EXPECT_EQ(WrapRows(L"abc", Width(0)), (std::vector<std::size_t>{0, 1, 2}));  // at least a character a row
}

}  // namespace
