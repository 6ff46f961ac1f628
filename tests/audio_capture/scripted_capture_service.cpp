#include "scripted_capture_service.h"

namespace audio::testing {

ScriptedCaptureService::~ScriptedCaptureService() = default;

int32_t ScriptedCaptureService::CreateEvents() {
    if (failures_.createEvents) return failures_.createEvents;
    return 0;
}

int32_t ScriptedCaptureService::Initialize() {
    if (failures_.initialize) return failures_.initialize;
    ++initializeCalls;
    return 0;
}

void ScriptedCaptureService::Uninitialize() { ++uninitializeCalls; }

int32_t ScriptedCaptureService::OpenDevice(const CaptureDeviceId& device) {
    if (failures_.openDevice) return failures_.openDevice;
    openedDevice = device;
    deviceOpen = true;
    return 0;
}

void ScriptedCaptureService::ReleaseBuffer() {
    std::lock_guard lock(mutex_);
    hasBuffer_ = false;
    looping_ = false;
}

void ScriptedCaptureService::ReleaseAll() {
    ReleaseBuffer();
    deviceOpen = false;
}

int32_t ScriptedCaptureService::CreateBuffer(const PcmFormat& f, uint32_t bytes) {
    ++createBufferCalls;
    if (failures_.createBuffer) return failures_.createBuffer;
    std::lock_guard lock(mutex_);
    format = f;
    bufferBytes = bytes;
    samples_.assign(bytes / 2, 0);
    writePosition_ = readPosition_ = 0;
    hasBuffer_ = true;
    return 0;
}

int32_t ScriptedCaptureService::QueryNotify() { return failures_.queryNotify; }

int32_t ScriptedCaptureService::SetNotificationPositions(std::span<const uint32_t> offsets) {
    if (failures_.setPositions) return failures_.setPositions;
    positions.assign(offsets.begin(), offsets.end());
    return 0;
}

int32_t ScriptedCaptureService::StartLooping() {
    ++startCalls;
    if (failures_.startLooping) return failures_.startLooping;
    std::lock_guard lock(mutex_);
    looping_ = true;
    return 0;
}

int32_t ScriptedCaptureService::StopBuffer() {
    ++stopBufferCalls;
    if (failures_.stopBuffer) return failures_.stopBuffer;
    std::lock_guard lock(mutex_);
    looping_ = false;
    return 0;
}

void ScriptedCaptureService::ResetEvents() {
    std::lock_guard lock(mutex_);
    notifySet_ = stopSet_ = false;
}

void ScriptedCaptureService::SignalStop() {
    {
        std::lock_guard lock(mutex_);
        if (looping_ && failures_.stopBuffer == 0) bufferStoppedBeforeStopSignal = false;
        stopSet_ = true;
    }
    eventChanged_.notify_all();
}

void ScriptedCaptureService::EnterCaptureThread() { captureThread = std::this_thread::get_id(); }

CaptureWait ScriptedCaptureService::WaitForEvent() {
    std::unique_lock lock(mutex_);
    eventChanged_.wait(lock, [this] { return notifySet_ || stopSet_; });
    if (notifySet_) {  // the lower index wins, as with the platform's wait
        notifySet_ = false;
        return CaptureWait::Notified;
    }
    stopSet_ = false;
    ++stopsSeenByThread;
    return CaptureWait::Stopped;
}

bool ScriptedCaptureService::HasBuffer() const {
    std::lock_guard lock(mutex_);
    return hasBuffer_;
}

int32_t ScriptedCaptureService::GetReadPosition(uint32_t& readPosition) {
    ++readPositionCalls;
    if (int32_t rc = readPositionFailure.load()) return rc;
    std::lock_guard lock(mutex_);
    uint32_t forced = readPositionOverride.load();
    readPosition = forced != UINT32_MAX ? forced : readPosition_;
    return 0;
}

int32_t ScriptedCaptureService::Lock(uint32_t offset, uint32_t bytes, LockedPieces& pieces) {
    ++lockCalls;
    if (int32_t rc = lockFailure.load()) return rc;
    std::lock_guard lock(mutex_);
    if (!hasBuffer_ || offset >= bufferBytes || bytes > bufferBytes) return -1;
    auto* base = reinterpret_cast<unsigned char*>(samples_.data());
    uint32_t first = bytes <= bufferBytes - offset ? bytes : bufferBytes - offset;
    pieces = {base + offset, first, nullptr, 0};
    if (first < bytes) pieces.second = base, pieces.secondBytes = bytes - first;
    return 0;
}

void ScriptedCaptureService::Unlock(const LockedPieces&) {}

void ScriptedCaptureService::Capture(uint32_t bytes) {
    {
        std::lock_guard lock(mutex_);
        for (uint32_t i = 0; i < bytes / 2; ++i) {
            samples_[writePosition_ / 2] = nextSample_++;
            writePosition_ = (writePosition_ + 2) % bufferBytes;
        }
        readPosition_ = writePosition_;
        notifySet_ = true;
    }
    eventChanged_.notify_all();
}

void ScriptedCaptureService::Notify() {
    {
        std::lock_guard lock(mutex_);
        notifySet_ = true;
    }
    eventChanged_.notify_all();
}

}  // namespace audio::testing
