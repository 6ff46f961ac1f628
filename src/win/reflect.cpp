#include "win/reflect.h"

namespace win {

bool IsReflectable(UINT msg) noexcept {
    switch (msg) {
    case WM_NOTIFY: case WM_DRAWITEM: case WM_MEASUREITEM: case WM_DELETEITEM: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_HSCROLL: case WM_VSCROLL:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_PARENTNOTIFY:
        return true;
    default:
        return false;
    }
}

HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    switch (msg) {
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return dis && dis->CtlType != ODT_MENU ? dis->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        return mis && mis->CtlType != ODT_MENU ? ::GetDlgItem(parent, static_cast<int>(mis->CtlID)) : nullptr;
    }
    case WM_DELETEITEM:
        return lParam ? reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_COMPAREITEM:
        return lParam ? reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE: case WM_DESTROY:
            return reinterpret_cast<HWND>(lParam);
        default: {
            POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            HWND child = ::ChildWindowFromPoint(parent, pt);
            return child == parent ? nullptr : child;
        }
        }
    default:
        return IsReflectable(msg) ? reinterpret_cast<HWND>(lParam) : nullptr;
    }
}

bool ReflectNotification(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    if (!IsReflectable(msg)) return false;
    HWND target = ReflectionTarget(parent, msg, wParam, lParam);
    if (!target || target == parent || !::IsWindow(target)) return false;
    result = ::SendMessageW(target, kReflectBase + msg, wParam, lParam);
    return true;
}

}  // namespace win
