// A capture service driven by the test: it keeps a buffer of 16-bit samples, moves the read
// position when told that data was captured, signals the notification, and fails on request.
#pragma once
#include "audio/capture_service.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace audio::testing {

// Failure codes a fresh service is given (0 = succeed).
struct ScriptedFailures {
    int32_t createEvents = 0;
    int32_t initialize = 0;
    int32_t openDevice = 0;
    int32_t createBuffer = 0;
    int32_t queryNotify = 0;
    int32_t setPositions = 0;
    int32_t startLooping = 0;
    int32_t stopBuffer = 0;
};

class ScriptedCaptureService final : public ICaptureService {
public:
    explicit ScriptedCaptureService(const ScriptedFailures& failures) : failures_(failures) {}
    ~ScriptedCaptureService() override;

    int32_t CreateEvents() override;
    int32_t Initialize() override;
    void Uninitialize() override;
    int32_t OpenDevice(const CaptureDeviceId& device) override;
    void ReleaseBuffer() override;
    void ReleaseAll() override;
    int32_t CreateBuffer(const PcmFormat& format, uint32_t bufferBytes) override;
    int32_t QueryNotify() override;
    int32_t SetNotificationPositions(std::span<const uint32_t> offsets) override;
    int32_t StartLooping() override;
    int32_t StopBuffer() override;
    void ResetEvents() override;
    void SignalStop() override;
    void EnterCaptureThread() override;
    CaptureWait WaitForEvent() override;
    bool HasBuffer() const override;
    int32_t GetReadPosition(uint32_t& readPosition) override;
    int32_t Lock(uint32_t offset, uint32_t bytes, LockedPieces& pieces) override;
    void Unlock(const LockedPieces& pieces) override;

    // Test side: `bytes` more bytes were captured (numbered samples continuing the sequence),
    // the read position moves past them, and the notification is signalled.
    void Capture(uint32_t bytes);
    void Notify();

    // What the engine did.
    std::atomic<int> initializeCalls{0}, uninitializeCalls{0};
    std::atomic<int> createBufferCalls{0}, stopBufferCalls{0}, startCalls{0}, lockCalls{0};
    std::atomic<int> readPositionCalls{0};
    std::atomic<int> stopsSeenByThread{0};
    std::atomic<bool> deviceOpen{false};
    std::atomic<bool> bufferStoppedBeforeStopSignal{true};
    std::atomic<std::thread::id> captureThread{};
    CaptureDeviceId openedDevice;
    PcmFormat format{};
    uint32_t bufferBytes = 0;
    std::vector<uint32_t> positions;
    // Injected at run time, seen by the capture thread.
    std::atomic<int32_t> readPositionFailure{0};
    std::atomic<int32_t> lockFailure{0};
    std::atomic<uint32_t> readPositionOverride{UINT32_MAX};

private:
    ScriptedFailures failures_;
    mutable std::mutex mutex_;
    std::condition_variable eventChanged_;
    bool notifySet_ = false;
    bool stopSet_ = false;
    bool looping_ = false;
    bool hasBuffer_ = false;
    std::vector<int16_t> samples_;
    uint32_t writePosition_ = 0;
    uint32_t readPosition_ = 0;
    int16_t nextSample_ = 0;
};

}  // namespace audio::testing
