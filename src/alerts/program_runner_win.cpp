#include "alerts/program_runner_win.h"

#include <vector>

namespace alerts {
namespace {

// A file that goes when its last handle closes, holding `bytes`, opened for the child to inherit and
// read from its start. A file rather than a pipe: the user-interface thread never blocks on a program
// that does not read what it is given.
win::UniqueHandle InputFile(const std::string& bytes) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    if (!::GetTempPathW(MAX_PATH, folder) || !::GetTempFileNameW(folder, L"val", 0, path)) return {};
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    win::UniqueHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                         nullptr));
    if (!file) {
        ::DeleteFileW(path);
        return {};
    }
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return {};
    return file;
}

win::UniqueHandle NullDevice() {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return win::UniqueHandle(
        ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
}

// Starts `program` with `input` on its standard input and its output thrown away; only those two
// handles are inherited. Returns the process, or none with the system's error code in `error`.
win::UniqueHandle Start(const std::wstring& program, const std::string& input, DWORD& error) {
    win::UniqueHandle in = InputFile(input);
    win::UniqueHandle out = NullDevice();
    if (!in || !out) {
        error = ::GetLastError();
        return {};
    }
    HANDLE inherited[] = {in.get(), out.get()};
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> list(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    const bool listed = size > 0 && ::InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
                        ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                    sizeof(inherited), nullptr, nullptr);
    STARTUPINFOEXW info{};
    info.StartupInfo.cb = sizeof(info);
    info.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    info.StartupInfo.wShowWindow = SW_HIDE;
    info.StartupInfo.hStdInput = in.get();
    info.StartupInfo.hStdOutput = out.get();
    info.StartupInfo.hStdError = out.get();
    if (listed) info.lpAttributeList = attributes;
    // The system splits the command line as any program's; no shell sees it, and the message
    // itself is never on it.
    std::wstring commandLine = program;
    PROCESS_INFORMATION pi{};
    const BOOL created = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr,
                                          nullptr, &info.StartupInfo, &pi);
    error = created ? 0 : ::GetLastError();
    if (listed) ::DeleteProcThreadAttributeList(attributes);
    if (!created) return {};
    win::UniqueHandle thread(pi.hThread);
    return win::UniqueHandle(pi.hProcess);
}

}  // namespace

ProgramRunner::ProgramRunner() = default;

// The programs go on by themselves; only the handles to them close.
ProgramRunner::~ProgramRunner() = default;

bool ProgramRunner::EnsureWindow() {
    if (hwnd()) return true;
    const RECT none{};
    return Create(HWND_MESSAGE, none, L"", 0, 0) != nullptr;
}

std::int64_t ProgramRunner::Now() const {
    return clock_ ? clock_() : static_cast<std::int64_t>(::GetTickCount64());
}

void ProgramRunner::Say(const std::wstring& text) const {
    if (report_) report_(text);
}

void ProgramRunner::Run(const std::wstring& program, const std::string& input) {
    if (!queue_.Offer(program, input + "\n")) {
        Say(L"Run on alert: " + std::to_wstring(ProgramQueue::kMaxWaiting) + L" runs already wait; this alert's is dropped");
        return;
    }
    StartWaiting();
    if (EnsureWindow()) ::SetTimer(hwnd(), kWatchTimer, kWatchMs, nullptr);
}

void ProgramRunner::StartWaiting() {
    while (std::optional<ProgramQueue::Job> job = queue_.NextToStart(Now())) {
        DWORD error = 0;
        win::UniqueHandle process = Start(job->program, job->input, error);
        if (!process) {
            queue_.Finished(job->id);
            Say(L"Run on alert: cannot start " + job->program + L" (error " + std::to_wstring(error) + L")");
            continue;
        }
        ++started_;
        processes_.emplace(job->id, Process{job->program, std::move(process)});
    }
}

void ProgramRunner::Watch() {
    for (auto it = processes_.begin(); it != processes_.end();) {
        if (::WaitForSingleObject(it->second.handle.get(), 0) != WAIT_OBJECT_0) {
            ++it;
            continue;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(it->second.handle.get(), &code);
        if (code != 0 && !it->second.ended)
            Say(L"Run on alert: " + it->second.program + L" failed (exit code " + std::to_wstring(code) + L")");
        queue_.Finished(it->first);
        it = processes_.erase(it);
    }
    for (std::uint64_t id : queue_.Overdue(Now())) {
        auto it = processes_.find(id);
        if (it == processes_.end()) continue;
        it->second.ended = true;
        ::TerminateProcess(it->second.handle.get(), 1);
        Say(L"Run on alert: " + it->second.program + L" still ran after " +
            std::to_wstring(ProgramQueue::kTimeLimitMs / 1000) + L" s and was ended");
    }
    StartWaiting();
    if (processes_.empty() && queue_.waiting() == 0 && hwnd()) ::KillTimer(hwnd(), kWatchTimer);
}

LRESULT ProgramRunner::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kWatchTimer) {
        Watch();
        return 0;
    }
    return DefaultHandling(msg, wParam, lParam);
}

}  // namespace alerts
