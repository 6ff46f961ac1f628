// The folder picker of the directory rows, driven as a user would: the real dialog under Wine.
#include "win/main_frame_fixture.h"

#include <atomic>
#include <thread>

#include <commctrl.h>

#include "settings/settings.h"

namespace {

// Waits for the picker (a dialog of this process showing the title text), then either picks the
// first sub-folder of the folder it opened on and presses OK, or cancels it.
class PickerDriver {
public:
    explicit PickerDriver(bool confirm) : confirm_(confirm), thread_([this] { Run(); }) {}
    ~PickerDriver() {
        stop_ = true;
        thread_.join();
    }
    bool sawTitle() const { return sawTitle_; }

private:
    static BOOL CALLBACK FindText(HWND child, LPARAM found) {
        if (guitest::WindowText(child) == L"Select log file directory") *reinterpret_cast<bool*>(found) = true;
        return TRUE;
    }
    static BOOL CALLBACK FindTree(HWND child, LPARAM tree) {
        if (guitest::ClassName(child) == L"SysTreeView32") {
            *reinterpret_cast<HWND*>(tree) = child;
            return FALSE;
        }
        return TRUE;
    }
    void Run() {
        const DWORD end = ::GetTickCount() + 20000;
        while (!stop_ && ::GetTickCount() < end) {
            HWND dialog = guitest::VisibleDialog();
            if (dialog) {
                bool found = false;
                ::EnumChildWindows(dialog, FindText, reinterpret_cast<LPARAM>(&found));
                sawTitle_ = found;
                if (confirm_) {
                    HWND tree = nullptr;
                    ::EnumChildWindows(dialog, FindTree, reinterpret_cast<LPARAM>(&tree));
                    // The picker opened on the row's folder, expanded: take its first sub-folder.
                    HTREEITEM child = nullptr;
                    for (int i = 0; tree && !child && i < 100; ++i) {
                        HTREEITEM current = TreeView_GetSelection(tree);
                        if (current) TreeView_Expand(tree, current, TVE_EXPAND);
                        child = current ? TreeView_GetChild(tree, current) : nullptr;
                        if (!child) ::Sleep(50);
                    }
                    if (child) ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
                    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                } else {
                    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                }
                return;
            }
            ::Sleep(50);
        }
    }

    bool confirm_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> sawTitle_{false};
    std::thread thread_;
};

void RequestBrowse(CMainFrame& frame, IProperty* item) {
    GridNotification note{};
    note.hdr.hwndFrom = guitest::FindChild(frame.hwnd(), IDC_SETTINGS_GRID);
    note.hdr.code = static_cast<UINT>(GRID_BROWSE_REQUESTED);
    note.item = item;
    ::SendMessageW(frame.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

}  // namespace

TEST_F(MainFrameTest, FolderPickerOpensOnTheRowConfirmSetsTheFullPathCancelKeepsIt) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);  // a folder with sub-folders in every prefix
    ASSERT_TRUE(frame->Rows().WriteText(settings::kDecoderLogDir, windows));
    IProperty* row = frame->Rows().ValueItem(settings::kDecoderLogDir);
    {
        PickerDriver driver(true);
        RequestBrowse(*frame, row);
        EXPECT_TRUE(driver.sawTitle());
    }
    const std::wstring picked = frame->Rows().ReadText(settings::kDecoderLogDir);
    const std::wstring prefix = std::wstring(windows) + L"\\";
    ASSERT_GT(picked.size(), prefix.size()) << picked.c_str();
    EXPECT_EQ(_wcsnicmp(picked.c_str(), prefix.c_str(), prefix.size()), 0) << picked.c_str();
    EXPECT_EQ(::GetFileAttributesW(picked.c_str()) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);

    {
        PickerDriver driver(false);
        RequestBrowse(*frame, row);
    }
    EXPECT_EQ(frame->Rows().ReadText(settings::kDecoderLogDir), picked);
}
