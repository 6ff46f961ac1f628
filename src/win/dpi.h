// Pixel measures for the screen a window is on. The program declares itself per-monitor DPI aware
// (v2) in its manifest; every measure it has at 96 DPI is multiplied by DPI / 96, so at 96 DPI
// nothing changes. Functions that only newer Windows has are looked up at run time, so that the
// program still starts where they are missing (it then uses the system DPI).
#pragma once
#include <windows.h>

namespace win {

constexpr int kDefaultDpi = 96;

// The DPI of the monitor `window` is on (GetDpiForWindow), else the system's (LOGPIXELSY of the
// screen). Null `window`: the system's.
int DpiOf(HWND window);
int SystemDpi();

// A 96-DPI measure at `dpi`, rounded to the nearest pixel (MulDiv); exact at 96 DPI.
inline int Scale(int pixels, int dpi) { return ::MulDiv(pixels, dpi, kDefaultDpi); }

}  // namespace win
