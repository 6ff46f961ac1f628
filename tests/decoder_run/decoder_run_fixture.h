// The decoder-run fixture: an in-process main window in a scratch folder, the stand-in decoder copied
// there as vastrel.exe with a script, and readers of the log's text and colours.
#pragma once
#include <windows.h>
#include <richedit.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/settings.h"
#include "win/main_frame_fixture.h"

// Emptied first: Wine hands out the same few process ids run after run, so a folder of an earlier
// run (its vastrel.exe, its store) can bear this one's name.
inline std::wstring ScratchFolder(const wchar_t* leaf) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"vastrel_run_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + leaf;
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(dir), ignored);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

inline std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return {};
    std::wstring w(s.size(), L'\0');
    w.resize(::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                   static_cast<int>(w.size())));
    return w;
}

inline std::wstring OnlyLogFile(const std::wstring& dir) {
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileW((dir + L"\\*.log").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return {};
    ::FindClose(h);
    return dir + L"\\" + found.cFileName;
}

class DecoderRunTest : public MainFrameTest {
protected:
    void SetUp() override {
        ::GetCurrentDirectoryW(MAX_PATH, oldDir_);
        const std::string testName = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        work = ScratchFolder(std::wstring(testName.begin(), testName.end()).c_str());
        ::SetCurrentDirectoryW(work.c_str());
        MainFrameTest::SetUp();
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", nullptr);
        ::SetCurrentDirectoryW(oldDir_);
    }
    void InstallDecoder(const char* script) {
        ASSERT_TRUE(::CopyFileW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(),
                                (work + L"\\vastrel.exe").c_str(), FALSE));
        std::ofstream(std::filesystem::path(work + L"\\script.txt"), std::ios::binary) << script;
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
        ::SetEnvironmentVariableW(L"VASTREL_SIM_ARGS", (work + L"\\args.txt").c_str());
    }
    std::wstring Text(HWND h) const { return guitest::WindowText(h); }
    std::wstring LogText() const {
        GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
        const LRESULT chars = ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
        std::wstring text(static_cast<std::size_t>(chars > 0 ? chars : 0) + 1, L'\0');
        GETTEXTEX get{};
        get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        get.flags = GT_DEFAULT;
        get.codepage = 1200;
        const LRESULT n = ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                         reinterpret_cast<LPARAM>(text.data()));
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        for (wchar_t& c : text)
            if (c == L'\r') c = L'\n';
        return text;
    }
    COLORREF LogColourAt(LONG position) const {
        CHARRANGE one{position, position + 1};
        ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
        CHARFORMATW format{};
        format.cbSize = sizeof(format);
        ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return format.crTextColor;
    }
    bool Disabled(UINT id) const {
        return (::GetMenuState(frame->menu(), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0;
    }

    // Turns the text log on, into a folder of its own in the scratch folder; returns that folder.
    std::wstring UseTextLog() {
        const std::wstring logDir = work + L"\\textlog";
        ::CreateDirectoryW(logDir.c_str(), nullptr);
        frame->Rows().WriteBool(settings::kDecoderTextLog, true);
        frame->Rows().WriteText(settings::kDecoderLogDir, logDir);
        return logDir;
    }

    std::wstring work;

private:
    wchar_t oldDir_[MAX_PATH] = {};
};
