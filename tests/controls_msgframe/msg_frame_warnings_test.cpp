// The messages pane on warnings the store has read: their columns, the in-force board, the missing
// list, the reading line and its link to the cancelling message, unread rows and the count the parent
// is told, the keys of the list, and the messages near home.
#include <richedit.h>

#include "msg_frame_fixture.h"
#include "win/display_picture.h"

TEST_F(MsgFrameTest, TheBoardGroupsBySeriesLosesWhatABulletinDropsAndListsWhatItMissed) {
    HearFourWarnings();
    Browse(L"");
    EXPECT_EQ(Shown(7), (Texts{L"NAVAREA IV 1190/22", L"NAVAREA IV 1170/22", L"HYDROLANT 2300/26", L"NAVAREA IV 1165/22"}));
    EXPECT_EQ(Shown(8), (Texts{L"nav", L"nav", L"nav", L"nav"}));
    EXPECT_EQ(Shown(9), (Texts{L"in force", L"in force", L"in force", L"cancelled"}));
    EXPECT_FALSE(pane->RowIsMuted(0));
    EXPECT_TRUE(pane->RowIsMuted(3));

    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::InForce));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"state=inforce");
    EXPECT_EQ(pane->listMode(), CMsgFrame::ListMode::Board);
    EXPECT_EQ(Board(), (Texts{L"HYDROLANT (1 in force)", L"HYDROLANT 2300/26", L"NAVAREA IV (2 in force)",
                              L"NAVAREA IV 1190/22", L"NAVAREA IV 1170/22"}));
    EXPECT_EQ(pane->status(), L"3 warnings in force.");
    EXPECT_TRUE(pane->RowIsBold(0));  // a header, drawn across the row: past a narrow first column there is its text
    ::SendMessageW(pane->list(), LVM_SETCOLUMNWIDTH, 0, 30);
    RECT row{LVIR_BOUNDS};
    ::SendMessageW(pane->list(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    guitest::Picture picture(pane->list());
    int dark = 0;
    for (int y = row.top; y < row.bottom && y < picture.height(); ++y)
        for (int x = 40; x < 120 && x < picture.width(); ++x) {
            const COLORREF c = picture.At(x, y);
            dark += GetRValue(c) + GetGValue(c) + GetBValue(c) < 200;
        }
    EXPECT_GT(dark, 20) << "the header's text stops at the first column";

    // The bulletin lists 1190 and one never heard: 1170 is dropped, 1200 is missing.
    const std::int64_t bulletin = Heard(10, "NAVAREA IV WARNINGS IN FORCE\n2022 SERIES: 1190, 1200.");
    pane->CheckForNewMessages();
    guitest::Pump();
    EXPECT_EQ(Board(), (Texts{L"HYDROLANT (1 in force)", L"HYDROLANT 2300/26", L"NAVAREA IV (1 in force)", L"NAVAREA IV 1190/22"}));
    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::Missing));
    EXPECT_EQ(Board(), Texts{L"NAVAREA IV 1200/22"});
    EXPECT_EQ(Cell(0, 9), L"missing");
    Select(0);
    EXPECT_EQ(pane->selectedId(), bulletin);  // the bulletin that named it is read below
    EXPECT_EQ(pane->readingLine(), L"NAVAREA IV | bulletin | never received: NAVAREA IV 1200/22");
    SearchFor(L"les=121 & frame=60");  // 1170
    EXPECT_EQ(Shown(9), Texts{L"dropped"});
    EXPECT_TRUE(pane->RowIsMuted(0));
}

TEST_F(MsgFrameTest, TheReadingLineLinksToTheCancellingMessage) {
    const std::int64_t wreck = HearFourWarnings();
    Browse(L"les=121 & state=cancelled");
    ASSERT_EQ(ItemCount(), 1);
    Select(0);
    ASSERT_EQ(pane->selectedId(), wreck);
    EXPECT_EQ(pane->readingLine(), L"NAVAREA IV 1165/22 | nav | cancelled by NAVAREA IV 1190/22 | point 28-30.0N 080-30.0W");
    EXPECT_EQ(pane->readingLink(), L"NAVAREA IV 1190/22");
    EXPECT_EQ(ViewText().substr(0, pane->readingLine().size()), pane->readingLine());
    // A click on the link: the cancelling message is selected, the filter cleared to show it.
    const auto at = static_cast<LPARAM>(pane->readingLine().find(L"NAVAREA IV 1190/22") + 3);
    POINTL point{};
    ::SendMessageW(pane->textView(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), at);
    ::SendMessageW(pane->textView(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x + 2, point.y + 4));
    ::SendMessageW(pane->textView(), WM_LBUTTONUP, 0, MAKELPARAM(point.x + 2, point.y + 4));
    guitest::Pump();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"");
    EXPECT_EQ(Cell(Selected(), 7), L"NAVAREA IV 1190/22");
    EXPECT_EQ(pane->selectedId(), wreck + 3);
}

TEST_F(MsgFrameTest, UnreadRowsTurnReadTheParentHearsTheCountAndASecondPaneSharesIt) {
    for (int i = 0; i < 4; ++i) Heard(40 - i * 10, "message " + std::to_string(i));
    Browse(L"");
    EXPECT_EQ(notifiedUnread, 4);
    for (int row = 0; row < 4; ++row) EXPECT_TRUE(pane->RowIsBold(row)) << row;
    Select(0);
    EXPECT_FALSE(pane->RowIsBold(0));
    EXPECT_TRUE(pane->RowIsBold(1));
    EXPECT_EQ(notifiedUnread, 3);
    Press(pane->list(), VK_SPACE);  // row 0 seen already; on to row 1, which is seen by being selected
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(notifiedUnread, 2);
    SearchFor(L"unread=1");
    EXPECT_EQ(Shown(), (Texts{L"message 1", L"message 0"}));

    // Another pane on the same file (a restart, or a second front end) finds the same state.
    auto second = std::make_unique<CMsgFrame>();
    ASSERT_TRUE(second->Create(parent->hwnd(), RECT{0, 0, 0, 0}, nullptr, WS_CHILD, 0));
    second->SetStorePath(store->fsPath().wstring());
    guitest::Pump();
    EXPECT_EQ(second->unreadCount(), 2);
    pane->MarkAllRead();
    EXPECT_EQ(notifiedUnread, 0);
    EXPECT_FALSE(pane->RowIsBold(0));
    Heard(1, "one more");
    second->CheckForNewMessages();
    EXPECT_EQ(second->unreadCount(), 1);
    second.reset();
    pane->CheckForNewMessages();
    EXPECT_EQ(notifiedUnread, 1);
}

TEST_F(MsgFrameTest, KeysMoveAndReachTheTextAndTheFilterAndNearHomeNeedsAHome) {
    Heard(30, "NAVAREA I 5/26\nWRECK 50-00N 004-00W.");      // on the doorstep
    Heard(20, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.");  // across the ocean
    Browse(L"");
    Select(0);
    Press(pane->list(), VK_DOWN);
    EXPECT_EQ(Selected(), 1);
    Press(pane->list(), VK_UP);
    EXPECT_EQ(Selected(), 0);
    Press(pane->list(), VK_RETURN);
    EXPECT_EQ(::GetFocus(), pane->textView());
    Press(pane->list(), 'F', true);
    EXPECT_EQ(::GetFocus(), pane->filterEdit());

    EXPECT_FALSE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::NearHome));
    pane->SetHomePosition(warnings::GeoPoint{50.3667, -4.1417});  // 50-22.0N 004-08.5W
    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::NearHome));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"dist<=200");
    EXPECT_EQ(Shown(7), Texts{L"NAVAREA I 5/26"});
}
