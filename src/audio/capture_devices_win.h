// Fills the capture-device list from DirectSound, once, when the main window is created.
#pragma once
#include "audio/capture_device_list.h"

#include <windows.h>

namespace audio {

// Clears the list and enumerates the capture devices (primary first). Returns the platform's
// result; the list holds what was reported before any failure. Devices beyond the list's room
// are skipped while enumeration still runs to its end.
int32_t EnumerateCaptureDevices(CaptureDeviceList& list);

// The enumeration callback; context is the CaptureDeviceList. Always TRUE.
BOOL CALLBACK CaptureDeviceCallback(LPGUID guid, LPCWSTR description, LPCWSTR module, LPVOID context);

}  // namespace audio
