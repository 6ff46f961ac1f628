// CMainFrame is the main window: it owns every pane, the capture engine and the decoder run.
#pragma once
#include <windows.h>
#include <richedit.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/decoder_log.h"
#include "audio/capture_device_list.h"
#include "audio/channel_picker.h"
#include "audio/fft_display.h"
#include "decoder/decoder_session_win.h"
#include "decoder/hand_over_win.h"
#include "messages/message_store.h"
#include "decoder/restart_backoff.h"
#include "audio/sound_capture.h"
#include "controls/msg_frame.h"
#include "controls/property_grid.h"
#include "map/map_pane_win.h"
#include "settings/settings_model.h"
#include "settings/settings_rows_win.h"
#include "win/dpi.h"
#include "win/frame_window.h"
#include "win/handles.h"
#include "win/menu_bar.h"

namespace feed {
class FeedSink;
}

class CMainFrame : public win::FrameWindow {
public:
    static constexpr int kPaneFftSettings = 0;
    static constexpr int kPaneDecoderLog = 1;
    static constexpr int kPaneMessages = 2;
    static constexpr int kPaneMap = 3;
    static constexpr int kLogCategories = 6;

    CMainFrame();
    ~CMainFrame() override;

    // Creates the main window, 800x600 at 96 DPI and as much more as the screen's DPI asks (OnCreate
    // runs inside); null on failure.
    HWND CreateMainWindow();
    // Centres the window on the work area of its nearest monitor without resizing or activating it.
    void CentreOnMonitor();

    // Layout and panes.
    void OnCreate();
    // The window moved to a screen of another DPI: every measure is rescaled and the window takes
    // the suggested place (WM_DPICHANGED).
    void OnDpiChanged(int newDpi, const RECT* suggested);
    // The screen DPI that the window's measures are for.
    int dpi = win::kDefaultDpi;
    // A 96-DPI measure at the window's DPI.
    int Px(int pixels) const { return win::Scale(pixels, dpi); }
    void SelectPane(int pane);
    void SetBandVisible(HWND child, bool visible);
    void PackBands();
    // Places the bar and the current pane; the hidden panes get the same place.
    void UpdateLayout(bool resizeBars = true) override;

    // Commands.
    void OnClose();
    void OnCommand(UINT code, UINT id, HWND sender);

    // Capture (FFT menu).
    void StartCapture();
    void StopCapture();
    // The capture sink, on the capture thread: the chosen channel to the spectrum display.
    static void OnCaptureBlock(void* context, const void* bytes, uint32_t byteCount);
    // Applies the sample-rate row to the working rate, the analysis and the display.
    void ApplySampleRate();

    // Decoder run (Decoder menu).
    void StartDecoder();
    void StopDecoder();

    // Configuration files (File menu).
    void loadConfiguration(const wchar_t* path);
    void saveConfiguration(const wchar_t* path);

    // The settings as they stand: the rows, with the working sample rate and the display's centre.
    settings::Settings CurrentSettings() const;
    // Puts loaded settings in force: the working rate with the analysis and the display, the centre,
    // and every row that differs.
    void ApplySettings(const settings::Settings& s);

    // Writes "%.0lf Hz" of the centre frequency into the centre-frequency row.
    void RefreshCentreFrequencyRow();

    // Shows a modal box owned by the main window (OK button, no icon).
    void ShowMessage(const std::wstring& text, const wchar_t* caption = L"");
    LRESULT DeferMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // --- members (names shared with the other subsystems) ---
    win::MenuBar menuBar;
    HMENU menu() const { return menuBar.menu(); }
    SpectrumModel spectrum;            // centre, ranges and analysis; outlives the display below
    CFFTDisp spectrumDisplay{spectrum};
    audio::CSoundCapture soundCapture;
    audio::CaptureDeviceId captureDevice{};
    int sampleRate = 0;
    int captureChannel = 0;
    bool captureRunning = false;
    CPropertyGridCtrl settingsGrid;
    audio::CaptureDeviceList captureDevices;  // captureDeviceIds / captureDeviceNames / captureDeviceCount
    SettingsRows settingRows;                 // with the kept items of rows 0, 2 and 3
    bool decoderRunning = false;
    // Starting and stopping the decoder wait for it while answering what other threads send the
    // window; a close or command sent meanwhile is kept and posted again once the wait is over.
    int decoderWaits = 0;
    struct DeferredMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<DeferredMessage> deferredMessages;
    class DecoderWaitScope {
    public:
        explicit DecoderWaitScope(CMainFrame& frame) : frame_(frame) { ++frame_.decoderWaits; }
        DecoderWaitScope(const DecoderWaitScope&) = delete;
        DecoderWaitScope& operator=(const DecoderWaitScope&) = delete;
        ~DecoderWaitScope();

    private:
        CMainFrame& frame_;
    };
    std::wstring decoderInstanceName;
    HWND statusField = nullptr;
    HWND lesField = nullptr;
    HWND frameField = nullptr;
    win::UniqueFont statusFont;
    CDecoderLog decoderLog;
    int currentPane = -1;
    CHARFORMATW logFormats[kLogCategories]{};
    // Shared with each run, so a reader that outlives the window still reads valid flags.
    std::shared_ptr<decoder::LogFilter> logFilter = std::make_shared<decoder::LogFilter>();
    HWND fftSettingsButton = nullptr;
    HWND decoderLogButton = nullptr;
    HWND messagesButton = nullptr;
    CMsgFrame messagesPane;
    HWND mapButton = nullptr;
    MapPane mapPane;
    // Gives the map the browser's store, filter and selection, and the home position.
    void RefreshMap();

    // --- decoder run ---
    // Sets a Decoder/FFT menu item's state (MFS_ENABLED, MFS_GRAYED | MFS_DISABLED, ...).
    void SetMenuItemState(UINT id, UINT state);
    // A sink that every later run gives its records to, after the text log and the window.
    void AddRecordSink(std::shared_ptr<decoder::IRecordSink> sink) { recordSinks_.push_back(std::move(sink)); }
    // The message store's sink for a run, or null (and a red note in the log) when the store cannot
    // be used; the run goes on either way.
    // With a feed, the store hands it each record it has written (and each message's copies).
    std::shared_ptr<decoder::IRecordSink> OpenMessageStore(const std::wstring& commandLine,
                                                           std::shared_ptr<feed::FeedSink> feed = nullptr);
    // The feed's sink for a run from the "Feed" rows, or null when "Destinations" is empty. Bad
    // destinations are said by the feed's thread once the run starts, in red in the log.
    std::shared_ptr<feed::FeedSink> MakeFeed(bool fromStore);
    // messageStorePath made absolute (relative to the current directory); empty when there is none.
    std::wstring MessageStoreFullPath() const;
    // Applies the running decoder's queued updates, in order, for a slice of time.
    void DrainDecoderUpdates();
    // The window effects of some taken updates, in their order.
    void ApplyDecoderUpdates(std::deque<decoder::LogUpdate> updates);
    // What a run left queued, at its end: only the lines the log's bound keeps are appended (the
    // earlier ones would leave the top at once; the text log and the store have them all), with the
    // log's drawing held until the end, so a long backlog costs at most one bound's worth of lines.
    void ApplyDecoderBacklog(std::deque<decoder::LogUpdate> updates);
    decoder::DecoderSession decoderSession;  // process, pipe, reader, stop sequence
    std::shared_ptr<decoder::HandOverSink> decoderHandOverSink;  // the running decoder's queue
    std::shared_ptr<decoder::TextLogSink> decoderTextLog;
    // Every record of every run is kept in this database, beside the decoder.
    std::wstring messageStorePath = L"vastrel-messages.db";
    // How the store is opened; the keep rows fill in their days at each start.
    messages::StoreOptions messageStoreOptions;
    decoder::HandOverWindow decoderHandOver;
    // --- end decoder run ---

    // --- unattended running ---
    // Posted when a run's reader has ended; wParam is the run's number in decoderRuns.
    static constexpr UINT kDecoderEndedMessage = WM_APP + 0x42;
    static constexpr UINT_PTR kRestartTimer = 0x5201;
    // How long the window waits for a decoder whose pipe broke to end, to learn its exit code.
    static constexpr DWORD kEndedExitWaitMs = 2000;
    // While decoderRunning, a decoder that ended by itself is started again after these delays when
    // "Restart when it ends" is on. The window keeps its running state while a restart is pending.
    decoder::RestartBackoff restartBackoff;
    bool restartPending = false;
    unsigned decoderRuns = 0;      // runs started, restarts included
    unsigned decoderRestarts = 0;  // restarts since the user's start
    // UTC milliseconds for record times, text-log names and notes; null: the system clock.
    std::function<std::int64_t()> decoderClock;
    std::int64_t DecoderUtcNow() const;
    // A red note of the front end's own with the time, in the log and (if one is open) the text log.
    // Returns the line as written.
    std::wstring NoteDecoderEvent(std::wstring words, std::int64_t utcMs);
    // The same note, but in the log after whatever the run's hand-over still holds.
    std::wstring NoteDecoderEventAfterRecords(std::wstring words, std::int64_t utcMs);
    // --- end unattended running ---

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    audio::ChannelPicker channelPicker_;
    std::vector<std::shared_ptr<decoder::IRecordSink>> recordSinks_;  // used by the capture thread only while it runs
    HWND CreatePaneButton(const wchar_t* text);
    HWND CreateStatusField();
    void CreateSettingsGrid();
    void CreateStatusFont();
    void RescaleBands();
    void ToggleLogFilter(UINT id, int category);
    void ShowConfigurationDialog(bool save);
    // The capture-device descriptions, as the settings model indexes them.
    settings::DeviceNames CaptureDeviceNames() const;
    LRESULT OnNotify(const NMHDR& header, bool& handled);
    // A start by the user (restart false) or an unattended restart; false when no run began.
    bool StartRun(bool restart);
    // Ends the session, hands over what is left and closes the text log; the window's state stays.
    void EndRun();
    // The run's text log (daily if asked), or null after reporting why not.
    std::shared_ptr<decoder::TextLogSink> OpenTextLog(const std::wstring& dir, bool onlyShown, bool daily,
                                                      const std::function<void(const std::wstring&)>& report,
                                                      const std::wstring& firstLine);
    // Said by the reader's hand-over as soon as the reader has ended, ahead of its queued records.
    void OnDecoderEnded(WPARAM run);
    void ScheduleRestart();
    void OnRestartTimer();
    void CancelRestart();
    std::wstring restartNote_;  // the restart's note, the first line of its text log
    void OnSettingChanged(const NMHDR& header);
    void OnBrowseRequested(const NMHDR& header);
    void BrowseForStoreFile(IProperty& item, const std::wstring& start);
};
