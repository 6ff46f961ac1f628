// DecoderSession runs the outside decoder: it owns the process, the pipe, the reader thread and the
// stop sequence. The main window asks it to launch and stop, and shows what it reports.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "decoder/reader_win.h"
#include "decoder/record_sink.h"
#include "win/handles.h"

namespace decoder {

// Waits up to `ms` for `object` (null: just waits) the way the caller's thread must wait, for the
// window: answering what other threads send it. True when the object was signalled.
using SessionWait = std::function<bool(HANDLE object, DWORD ms)>;

class DecoderSession {
public:
    static constexpr int kConnectAttempts = 25;
    static constexpr DWORD kStopWaitMs = 5000;

    enum class Launched { Connected, ProcessNotCreated, DecoderEnded, NoPipe };
    struct LaunchResult {
        Launched outcome = Launched::ProcessNotCreated;
        DWORD exitCode = 0;  // DecoderEnded: the decoder's exit code
    };

    explicit DecoderSession(SessionWait wait);
    DecoderSession(const DecoderSession&) = delete;
    DecoderSession& operator=(const DecoderSession&) = delete;
    ~DecoderSession();

    // Creates the decoder (minimized without activation, in a console of its own) and opens its
    // pipe "\\.\pipe\<instance>": 25 attempts, each looking for up to a second (or waiting for a
    // busy pipe), ended early when the decoder ends. NoPipe leaves the process for Stop to end.
    LaunchResult Launch(std::wstring commandLine, const std::wstring& instanceName);
    // Starts the reader that feeds `sinks`. False when no thread could be started.
    bool StartReader(std::shared_ptr<RecordSinks> sinks, std::function<std::int64_t()> utcNowMs = {});

    // The stop sequence: the stop event, else a close request to the decoder's console, else
    // termination; termination too after 5000 ms; then the reader is woken and given 5000 ms.
    // Returns false when the reader did not end in time (it keeps its own share of the sinks).
    bool Stop();

    // Waits up to `ms` for the decoder to end; true with its exit code once it has.
    bool WaitForExit(DWORD ms, DWORD& exitCode);

    bool HasProcess() const { return static_cast<bool>(process_); }
    HANDLE process() const { return process_.get(); }
    // True once the reader has delivered its last record (the decoder ended or the pipe broke).
    bool ReaderEnded() const { return shared_ && shared_->ended.load(); }

private:
    void CloseProcess();

    SessionWait wait_;
    std::wstring instanceName_;
    win::UniqueHandle process_;
    win::UniqueHandle processThread_;
    win::UniqueHandle pipe_;  // until the reader takes it
    std::shared_ptr<ReaderShared> shared_;
    win::UniqueHandle reader_;
};

}  // namespace decoder
