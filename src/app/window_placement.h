// Where the main window goes: centred on a work area, kept inside it where it fits.
#pragma once

struct PlacementRect {
    long left, top, right, bottom;
};

// The window's new top-left corner: centred on the work area (integer halving), then moved left/up
// so that it ends inside the area, and finally never before the area's left/top edge.
inline void CentreOnWorkArea(const PlacementRect& window, const PlacementRect& area, long& x, long& y) {
    const long width = window.right - window.left;
    const long height = window.bottom - window.top;
    x = (area.left + area.right) / 2 - width / 2;
    y = (area.top + area.bottom) / 2 - height / 2;
    if (x + width > area.right) x = area.right - width;
    if (x < area.left) x = area.left;
    if (y + height > area.bottom) y = area.bottom - height;
    if (y < area.top) y = area.top;
}
