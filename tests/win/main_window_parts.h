// The main window's parts as an outside program finds them: children by control id, wherever the bar
// has put them, and the decoder log's text through its view.
#pragma once
#include <windows.h>

#include <iterator>
#include <string>

#include "controls/log_view.h"
#include "controls/msg_frame.h"
#include "controls/property_grid.h"
#include "resource.h"
#include "win/frame_window.h"
#include "win/gui_support.h"
#include "win/window.h"

namespace guitest {

// The first window below `root` (children of children included) with control id `id`, or null.
inline HWND FindChild(HWND root, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        root,
        [](HWND child, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (::GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND TopBarOf(HWND mainWindow) { return FindChild(mainWindow, win::FrameWindow::kTopBarId); }

// The decoder log's view and its lines, reached through the log's window.
inline CLogView& LogViewOf(HWND mainWindow) {
    return *static_cast<CLogView*>(win::Window::FromHandle(FindChild(mainWindow, IDC_DECODER_LOG)));
}

inline CMsgFrame& MessagesPaneOf(HWND mainWindow) {
    return *static_cast<CMsgFrame*>(win::Window::FromHandle(FindChild(mainWindow, IDC_MESSAGES_PANE)));
}
inline CPropertyGridCtrl& GridOf(HWND mainWindow) {
    return *static_cast<CPropertyGridCtrl*>(win::Window::FromHandle(FindChild(mainWindow, IDC_SETTINGS_GRID)));
}

// The panes in the order of their buttons.
inline constexpr int kPanes[] = {IDC_SETTINGS_GRID, IDC_DECODER_LOG, IDC_MESSAGES_PANE, IDC_MAP_PANE, IDC_RECEPTION_PANE};

// Which pane is shown: 0 "FFT & Settings", 1 "Decoder log", 2 "Messages", 3 "Map", 4 "Reception"; -1 none.
inline int ShownPane(HWND mainWindow) {
    for (int i = 0; i < static_cast<int>(std::size(kPanes)); ++i)
        if (::IsWindowVisible(FindChild(mainWindow, kPanes[i]))) return i;
    return -1;
}
inline HWND ShownPaneWindow(HWND mainWindow) {
    const int pane = ShownPane(mainWindow);
    return pane < 0 ? nullptr : FindChild(mainWindow, kPanes[pane]);
}

// Capture runs while "Turn OFF" is offered.
inline bool CaptureOn(HMENU menu) { return (::GetMenuState(menu, ID_FFT_OFF, MF_BYCOMMAND) & MF_GRAYED) == 0; }

// What the spectrum display says after a click: the centre-frequency row shows the display's centre.
inline void SpectrumClicked(HWND mainWindow) {
    ::SendMessageW(mainWindow, WM_COMMAND, 0, reinterpret_cast<LPARAM>(FindChild(mainWindow, IDC_SPECTRUM)));
}

}  // namespace guitest
