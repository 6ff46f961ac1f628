// The decoder run in the window: what a start reads from the rows, and what the run reports, shown in
// the status fields, the log, the menus and the centre-frequency row.
#include "app/main_frame.h"

#include "app/launch_settings.h"
#include "resource.h"

decoder::LaunchSettings CMainFrame::ReadRunSettings() { return LaunchSettingsFor(CurrentSettings(), CaptureDeviceNames()); }

void CMainFrame::OnRunLaunching(const decoder::LaunchSettings& settings) {
    ApplySampleRate();
    if (settings.settings.disableFftWhileDecoding && captureRunning_) StopCapture();
}

void CMainFrame::OnRunHeader(const std::wstring& les, const std::wstring& frame, std::optional<double> frequencyHz) {
    ::SetWindowTextW(lesField_, les.c_str());
    ::SetWindowTextW(frameField_, frame.c_str());
    if (frequencyHz) {
        spectrum_.centerFrequency = *frequencyHz;
        RefreshCentreFrequencyRow();
    }
    RefreshTrayTip();
}

void CMainFrame::OnRunLog(std::wstring_view text, std::optional<decoder::Category> category) {
    if (category)
        decoderLog_.Append(text, *category);
    else
        decoderLog_.AppendInColourInForce(text);
}

void CMainFrame::OnRunStarted() {
    ::EnableWindow(spectrumDisplay_.hwnd(), FALSE);
    settingsGrid_.selectItem(0, 0);
    ::SetFocus(spectrumDisplay_.hwnd());
    ::EnableWindow(settingsGrid_.hwnd(), FALSE);
    SetMenuItemState(ID_DECODER_START, MFS_GRAYED | MFS_DISABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_ENABLED);
}

void CMainFrame::OnRunStopped() {
    ::EnableWindow(spectrumDisplay_.hwnd(), TRUE);
    ::EnableWindow(settingsGrid_.hwnd(), TRUE);
    ::SetWindowTextW(statusField_, L"Idle");
    ::SetWindowTextW(lesField_, L"---");
    ::SetWindowTextW(frameField_, L"----");
    SetMenuItemState(ID_DECODER_START, MFS_ENABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_GRAYED | MFS_DISABLED);
    RefreshTrayTip();
}

std::wstring CMainFrame::MessageStoreFullPath() const {
    const std::wstring name = settingRows_.ReadText(settings::kStoreFile);
    if (name.empty()) return {};
    // A relative name is beside the decoder, in the current directory.
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD n = ::GetFullPathNameW(name.c_str(), MAX_PATH * 4, full, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : name;
}
