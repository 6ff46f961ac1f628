// The pane's layout: the bar, the list 100 pixels high, the splitter, the text view to the bottom.
#include "msg_frame_fixture.h"

namespace {
int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }
std::vector<long> Box(const RECT& rc) { return {rc.left, rc.top, rc.right, rc.bottom}; }
}  // namespace

TEST_F(MsgFrameTest, ListAndTextViewStackUnderTheBarOnlyTheFilterBandWidensAndTheSplitterDrags) {
    auto band = [&](int i) {
        RECT rc{};
        ::SendMessageW(pane->bar(), RB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rc));
        return rc;
    };
    Resize(700, 400);
    const int barHeight = Height(InPane(pane->bar())), filter700 = Width(band(0)), options700 = Width(band(3));
    RECT outer{}, client{};
    ::GetWindowRect(pane->hwnd(), &outer);
    ::GetClientRect(pane->hwnd(), &client);
    const int edge = Height(outer) - Height(client);
    // Outer width, client height, the text view's height (bar, list and splitter take barHeight + 105).
    const struct { int width, height, text; } rows[] = {
        {3000, 260, 260 - barHeight - 105}, {520, barHeight + 106, 1}, {640, barHeight + 1, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height);
        Resize(row.width, row.height + edge);
        for (int i = 0; i < 50; ++i) pane->UpdateLayout(i % 2 == 0);  // repeated layouts must not pile up
        ::GetClientRect(pane->hwnd(), &client);
        const RECT bar = InPane(pane->bar()), list = InPane(pane->list());
        ASSERT_EQ(Height(client), row.height);
        EXPECT_EQ(Box(bar), (std::vector<long>{0, 0, client.right, barHeight}));
        EXPECT_EQ(Box(list), (std::vector<long>{0, bar.bottom, client.right, bar.bottom + 100}));
        const long textTop = list.bottom + CMsgFrame::kSplitterHeight;
        EXPECT_EQ(Box(InPane(pane->textView())), (std::vector<long>{0, textTop, client.right, textTop + row.text}));
        EXPECT_EQ(Width(band(0)) - filter700, row.width - 700);  // the filter band takes the change
        EXPECT_EQ(Width(band(3)), options700);
        EXPECT_EQ(std::make_pair(band(3).top, band(3).right), std::make_pair(band(0).top, client.right));
    }

    // The splitter leaves the text view a line of its font, the list its header and a row (30).
    Resize(760, 440);
    ::GetClientRect(pane->hwnd(), &client);
    const int splitterY = InPane(pane->list()).bottom + CMsgFrame::kSplitterHeight / 2;
    ::SendMessageW(pane->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, splitterY));
    EXPECT_EQ(::GetCapture(), pane->hwnd());
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, splitterY + 80));
    EXPECT_EQ(Height(InPane(pane->list())), 180);
    EXPECT_EQ(InPane(pane->textView()).top, InPane(pane->list()).bottom + CMsgFrame::kSplitterHeight);
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5000));
    EXPECT_GE(Height(InPane(pane->textView())), 12 + 2 * ::GetSystemMetrics(SM_CYDLGFRAME));
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, -500));
    EXPECT_EQ(pane->listHeight(), 30);
    ::SendMessageW(pane->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(200, 0));
    EXPECT_NE(::GetCapture(), pane->hwnd());
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(200, 300));
    EXPECT_EQ(pane->listHeight(), 30);
    // A child pane must not end the message loop when it goes, and takes its controls with it.
    const HWND windows[] = {pane->hwnd(), pane->textView(), pane->list(), pane->bar()};
    pane.reset();
    for (HWND w : windows) EXPECT_FALSE(::IsWindow(w));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}
