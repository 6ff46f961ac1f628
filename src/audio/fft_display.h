// CFFTDisp shows the live spectrum and lets the user pick the carrier's centre frequency.
//
// Created by its owner with the application's shared class, e.g.
//   display.Create(parent, RECT{0, 0, 0, 150}, nullptr, 0x56000000, WS_EX_CLIENTEDGE);
// then SetStartupValues(). A selection (left click, or a drag with only the left button held)
// sends the parent WM_COMMAND with wParam 0 and lParam = the display's window.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>

#include "audio/sample_accumulator.h"
#include "audio/xfft.h"
#include "win/handles.h"
#include "win/window.h"

class CFFTDisp : public win::Window {
public:
    // The level array has one entry per pixel column; wider plots analyse this many columns and
    // leave the rest of the width without a curve.
    static constexpr int kMaxColumns = 7999;
    static constexpr int kMaxFrameSize = SampleAccumulator::kCapacity;
    static constexpr int kBandMarker = 2;

    CFFTDisp() = default;
    ~CFFTDisp() override;

    // Capture thread: collects frames of frameSize with overlapFactor, analyses each and requests
    // a repaint. Does nothing before the window exists or after it is destroyed. Never allocates.
    void AddSamples(const std::int16_t* samples, int count);

    // Draws the whole picture into dc: background, band, centre line, spectrum.
    void PaintSpectrum(HDC dc);

    // The values the main window gives the display right after creating it: 0..24000 Hz,
    // -80..0 dB, overlap 4, frames of 16384 with Setup(16384, 10, 48000), centre and pointer at
    // 2000 Hz, band -1200..+1200 Hz, band marker on.
    void SetStartupValues();

    // The display's part of applying a new sample rate: frames of 16384, the partial frame dropped,
    // Setup(16384, 10, rate), range 0..rate/2, centre back to 2000 Hz when rate/2 is not above it,
    // pointer frequency = centre, repaint. Returns false (and changes nothing, averages included)
    // when the analyser already runs that set-up at that rate. A rate of 0 or below is applied:
    // the range is then empty and the picture is the background and a flat curve on the bottom row
    // (no band, no centre line, pointer frequency -1).
    bool ApplyRate(int rate);

    // Samples collected towards the next frame.
    int sampleCount();

    // --- fields the main window sets and reads ---
    int startFrequency = 0;
    int endFrequency = 24000;
    double topDb = 0.0;
    double bottomDb = -140.0;
    int overlapFactor = 0;
    int pointerX = -1;
    Cxfft fft;
    int frameSize = 4096;
    int plotWidth = 0;
    int plotHeight = 0;
    double pointerFrequency = -1.0;
    double centerFrequency = -1.0;
    double bandLowOffset = -125.0;
    double bandHighOffset = 125.0;
    int markerStyle = kBandMarker;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnCreate();
    void OnDestroy();
    void OnPointer(WPARAM keys, int x);
    void OnMouseLeave();
    void OnPaint();
    void OnPrintClient(HDC dc);
    void AnalyseFrame(const std::int16_t* frame, int size);
    void DrawBandAndCentre(HDC dc, const RECT& client, double hzPerPixel);
    void DrawCurve(HDC dc);

    win::CriticalSection lock;  // guards the accumulator, columnLevels, plotWidth/plotHeight, active
    SampleAccumulator accumulator;
    std::array<int, kMaxColumns + 1> columnLevels{};
    int analysedColumns = 0;
    bool active = false;  // between WM_CREATE and WM_DESTROY
};
