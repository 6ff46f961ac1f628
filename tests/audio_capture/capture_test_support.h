// Shared pieces of the capture tests: a factory that hands out scripted services and keeps an eye
// on them, and a sink that records what it receives.
#pragma once
#include "audio/sound_capture.h"
#include "scripted_capture_service.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace audio::testing {

class ScriptedFactory {
public:
    ScriptedFailures failures;
    std::vector<std::weak_ptr<ScriptedCaptureService>> made;

    CaptureServiceFactory Factory() {
        return [this] {
            auto s = std::make_shared<ScriptedCaptureService>(failures);
            made.push_back(s);
            return std::shared_ptr<ICaptureService>(s);
        };
    }
    std::shared_ptr<ScriptedCaptureService> Last() const { return made.empty() ? nullptr : made.back().lock(); }
};

// Records every piece as samples; can hold the capture thread inside the sink until released.
class RecordingSink {
public:
    struct Piece {
        std::vector<int16_t> samples;
        std::thread::id thread;
    };

    static void Call(void* context, const void* bytes, uint32_t byteCount) {
        static_cast<RecordingSink*>(context)->Receive(bytes, byteCount);
    }

    void Receive(const void* bytes, uint32_t byteCount) {
        std::unique_lock lock(mutex_);
        Piece p;
        p.samples.resize(byteCount / 2);
        std::memcpy(p.samples.data(), bytes, p.samples.size() * 2);
        p.thread = std::this_thread::get_id();
        pieces_.push_back(std::move(p));
        inside_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !hold_; });
        inside_ = false;
        changed_.notify_all();
    }

    void Hold(bool hold) {
        {
            std::lock_guard lock(mutex_);
            hold_ = hold;
        }
        changed_.notify_all();
    }

    // Waits (bounded) until at least `count` pieces have arrived.
    bool WaitForPieces(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return pieces_.size() >= count; });
    }

    std::vector<Piece> Pieces() {
        std::lock_guard lock(mutex_);
        return pieces_;
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return pieces_.size();
    }
    bool Inside() {
        std::lock_guard lock(mutex_);
        return inside_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Piece> pieces_;
    bool hold_ = false;
    bool inside_ = false;
};

// Polls `cond` until it holds or the limit passes.
template <class F>
bool Eventually(F cond, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace audio::testing
