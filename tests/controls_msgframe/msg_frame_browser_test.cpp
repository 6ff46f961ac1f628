// The pane as a message browser on a real store: the list, searching and its errors, sorting, quick
// filters, the menus, the text view and the clipboard, paging and counting, live updates, colours.
#include <chrono>
#include <fstream>
#include <thread>

#include "msg_frame_fixture.h"

namespace {

// Keys for the popup menu the next click opens: they wait in the queue until its loop reads them.
void QueueMenuKeys(HWND anyWindow, int downs) {
    for (int i = 0; i < downs; ++i) ::PostMessageW(anyWindow, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(anyWindow, WM_KEYDOWN, VK_RETURN, 0);
}

// Types `path` into this process's save dialog and presses Save, from a thread of its own (the dialog
// runs a modal loop on the window's thread); gives up after ten seconds.
std::thread AnswerSaveDialog(std::wstring path) {
    return std::thread([path] {
        for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
            HWND dialog = guitest::VisibleDialog();
            HWND name = dialog ? ::GetDlgItem(dialog, 1148) : nullptr;  // the file name combo box (cmb13)
            if (dialog && !name) name = ::GetDlgItem(dialog, 1152);      // or edit (edt1)
            if (!name) continue;
            ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return;
        }
    });
}

}  // namespace

TEST_F(MsgFrameTest, SaysThatThereIsNoStoreThenOpensItWhenItAppears) {
    Browse();  // the file does not exist yet
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_NE(pane->status().find(L"No messages yet"), std::wstring::npos) << pane->status();
    EXPECT_NE(ViewText().find(store->fsPath().wstring()), std::wstring::npos);
    EXPECT_FALSE(std::filesystem::exists(store->fsPath()));  // only looked for, never made
    Add(0, 112, 1, "routine traffic");
    ASSERT_TRUE(guitest::PumpUntil([&] { return pane->query() != nullptr; }, 3000));
    EXPECT_EQ(ItemCount(), 0);  // the first filter wants LES 121
    EXPECT_EQ(ViewText(), L"No message matches the filter.");
    SearchFor(L"");
    EXPECT_EQ(Shown(), Texts{L"routine traffic"});
    EXPECT_EQ(ViewText(), L"1 message matches the filter.");
}

TEST_F(MsgFrameTest, TheListShowsWhatTheFilterPassesAndAWrongFilterIsSaidAndSelected) {
    Fill(8);
    Browse();  // the first filter: today's messages from LES 121
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"(age_day<1) & les=121");
    EXPECT_EQ(Shown(), (Texts{L"cargo note #6", L"PAN PAN MAN OVERBOARD #3", L"MAYDAY VESSEL AGROUND #0"}));
    EXPECT_EQ(Cell(0, 0).size(), 19u);  // 2026-12-06 14:05:09
    EXPECT_EQ((Texts{Cell(0, 1), Cell(0, 2), Cell(0, 3), Cell(0, 4), Cell(0, 5)}), (Texts{L"121", L"1200", L"routine", L"1", L"13"}));
    EXPECT_EQ(pane->status(), L"3 messages match the filter.");
    SearchFor(L"priority>=urgency");  // the Search button
    EXPECT_EQ(Shown(), (Texts{L"DISTRESS RELAY #7", L"PAN PAN MAN OVERBOARD #3", L"MAYDAY VESSEL AGROUND #0"}));
    ::SetWindowTextW(pane->filterEdit(), L"les=112");
    Press(pane->filterEdit(), VK_RETURN);  // Enter in the edit
    const Texts les112 = {L"SECURITE NAVAREA #4", L"routine traffic list #2"};
    EXPECT_EQ(Shown(), les112);

    // A wrong expression: the list stays, the error is said in the pane and selected in the edit.
    // Characters beyond one UTF-16 unit count as one column each.
    Select(1);
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
}

TEST_F(MsgFrameTest, HeaderClicksSortAndQuickFiltersWriteTheirExpressionAndRunIt) {
    Fill(8);
    Browse(L"");
    HWND header = reinterpret_cast<HWND>(::SendMessageW(pane->list(), LVM_GETHEADER, 0, 0));
    const Texts byFrame = {L"MAYDAY VESSEL AGROUND #0", L"GALE WARNING AREA 3 #1", L"routine traffic list #2",
                           L"PAN PAN MAN OVERBOARD #3", L"SECURITE NAVAREA #4", L"weather bulletin", L"cargo note #6",
                           L"DISTRESS RELAY #7"};
    // Column clicked, then the list: a second click reverses; priority puts the most pressing first.
    const struct { int column; Texts shown; } clicks[] = {
        {2, byFrame}, {2, Texts(byFrame.rbegin(), byFrame.rend())},
        {3, {L"MAYDAY VESSEL AGROUND #0", L"DISTRESS RELAY #7", L"PAN PAN MAN OVERBOARD #3", L"SECURITE NAVAREA #4",
             L"GALE WARNING AREA 3 #1", L"routine traffic list #2", L"weather bulletin", L"cargo note #6"}}};
    for (const auto& click : clicks) {
        RECT rc{};
        ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(click.column), reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(header, WM_LBUTTONUP, 0, at);
        guitest::Pump();
        EXPECT_EQ(Shown(), click.shown) << click.column;
    }

    // The selected message's station needs a selection; "today" is checked by its expression alone.
    EXPECT_FALSE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::SelectedLes));
    const std::string today = browser::FormatUtc(Now(), true).substr(0, 10);
    const struct { CMsgFrame::QuickFilter which; std::wstring expression; int count; } quick[] = {
        {CMsgFrame::QuickFilter::LastHour, L"age_min<60", 8},
        {CMsgFrame::QuickFilter::Today, L"time=" + std::wstring(today.begin(), today.end()), -1},
        {CMsgFrame::QuickFilter::Unread, L"unread=1", 8},
        {CMsgFrame::QuickFilter::DistressAndUrgency, L"priority>=urgency", 3},
        {CMsgFrame::QuickFilter::SelectedLes, L"les=121", 3},  // row 0 by priority, MAYDAY #0: #6, #3, #0
        {CMsgFrame::QuickFilter::All, L"", 8}};
    for (const auto& q : quick) {
        if (q.which == CMsgFrame::QuickFilter::SelectedLes) Select(0);
        EXPECT_TRUE(pane->ApplyQuickFilter(q.which));
        EXPECT_EQ(guitest::WindowText(pane->filterEdit()), q.expression);
        EXPECT_TRUE(q.count < 0 || ItemCount() == q.count) << q.expression << ": " << ItemCount();
    }
    // Through the menu, with the keyboard: its third entry.
    QueueMenuKeys(pane->list(), 3);
    ::SendMessageW(pane->quickFilterButton(), BM_CLICK, 0, 0);
    guitest::Pump();
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"priority>=urgency");
    EXPECT_EQ(ItemCount(), 3);
}

TEST_F(MsgFrameTest, ASelectedMessageIsShownWholeCopiedAndExportedThroughTheMenu) {
    const std::string text = "SECURITE\nNAVAREA III 123/26\nGUNNERY EXERCISES \"ALPHA\"\n";
    Add(2, 121, 5, text);
    Add(1, 121, 6, "later");
    Browse();
    EXPECT_EQ(Shown(), (Texts{L"later", L"SECURITE"}));
    Select(1);
    EXPECT_EQ(ViewText(), std::wstring(text.begin(), text.end()));
    Press(pane->list(), 'C', true);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    EXPECT_EQ(std::wstring(data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L""), std::wstring(text.begin(), text.end()));
    if (data) ::GlobalUnlock(data);
    ::CloseClipboard();
    Select(0);
    EXPECT_EQ(ViewText(), L"later");

    const std::filesystem::path file = std::filesystem::temp_directory_path() / "vastrel_pane_dialog.jsonl";
    std::filesystem::remove(file);
    std::thread answer = AnswerSaveDialog(file.wstring());
    QueueMenuKeys(pane->list(), 2);  // "Export as JSON Lines..."
    ::SendMessageW(pane->optionsButton(), BM_CLICK, 0, 0);
    answer.join();
    EXPECT_NE(pane->status().find(L"Exported 2"), std::wstring::npos) << pane->status();
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    in.close();
    std::filesystem::remove(file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("{\"id\":2,", 0), 0u) << lines[0];
}

TEST_F(MsgFrameTest, TheFirstPageShowsAtOnceTheCountFollowsAndKeysPageThroughTheRows) {
    const int n = static_cast<int>(browser::MessageQuery::kPageRows) * 3 + 7;  // 199, ids 1 to 199
    store->database().Execute("BEGIN");
    for (int i = 0; i < n; ++i) Add(n - i, 121, i, "bulletin " + std::to_string(i));
    store->database().Execute("COMMIT");
    pane->SetCountStepBudget(0);  // as on a store too large to count before the first screen
    Browse(L"les=121");
    if (pane->counting()) {
        EXPECT_EQ(ItemCount(), 64);
        EXPECT_EQ(pane->status(), L"At least 64 messages match the filter; counting...");
    }
    EXPECT_EQ(Cell(0, 6), L"bulletin 198");
    ASSERT_TRUE(guitest::PumpUntil([&] { return !pane->counting(); }, 10000));
    EXPECT_EQ(ItemCount(), n);
    EXPECT_EQ(Cell(n - 1, 6), L"bulletin 0");
    EXPECT_EQ(pane->status(), L"199 messages match the filter.");
    EXPECT_EQ(ViewText(), pane->status());

    const int page = static_cast<int>(::SendMessageW(pane->list(), LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 1);
    // Key, then the selected row and the top row in view (-1: not checked).
    const struct { UINT key; int selected, top; } keys[] = {
        {VK_DOWN, 0, 0}, {VK_DOWN, 1, 0}, {VK_UP, 0, 0}, {VK_NEXT, page - 1, 0}, {VK_NEXT, 2 * page - 2, page - 1},
        {VK_END, n - 1, n - page}, {VK_PRIOR, n - page, n - page}, {VK_HOME, 0, 0}};
    for (const auto& k : keys) {
        Press(pane->list(), k.key);
        EXPECT_EQ(Selected(), k.selected) << k.key;
        EXPECT_EQ(TopRow(), k.top) << k.key;
    }
    EXPECT_EQ(pane->selectedId(), n);  // the text view follows the selection

    // Sorting keeps the count; a search for fewer than a page knows its count at once.
    pane->SortBy(browser::Column::Frame);
    EXPECT_FALSE(pane->counting());
    EXPECT_EQ(ItemCount(), n);
    EXPECT_EQ(Cell(0, 2), L"0");
    SearchFor(L"frame<5");
    EXPECT_FALSE(pane->counting());
    EXPECT_EQ(pane->status(), L"5 messages match the filter.");
    // New messages while the pane is shown: the list grows by them, counted on the other thread.
    SearchFor(L"");
    ASSERT_TRUE(guitest::PumpUntil([&] { return !pane->counting(); }, 10000));
    for (int i = 0; i < 3; ++i) Add(0, 121, 9000 + i, "late news");
    ASSERT_TRUE(guitest::PumpUntil([&] {
        if (!pane->counting()) pane->CheckForNewMessages();  // as the timer does
        return ItemCount() == n + 3 && !pane->counting();
    }, 10000));
    EXPECT_EQ(pane->status(), L"202 messages match the filter.");
}

TEST_F(MsgFrameTest, NewMessagesArriveKeepingTheSelectionOrTheRowsInView) {
    Fill(40);
    Browse(L"");
    Select(3);
    const std::wstring selectedText = ViewText();
    const std::int64_t selectedId = pane->selectedId();
    Add(0, 121, 4242, "NEW ARRIVAL");
    ASSERT_TRUE(guitest::PumpUntil([&] { return ItemCount() == 41; }, 1500));  // by the pane's own timer
    EXPECT_EQ(Cell(0, 6), L"NEW ARRIVAL");
    EXPECT_EQ(Selected(), 4);  // the same message, one row further down
    EXPECT_EQ(pane->selectedId(), selectedId);
    EXPECT_EQ(ViewText(), selectedText);
    // A repeat raises the copy count of the row in place.
    store->database().Execute("UPDATE message_rows SET copies = copies + 1 WHERE text = 'NEW ARRIVAL'");
    ASSERT_TRUE(guitest::PumpUntil([&] { return pane->CheckForNewMessages(), Cell(0, 4) == L"2"; }, 1500));
    EXPECT_EQ(Selected(), 4);

    // Scrolled away from the top: the rows shown stay in view.
    ::SendMessageW(pane->list(), LVM_ENSUREVISIBLE, 40, FALSE);
    guitest::Pump();
    ASSERT_GT(TopRow(), 0);
    const std::wstring topMessage = Cell(TopRow(), 6);
    Add(0, 121, 2, "SECOND NEW");
    ASSERT_TRUE(guitest::PumpUntil([&] { return pane->CheckForNewMessages(), ItemCount() == 42; }, 1500));
    EXPECT_EQ(Cell(TopRow(), 6), topMessage);
}

TEST_F(MsgFrameTest, DistressAndUrgencyRowsStandOut) {
    Add(3, 121, 1, "routine words");
    Add(2, 121, 2, "PAN PAN");
    Add(1, 121, 3, "MAYDAY");
    Browse();
    ASSERT_EQ(ItemCount(), 3);
    ::RedrawWindow(pane->list(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    guitest::Pump();
    const COLORREF expected[] = {RGB(255, 180, 180), RGB(255, 220, 150), ::GetSysColor(COLOR_WINDOW)};
    HDC dc = ::GetDC(pane->list());
    for (int item = 0; item < 3; ++item) {
        RECT cell{LVIR_BOUNDS, 3};  // in the Priority column, right of its text
        ::SendMessageW(pane->list(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
        EXPECT_EQ(::GetPixel(dc, cell.right - 4, (cell.top + cell.bottom) / 2), expected[item]) << item;
    }
    ::ReleaseDC(pane->list(), dc);
}
