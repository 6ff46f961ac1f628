// CFFTDisp shows a SpectrumModel as the live spectrum and lets the user pick the carrier's centre.
//
// The model outlives the display and may be shown by other views too. Created by its owner with the
// application's shared class, e.g.
//   CFFTDisp display{model};
//   display.Create(parent, RECT{0, 0, 0, 150}, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS |
//                  WS_CLIPCHILDREN, WS_EX_CLIENTEDGE);
// A selection (left click, or a drag with only the left button held) sets the model's centre to the
// frequency under the pointer and sends the parent WM_COMMAND with wParam 0 and lParam = the
// display's window. A click with Ctrl (and no other key or button) snaps the centre to the carrier
// near the pointer instead, when there is one. A click also takes the keyboard focus, and with it
// Left and Right move the centre by 1 Hz (10 Hz with Shift), each step notified as a click is.
// A tooltip follows the pointer with the frequency and level under it.
#pragma once
#include <windows.h>

#include <string>

#include "audio/spectrum_model.h"
#include "win/tracking_tip.h"
#include "win/handles.h"
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

    // The tooltip that shows the pointer readout (null until the pointer first comes over).
    HWND readoutWindow() const noexcept { return readout_.hwnd(); }
    // Its top-left corner's offset from the pointer at 96 DPI (scaled by the display's DPI): beside
    // and below the pointer, so that the tip never sits under it.
    static constexpr int kReadoutOffsetX = 16;
    static constexpr int kReadoutOffsetY = 20;

    // Steps of the keyboard fine tuning, in Hz.
    static constexpr double kKeyStepHz = 1.0;
    static constexpr double kShiftKeyStepHz = 10.0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnSpectrumChanged() override;
    void OnCreate();
    void OnPointer(WPARAM keys, int x, int y, bool buttonDown);
    void OnMouseLeave();
    bool OnKeyDown(WPARAM key);
    void TuneTo(double hz);
    void ShowReadout(int x, int y);
    void UpdateReadoutText();
    void HideReadout();
    void OnPaint();
    void OnPrintClient(HDC dc);
    void DrawBandAndCentre(HDC dc, const RECT& client, int width);
    void DrawCurve(HDC dc, int width, int height, int analysedColumns);

    SpectrumModel& model_;
    SpectrumModel::ColumnLevels levels_{};  // what the current paint draws, copied from the model
    win::TrackingTip readout_;              // created on the first pointer move
    POINT readoutAt_{-1, -1};               // the client point it follows
};
