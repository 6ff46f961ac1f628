// Pane selection and the bands of the main window's bar.
#include "app/main_frame.h"

#include "settings/config_rules.h"

void CMainFrame::SelectPane(int pane) {
    if (pane == currentPane) return;
    currentPane = pane;
    HWND grid = settingsGrid.hwnd();
    HWND messages = messagesPane.hwnd();
    HWND display = spectrumDisplay.hwnd();
    switch (pane) {
    case kPaneFftSettings:
        clientWindow = grid;
        ::ShowWindow(grid, SW_SHOW);
        SetBandVisible(display, true);
        ::ShowWindow(decoderLog.hwnd(), SW_HIDE);
        ::ShowWindow(messages, SW_HIDE);
        break;
    case kPaneDecoderLog:
        clientWindow = decoderLog.hwnd();
        ::ShowWindow(decoderLog.hwnd(), SW_SHOW);
        ::ShowWindow(grid, SW_HIDE);
        ::ShowWindow(messages, SW_HIDE);
        SetBandVisible(display, false);
        break;
    case kPaneMessages:
        clientWindow = messages;
        ::ShowWindow(messages, SW_SHOW);
        ::ShowWindow(decoderLog.hwnd(), SW_HIDE);
        ::ShowWindow(grid, SW_HIDE);
        SetBandVisible(display, false);
        break;
    case kPaneMap:
        clientWindow = mapPane.hwnd();
        ::ShowWindow(messages, SW_HIDE);
        ::ShowWindow(decoderLog.hwnd(), SW_HIDE);
        ::ShowWindow(grid, SW_HIDE);
        SetBandVisible(display, false);
        RefreshMap();
        break;
    default:
        return;
    }
    ::ShowWindow(mapPane.hwnd(), pane == kPaneMap ? SW_SHOW : SW_HIDE);
    UpdateLayout(true);
    ::SendMessageW(fftSettingsButton, BM_SETCHECK, pane == kPaneFftSettings ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(decoderLogButton, BM_SETCHECK, pane == kPaneDecoderLog ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(messagesButton, BM_SETCHECK, pane == kPaneMessages ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(mapButton, BM_SETCHECK, pane == kPaneMap ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CMainFrame::SetBandVisible(HWND child, bool visible) { FrameWindow::SetBandVisible(topBar, child, visible); }

void CMainFrame::PackBands() { FrameWindow::PackBands(topBar); }

void CMainFrame::UpdateLayout(bool resizeBars) {
    FrameWindow::UpdateLayout(resizeBars);
    // Hidden panes always have the current pane's size: a hidden log or list then needs no new layout
    // when it is shown, and the messages pane's rich edit does not wrap its text at no width.
    if (!clientWindow) return;
    RECT rect{};
    ::GetWindowRect(clientWindow, &rect);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    for (HWND pane : {settingsGrid.hwnd(), decoderLog.hwnd(), messagesPane.hwnd(), mapPane.hwnd()}) {
        if (!pane || pane == clientWindow) continue;
        ::SetWindowPos(pane, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CMainFrame::RefreshMap() {
    if (const auto* query = messagesPane.query()) mapPane.Load(query->path(), query->countSql());
    const auto home = settings::HomePositionOf(CurrentSettings().homePosition);
    mapPane.SetHome(home ? std::optional<map::GeoPoint>(map::GeoPoint{home->lon, home->lat}) : std::nullopt);
    mapPane.SetSelected(messagesPane.selectedId());
}
