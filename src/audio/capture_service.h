// The platform side of sound capture, reduced to what CSoundCapture needs: one opened device, one
// looping buffer with position notifications, and the two events the capture thread waits on.
// DirectSound implements it on Windows (dsound_capture_win.h); tests script it.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace audio {

// Results share the platform's HRESULT convention: 0 success, negative failure.
inline constexpr int32_t kCaptureOk = 0;
inline constexpr int32_t kCaptureNotAllowed = 1;  // operation not allowed in the current state
inline constexpr int32_t kCaptureFailed = static_cast<int32_t>(0x80004005u);        // E_FAIL
inline constexpr int32_t kCaptureOutOfMemory = static_cast<int32_t>(0x8007000Eu);   // E_OUTOFMEMORY
inline constexpr int32_t kCaptureInvalidParam = static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
inline constexpr int32_t kCaptureUnexpected = static_cast<int32_t>(0x8000FFFFu);    // E_UNEXPECTED

// A device GUID, laid out as the platform's GUID.
struct DeviceGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};
    friend bool operator==(const DeviceGuid&, const DeviceGuid&) = default;
};

// A capture device as enumeration reports it; no GUID means the platform's primary capture device.
using CaptureDeviceId = std::optional<DeviceGuid>;

// 16-bit PCM description, the fields of WAVEFORMATEX in their order.
struct PcmFormat {
    uint16_t formatTag = 1;  // WAVE_FORMAT_PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// A locked range of the capture buffer: one piece, or two when it wraps past the buffer's end.
struct LockedPieces {
    void* first = nullptr;
    uint32_t firstBytes = 0;
    void* second = nullptr;
    uint32_t secondBytes = 0;
};

enum class CaptureWait { Notified, Stopped, Failed };

// One instance serves one Open ... Close run of CSoundCapture. Everything except the calls marked
// "capture thread" is called on the owner's thread. The engine shares ownership with its capture
// thread, so a thread that outlives Stop still finds the buffer and events alive; whatever the
// instance still holds is released by its destructor on whichever thread lets go last.
class ICaptureService {
public:
    virtual ~ICaptureService() = default;

    // Creates the notification and stop events (auto-reset, not signalled).
    virtual int32_t CreateEvents() = 0;
    // Per-run platform initialisation (COM on Windows) and its undoing; balanced by the engine.
    virtual int32_t Initialize() = 0;
    virtual void Uninitialize() = 0;
    virtual int32_t OpenDevice(const CaptureDeviceId& device) = 0;
    // Releases the notification interface and the buffer (not the device).
    virtual void ReleaseBuffer() = 0;
    // Releases buffer, notification interface and device, in that order.
    virtual void ReleaseAll() = 0;
    virtual int32_t CreateBuffer(const PcmFormat& format, uint32_t bufferBytes) = 0;
    virtual int32_t QueryNotify() = 0;
    // Each offset gets the notification event.
    virtual int32_t SetNotificationPositions(std::span<const uint32_t> offsets) = 0;
    virtual int32_t StartLooping() = 0;
    virtual int32_t StopBuffer() = 0;
    virtual void ResetEvents() = 0;
    virtual void SignalStop() = 0;

    // Capture thread: first call of the thread (the Windows service raises its priority).
    virtual void EnterCaptureThread() = 0;
    // Capture thread: waits for either event, no time-out; the notification wins when both are set.
    virtual CaptureWait WaitForEvent() = 0;
    virtual bool HasBuffer() const = 0;
    virtual int32_t GetReadPosition(uint32_t& readPosition) = 0;
    virtual int32_t Lock(uint32_t offset, uint32_t bytes, LockedPieces& pieces) = 0;
    virtual void Unlock(const LockedPieces& pieces) = 0;
};

// Makes a fresh service for each Open; an empty result counts as out of memory.
using CaptureServiceFactory = std::function<std::shared_ptr<ICaptureService>()>;

}  // namespace audio
