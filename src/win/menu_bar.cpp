#include "win/menu_bar.h"

#include <commctrl.h>

#include <cwctype>
#include <vector>

namespace win {
namespace {

const wchar_t kClassName[] = L"CV_CommandBar";
constexpr int kFirstButtonId = 0xE100;  // ids nobody else uses; the bar handles its own clicks
thread_local MenuBar* g_tracking = nullptr;
thread_local HHOOK g_filterHook = nullptr;

wchar_t MnemonicOf(const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'&') {
            if (p[1] == L'&') {
                ++p;
                continue;
            }
            return static_cast<wchar_t>(std::towlower(p[1]));
        }
    }
    return 0;
}

}  // namespace

MenuBar::~MenuBar() {
    if (menu_) ::DestroyMenu(menu_);
}

HWND MenuBar::CreateBar(HWND parent, const RECT& rect, DWORD style) {
    RegisterSuperclass(TOOLBARCLASSNAMEW, kClassName);
    HWND bar = CreateWithClass(kClassName, parent, rect, nullptr, style, 0);
    if (!bar) return nullptr;
    ::SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
    ::SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return bar;
}

bool MenuBar::LoadMenuResource(HINSTANCE instance, UINT id) {
    HMENU loaded = ::LoadMenuW(instance, MAKEINTRESOURCEW(id));
    if (!loaded) return false;
    if (menu_) ::DestroyMenu(menu_);
    menu_ = loaded;
    const int count = ::GetMenuItemCount(menu_);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(menu_, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        TBBUTTON button{};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = kFirstButtonId + i;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        button.iString = reinterpret_cast<INT_PTR>(text);
        ::SendMessageW(hwnd(), TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    ::SendMessageW(hwnd(), TB_AUTOSIZE, 0, 0);
    return true;
}

int MenuBar::titleCount() const noexcept { return menu_ ? ::GetMenuItemCount(menu_) : 0; }

int MenuBar::HitTest(POINT clientPoint) const {
    const int count = titleCount();
    for (int i = 0; i < count; ++i) {
        RECT rc{};
        if (::SendMessageW(hwnd(), TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rc)) &&
            ::PtInRect(&rc, clientPoint))
            return i;
    }
    return -1;
}

LRESULT CALLBACK MenuBar::MenuFilter(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    MenuBar* bar = g_tracking;
    if (code == MSGF_MENU && bar && msg) {
        const int count = bar->titleCount();
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_LEFT || msg->wParam == VK_RIGHT) && count > 1) {
            const int step = msg->wParam == VK_RIGHT ? 1 : count - 1;
            bar->nextIndex_ = (bar->openIndex_ + step) % count;
            ::SendMessageW(::GetAncestor(bar->hwnd(), GA_ROOT), WM_CANCELMODE, 0, 0);
            return 1;
        }
        if (msg->message == WM_MOUSEMOVE) {
            POINT pt{static_cast<short>(LOWORD(msg->lParam)), static_cast<short>(HIWORD(msg->lParam))};
            ::ScreenToClient(bar->hwnd(), &pt);
            const int hit = bar->HitTest(pt);
            if (hit >= 0 && hit != bar->openIndex_) {
                bar->nextIndex_ = hit;
                ::SendMessageW(::GetAncestor(bar->hwnd(), GA_ROOT), WM_CANCELMODE, 0, 0);
                return 1;
            }
        }
    }
    return ::CallNextHookEx(g_filterHook, code, wParam, lParam);
}

void MenuBar::DropDown(int index) {
    HWND owner = ::GetAncestor(hwnd(), GA_ROOT);
    while (index >= 0 && index < titleCount()) {
        HMENU popup = ::GetSubMenu(menu_, index);
        if (!popup) break;
        RECT rc{};
        ::SendMessageW(hwnd(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc));
        ::MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&rc), 2);
        const int id = kFirstButtonId + index;
        ::SendMessageW(hwnd(), TB_PRESSBUTTON, static_cast<WPARAM>(id), TRUE);
        openIndex_ = index;
        nextIndex_ = -1;
        g_tracking = this;
        g_filterHook = ::SetWindowsHookExW(WH_MSGFILTER, MenuFilter, nullptr, ::GetCurrentThreadId());
        TPMPARAMS params{sizeof(params), rc};
        ::TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON, rc.left, rc.bottom,
                           owner, &params);
        if (g_filterHook) ::UnhookWindowsHookEx(g_filterHook);
        g_filterHook = nullptr;
        g_tracking = nullptr;
        ::SendMessageW(hwnd(), TB_PRESSBUTTON, static_cast<WPARAM>(id), FALSE);
        openIndex_ = -1;
        index = nextIndex_;
    }
}

bool MenuBar::OpenFromKeyboard(wchar_t letter) {
    const int count = titleCount();
    if (count == 0) return false;
    if (letter == 0 || letter == L' ') {
        if (letter == L' ') return false;
        DropDown(0);
        return true;
    }
    const wchar_t wanted = static_cast<wchar_t>(std::towlower(letter));
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(menu_, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        if (MnemonicOf(text) == wanted) {
            DropDown(i);
            return true;
        }
    }
    ::MessageBeep(0);
    return false;
}

void MenuBar::ShowChevronMenu(const RECT& screenChevron) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    HMENU popup = ::CreatePopupMenu();
    if (!popup) return;
    const int count = titleCount();
    int added = 0;
    for (int i = 0; i < count; ++i) {
        RECT rc{};
        ::SendMessageW(hwnd(), TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rc));
        if (rc.right <= client.right) continue;  // fully shown in the band
        wchar_t text[128] = {};
        ::GetMenuStringW(menu_, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        ::AppendMenuW(popup, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(::GetSubMenu(menu_, i)), text);
        ++added;
    }
    if (added)
        ::TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, screenChevron.left,
                           screenChevron.bottom, ::GetAncestor(hwnd(), GA_ROOT), nullptr);
    // The sub-menus belong to the menu resource: detach them before the pop-up goes.
    while (::GetMenuItemCount(popup) > 0) ::RemoveMenu(popup, 0, MF_BYPOSITION);
    ::DestroyMenu(popup);
}

LRESULT MenuBar::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_LBUTTONDOWN: {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const int hit = HitTest(pt);
        if (hit >= 0) {
            DropDown(hit);
            return 0;
        }
        break;
    }
    case WM_LBUTTONDBLCLK:
        return 0;
    default:
        break;
    }
    return DefaultHandling(msg, wParam, lParam);
}

}  // namespace win
