// CSoundCapture: opens one capture device, sets a 16-bit PCM format, runs a looping buffer of 16
// blocks and one capture thread that hands every completed block, in capture order, to a sink.
//
// Usage on the owner's (user-interface) thread, one run per Open ... Close:
//     CSoundCapture capture{audio::DirectSoundServiceFactory()};
//     if (capture.Open(deviceId) != 0) ...                 // "Can't open soundcard."
//     if (capture.SetFormat(rate, 16, channels, 8) != 0) { capture.Close(); ... }
//     if (capture.Start(&Sink, context) != 0) { capture.Close(); ... }
//     ...
//     capture.Stop(); capture.Close();
//
// Every operation returns 0 on success, 1 when the current state does not allow it, or the
// platform's negative code. The sink runs on the capture thread with one contiguous piece at a
// time (a whole number of blocks, or the two halves of a wrapped range, in capture order); the
// memory is only valid during the call.
#pragma once
#include "audio/capture_service.h"

#include <array>
#include <cstdint>
#include <memory>

namespace audio {

using CaptureSink = void (*)(void* context, const void* bytes, uint32_t byteCount);

enum class CaptureState : int32_t { Closed = 0, Opened = 1, Capturing = 2 };

class CSoundCapture {
public:
    static constexpr int kBlockCount = 16;
    static constexpr uint32_t kMinBlockBytes = 1024;
    static constexpr uint32_t kThreadWaitMs = 5000;

    explicit CSoundCapture(CaptureServiceFactory factory);
    CSoundCapture(const CSoundCapture&) = delete;
    CSoundCapture& operator=(const CSoundCapture&) = delete;
    // Closes a run still open.
    ~CSoundCapture();

    int32_t Open(const CaptureDeviceId& device);
    int32_t SetFormat(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels,
                      uint32_t blocksPerSecond);
    int32_t Start(CaptureSink sink, void* sinkContext);
    // Stops the buffer and ends the thread. A thread that has not ended after kThreadWaitMs is
    // abandoned, never killed: it keeps its buffer and events alive, makes no further sink calls
    // once its current one returns (so any lock the sink holds is released normally) and ends.
    int32_t Stop();
    int32_t Close();

    CaptureState State() const noexcept { return state_; }
    const PcmFormat& Format() const noexcept { return format_; }
    uint32_t BlockBytes() const noexcept { return blockBytes_; }
    uint32_t BufferBytes() const noexcept { return bufferBytes_; }
    uint32_t BlocksPerSecond() const noexcept { return blocksPerSecond_; }
    const std::array<uint32_t, kBlockCount>& NotifyPositions() const noexcept { return notifyPositions_; }
    // True when the last Stop had to abandon its thread.
    bool LastStopAbandonedThread() const noexcept { return lastStopAbandoned_; }
    // True while a thread abandoned by Stop has not ended yet (it may still be inside the sink):
    // the sink's context must stay alive until this turns false. Start is refused (result 1)
    // meanwhile, and so are SetFormat and Start on the run whose thread was abandoned.
    bool AbandonedThreadAlive() const noexcept;

    // Bytes per block: avgBytesPerSec / blocksPerSecond, at least kMinBlockBytes, cut to whole
    // frames; 0 when no such block exists or 16 of them would not fit in 32 bits.
    static uint32_t BlockBytesFor(uint32_t avgBytesPerSec, uint16_t blockAlign, uint32_t blocksPerSecond);

private:
    struct Run;  // what the capture thread shares with the engine

    int32_t CreateBuffer();
    void EndThread();  // signals stop and waits (bounded) or abandons

    CaptureServiceFactory factory_;
    std::shared_ptr<ICaptureService> service_;
    std::array<uint32_t, kBlockCount> notifyPositions_{};
    uint32_t bufferBytes_ = 0;
    uint32_t blockBytes_ = 0;
    uint32_t blocksPerSecond_ = 0;
    PcmFormat format_{};
    bool handedOver_ = false;  // the service belongs to an abandoned thread until Close
    std::shared_ptr<Run> run_;           // the running capture thread, between Start and Stop
    std::shared_ptr<Run> abandonedRun_;  // the last thread that did not end in time
    bool lastStopAbandoned_ = false;
    CaptureState state_ = CaptureState::Closed;
};

}  // namespace audio
