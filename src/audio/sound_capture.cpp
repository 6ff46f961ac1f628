#include "audio/sound_capture.h"

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace audio {

namespace {
bool Failed(int32_t rc) { return rc < 0; }
}  // namespace

// Shared by the engine and its capture thread, so that a thread abandoned by Stop still has
// everything it touches until it ends.
struct CSoundCapture::Run {
    std::shared_ptr<ICaptureService> service;
    CaptureSink sink = nullptr;
    void* sinkContext = nullptr;
    uint32_t bufferBytes = 0;
    uint32_t blockBytes = 0;
    uint32_t readCursor = 0;  // capture thread only
    std::thread thread;       // owner only

    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    bool abandoned = false;  // no further sink calls
    int32_t result = 0;

    // The sink is entered only while the run is not abandoned; checking and entering under one
    // lock means that after Abandon() no new sink call can begin.
    bool EnterSink() {
        std::lock_guard lock(mutex);
        return !abandoned;
    }

    bool Finished() {
        std::lock_guard lock(mutex);
        return finished;
    }

    // Hands one piece on and moves the cursor past it; false once the run is abandoned.
    bool Deliver(const void* bytes, uint32_t byteCount) {
        if (bytes == nullptr || byteCount == 0) return true;
        if (!EnterSink()) return false;
        sink(sinkContext, bytes, byteCount);
        readCursor = static_cast<uint32_t>((uint64_t{readCursor} + byteCount) % bufferBytes);
        return true;
    }

    int32_t Loop() {
        ICaptureService& svc = *service;
        for (;;) {
            if (svc.WaitForEvent() != CaptureWait::Notified) return kCaptureOk;
            if (!svc.HasBuffer()) return kCaptureNotAllowed;
            uint32_t readPosition = 0;
            int32_t rc = svc.GetReadPosition(readPosition);
            if (Failed(rc)) return rc;
            // A position outside the buffer would make every later offset meaningless.
            if (readPosition >= bufferBytes) return kCaptureUnexpected;
            uint32_t available = readPosition >= readCursor ? readPosition - readCursor
                                                            : readPosition + (bufferBytes - readCursor);
            // Whole blocks only; the rest waits for the next notification.
            uint32_t size = available - available % blockBytes;
            if (size == 0) continue;
            LockedPieces pieces;
            rc = svc.Lock(readCursor, size, pieces);
            if (Failed(rc)) return rc;
            bool more = Deliver(pieces.first, pieces.firstBytes) && Deliver(pieces.second, pieces.secondBytes);
            svc.Unlock(pieces);
            if (!more) return kCaptureOk;
        }
    }

    static void Main(std::shared_ptr<Run> run) {
        run->service->EnterCaptureThread();
        int32_t rc = run->Loop();
        // Let go of the service here: for an abandoned run this is where buffer and events end.
        run->service.reset();
        {
            std::lock_guard lock(run->mutex);
            run->result = rc;
            run->finished = true;
        }
        run->finishedChanged.notify_all();
    }
};

CSoundCapture::CSoundCapture(CaptureServiceFactory factory) : factory_(std::move(factory)) {}

CSoundCapture::~CSoundCapture() { Close(); }

bool CSoundCapture::AbandonedThreadAlive() const noexcept {
    return abandonedRun_ && !abandonedRun_->Finished();
}

int32_t CSoundCapture::Open(const CaptureDeviceId& device) {
    if (state_ != CaptureState::Closed) return kCaptureNotAllowed;
    notifyPositions_ = {};
    bufferBytes_ = blockBytes_ = blocksPerSecond_ = 0;
    format_ = PcmFormat{};
    handedOver_ = false;
    lastStopAbandoned_ = false;

    std::shared_ptr<ICaptureService> service;
    try {
        if (factory_) service = factory_();
    } catch (const std::bad_alloc&) {
        service.reset();
    }
    if (!service) return kCaptureOutOfMemory;
    // Whatever a failed step took is given back here, so a failed Open leaves nothing behind.
    int32_t rc = service->CreateEvents();
    if (Failed(rc)) return rc;
    rc = service->Initialize();
    if (Failed(rc)) return rc;
    rc = service->OpenDevice(device);
    if (Failed(rc)) {
        service->ReleaseAll();
        service->Uninitialize();
        return rc;
    }
    service_ = std::move(service);
    state_ = CaptureState::Opened;
    return kCaptureOk;
}

int32_t CSoundCapture::SetFormat(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels,
                                 uint32_t blocksPerSecond) {
    if (state_ != CaptureState::Opened || handedOver_) return kCaptureNotAllowed;
    auto blockAlign = static_cast<uint16_t>(uint32_t{bitsPerSample} * channels / 8);
    uint64_t avgBytes = uint64_t{samplesPerSec} * blockAlign;
    // These would divide by zero or overflow the block arithmetic; no device takes them anyway.
    // They are refused before anything is kept, so Start still finds no format.
    if (samplesPerSec == 0 || blockAlign == 0 || blocksPerSecond == 0 ||
        avgBytes > std::numeric_limits<uint32_t>::max() ||
        BlockBytesFor(static_cast<uint32_t>(avgBytes), blockAlign, blocksPerSecond) == 0)
        return kCaptureInvalidParam;
    format_ = PcmFormat{1, channels, samplesPerSec, static_cast<uint32_t>(avgBytes), blockAlign, bitsPerSample, 0};
    blocksPerSecond_ = blocksPerSecond;
    return CreateBuffer();
}

uint32_t CSoundCapture::BlockBytesFor(uint32_t avgBytesPerSec, uint16_t blockAlign, uint32_t blocksPerSecond) {
    if (blockAlign == 0 || blocksPerSecond == 0) return 0;
    uint32_t block = avgBytesPerSec / blocksPerSecond;
    if (block < kMinBlockBytes) block = kMinBlockBytes;
    block -= block % blockAlign;  // whole sample frames
    if (uint64_t{block} * kBlockCount > std::numeric_limits<uint32_t>::max()) return 0;
    return block;
}

int32_t CSoundCapture::CreateBuffer() {
    service_->ReleaseBuffer();
    blockBytes_ = BlockBytesFor(format_.avgBytesPerSec, format_.blockAlign, blocksPerSecond_);
    bufferBytes_ = blockBytes_ * kBlockCount;

    int32_t rc = service_->CreateBuffer(format_, bufferBytes_);
    if (Failed(rc)) return rc;
    rc = service_->QueryNotify();
    if (Failed(rc)) return rc;
    // The last byte of each block: the notification comes once the whole block is captured.
    for (int i = 0; i < kBlockCount; ++i) notifyPositions_[i] = blockBytes_ * static_cast<uint32_t>(i + 1) - 1;
    rc = service_->SetNotificationPositions(notifyPositions_);
    return Failed(rc) ? rc : kCaptureOk;
}

int32_t CSoundCapture::Start(CaptureSink sink, void* sinkContext) {
    if (state_ != CaptureState::Opened || blocksPerSecond_ == 0) return kCaptureNotAllowed;
    // Two threads must never be inside the sink at once, nor share one buffer.
    if (handedOver_ || AbandonedThreadAlive()) return kCaptureNotAllowed;
    if (sink == nullptr) return kCaptureInvalidParam;
    service_->ResetEvents();
    int32_t rc = CreateBuffer();
    if (Failed(rc)) return rc;

    std::shared_ptr<Run> run;
    try {
        run = std::make_shared<Run>();
        run->service = service_;
        run->sink = sink;
        run->sinkContext = sinkContext;
        run->bufferBytes = bufferBytes_;
        run->blockBytes = blockBytes_;
        run->thread = std::thread(&Run::Main, run);
    } catch (const std::bad_alloc&) {
        return kCaptureOutOfMemory;
    } catch (...) {
        return kCaptureFailed;
    }
    run_ = std::move(run);
    rc = service_->StartLooping();
    if (Failed(rc)) {
        // The thread exists already: it must be gone before Close lets the events go.
        EndThread();
        return rc;
    }
    state_ = CaptureState::Capturing;
    return kCaptureOk;
}

void CSoundCapture::EndThread() {
    if (!run_) return;
    service_->SignalStop();
    std::unique_lock lock(run_->mutex);
    bool ended = run_->finishedChanged.wait_for(lock, std::chrono::milliseconds(kThreadWaitMs),
                                                [this] { return run_->finished; });
    if (!ended) run_->abandoned = true;
    lock.unlock();
    if (ended) {
        run_->thread.join();
    } else {
        // Killing it could leave the sink's lock held for good; instead it keeps the service
        // (buffer, events) alive through its share of the run and ends after its current sink call.
        run_->thread.detach();
        abandonedRun_ = run_;
        handedOver_ = true;
        lastStopAbandoned_ = true;
    }
    run_.reset();
}

int32_t CSoundCapture::Stop() {
    if (state_ != CaptureState::Capturing) return kCaptureNotAllowed;
    lastStopAbandoned_ = false;
    int32_t rc = service_->HasBuffer() ? service_->StopBuffer() : kCaptureOk;
    // Even when the device refuses to stop the thread is ended: a run left Capturing could never
    // be closed or reopened, and its sink would outlive the display it writes into.
    EndThread();
    state_ = CaptureState::Opened;
    return Failed(rc) ? rc : kCaptureOk;
}

int32_t CSoundCapture::Close() {
    if (state_ == CaptureState::Capturing) Stop();
    if (state_ != CaptureState::Opened) return kCaptureNotAllowed;
    if (!handedOver_) service_->ReleaseAll();
    service_->Uninitialize();
    service_.reset();  // the events go with the last owner
    handedOver_ = false;
    state_ = CaptureState::Closed;
    return kCaptureOk;
}

}  // namespace audio
