// Sends control notifications back to the control they concern, as message + 0x2000.
#pragma once
#include <windows.h>

namespace win {

constexpr UINT kReflectBase = 0x2000;  // OCM_BASE: WM_USER + 0x1c00

// True for the messages a parent reflects: WM_NOTIFY, the owner-draw family, scroll bars,
// WM_CTLCOLOR..., WM_PARENTNOTIFY (WM_COMMAND is not among them).
bool IsReflectable(UINT msg) noexcept;
// The control a reflectable message concerns, or null.
HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
// Reflects the message to its control. Returns false when there is no control to send it to.
bool ReflectNotification(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

}  // namespace win
