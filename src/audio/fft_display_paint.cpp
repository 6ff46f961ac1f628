// CFFTDisp: painting, double-buffered, in layers: background, band, centre line, spectrum.
#include <windows.h>

#include <algorithm>

#include "audio/fft_display.h"
#include "theme/palette.h"
#include "win/colour.h"
#include "win/double_buffer.h"
#include "win/handles.h"

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
    win::SaveDcScope saved(dc);
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    win::UniqueBrush background(::CreateSolidBrush(win::ToColorRef(palette::kSpectrumBackground)));
    ::FillRect(dc, &client, background ? background.get() : static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));

    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // The levels are copied under the model's lock, so a frame being analysed is never half drawn.
    const int analysedColumns = model_.TakeColumns(width, height, levels_);
    model_.pointerFrequency = model_.FrequencyAtX(pointerX, width);
    DrawBandAndCentre(dc, client, width);
    DrawCurve(dc, width, height, analysedColumns);
    UpdateReadoutText();
}

// Without a frequency scale (a rate of 0 or below) neither is drawn.
void CFFTDisp::DrawBandAndCentre(HDC dc, const RECT& client, int width) {
    int left = 0, right = 0;
    if (model_.BandColumns(width, left, right)) {
        // Both edge columns belong to the band, so that it sits symmetrically around the centre line.
        const RECT band{left, client.top, right + 1, client.bottom};
        ::SetBkColor(dc, win::ToColorRef(palette::kSpectrumBand));
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &band, L"", 0, nullptr);
    }
    int x = 0;
    if (model_.CentreColumn(width, x)) {
        win::UniquePen pen(::CreatePen(PS_SOLID, 1, win::ToColorRef(palette::kSpectrumCentreLine)));
        if (pen) {
            win::SelectObjectScope select(dc, pen.get());
            ::MoveToEx(dc, x, client.top, nullptr);
            ::LineTo(dc, x, client.bottom);
        }
    }
}

// One point per analysed column; a level is never drawn above the top row, even when the plot
// shrank after the frame was analysed.
void CFFTDisp::DrawCurve(HDC dc, int width, int height, int analysedColumns) {
    const int columns = std::min(width, SpectrumModel::kMaxColumns);
    if (columns <= 0 || height <= 0) return;
    auto yOf = [&](int i) {
        const int level = i < analysedColumns ? std::clamp(levels_[i], 0, height - 1) : 0;
        return height - level - 1;
    };
    win::UniquePen pen(::CreatePen(PS_SOLID, 1, win::ToColorRef(palette::kSpectrumCurve)));
    win::SelectObjectScope select(dc, pen ? static_cast<HGDIOBJ>(pen.get()) : ::GetStockObject(WHITE_PEN));
    ::MoveToEx(dc, 0, yOf(0), nullptr);
    for (int i = 0; i < columns; ++i) ::LineTo(dc, i, yOf(i));
    ::LineTo(dc, columns, yOf(columns - 1));  // LineTo leaves out its end point: finish the last column
}
