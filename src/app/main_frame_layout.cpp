// Pane selection and the bands of the main window's bar.
#include "app/main_frame.h"

#include "settings/config_rules.h"

void CMainFrame::SelectPane(Pane pane) {
    if (pane == currentPane_) return;
    currentPane_ = pane;
    HWND grid = settingsGrid_.hwnd();
    HWND messages = messagesPane_.hwnd();
    HWND display = spectrumDisplay_.hwnd();
    switch (pane) {
    case Pane::FftSettings:
        clientWindow = grid;
        ::ShowWindow(grid, SW_SHOW);
        FrameWindow::SetBandVisible(topBar, display, true);
        ::ShowWindow(decoderLog_.hwnd(), SW_HIDE);
        ::ShowWindow(messages, SW_HIDE);
        break;
    case Pane::DecoderLog:
        clientWindow = decoderLog_.hwnd();
        ::ShowWindow(decoderLog_.hwnd(), SW_SHOW);
        ::ShowWindow(grid, SW_HIDE);
        ::ShowWindow(messages, SW_HIDE);
        FrameWindow::SetBandVisible(topBar, display, false);
        break;
    case Pane::Messages:
        clientWindow = messages;
        ::ShowWindow(messages, SW_SHOW);
        ::ShowWindow(decoderLog_.hwnd(), SW_HIDE);
        ::ShowWindow(grid, SW_HIDE);
        FrameWindow::SetBandVisible(topBar, display, false);
        break;
    case Pane::Map:
        clientWindow = mapPane_.hwnd();
        ::ShowWindow(messages, SW_HIDE);
        ::ShowWindow(decoderLog_.hwnd(), SW_HIDE);
        ::ShowWindow(grid, SW_HIDE);
        FrameWindow::SetBandVisible(topBar, display, false);
        RefreshMap();
        break;
    }
    ::ShowWindow(mapPane_.hwnd(), pane == Pane::Map ? SW_SHOW : SW_HIDE);
    UpdateLayout(true);
    ::SendMessageW(fftSettingsButton_, BM_SETCHECK, pane == Pane::FftSettings ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(decoderLogButton_, BM_SETCHECK, pane == Pane::DecoderLog ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(messagesButton_, BM_SETCHECK, pane == Pane::Messages ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(mapButton_, BM_SETCHECK, pane == Pane::Map ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CMainFrame::PackBands() { FrameWindow::PackBands(topBar); }

void CMainFrame::UpdateLayout(bool resizeBars) {
    FrameWindow::UpdateLayout(resizeBars);
    // Hidden panes always have the current pane's size: a hidden log or list then needs no new layout
    // when it is shown, and the messages pane's rich edit does not wrap its text at no width.
    if (!clientWindow) return;
    RECT rect{};
    ::GetWindowRect(clientWindow, &rect);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    for (HWND pane : {settingsGrid_.hwnd(), decoderLog_.hwnd(), messagesPane_.hwnd(), mapPane_.hwnd()}) {
        if (!pane || pane == clientWindow) continue;
        ::SetWindowPos(pane, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CMainFrame::RefreshMap() {
    if (const auto* query = messagesPane_.query()) mapPane_.Load(query->path(), query->countSql());
    const auto home = settings::HomePositionOf(CurrentSettings().homePosition);
    mapPane_.SetHome(home ? std::optional<map::GeoPoint>(map::GeoPoint{home->lon, home->lat}) : std::nullopt);
    mapPane_.SetSelected(messagesPane_.selectedId());
}
