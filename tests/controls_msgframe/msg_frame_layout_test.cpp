// The pane's layout and input: the bar along the top with the filter band taking the spare width, the
// list 100 pixels high under it, the splitter, the text view down to the bottom; typing, focus, Tab.
#include "msg_frame_fixture.h"

TEST_F(MsgFrameTest, ListAndTextViewStackUnderTheBarAndOnlyTheFilterBandWidens) {
    Resize(700, 400);
    const int barHeight = Height(InPane(pane->bar()));
    const RECT filter700 = BandRect(0);
    const std::vector<long> buttons700 = {Width(BandRect(1)), Width(BandRect(2)), Width(BandRect(3))};
    RECT outer{};
    ::GetWindowRect(pane->hwnd(), &outer);
    const int frame = Height(outer) - Height(Client());  // the static edge around the client area
    // Outer width, client height (bar, list and splitter take barHeight + 105), the text view's height.
    const struct { int width, height, text; } rows[] = {
        {760, 440, 440 - barHeight - 105}, {500, 300, 300 - barHeight - 105}, {1200, 700, 700 - barHeight - 105},
        {3000, 260, 260 - barHeight - 105}, {520, barHeight + 106, 1}, {700, barHeight + 105, 0},
        {900, barHeight + 60, 0}, {640, barHeight + 1, 0}, {600, 10, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height);
        Resize(row.width, row.height + frame);
        const RECT client = Client(), bar = InPane(pane->bar()), list = InPane(pane->list());
        ASSERT_EQ(Height(client), row.height);
        EXPECT_EQ(Box(bar), (std::vector<long>{0, 0, client.right, barHeight}));
        EXPECT_EQ(Box(list), (std::vector<long>{0, bar.bottom, client.right, bar.bottom + 100}));
        const long textTop = list.bottom + CMsgFrame::kSplitterHeight;
        EXPECT_EQ(Box(InPane(pane->textView())), (std::vector<long>{0, textTop, client.right, textTop + row.text}));
        // One row of bands: the filter band takes the change of width and its edit grows with it, the
        // buttons keep theirs, the last band ends at the bar's right edge.
        EXPECT_EQ(Width(BandRect(0)) - Width(filter700), row.width - 700);
        EXPECT_GT(Width(InPane(pane->filterEdit())), Width(BandRect(0)) - 150);
        EXPECT_EQ((std::vector<long>{Width(BandRect(1)), Width(BandRect(2)), Width(BandRect(3))}), buttons700);
        EXPECT_EQ(BandRect(3).top, filter700.top);
        EXPECT_EQ(BandRect(3).right, client.right);
    }
}

TEST_F(MsgFrameTest, RepeatedMinimisedAndForeignMessagesLeaveTheLayoutAlone) {
    // Each layout widens the filter band: repeated ones must not pile the widenings up.
    for (int i = 0; i < 200; ++i) pane->UpdateLayout(i % 2 == 0);
    REBARBANDINFOW band{sizeof(band), RBBIM_SIZE};
    ::SendMessageW(pane->bar(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    EXPECT_LE(band.cx, static_cast<UINT>(Client().right + CMsgFrame::kFilterBandGrowth));
    EXPECT_EQ(BandRect(3).right, Client().right);
    const auto list = Box(InPane(pane->list())), text = Box(InPane(pane->textView()));
    EXPECT_EQ(list[3] - list[1], 100);
    // With the list moved by hand, each message in turn, and whether it lays the pane out again: a
    // minimised size no, a restored one yes; the bar's autosize notice yes, the same code from another
    // window no.
    NMRBAUTOSIZE fromList{{pane->list(), 0xE800, static_cast<UINT>(RBN_AUTOSIZE)}}, fromBar = fromList;
    fromBar.hdr.hwndFrom = pane->bar();
    const struct { UINT msg; WPARAM wParam; LPARAM lParam; bool laysOut; } rows[] = {
        {WM_SIZE, SIZE_MINIMIZED, 0, false}, {WM_SIZE, SIZE_RESTORED, MAKELPARAM(Client().right, Client().bottom), true},
        {WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&fromList), false}, {WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&fromBar), true}};
    for (const auto& row : rows) {
        ::SetWindowPos(pane->list(), nullptr, 3, 3, 40, 40, SWP_NOZORDER | SWP_NOACTIVATE);
        ::SetWindowPos(pane->textView(), nullptr, 7, 7, 30, 30, SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(pane->hwnd(), row.msg, row.wParam, row.lParam);
        EXPECT_EQ(Box(InPane(pane->list())), (row.laysOut ? list : std::vector<long>{3, 3, 43, 43})) << row.msg;
        EXPECT_EQ(Box(InPane(pane->textView())), (row.laysOut ? text : std::vector<long>{7, 7, 37, 37})) << row.msg;
    }
}

TEST_F(MsgFrameTest, SplitterDragsKeepingTheListsRowAndATextLine) {
    const int splitterY = InPane(pane->list()).bottom + CMsgFrame::kSplitterHeight / 2;
    ::SendMessageW(pane->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, splitterY));
    EXPECT_EQ(::GetCapture(), pane->hwnd());
    // Mouse y, then the list's height; 5000 leaves the text view a line of its font, -500 the list its
    // header and a row; without the button nothing drags.
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, splitterY + 80));
    EXPECT_EQ(Height(InPane(pane->list())), 180);
    EXPECT_EQ(InPane(pane->textView()).top, InPane(pane->list()).bottom + CMsgFrame::kSplitterHeight);
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5000));
    EXPECT_GE(Height(InPane(pane->textView())), 12 + 2 * ::GetSystemMetrics(SM_CYDLGFRAME));
    EXPECT_EQ(InPane(pane->textView()).bottom, Client().bottom);
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, -500));
    EXPECT_EQ(pane->listHeight(), CMsgFrame::kMinListHeight);
    ::SendMessageW(pane->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(200, 0));
    EXPECT_NE(::GetCapture(), pane->hwnd());
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(200, 300));
    EXPECT_EQ(pane->listHeight(), CMsgFrame::kMinListHeight);
}

TEST_F(MsgFrameTest, TypingFocusAndTabReachTheirControlsAndThePaneGoesQuietly) {
    EXPECT_EQ((Texts{guitest::WindowText(pane->searchButton()), guitest::WindowText(pane->quickFilterButton()),
                                         guitest::WindowText(pane->optionsButton())}),
              (Texts{L"Search", L"Quick filter", L"Options"}));
    // An expression longer than the box is still typed in full.
    Resize(400, 300);
    ::SendMessageW(pane->filterEdit(), EM_SETSEL, 0, -1);
    std::wstring expression;
    for (int i = 0; i < 12; ++i) expression += L"(les=1" + std::to_wstring(i) + L") | ";
    for (wchar_t c : expression + L"age_day<1") ::SendMessageW(pane->filterEdit(), WM_CHAR, c, 1);
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), expression + L"age_day<1");
    // Focus on the pane goes to the text view; Tab goes round the edit, the buttons and the list.
    ::SetFocus(pane->hwnd());
    EXPECT_EQ(::GetFocus(), pane->textView());
    ::SetFocus(pane->filterEdit());
    for (HWND next : {pane->searchButton(), pane->quickFilterButton(), pane->optionsButton(), pane->list(), pane->filterEdit()}) {
        ::SendMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        EXPECT_EQ(::GetFocus(), next);
    }
    // A child pane must not end the message loop when it goes, and takes its controls with it.
    const HWND windows[] = {pane->hwnd(), pane->textView(), pane->list(), pane->bar()};
    pane.reset();
    for (HWND w : windows) EXPECT_FALSE(::IsWindow(w));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}
