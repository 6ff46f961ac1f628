// The real dialogs: the File menu's (a name typed without extension gets ".ccf", the current folder is
// where they start), the store row's "..." (a save dialog; the store follows), the folder picker.
#include "config_fixture.h"

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "controls/property_editors.h"

namespace {

// Answers the dialog a command shows, from a thread of its own while the test's thread sits in the
// dialog's modal loop: `answer` is given each visible dialog of this process until it says it answered.
// A dialog still unanswered after 15 s is cancelled, so that no test stays in a modal loop.
class DialogDriver {
public:
    explicit DialogDriver(std::function<bool(HWND dialog)> answer) : answer_(std::move(answer)), thread_([this] { Run(); }) {}
    ~DialogDriver() { stop_ = true, thread_.join(); }
    bool answered() const { return answered_; }

private:
    void Run() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!stop_ && !answered_) {
            if (HWND dialog = guitest::VisibleDialog(); dialog && std::chrono::steady_clock::now() < end)
                answered_ = answer_(dialog);
            else if (dialog)
                ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    std::function<bool(HWND)> answer_;
    std::atomic<bool> stop_{false}, answered_{false};
    std::thread thread_;
};

// Types `name` into the file dialog's name field and presses OK.
DialogDriver FileDialogDriver(const std::wstring& name) {
    return DialogDriver([name](HWND dialog) {
        HWND field = ::GetDlgItem(dialog, 0x480);  // edt1
        if (HWND combo = ::GetDlgItem(dialog, 0x47c)) {  // cmb13: the explorer-style name box
            field = reinterpret_cast<HWND>(::SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0));
            if (!field) field = ::FindWindowExW(combo, nullptr, L"Edit", nullptr);
        }
        if (!field) return false;
        ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
        return true;
    });
}

// Answers the folder picker: notes whether it shows the title text, then either picks the first
// sub-folder of the folder it opened on (expanded) and presses OK, or cancels it.
DialogDriver PickerDriver(bool confirm, std::atomic<bool>& sawTitle) {
    return DialogDriver([confirm, &sawTitle](HWND dialog) {
        sawTitle = ::FindWindowExW(dialog, nullptr, nullptr, L"Select log file directory") != nullptr;
        HWND tree = confirm ? ::FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr) : nullptr;
        HTREEITEM child = nullptr;
        for (int i = 0; tree && !child && i < 100; ++i) {  // the tree fills in the background: bounded retries
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

}  // namespace

TEST_F(ConfigTest, FileMenuDialogsAndTheStoreFileButton) {
    const std::filesystem::path previous = std::filesystem::current_path();
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));
    const auto command = [&](UINT id) {
        const DialogDriver driver = FileDialogDriver(L"typed");
        ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        EXPECT_TRUE(driver.answered());
    };
    frame->Spectrum().centerFrequency = 1777.5;
    const std::wstring saved = PathOf(L"typed.ccf");
    command(ID_FILE_SAVE);
    EXPECT_EQ(Key(saved, L"Center"), L"1777");
    ::WritePrivateProfileStringW(L"Settings", L"SampleRate", L"22050", saved.c_str());
    command(ID_FILE_LOAD);
    EXPECT_EQ(Shown(settings::kSampleRate), L"22050 Hz");

    // The store row's "..." opens the save dialog on the row's name; ".db" is added, the folder stays.
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    grid.selectItem(settings::kStoreFile, 1), ::SetFocus(grid.hwnd());
    ::SendMessageW(grid.hwnd(), WM_KEYDOWN, VK_RETURN, 1);  // opens the editor
    CPropertyEditorWindow* editor = CPropertyEditorWindow::FromWindow(grid.editorWindow());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(guitest::WindowText(editor->hwnd()), L"vastrel-messages.db");
    {
        const DialogDriver driver = FileDialogDriver(PathOf(L"radio"));
        ::SendMessageW(editor->buttonWindow(), BM_CLICK, 0, 0);
        EXPECT_TRUE(guitest::PumpUntil([&] { return Shown(settings::kStoreFile) != L"vastrel-messages.db"; }, 20000));
    }
    const std::wstring chosen = Shown(settings::kStoreFile);
    EXPECT_EQ(_wcsicmp(chosen.c_str(), PathOf(L"radio.db").c_str()), 0) << chosen;
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), dir));  // the dialogs left it
    std::filesystem::current_path(previous);
}

TEST_F(ConfigTest, FolderPickerOpensOnTheRowConfirmSetsTheFullPathCancelKeepsIt) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);  // a folder with sub-folders in every prefix
    ASSERT_TRUE(rows().WriteText(settings::kDecoderLogDir, windows));
    GridNotification note{};  // as the grid asks when the row's "..." is pressed
    note.hdr.hwndFrom = guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID);
    note.hdr.code = static_cast<UINT>(GRID_BROWSE_REQUESTED);
    note.item = rows().ValueItem(settings::kDecoderLogDir);
    std::atomic<bool> sawTitle{false};
    const auto browse = [&](bool confirm) {
        const DialogDriver driver = PickerDriver(confirm, sawTitle);
        ::SendMessageW(frame->hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
    };
    browse(true);
    EXPECT_TRUE(sawTitle);
    const std::wstring picked = rows().ReadText(settings::kDecoderLogDir);
    const std::wstring prefix = std::wstring(windows) + L"\\";
    ASSERT_GT(picked.size(), prefix.size());
    EXPECT_EQ(_wcsnicmp(picked.c_str(), prefix.c_str(), prefix.size()), 0);
    EXPECT_EQ(::GetFileAttributesW(picked.c_str()) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    browse(false);
    EXPECT_EQ(rows().ReadText(settings::kDecoderLogDir), picked);
}
