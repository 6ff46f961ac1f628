#include "audio/dsound_capture_win.h"

#include "win/handles.h"

#include <cstring>

namespace audio {

namespace {

// dsound.dll missing: the code LoadLibrary's failure would give.
constexpr HRESULT kNoLibrary = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);

class DirectSoundCaptureService final : public ICaptureService {
public:
    ~DirectSoundCaptureService() override {
        // Reached on the owner's thread after Close, or on an abandoned capture thread as it ends.
        ReleaseAll();
    }

    int32_t CreateEvents() override {
        notifyEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        stopEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!notifyEvent_ || !stopEvent_) return HRESULT_FROM_WIN32(::GetLastError());
        return S_OK;
    }

    int32_t Initialize() override {
        HRESULT hr = ::CoInitialize(nullptr);
        if (SUCCEEDED(hr)) comInitialized_ = true;
        return hr;
    }

    void Uninitialize() override {
        if (comInitialized_) ::CoUninitialize();
        comInitialized_ = false;
    }

    int32_t OpenDevice(const CaptureDeviceId& device) override {
        const auto& ds = DirectSound();
        if (!ds.captureCreate) return kNoLibrary;
        GUID guid{};
        if (device) guid = ToGuid(*device);
        return ds.captureCreate(device ? &guid : nullptr, capture_.put(), nullptr);
    }

    void ReleaseBuffer() override {
        notify_.reset();
        buffer_.reset();
    }

    void ReleaseAll() override {
        ReleaseBuffer();
        capture_.reset();
    }

    int32_t CreateBuffer(const PcmFormat& format, uint32_t bufferBytes) override {
        if (!capture_) return E_POINTER;
        WAVEFORMATEX wf{};
        wf.wFormatTag = format.formatTag;
        wf.nChannels = format.channels;
        wf.nSamplesPerSec = format.samplesPerSec;
        wf.nAvgBytesPerSec = format.avgBytesPerSec;
        wf.nBlockAlign = format.blockAlign;
        wf.wBitsPerSample = format.bitsPerSample;
        wf.cbSize = format.extraSize;
        DSCBUFFERDESC desc{};
        desc.dwSize = sizeof(DSCBUFFERDESC);
        desc.dwFlags = 0;
        desc.dwBufferBytes = bufferBytes;
        desc.dwReserved = 0;
        desc.lpwfxFormat = &wf;
        desc.dwFXCount = 0;
        desc.lpDSCFXDesc = nullptr;
        return capture_->CreateCaptureBuffer(&desc, buffer_.put(), nullptr);
    }

    int32_t QueryNotify() override {
        if (!buffer_) return E_POINTER;
        return buffer_->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(notify_.put()));
    }

    int32_t SetNotificationPositions(std::span<const uint32_t> offsets) override {
        if (!notify_) return E_POINTER;
        DSBPOSITIONNOTIFY positions[32];
        if (offsets.size() > std::size(positions)) return E_INVALIDARG;
        for (size_t i = 0; i < offsets.size(); ++i) positions[i] = {offsets[i], notifyEvent_.get()};
        return notify_->SetNotificationPositions(static_cast<DWORD>(offsets.size()), positions);
    }

    int32_t StartLooping() override { return buffer_ ? buffer_->Start(DSCBSTART_LOOPING) : E_POINTER; }
    int32_t StopBuffer() override { return buffer_ ? buffer_->Stop() : E_POINTER; }

    void ResetEvents() override {
        ::ResetEvent(notifyEvent_.get());
        ::ResetEvent(stopEvent_.get());
    }

    void SignalStop() override { ::SetEvent(stopEvent_.get()); }

    void EnterCaptureThread() override { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

    CaptureWait WaitForEvent() override {
        HANDLE events[2] = {notifyEvent_.get(), stopEvent_.get()};
        DWORD r = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (r == WAIT_OBJECT_0) return CaptureWait::Notified;
        if (r == WAIT_OBJECT_0 + 1) return CaptureWait::Stopped;
        return CaptureWait::Failed;
    }

    bool HasBuffer() const override { return static_cast<bool>(buffer_); }

    int32_t GetReadPosition(uint32_t& readPosition) override {
        DWORD capturePos = 0, readPos = 0;
        HRESULT hr = buffer_->GetCurrentPosition(&capturePos, &readPos);
        readPosition = readPos;
        return hr;
    }

    int32_t Lock(uint32_t offset, uint32_t bytes, LockedPieces& pieces) override {
        DWORD firstBytes = 0, secondBytes = 0;
        HRESULT hr = buffer_->Lock(offset, bytes, &pieces.first, &firstBytes, &pieces.second, &secondBytes, 0);
        pieces.firstBytes = firstBytes;
        pieces.secondBytes = secondBytes;
        return hr;
    }

    void Unlock(const LockedPieces& pieces) override {
        buffer_->Unlock(pieces.first, pieces.firstBytes, pieces.second, pieces.secondBytes);
    }

private:
    win::UniqueHandle notifyEvent_;
    win::UniqueHandle stopEvent_;
    win::ComPtr<IDirectSoundCapture> capture_;
    win::ComPtr<IDirectSoundCaptureBuffer> buffer_;
    win::ComPtr<IDirectSoundNotify> notify_;
    bool comInitialized_ = false;
};

struct LoadedDirectSound {
    win::UniqueModule module{::LoadLibraryW(L"dsound.dll")};
    DirectSoundEntryPoints entries;
    LoadedDirectSound() {
        if (!module) return;
        entries.captureEnumerate = reinterpret_cast<DirectSoundEntryPoints::EnumerateFn>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "DirectSoundCaptureEnumerateW")));
        entries.captureCreate = reinterpret_cast<DirectSoundEntryPoints::CreateFn>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "DirectSoundCaptureCreate")));
    }
};

}  // namespace

const DirectSoundEntryPoints& DirectSound() {
    static const LoadedDirectSound loaded;
    return loaded.entries;
}

CaptureServiceFactory DirectSoundServiceFactory() {
    return [] { return std::shared_ptr<ICaptureService>(std::make_shared<DirectSoundCaptureService>()); };
}

static_assert(sizeof(GUID) == sizeof(DeviceGuid));

GUID ToGuid(const DeviceGuid& id) {
    GUID g{};
    g.Data1 = id.data1;
    g.Data2 = id.data2;
    g.Data3 = id.data3;
    std::memcpy(g.Data4, id.data4.data(), sizeof(g.Data4));
    return g;
}

DeviceGuid FromGuid(const GUID& g) {
    DeviceGuid id;
    id.data1 = g.Data1;
    id.data2 = g.Data2;
    id.data3 = g.Data3;
    std::memcpy(id.data4.data(), g.Data4, sizeof(g.Data4));
    return id;
}

}  // namespace audio
