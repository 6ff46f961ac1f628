// A messages pane in a plain parent window on a store file of the test's own, and what it shows.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "browser_model/browser_store.h"
#include "controls/msg_frame.h"
#include "decoder/utc_clock.h"
#include "messages/warning_rows.h"
#include "win/gui_support.h"
#include "win/window.h"

using Texts = std::vector<std::wstring>;

class MsgFrameTest : public ::testing::Test {
protected:
    // One parent for the suite (closing a shown window costs Wine 2 s); it hears the unread count.
    static void SetUpTestSuite() {
        parent = new win::Window();
        parent->Create(nullptr, RECT{40, 40, 840, 540}, L"msgframe test", WS_OVERLAPPEDWINDOW, 0);
        ::ShowWindow(parent->hwnd(), SW_SHOWNOACTIVATE);
        ::SetWindowSubclass(parent->hwnd(), HearUnread, 7, 0);
    }
    static void TearDownTestSuite() { delete parent; }
    void SetUp() override {
        notifiedUnread = -1;
        pane = std::make_unique<CMsgFrame>();
        ASSERT_TRUE(pane->Create(parent->hwnd(), RECT{0, 0, 0, 0}, nullptr, WS_CHILD | WS_CLIPSIBLINGS, WS_EX_STATICEDGE));
        ::ShowWindow(pane->hwnd(), SW_SHOW);
        Resize(760, 440);
        store = std::make_unique<browsertest::StoreFile>(std::string("pane_") +
                                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        pane.reset();  // its connection goes before the file
        store.reset();
        guitest::Pump();
    }
    static LRESULT CALLBACK HearUnread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
        if (msg == WM_NOTIFY && static_cast<int>(reinterpret_cast<NMHDR*>(lParam)->code) == MSGFRAME_UNREAD_CHANGED)
            notifiedUnread = reinterpret_cast<MsgFrameUnread*>(lParam)->unread;
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    void Resize(int width, int height) {
        ::SetWindowPos(pane->hwnd(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        guitest::Pump();
    }
    RECT InPane(HWND child) const {
        RECT rc{};
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(nullptr, pane->hwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

    // Messages heard minutes ago, read by the store (warnings) or not.
    std::int64_t Add(int minutesAgo, std::int64_t les, std::int64_t frame, const std::string& text) {
        return store->Add(browsertest::Message(decoder::SystemUtcMs() - minutesAgo * 60'000LL, les, frame, text));
    }
    std::int64_t Heard(int minutesAgo, const std::string& text) {
        const std::int64_t id = Add(minutesAgo, 121, 100 - minutesAgo, text);
        messages::ReadUnreadMessages(store->database(), 10);
        return id;
    }
    // 1165 (a wreck), HYDROLANT 2300 (near Plymouth), 1170 (a buoy), 1190 (cancels 1165); 1165's id.
    std::int64_t HearFourWarnings() {
        const std::int64_t wreck = Heard(60, "NAVAREA IV 1165/22\nWRECK 28-30N 080-30W.");
        Heard(50, "HYDROLANT 2300/26\nBUOY ADRIFT WITHIN 5 MILES OF 50-30N 004-00W.");
        Heard(40, "NAVAREA IV 1170/22\nBUOY ADRIFT 28-10N 080-10W.");
        Heard(30, "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.");
        return wreck;
    }    // Browses the store and searches for `expression` (the pane's first filter when none).
    void Browse(const wchar_t* expression = nullptr) {
        pane->SetStorePath(store->fsPath().wstring());
        guitest::Pump();
        if (expression) SearchFor(expression);
    }
    void SearchFor(const std::wstring& expression) {
        ::SetWindowTextW(pane->filterEdit(), expression.c_str());
        ::SendMessageW(pane->searchButton(), BM_CLICK, 0, 0);
        guitest::Pump();
    }

    int ItemCount() const { return ListView_GetItemCount(pane->list()); }
    std::wstring Cell(int item, int column) const {
        wchar_t text[512] = {};
        ListView_GetItemText(pane->list(), item, column, text, 512);
        return text;
    }
    // Every row's cell in `column` (6: the message's first line, 7: the warning) top to bottom; on
    // the board, headers and missing rows have theirs in column 0.
    Texts Shown(int column = 6) const {
        Texts out;
        for (int i = 0; i < ItemCount(); ++i) out.push_back(column == 7 && Cell(i, 7).empty() ? Cell(i, 0) : Cell(i, column));
        return out;
    }
    int Selected() const { return ListView_GetNextItem(pane->list(), -1, LVNI_SELECTED); }
    void Select(int item) {
        ListView_SetItemState(pane->list(), item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        guitest::Pump();
    }
    int TopRow() const { return ListView_GetTopIndex(pane->list()); }
    // The text view's text with the rich edit's paragraph ends (CR) back as line feeds.
    std::wstring ViewText() const {
        std::wstring text = guitest::WindowText(pane->textView()), out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            out += text[i] == L'\r' ? L'\n' : text[i];
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        }
        return out;
    }
    // A key pressed in `control` (focused first), with Ctrl held when asked.
    void Press(HWND control, UINT key, bool ctrl = false) {
        ::SetFocus(control);
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        ::SetKeyboardState(keys);
        ::SendMessageW(control, WM_KEYDOWN, key, 1);
        keys[VK_CONTROL] = 0;
        ::SetKeyboardState(keys);
        guitest::Pump();
    }

    static inline win::Window* parent = nullptr;
    static inline std::int64_t notifiedUnread = -1;  // the last unread count the pane sent its parent
    std::unique_ptr<CMsgFrame> pane;
    std::unique_ptr<browsertest::StoreFile> store;
};
