// DecoderRun is the decoder run as a model of its own: the session, the hand-over of its records,
// its sinks (text log, message store, feed), the restart after an unattended end with its back-off,
// the run counters and the clock. The main window starts and stops it and shows what it reports
// through IRunView; it keeps no decoder state of its own.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/command_line.h"
#include "decoder/decoder_session_win.h"
#include "decoder/hand_over_win.h"
#include "decoder/restart_backoff.h"
#include "messages/message_store.h"

namespace feed {
class FeedSink;
}
namespace reception {
class ReceptionSink;
}

namespace decoder {

// What a run reports, and the little it asks of the window that shows it. Everything is called on the
// user-interface thread.
class IRunView {
public:
    virtual ~IRunView() = default;

    // The settings for a start, read from the rows now: the user's start and each restart alike.
    virtual LaunchSettings ReadRunSettings() = 0;
    // The run is about to launch the decoder with `settings`: the sample-rate row applies, and capture
    // stops when they ask.
    virtual void OnRunLaunching(const LaunchSettings& settings) = 0;
    // A user's start that failed says why in a modal box.
    virtual void ShowRunError(const std::wstring& text) = 0;

    virtual void OnRunStatus(const wchar_t* text) = 0;
    // A bulletin-board header: the LES and frame in force, and a new centre frequency if it gave one.
    virtual void OnRunHeader(const std::wstring& les, const std::wstring& frame, std::optional<double> frequencyHz) = 0;
    // Text for the log, in its category's colour; no category: the colour in force.
    virtual void OnRunLog(std::wstring_view text, std::optional<Category> category) = 0;
    virtual void OnRunLogClear() = 0;
    // A slice of appends is done: the log may draw.
    virtual void OnRunLogDraw() = 0;
    // The lines the log keeps (0: all), so that a run's backlog costs at most that many appends.
    virtual std::size_t RunLogLineLimit() const = 0;
    // The store a run writes to (the messages pane browses it), also when it was refused.
    virtual void OnRunStore(const std::wstring& fullPath) = 0;
    // A user's start succeeded (true) or the user's stop is done (false).
    virtual void OnRunStarted() = 0;
    virtual void OnRunStopped() = 0;
    // A new message raised an alert (on the user-interface thread, after the message's record).
    virtual void OnRunAlert(const RunAlert& alert) = 0;
    // The run waited for the decoder (answering only what other threads send) and the wait is over:
    // what the window put aside meanwhile can run now.
    virtual void OnRunWaitOver() = 0;
};

class DecoderRun {
public:
    // How long the run waits for a decoder whose pipe broke to end, to learn its exit code.
    static constexpr DWORD kEndedExitWaitMs = 2000;

    explicit DecoderRun(IRunView& view);
    DecoderRun(const DecoderRun&) = delete;
    DecoderRun& operator=(const DecoderRun&) = delete;
    ~DecoderRun();

    // A start by the user: nothing while running. The first delay of the back-off applies again.
    void Start();
    // The user's stop: cancels a pending restart, ends the decoder, says "Decoder terminated".
    void Stop();
    // True while a waited call (start, stop, an ended decoder's exit) is under way.
    bool Waiting() const { return waits_ > 0; }

    // Running from the user's start to the user's stop, restarts and their waits included.
    bool Running() const { return running_; }
    bool RestartPending() const { return restartPending_; }
    unsigned Runs() const { return runs_; }          // runs started, restarts included
    unsigned Restarts() const { return restarts_; }  // restarts since the user's start
    const std::wstring& InstanceName() const { return instanceName_; }
    // The running decoder's process, or null.
    HANDLE Process() const { return session_.process(); }

    // Which categories the log and a filtered text log show; shared with each run's reader.
    LogFilter& Filter() { return *filter_; }
    // UTC milliseconds for record times, text-log names and notes; null: the system clock.
    void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
    std::int64_t UtcNow() const;
    void SetRestartBackoff(RestartBackoff backoff) { backoff_ = std::move(backoff); }
    // UTC milliseconds for the reception ledger's run start and end and its open hour; null: the system
    // clock, as the store's run rows have. Apart from the run's clock, so that the ledger's readings
    // never shift what a test's clock gives the records.
    void SetLedgerClock(std::function<std::int64_t()> clock) { ledgerClock_ = std::move(clock); }
    // Monotonic milliseconds for the silence watch; null: the system's tick count.
    void SetSteadyClock(std::function<std::int64_t()> clock) { steadyClock_ = std::move(clock); }
    // How often the silence watch looks at the clock.
    static constexpr UINT kSilenceCheckMs = 1000;
    // After this long without a bulletin-board header the status says so, once a minute.
    static constexpr std::int64_t kSilenceShownMs = 2 * 60'000;
    // A silence this long raises one alert, once per silence.
    static constexpr std::int64_t kSilenceAlertMinutes = 10;
    // Minutes the running decoder has gone without a frame (whole minutes; 0 while frames come).
    std::int64_t SilentMinutes() const;
    // The running run's reception ledger (while the store is written), or null.
    reception::ReceptionSink* Reception() const { return reception_.get(); }
    // A signal-to-noise figure for the ledger's hour, now.
    void NoteSnr(double db);
    // How the store is opened; the keep rows fill in their days at each start.
    messages::StoreOptions& StoreOptions() { return storeOptions_; }
    // A sink that every later run gives its records to, after the text log, the window, the store and
    // the feed.
    void AddRecordSink(std::shared_ptr<IRecordSink> sink) { extraSinks_.push_back(std::move(sink)); }
    // While held, the hand-over keeps what the reader gives it (the window draws nothing of the run
    // until its end or the hold is lifted): a run's end with a backlog can be brought about at will.
    void HoldHandOver(bool held);

    // A red note of the front end's own with the time, in the log and (if one is open) the text log.
    // Returns the line as written.
    std::wstring Note(std::wstring words);

private:
    class WaitScope;
    bool StartRun(bool restart);
    void EndRun();
    void Drain();
    void ApplyUpdates(std::deque<LogUpdate> updates);
    void ApplyBacklog(std::deque<LogUpdate> updates);
    std::wstring NoteAfterRecords(std::wstring words);
    // The run's text log (daily if asked), or null after reporting why not.
    std::shared_ptr<TextLogSink> OpenTextLog(const LaunchSettings& s, const std::function<void(const std::wstring&)>& report,
                                             const std::wstring& firstLine);
    std::shared_ptr<IRecordSink> OpenStore(const LaunchSettings& s, const std::wstring& commandLine,
                                           std::shared_ptr<feed::FeedSink> feed);
    std::shared_ptr<feed::FeedSink> MakeFeed(const LaunchSettings& s, bool fromStore);
    void OnEnded(WPARAM run);
    void ScheduleRestart();
    void CancelRestart();
    void OnRestartTimer();
    void OnSilenceTimer();
    std::int64_t SteadyNow() const;

    IRunView& view_;
    DecoderSession session_;
    HandOverWindow handOverWindow_;
    std::shared_ptr<HandOverSink> handOver_;
    std::shared_ptr<TextLogSink> textLog_;
    std::shared_ptr<LogFilter> filter_ = std::make_shared<LogFilter>();
    std::vector<std::shared_ptr<IRecordSink>> extraSinks_;
    messages::StoreOptions storeOptions_;
    std::function<std::int64_t()> clock_;
    RestartBackoff backoff_;
    std::function<std::int64_t()> steadyClock_;
    std::function<std::int64_t()> ledgerClock_;
    std::int64_t lastFrameSteadyMs_ = 0;  // the last header's time, or the run's start
    std::int64_t silenceShownMinutes_ = 0;
    bool silenceAlerted_ = false;
    std::shared_ptr<reception::ReceptionSink> reception_;
    std::wstring instanceName_;
    std::wstring restartNote_;  // the restart's note, the first line of its text log
    bool running_ = false;
    bool restartPending_ = false;
    bool handOverHeld_ = false;
    int waits_ = 0;
    unsigned runs_ = 0;
    unsigned restarts_ = 0;
};

}  // namespace decoder
