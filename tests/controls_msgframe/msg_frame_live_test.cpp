// The pane while the store is written, its splitter, its exports and its row colours.
#include "msg_frame_browser_fixture.h"

#include <fstream>
#include <sstream>

#include "theme/palette.h"
#include "win/colour.h"

TEST_F(MsgBrowserTest, ANewMessageArrivesWhileTheSelectionStays) {
    FillVaried();
    Browse();
    SearchFor(L"");
    ASSERT_EQ(ItemCount(), 40);
    Select(3);
    const std::wstring selectedText = ViewText();
    const std::int64_t selectedId = pane->selectedId();

    store->Add(browsertest::Message(Now(), 121, 4242, "NEW ARRIVAL"));
    // Within a second, by the pane's own timer.
    ASSERT_TRUE(guitest::PumpUntil([&] { return ItemCount() == 41; }, 1500));
    EXPECT_EQ(Cell(0, 6), L"NEW ARRIVAL");
    EXPECT_EQ(Selected(), 4);  // the same message, one row further down
    EXPECT_EQ(pane->selectedId(), selectedId);
    EXPECT_EQ(ViewText(), selectedText);

    // A repeat raises the copy count of the row in place.
    store->database().Execute("UPDATE message_rows SET copies = copies + 1 WHERE text = 'NEW ARRIVAL'");
    ASSERT_TRUE(guitest::PumpUntil([&] { return Cell(0, 4) == L"2"; }, 1500));
    EXPECT_EQ(Selected(), 4);
}

TEST_F(MsgBrowserTest, WithNoSelectionAtTheTopTheNewestShowsAndAScrolledListStays) {
    FillVaried();
    Browse();
    SearchFor(L"");
    store->Add(browsertest::Message(Now(), 121, 1, "FIRST NEW"));
    ASSERT_TRUE(guitest::PumpUntil([&] { return ItemCount() == 41; }, 1500));
    EXPECT_EQ(::SendMessageW(pane->list(), LVM_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(Cell(0, 6), L"FIRST NEW");
    EXPECT_EQ(pane->status(), L"41 messages match the filter.");

    // Scrolled away from the top: the rows shown stay in view.
    Resize(760, 600);
    ::SendMessageW(pane->list(), LVM_ENSUREVISIBLE, 40, FALSE);
    guitest::Pump();
    const auto top = ::SendMessageW(pane->list(), LVM_GETTOPINDEX, 0, 0);
    ASSERT_GT(top, 0);
    const std::wstring topMessage = Cell(static_cast<int>(top), 6);
    store->Add(browsertest::Message(Now(), 121, 2, "SECOND NEW"));
    ASSERT_TRUE(guitest::PumpUntil([&] { return ItemCount() == 42; }, 1500));
    EXPECT_EQ(Cell(static_cast<int>(::SendMessageW(pane->list(), LVM_GETTOPINDEX, 0, 0)), 6), topMessage);
}

TEST_F(MsgBrowserTest, TheSplitterMovesAndKeepsATextLine) {
    Browse();
    const RECT list = InPane(pane->list());
    const int splitterY = list.bottom + CMsgFrame::kSplitterHeight / 2;
    ::SendMessageW(pane->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, splitterY));
    EXPECT_EQ(::GetCapture(), pane->hwnd());
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, splitterY + 80));
    EXPECT_EQ(pane->listHeight(), 180);
    EXPECT_EQ(Height(InPane(pane->list())), 180);
    EXPECT_EQ(InPane(pane->textView()).top, InPane(pane->list()).bottom + CMsgFrame::kSplitterHeight);
    // Far past the bottom: the text view keeps at least one line of its font.
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5000));
    const RECT text = InPane(pane->textView());
    EXPECT_EQ(text.bottom, PaneClient().bottom);
    EXPECT_GE(Height(text), 12 + 2 * ::GetSystemMetrics(SM_CYDLGFRAME));
    // Far above the top: the list keeps its header and a row.
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, -500));
    EXPECT_EQ(pane->listHeight(), CMsgFrame::kMinListHeight);
    ::SendMessageW(pane->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(200, 0));
    EXPECT_NE(::GetCapture(), pane->hwnd());
    // Moving the mouse without the button no longer drags.
    ::SendMessageW(pane->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(200, 300));
    EXPECT_EQ(pane->listHeight(), CMsgFrame::kMinListHeight);
}

TEST_F(MsgBrowserTest, ExportedCsvReadsBackFieldByField) {
    FillVaried();
    Browse();
    SearchFor(L"priority>=urgency");
    const auto expected = Expected("priority>=urgency");
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "vastrel_pane_export.csv";
    ASSERT_TRUE(pane->ExportTo(file.wstring(), browser::ExportFormat::Csv));
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    in.close();
    std::filesystem::remove(file);
    const std::string csv = bytes.str();
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    std::istringstream lines(csv.substr(3));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Received,LES,Frame,Priority,Copies,Length,Message,Last heard,Id,Warning,Kind,State\r");
    std::size_t n = 0;
    while (std::getline(lines, line)) {
        ASSERT_LT(n, expected.size());
        const auto& row = *std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.id == expected[n]; });
        // None of these texts needs quoting, so the fields split on commas.
        std::vector<std::string> f;
        std::stringstream fields(line.substr(0, line.size() - 1));
        for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
        ASSERT_GE(f.size(), 9u) << line;  // the empty reading fields at the end do not split
        EXPECT_EQ(f[0], browser::FormatUtc(row.firstHeardMs));
        EXPECT_EQ(f[1], std::to_string(row.les));
        EXPECT_EQ(f[2], std::to_string(row.frame));
        EXPECT_EQ(f[3], messages::PriorityName(row.priority));
        EXPECT_EQ(f[4], std::to_string(row.copies));
        EXPECT_EQ(f[5], std::to_string(row.length));
        EXPECT_EQ(f[6], row.text);
        EXPECT_EQ(f[8], std::to_string(row.id));
        ++n;
    }
    EXPECT_EQ(n, expected.size());
    EXPECT_NE(pane->status().find(L"Exported " + std::to_wstring(n)), std::wstring::npos) << pane->status();
}

TEST_F(MsgBrowserTest, DistressAndUrgencyRowsTakeThePalettesColours) {
    store->Add(browsertest::Message(Now() - 3000, 121, 1, "routine words"));
    store->Add(browsertest::Message(Now() - 2000, 121, 2, "PAN PAN"));
    store->Add(browsertest::Message(Now() - 1000, 121, 3, "MAYDAY"));
    Browse();
    ASSERT_EQ(ItemCount(), 3);
    ::RedrawWindow(pane->list(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    guitest::Pump();
    auto colourOf = [&](int item) {
        RECT rc{};
        rc.left = LVIR_BOUNDS;
        ::SendMessageW(pane->list(), LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rc));
        // In the Priority column, right of its text.
        RECT cell{};
        cell.top = 3;
        cell.left = LVIR_BOUNDS;
        ::SendMessageW(pane->list(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
        HDC dc = ::GetDC(pane->list());
        const COLORREF c = ::GetPixel(dc, cell.right - 4, (rc.top + rc.bottom) / 2);
        ::ReleaseDC(pane->list(), dc);
        return c;
    };
    EXPECT_EQ(colourOf(0), win::ToColorRef(palette::kMessageDistressRow));
    EXPECT_EQ(colourOf(1), win::ToColorRef(palette::kMessageUrgencyRow));
    EXPECT_EQ(colourOf(2), ::GetSysColor(COLOR_WINDOW));
}
