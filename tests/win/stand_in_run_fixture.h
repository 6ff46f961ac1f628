// A main window in a scratch folder of its own, emptied before and after, where the stand-in decoder
// is copied as vastrel.exe with a script; and the messages pane's list, as the runs fill it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "win/main_frame_fixture.h"
#include "win/main_window_parts.h"

class StandInRunTest : public MainFrameTest {
protected:
    // `folder`: the start of the scratch folder's name under %TEMP%; the process id and the test's name
    // follow.
    explicit StandInRunTest(const wchar_t* folder) : folder_(folder) {}

    void SetUp() override {
        ::GetCurrentDirectoryW(MAX_PATH, oldDir_);
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        work = std::wstring(temp) + folder_ + std::to_wstring(::GetCurrentProcessId()) + L"_" +
               std::wstring(name.begin(), name.end());
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(work), ignored);
        ::CreateDirectoryW(work.c_str(), nullptr);
        ::SetCurrentDirectoryW(work.c_str());
        MainFrameTest::SetUp();
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
        ::SetCurrentDirectoryW(oldDir_);
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(work), ignored);
    }
    void InstallDecoder(const std::string& script) {
        ASSERT_TRUE(::CopyFileW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(),
                                (work + L"\\vastrel.exe").c_str(), FALSE));
        std::ofstream(std::filesystem::path(work + L"\\script.txt"), std::ios::binary) << script;
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
    }
    HWND List() const { return guitest::MessagesPaneOf(frame->hwnd()).list(); }
    int Count() const { return static_cast<int>(::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }

    std::wstring work;

private:
    const wchar_t* folder_;
    wchar_t oldDir_[MAX_PATH] = {};
};
