// Decoder start and stop (Decoder menu), and the decoder log.
#include "app/main_frame.h"

#include <cstdio>
#include <memory>

#include "app/launch_settings.h"
#include "decoder/command_line.h"
#include "resource.h"

namespace {

constexpr int kConnectAttempts = 25;
constexpr DWORD kStopWaitMs = 5000;
constexpr DWORD kConsoleWindowWaitMs = 2000;

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

decoder::UtcTime CurrentUtc() {
    SYSTEMTIME st{};
    ::GetSystemTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

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
        ::SendMessageTimeoutW(console, WM_CLOSE, 0, 0, SMTO_NORMAL, kStopWaitMs, &ignored);
    return true;
}

// Waits up to `ms` milliseconds for `object` (null: just waits), answering meanwhile what other
// threads send this thread's windows. Nothing posted is taken, so no input runs inside the wait.
// True when the object was signalled.
bool WaitAnsweringSentMessages(HANDLE object, DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    const DWORD count = object ? 1 : 0;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < end ? static_cast<DWORD>(end - now) : 0;
        const DWORD result = ::MsgWaitForMultipleObjectsEx(count, object ? &object : nullptr, left, QS_SENDMESSAGE, 0);
        if (object && result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + count || left == 0) return false;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

void CMainFrame::StartDecoder() {
    if (decoderRunning) return;
    DecoderWaitScope waiting(*this);
    ::SetWindowTextW(statusField, L"Starting decoder...");
    ApplySampleRate();

    decoder::LaunchSettings s = LaunchSettingsFor(CurrentSettings(), CaptureDeviceNames());

    auto state = std::make_shared<decoder::ReaderState>();
    state->textLogUseFilter = s.decoderLogUseFilter;
    state->logFilter = logFilter;

    if (s.decoderTextLog && s.decoderLogDir.empty()) {
        ShowMessage(L"Decoder output directory must be set if you want to enable decoder logging");
        ::SetWindowTextW(statusField, L"Idle");
        return;
    }
    if (s.decoderTextLog) {
        const std::wstring path = decoder::TextLogPath(s.decoderLogDir, CurrentUtc());
        state->textLog = ::_wfopen(path.c_str(), L"wt");
        if (!state->textLog) {
            ShowMessage(Printf(L"Can't create decoder output log file: %ls", path.c_str()));
            ::SetWindowTextW(statusField, L"Idle");
            return;
        }
    }

    decoderInstanceName = decoder::MakeInstanceName(::GetTickCount(), reinterpret_cast<std::uintptr_t>(this));
    s.instanceName = decoderInstanceName;
    if (s.disableFftWhileDecoding && captureRunning) StopCapture();

    const decoder::CommandLineResult built = decoder::BuildCommandLine(s);
    if (!built.ok()) {
        ShowMessage(decoder::FaultMessage(built.fault));
        ::SetWindowTextW(statusField, L"Idle");
        return;  // the state's owner closes the text log
    }

    std::wstring commandLine = built.commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    decoderProcess = PROCESS_INFORMATION{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                          nullptr, &startup, &decoderProcess)) {
        decoderProcess = PROCESS_INFORMATION{};
        ShowMessage(L"CreateProcess failed. Make sure vastrel.exe is in current directory.\n");
        ::SetWindowTextW(statusField, L"Error!");
        return;
    }

    const std::wstring pipePath = decoder::PipePath(decoderInstanceName);
    auto openPipe = [&] {
        HANDLE pipe = ::CreateFileW(pipePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) return false;
        state->pipe.reset(pipe);
        return true;
    };
    auto decoderExitCode = [&] {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(decoderProcess.hProcess, &code);
        return code;
    };
    bool connected = false;
    for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
        if (openPipe()) {
            connected = true;
            break;
        }
        if (::GetLastError() != ERROR_PIPE_BUSY) {
            // The decoder makes its pipe once it runs: look again every 50 ms for a second (one
            // attempt), answering what other threads send the window meanwhile.
            for (int step = 0; step < 20 && !connected; ++step) {
                WaitAnsweringSentMessages(nullptr, 50);
                if (openPipe()) connected = true;
                else if (::GetLastError() == ERROR_PIPE_BUSY || decoderExitCode() != STILL_ACTIVE) break;
            }
            if (connected) break;
        } else if (!::WaitNamedPipeW(pipePath.c_str(), 1000)) {
            break;
        }
        const DWORD code = decoderExitCode();
        if (code != STILL_ACTIVE) {
            ShowMessage(Printf(L"Decoder terminated with error %d.\nTry running decoder first without GUI with "
                               L"same parameters.\nEXE commandline: %ls",
                               static_cast<int>(code), built.commandLine.c_str()));
            ::CloseHandle(decoderProcess.hProcess);
            ::CloseHandle(decoderProcess.hThread);
            decoderProcess = PROCESS_INFORMATION{};
            ::SetWindowTextW(statusField, L"Error!");
            return;
        }
    }

    if (!connected) {
        ShowMessage(Printf(L"Can't open the decoder's pipe %ls.", pipePath.c_str()));
        decoderReaderState = std::move(state);  // so the stop closes the text log
        decoderRunning = true;
        StopDecoder();
        ::SetWindowTextW(statusField, L"Error!");
        return;
    }

    CHARRANGE all{0, -1};
    ::SendMessageW(decoderLog, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    ::SendMessageW(decoderLog, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    decoderLogCounter = 0;

    if (!decoderHandOver.hwnd()) {
        decoderHandOver.CreateHandOver();
        decoderHandOver.onDrain = [this] { DrainDecoderUpdates(); };
    }
    state->notify = decoderHandOver.hwnd();
    state->notifyMessage = decoder::HandOverWindow::kDrainMessage;
    decoderReaderState = state;
    decoderRunning = true;
    decoderReader = decoder::StartReader(state);

    ::SetWindowTextW(statusField, L"Waiting for first frame...");
    ::EnableWindow(spectrumDisplay.hwnd(), FALSE);
    settingsGrid.selectItem(0, 0);
    ::SetFocus(spectrumDisplay.hwnd());
    ::EnableWindow(settingsGrid.hwnd(), FALSE);
    SetMenuItemState(ID_DECODER_START, MFS_GRAYED | MFS_DISABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_ENABLED);
}

void CMainFrame::StopDecoder() {
    if (!decoderRunning) return;
    DecoderWaitScope waiting(*this);
    win::UniqueHandle stopEvent(
        ::OpenEventW(EVENT_MODIFY_STATE, FALSE, decoder::StopEventName(decoderInstanceName).c_str()));
    ::SetWindowTextW(statusField, L"Shutting down decoder...");

    if (stopEvent) {
        ::SetEvent(stopEvent.get());
        stopEvent.reset();
    } else if (decoderProcess.hProcess && !CloseDecoderConsole(decoderProcess.hProcess)) {
        ::TerminateProcess(decoderProcess.hProcess, 0);
    }
    if (decoderProcess.hProcess && !WaitAnsweringSentMessages(decoderProcess.hProcess, kStopWaitMs))
        ::TerminateProcess(decoderProcess.hProcess, 0);
    if (decoderProcess.hProcess) ::CloseHandle(decoderProcess.hProcess);
    if (decoderProcess.hThread) ::CloseHandle(decoderProcess.hThread);
    decoderProcess = PROCESS_INFORMATION{};

    decoderRunning = false;
    std::shared_ptr<decoder::ReaderState> state = std::move(decoderReaderState);
    bool readerEnded = true;
    if (decoderReader) {
        state->running = false;
        // The decoder's end normally breaks the pipe; a read still pending is cancelled.
        ::CancelSynchronousIo(decoderReader.get());
        ::CancelIoEx(state->pipe.get(), nullptr);
        readerEnded = WaitAnsweringSentMessages(decoderReader.get(), kStopWaitMs);
        decoderReader.reset();
    }
    // Everything the reader handed over reaches the log before the end note.
    if (state) {
        state->notify = nullptr;
        if (readerEnded) DrainDecoderUpdates(state.get());
    }

    AppendToLog(L"Decoder terminated\n", -1, &logFormats[4]);
    ::EnableWindow(spectrumDisplay.hwnd(), TRUE);
    ::EnableWindow(settingsGrid.hwnd(), TRUE);
    ::SetWindowTextW(statusField, L"Idle");
    ::SetWindowTextW(lesField, L"---");
    ::SetWindowTextW(frameField, L"----");
    SetMenuItemState(ID_DECODER_START, MFS_ENABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_GRAYED | MFS_DISABLED);
    // A reader that did not wake keeps its own share of the state, so the file stays open under it
    // until it ends; otherwise the text log closes here, last.
    if (state && readerEnded) state->CloseTextLog();
}
