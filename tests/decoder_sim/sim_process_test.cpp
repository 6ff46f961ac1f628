// The stand-in decoder as a real process, for what the run tests take on trust: it sees the arguments
// our command line means, ends with an error code on bad usage or a bad script, and misbehaves (no pipe,
// no event, a stop ignored) when its script says so. (Its pipe, its stop event and a script's exit code
// are shown by every run test.)
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "decoder/command_line.h"
#include "win/file_bytes.h"
#include "win/gui_support.h"
#include "win/handles.h"
#include "win/utf8.h"

namespace {

std::wstring UniqueName(const wchar_t* stem) {
    static int counter = 0;
    return stem + std::to_wstring(::GetCurrentProcessId()) + L"x" + std::to_wstring(++counter);
}
std::wstring TempName(const wchar_t* stem) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return dir + UniqueName(stem);
}

// One run of the stand-in, with its script and argument file in the environment it inherits.
class SimProcess {
public:
    explicit SimProcess(const std::string& script) {
        EXPECT_TRUE(guitest::WriteFileBytes(scriptPath, script));
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", scriptPath.c_str());
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", argsPath.c_str());
    }
    ~SimProcess() {
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 0);
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", nullptr);
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
        ::DeleteFileW(argsPath.c_str());
        ::DeleteFileW(scriptPath.c_str());
    }
    // Started as the front end starts the decoder (a console of its own), from our builder's command line
    // unless `line` is given.
    bool Start(decoder::LaunchSettings s, std::wstring line = {}) {
        s.instanceName = name;
        if (line.empty()) line = commandLine = decoder::BuildCommandLine(s).commandLine;
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(), line.data(), nullptr, nullptr,
                              FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &si, &pi))
            return false;
        process.reset(pi.hProcess);
        ::CloseHandle(pi.hThread);
        return true;
    }
    // The exit code, or STILL_ACTIVE when the process has not ended within `ms`.
    DWORD WaitExit(DWORD ms) {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.get(), &code);
        return code;
    }
    // Opens the pipe as the front end does, retrying while the program starts.
    win::UniqueHandle Connect() {
        for (int attempt = 0; attempt < 300; ++attempt) {
            HANDLE h = ::CreateFileW(decoder::PipePath(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) return win::UniqueHandle(h);
            if (::WaitForSingleObject(process.get(), 100) == WAIT_OBJECT_0) break;
        }
        return {};
    }
    bool SignalStop() {
        win::UniqueHandle e(::OpenEventW(EVENT_MODIFY_STATE, FALSE, decoder::StopEventName(name).c_str()));
        return e && ::SetEvent(e.get());
    }
    std::vector<std::wstring> ArgumentsSeen() const {
        std::vector<std::wstring> args;
        const std::string bytes = guitest::ReadFileBytes(argsPath);
        for (std::size_t at = 0, nl; (nl = bytes.find('\n', at)) != std::string::npos; at = nl + 1)
            args.push_back(win::Wide(bytes.substr(at, nl - at)));
        return args;
    }

    const std::wstring name = UniqueName(L"simtest"), argsPath = TempName(L"simargs"), scriptPath = TempName(L"simscript");
    std::wstring commandLine;
    win::UniqueHandle process;
};

decoder::LaunchSettings Typical() {
    decoder::LaunchSettings s;
    s.settings.centerFrequency = 1850.4;
    s.soundCard = L"Line In (High Definition Audio Device)";
    s.settings.cardChannel = 1;
    s.settings.checkForUpdates = false;
    s.settings.hideDecoderWindow = false;  // hiding the console costs two seconds under Wine
    return s;
}

std::vector<std::wstring> PlatformSplit(const std::wstring& line) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &argc);
    std::vector<std::wstring> args(argv, argv ? argv + argc : argv);
    if (argv) ::LocalFree(argv);
    return args;
}

}  // namespace

// Our command line reaches the program as the arguments it means, also with spaces, accents and
// trailing backslashes in them.
TEST(SimProcess, ReceivesEachOptionAsOneArgument) {
    SimProcess sim("exit 0\n");
    decoder::LaunchSettings s = Typical();
    s.soundCard = L"Micr\u00F3fono (USB \u00C9cho) 2\\";
    s.settings.fileLogEgc = s.settings.fileLogRaw = s.settings.tarLogMessages = true;
    s.settings.fileLogDir = L"C:\\Vastrel logs\\file\\";
    s.settings.tarLogDir = L"C:\\tar  logs";
    ASSERT_TRUE(sim.Start(s));
    ASSERT_EQ(sim.WaitExit(30000), 0u);
    const std::vector<std::wstring> seen = sim.ArgumentsSeen();
    EXPECT_EQ(seen, PlatformSplit(sim.commandLine));
    ASSERT_EQ(seen.size(), 10u) << win::Utf8(sim.commandLine);
    EXPECT_EQ(seen[2], L"-cMicr\u00F3fono (USB \u00C9cho) 2\\");
    EXPECT_EQ(seen[7], L"-dfC:\\Vastrel logs\\file\\");
    EXPECT_EQ(seen[8], L"-dtC:\\tar  logs");
    EXPECT_EQ(seen[9], L"-p" + sim.name);
}

TEST(SimProcess, EndsWithTheExitCodeItsScriptOrItsUsageGives) {
    const struct {
        const char* script;
        const wchar_t* commandLine;  // empty: our builder's
        DWORD code;
    } rows[] = {
        {"sleep 10\nbogus command\n", L"", 2},
        {"exit 0\n", L"vastrel.exe -f2000 \"-cX\" -zap -psimbad", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        SimProcess sim(row.script);
        ASSERT_TRUE(sim.Start(Typical(), row.commandLine));
        EXPECT_EQ(sim.WaitExit(30000), row.code);
    }
}

// The front end's second way to stop a decoder without a stop event: ask the decoder's console window,
// found by running GetConsoleWindow inside the decoder's process, to close.
HWND ConsoleWindowOf(HANDLE process) {
    auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "GetConsoleWindow")));
    win::UniqueHandle remote(::CreateRemoteThread(process, nullptr, 0, start, nullptr, 0, nullptr));
    DWORD console = 0;
    if (!remote || ::WaitForSingleObject(remote.get(), 10000) != WAIT_OBJECT_0) return nullptr;
    ::GetExitCodeThread(remote.get(), &console);
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(console));
}

// "nopipe" and "noevent" make neither (the mark comes after the set-up that would); shown, the console
// ends the program when it is closed.
TEST(SimProcess, WithoutPipeOrEventItEndsWhenItsConsoleIsClosed) {
    const std::wstring mark = TempName(L"simmark");
    SimProcess sim("nopipe\nnoevent\nmark " + win::Utf8(mark) + "\nwait-stop\n");
    ASSERT_TRUE(sim.Start(Typical()));
    ASSERT_TRUE(guitest::PumpUntil([&] { return ::GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000));
    ::DeleteFileW(mark.c_str());
    EXPECT_FALSE(sim.SignalStop());
    win::UniqueHandle pipe(::CreateFileW(decoder::PipePath(sim.name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(pipe.get(), INVALID_HANDLE_VALUE);
    HWND window = ConsoleWindowOf(sim.process.get());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(sim.WaitExit(0), STILL_ACTIVE);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &result);
    EXPECT_EQ(sim.WaitExit(15000), 0u);
}

// "ignore-stop" keeps it running past its stop event.
TEST(SimProcess, IgnoresTheStopEventWhenTold) {
    SimProcess sim("ignore-stop\nwait-stop\n");
    ASSERT_TRUE(sim.Start(Typical()));
    ASSERT_TRUE(sim.Connect());  // the event exists by the time the pipe does
    ASSERT_TRUE(sim.SignalStop());
    EXPECT_EQ(sim.WaitExit(500), STILL_ACTIVE);
}
