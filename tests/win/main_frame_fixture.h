// A main window created in-process for each test, closed through its normal close path.
#pragma once
#include "app/main_frame.h"

#include <commctrl.h>
#include <richedit.h>
#include <gtest/gtest.h>

#include <memory>
#include "win/gui_support.h"
#include "win/main_window_parts.h"
#include "resource.h"
#include "settings/key_table.h"

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame = std::make_unique<CMainFrame>();
        ASSERT_NE(frame->CreateMainWindow(), nullptr);
        frame->CentreOnMonitor();
        if (showAtStart) Show();
    }
    void Show() {
        ::ShowWindow(frame->hwnd(), SW_SHOWNORMAL);
        ::UpdateWindow(frame->hwnd());
        guitest::Pump();
    }
    void TearDown() override {
        if (frame && frame->hwnd()) ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
        guitest::Pump();
        // The main window posts the quit message when it goes; keep it from ending later pumps.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        frame.reset();
    }

    RECT ClientRectIn(HWND child) const {
        RECT rc{};
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(nullptr, frame->hwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    // Style of the bar band whose child is `child`, or -1 when there is none.
    long BandStyleOf(HWND child) const {
        const int count = static_cast<int>(::SendMessageW(guitest::TopBarOf(frame->hwnd()), RB_GETBANDCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            REBARBANDINFOW band{};
            band.cbSize = sizeof(band);
            band.fMask = RBBIM_STYLE | RBBIM_CHILD;
            ::SendMessageW(guitest::TopBarOf(frame->hwnd()), RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
            if (band.hwndChild == child) return static_cast<long>(band.fStyle);
        }
        return -1;
    }
    void Command(UINT id) { ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    bool Checked(UINT id) const { return (::GetMenuState(frame->menu(), id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
    bool Grayed(UINT id) const { return (::GetMenuState(frame->menu(), id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

    std::unique_ptr<CMainFrame> frame;
    // Shown at the start. Under Wine without a window manager, hiding a shown top-level window (as its
    // close does) waits two seconds: fixtures that need no shown window leave it hidden.
    bool showAtStart = true;
};
