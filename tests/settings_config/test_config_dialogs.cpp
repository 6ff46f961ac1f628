// The real file dialogs: the File menu's (a name typed without extension gets ".ccf", the current
// folder is where they start) and the message store row's "..." (a save dialog; the store follows).
#include "config_fixture.h"
#include "dialog_driver.h"

#include <commctrl.h>

#include "controls/property_editors.h"

namespace {

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

}  // namespace

TEST_F(ConfigTest, FileMenuDialogsAndTheStoreFileButton) {
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));

    frame->Spectrum().centerFrequency = 1777.5;
    const std::wstring saved = PathOf(L"typed.ccf");
    {
        const DialogDriver driver = FileDialogDriver(L"typed");
        Command(ID_FILE_SAVE);
        EXPECT_TRUE(driver.answered());
    }
    EXPECT_EQ(Key(saved, L"Center"), L"1777");
    ::WritePrivateProfileStringW(L"Settings", L"SampleRate", L"22050", saved.c_str());
    ::WritePrivateProfileStringW(L"Settings", L"Center", L"3000", saved.c_str());
    {
        const DialogDriver driver = FileDialogDriver(L"typed");
        Command(ID_FILE_LOAD);
        EXPECT_TRUE(driver.answered());
    }
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 22050);
    EXPECT_EQ(Shown(settings::kSampleRate), L"22050 Hz");
    EXPECT_EQ(frame->Spectrum().centerFrequency, 3000.0);

    // The store row's "..." opens the save dialog on the row's name; ".db" is added, the folder stays.
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    grid.selectItem(settings::kStoreFile, 1);
    ::SetFocus(grid.hwnd());
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
    EXPECT_EQ(_wcsicmp(chosen.c_str(), PathOf(L"radio.db").c_str()), 0) << NarrowText(chosen);
    wchar_t now[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(_wcsicmp(now, dir.c_str()), 0);
    const std::wstring path = PathOf(L"store.ccf");
    Save(path);
    EXPECT_EQ(_wcsicmp(Key(path, L"StoreFile").c_str(), chosen.c_str()), 0);
    ::SetCurrentDirectoryW(previous);
}
