// The "Quick filter" and "Options" buttons' menus, driven through the real popup menus with the
// keyboard, the save dialog answered by a helper thread, and Tab between the pane's controls.
#include "msg_frame_browser_fixture.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

// Keys for the popup menu the next click opens: they wait in the queue until its loop reads them.
void QueueMenuKeys(HWND anyWindow, int downs) {
    for (int i = 0; i < downs; ++i) ::PostMessageW(anyWindow, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(anyWindow, WM_KEYDOWN, VK_RETURN, 0);
}

// Types `path` into the first save dialog of this process and presses Save, from its own thread (the
// dialog runs a modal loop on the window's thread). Gives up after ten seconds.
class SaveDialogAnswer {
public:
    explicit SaveDialogAnswer(std::wstring path) : path_(std::move(path)), thread_([this] { Run(); }) {}
    ~SaveDialogAnswer() { thread_.join(); }
    bool answered() const { return answered_; }

private:
    void Run() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            if (HWND dialog = guitest::VisibleDialog()) {
                HWND name = ::GetDlgItem(dialog, 1148);  // the file name combo box (cmb13)
                if (!name) name = ::GetDlgItem(dialog, 1152);  // or edit (edt1)
                if (name) {
                    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path_.c_str()));
                    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                    answered_ = true;
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    std::wstring path_;
    std::atomic<bool> answered_{false};
    std::thread thread_;
};

}  // namespace

TEST_F(MsgBrowserTest, QuickFilterMenuChoiceIsWrittenAndRun) {
    FillVaried();
    Browse();
    QueueMenuKeys(pane->list(), 3);  // the third entry: distress and urgency
    ::SendMessageW(pane->quickFilterButton(), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"priority>=urgency");
    EXPECT_EQ(Shown(), FirstLinesOf(Expected("priority>=urgency")));
    QueueMenuKeys(pane->list(), 5);  // the last: all messages
    ::SendMessageW(pane->quickFilterButton(), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"");
    EXPECT_EQ(ItemCount(), 40);
}

TEST_F(MsgBrowserTest, OptionsMenuExportsJsonLinesThroughTheSaveDialog) {
    FillVaried();
    Browse();
    SearchFor(L"les=121");
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "vastrel_pane_dialog.jsonl";
    std::filesystem::remove(file);
    {
        SaveDialogAnswer answer(file.wstring());
        QueueMenuKeys(pane->list(), 2);  // "Export as JSON Lines..."
        ::SendMessageW(pane->optionsButton(), BM_CLICK, 0, 0);
        guitest::Pump();
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    in.close();
    std::filesystem::remove(file);
    const auto expected = Expected("les=121");
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[0].rfind("{\"id\":" + std::to_string(expected[0]) + ",", 0), 0u) << lines[0];
}

TEST_F(MsgBrowserTest, TabGoesRoundTheEditTheButtonsAndTheList) {
    ::SetFocus(pane->filterEdit());
    const HWND order[] = {pane->searchButton(), pane->quickFilterButton(), pane->optionsButton(), pane->list(),
                          pane->filterEdit()};
    for (HWND next : order) {
        ::SendMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        EXPECT_EQ(::GetFocus(), next);
    }
}

TEST_F(MsgBrowserTest, KeysMoveTheSelectionInTheList) {
    FillVaried();
    Browse();
    SearchFor(L"");
    Resize(760, 440);
    HWND list = pane->list();
    ::SetFocus(list);
    const int page = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 1);
    auto press = [&](UINT key) {
        ::SendMessageW(list, WM_KEYDOWN, key, 0);
        guitest::Pump();
        return Selected();
    };
    EXPECT_EQ(press(VK_DOWN), 0);  // nothing selected: the first row
    EXPECT_EQ(press(VK_DOWN), 1);
    EXPECT_EQ(press(VK_UP), 0);
    EXPECT_EQ(press(VK_NEXT), page - 1);  // the last row in view
    EXPECT_EQ(press(VK_NEXT), 2 * page - 2);  // a page further, scrolled into view
    EXPECT_GT(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(press(VK_END), 39);
    EXPECT_EQ(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 40 - page);
    EXPECT_EQ(press(VK_PRIOR), 40 - page);
    EXPECT_EQ(press(VK_HOME), 0);
    EXPECT_EQ(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 0);
    // The text view follows the selection.
    EXPECT_EQ(pane->selectedId(), rows[39].id);
    EXPECT_EQ(press(VK_UP), 0);
}
