// The decoder run: start and stop, the sinks of each run, the hand-over to the window, and the
// restart of a decoder that ended by itself.
#include "decoder/decoder_run_win.h"

#include <chrono>
#include <cstdio>

#include "alerts/alert.h"
#include "feed/feed_sink.h"
#include "settings/config_rules.h"
#include "feed/udp_transport_win.h"
#include "messages/store_sink.h"
#include "reception/reception_sink.h"
#include "win/message_wait.h"
#include "win/utf8.h"

namespace decoder {

namespace {

std::wstring Printf(const wchar_t* format, auto... args) {
    // The runtime's swprintf reports only failure when the text does not fit, so grow until it does.
    for (std::size_t size = 512; size <= (std::size_t{1} << 22); size *= 2) {
        std::wstring out(size, L'\0');
        const int written = std::swprintf(out.data(), out.size(), format, args...);
        if (written >= 0 && static_cast<std::size_t>(written) < size) {
            out.resize(static_cast<std::size_t>(written));
            return out;
        }
    }
    return {};
}

// A relative store name is beside the decoder, in the current directory.
std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) return {};
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
}

}  // namespace

// Counts the run's waits for the decoder; the window hears when the last one is over.
class DecoderRun::WaitScope {
public:
    explicit WaitScope(DecoderRun& run) : run_(run) { ++run_.waits_; }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
    ~WaitScope() {
        if (--run_.waits_ == 0) run_.view_.OnRunWaitOver();
    }

private:
    DecoderRun& run_;
};

DecoderRun::DecoderRun(IRunView& view) : view_(view), session_(win::WaitAnsweringSentMessages) {}

DecoderRun::~DecoderRun() = default;

std::int64_t DecoderRun::UtcNow() const { return clock_ ? clock_() : SystemUtcMs(); }

std::int64_t DecoderRun::SteadyNow() const {
    return steadyClock_ ? steadyClock_() : static_cast<std::int64_t>(::GetTickCount64());
}

void DecoderRun::Start() {
    if (running_) return;
    backoff_.Reset();
    StartRun(false);
}

bool DecoderRun::StartRun(bool restart) {
    WaitScope waiting(*this);
    // A restart is unattended: what a user's start shows in a box goes into the log instead, and the
    // run keeps its running state for the next attempt.
    auto report = [&](const std::wstring& text) {
        if (restart)
            Note(text);
        else
            view_.ShowRunError(text);
    };
    auto refuse = [&](const wchar_t* status) {
        if (!restart) view_.OnRunStatus(status);
        return false;
    };
    view_.OnRunStatus(L"Starting decoder...");
    LaunchSettings s = view_.ReadRunSettings();

    if (s.settings.decoderTextLog && s.settings.decoderLogDir.empty()) {
        report(L"Decoder output directory must be set if you want to enable decoder logging");
        return refuse(L"Idle");
    }
    std::shared_ptr<TextLogSink> textLog;
    if (s.settings.decoderTextLog) {
        textLog = OpenTextLog(s, report, restart ? restartNote_ : std::wstring());
        if (!textLog) return refuse(L"Idle");
    }

    // The object's address alone is the same in two copies of the program started alike, and two
    // starts in one millisecond would then share a pipe name: the process id tells them apart.
    const std::uintptr_t identity = reinterpret_cast<std::uintptr_t>(this) ^ ::GetCurrentProcessId();
    instanceName_ = MakeInstanceName(::GetTickCount(), identity);
    s.instanceName = instanceName_;
    view_.OnRunLaunching(s);

    const CommandLineResult built = BuildCommandLine(s);
    if (!built.ok()) {
        report(FaultMessage(built.fault));
        return refuse(L"Idle");  // the sink closes the text log
    }

    using Launched = DecoderSession::Launched;
    const DecoderSession::LaunchResult launched = session_.Launch(built.commandLine, instanceName_);
    switch (launched.outcome) {
    case Launched::Connected:
        break;
    case Launched::ProcessNotCreated:
        report(L"CreateProcess failed. Make sure vastrel.exe is in current directory.\n");
        return refuse(L"Error!");
    case Launched::DecoderEnded:
        report(Printf(L"Decoder terminated with error %d.\nTry running decoder first without GUI with "
                      L"same parameters.\nEXE commandline: %ls",
                      static_cast<int>(launched.exitCode), built.commandLine.c_str()));
        return refuse(L"Error!");
    case Launched::NoPipe:
        report(Printf(L"Can't open the decoder's pipe %ls.", PipePath(instanceName_).c_str()));
        if (restart) {
            session_.Stop();  // ends the decoder; the run stays as it is for the next attempt
            return false;
        }
        // The user's stop sequence ends the decoder and closes the text log.
        textLog_ = std::move(textLog);
        running_ = true;
        Stop();
        view_.OnRunStatus(L"Error!");
        return false;
    }

    // The log starts empty, at counter 0, in time that does not grow with the last run's log. A
    // restart keeps it: what happened before is what an unattended station's keeper wants to read.
    if (!restart) view_.OnRunLogClear();

    if (!handOverWindow_.hwnd()) {
        handOverWindow_.CreateHandOver();
        handOverWindow_.onDrain = [this] {
            if (!handOverHeld_) Drain();
        };
        handOverWindow_.onEnded = [this](WPARAM run) { OnEnded(run); };
        handOverWindow_.onRestartTimer = [this] { OnRestartTimer(); };
        handOverWindow_.onSilenceTimer = [this] { OnSilenceTimer(); };
    }
    // The sinks in their order: the text log, the window, the store, the feed.
    auto sinks = std::make_shared<RecordSinks>();
    sinks->Add(textLog);
    handOver_ = std::make_shared<HandOverSink>(filter_, handOverWindow_.hwnd(), HandOverWindow::kDrainMessage,
                                               handOverWindow_.hwnd(), HandOverWindow::kEndedMessage,
                                               static_cast<WPARAM>(runs_ + 1));
    sinks->Add(handOver_);
    // The feed follows the store, which gives it each message's copies once written; without a store
    // it takes the records as they come.
    const bool storeWanted = !s.settings.storeFile.empty();
    std::shared_ptr<feed::FeedSink> feed = MakeFeed(s, storeWanted);
    std::shared_ptr<IRecordSink> store = OpenStore(s, built.commandLine, feed);
    if (feed && !store) feed = MakeFeed(s, false);
    sinks->Add(store);
    sinks->Add(feed);
    // The ledger writes to the store's file through a connection of its own.
    reception_.reset();
    if (store) {
        reception::ReceptionSinkOptions ledger;
        ledger.storePath = win::Utf8(FullPath(s.settings.storeFile));
        ledger.instance = win::Utf8(instanceName_);
        ledger.clock = ledgerClock_;  // null: the system clock
        std::weak_ptr<HandOverSink> handOver = handOver_;
        ledger.onError = [handOver](const std::string& error) {
            if (auto sink = handOver.lock()) sink->Note(L"Message store: " + win::Wide(error) + L"\n");
        };
        reception_ = std::make_shared<reception::ReceptionSink>(std::move(ledger));
        sinks->Add(reception_);
    }
    for (const auto& sink : extraSinks_) sinks->Add(sink);
    textLog_ = std::move(textLog);
    running_ = true;
    ++runs_;
    backoff_.RunStarted();
    session_.StartReader(std::move(sinks), clock_);
    handOverWindow_.StartBackstop();
    lastFrameSteadyMs_ = SteadyNow();
    silenceShownMinutes_ = 0;
    silenceAlerted_ = false;
    ::SetTimer(handOverWindow_.hwnd(), HandOverWindow::kSilenceTimer, kSilenceCheckMs, nullptr);

    view_.OnRunStatus(L"Waiting for first frame...");
    if (!restart) view_.OnRunStarted();
    return true;
}

void DecoderRun::Stop() {
    if (!running_) return;
    CancelRestart();
    ::KillTimer(handOverWindow_.hwnd(), HandOverWindow::kSilenceTimer);
    WaitScope waiting(*this);
    view_.OnRunStatus(L"Shutting down decoder...");
    EndRun();
    view_.OnRunLog(L"Decoder terminated\n", Category::DecoderNote);
    view_.OnRunStopped();
}

void DecoderRun::EndRun() {
    const bool readerEnded = session_.Stop();
    running_ = false;
    handOverWindow_.StopBackstop();

    // What the reader handed over reaches the log before the end note, as far as the log's bound
    // keeps it.
    std::shared_ptr<HandOverSink> handOver = std::move(handOver_);
    if (handOver) {
        handOver->Detach();
        if (readerEnded) ApplyBacklog(handOver->TakeAll());
    }
    // A reader that did not wake keeps its own share of the sinks, so the file stays open under it
    // until it ends; otherwise the text log closes here, last.
    std::shared_ptr<TextLogSink> textLog = std::move(textLog_);
    if (textLog && readerEnded) textLog->Close();
    // The ledger has written the run's hours at its end; its connection to the store goes with the run.
    reception_.reset();
}

void DecoderRun::HoldHandOver(bool held) {
    handOverHeld_ = held;
    if (!held && handOver_) handOver_->AskForDrain();
}

void DecoderRun::Drain() {
    HandOverSink* handOver = handOver_.get();
    if (!handOver) return;
    // While the decoder runs, one hand-over message applies records for a short slice of time and,
    // if more wait, asks for another: a flood of records never keeps the window from answering
    // (the messages that came meanwhile are handled first), however slow the log is to append.
    constexpr std::size_t kChunk = 8;
    constexpr auto kSlice = std::chrono::milliseconds(40);
    const auto end = std::chrono::steady_clock::now() + kSlice;
    bool more = false;
    do {
        ApplyUpdates(handOver->TakeSome(kChunk, more));
    } while (more && std::chrono::steady_clock::now() < end);
    // A shown log is drawn once a slice, also while a flood keeps the queue from ever being empty.
    view_.OnRunLogDraw();
    if (more) handOver->AskForDrain();
}

void DecoderRun::ApplyBacklog(std::deque<LogUpdate> updates) {
    const std::size_t first = FirstKeptUpdate(updates, view_.RunLogLineLimit());
    if (first > 0) {
        // Of what is left out, only the newest header's fields still show.
        for (std::size_t i = first; i-- > 0;) {
            if (!updates[i].headerFields) continue;
            LogUpdate header = std::move(updates[i]);
            header.show = false;
            std::deque<LogUpdate> one;
            one.push_back(std::move(header));
            ApplyUpdates(std::move(one));
            break;
        }
        // An alert is raised however far its message has left the log.
        for (std::size_t i = 0; i < first; ++i)
            if (updates[i].alert) view_.OnRunAlert(*updates[i].alert);
        updates.erase(updates.begin(), updates.begin() + static_cast<std::ptrdiff_t>(first));
    }
    ApplyUpdates(std::move(updates));
    view_.OnRunLogDraw();
}

void DecoderRun::ApplyUpdates(std::deque<LogUpdate> updates) {
    // Consecutive shown texts of one category go into the log in one piece: the same text in the
    // same colours, with one append instead of one per record.
    std::wstring pending;
    std::optional<Category> pendingCategory;
    auto flush = [&] {
        if (pending.empty()) return;
        view_.OnRunLog(pending, pendingCategory);
        pending.clear();
    };
    for (LogUpdate& update : updates) {
        if (update.headerFields) {
            view_.OnRunHeader(update.les, update.frame,
                              update.hasFrequency ? std::optional<double>(update.frequencyHz) : std::nullopt);
            view_.OnRunStatus(L"Decoding...");
            lastFrameSteadyMs_ = SteadyNow();
            silenceShownMinutes_ = 0;
            silenceAlerted_ = false;
        }
        if (update.show) {
            if (update.category != pendingCategory) flush();
            pendingCategory = update.category;
            pending += update.text;
        }
        if (update.alert) {
            flush();
            view_.OnRunAlert(*update.alert);
        }
    }
    flush();
}

std::wstring DecoderRun::Note(std::wstring words) {
    const std::int64_t now = UtcNow();
    const std::wstring line = NoteLine(std::move(words), now);
    view_.OnRunLog(line, Category::DecoderNote);
    if (textLog_) textLog_->Note(NarrowNote(line), now);
    return line;
}

std::wstring DecoderRun::NoteAfterRecords(std::wstring words) {
    const std::int64_t now = UtcNow();
    const std::wstring line = NoteLine(std::move(words), now);
    // The text log has every record already: the reader gives it each one before the hand-over.
    if (textLog_) textLog_->Note(NarrowNote(line), now);
    if (handOver_)
        handOver_->Note(line);
    else
        view_.OnRunLog(line, Category::DecoderNote);
    return line;
}

std::shared_ptr<TextLogSink> DecoderRun::OpenTextLog(const LaunchSettings& s,
                                                     const std::function<void(const std::wstring&)>& report,
                                                     const std::wstring& firstLine) {
    const std::wstring dir = s.settings.decoderLogDir;
    const std::int64_t now = UtcNow();
    const std::wstring path = TextLogPath(dir, UtcTimeFromMs(now));
    std::FILE* file = ::_wfopen(path.c_str(), L"wt");
    if (!file) {
        report(L"Can't create decoder output log file: " + path);
        return nullptr;
    }
    if (!firstLine.empty()) {
        const std::string bytes = NarrowNote(firstLine);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fflush(file);
    }
    const bool onlyShown = s.settings.decoderLogUseFilter;
    if (!s.settings.logDaily) return std::make_shared<TextLogSink>(file, onlyShown, filter_);
    auto openNext = [dir](std::int64_t utcMs) -> std::FILE* {
        return ::_wfopen(TextLogPath(dir, UtcTimeFromMs(utcMs)).c_str(), L"wt");
    };
    return std::make_shared<TextLogSink>(file, now, std::move(openNext), onlyShown, filter_);
}

std::shared_ptr<IRecordSink> DecoderRun::OpenStore(const LaunchSettings& s, const std::wstring& commandLine,
                                                   std::shared_ptr<feed::FeedSink> feed) {
    if (s.settings.storeFile.empty()) return nullptr;
    const std::wstring path = FullPath(s.settings.storeFile);
    // The messages pane browses the store the run writes to (the path may have changed since).
    view_.OnRunStore(path);
    std::weak_ptr<HandOverSink> handOver = handOver_;
    try {
        messages::StoreSinkOptions options;
        options.instance = win::Utf8(instanceName_);
        options.commandLine = win::Utf8(commandLine);
        // Said once, on the writer's thread: the note joins the records in the hand-over queue.
        options.onError = [handOver](const std::string& error) {
            if (auto sink = handOver.lock()) sink->Note(L"Message store: " + win::Wide(error) + L"\n");
        };
        // A new message that passes "Alert when" raises an alert; the row was checked when typed, and a
        // filter that no longer parses (a `dist` term after the home position went) is said once.
        const std::wstring alertWhen = s.settings.alertFilter;
        if (alertWhen.find_first_not_of(L" \t") != std::wstring::npos) {
            messages::Filter filter;
            messages::FilterError error;
            if (messages::Filter::Parse(win::Utf8(alertWhen), filter, error,
                                        {settings::HomePositionOf(s.settings.homePosition)}))
                options.alertFilter = std::move(filter);
            else
                view_.OnRunLog(NoteLine(L"Alert when: " + win::Wide(error.message), UtcNow()), Category::DecoderNote);
        }
        const std::string station = win::Utf8(s.settings.feedStation);
        options.onWritten = [feed, handOver, station](const Record& record, std::int64_t copies, std::int64_t alertId) {
            if (feed) feed->OnStored(record, copies, alertId != 0);
            if (alertId == 0) return;
            if (auto sink = handOver.lock()) sink->Alert(alerts::MakeAlert(record, alertId, station));
        };
        // The keep rows are read at each start: a change applies from the next run.
        messages::StoreOptions storeOptions = storeOptions_;
        storeOptions.keepRecordsDays = s.settings.keepRecordDays;
        storeOptions.keepMessagesDays = s.settings.keepMessageDays;
        return std::make_shared<messages::StoreSink>(messages::MessageStore::Open(win::Utf8(path), storeOptions),
                                                     std::move(options));
    } catch (const std::exception& error) {
        // Refused files are left as they are; the run, the log and the text log go on without it.
        view_.OnRunLog(L"Message store: " + win::Wide(error.what()) + L"\n", Category::DecoderNote);
        return nullptr;
    }
}

std::shared_ptr<feed::FeedSink> DecoderRun::MakeFeed(const LaunchSettings& s, bool fromStore) {
    // The rows are read at each start: a change applies from the next run.
    if (s.settings.feedTo.find_first_not_of(L" \t,;") == std::wstring::npos) return nullptr;
    feed::FeedOptions options;
    options.destinations = win::Utf8(s.settings.feedTo);
    options.station = win::Utf8(s.settings.feedStation);
    options.everyRecord = s.settings.feedAll;
    options.fromStore = fromStore;
    std::weak_ptr<HandOverSink> handOver = handOver_;
    options.note = [handOver](const std::string& note) {
        if (auto sink = handOver.lock()) sink->Note(win::Wide(note) + L"\n");
    };
    return feed::MakeUdpFeed(std::move(options));
}

void DecoderRun::OnEnded(WPARAM run) {
    // Word of an older run, or of a run the user has stopped meanwhile, changes nothing. (The reader
    // may still be finishing its other sinks: the stop below waits for that, within its bound.) The
    // word comes ahead of the records the log has still to show: the status says it at once, and the
    // note goes into the log after the last of them.
    if (!running_ || restartPending_ || run != runs_) return;
    std::wstring words;
    {
        WaitScope waiting(*this);
        DWORD code = 0;
        if (session_.WaitForExit(kEndedExitWaitMs, code))
            words = Printf(L"Decoder ended (exit code %lu)", static_cast<unsigned long>(code));
        else
            words = L"Decoder ended (its pipe closed)";  // the process still runs: no exit code to tell
    }
    view_.OnRunStatus(words.c_str());
    NoteAfterRecords(words);
    if (view_.ReadRunSettings().settings.autoRestart) ScheduleRestart();
}

void DecoderRun::ScheduleRestart() {
    {
        WaitScope waiting(*this);
        EndRun();
    }
    running_ = true;  // the run keeps its running state: Stop cancels what is pending
    const std::int64_t delay = backoff_.RunEnded();
    restartPending_ = true;
    ::SetTimer(handOverWindow_.hwnd(), HandOverWindow::kRestartTimer, static_cast<UINT>(delay), nullptr);
    Note(L"Restarting the decoder in " + SecondsText(delay));
}

void DecoderRun::CancelRestart() {
    if (!restartPending_) return;
    ::KillTimer(handOverWindow_.hwnd(), HandOverWindow::kRestartTimer);
    restartPending_ = false;
}

void DecoderRun::OnRestartTimer() {
    // Inside a wait (a box of the user's start, say) the timer stays set and comes again.
    if (waits_ > 0) return;
    ::KillTimer(handOverWindow_.hwnd(), HandOverWindow::kRestartTimer);
    if (!restartPending_ || !running_) return;
    restartPending_ = false;
    ++restarts_;
    restartNote_ = Note(Printf(L"Decoder restarted (restart %u)", restarts_));
    backoff_.RunStarted();
    if (StartRun(true)) return;
    // An attempt that failed counts as a run that ended at once.
    running_ = true;
    ScheduleRestart();
}

std::int64_t DecoderRun::SilentMinutes() const {
    if (!running_ || restartPending_) return 0;
    return (SteadyNow() - lastFrameSteadyMs_) / 60'000;
}

void DecoderRun::NoteSnr(double db) {
    if (reception_ && running_ && !restartPending_) reception_->Snr(ledgerClock_ ? ledgerClock_() : SystemUtcMs(), db);
}

// A decoder that hears nothing may be stuck as surely as one that ended: the status says how long it
// has been, and the "Restart after silence" row restarts it the way an ended one is.
void DecoderRun::OnSilenceTimer() {
    if (!running_ || restartPending_ || waits_ > 0) return;
    if (SteadyNow() - lastFrameSteadyMs_ < kSilenceShownMs) return;
    const std::int64_t minutes = SilentMinutes();
    if (minutes == silenceShownMinutes_) return;
    silenceShownMinutes_ = minutes;
    const std::wstring words = L"No frames for " + std::to_wstring(minutes) + L" min";
    view_.OnRunStatus(words.c_str());
    if (minutes >= kSilenceAlertMinutes && !silenceAlerted_) {
        // The keeper is called as for a message; a program run on alerts gets the event as one line of
        // JSON of its own (there is no message to give it).
        silenceAlerted_ = true;
        const std::string text = "No frames for " + std::to_string(minutes) + " min";
        view_.OnRunAlert(RunAlert{0, UtcNow(), std::wstring(text.begin(), text.end()),
                                  "{\"alert\":true,\"silence_min\":" + std::to_string(minutes) + ",\"text\":\"" + text + "\"}"});
    }
    const std::int32_t limit = view_.ReadRunSettings().settings.silenceRestartMinutes;
    if (limit <= 0 || minutes < limit) return;
    NoteAfterRecords(words);
    ScheduleRestart();
}

}  // namespace decoder
