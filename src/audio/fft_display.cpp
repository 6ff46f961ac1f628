// CFFTDisp: messages, pointer, the accumulator and the sample-rate set-up.
#include "audio/fft_display.h"

#include <windowsx.h>

#include <algorithm>
#include <mutex>

CFFTDisp::~CFFTDisp() {
    // Destroy while this object is whole, so that WM_DESTROY reaches our own handler.
    if (hwnd() && ::IsWindow(hwnd())) ::DestroyWindow(hwnd());
}

LRESULT CFFTDisp::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        OnPointer(wParam, GET_X_LPARAM(lParam));
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT:
        OnPrintClient(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    default:
        return DefaultHandling(msg, wParam, lParam);
    }
}

void CFFTDisp::OnCreate() {
    std::lock_guard<win::CriticalSection> guard(lock);
    startFrequency = 0;
    endFrequency = 24000;
    topDb = 0.0;
    bottomDb = -140.0;
    overlapFactor = 0;
    pointerX = -1;
    frameSize = 4096;
    plotWidth = plotHeight = 0;
    pointerFrequency = -1.0;
    centerFrequency = -1.0;
    bandLowOffset = -125.0;
    bandHighOffset = 125.0;
    markerStyle = kBandMarker;
    accumulator.Reset();
    columnLevels.fill(0);
    analysedColumns = 0;
    fft.Setup(4096, 1, 48000.0);
    active = true;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CFFTDisp::OnDestroy() {
    std::lock_guard<win::CriticalSection> guard(lock);
    active = false;
}

void CFFTDisp::SetStartupValues() {
    {
        std::lock_guard<win::CriticalSection> guard(lock);
        startFrequency = 0;
        endFrequency = 24000;
        topDb = 0.0;
        bottomDb = -80.0;
        overlapFactor = 4;
        frameSize = 16384;
        fft.Setup(16384, 10, 48000.0);
    }
    centerFrequency = 2000.0;
    pointerFrequency = 2000.0;
    bandLowOffset = -1200.0;
    bandHighOffset = 1200.0;
    markerStyle = kBandMarker;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
}

bool CFFTDisp::ApplyRate(int rate) {
    {
        std::lock_guard<win::CriticalSection> guard(lock);
        if (fft.rate == rate && fft.frameSize == 16384 && fft.averagingLength == 10 && frameSize == 16384)
            return false;
        frameSize = 16384;
        accumulator.Reset();  // the partial frame belongs to the old rate
        // Same size and averaging length: the averages stay and fade out as new frames arrive.
        fft.Setup(16384, 10, rate);
        endFrequency = rate / 2;
    }
    if (!(rate / 2 > centerFrequency)) centerFrequency = 2000.0;
    pointerFrequency = centerFrequency;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, TRUE);
    return true;
}

int CFFTDisp::sampleCount() {
    std::lock_guard<win::CriticalSection> guard(lock);
    return accumulator.count();
}

void CFFTDisp::AddSamples(const std::int16_t* samples, int count) {
    std::lock_guard<win::CriticalSection> guard(lock);
    if (!active) return;
    accumulator.Add(samples, count, frameSize, overlapFactor,
                    [this](const std::int16_t* frame, int size) { AnalyseFrame(frame, size); });
}

// Under `lock`. The analysed width is the plot width, limited by the level array and by the
// analyser's bins; a wider plot analyses the part of the range that its first columns show.
void CFFTDisp::AnalyseFrame(const std::int16_t* frame, int size) {
    if (fft.LoadFrame(frame, size)) {
        const int columns = std::min({plotWidth, kMaxColumns, fft.frameSize / 2});
        int endHz = endFrequency;
        if (columns > 0 && plotWidth > columns)
            endHz = static_cast<int>(startFrequency +
                                     (static_cast<long long>(endFrequency) - startFrequency) * columns / plotWidth);
        // With no columns yet (before the first paint) the frame still goes into the averages.
        if (fft.ComputeColumns(plotHeight, columns, bottomDb, topDb, startFrequency, endHz, columnLevels.data()))
            analysedColumns = columns;
    }
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CFFTDisp::OnPointer(WPARAM keys, int x) {
    if (pointerX < 0) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
        ::TrackMouseEvent(&track);
    }
    pointerX = x;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    if (keys == MK_LBUTTON) {
        // The frequency under the pointer as of the latest paint.
        centerFrequency = pointerFrequency;
        ::SendMessageW(::GetParent(hwnd()), WM_COMMAND, 0, reinterpret_cast<LPARAM>(hwnd()));
    }
}

void CFFTDisp::OnMouseLeave() {
    if (pointerX < 0) return;
    pointerX = -1;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}
