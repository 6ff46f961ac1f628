// vastrel-sim: a stand-in for the outside decoder, for tests and demonstrations. It takes the decoder's
// command line, writes records into \\.\pipe\<name> and ends when <name>_terminate is signalled or its
// console window is closed. See README.md for the script language and the environment variables.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim_options.h"
#include "sim_script.h"
#include "sim_traffic.h"
#include "win/handles.h"
#include "win/utf8.h"

namespace {

constexpr int kExitBadUsage = 2;
constexpr int kExitSetupFailed = 4;

// The console control handler runs on a thread of its own; it only sets this event.
HANDLE g_closeRequested = nullptr;
bool g_ignoreStop = false;

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_CLOSE_EVENT && type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    if (g_ignoreStop) {
        if (type == CTRL_CLOSE_EVENT) ::Sleep(INFINITE);  // the system ends us when it tires of waiting
        return TRUE;
    }
    ::SetEvent(g_closeRequested);
    if (type == CTRL_CLOSE_EVENT) ::Sleep(10000);  // returning would end the process before main cleans up
    return TRUE;
}

void Say(const std::wstring& text) {
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    std::wstring line = L"vastrel-sim: " + text + L"\r\n";
    if (::WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return;
    const std::string utf8 = win::Utf8(line);
    ::WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring Environment(const wchar_t* name) {
    DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    n = ::GetEnvironmentVariableW(name, value.data(), n);
    value.resize(n);
    return value;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    win::UniqueHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return f && ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    win::UniqueHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return false;
    bytes.clear();
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    return true;
}

std::vector<std::wstring> PlatformArguments() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    if (!argv) return args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    ::LocalFree(argv);
    return args;
}

// The decoder's side of a run: the pipe, the stop event, and waits that a stop request cuts short.
class Decoder {
public:
    enum class Result { Done, Stopped, PipeGone };

    bool Setup(const sim::SimOptions& options, const sim::Script& script) {
        io_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!io_) return false;
        if (!script.ignoreStop) stopHandles_.push_back(g_closeRequested);
        if (!script.noEvent) {
            std::wstring name = options.instanceName + L"_terminate";
            stopEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
            if (!stopEvent_) {
                Say(L"cannot create the stop event " + name);
                return false;
            }
            if (!script.ignoreStop) stopHandles_.push_back(stopEvent_.get());
        }
        if (!script.noPipe) {
            std::wstring path = L"\\\\.\\pipe\\" + options.instanceName;
            pipe_.reset(::CreateNamedPipeW(path.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 0, 0, nullptr));
            if (!pipe_) {
                Say(L"cannot create the pipe " + path);
                return false;
            }
        }
        return true;
    }

    // Waits `ms` (INFINITE allowed) unless asked to stop first.
    Result Sleep(DWORD ms) { return WaitWith(nullptr, ms) == WAIT_TIMEOUT ? Result::Done : Result::Stopped; }

    Result WaitClient() {
        if (connected_) return Result::Done;
        if (!pipe_) return Sleep(INFINITE);  // nothing to wait for: only a stop ends this
        OVERLAPPED ov{};
        ov.hEvent = io_.get();
        ::ResetEvent(io_.get());
        if (!::ConnectNamedPipe(pipe_.get(), &ov)) {
            DWORD e = ::GetLastError();
            if (e == ERROR_IO_PENDING) {
                if (WaitWith(io_.get(), INFINITE) != WAIT_OBJECT_0) {
                    ::CancelIo(pipe_.get());
                    return Result::Stopped;
                }
                DWORD ignored = 0;
                if (!::GetOverlappedResult(pipe_.get(), &ov, &ignored, FALSE)) return Result::PipeGone;
            } else if (e != ERROR_PIPE_CONNECTED) {
                return Result::PipeGone;
            }
        }
        connected_ = true;
        return Result::Done;
    }

    // One write of `bytes`; without a pipe the bytes go nowhere.
    Result Write(const std::string& bytes) {
        if (!pipe_) return StopRequested() ? Result::Stopped : Result::Done;
        if (Result r = WaitClient(); r != Result::Done) return r;
        OVERLAPPED ov{};
        ov.hEvent = io_.get();
        ::ResetEvent(io_.get());
        DWORD written = 0;
        if (!::WriteFile(pipe_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, &ov)) {
            if (::GetLastError() != ERROR_IO_PENDING) return Result::PipeGone;
            if (WaitWith(io_.get(), INFINITE) != WAIT_OBJECT_0) {
                ::CancelIo(pipe_.get());
                return Result::Stopped;
            }
            if (!::GetOverlappedResult(pipe_.get(), &ov, &written, FALSE)) return Result::PipeGone;
        }
        return StopRequested() ? Result::Stopped : Result::Done;
    }

    bool StopRequested() { return WaitWith(nullptr, 0) != WAIT_TIMEOUT; }

private:
    // WAIT_OBJECT_0 when `first` is signalled, WAIT_TIMEOUT on time-out, anything else on a stop request.
    DWORD WaitWith(HANDLE first, DWORD ms) {
        HANDLE handles[3];
        DWORD count = 0;
        if (first) handles[count++] = first;
        for (HANDLE h : stopHandles_) handles[count++] = h;
        if (count == 0) {
            ::Sleep(ms);
            return WAIT_TIMEOUT;
        }
        DWORD r = ::WaitForMultipleObjects(count, handles, FALSE, ms);
        if (r == WAIT_TIMEOUT) return WAIT_TIMEOUT;
        if (first && r == WAIT_OBJECT_0) return WAIT_OBJECT_0;
        return WAIT_ABANDONED_0 + 100;
    }

    win::UniqueHandle pipe_, stopEvent_, io_;
    std::vector<HANDLE> stopHandles_;
    bool connected_ = false;
};

using Result = Decoder::Result;

Result RunLive(Decoder& decoder, const sim::SimOptions& options, DWORD durationMs, std::uint32_t seed, unsigned speed) {
    sim::LiveTraffic traffic(options.centerFrequency, seed);
    ULONGLONG start = ::GetTickCount64();
    for (;;) {
        sim::TrafficItem item = traffic.Next();
        item.delayMs /= speed;  // at 100 times the speed a frame takes 86 ms
        ULONGLONG now = ::GetTickCount64();
        if (durationMs != INFINITE && now - start + item.delayMs > durationMs) {
            ULONGLONG left = durationMs > now - start ? durationMs - (now - start) : 0;
            return decoder.Sleep(static_cast<DWORD>(left));
        }
        if (Result r = decoder.Sleep(item.delayMs); r != Result::Done) return r;
        item.record.push_back('\0');
        if (Result r = decoder.Write(item.record); r != Result::Done) return r;
    }
}

// Runs the steps in order; returns the exit code.
int RunScript(Decoder& decoder, const sim::SimOptions& options, const sim::Script& script, std::uint32_t seed) {
    for (const sim::ScriptStep& step : script.steps) {
        Result r = Result::Done;
        switch (step.kind) {
            case sim::StepKind::WaitClient: r = decoder.WaitClient(); break;
            case sim::StepKind::Record: r = decoder.Write(step.bytes + '\0'); break;
            case sim::StepKind::Raw: r = decoder.Write(step.bytes); break;
            case sim::StepKind::Sleep: r = decoder.Sleep(static_cast<DWORD>(step.number)); break;
            case sim::StepKind::Exit: return static_cast<int>(static_cast<DWORD>(step.number));
            case sim::StepKind::Flood: {
                // Batched into writes of about 64 KiB so a flood runs at pipe speed.
                std::string batch;
                for (std::int64_t i = 0; i < step.number && r == Result::Done; ++i) {
                    batch += sim::FloodRecord(static_cast<std::uint64_t>(i), static_cast<std::size_t>(step.size));
                    batch.push_back('\0');
                    if (batch.size() >= 65536 || i + 1 == step.number) {
                        r = decoder.Write(batch);
                        batch.clear();
                    }
                }
                break;
            }
            case sim::StepKind::Garbage:
                if (step.number > 0) r = decoder.Write(sim::Garbage(static_cast<std::size_t>(step.number), seed + step.line));
                break;
            case sim::StepKind::Long: r = decoder.Write(sim::LongRecord(static_cast<std::size_t>(step.number)) + '\0'); break;
            case sim::StepKind::Live:
                r = RunLive(decoder, options, static_cast<DWORD>(step.number), seed,
                            static_cast<unsigned>(step.size > 0 ? step.size : 1));
                break;
            case sim::StepKind::WaitStop: r = decoder.Sleep(INFINITE); break;
            case sim::StepKind::Mark: {
                const std::wstring path = win::Wide(step.bytes);
                HANDLE mark = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                if (mark != INVALID_HANDLE_VALUE) ::CloseHandle(mark);
                break;
            }
        }
        if (r == Result::Stopped) {
            Say(L"asked to stop");
            return 0;
        }
        if (r == Result::PipeGone) {
            Say(L"the front end closed the pipe");
            return 0;
        }
    }
    return 0;
}

int Run() {
    std::vector<std::wstring> args = PlatformArguments();

    std::wstring argsPath = Environment(L"VASTREL_SIM_ARGS");
    if (!argsPath.empty()) {
        std::string lines;
        for (const auto& a : args) lines += win::Utf8(a) + "\n";
        if (!WriteWholeFile(argsPath, lines)) Say(L"cannot write the argument file " + argsPath);
    }

    sim::SimOptions options;
    std::wstring why;
    if (!sim::ParseSimArguments(args, options, why)) {
        Say(why);
        Say(L"usage: vastrel.exe -f<Hz> \"-c<device>\" [-cL|-cR] [-n] [-l<emr>] [-t<emr>] [\"-df<dir>\"] "
            L"[\"-dt<dir>\"] [-h] -p<name>");
        return kExitBadUsage;
    }

    sim::Script script;
    std::wstring scriptPath = Environment(L"VASTREL_SIM_SCRIPT");
    if (scriptPath.empty()) {
        script.steps.push_back(sim::ScriptStep{sim::StepKind::WaitClient});
        script.steps.push_back(sim::ScriptStep{sim::StepKind::Live, {}, INFINITE, 1});
    } else {
        std::string text, error;
        if (!ReadWholeFile(scriptPath, text)) {
            Say(L"cannot read the script " + scriptPath);
            return kExitBadUsage;
        }
        if (!sim::ParseScript(text, script, error)) {
            Say(L"script " + scriptPath + L": " + std::wstring(error.begin(), error.end()));
            return kExitBadUsage;
        }
    }

    if (options.hide) ::ShowWindow(::GetConsoleWindow(), SW_HIDE);
    g_ignoreStop = script.ignoreStop;
    win::UniqueHandle closeRequested(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_closeRequested = closeRequested.get();
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    Decoder decoder;
    if (!decoder.Setup(options, script)) return kExitSetupFailed;
    wchar_t centre[64];
    std::swprintf(centre, 64, L"%.1f", options.centerFrequency);
    Say(L"instance " + options.instanceName + L", centre " + centre + L" Hz, device \"" + options.device + L"\"");

    std::uint32_t seed = 0;
    for (wchar_t c : options.instanceName) seed = seed * 31 + static_cast<std::uint32_t>(c);
    return RunScript(decoder, options, script, seed);
}

}  // namespace

int wmain() { return Run(); }
