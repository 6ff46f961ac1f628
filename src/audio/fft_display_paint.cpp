// CFFTDisp: painting, double-buffered, in layers: background, band, centre line, spectrum.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "audio/fft_display.h"
#include "win/double_buffer.h"

namespace {

const COLORREF kBackground = RGB(60, 60, 80);
const COLORREF kBand = RGB(50, 85, 170);
const COLORREF kCentreLine = RGB(100, 170, 255);

// Nearest pixel, halves to even; out-of-range and non-finite values are kept far off the plot
// instead of overflowing the conversion. Returns false for NaN.
bool ToPixel(double x, int& pixel) {
    if (std::isnan(x)) return false;
    const double limit = 1e6;
    pixel = static_cast<int>(std::nearbyint(std::clamp(x, -limit, limit)));
    return true;
}

}  // namespace

void CFFTDisp::OnPaint() {
    win::PaintScope paint(hwnd());
    if (!paint.dc()) return;
    win::PaintDoubleBuffered(paint.dc(), paint.rect(), [this](HDC dc) { PaintSpectrum(dc); });
}

void CFFTDisp::OnPrintClient(HDC dc) {
    if (!dc) return;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    win::PaintDoubleBuffered(dc, client, [this](HDC memory) { PaintSpectrum(memory); });
}

void CFFTDisp::PaintSpectrum(HDC dc) {
    std::lock_guard<win::CriticalSection> guard(lock);
    win::SaveDcScope saved(dc);
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    win::UniqueBrush background(::CreateSolidBrush(kBackground));
    ::FillRect(dc, &client, background ? background.get() : static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));

    plotWidth = client.right - client.left;
    plotHeight = client.bottom - client.top;

    // An empty or reversed range (a rate of 0 or below) has no frequency scale: no pointer
    // frequency, no band and no centre line.
    const double range = static_cast<double>(endFrequency) - startFrequency;
    const double hzPerPixel = plotWidth > 0 && range > 0.0 ? range / plotWidth : 0.0;
    pointerFrequency = hzPerPixel > 0.0 && pointerX >= 0 ? hzPerPixel * pointerX + startFrequency : -1.0;
    if (hzPerPixel > 0.0) DrawBandAndCentre(dc, client, hzPerPixel);
    DrawCurve(dc);
}

void CFFTDisp::DrawBandAndCentre(HDC dc, const RECT& client, double hzPerPixel) {
    int left = 0, right = 0;
    if (markerStyle == kBandMarker &&
        ToPixel((bandLowOffset + centerFrequency - startFrequency) / hzPerPixel, left) &&
        ToPixel((bandHighOffset + centerFrequency - startFrequency) / hzPerPixel, right)) {
        if (right < left) std::swap(left, right);
        // Both edge columns belong to the band, so that it sits symmetrically around the centre line.
        const RECT band{left, client.top, right + 1, client.bottom};
        ::SetBkColor(dc, kBand);
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, L"", 0, nullptr);
    }
    int x = 0;
    if (startFrequency <= centerFrequency && centerFrequency <= endFrequency &&
        ToPixel((centerFrequency - startFrequency) / hzPerPixel, x)) {
        win::UniquePen pen(::CreatePen(PS_SOLID, 1, kCentreLine));
        if (pen) {
            win::SelectObjectScope select(dc, pen.get());
            ::MoveToEx(dc, x, client.top, nullptr);
            ::LineTo(dc, x, client.bottom);
        }
    }
}

// One point per analysed column; a level is never drawn above the top row, even when the plot
// shrank after the frame was analysed.
void CFFTDisp::DrawCurve(HDC dc) {
    const int columns = std::min(plotWidth, kMaxColumns);
    if (columns <= 0 || plotHeight <= 0) return;
    auto yOf = [&](int i) {
        const int level = i < analysedColumns ? std::clamp(columnLevels[i], 0, plotHeight - 1) : 0;
        return plotHeight - level - 1;
    };
    win::SelectObjectScope select(dc, ::GetStockObject(WHITE_PEN));
    ::MoveToEx(dc, 0, yOf(0), nullptr);
    for (int i = 0; i < columns; ++i) ::LineTo(dc, i, yOf(i));
    ::LineTo(dc, columns, yOf(columns - 1));  // LineTo leaves out its end point: finish the last column
}
