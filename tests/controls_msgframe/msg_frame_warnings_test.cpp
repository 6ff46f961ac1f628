// The messages pane on warnings: the in-force board, the missing list, the cancelling message
// through the reading line's link, and unread rows with the count the parent is told.
#include <richedit.h>

#include <cstdio>

#include "messages/warning_rows.h"
#include "msg_frame_browser_fixture.h"
#include "win/display_picture.h"

namespace {

// The last unread count the pane sent its parent.
std::int64_t g_notifiedUnread = -1;

LRESULT CALLBACK HearUnread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_NOTIFY && static_cast<int>(reinterpret_cast<NMHDR*>(lParam)->code) == MSGFRAME_UNREAD_CHANGED)
        g_notifiedUnread = reinterpret_cast<MsgFrameUnread*>(lParam)->unread;
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

class MsgWarningsTest : public MsgBrowserTest {
protected:
    void SetUp() override {
        MsgBrowserTest::SetUp();
        g_notifiedUnread = -1;
        ::SetWindowSubclass(parent->hwnd(), HearUnread, 7, 0);
    }
    void TearDown() override {
        ::RemoveWindowSubclass(parent->hwnd(), HearUnread, 7);
        MsgBrowserTest::TearDown();
    }
    // Adds a message heard `minutesAgo` and has the store read it.
    std::int64_t Heard(int minutesAgo, const std::string& text) {
        const std::int64_t id = store->Add(browsertest::Message(Now() - minutesAgo * 60'000LL, 121, 100 - minutesAgo, text));
        messages::ReadUnreadMessages(store->database(), 10);
        return id;
    }
    // Column 0 for headers and missing rows' names, column 7 (Warning) otherwise.
    std::vector<std::wstring> Board() const {
        std::vector<std::wstring> out;
        for (int i = 0; i < ItemCount(); ++i) out.push_back(Cell(i, 7).empty() ? Cell(i, 0) : Cell(i, 7));
        return out;
    }
    void Key(UINT key) {
        ::SetFocus(pane->list());
        ::SendMessageW(pane->list(), WM_KEYDOWN, key, 1);
        guitest::Pump();
    }
};

}  // namespace

TEST_F(MsgWarningsTest, ColumnsComeAfterTheOldOnesAndShowWarningKindAndState) {
    Heard(30, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.");
    Heard(20, "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.");
    Browse();
    SearchFor(L"");
    HWND header = reinterpret_cast<HWND>(::SendMessageW(pane->list(), LVM_GETHEADER, 0, 0));
    ASSERT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 10);
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(Cell(0, 7), L"NAVAREA IV 1190/22");
    EXPECT_EQ(Cell(0, 8), L"nav");
    EXPECT_EQ(Cell(0, 9), L"in force");
    EXPECT_EQ(Cell(1, 9), L"cancelled");
    EXPECT_FALSE(pane->RowIsMuted(0));
    EXPECT_TRUE(pane->RowIsMuted(1));
}

TEST_F(MsgWarningsTest, TheBoardGroupsBySeriesAndLosesTheWarningABulletinDrops) {
    Heard(50, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.");
    Heard(40, "HYDROLANT 2300/26\nBUOY ADRIFT WITHIN 5 MILES OF 50-30N 004-00W.");
    Heard(30, "NAVAREA IV 1170/22\nBUOY ADRIFT 28-10N 080-10W.");
    Browse();
    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::InForce));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"state=inforce");
    EXPECT_EQ(pane->listMode(), CMsgFrame::ListMode::Board);
    EXPECT_EQ(Board(), (std::vector<std::wstring>{L"HYDROLANT (1 in force)", L"HYDROLANT 2300/26", L"NAVAREA IV (2 in force)",
                                                  L"NAVAREA IV 1170/22", L"NAVAREA IV 1165/22"}));
    EXPECT_TRUE(pane->RowIsBold(0));  // a header
    {  // ...drawn across the row: past a narrow first column there is still its text.
        ::SendMessageW(pane->list(), LVM_SETCOLUMNWIDTH, 0, 30);
        RECT row{};
        row.left = LVIR_BOUNDS;
        ::SendMessageW(pane->list(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        guitest::Picture picture(pane->list());
        int dark = 0;
        for (int y = row.top; y < row.bottom && y < picture.height(); ++y)
            for (int x = 40; x < 120 && x < picture.width(); ++x) {
                const COLORREF c = picture.At(x, y);
                dark += GetRValue(c) + GetGValue(c) + GetBValue(c) < 200;
            }
        EXPECT_GT(dark, 20) << "the header's text stops at the first column";
    }
    // The board draws its headers as rows of its own: comctl32's groups are not for owner-data lists.
    HWND plain = ::CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_CHILD | LVS_REPORT | LVS_OWNERDATA, 0, 0, 100, 100,
                                   parent->hwnd(), nullptr, nullptr, nullptr);
    std::printf("LVM_ENABLEGROUPVIEW on an owner-data list: %ld\n",
                static_cast<long>(::SendMessageW(plain, LVM_ENABLEGROUPVIEW, TRUE, 0)));
    ::DestroyWindow(plain);
    EXPECT_EQ(pane->status(), L"3 warnings in force.");

    // The bulletin lists 1170 and one never heard: 1165 is dropped, 1200 is missing.
    const std::int64_t bulletin = Heard(10, "NAVAREA IV WARNINGS IN FORCE\n2022 SERIES: 1170, 1200.");
    pane->CheckForNewMessages();
    guitest::Pump();
    EXPECT_EQ(Board(), (std::vector<std::wstring>{L"HYDROLANT (1 in force)", L"HYDROLANT 2300/26", L"NAVAREA IV (1 in force)",
                                                  L"NAVAREA IV 1170/22"}));

    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::Missing));
    ASSERT_EQ(ItemCount(), 1);
    EXPECT_EQ(Cell(0, 7), L"NAVAREA IV 1200/22");
    EXPECT_EQ(Cell(0, 9), L"missing");
    Select(0);
    EXPECT_EQ(pane->selectedId(), bulletin);  // the bulletin that named it is read below
    EXPECT_EQ(pane->readingLine(), L"NAVAREA IV | bulletin | never received: NAVAREA IV 1200/22");

    SearchFor(L"");
    EXPECT_EQ(Cell(3, 9), L"dropped");  // 1165, oldest, last
    EXPECT_TRUE(pane->RowIsMuted(3));
}

TEST_F(MsgWarningsTest, TheReadingLineLinksToTheCancellingMessage) {
    const std::int64_t cancelled = Heard(30, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.");
    const std::int64_t cancelling = Heard(20, "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.");
    Heard(10, "routine traffic");
    Browse();
    SearchFor(L"les=121 & state=cancelled");
    ASSERT_EQ(ItemCount(), 1);
    Select(0);
    ASSERT_EQ(pane->selectedId(), cancelled);
    EXPECT_EQ(pane->readingLine(), L"NAVAREA IV 1165/22 | nav | cancelled by NAVAREA IV 1190/22 | point 28-30.0N 080-30.0W");
    EXPECT_EQ(pane->readingLink(), L"NAVAREA IV 1190/22");
    EXPECT_EQ(ViewText().substr(0, pane->readingLine().size()), pane->readingLine());

    // A click on the link: the cancelling message is selected, the filter cleared to show it.
    const std::wstring line = pane->readingLine();
    const auto at = static_cast<WPARAM>(line.find(L"NAVAREA IV 1190/22") + 3);
    POINTL point{};
    ::SendMessageW(pane->textView(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), static_cast<LPARAM>(at));
    const LPARAM where = MAKELPARAM(point.x + 2, point.y + 4);
    ::SendMessageW(pane->textView(), WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::SendMessageW(pane->textView(), WM_LBUTTONUP, 0, where);
    guitest::Pump();
    if (pane->selectedId() != cancelling) {
        ADD_FAILURE() << "the click on the link did not select the cancelling message";
        EXPECT_TRUE(pane->FollowCancellation());
    }
    EXPECT_EQ(pane->selectedId(), cancelling);
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"");
    EXPECT_EQ(Cell(Selected(), 7), L"NAVAREA IV 1190/22");
}

TEST_F(MsgWarningsTest, UnreadRowsTurnReadTheParentHearsTheCountAndASecondPaneSharesIt) {
    for (int i = 0; i < 4; ++i) Heard(40 - i * 10, "message " + std::to_string(i));
    Browse();
    SearchFor(L"");
    EXPECT_EQ(g_notifiedUnread, 4);
    for (int row = 0; row < 4; ++row) EXPECT_TRUE(pane->RowIsBold(row)) << row;
    Select(0);
    EXPECT_FALSE(pane->RowIsBold(0));
    EXPECT_TRUE(pane->RowIsBold(1));
    EXPECT_EQ(g_notifiedUnread, 3);
    Key(VK_SPACE);  // row 0 seen already; on to row 1, which is seen by being selected
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(g_notifiedUnread, 2);
    SearchFor(L"unread=1");
    EXPECT_EQ(ItemCount(), 2);

    // Another pane on the same file (a restart, or a second front end) finds the same state.
    auto second = std::make_unique<CMsgFrame>();
    ASSERT_TRUE(second->Create(parent->hwnd(), RECT{0, 0, 0, 0}, nullptr, WS_CHILD, 0));
    second->SetStorePath(store->fsPath().wstring());
    guitest::Pump();
    EXPECT_EQ(second->unreadCount(), 2);
    pane->MarkAllRead();
    EXPECT_EQ(g_notifiedUnread, 0);
    EXPECT_FALSE(pane->RowIsBold(0));
    Heard(1, "one more");
    second->CheckForNewMessages();
    EXPECT_EQ(second->unreadCount(), 1);
    second.reset();
    pane->CheckForNewMessages();
    EXPECT_EQ(g_notifiedUnread, 1);
}

TEST_F(MsgWarningsTest, KeysMoveReadAndReachTheFilter) {
    for (int i = 0; i < 3; ++i) Heard(30 - i * 10, "message " + std::to_string(i));
    Browse();
    SearchFor(L"");
    Select(0);
    Key(VK_DOWN);
    EXPECT_EQ(Selected(), 1);
    Key(VK_UP);
    EXPECT_EQ(Selected(), 0);
    Key(VK_RETURN);
    EXPECT_EQ(::GetFocus(), pane->textView());
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SetFocus(pane->list());
    ::SendMessageW(pane->list(), WM_KEYDOWN, 'F', 1);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    EXPECT_EQ(::GetFocus(), pane->filterEdit());
}

TEST_F(MsgWarningsTest, NearHomeNeedsAHomePositionAndListsWhatLiesWithin200Miles) {
    Heard(30, "NAVAREA I 5/26\nWRECK 50-00N 004-00W.");           // on the doorstep
    Heard(20, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.");       // across the ocean
    Browse();
    EXPECT_FALSE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::NearHome));
    pane->SetHomePosition(warnings::GeoPoint{50.3667, -4.1417});  // 50-22.0N 004-08.5W
    ASSERT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::NearHome));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"dist<=200");
    ASSERT_EQ(ItemCount(), 1);
    EXPECT_EQ(Cell(0, 7), L"NAVAREA I 5/26");
}
