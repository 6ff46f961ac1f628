// Typing into the filter edit; focus and reflected notifications reach the pane's controls.
#include "msg_frame_fixture.h"

namespace {

void TypeInto(HWND edit, const std::wstring& text) {
    for (wchar_t c : text) ::SendMessageW(edit, WM_CHAR, c, 1);
}

// Records reflected notifications (WM_NOTIFY + 0x2000) arriving at a subclassed control.
std::vector<UINT> g_reflectedCodes;
WNDPROC g_listProcedure = nullptr;

LRESULT CALLBACK RecordingProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == 0x2000 + WM_NOTIFY && lParam) g_reflectedCodes.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
    return ::CallWindowProcW(g_listProcedure, hwnd, msg, wParam, lParam);
}

}  // namespace

TEST_F(MsgFrameTest, FilterLongerThanItsBoxIsStillTyped) {
    Resize(400, 300);
    HWND edit = pane->filterEdit();
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    std::wstring expression;
    for (int i = 0; i < 12; ++i) expression += L"(les=1" + std::to_wstring(i) + L") | ";
    expression += L"age_day<1";
    TypeInto(edit, expression);
    EXPECT_EQ(guitest::WindowText(edit), expression);
}

TEST_F(MsgFrameTest, FocusOnThePaneGoesToTheTextView) {
    ::SetFocus(pane->hwnd());
    guitest::Pump();
    EXPECT_EQ(::GetFocus(), pane->textView());
}

TEST_F(MsgFrameTest, NotificationsFromTheListAreReflectedToIt) {
    g_reflectedCodes.clear();
    g_listProcedure = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(pane->list(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProcedure)));
    NMHDR header{pane->list(), 0, static_cast<UINT>(NM_CLICK)};
    ::SendMessageW(pane->hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    ::SetWindowLongPtrW(pane->list(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProcedure));
    ASSERT_EQ(g_reflectedCodes.size(), 1u);
    EXPECT_EQ(g_reflectedCodes[0], static_cast<UINT>(NM_CLICK));
}
