// CFFTDisp: messages, the pointer and the keys.
#include "audio/fft_display.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>

// The window, if still there, goes in the base after the members (window.h); the model must not
// call a listener that is gone, whether or not the window got that far.
CFFTDisp::~CFFTDisp() { model_.RemoveListener(this); }

LRESULT CFFTDisp::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_DESTROY:
        model_.RemoveListener(this);
        readout_.Reset();
        return 0;
    case WM_SIZE:
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    case WM_MOUSEMOVE:
        OnPointer(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), false);
        return 0;
    case WM_LBUTTONDOWN:
        OnPointer(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), true);
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_ENABLE:
        if (!wParam) HideReadout();  // a disabled display gets no pointer input to follow
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (OnKeyDown(wParam)) return 0;
        return DefaultHandling(msg, wParam, lParam);
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
    pointerX = -1;
    model_.AddListener(this);
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

// Any thread (the capture thread for a new frame): only queues a repaint.
void CFFTDisp::OnSpectrumChanged() {
    if (HWND window = hwnd()) ::InvalidateRect(window, nullptr, TRUE);
}

void CFFTDisp::OnPointer(WPARAM keys, int x, int y, bool buttonDown) {
    if (pointerX < 0) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
        ::TrackMouseEvent(&track);
    }
    pointerX = x;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    // The frequency where the pointer is now: no paint need have happened since it got there.
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const double hz = model_.FrequencyAtX(x, client.right - client.left);
    if (buttonDown && ::GetFocus() != hwnd()) ::SetFocus(hwnd());
    if (keys == MK_LBUTTON) {
        model_.pointerFrequency = hz;
        TuneTo(hz);
    } else if (buttonDown && keys == (MK_LBUTTON | MK_CONTROL)) {
        // Snap to the carrier under the pointer; with none there the centre stays.
        if (const std::optional<double> carrier = model_.CarrierNear(hz)) TuneTo(*carrier);
    }
    ShowReadout(x, y);
}

void CFFTDisp::OnMouseLeave() {
    HideReadout();
    if (pointerX < 0) return;
    pointerX = -1;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

// Left and Right move the centre; Shift makes the step larger. A disabled display (the decoder
// runs) takes no keys, even if it kept the focus.
bool CFFTDisp::OnKeyDown(WPARAM key) {
    if (key != VK_LEFT && key != VK_RIGHT) return false;
    if (!::IsWindowEnabled(hwnd())) return true;
    const double step = (::GetKeyState(VK_SHIFT) < 0) ? kShiftKeyStepHz : kKeyStepHz;
    const double low = model_.startFrequency, high = model_.endFrequency;
    if (!(high > low)) return true;  // no scale to move along
    const double moved = model_.centerFrequency + (key == VK_LEFT ? -step : step);
    TuneTo(std::clamp(moved, low, high));
    return true;
}

// Sets the centre and tells the parent, as a click does.
void CFFTDisp::TuneTo(double hz) {
    model_.centerFrequency = hz;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    ::SendMessageW(::GetParent(hwnd()), WM_COMMAND, 0, reinterpret_cast<LPARAM>(hwnd()));
}
