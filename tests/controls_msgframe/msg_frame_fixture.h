// A messages pane inside a plain 800x500 parent window, both shown, and helpers to read its layout.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/msg_frame.h"
#include "win/gui_support.h"
#include "win/window.h"

class MsgFrameTest : public ::testing::Test {
protected:
    // One parent for the whole suite: destroying a shown top-level window costs Wine about two
    // seconds, while the pane under test is made afresh for every case.
    static void SetUpTestSuite() {
        parent = new win::Window();
        parent->Create(nullptr, RECT{40, 40, 840, 540}, L"msgframe test", WS_OVERLAPPEDWINDOW, 0);
        ::ShowWindow(parent->hwnd(), SW_SHOWNOACTIVATE);
    }
    static void TearDownTestSuite() {
        delete parent;
        parent = nullptr;
        guitest::Pump();
    }
    void SetUp() override {
        ASSERT_TRUE(parent && parent->hwnd());
        pane = std::make_unique<CMsgFrame>();
        ASSERT_TRUE(pane->Create(parent->hwnd(), RECT{0, 0, 0, 0}, nullptr, WS_CHILD | WS_CLIPSIBLINGS,
                                 WS_EX_STATICEDGE));
        ::ShowWindow(pane->hwnd(), SW_SHOW);
        Resize(760, 440);
    }
    void TearDown() override {
        pane.reset();
        guitest::Pump();
    }

    // Gives the pane a new outer size, as the main window's layout does.
    void Resize(int width, int height) {
        ::SetWindowPos(pane->hwnd(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        guitest::Pump();
    }

    // A child's window rectangle in the pane's client coordinates.
    RECT InPane(HWND child) const {
        RECT rc{};
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(nullptr, pane->hwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    RECT PaneClient() const {
        RECT rc{};
        ::GetClientRect(pane->hwnd(), &rc);
        return rc;
    }
    int BandCount() const { return static_cast<int>(::SendMessageW(pane->bar(), RB_GETBANDCOUNT, 0, 0)); }
    RECT BandRect(int index) const {
        RECT rc{};
        ::SendMessageW(pane->bar(), RB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc));
        return rc;
    }
    static int Width(const RECT& rc) { return rc.right - rc.left; }
    static int Height(const RECT& rc) { return rc.bottom - rc.top; }

    // Everything a layout decides, for before/after comparisons.
    struct Layout {
        RECT bar, list, text, edit;
        std::vector<RECT> bands;
        bool operator==(const Layout& o) const {
            if (!Same(bar, o.bar) || !Same(list, o.list) || !Same(text, o.text) || !Same(edit, o.edit)) return false;
            if (bands.size() != o.bands.size()) return false;
            for (size_t i = 0; i < bands.size(); ++i)
                if (!Same(bands[i], o.bands[i])) return false;
            return true;
        }
        static bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }
    };
    Layout CurrentLayout() const {
        Layout l{InPane(pane->bar()), InPane(pane->list()), InPane(pane->textView()), InPane(pane->filterEdit()), {}};
        for (int i = 0; i < BandCount(); ++i) l.bands.push_back(BandRect(i));
        return l;
    }

    static inline win::Window* parent = nullptr;
    std::unique_ptr<CMsgFrame> pane;
};
