// A main window in a scratch folder of its own, emptied before and after (Wine hands out the same few
// process ids run after run, so an earlier run's folder can bear this one's name), where the stand-in
// decoder is copied as vastrel.exe with a script; and readers of what a run shows.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "win/file_bytes.h"
#include "win/main_frame_fixture.h"
#include "win/utf8.h"

namespace guitest {

inline std::size_t Occurrences(const std::wstring& text, const std::wstring& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The running numbers of the stand-in's flood records ("#<n> ...") that begin lines of `text`, in order.
inline std::vector<long> FloodNumbers(const std::wstring& text) {
    std::vector<long> numbers;
    std::wistringstream lines(text);
    for (std::wstring line; std::getline(lines, line);)
        if (!line.empty() && line[0] == L'#') numbers.push_back(std::wcstol(line.c_str() + 1, nullptr, 10));
    return numbers;
}

// from, from + 1, ... up to `to`; without category 4's (every sixth, from the fifth) when `shown`, as the
// log shows a flood by default.
inline std::vector<long> Numbers(long from, long to, bool shown = false) {
    std::vector<long> numbers;
    for (long n = from; n < to; ++n)
        if (!shown || n % 6 != 4) numbers.push_back(n);
    return numbers;
}

// The names of the *.log files in `dir`, sorted.
inline std::vector<std::wstring> LogFiles(const std::wstring& dir) {
    std::vector<std::wstring> names;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(dir), none))
        if (entry.path().extension() == L".log") names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace guitest

// The main window is left hidden, and the decoder's console shown; a case that needs the window shown
// (a pane's visibility, the log drawn as it is shown) calls Show().
class RunTest : public MainFrameTest {
protected:
    RunTest() { showAtStart = false; }
    void SetUp() override {
        ::GetCurrentDirectoryW(MAX_PATH, oldDir_);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::error_code ignored;
        work = (std::filesystem::temp_directory_path(ignored) / (L"vastrel_run_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                                                                 win::Wide(test->test_suite_name()) + L"_" + win::Wide(test->name())))
                   .wstring();
        std::filesystem::remove_all(std::filesystem::path(work), ignored);
        std::filesystem::create_directory(std::filesystem::path(work), ignored);
        ::SetCurrentDirectoryW(work.c_str());
        MainFrameTest::SetUp();
        // Hiding the decoder's console costs two seconds a start under Wine without a window manager.
        frame->Rows().WriteBool(settings::kHideDecoderWindow, false);
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", nullptr);
        ::SetCurrentDirectoryW(oldDir_);
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(work), ignored);
    }
    // The stand-in as vastrel.exe, running `script`; it writes its arguments into args.txt.
    void InstallDecoder(const std::string& script) {
        ASSERT_TRUE(::CopyFileW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(), (work + L"\\vastrel.exe").c_str(),
                                FALSE));
        RewriteScript(script);
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", (work + L"\\args.txt").c_str());
    }
    void RewriteScript(const std::string& script) { ASSERT_TRUE(guitest::WriteFileBytes(work + L"\\script.txt", script)); }

    HWND Child(int id) const { return guitest::FindChild(frame->hwnd(), id); }
    std::wstring Field(int id) const { return guitest::WindowText(Child(id)); }
    std::wstring Status() const { return Field(IDC_STATUS_FIELD); }
    bool WaitForStatus(const std::wstring& status, int timeoutMs = 15000) {
        return guitest::PumpUntil([&] { return Status() == status; }, timeoutMs);
    }
    bool WaitForLog(const std::wstring& part, int timeoutMs = 15000) {
        return guitest::PumpUntil([&] { return LogText().find(part) != std::wstring::npos; }, timeoutMs);
    }
    bool Disabled(UINT id) const { return (::GetMenuState(frame->menu(), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0; }
    // The decoder log's text, with "\n" line ends, and the colour of its character at `position`.
    std::wstring LogText() const {
        const logview::LogText& text = guitest::LogViewOf(frame->hwnd()).text();
        return text.Range(0, text.Length(), L"\n");
    }
    COLORREF LogColourAt(std::size_t position) const {
        const logview::LogText& text = guitest::LogViewOf(frame->hwnd()).text();
        const std::size_t line = text.LineFromPosition(static_cast<std::int64_t>(position));
        return text.ColourAt(line, position - static_cast<std::size_t>(text.LineStart(line)));
    }
    // Turns the text log on, into the folder "textlog" of the scratch folder.
    void UseTextLog() {
        logDir = work + L"\\textlog";
        ::CreateDirectoryW(logDir.c_str(), nullptr);
        frame->Rows().WriteBool(settings::kDecoderTextLog, true);
        frame->Rows().WriteText(settings::kDecoderLogDir, logDir);
        frame->Rows().WriteBool(settings::kDecoderLogUseFilter, false);
    }
    // The text log's file `name` (the only one when empty), with "\n" line ends.
    std::string TextLog(const std::wstring& name = {}) const {
        const std::vector<std::wstring> files = guitest::LogFiles(logDir);
        std::string bytes = guitest::ReadFileBytes(logDir + L"\\" + (name.empty() && files.size() == 1 ? files[0] : name));
        bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
        return bytes;
    }
    int Count() const { return static_cast<int>(::SendMessageW(guitest::MessagesPaneOf(frame->hwnd()).list(), LVM_GETITEMCOUNT, 0, 0)); }

    std::wstring work, logDir;

private:
    wchar_t oldDir_[MAX_PATH] = {};
};
