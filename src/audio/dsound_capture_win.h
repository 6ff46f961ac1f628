// The DirectSound capture service behind CSoundCapture, and access to dsound.dll, which is loaded
// at run time so that the program only needs what every Windows installation has.
#pragma once
#include "audio/capture_service.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

namespace audio {

// dsound.dll's two capture entry points; both null when the library cannot be loaded.
struct DirectSoundEntryPoints {
    using EnumerateFn = HRESULT(WINAPI*)(LPDSENUMCALLBACKW, LPVOID);
    using CreateFn = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUNDCAPTURE*, LPUNKNOWN);
    EnumerateFn captureEnumerate = nullptr;
    CreateFn captureCreate = nullptr;
};

// Loaded once and kept for the life of the process.
const DirectSoundEntryPoints& DirectSound();

// A fresh DirectSound service for every CSoundCapture::Open.
CaptureServiceFactory DirectSoundServiceFactory();

GUID ToGuid(const DeviceGuid& id);
DeviceGuid FromGuid(const GUID& id);

}  // namespace audio
