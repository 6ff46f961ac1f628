// Decoder start and stop (Decoder menu): the boxes, status fields and menu states around the session.
#include "app/main_frame.h"

#include <cstdio>
#include <memory>

#include "app/launch_settings.h"
#include "decoder/command_line.h"
#include "feed/feed_sink.h"
#include "resource.h"

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

}  // namespace

void CMainFrame::StartDecoder() {
    if (decoderRunning) return;
    restartBackoff.Reset();
    StartRun(false);
}

bool CMainFrame::StartRun(bool restart) {
    DecoderWaitScope waiting(*this);
    // A restart is unattended: what a user's start shows in a box goes into the log instead, and the
    // window keeps its running state for the next attempt.
    auto report = [&](const std::wstring& text) {
        if (restart)
            NoteDecoderEvent(text, DecoderUtcNow());
        else
            ShowMessage(text);
    };
    auto refuse = [&](const wchar_t* status) {
        if (!restart) ::SetWindowTextW(statusField, status);
        return false;
    };
    ::SetWindowTextW(statusField, L"Starting decoder...");
    ApplySampleRate();

    decoder::LaunchSettings s = LaunchSettingsFor(CurrentSettings(), CaptureDeviceNames());

    if (s.decoderTextLog && s.decoderLogDir.empty()) {
        report(L"Decoder output directory must be set if you want to enable decoder logging");
        return refuse(L"Idle");
    }
    std::shared_ptr<decoder::TextLogSink> textLog;
    if (s.decoderTextLog) {
        textLog = OpenTextLog(s.decoderLogDir, s.decoderLogUseFilter, CurrentSettings().logDaily, report,
                              restart ? restartNote_ : std::wstring());
        if (!textLog) return refuse(L"Idle");
    }

    // The window object's address alone is the same in two copies of the program started alike, and
    // two starts in one millisecond would then share a pipe name: the process id tells them apart.
    const std::uintptr_t identity = reinterpret_cast<std::uintptr_t>(this) ^ ::GetCurrentProcessId();
    decoderInstanceName = decoder::MakeInstanceName(::GetTickCount(), identity);
    s.instanceName = decoderInstanceName;
    if (s.disableFftWhileDecoding && captureRunning) StopCapture();

    const decoder::CommandLineResult built = decoder::BuildCommandLine(s);
    if (!built.ok()) {
        report(decoder::FaultMessage(built.fault));
        return refuse(L"Idle");  // the sink closes the text log
    }

    using Launched = decoder::DecoderSession::Launched;
    const decoder::DecoderSession::LaunchResult launched = decoderSession.Launch(built.commandLine, decoderInstanceName);
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
        report(Printf(L"Can't open the decoder's pipe %ls.", decoder::PipePath(decoderInstanceName).c_str()));
        if (restart) {
            decoderSession.Stop();  // ends the decoder; the window stays as it is for the next attempt
            return false;
        }
        decoderTextLog = std::move(textLog);  // so the stop closes it
        decoderRunning = true;
        StopDecoder();
        ::SetWindowTextW(statusField, L"Error!");
        return false;
    }

    // The log starts empty, at counter 0, in time that does not grow with the last run's log. A
    // restart keeps it: what happened before is what an unattended station's keeper wants to read.
    if (!restart) decoderLog.Clear();

    if (!decoderHandOver.hwnd()) {
        decoderHandOver.CreateHandOver();
        decoderHandOver.onDrain = [this] { DrainDecoderUpdates(); };
    }
    // The sinks in their order: the text log, the window, the store, the feed.
    auto sinks = std::make_shared<decoder::RecordSinks>();
    sinks->Add(textLog);
    decoderHandOverSink = std::make_shared<decoder::HandOverSink>(
        logFilter, decoderHandOver.hwnd(), decoder::HandOverWindow::kDrainMessage, hwnd(), kDecoderEndedMessage,
        static_cast<WPARAM>(decoderRuns + 1));
    sinks->Add(decoderHandOverSink);
    // The feed follows the store, which gives it each message's copies once written; without a store
    // it takes the records as they come.
    std::shared_ptr<feed::FeedSink> feed = MakeFeed(!messageStorePath.empty());
    std::shared_ptr<decoder::IRecordSink> store = OpenMessageStore(built.commandLine, feed);
    if (feed && !store) feed = MakeFeed(false);
    sinks->Add(store);
    sinks->Add(feed);
    for (const auto& sink : recordSinks_) sinks->Add(sink);
    decoderTextLog = std::move(textLog);
    decoderRunning = true;
    ++decoderRuns;
    restartBackoff.RunStarted();
    decoderSession.StartReader(std::move(sinks), decoderClock);
    decoderHandOver.StartBackstop();

    ::SetWindowTextW(statusField, L"Waiting for first frame...");
    if (restart) return true;
    ::EnableWindow(spectrumDisplay.hwnd(), FALSE);
    settingsGrid.selectItem(0, 0);
    ::SetFocus(spectrumDisplay.hwnd());
    ::EnableWindow(settingsGrid.hwnd(), FALSE);
    SetMenuItemState(ID_DECODER_START, MFS_GRAYED | MFS_DISABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_ENABLED);
    return true;
}

void CMainFrame::StopDecoder() {
    if (!decoderRunning) return;
    CancelRestart();
    DecoderWaitScope waiting(*this);
    ::SetWindowTextW(statusField, L"Shutting down decoder...");
    EndRun();

    decoderLog.Append(L"Decoder terminated\n", -1, &logFormats[decoder::Index(decoder::Category::DecoderNote)]);
    ::EnableWindow(spectrumDisplay.hwnd(), TRUE);
    ::EnableWindow(settingsGrid.hwnd(), TRUE);
    ::SetWindowTextW(statusField, L"Idle");
    ::SetWindowTextW(lesField, L"---");
    ::SetWindowTextW(frameField, L"----");
    SetMenuItemState(ID_DECODER_START, MFS_ENABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_GRAYED | MFS_DISABLED);
}

void CMainFrame::EndRun() {
    const bool readerEnded = decoderSession.Stop();
    decoderRunning = false;
    decoderHandOver.StopBackstop();

    // What the reader handed over reaches the log before the end note, as far as the log's bound
    // keeps it.
    std::shared_ptr<decoder::HandOverSink> handOver = std::move(decoderHandOverSink);
    if (handOver) {
        handOver->Detach();
        if (readerEnded) ApplyDecoderBacklog(handOver->TakeAll());
    }
    // A reader that did not wake keeps its own share of the sinks, so the file stays open under it
    // until it ends; otherwise the text log closes here, last.
    std::shared_ptr<decoder::TextLogSink> textLog = std::move(decoderTextLog);
    if (textLog && readerEnded) textLog->Close();
}
