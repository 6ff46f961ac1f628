// The pane as a message browser on a real store.
#include <algorithm>
#include <chrono>
#include <thread>

#include "msg_frame_fixture.h"
#include "win/file_bytes.h"

// Keys for the popup menu the next click opens: they wait in the queue until its loop reads them.
static void QueueMenuKeys(HWND anyWindow, int downs) {
    for (int i = 0; i < downs; ++i) ::PostMessageW(anyWindow, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(anyWindow, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(MsgFrameTest, SaysThatThereIsNoStoreThenOpensItWhenItAppears) {
    Browse();  // the file does not exist yet
    EXPECT_NE(pane->status().find(L"No messages yet"), std::wstring::npos) << pane->status();
    EXPECT_NE(ViewText().find(store->fsPath().wstring()), std::wstring::npos);
    EXPECT_FALSE(std::filesystem::exists(store->fsPath()));  // only looked for, never made
    Add(0, 112, 1, "routine traffic");
    ASSERT_TRUE(guitest::PumpUntil([&] { return pane->query() != nullptr; }, 3000));
    EXPECT_EQ(ViewText(), L"No message matches the filter.");  // the first filter wants LES 121
    SearchFor(L"");
    EXPECT_EQ(Shown(), Texts{L"routine traffic"});
}

// Eight messages a minute apart, newest first: #7 DISTRESS RELAY (LES 113), #6 cargo note (121), #5
// weather bulletin (113), #4 SECURITE NAVAREA (112), #3 PAN PAN MAN OVERBOARD (121), #2 routine traffic
// list (112), #1 GALE WARNING AREA 3 (113), #0 MAYDAY VESSEL AGROUND (121); frame 900 + 50 i.
TEST_F(MsgFrameTest, FilterSortAndQuickFiltersChangeTheListAndAWrongFilterIsSaidAndSelected) {
    const char* texts[] = {"MAYDAY VESSEL AGROUND", "GALE WARNING AREA 3", "routine traffic list", "PAN PAN MAN OVERBOARD",
                           "SECURITE NAVAREA", "weather bulletin\nGALE WARNING later", "cargo note", "DISTRESS RELAY"};
    for (int i = 0; i < 8; ++i) Add(8 - i, i % 3 == 0 ? 121 : 112 + i % 2, 900 + i * 50, texts[i] + (" #" + std::to_string(i)));
    Browse();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"(age_day<1) & les=121");
    EXPECT_EQ(Shown(), (Texts{L"cargo note #6", L"PAN PAN MAN OVERBOARD #3", L"MAYDAY VESSEL AGROUND #0"}));
    EXPECT_EQ(Cell(0, 0).size(), 19u);  // 2026-12-06 14:05:09
    EXPECT_EQ((Texts{Cell(0, 1), Cell(0, 2), Cell(0, 3), Cell(0, 4), Cell(0, 5)}), (Texts{L"121", L"1200", L"routine", L"1", L"13"}));
    EXPECT_EQ(pane->status(), L"3 messages match the filter.");
    // Distress and urgency rows stand out, in the Priority column right of its text.
    ::RedrawWindow(pane->list(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    const COLORREF backgrounds[] = {::GetSysColor(COLOR_WINDOW), RGB(255, 220, 150), RGB(255, 180, 180)};
    HDC dc = ::GetDC(pane->list());
    for (int item = 0; item < 3; ++item) {
        RECT cell{LVIR_BOUNDS, 3};
        ::SendMessageW(pane->list(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
        EXPECT_EQ(::GetPixel(dc, cell.right - 4, (cell.top + cell.bottom) / 2), backgrounds[item]) << item;
    }
    ::ReleaseDC(pane->list(), dc);
    SearchFor(L"priority>=urgency");
    EXPECT_EQ(Shown(), (Texts{L"DISTRESS RELAY #7", L"PAN PAN MAN OVERBOARD #3", L"MAYDAY VESSEL AGROUND #0"}));
    ::SetWindowTextW(pane->filterEdit(), L"les=112");
    Press(pane->filterEdit(), VK_RETURN);
    const Texts les112 = {L"SECURITE NAVAREA #4", L"routine traffic list #2"};
    EXPECT_EQ(Shown(), les112);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(pane->list(), LVM_GETHEADER, 0, 0));
    for (int click = 0; click < 2; ++click) {  // the Frame column
        RECT rc{};
        ::SendMessageW(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(header, WM_LBUTTONUP, 0, at);
        guitest::Pump();
        EXPECT_EQ(Shown(), click == 0 ? Texts(les112.rbegin(), les112.rend()) : les112) << click;
    }

    // Characters beyond one UTF-16 unit count as one column each.
    const struct { const wchar_t* expression; const wchar_t* error; DWORD from, to; } errors[] = {
        {L"les=121 & lse=1", L"unknown field 'lse' at column 11", 10, 13}, {L"text~\"\U0001F6A2\" & nope=1", L"'nope'", 12, 16}};
    for (const auto& e : errors) {
        SearchFor(e.expression);
        EXPECT_EQ(Shown(), les112);
        EXPECT_NE(pane->status().find(e.error), std::wstring::npos) << pane->status();
        EXPECT_EQ(ViewText(), pane->status());
        DWORD from = 0, to = 0;
        ::SendMessageW(pane->filterEdit(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(std::make_pair(from, to), std::make_pair(e.from, e.to));
        EXPECT_EQ(::GetFocus(), pane->filterEdit());
    }

    // A quick filter writes its expression and runs it; the selected message's station needs one.
    SearchFor(L"");
    EXPECT_FALSE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::SelectedLes));
    Select(0);  // DISTRESS RELAY #7
    EXPECT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::SelectedLes));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"les=113");
    EXPECT_EQ(Shown(), (Texts{L"DISTRESS RELAY #7", L"weather bulletin", L"GALE WARNING AREA 3 #1"}));
    QueueMenuKeys(pane->list(), 3);  // through the menu with the keyboard: its third entry
    ::SendMessageW(pane->quickFilterButton(), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"priority>=urgency");
    EXPECT_EQ(ItemCount(), 3);
}

// The reading pane shows the selected message whole; Ctrl+C copies it, Enter goes to the text and
// Ctrl+F to the filter; the Options menu exports every message shown as JSON Lines.
TEST_F(MsgFrameTest, ASelectedMessageIsShownWholeCopiedAndExportedThroughTheMenu) {
    const std::string text = "SECURITE\nNAVAREA III 123/26\nGUNNERY EXERCISES \"ALPHA\"\n";
    Add(2, 121, 5, text);
    Add(1, 121, 6, "later");
    Browse();
    Select(1);
    EXPECT_EQ(ViewText(), std::wstring(text.begin(), text.end()));
    Press(pane->list(), 'C', true);
    EXPECT_EQ(guitest::ClipboardText(), std::wstring(text.begin(), text.end()));
    Press(pane->list(), VK_UP);
    EXPECT_EQ(ViewText(), L"later");
    Press(pane->list(), VK_RETURN);
    EXPECT_EQ(::GetFocus(), pane->textView());
    Press(pane->list(), 'F', true);
    EXPECT_EQ(::GetFocus(), pane->filterEdit());

    // The save dialog (a modal loop on this thread) answered from another, for ten seconds at most.
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "vastrel_pane_dialog.jsonl";
    std::filesystem::remove(file);
    std::thread answer([path = file.wstring()] {
        for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
            HWND dialog = guitest::VisibleDialog(), name = dialog ? ::GetDlgItem(dialog, 1148) : nullptr;  // cmb13
            if (dialog && !name) name = ::GetDlgItem(dialog, 1152);                                        // or edt1
            if (!name) continue;
            ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return;
        }
    });
    QueueMenuKeys(pane->list(), 2);  // "Export as JSON Lines..."
    ::SendMessageW(pane->optionsButton(), BM_CLICK, 0, 0);
    answer.join();
    EXPECT_NE(pane->status().find(L"Exported 2"), std::wstring::npos) << pane->status();
    const std::string lines = guitest::ReadFileBytes(file.wstring());  // two, the newest first
    std::filesystem::remove(file);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
    EXPECT_EQ(lines.rfind("{\"id\":2,", 0), 0u) << lines;
    // A live refresh (here a new message) counts again and keeps the export's outcome after the count.
    Add(3, 121, 7, "newer");
    pane->CheckForNewMessages();
    EXPECT_EQ(pane->status(), L"3 messages match the filter. Exported 2 to " + file.wstring() + L".");
}

// A store too large to count before the first screen: its first page at once, the count on the other
// thread; keys page; new messages join keeping the selection or the rows in view; a repeat counts.
TEST_F(MsgFrameTest, TheFirstPageShowsAtOnceTheCountFollowsKeysPageAndNewMessagesJoin) {
    const int n = static_cast<int>(browser::MessageQuery::kPageRows) * 3 + 7;  // 199, ids 1 to 199
    store->database().Execute("BEGIN");
    for (int i = 0; i < n; ++i) Add(n - i, 121, i, "bulletin " + std::to_string(i));
    store->database().Execute("COMMIT");
    pane->SetCountStepBudget(0);
    Browse(L"les=121");
    EXPECT_EQ(Cell(0, 6), L"bulletin 198");
    ASSERT_TRUE(guitest::PumpUntil([&] { return !pane->counting(); }, 10000));
    EXPECT_EQ(ItemCount(), n);
    EXPECT_EQ(Cell(n - 1, 6), L"bulletin 0");
    EXPECT_EQ(pane->status(), L"199 messages match the filter.");

    const int page = static_cast<int>(::SendMessageW(pane->list(), LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 1);
    const struct { UINT key; int selected, top; } keys[] = {  // the row selected, the top row in view
        {VK_DOWN, 0, 0}, {VK_DOWN, 1, 0}, {VK_UP, 0, 0}, {VK_NEXT, page - 1, 0}, {VK_NEXT, 2 * page - 2, page - 1},
        {VK_END, n - 1, n - page}, {VK_PRIOR, n - page, n - page}, {VK_HOME, 0, 0}, {VK_DOWN, 1, 0}};
    for (const auto& k : keys) {
        Press(pane->list(), k.key);
        EXPECT_EQ(std::make_pair(Selected(), TopRow()), std::make_pair(k.selected, k.top)) << k.key;
    }
    EXPECT_EQ(pane->selectedId(), n - 1);  // the text view follows the selection
    const std::wstring selectedText = ViewText();

    Add(0, 121, 4242, "NEW ARRIVAL");
    ASSERT_TRUE(guitest::PumpUntil([&] { return ItemCount() == n + 1 && !pane->counting(); }, 5000));  // by its own timer
    EXPECT_EQ(Cell(0, 6), L"NEW ARRIVAL");
    EXPECT_EQ(Selected(), 2);  // the same message, one row further down
    EXPECT_EQ(ViewText(), selectedText);
    store->database().Execute("UPDATE message_rows SET copies = copies + 1 WHERE text = 'NEW ARRIVAL'");
    ASSERT_TRUE(guitest::PumpUntil([&] { return pane->CheckForNewMessages(), Cell(0, 4) == L"2"; }, 1500));
    // Scrolled away from the top: the rows shown stay in view.
    ::SendMessageW(pane->list(), LVM_ENSUREVISIBLE, 150, FALSE);
    guitest::Pump();
    const std::wstring topMessage = Cell(TopRow(), 6);
    for (int i = 0; i < 3; ++i) Add(0, 121, 9000 + i, "late news");
    ASSERT_TRUE(guitest::PumpUntil([&] {
        if (!pane->counting()) pane->CheckForNewMessages();  // as the timer does
        return ItemCount() == n + 4 && !pane->counting();
    }, 10000));
    EXPECT_EQ(Cell(TopRow(), 6), topMessage);
    EXPECT_EQ(pane->status(), L"203 messages match the filter.");
}
