#include "audio/capture_devices_win.h"

#include "audio/dsound_capture_win.h"

namespace audio {

BOOL CALLBACK CaptureDeviceCallback(LPGUID guid, LPCWSTR description, LPCWSTR, LPVOID context) {
    auto* list = static_cast<CaptureDeviceList*>(context);
    if (list == nullptr) return TRUE;
    CaptureDeviceId id;
    if (guid) id = FromGuid(*guid);
    list->Add(id, description);  // a full list ignores the rest but lets enumeration finish
    return TRUE;
}

int32_t EnumerateCaptureDevices(CaptureDeviceList& list) {
    list.Clear();
    const auto& ds = DirectSound();
    if (!ds.captureEnumerate) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return ds.captureEnumerate(&CaptureDeviceCallback, &list);
}

}  // namespace audio
