// The messages pane on warnings the store has read, and its unread rows.
#include <richedit.h>

#include "msg_frame_fixture.h"

// The warnings' columns, near home, the board in force, what a bulletin drops and misses; the reading
// line of a cancelled warning links to the cancelling one.
TEST_F(MsgFrameTest, TheBoardGroupsBySeriesAndListsWhatABulletinMissedAndTheReadingLineLinks) {
    const std::int64_t wreck = HearFourWarnings();
    Browse(L"");
    EXPECT_EQ(Shown(7), (Texts{L"NAVAREA IV 1190/22", L"NAVAREA IV 1170/22", L"HYDROLANT 2300/26", L"NAVAREA IV 1165/22"}));
    EXPECT_EQ(Shown(9), (Texts{L"in force", L"in force", L"in force", L"cancelled"}));
    EXPECT_EQ(std::make_pair(pane->RowIsMuted(0), pane->RowIsMuted(3)), std::make_pair(false, true));
    EXPECT_FALSE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::NearHome));  // no home yet
    pane->SetHomePosition(warnings::GeoPoint{50.3667, -4.1417});             // 50-22.0N 004-08.5W
    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::NearHome));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"dist<=200");
    EXPECT_EQ(Shown(7), Texts{L"HYDROLANT 2300/26"});

    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::InForce));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"state=inforce");
    EXPECT_EQ(Shown(7), (Texts{L"HYDROLANT (1 in force)", L"HYDROLANT 2300/26", L"NAVAREA IV (2 in force)",
                               L"NAVAREA IV 1190/22", L"NAVAREA IV 1170/22"}));
    EXPECT_EQ(pane->status(), L"3 warnings in force.");
    EXPECT_TRUE(pane->RowIsBold(0));  // a header

    // The bulletin lists 1190 and one never heard: 1170 is dropped, 1200 is missing.
    const std::int64_t bulletin = Heard(10, "NAVAREA IV WARNINGS IN FORCE\n2022 SERIES: 1190, 1200.");
    pane->CheckForNewMessages();
    guitest::Pump();
    EXPECT_EQ(Shown(7), (Texts{L"HYDROLANT (1 in force)", L"HYDROLANT 2300/26", L"NAVAREA IV (1 in force)", L"NAVAREA IV 1190/22"}));
    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::Missing));
    EXPECT_EQ(Shown(7), Texts{L"NAVAREA IV 1200/22"});
    EXPECT_EQ(Cell(0, 9), L"missing");
    Select(0);
    EXPECT_EQ(pane->selectedId(), bulletin);  // the bulletin that named it is read below
    EXPECT_EQ(pane->readingLine(), L"NAVAREA IV | bulletin | never received: NAVAREA IV 1200/22");
    SearchFor(L"les=121 & frame=60");  // 1170
    EXPECT_EQ(Shown(9), Texts{L"dropped"});
    EXPECT_TRUE(pane->RowIsMuted(0));

    SearchFor(L"les=121 & state=cancelled");
    ASSERT_EQ(ItemCount(), 1);
    Select(0);
    ASSERT_EQ(pane->selectedId(), wreck);
    EXPECT_EQ(pane->readingLine(), L"NAVAREA IV 1165/22 | nav | cancelled by NAVAREA IV 1190/22 | point 28-30.0N 080-30.0W");
    EXPECT_EQ(pane->readingLink(), L"NAVAREA IV 1190/22");
    EXPECT_EQ(ViewText().substr(0, pane->readingLine().size()), pane->readingLine());
    // A click on the link: the cancelling message is selected, the filter cleared to show it.
    POINTL point{};
    ::SendMessageW(pane->textView(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), 43);  // in "NAVAREA IV 1190/22"
    ::SendMessageW(pane->textView(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x + 2, point.y + 4));
    ::SendMessageW(pane->textView(), WM_LBUTTONUP, 0, MAKELPARAM(point.x + 2, point.y + 4));
    guitest::Pump();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"");
    EXPECT_EQ(Cell(Selected(), 7), L"NAVAREA IV 1190/22");
    EXPECT_EQ(pane->selectedId(), wreck + 3);
}

// Selecting a row or Space marks it read, as does "mark all read"; the parent hears the count.
TEST_F(MsgFrameTest, UnreadRowsTurnReadAndTheParentHearsTheCount) {
    for (int i = 0; i < 4; ++i) Heard(40 - i * 10, "message " + std::to_string(i));
    Browse(L"");
    EXPECT_EQ(notifiedUnread, 4);
    Select(0);
    EXPECT_EQ(std::make_pair(pane->RowIsBold(0), pane->RowIsBold(1)), std::make_pair(false, true));
    EXPECT_EQ(notifiedUnread, 3);
    Press(pane->list(), VK_SPACE);  // row 0 seen already; on to row 1, which is seen by being selected
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(notifiedUnread, 2);
    SearchFor(L"unread=1");
    EXPECT_EQ(Shown(), (Texts{L"message 1", L"message 0"}));
    pane->MarkAllRead();
    EXPECT_EQ(notifiedUnread, 0);
    EXPECT_FALSE(pane->RowIsBold(0));
    Heard(1, "one more");
    pane->CheckForNewMessages();
    EXPECT_EQ(notifiedUnread, 1);
}
