// CFFTDisp: messages and the pointer.
#include "audio/fft_display.h"

#include <windowsx.h>

CFFTDisp::~CFFTDisp() {
    // Destroy while this object is whole, so that WM_DESTROY reaches our own handler; a window
    // that never got that far must not stay among the model's listeners either.
    if (hwnd() && ::IsWindow(hwnd())) ::DestroyWindow(hwnd());
    model_.RemoveListener(this);
}

LRESULT CFFTDisp::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_DESTROY:
        model_.RemoveListener(this);
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
    pointerX = -1;
    model_.AddListener(this);
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

// Any thread (the capture thread for a new frame): only queues a repaint.
void CFFTDisp::OnSpectrumChanged() {
    if (HWND window = hwnd()) ::InvalidateRect(window, nullptr, TRUE);
}

void CFFTDisp::OnPointer(WPARAM keys, int x) {
    if (pointerX < 0) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
        ::TrackMouseEvent(&track);
    }
    pointerX = x;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
    if (keys == MK_LBUTTON) {
        // The frequency where this click landed: no paint need have happened since the pointer
        // got there.
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        model_.pointerFrequency = model_.FrequencyAtX(x, client.right - client.left);
        model_.centerFrequency = model_.pointerFrequency;
        ::SendMessageW(::GetParent(hwnd()), WM_COMMAND, 0, reinterpret_cast<LPARAM>(hwnd()));
    }
}

void CFFTDisp::OnMouseLeave() {
    if (pointerX < 0) return;
    pointerX = -1;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}
