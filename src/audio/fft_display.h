// CFFTDisp shows a SpectrumModel as the live spectrum and lets the user pick the carrier's centre.
//
// The model outlives the display and may be shown by other views too. Created by its owner with the
// application's shared class, e.g.
//   CFFTDisp display{model};
//   display.Create(parent, RECT{0, 0, 0, 150}, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS |
//                  WS_CLIPCHILDREN, WS_EX_CLIENTEDGE);
// A selection (left click, or a drag with only the left button held) sets the model's centre to the
// frequency under the pointer and sends the parent WM_COMMAND with wParam 0 and lParam = the
// display's window.
#pragma once
#include <windows.h>

#include "audio/spectrum_model.h"
#include "win/window.h"

class CFFTDisp : public win::Window, private SpectrumModel::Listener {
public:
    explicit CFFTDisp(SpectrumModel& model) : model_(model) {}
    ~CFFTDisp() override;

    SpectrumModel& model() const noexcept { return model_; }

    // Draws the whole picture into dc: background, band, centre line, spectrum.
    void PaintSpectrum(HDC dc);

    // The pointer's column, -1 while the pointer is not over the window.
    int pointerX = -1;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnSpectrumChanged() override;
    void OnCreate();
    void OnPointer(WPARAM keys, int x);
    void OnMouseLeave();
    void OnPaint();
    void OnPrintClient(HDC dc);
    void DrawBandAndCentre(HDC dc, const RECT& client, int width);
    void DrawCurve(HDC dc, int width, int height, int analysedColumns);

    SpectrumModel& model_;
    SpectrumModel::ColumnLevels levels_{};  // what the current paint draws, copied from the model
};
