// The main window for the settings' tests, a scratch directory for configuration files, and the
// settings rows as the user sees them.
#pragma once
#include "win/file_bytes.h"
#include "win/main_frame_fixture.h"
#include "settings_model/settings_printer.h"

#include <filesystem>
#include <memory>
#include <string>

#include "settings/settings.h"

// One main window for the whole program, closed through its normal close path at the end: opening
// and closing a top-level window under Wine without a window manager costs seconds each time.
class SharedFrame : public ::testing::Environment {
public:
    static CMainFrame* Get() {
        if (!frame_) {
            auto frame = std::make_unique<CMainFrame>();
            if (!frame->CreateMainWindow()) return nullptr;
            frame_ = frame.release();
            frame_->CentreOnMonitor();
            ::ShowWindow(frame_->hwnd(), SW_SHOWNORMAL);
            guitest::Pump();
        }
        return frame_;
    }
    void TearDown() override {
        if (frame_ && frame_->hwnd()) ::SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0), guitest::Pump();
        delete frame_;
    }
    static inline CMainFrame* frame_ = nullptr;
};
inline ::testing::Environment* const kSharedFrame = ::testing::AddGlobalTestEnvironment(new SharedFrame);

// Each test starts from the start-up settings, with a scratch directory for its files.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("vastrel-config-" + std::to_string(::GetCurrentProcessId()));
        std::filesystem::remove_all(dir, ignored), std::filesystem::create_directory(dir, ignored);
        frame = SharedFrame::Get();
        ASSERT_NE(frame, nullptr);
        CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
        grid.closeEditor();
        ::SendMessageW(grid.hwnd(), LVM_ENSUREVISIBLE, 0, FALSE);  // the first rows in view
        frame->ApplySettings(settings::StartupSettings());
        guitest::Pump();
    }
    void TearDown() override { std::filesystem::remove_all(dir, ignored); }

    std::wstring PathOf(const std::wstring& name) const { return dir + L"\\" + name; }
    std::wstring FileWith(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = PathOf(name);
        EXPECT_TRUE(guitest::WriteFileBytes(path, bytes));
        return path;
    }
    static std::wstring Key(const std::wstring& path, const wchar_t* key, const wchar_t* section = L"Settings") {
        wchar_t text[1024] = {};
        ::GetPrivateProfileStringW(section, key, L"<missing>", text, 1024, path.c_str());
        return text;
    }
    void Load(const std::wstring& path) { frame->LoadConfiguration(path.c_str()); }
    void Save(const std::wstring& path) { frame->SaveConfiguration(path.c_str()); }
    SettingsRows& rows() { return frame->Rows(); }
    // What the row's value cell shows: its text, or "on"/"off" for a switch.
    std::wstring Shown(settings::Row row) {
        IProperty* item = rows().ValueItem(row);
        if (item && item->kind() == PROPERTY_KIND_CHECK) return rows().ReadBool(row) ? L"on" : L"off";
        return item ? item->displayString() : L"<no row>";
    }

    CMainFrame* frame = nullptr;
    std::wstring dir;
    std::error_code ignored;
};
