// Pane switching and the layout on resize.
#include "win/main_frame_fixture.h"
#include "resource.h"

#include <richedit.h>

TEST_F(MainFrameTest, SwitchingPanesRemovesAndRestoresTheSpectrumRow) {
    const RECT gridRect = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    RECT barBefore{};
    ::GetWindowRect(guitest::TopBarOf(frame->hwnd()), &barBefore);

    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG_BUTTON), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 1);
    EXPECT_EQ(guitest::ShownPaneWindow(frame->hwnd()), guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG));
    EXPECT_TRUE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG)));
    EXPECT_FALSE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID)));
    EXPECT_TRUE(BandStyleOf(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM)) & RBBS_HIDDEN);
    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG_BUTTON), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    RECT barAfter{};
    ::GetWindowRect(guitest::TopBarOf(frame->hwnd()), &barAfter);
    const int lost = (barBefore.bottom - barBefore.top) - (barAfter.bottom - barAfter.top);
    EXPECT_GE(lost, 150);
    const RECT logRect = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG));
    EXPECT_EQ(logRect.top, gridRect.top - lost);
    EXPECT_EQ(logRect.bottom, gridRect.bottom);

    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_BUTTON), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 2);
    EXPECT_TRUE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_PANE)));
    EXPECT_FALSE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG)));
    EXPECT_EQ(ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_PANE)).top, logRect.top);

    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 0);
    EXPECT_FALSE(BandStyleOf(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM)) & RBBS_HIDDEN);
    const RECT back = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    EXPECT_EQ(back.top, gridRect.top);
    EXPECT_EQ(back.bottom, gridRect.bottom);
}

TEST_F(MainFrameTest, PaneCommandsSelectPanesToo) {
    Command(ID_PANE_DECODER_LOG);
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 1);
    Command(ID_PANE_MESSAGES);
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 2);
    Command(ID_PANE_FFT_SETTINGS);
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 0);
}

TEST_F(MainFrameTest, SelectingTheCurrentPaneDoesNotLayOutAgain) {
    // Move the pane by hand: a re-layout would put it back.
    ::SetWindowPos(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID), nullptr, 5, 5, 50, 50, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON), BM_CLICK, 0, 0);
    ::SendMessageW(frame->hwnd(), WM_COMMAND, ID_PANE_FFT_SETTINGS, 0);
    guitest::Pump();
    const RECT rc = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.right - rc.left, 50);
    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(MainFrameTest, ResizeReLaysOutButMinimisingDoesNot) {
    ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    guitest::Pump();
    RECT client{};
    ::GetClientRect(frame->hwnd(), &client);
    RECT grid = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    EXPECT_EQ(grid.right - grid.left, client.right);
    EXPECT_EQ(grid.bottom, client.bottom);

    ::ShowWindow(frame->hwnd(), SW_MINIMIZE);
    guitest::Pump();
    RECT whileMinimised{};
    ::GetWindowRect(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID), &whileMinimised);
    EXPECT_GT(whileMinimised.right - whileMinimised.left, 0);

    ::ShowWindow(frame->hwnd(), SW_RESTORE);
    guitest::Pump();
    RECT restored = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    EXPECT_EQ(restored.right - restored.left, grid.right - grid.left);
    EXPECT_EQ(restored.bottom - restored.top, grid.bottom - grid.top);
}

TEST_F(MainFrameTest, LogTextSurvivesPaneSwitches) {
    const wchar_t text[] = L"written while the settings pane was current\n";
    guitest::LogViewOf(frame->hwnd()).Append(text, RGB(100, 100, 200));
    Command(ID_PANE_DECODER_LOG);
    Command(ID_PANE_FFT_SETTINGS);
    Command(ID_PANE_DECODER_LOG);
    wchar_t back[128] = {};
    ::GetWindowTextW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), back, 128);
    EXPECT_NE(std::wstring(back).find(L"written while the settings pane"), std::wstring::npos);
}

TEST_F(MainFrameTest, HiddenPanesKeepTheCurrentPanesSize) {
    // A hidden log of no width would wrap every character onto its own line.
    ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 720, 520, SWP_NOMOVE | SWP_NOZORDER);
    guitest::Pump();
    const RECT grid = ClientRectIn(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    for (HWND pane : {guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), guitest::FindChild(frame->hwnd(), IDC_MESSAGES_PANE)}) {
        const RECT rc = ClientRectIn(pane);
        EXPECT_EQ(rc.left, grid.left);
        EXPECT_EQ(rc.top, grid.top);
        EXPECT_EQ(rc.right, grid.right);
        EXPECT_EQ(rc.bottom, grid.bottom);
    }
}
