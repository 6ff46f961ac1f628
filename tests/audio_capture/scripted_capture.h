// The capture engine's test doubles: a service driven by the test (a buffer of numbered 16-bit
// samples whose read position moves when the test "captures", and steps that fail on request), the
// factory that hands such services out, and a sink that records every piece it receives.
#pragma once
#include "audio/sound_capture.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace audio::testing {

// The steps a fresh service can be told to fail; the entry is the code it returns (0 = succeed).
enum Step { kEvents, kInit, kOpenDevice, kCreateBuffer, kQueryNotify, kPositions, kStartLooping, kStopBuffer, kSteps };
using Failures = std::array<int32_t, kSteps>;

class ScriptedService final : public ICaptureService {
public:
    explicit ScriptedService(const Failures& failures) : fail_(failures) {}

    int32_t CreateEvents() override { return fail_[kEvents]; }
    int32_t Initialize() override { return fail_[kInit] ? fail_[kInit] : (++initializeCalls, 0); }
    void Uninitialize() override { ++uninitializeCalls; }
    int32_t OpenDevice(const CaptureDeviceId& device) override {
        if (fail_[kOpenDevice]) return fail_[kOpenDevice];
        return openedDevice = device, deviceOpen = true, 0;
    }
    void ReleaseBuffer() override { Locked([&] { hasBuffer_ = looping_ = false; }); }
    void ReleaseAll() override { ReleaseBuffer(), deviceOpen = false; }
    int32_t CreateBuffer(const PcmFormat& f, uint32_t bytes) override {
        if (++createBufferCalls, fail_[kCreateBuffer]) return fail_[kCreateBuffer];
        Locked([&] { format = f, bufferBytes = bytes, samples_.assign(bytes / 2, 0), write_ = 0, hasBuffer_ = true; });
        return 0;
    }
    int32_t QueryNotify() override { return fail_[kQueryNotify]; }
    int32_t SetNotificationPositions(std::span<const uint32_t> offsets) override {
        positions.assign(offsets.begin(), offsets.end());
        return fail_[kPositions];
    }
    int32_t StartLooping() override { return ++startCalls, SetLooping(fail_[kStartLooping], true); }
    int32_t StopBuffer() override { return ++stopBufferCalls, SetLooping(fail_[kStopBuffer], false); }
    void ResetEvents() override { Locked([&] { notify_ = stop_ = false; }); }
    void SignalStop() override {
        Locked([&] { bufferStoppedBeforeStopSignal = bufferStoppedBeforeStopSignal && !looping_, stop_ = true; });
    }
    void EnterCaptureThread() override { captureThread = std::this_thread::get_id(); }
    CaptureWait WaitForEvent() override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return notify_ || stop_; });
        if (notify_) return notify_ = false, CaptureWait::Notified;  // the lower index wins, as on the platform
        stop_ = false;
        ++stopsSeenByThread;
        return CaptureWait::Stopped;
    }
    bool HasBuffer() const override { std::lock_guard lock(mutex_); return hasBuffer_; }
    int32_t GetReadPosition(uint32_t& position) override {
        if (++readPositionCalls, readPositionFailure) return readPositionFailure;
        const uint32_t override = readPositionOverride;
        Locked([&] { position = override != UINT32_MAX ? override : write_; });
        return 0;
    }
    int32_t Lock(uint32_t offset, uint32_t bytes, LockedPieces& pieces) override {
        if (int32_t rc = lockFailure) return rc;
        std::lock_guard lock(mutex_);
        if (!hasBuffer_ || offset >= bufferBytes || bytes > bufferBytes) return -1;
        auto* base = reinterpret_cast<unsigned char*>(samples_.data());
        const uint32_t first = std::min(bytes, bufferBytes - offset);
        pieces = {base + offset, first, first < bytes ? base : nullptr, bytes - first};
        return 0;
    }
    void Unlock(const LockedPieces&) override {}

    // Test side: `bytes` more bytes were captured (samples numbered on from the last), the read
    // position moves past them and the notification is signalled.
    void Capture(uint32_t bytes) {
        Locked([&] {
            for (uint32_t i = 0; i < bytes / 2; ++i, write_ = (write_ + 2) % bufferBytes) samples_[write_ / 2] = next_++;
            notify_ = true;
        });
    }

    // What the engine did.
    std::atomic<int> initializeCalls{0}, uninitializeCalls{0}, createBufferCalls{0}, stopBufferCalls{0}, startCalls{0};
    std::atomic<int> readPositionCalls{0}, stopsSeenByThread{0};
    std::atomic<bool> deviceOpen{false}, bufferStoppedBeforeStopSignal{true};
    std::atomic<std::thread::id> captureThread{};
    CaptureDeviceId openedDevice;
    PcmFormat format{};
    uint32_t bufferBytes = 0;
    std::vector<uint32_t> positions;
    // Faults injected while the capture thread runs.
    std::atomic<int32_t> readPositionFailure{0}, lockFailure{0};
    std::atomic<uint32_t> readPositionOverride{UINT32_MAX};

private:
    // Runs f under the lock and wakes the capture thread's wait.
    template <class F>
    void Locked(F f) {
        std::lock_guard lock(mutex_);
        f();
        changed_.notify_all();
    }
    int32_t SetLooping(int32_t failure, bool on) {
        if (!failure) Locked([&] { looping_ = on; });
        return failure;
    }

    Failures fail_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool notify_ = false, stop_ = false, looping_ = false, hasBuffer_ = false;
    std::vector<int16_t> samples_;
    uint32_t write_ = 0;
    int16_t next_ = 0;
};

struct ScriptedFactory {
    Failures failures{};
    std::vector<std::weak_ptr<ScriptedService>> made;

    CaptureServiceFactory Factory() {
        return [this] {
            auto s = std::make_shared<ScriptedService>(failures);
            return made.push_back(s), std::shared_ptr<ICaptureService>(s);
        };
    }
    std::shared_ptr<ScriptedService> Last() const { return made.empty() ? nullptr : made.back().lock(); }
};

// Records every piece as samples; can hold the capture thread inside the sink until released.
class RecordingSink {
public:
    struct Piece { std::vector<int16_t> samples; std::thread::id thread; };
    static void Call(void* context, const void* bytes, uint32_t byteCount) {
        auto* self = static_cast<RecordingSink*>(context);
        std::unique_lock lock(self->mutex_);
        Piece& p = self->pieces_.emplace_back(Piece{std::vector<int16_t>(byteCount / 2), std::this_thread::get_id()});
        std::memcpy(p.samples.data(), bytes, p.samples.size() * 2);
        self->changed_.notify_all();
        self->changed_.wait(lock, [self] { return !self->hold_; });
    }
    void Hold(bool hold) {
        std::lock_guard lock(mutex_);
        hold_ = hold;
        changed_.notify_all();
    }
    // Waits (bounded) until at least `count` pieces have arrived.
    bool WaitForPieces(size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return pieces_.size() >= count; });
    }
    std::vector<Piece> Pieces() { std::lock_guard lock(mutex_); return pieces_; }
    size_t Count() { return Pieces().size(); }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Piece> pieces_;
    bool hold_ = false;
};

// Polls `cond` until it holds or five seconds have passed.
template <class F>
bool Eventually(F cond) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5); !cond();
         std::this_thread::sleep_for(std::chrono::milliseconds(2)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

}  // namespace audio::testing
