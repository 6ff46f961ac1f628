// Pane switching and the layout on resize.
#include "win/main_frame_fixture.h"
#include "resource.h"

#include <richedit.h>

TEST_F(MainFrameTest, SwitchingPanesRemovesAndRestoresTheSpectrumRow) {
    const RECT gridRect = ClientRectIn(frame->settingsGrid.hwnd());
    RECT barBefore{};
    ::GetWindowRect(frame->topBar, &barBefore);

    ::SendMessageW(frame->decoderLogButton, BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(frame->currentPane, 1);
    EXPECT_EQ(frame->clientWindow, frame->decoderLog.hwnd());
    EXPECT_TRUE(::IsWindowVisible(frame->decoderLog.hwnd()));
    EXPECT_FALSE(::IsWindowVisible(frame->settingsGrid.hwnd()));
    EXPECT_TRUE(BandStyleOf(frame->spectrumDisplay.hwnd()) & RBBS_HIDDEN);
    EXPECT_EQ(::SendMessageW(frame->decoderLogButton, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(frame->fftSettingsButton, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    RECT barAfter{};
    ::GetWindowRect(frame->topBar, &barAfter);
    const int lost = (barBefore.bottom - barBefore.top) - (barAfter.bottom - barAfter.top);
    EXPECT_GE(lost, 150);
    const RECT logRect = ClientRectIn(frame->decoderLog.hwnd());
    EXPECT_EQ(logRect.top, gridRect.top - lost);
    EXPECT_EQ(logRect.bottom, gridRect.bottom);

    ::SendMessageW(frame->messagesButton, BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(frame->currentPane, 2);
    EXPECT_TRUE(::IsWindowVisible(frame->messagesPane.hwnd()));
    EXPECT_FALSE(::IsWindowVisible(frame->decoderLog.hwnd()));
    EXPECT_EQ(ClientRectIn(frame->messagesPane.hwnd()).top, logRect.top);

    ::SendMessageW(frame->fftSettingsButton, BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(frame->currentPane, 0);
    EXPECT_FALSE(BandStyleOf(frame->spectrumDisplay.hwnd()) & RBBS_HIDDEN);
    const RECT back = ClientRectIn(frame->settingsGrid.hwnd());
    EXPECT_EQ(back.top, gridRect.top);
    EXPECT_EQ(back.bottom, gridRect.bottom);
}

TEST_F(MainFrameTest, PaneCommandsSelectPanesToo) {
    Command(ID_PANE_DECODER_LOG);
    EXPECT_EQ(frame->currentPane, 1);
    Command(ID_PANE_MESSAGES);
    EXPECT_EQ(frame->currentPane, 2);
    Command(ID_PANE_FFT_SETTINGS);
    EXPECT_EQ(frame->currentPane, 0);
}

TEST_F(MainFrameTest, SelectingTheCurrentPaneDoesNotLayOutAgain) {
    // Move the pane by hand: a re-layout would put it back.
    ::SetWindowPos(frame->settingsGrid.hwnd(), nullptr, 5, 5, 50, 50, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(frame->fftSettingsButton, BM_CLICK, 0, 0);
    frame->SelectPane(0);
    guitest::Pump();
    const RECT rc = ClientRectIn(frame->settingsGrid.hwnd());
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.right - rc.left, 50);
    EXPECT_EQ(::SendMessageW(frame->fftSettingsButton, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(MainFrameTest, ResizeReLaysOutButMinimisingDoesNot) {
    ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    guitest::Pump();
    RECT client{};
    ::GetClientRect(frame->hwnd(), &client);
    RECT grid = ClientRectIn(frame->settingsGrid.hwnd());
    EXPECT_EQ(grid.right - grid.left, client.right);
    EXPECT_EQ(grid.bottom, client.bottom);

    ::ShowWindow(frame->hwnd(), SW_MINIMIZE);
    guitest::Pump();
    RECT whileMinimised{};
    ::GetWindowRect(frame->settingsGrid.hwnd(), &whileMinimised);
    EXPECT_GT(whileMinimised.right - whileMinimised.left, 0);

    ::ShowWindow(frame->hwnd(), SW_RESTORE);
    guitest::Pump();
    RECT restored = ClientRectIn(frame->settingsGrid.hwnd());
    EXPECT_EQ(restored.right - restored.left, grid.right - grid.left);
    EXPECT_EQ(restored.bottom - restored.top, grid.bottom - grid.top);
}

TEST_F(MainFrameTest, LogTextSurvivesPaneSwitches) {
    const wchar_t text[] = L"written while the settings pane was current\n";
    frame->decoderLog.Append(text, -1, &frame->logFormats[1]);
    Command(ID_PANE_DECODER_LOG);
    Command(ID_PANE_FFT_SETTINGS);
    Command(ID_PANE_DECODER_LOG);
    wchar_t back[128] = {};
    ::GetWindowTextW(frame->decoderLog.hwnd(), back, 128);
    EXPECT_NE(std::wstring(back).find(L"written while the settings pane"), std::wstring::npos);
}

TEST_F(MainFrameTest, HiddenPanesKeepTheCurrentPanesSize) {
    // A hidden log of no width would wrap every character onto its own line.
    ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 720, 520, SWP_NOMOVE | SWP_NOZORDER);
    guitest::Pump();
    const RECT grid = ClientRectIn(frame->settingsGrid.hwnd());
    for (HWND pane : {frame->decoderLog.hwnd(), frame->messagesPane.hwnd()}) {
        const RECT rc = ClientRectIn(pane);
        EXPECT_EQ(rc.left, grid.left);
        EXPECT_EQ(rc.top, grid.top);
        EXPECT_EQ(rc.right, grid.right);
        EXPECT_EQ(rc.bottom, grid.bottom);
    }
}
