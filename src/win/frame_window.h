// FrameWindow: a band container along the top and one client window that fills the rest.
#pragma once
#include "win/window.h"

#include <commctrl.h>

#include "win/rebar.h"

namespace win {

class MenuBar;

class FrameWindow : public Window {
public:
    static constexpr UINT kTopBarId = 0xE800;

    // The window that fills the area below the bar.
    HWND ClientWindow() const noexcept { return clientWindow; }

    // Places the bar and the client window; resizeBars makes the bar fit the width first.
    virtual void UpdateLayout(bool resizeBars = true);

    // Fits the bar to the width first when resizeBars is set; returns the client area below the bar.
    RECT PlaceTopBar(bool resizeBars);

    // Creates the band container (rebar) with an empty bar-information record; null on failure.
    HWND CreateTopBar(DWORD style);
    // Appends a band with child, label, width (minimum child width, band width and ideal width alike).
    static bool InsertBand(HWND bar, HWND child, const wchar_t* label, UINT style, int width, int minHeight);
    // Every band 1000 pixels narrower except the last, which grows by 1000: the rows pack to the left.
    static void PackBands(HWND bar);
    // Shows or hides the first band whose child is `child`.
    static void SetBandVisible(HWND bar, HWND child, bool visible);

protected:
    HWND topBar = nullptr;
    HWND clientWindow = nullptr;

    // The frame's part of a dispatch: size, chevron, quit on destroy, focus, background, keyboard menu.
    bool HandleFrameMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // A menu bar whose menus the chevron and Alt+letter open (optional).
    MenuBar* frameMenuBar = nullptr;

private:
    void OnChevronPushed(const NMREBARCHEVRON& info);
};

}  // namespace win
