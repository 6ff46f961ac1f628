// The band container's (rebar's) messages, typed: one line per message instead of a SendMessage with
// casts at every use.
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace win::rebar {

inline int BandCount(HWND bar) { return bar ? static_cast<int>(::SendMessageW(bar, RB_GETBANDCOUNT, 0, 0)) : 0; }

// The band's fields that `mask` (RBBIM_*) names; the others stay zero.
inline REBARBANDINFOW GetBand(HWND bar, int index, UINT mask) {
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = mask;
    ::SendMessageW(bar, RB_GETBANDINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&band));
    return band;
}

// Sets the fields that band.fMask names.
inline bool SetBand(HWND bar, int index, REBARBANDINFOW band) {
    band.cbSize = sizeof(band);
    return ::SendMessageW(bar, RB_SETBANDINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&band)) != 0;
}

// Appends the band.
inline bool InsertBand(HWND bar, REBARBANDINFOW band) {
    band.cbSize = sizeof(band);
    return ::SendMessageW(bar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band)) != 0;
}

// A band's size in pixels: `width` is its minimum child width, its width and its ideal width alike.
inline bool SetBandSize(HWND bar, int index, int width, int height) {
    REBARBANDINFOW band{};
    band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
    band.cxMinChild = band.cx = band.cxIdeal = static_cast<UINT>(width);
    band.cyMinChild = static_cast<UINT>(height);
    return SetBand(bar, index, band);
}

// Calls visit(index, band) for each band in order, with the band's fields that `mask` names.
template <class Visit>
void ForEachBand(HWND bar, UINT mask, Visit&& visit) {
    const int count = BandCount(bar);
    for (int i = 0; i < count; ++i) visit(i, GetBand(bar, i, mask));
}

}  // namespace win::rebar
