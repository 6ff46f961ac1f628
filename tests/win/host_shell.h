// Host programs started from a test under Wine, through the host's /bin/sh (the test bed's sox,
// paplay, kill and scripts).
#pragma once
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace guitest {

// A command line run by the host's /bin/sh. Wine gives no handle for a host program, so the job
// tells its end and exit code through a file under /tmp.
class ShellJob {
public:
    ShellJob() = default;
    ShellJob(const ShellJob&) = delete;
    ShellJob& operator=(const ShellJob&) = delete;
    ~ShellJob() { ::DeleteFileW(DoneFile(L"Z:\\tmp\\").c_str()); }

    bool Start(const std::wstring& script) {
        static int counter = 0;
        name_ = L"vastrel-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        const std::wstring done = DoneFile(L"/tmp/");
        std::wstring cmd = L"/bin/sh -c \"(" + script + L"); echo $? >" + done + L".part && mv " + done + L".part " +
                           done + L"\"";
        STARTUPINFOW si{sizeof(si)};
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(L"Z:\\bin\\sh", cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        // For a host program Wine gives no process handle and leaves whatever was on its stack in
        // hThread: closing that could close one of this process's own handles (a thread's, say,
        // which a later join then no longer finds). Only a real process's handles are closed.
        if (pi.hProcess) {
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        started_ = true;
        return true;
    }
    // The job's exit code, or -1 when it did not end within timeoutMs (or never started).
    int Wait(DWORD timeoutMs) {
        if (!started_) return -1;
        const std::wstring done = DoneFile(L"Z:\\tmp\\");
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            int code = -1;
            if (FILE* f = _wfopen(done.c_str(), L"r")) {
                if (fscanf(f, "%d", &code) != 1) code = -1;
                fclose(f);
                return code;
            }
            ::Sleep(50);
        }
        return -1;
    }

private:
    std::wstring DoneFile(const wchar_t* folder) const { return folder + name_ + L".done"; }
    std::wstring name_;
    bool started_ = false;
};

// Runs a command line through the host's /bin/sh and waits for it; its exit code, or -1.
inline int RunShell(const std::wstring& script, DWORD timeoutMs) {
    ShellJob job;
    return job.Start(script) ? job.Wait(timeoutMs) : -1;
}

}  // namespace guitest
