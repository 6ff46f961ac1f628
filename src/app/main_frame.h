// CMainFrame is the main window: it owns every pane and the capture engine, and shows the decoder run
// that it starts and stops. Its state is its own; tools and tests reach it through its windows and
// messages, or through the models it shows (the run, the settings rows, the spectrum).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "alerts/alert_pace.h"
#include "alerts/program_runner_win.h"
#include "app/decoder_log.h"
#include "audio/capture_device_list.h"
#include "audio/channel_picker.h"
#include "audio/fft_display.h"
#include "audio/sound_capture.h"
#include "controls/msg_frame.h"
#include "controls/property_grid.h"
#include "decoder/decoder_run_win.h"
#include "map/map_pane_win.h"
#include "reception/reception_pane_win.h"
#include "settings/settings_model.h"
#include "settings/settings_rows_win.h"
#include "win/dpi.h"
#include "win/frame_window.h"
#include "win/handles.h"
#include "win/menu_bar.h"
#include "win/tray_icon.h"

class CMainFrame : public win::FrameWindow, private decoder::IRunView {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the main window, 800x600 at 96 DPI and as much more as the screen's DPI asks (OnCreate
    // runs inside); null on failure.
    HWND CreateMainWindow();
    // Centres the window on the work area of its nearest monitor without resizing or activating it.
    void CentreOnMonitor();

    // The models the window shows, for tools and tests that work them as the window does.
    decoder::DecoderRun& Run() { return run_; }
    SettingsRows& Rows() { return settingRows_; }
    SpectrumModel& Spectrum() { return spectrum_; }
    // The menu the menu bar shows (what GetMenu gives for a window with a standard menu).
    HMENU menu() const { return menuBar_.menu(); }
    // The capture devices the sound-card row offers, and the engine that opens them.
    audio::CaptureDeviceList& CaptureDevices() { return captureDevices_; }
    const audio::CSoundCapture& Capture() const { return soundCapture_; }
    // The settings as they stand: the rows, with the working sample rate and the display's centre.
    settings::Settings CurrentSettings() const;
    // Puts settings in force as a loaded file does: the working rate with the analysis and the
    // display, the centre, and every row that differs.
    void ApplySettings(const settings::Settings& s);
    // Loads or saves a configuration file, as the File menu does once its dialog has a path.
    void LoadConfiguration(const wchar_t* path);
    void SaveConfiguration(const wchar_t* path);
    // The carrier's signal to noise at the centre now, as the ledger gets it once a minute while
    // capture runs; none without capture or before its first frame.
    std::optional<double> SnrNow();
    static constexpr UINT_PTR kSnrTimer = 0x5352;
    static constexpr UINT kSnrIntervalMs = 60'000;

    // What the alerts have done so far, as the window did it: flashes of its taskbar button,
    // notifications, sounds; and the last notification's words and message.
    struct AlertsDone {
        unsigned flashes = 0;
        unsigned notifications = 0;
        unsigned sounds = 0;
        std::wstring title;
        std::wstring text;
        std::int64_t message = 0;
    };
    const AlertsDone& Alerts() const { return alertsDone_; }
    // The programs run on alerts, and the clock (monotonic milliseconds) of their time limit and of the
    // sound's pace; null: the system's tick count.
    alerts::ProgramRunner& AlertPrograms() { return alertPrograms_; }
    void SetAlertClock(std::function<std::int64_t()> clock);
    // The tray icon's tooltip, as the window last set it.
    const std::wstring& TrayTip() const { return trayIcon_.tip(); }
    bool HasTrayIcon() const { return trayIcon_.added(); }
    // The tray icon's clicks, menu and notifications come as this message (win::TrayIcon).
    static constexpr UINT kTrayMessage = WM_APP + 0x31;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Places the bar and the current pane; the hidden panes get the same place.
    void UpdateLayout(bool resizeBars = true) override;

private:
    enum class Pane { FftSettings, DecoderLog, Messages, Map, Reception };

    // Layout and panes.
    void OnCreate();
    // The window moved to a screen of another DPI: every measure is rescaled and the window takes
    // the suggested place (WM_DPICHANGED).
    void OnDpiChanged(int newDpi, const RECT* suggested);
    // A 96-DPI measure at the window's DPI.
    int Px(int pixels) const { return win::Scale(pixels, dpi_); }
    void SelectPane(Pane pane);
    // Gives the map the browser's store, filter and selection, and the home position.
    void RefreshMap();
    void PackBands();
    HWND CreatePaneButton(const wchar_t* text, int id);
    HWND CreateStatusField(int id);
    void CreateSettingsGrid();
    void FitSettingLabels();
    void CreateStatusFont();
    void RescaleBands();

    // Commands.
    void OnClose();
    void OnCommand(UINT code, UINT id, HWND sender);
    LRESULT DeferMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnUnreadChanged(std::int64_t unread);
    // Sets a Decoder/FFT menu item's state (MFS_ENABLED, MFS_GRAYED | MFS_DISABLED, ...).
    void SetMenuItemState(UINT id, UINT state);
    void ToggleLogFilter(UINT id, decoder::Category category);
    void ShowConfigurationDialog(bool save);
    // Shows a modal box owned by the main window (OK button, no icon).
    void ShowMessage(const std::wstring& text, const wchar_t* caption = L"");

    // Capture (FFT menu).
    void StartCapture();
    void StopCapture();
    void OnSnrTimer();
    // The capture sink, on the capture thread: the chosen channel to the spectrum display.
    static void OnCaptureBlock(void* context, const void* bytes, uint32_t byteCount);
    // Applies the sample-rate row to the working rate, the analysis and the display.
    void ApplySampleRate();

    // Writes "%.0lf Hz" of the centre frequency into the centre-frequency row.
    void RefreshCentreFrequencyRow();
    // The capture-device descriptions, as the settings model indexes them.
    settings::DeviceNames CaptureDeviceNames() const;
    // The store file's row made absolute (relative to the current directory); empty when there is none.
    std::wstring MessageStoreFullPath() const;
    LRESULT OnNotify(const NMHDR& header, bool& handled);
    void OnSettingChanged(const NMHDR& header);
    // A home position typed in its row is taken, or refused with the reason while the row keeps the
    // one it had.
    void OnHomePositionChanged();
    // An alert filter typed in its row is taken, or refused with the filter language's message while
    // the row keeps the one it had.
    void OnAlertFilterChanged();
    void OnBrowseRequested(const NMHDR& header);
    void BrowseForStoreFile(IProperty& item, const std::wstring& start);
    void BrowseForAlertSound(IProperty& item, const std::wstring& start);
    // A loaded file's "Run on alert" other than the one in force is taken only when the user says so.
    bool ConfirmAlertProgram(const std::wstring& program);

    // What the decoder run reports (decoder::IRunView).
    decoder::LaunchSettings ReadRunSettings() override;
    void OnRunLaunching(const decoder::LaunchSettings& settings) override;
    void ShowRunError(const std::wstring& text) override { ShowMessage(text); }
    void OnRunStatus(const wchar_t* text) override {
        ::SetWindowTextW(statusField_, text);
        RefreshTrayTip();
    }
    void OnRunHeader(const std::wstring& les, const std::wstring& frame, std::optional<double> frequencyHz) override;
    void OnRunLog(std::wstring_view text, std::optional<decoder::Category> category) override;
    void OnRunLogClear() override { decoderLog_.Clear(); }
    void OnRunLogDraw() override { decoderLog_.DrawPending(); }
    std::size_t RunLogLineLimit() const override { return decoderLog_.LineLimit(); }
    void OnRunStore(const std::wstring& fullPath) override {
        messagesPane_.SetStorePath(fullPath);
        receptionPane_.SetStorePath(fullPath);
    }
    void OnRunStarted() override;
    void OnRunStopped() override;
    void OnRunWaitOver() override;
    void OnRunAlert(const decoder::RunAlert& alert) override;

    // Alerts and the tray (main_frame_alerts.cpp).
    void CreateTrayIcon();
    void RefreshTrayTip();
    void OnTrayEvent(UINT event);
    void ShowTrayMenu();
    // Brings the window back from the tray or the taskbar, in front.
    void ShowFromTray();
    void PlayAlertSound();

    int dpi_ = win::kDefaultDpi;  // the screen DPI that the window's measures are for
    win::MenuBar menuBar_;
    SpectrumModel spectrum_;  // centre, ranges and analysis; outlives the display below
    CFFTDisp spectrumDisplay_{spectrum_};
    audio::CSoundCapture soundCapture_;
    audio::CaptureDeviceId captureDevice_{};
    audio::ChannelPicker channelPicker_;
    int sampleRate_ = 0;
    int captureChannel_ = 0;
    bool captureRunning_ = false;
    CPropertyGridCtrl settingsGrid_;
    audio::CaptureDeviceList captureDevices_;
    SettingsRows settingRows_;  // with the kept items of rows 0, 2 and 3
    std::wstring homePosition_;  // the home-position row's last accepted text
    std::wstring alertFilter_;   // the alert-filter row's last accepted text
    HWND statusField_ = nullptr;
    HWND lesField_ = nullptr;
    HWND frameField_ = nullptr;
    win::UniqueFont statusFont_;
    CDecoderLog decoderLog_;
    std::optional<Pane> currentPane_;
    HWND fftSettingsButton_ = nullptr;
    HWND decoderLogButton_ = nullptr;
    HWND messagesButton_ = nullptr;
    CMsgFrame messagesPane_;
    HWND mapButton_ = nullptr;
    MapPane mapPane_;
    reception::ReceptionPane receptionPane_;
    HWND receptionButton_ = nullptr;
    decoder::DecoderRun run_{*this};
    win::TrayIcon trayIcon_;
    std::int64_t unreadCount_ = 0;
    alerts::ProgramRunner alertPrograms_;
    alerts::SoundPace soundPace_;
    std::function<std::int64_t()> alertClock_;
    AlertsDone alertsDone_;
    // Starting and stopping the decoder wait for it while answering what other threads send the
    // window; a close or command sent meanwhile is kept and posted again once the wait is over.
    struct DeferredMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<DeferredMessage> deferredMessages_;
};
