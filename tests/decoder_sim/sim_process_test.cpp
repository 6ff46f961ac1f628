// The stand-in decoder as a real process: started with a command line from our builder, it must see
// the same arguments, serve its pipe, end on its stop event and report bad usage with its exit code.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"
#include "decoder/record_stream.h"
#include "win/file_bytes.h"
#include "win/gui_support.h"
#include "win/handles.h"
#include "win/utf8.h"

namespace {

std::wstring UniqueName(const wchar_t* stem) {
    static int counter = 0;
    return std::wstring(stem) + std::to_wstring(::GetCurrentProcessId()) + L"x" + std::to_wstring(++counter);
}

std::wstring TempFile(const wchar_t* stem) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + UniqueName(stem) + L".txt";
}

// One run of the stand-in decoder, with its script and argument file in the environment it inherits.
class SimProcess {
public:
    explicit SimProcess(const std::string& script = {}) : name_(UniqueName(L"simtest")) {
        argsPath_ = TempFile(L"simargs");
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", argsPath_.c_str());
        if (!script.empty()) {
            scriptPath_ = TempFile(L"simscript");
            EXPECT_TRUE(guitest::WriteFileBytes(scriptPath_, script));
            ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", scriptPath_.c_str());
        } else {
            ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
        }
    }
    ~SimProcess() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), 0);
            ::WaitForSingleObject(process_.get(), 5000);
        }
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", nullptr);
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
        ::DeleteFileW(argsPath_.c_str());
        if (!scriptPath_.empty()) ::DeleteFileW(scriptPath_.c_str());
    }

    const std::wstring& name() const { return name_; }

    // Started the way the front end starts the decoder, but with our program in place of vastrel.exe.
    bool Start(const std::wstring& commandLine) {
        std::wstring exe = guitest::ProgramFolder() + L"vastrel-sim.exe";
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_SHOWMINNOACTIVE;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                              &si, &pi))
            return false;
        process_.reset(pi.hProcess);
        thread_.reset(pi.hThread);
        return true;
    }

    bool Start(decoder::LaunchSettings s) {
        s.instanceName = name_;
        auto r = decoder::BuildCommandLine(s);
        commandLine_ = r.commandLine;
        return r.ok() && Start(r.commandLine);
    }

    // The exit code, or STILL_ACTIVE when the process has not ended within `ms`.
    DWORD WaitExit(DWORD ms) {
        if (::WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    // Opens the pipe as the front end does, retrying while the program starts.
    win::UniqueHandle Connect() {
        std::wstring path = decoder::PipePath(name_);
        for (int attempt = 0; attempt < 300; ++attempt) {
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) return win::UniqueHandle(h);
            if (::GetLastError() == ERROR_PIPE_BUSY) ::WaitNamedPipeW(path.c_str(), 100);
            if (::WaitForSingleObject(process_.get(), 100) == WAIT_OBJECT_0) break;
        }
        return {};
    }

    bool SignalStop() {
        win::UniqueHandle e(::OpenEventW(EVENT_MODIFY_STATE, FALSE, decoder::StopEventName(name_).c_str()));
        return e && ::SetEvent(e.get());
    }

    std::vector<std::wstring> ArgumentsSeen() {
        std::vector<std::wstring> args;
        std::string bytes = guitest::ReadFileBytes(argsPath_);
        std::size_t at = 0;
        for (std::size_t nl; (nl = bytes.find('\n', at)) != std::string::npos; at = nl + 1)
            args.push_back(win::Wide(bytes.substr(at, nl - at)));
        return args;
    }

    HANDLE process() const { return process_.get(); }
    const std::wstring& commandLine() const { return commandLine_; }

private:
    std::wstring name_, argsPath_, scriptPath_, commandLine_;
    win::UniqueHandle process_, thread_;
};

// Reads records until `want` have arrived, the pipe breaks or `ms` have passed; never blocks on a read.
std::vector<std::string> ReadRecords(HANDLE pipe, std::size_t want, DWORD ms, bool* broken = nullptr) {
    std::vector<std::string> records;
    decoder::RecordSplitter splitter;
    ULONGLONG deadline = ::GetTickCount64() + ms;
    if (broken) *broken = false;
    while (records.size() < want && ::GetTickCount64() < deadline) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            if (broken) *broken = true;
            break;
        }
        if (available == 0) {
            ::Sleep(10);
            continue;
        }
        char buf[decoder::kReadBlockSize];
        DWORD got = 0;
        if (!::ReadFile(pipe, buf, available < sizeof buf ? available : sizeof buf, &got, nullptr)) break;
        splitter.Feed(buf, got, [&](std::string_view r) { records.emplace_back(r); });
    }
    return records;
}

decoder::LaunchSettings TypicalSettings() {
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
    std::vector<std::wstring> args;
    for (int i = 0; argv && i < argc; ++i) args.emplace_back(argv[i]);
    if (argv) ::LocalFree(argv);
    return args;
}

}  // namespace

TEST(ArgumentSplitOnWindows, MatchesCommandLineToArgvW) {
    const wchar_t* lines[] = {
        L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\"  -h -pgui1F2E3D4C",
        L"vastrel.exe -f1500 \"-cLine In\"-cL -n -lmr -te \"-dfC:\\logs\" -h -pgui1F2E3D4C",
        L"vastrel.exe \"-dfC:\\logs\\\\\" \"-dt\\\\srv\\s p\\\\\\\\\" -h",
        L"\"C:\\a b\\p.exe\" x \"\" y",
        L"p a\\\\b \"a\\\\\" b \"a\\\" b\" a\\\\\\\"b",
        L"p \"ab\"cd \"a\"\"b\" \"a\"\"\"b\" \"\"\"\" x\ty",
        L"p \"unterminated  x",
    };
    for (const wchar_t* line : lines) {
        EXPECT_EQ(decoder::SplitCommandLine(line), PlatformSplit(line)) << static_cast<const void*>(line);
    }
}

TEST(SimProcess, ReceivesEachOptionAsOneArgument) {
    SimProcess sim("exit 0\n");
    decoder::LaunchSettings s = TypicalSettings();
    s.soundCard = L"Micr\u00F3fono (USB \u00C9cho) 2\\";
    s.settings.fileLogEgc = s.settings.fileLogRaw = true;
    s.settings.tarLogMessages = true;
    s.settings.fileLogDir = L"C:\\Vastrel logs\\file\\";
    s.settings.tarLogDir = L"C:\\tar  logs";
    s.settings.hideDecoderWindow = true;
    ASSERT_TRUE(sim.Start(s));
    ASSERT_EQ(sim.WaitExit(30000), 0u);
    std::vector<std::wstring> seen = sim.ArgumentsSeen();
    EXPECT_EQ(seen, decoder::SplitCommandLine(sim.commandLine()));
    EXPECT_EQ(seen, PlatformSplit(sim.commandLine()));
    ASSERT_EQ(seen.size(), 11u);
    EXPECT_EQ(seen[2], L"-c" + s.soundCard);
    EXPECT_EQ(seen[3], L"-cL");
    EXPECT_EQ(seen[7], L"-dfC:\\Vastrel logs\\file\\");
    EXPECT_EQ(seen[8], L"-dtC:\\tar  logs");
    EXPECT_EQ(seen[10], L"-p" + sim.name());
}

TEST(SimProcess, ServesItsPipeAndEndsOnTheStopEvent) {
    SimProcess sim(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "raw L5abcdefgfirst half, \n"
        "raw second half\\n\\0\n"
        "long 1500\n"
        "flood 300 80\n"
        "wait-stop\n");
    ASSERT_TRUE(sim.Start(TypicalSettings()));
    win::UniqueHandle pipe = sim.Connect();
    ASSERT_TRUE(pipe) << ::GetLastError();
    std::vector<std::string> records = ReadRecords(pipe.get(), 304, 30000);
    ASSERT_EQ(records.size(), 304u);
    auto header = decoder::ParseRecord(records[0]);
    EXPECT_EQ(header.les, "121");
    EXPECT_EQ(header.frame, "0042");
    EXPECT_DOUBLE_EQ(header.frequencyHz, 1215.0);
    EXPECT_EQ(records[1], "L5abcdefgfirst half, second half\n");
    EXPECT_EQ(records[2].size(), 1024u);  // the long record is cut; its 1025th byte is lost
    EXPECT_EQ(records[3].size(), 1500u - 1025u);
    for (std::size_t i = 4; i < records.size(); ++i) {
        auto rec = decoder::ParseRecord(records[i]);
        EXPECT_TRUE(rec.accepted);
        EXPECT_EQ(records[i].size(), 80u);
        EXPECT_EQ(rec.category, static_cast<int>((i - 4) % 6));
    }
    EXPECT_EQ(sim.WaitExit(300), STILL_ACTIVE);  // sits until asked
    ASSERT_TRUE(sim.SignalStop());
    EXPECT_EQ(sim.WaitExit(15000), 0u);
    bool broken = false;
    ReadRecords(pipe.get(), 1, 5000, &broken);
    EXPECT_TRUE(broken);
}

TEST(SimProcess, EndsWithTheScriptsExitCodeAndWhatItWroteBeforeCanStillBeRead) {
    SimProcess sim("wait-client\nrecord L0abcdefgbye\nexit 3\n");
    ASSERT_TRUE(sim.Start(TypicalSettings()));
    win::UniqueHandle pipe = sim.Connect();
    ASSERT_TRUE(pipe);
    ASSERT_EQ(sim.WaitExit(15000), 3u);
    bool broken = false;
    std::vector<std::string> records = ReadRecords(pipe.get(), 2, 5000, &broken);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], "L0abcdefgbye");
    EXPECT_TRUE(broken);
}

TEST(SimProcess, BadUsageAndABadScriptEndWithAnErrorCode) {
    {
        SimProcess sim("exit 0\n");
        ASSERT_TRUE(sim.Start(std::wstring(L"vastrel.exe -f2000 \"-cX\" -zap -psimbad")));
        DWORD code = sim.WaitExit(30000);
        EXPECT_NE(code, 0u);
        EXPECT_NE(code, STILL_ACTIVE);
        EXPECT_EQ(sim.ArgumentsSeen().at(3), L"-zap");
    }
    SimProcess sim("sleep 10\nbogus command\n");
    ASSERT_TRUE(sim.Start(TypicalSettings()));
    EXPECT_EQ(sim.WaitExit(30000), 2u);
}

TEST(SimProcess, WithoutPipeOrEvent) {
    // The mark comes after the set-up that would have made the pipe and the event.
    const std::wstring mark = TempFile(L"simmark");
    ::DeleteFileW(mark.c_str());
    SimProcess sim("nopipe\nnoevent\nmark " + win::Utf8(mark) + "\nwait-stop\n");
    ASSERT_TRUE(sim.Start(TypicalSettings()));
    ASSERT_TRUE(guitest::PumpUntil([&] { return ::GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000));
    ::DeleteFileW(mark.c_str());
    EXPECT_FALSE(sim.SignalStop());
    HANDLE h = ::CreateFileW(decoder::PipePath(sim.name()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    EXPECT_EQ(sim.WaitExit(0), STILL_ACTIVE);
}

// The front end's second way to stop a decoder without a stop event: ask the decoder's console window,
// found by running GetConsoleWindow inside the decoder's process, to close.
namespace {

HWND ConsoleWindowOf(HANDLE process) {
    auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "GetConsoleWindow")));
    if (!start) return nullptr;
    win::UniqueHandle remote(::CreateRemoteThread(process, nullptr, 0, start, nullptr, 0, nullptr));
    if (!remote || ::WaitForSingleObject(remote.get(), 10000) != WAIT_OBJECT_0) return nullptr;
    DWORD console = 0;
    ::GetExitCodeThread(remote.get(), &console);
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(console));
}

}  // namespace

// Hidden, it ignores the stop event when told to; shown, it ends when its console window is closed.
TEST(SimProcess, HidesItsConsoleOnlyWhenAskedAndEndsWhenItIsClosed) {
    for (bool hide : {true, false}) {
        SCOPED_TRACE(hide);
        SimProcess sim(hide ? "ignore-stop\nwait-stop\n" : "noevent\nwait-stop\n");
        decoder::LaunchSettings s = TypicalSettings();
        s.settings.hideDecoderWindow = hide;
        ASSERT_TRUE(sim.Start(s));
        win::UniqueHandle pipe = sim.Connect();  // the window is hidden before the pipe exists
        ASSERT_TRUE(pipe);
        HWND window = ConsoleWindowOf(sim.process());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(::IsWindowVisible(window) != FALSE, !hide);
        if (hide) {
            ASSERT_TRUE(sim.SignalStop());
            EXPECT_EQ(sim.WaitExit(500), STILL_ACTIVE);
            continue;  // terminated on its way out
        }
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &result);
        EXPECT_EQ(sim.WaitExit(15000), 0u);
    }
}
