// The folder picker of the directory rows, driven as a user would: the real dialog under Wine.
#include "config_fixture.h"

#include <commctrl.h>

#include "settings/settings.h"
#include "dialog_driver.h"

namespace {

HWND ChildOf(HWND dialog, const wchar_t* className, const wchar_t* text) {
    struct Search {
        const wchar_t* className;
        const wchar_t* text;
        HWND found;
    } s{className, text, nullptr};
    ::EnumChildWindows(dialog, [](HWND child, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if ((s->className && guitest::ClassName(child) == s->className) || (s->text && guitest::WindowText(child) == s->text))
            s->found = child;
        return s->found == nullptr;
    }, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Answers the picker: notes whether it shows the title text, then either picks the first sub-folder of
// the folder it opened on and presses OK, or cancels it.
DialogDriver PickerDriver(bool confirm, std::atomic<bool>& sawTitle) {
    return DialogDriver([confirm, &sawTitle](HWND dialog) {
        sawTitle = ChildOf(dialog, nullptr, L"Select log file directory") != nullptr;
        HWND tree = confirm ? ChildOf(dialog, L"SysTreeView32", nullptr) : nullptr;
        // The picker opened on the row's folder, expanded: take its first sub-folder.
        HTREEITEM child = nullptr;
        for (int i = 0; tree && !child && i < 100; ++i) {
            HTREEITEM current = TreeView_GetSelection(tree);
            if (current) TreeView_Expand(tree, current, TVE_EXPAND);
            child = current ? TreeView_GetChild(tree, current) : nullptr;
            if (!child) ::Sleep(50);
        }
        if (child) ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
        ::PostMessageW(dialog, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
        return true;
    });
}

void RequestBrowse(CMainFrame& frame, IProperty* item) {
    GridNotification note{};
    note.hdr.hwndFrom = guitest::FindChild(frame.hwnd(), IDC_SETTINGS_GRID);
    note.hdr.code = static_cast<UINT>(GRID_BROWSE_REQUESTED);
    note.item = item;
    ::SendMessageW(frame.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

}  // namespace

using RowsTest = ConfigTest;

TEST_F(RowsTest, FolderPickerOpensOnTheRowConfirmSetsTheFullPathCancelKeepsIt) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);  // a folder with sub-folders in every prefix
    ASSERT_TRUE(frame->Rows().WriteText(settings::kDecoderLogDir, windows));
    IProperty* row = frame->Rows().ValueItem(settings::kDecoderLogDir);
    std::atomic<bool> sawTitle{false};
    {
        const DialogDriver driver = PickerDriver(true, sawTitle);
        RequestBrowse(*frame, row);
    }
    EXPECT_TRUE(sawTitle);
    const std::wstring picked = frame->Rows().ReadText(settings::kDecoderLogDir);
    const std::wstring prefix = std::wstring(windows) + L"\\";
    ASSERT_GT(picked.size(), prefix.size());
    EXPECT_EQ(_wcsnicmp(picked.c_str(), prefix.c_str(), prefix.size()), 0);
    EXPECT_EQ(::GetFileAttributesW(picked.c_str()) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    {
        const DialogDriver driver = PickerDriver(false, sawTitle);
        RequestBrowse(*frame, row);
    }
    EXPECT_EQ(frame->Rows().ReadText(settings::kDecoderLogDir), picked);
}
