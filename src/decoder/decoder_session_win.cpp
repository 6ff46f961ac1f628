// The decoder's process, pipe connection, reader and stop sequence.
#include "decoder/decoder_session_win.h"

#include "decoder/command_line.h"

namespace decoder {

namespace {

constexpr DWORD kConsoleWindowWaitMs = 2000;

// Asks the decoder's console window to close. False when no thread could be started in the decoder.
bool CloseDecoderConsole(HANDLE process) {
    HMODULE kernel = ::GetModuleHandleW(L"Kernel32");
    auto routine = kernel ? reinterpret_cast<LPTHREAD_START_ROUTINE>(
                                reinterpret_cast<void*>(::GetProcAddress(kernel, "GetConsoleWindow")))
                          : nullptr;
    if (!routine) return false;
    win::UniqueHandle thread(::CreateRemoteThread(process, nullptr, 0, routine, nullptr, 0, nullptr));
    if (!thread) return false;
    // Bounded: the wait for the decoder itself follows and ends it in any case.
    if (::WaitForSingleObject(thread.get(), kConsoleWindowWaitMs) != WAIT_OBJECT_0) return true;
    DWORD code = 0;
    ::GetExitCodeThread(thread.get(), &code);
    HWND console = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(code));
    DWORD_PTR ignored = 0;
    if (console && ::IsWindow(console))
        ::SendMessageTimeoutW(console, WM_CLOSE, 0, 0, SMTO_NORMAL, DecoderSession::kStopWaitMs, &ignored);
    return true;
}

// Creates the decoder on a thread of its own. Creating a process can take a second or more (under
// Wine it waits for the new process to start up), and the window answers meanwhile.
bool CreateDecoderProcess(std::wstring commandLine, const SessionWait& wait, PROCESS_INFORMATION& created) {
    struct Job {
        std::wstring commandLine;
        PROCESS_INFORMATION created{};
        BOOL ok = FALSE;
    } job{std::move(commandLine)};
    auto run = [](void* arg) -> DWORD {
        Job& j = *static_cast<Job*>(arg);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINNOACTIVE;
        // CreateProcessW may write into the command line: it is the job's own copy.
        j.ok = ::CreateProcessW(nullptr, j.commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                                nullptr, &startup, &j.created);
        return 0;
    };
    win::UniqueHandle thread(::CreateThread(nullptr, 0, run, &job, 0, nullptr));
    if (thread) {
        // Unbounded: the job lives on this stack, and creating a process ends one way or the other.
        wait(thread.get(), INFINITE);
    } else {
        run(&job);
    }
    created = job.created;
    // A host (Unix) program started under Wine comes with no process handle, and its thread field
    // holds stray bytes, not a handle of ours: closing it later could close another owner's handle.
    if (!created.hProcess) created.hThread = nullptr;
    return job.ok != FALSE;
}

// Lets the reader's shared state, and with it the run's sinks, go on a thread of its own while the
// window keeps answering: a sink may still be finishing (the store commits what it holds before its
// writer ends), which can take seconds after a flood.
void ReleaseShared(std::shared_ptr<ReaderShared> shared, const SessionWait& wait) {
    if (!shared) return;
    auto run = [](void* arg) -> DWORD {
        static_cast<std::shared_ptr<ReaderShared>*>(arg)->reset();
        return 0;
    };
    win::UniqueHandle thread(::CreateThread(nullptr, 0, run, &shared, 0, nullptr));
    // Unbounded: `shared` lives on this stack, and the sinks end by themselves.
    if (thread) wait(thread.get(), INFINITE);
    shared.reset();  // without a thread (no resources), here
}

}  // namespace

DecoderSession::DecoderSession(SessionWait wait) : wait_(std::move(wait)) {}

DecoderSession::~DecoderSession() {
    // The owner stops a running decoder through Stop(); a reader still running here is left to end
    // by itself with its own share of the state.
    if (shared_) shared_->running = false;
}

void DecoderSession::CloseProcess() {
    process_.reset();
    processThread_.reset();
}

DecoderSession::LaunchResult DecoderSession::Launch(std::wstring commandLine, const std::wstring& instanceName) {
    instanceName_ = instanceName;
    PROCESS_INFORMATION created{};
    if (!CreateDecoderProcess(std::move(commandLine), wait_, created)) return {Launched::ProcessNotCreated, 0};
    process_.reset(created.hProcess);
    processThread_.reset(created.hThread);

    const std::wstring pipePath = PipePath(instanceName);
    auto openPipe = [&] {
        HANDLE pipe = ::CreateFileW(pipePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) return false;
        pipe_.reset(pipe);
        return true;
    };
    auto exitCode = [&] {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    };
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (openPipe()) return {Launched::Connected, 0};
        if (::GetLastError() != ERROR_PIPE_BUSY) {
            // The decoder makes its pipe once it runs: look again every 50 ms for a second (one
            // attempt), answering what other threads send the window meanwhile.
            for (int step = 0; step < 20; ++step) {
                wait_(nullptr, 50);
                if (openPipe()) return {Launched::Connected, 0};
                if (::GetLastError() == ERROR_PIPE_BUSY || exitCode() != STILL_ACTIVE) break;
            }
        } else if (!::WaitNamedPipeW(pipePath.c_str(), 1000)) {
            break;
        }
        const DWORD code = exitCode();
        if (code != STILL_ACTIVE) {
            CloseProcess();
            return {Launched::DecoderEnded, code};
        }
    }
    return {Launched::NoPipe, 0};
}

bool DecoderSession::StartReader(std::shared_ptr<RecordSinks> sinks, std::function<std::int64_t()> utcNowMs) {
    shared_ = std::make_shared<ReaderShared>();
    shared_->pipe = std::move(pipe_);
    shared_->sinks = std::move(sinks);
    shared_->utcNowMs = std::move(utcNowMs);
    reader_ = decoder::StartReader(shared_);
    return static_cast<bool>(reader_);
}

bool DecoderSession::WaitForExit(DWORD ms, DWORD& exitCode) {
    if (!process_ || !wait_(process_.get(), ms)) return false;
    DWORD code = STILL_ACTIVE;
    if (!::GetExitCodeProcess(process_.get(), &code) || code == STILL_ACTIVE) return false;
    exitCode = code;
    return true;
}

bool DecoderSession::Stop() {
    win::UniqueHandle stopEvent(::OpenEventW(EVENT_MODIFY_STATE, FALSE, StopEventName(instanceName_).c_str()));
    if (stopEvent) {
        ::SetEvent(stopEvent.get());
    } else if (process_ && !CloseDecoderConsole(process_.get())) {
        ::TerminateProcess(process_.get(), 0);
    }
    if (process_ && !wait_(process_.get(), kStopWaitMs)) ::TerminateProcess(process_.get(), 0);
    CloseProcess();
    pipe_.reset();

    bool readerEnded = true;
    if (reader_) {
        shared_->running = false;
        // The decoder's end normally breaks the pipe; a read still pending is cancelled.
        ::CancelSynchronousIo(reader_.get());
        ::CancelIoEx(shared_->pipe.get(), nullptr);
        readerEnded = wait_(reader_.get(), kStopWaitMs);
        reader_.reset();
    }
    ReleaseShared(std::move(shared_), wait_);
    return readerEnded;
}

}  // namespace decoder
