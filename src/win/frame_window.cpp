#include "win/frame_window.h"

#include <commctrl.h>

#include "win/menu_bar.h"

namespace win {

HWND FrameWindow::CreateTopBar(DWORD style) {
    HWND bar = ::CreateWindowExW(0, REBARCLASSNAMEW, nullptr, style, 0, 0, 100, 100, hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kTopBarId)), Instance(), nullptr);
    if (!bar) return nullptr;
    REBARINFO info{};
    info.cbSize = sizeof(info);
    if (!::SendMessageW(bar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info))) {
        ::DestroyWindow(bar);
        return nullptr;
    }
    return bar;
}

bool FrameWindow::InsertBand(HWND bar, HWND child, const wchar_t* label, UINT style, int width, int minHeight) {
    if (!bar) return false;
    REBARBANDINFOW band{};
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE | RBBIM_TEXT;
    band.fStyle = style;
    band.lpText = const_cast<wchar_t*>(label ? label : L"");
    band.hwndChild = child;
    band.cxMinChild = static_cast<UINT>(width);
    band.cyMinChild = static_cast<UINT>(minHeight);
    band.cx = static_cast<UINT>(width);
    band.cxIdeal = static_cast<UINT>(width);
    return rebar::InsertBand(bar, band);
}

void FrameWindow::PackBands(HWND bar) {
    if (!bar) return;
    const int count = rebar::BandCount(bar);
    rebar::ForEachBand(bar, RBBIM_SIZE, [&](int i, REBARBANDINFOW band) {
        const int width = static_cast<int>(band.cx) + (i == count - 1 ? 1000 : -1000);
        band.cx = static_cast<UINT>(width < 0 ? 0 : width);
        rebar::SetBand(bar, i, band);
    });
}

void FrameWindow::SetBandVisible(HWND bar, HWND child, bool visible) {
    if (!bar) return;
    const int count = rebar::BandCount(bar);
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band = rebar::GetBand(bar, i, RBBIM_STYLE | RBBIM_CHILD);
        if (band.hwndChild != child) continue;
        if (visible)
            band.fStyle &= ~RBBS_HIDDEN;
        else
            band.fStyle |= RBBS_HIDDEN;
        band.fMask = RBBIM_STYLE;
        rebar::SetBand(bar, i, band);
        return;
    }
}

RECT FrameWindow::PlaceTopBar(bool resizeBars) {
    RECT rect{};
    ::GetClientRect(hwnd(), &rect);
    if (topBar && (::GetWindowLongW(topBar, GWL_STYLE) & WS_VISIBLE)) {
        if (resizeBars) {
            ::SendMessageW(topBar, WM_SIZE, 0, 0);
            ::InvalidateRect(topBar, nullptr, FALSE);
        }
        RECT barRect{};
        ::GetWindowRect(topBar, &barRect);
        rect.top += barRect.bottom - barRect.top;
    }
    return rect;
}

void FrameWindow::UpdateLayout(bool resizeBars) {
    const RECT rect = PlaceTopBar(resizeBars);
    if (clientWindow) {
        ::SetWindowPos(clientWindow, nullptr, rect.left, rect.top, rect.right - rect.left,
                       rect.bottom > rect.top ? rect.bottom - rect.top : 0, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FrameWindow::OnChevronPushed(const NMREBARCHEVRON& info) {
    const REBARBANDINFOW band = rebar::GetBand(topBar, static_cast<int>(info.uBand), RBBIM_CHILD);
    if (!frameMenuBar || band.hwndChild != frameMenuBar->hwnd()) return;
    RECT chevron = info.rc;
    ::MapWindowPoints(topBar, nullptr, reinterpret_cast<POINT*>(&chevron), 2);
    frameMenuBar->ShowChevronMenu(chevron);
}

bool FrameWindow::HandleFrameMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) UpdateLayout(true);
        return false;  // default handling continues
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr && topBar && hdr->hwndFrom == topBar && hdr->code == RBN_CHEVRONPUSHED) {
            OnChevronPushed(*reinterpret_cast<const NMREBARCHEVRON*>(lParam));
            result = 0;
            return true;
        }
        return false;
    }
    case WM_DESTROY:
        if (!(::GetWindowLongW(hwnd(), GWL_STYLE) & (WS_CHILD | WS_POPUP))) ::PostQuitMessage(1);
        return false;
    case WM_SETFOCUS:
        if (clientWindow && ::IsWindow(clientWindow)) ::SetFocus(clientWindow);
        return false;
    case WM_ERASEBKGND:
        if (clientWindow) {
            result = 1;
            return true;
        }
        return false;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU && frameMenuBar && frameMenuBar->hwnd()) {
            frameMenuBar->OpenFromKeyboard(static_cast<wchar_t>(lParam));
            result = 0;
            return true;
        }
        return false;
    default:
        return false;
    }
}

}  // namespace win
