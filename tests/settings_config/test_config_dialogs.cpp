// The File menu's real file dialogs: a name typed without extension gets ".ccf".
#include <atomic>
#include <thread>

#include "config_fixture.h"

#include <commctrl.h>

#include "controls/property_editors.h"
#include "resource.h"

namespace {

// Finds the visible file dialog of this process, types `name` into its file-name field and presses OK.
class FileDialogDriver {
public:
    explicit FileDialogDriver(std::wstring name) : name_(std::move(name)), thread_([this] { Run(); }) {}
    ~FileDialogDriver() {
        stop_ = true;
        thread_.join();
    }
    bool answered() const { return answered_; }

private:
    static HWND NameField(HWND dialog) {
        if (HWND combo = ::GetDlgItem(dialog, 0x47c)) {  // cmb13: the explorer-style name box
            if (auto edit = reinterpret_cast<HWND>(::SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0))) return edit;
            if (HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
        }
        return ::GetDlgItem(dialog, 0x480);  // edt1
    }
    void Run() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!stop_ && !answered_ && std::chrono::steady_clock::now() < end) {
            HWND dialog = guitest::VisibleDialog();
            HWND field = dialog ? NameField(dialog) : nullptr;
            if (field) {
                ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name_.c_str()));
                ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
                answered_ = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        // Never leave the test stuck in a modal loop: a dialog we could not fill is cancelled.
        while (!answered_ && !stop_) {
            HWND dialog = guitest::VisibleDialog();
            if (dialog) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    std::wstring name_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> answered_{false};
    std::thread thread_;
};

}  // namespace

TEST_F(ConfigTest, FileDialogsAddTheExtensionAndStartInTheCurrentDirectory) {
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));

    frame->Spectrum().centerFrequency = 1777.5;
    const std::wstring saved = PathOf(L"typed.ccf");
    {
        FileDialogDriver driver(L"typed");
        ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(ID_FILE_SAVE, 0), 0);
        EXPECT_TRUE(driver.answered());
    }
    EXPECT_EQ(Key(saved, L"Center"), L"1777");

    ::WritePrivateProfileStringW(L"Settings", L"SampleRate", L"22050", saved.c_str());
    ::WritePrivateProfileStringW(L"Settings", L"Center", L"3000", saved.c_str());
    {
        FileDialogDriver driver(L"typed");
        ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(ID_FILE_LOAD, 0), 0);
        EXPECT_TRUE(driver.answered());
    }
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 22050);
    EXPECT_EQ(rows().ReadIndex(settings::kSampleRate), 2);
    EXPECT_EQ(frame->Spectrum().centerFrequency, 3000.0);
    ::SetCurrentDirectoryW(previous);
}

// The message store's File row: its "..." opens the save dialog on the row's name; the name chosen
// (".db" added) becomes the row's text and the store's path, and the current folder stays.
TEST_F(ConfigTest, StoreFileButtonOpensTheSaveDialogAndTheStoreFollowsTheRow) {
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    grid.selectItem(settings::kStoreFile, 1);
    ::SetFocus(grid.hwnd());
    ::SendMessageW(grid.hwnd(), WM_KEYDOWN, VK_RETURN, 1);  // opens the editor
    CPropertyEditorWindow* editor = CPropertyEditorWindow::FromWindow(grid.editorWindow());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(guitest::WindowText(editor->hwnd()), L"vastrel-messages.db");
    {
        FileDialogDriver driver(PathOf(L"radio"));
        ::SendMessageW(editor->buttonWindow(), BM_CLICK, 0, 0);
        EXPECT_TRUE(guitest::PumpUntil([&] { return driver.answered() && rows().ReadText(settings::kStoreFile) != L"vastrel-messages.db"; }, 20000));
    }
    const std::wstring chosen = rows().ReadText(settings::kStoreFile);
    EXPECT_EQ(_wcsicmp(chosen.c_str(), PathOf(L"radio.db").c_str()), 0) << std::string(chosen.begin(), chosen.end());
    EXPECT_EQ(frame->Rows().ReadText(settings::kStoreFile), chosen);
    wchar_t now[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(_wcsicmp(now, dir.c_str()), 0);
    // A saved configuration keeps the choice, and a load brings the store along.
    const std::wstring path = PathOf(L"store.ccf");
    Save(path);
    EXPECT_EQ(_wcsicmp(Key(path, L"StoreFile").c_str(), chosen.c_str()), 0);
    ::WritePrivateProfileStringW(L"Settings", L"StoreFile", L"elsewhere.db", path.c_str());
    Load(path);
    EXPECT_EQ(frame->Rows().ReadText(settings::kStoreFile), L"elsewhere.db");
    ::SetCurrentDirectoryW(previous);
}

TEST_F(ConfigTest, ALoadedRunOnAlertNamesTheProgramFirstAndNoKeepsTheOneInForce) {
    rows().WriteText(settings::kAlertProgram, L"notify.exe --quiet");
    const std::wstring path = FileWith(
        L"other.ccf", "[Settings]\r\nAlertProgram=C:\\tools\\post.exe --to \"x y\"\r\nFeedStation=Elsewhere\r\n");
    guitest::MessageBoxWatcher boxes;
    boxes.AnswerWithDefault(true);
    Load(path);
    ASSERT_EQ(boxes.count(), 1u);
    const auto box = boxes.boxes()[0];
    EXPECT_NE(box.text.find(L"C:\\tools\\post.exe --to \"x y\""), std::wstring::npos);
    EXPECT_EQ(box.answer, IDNO);  // the default button
    EXPECT_EQ(rows().ReadText(settings::kAlertProgram), L"notify.exe --quiet");
    EXPECT_EQ(rows().ReadText(settings::kFeedStation), L"Elsewhere");  // the rest is loaded
    // The same program as in force, or none, asks nothing.
    rows().WriteText(settings::kAlertProgram, L"C:\\tools\\post.exe --to \"x y\"");
    Load(path);
    Load(FileWith(L"none.ccf", "[Settings]\r\nAlertProgram=\r\n"));
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_EQ(rows().ReadText(settings::kAlertProgram), L"");
}
