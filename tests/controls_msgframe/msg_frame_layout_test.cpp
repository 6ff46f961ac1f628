// Layout: the filter band takes the spare width of the bar, the list starts 100 pixels high under
// the bar, the splitter follows it, and the text view takes what is left.
#include "msg_frame_fixture.h"

namespace {

struct Size {
    int width, height;
};

}  // namespace

TEST_F(MsgFrameTest, ListAndTextViewStackUnderTheBarAtEverySize) {
    for (Size size : {Size{760, 440}, Size{500, 300}, Size{1200, 700}, Size{900, 260}, Size{640, 480}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        Resize(size.width, size.height);
        const RECT client = PaneClient();
        const RECT bar = InPane(pane->bar());
        const RECT list = InPane(pane->list());
        const RECT text = InPane(pane->textView());
        EXPECT_EQ(bar.top, 0);
        EXPECT_EQ(Width(bar), Width(client));
        EXPECT_GT(Height(bar), 0);

        EXPECT_EQ(list.top, bar.bottom);
        EXPECT_EQ(list.left, 0);
        EXPECT_EQ(Width(list), Width(client));
        EXPECT_EQ(Height(list), 100);

        EXPECT_EQ(text.top, list.bottom + CMsgFrame::kSplitterHeight);
        EXPECT_EQ(text.left, 0);
        EXPECT_EQ(Width(text), Width(client));
        EXPECT_EQ(text.bottom, client.bottom);
    }
}

TEST_F(MsgFrameTest, ShortPaneLeavesTheTextViewNoHeightButKeepsTheList) {
    const int barHeight = Height(InPane(pane->bar()));
    RECT outer{};
    ::GetWindowRect(pane->hwnd(), &outer);
    const int frame = Height(outer) - Height(PaneClient());  // the static edge around the client area
    for (int clientHeight : {barHeight + 100 + CMsgFrame::kSplitterHeight, barHeight + 60, barHeight + 1, 10}) {
        SCOPED_TRACE(clientHeight);
        Resize(600, clientHeight + frame);
        ASSERT_EQ(Height(PaneClient()), clientHeight);
        const RECT list = InPane(pane->list());
        const RECT text = InPane(pane->textView());
        EXPECT_EQ(Height(list), 100);
        EXPECT_EQ(list.top, InPane(pane->bar()).bottom);
        EXPECT_EQ(Height(text), 0);
        EXPECT_EQ(text.top, list.bottom + CMsgFrame::kSplitterHeight);
    }
    // One pixel more than bar, list and splitter gives the text view exactly one pixel.
    Resize(600, barHeight + 101 + CMsgFrame::kSplitterHeight + frame);
    EXPECT_EQ(Height(InPane(pane->textView())), 1);
}

TEST_F(MsgFrameTest, FilterBandWidensAndNarrowsWhileButtonBandsKeepTheirWidths) {
    Resize(700, 400);
    const RECT filterBefore = BandRect(0);
    int buttonWidths[3];
    for (int i = 0; i < 3; ++i) buttonWidths[i] = Width(BandRect(i + 1));
    const HWND buttons[3] = {pane->searchButton(), pane->quickFilterButton(), pane->optionsButton()};
    const int childWidths[3] = {60, 70, 60};

    for (int width : {900, 1500, 520, 700, 3000}) {
        SCOPED_TRACE(width);
        Resize(width, 400);
        const RECT filter = BandRect(0);
        // All four bands share one row: the filter band's change is exactly the pane's change.
        EXPECT_EQ(filter.top, filterBefore.top);
        EXPECT_EQ(Width(filter) - Width(filterBefore), width - 700);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const RECT band = BandRect(i + 1);
            EXPECT_EQ(band.top, filter.top);
            EXPECT_EQ(Width(band), buttonWidths[i]);
            EXPECT_EQ(Width(InPane(buttons[i])), childWidths[i]);
        }
        // The last band ends at the bar's right edge: no spare width is left over.
        EXPECT_EQ(BandRect(3).right, Width(PaneClient()));
        // The filter edit grows with its band.
        EXPECT_GT(Width(InPane(pane->filterEdit())), Width(filter) - 150);
    }
}

TEST_F(MsgFrameTest, ManyLayoutsKeepTheFilterBandRequestBounded) {
    // Each layout widens the filter band; repeated layouts must not pile the widenings up (the bar
    // keeps the requested width, not the width it shows).
    for (int i = 0; i < 200; ++i) pane->UpdateLayout(i % 2 == 0);
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_SIZE;
    ::SendMessageW(pane->bar(), RB_GETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
    EXPECT_LE(band.cx, static_cast<UINT>(Width(PaneClient()) + CMsgFrame::kFilterBandGrowth));
    EXPECT_EQ(BandRect(3).right, Width(PaneClient()));
    EXPECT_EQ(Height(InPane(pane->list())), 100);
}

TEST_F(MsgFrameTest, MinimisedSizeMessageDoesNotLayOut) {
    const Layout before = CurrentLayout();
    // Move the list by hand: a layout would put it back.
    ::SetWindowPos(pane->list(), nullptr, 3, 3, 40, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(pane->hwnd(), WM_SIZE, SIZE_MINIMIZED, 0);
    const RECT moved = InPane(pane->list());
    EXPECT_EQ(moved.left, 3);
    EXPECT_EQ(Width(moved), 40);

    const RECT client = PaneClient();
    ::SendMessageW(pane->hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(Width(client), Height(client)));
    EXPECT_TRUE(CurrentLayout() == before);
}

TEST_F(MsgFrameTest, BarAutosizeNotificationLaysOutAgain) {
    const Layout before = CurrentLayout();
    ::SetWindowPos(pane->textView(), nullptr, 7, 7, 30, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(pane->list(), nullptr, 9, 9, 30, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    NMRBAUTOSIZE info{};
    info.hdr.hwndFrom = pane->bar();
    info.hdr.idFrom = 0xE800;
    info.hdr.code = RBN_AUTOSIZE;
    ::SendMessageW(pane->hwnd(), WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&info));
    EXPECT_TRUE(CurrentLayout() == before);

    // The same code from another window is not the bar's: nothing moves.
    ::SetWindowPos(pane->list(), nullptr, 9, 9, 30, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    info.hdr.hwndFrom = pane->list();
    ::SendMessageW(pane->hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(InPane(pane->list()).left, 9);
}
