// Capture start and stop (FFT menu) and the sink that feeds the spectrum_ model.
#include "app/main_frame.h"

#include "resource.h"

void CMainFrame::OnCaptureBlock(void* context, const void* bytes, uint32_t byteCount) {
    auto* self = static_cast<CMainFrame*>(context);
    const auto samples = self->channelPicker_.Pick(bytes, byteCount, self->captureChannel_);
    if (!samples.empty()) self->spectrum_.AddSamples(samples.data(), static_cast<int>(samples.size()));
}

void CMainFrame::StartCapture() {
    if (captureRunning_) StopCapture();
    ApplySampleRate();

    const settings::Settings s = CurrentSettings();
    // An empty device list or a row without a valid entry cannot be opened.
    const auto id = captureDevices_.Id(s.soundCard);
    if (!id) {
        ShowMessage(L"Can't open soundcard.");
        return;
    }
    captureDevice_ = *id;
    captureChannel_ = s.cardChannel < 0 ? 0 : s.cardChannel;

    if (soundCapture_.Open(captureDevice_) != 0) {
        ShowMessage(L"Can't open soundcard.");
        return;
    }
    const std::uint16_t channels = captureChannel_ != 0 ? 2 : 1;
    const std::uint32_t rate = static_cast<std::uint32_t>(s.sampleRate > 0 ? s.sampleRate : 0);
    if (soundCapture_.SetFormat(rate, 16, channels, 8) != 0) {
        ShowMessage(L"Soundcard doesn't support 48000Hz/16bit recording format.");
        soundCapture_.Close();
        return;
    }
    channelPicker_.Reserve(soundCapture_.BufferBytes());
    if (soundCapture_.Start(&CMainFrame::OnCaptureBlock, this) != 0) {
        ShowMessage(L"Failed to start recording.");
        soundCapture_.Close();
        return;
    }
    captureRunning_ = true;
    ::SetTimer(hwnd(), kSnrTimer, kSnrIntervalMs, nullptr);
    SetMenuItemState(ID_FFT_OFF, MFS_ENABLED);
    SetMenuItemState(ID_FFT_ON, MFS_GRAYED);
    settingRows_.EnableCaptureRows(false);
}

void CMainFrame::StopCapture() {
    if (!captureRunning_) return;
    soundCapture_.Stop();
    soundCapture_.Close();
    captureRunning_ = false;
    ::KillTimer(hwnd(), kSnrTimer);
    SetMenuItemState(ID_FFT_OFF, MFS_GRAYED);
    SetMenuItemState(ID_FFT_ON, MFS_ENABLED);
    settingRows_.EnableCaptureRows(true);
}

// Once a minute while capture runs, the carrier's signal to noise goes to the run's reception ledger.
std::optional<double> CMainFrame::SnrNow() {
    if (!captureRunning_) return std::nullopt;
    return spectrum_.SnrDbAt(spectrum_.centerFrequency);
}

void CMainFrame::OnSnrTimer() {
    if (const std::optional<double> db = SnrNow()) run_.NoteSnr(*db);
}
