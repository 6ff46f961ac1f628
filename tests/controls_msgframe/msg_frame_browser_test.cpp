// The pane as a message browser on a real store: the list, the text view, searching, errors, empty
// states, sorting and quick filters, through the pane's own controls.
#include "msg_frame_browser_fixture.h"

TEST_F(MsgBrowserTest, SaysInWordsThatThereIsNoStoreAndThenThatNothingMatches) {
    Browse();  // the file does not exist yet
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_NE(pane->status().find(L"No messages yet"), std::wstring::npos) << pane->status();
    EXPECT_NE(ViewText().find(store->fsPath().wstring()), std::wstring::npos);
    EXPECT_FALSE(std::filesystem::exists(store->fsPath()));  // only looked for, never made

    // The store appears (a decoder run starts): the pane opens it by itself.
    store->Add(browsertest::Message(Now(), 112, 1, "routine traffic"));
    ASSERT_TRUE(guitest::PumpUntil([&] { return pane->query() != nullptr; }, 3000));
    // The initial filter wants LES 121.
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(ViewText(), L"No message matches the filter.");
    SearchFor(L"");
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(ViewText(), L"1 message matches the filter.");
}

TEST_F(MsgBrowserTest, ListShowsTheColumnsNewestFirst) {
    FillVaried();
    Browse();
    HWND header = reinterpret_cast<HWND>(::SendMessageW(pane->list(), LVM_GETHEADER, 0, 0));
    ASSERT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 10);
    const wchar_t* titles[10] = {L"Received", L"LES",     L"Frame",   L"Priority", L"Copies",
                                 L"Length",   L"Message", L"Warning", L"Kind",     L"State"};
    for (int c = 0; c < 10; ++c) {
        wchar_t text[64] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, titles[c]);
    }
    // The initial filter: today's messages from LES 121.
    const auto expected = Expected("(age_day<1) & les=121");
    ASSERT_EQ(ItemCount(), static_cast<int>(expected.size()));
    EXPECT_EQ(Shown(), FirstLinesOf(expected));
    const auto& newest = rows[39];
    EXPECT_EQ(Cell(0, 0), std::wstring(L"") + [&] {
        const std::string t = browser::FormatUtc(newest.firstHeardMs);
        return std::wstring(t.begin(), t.end());
    }());
    EXPECT_EQ(Cell(0, 1), L"121");
    EXPECT_EQ(Cell(0, 2), std::to_wstring(newest.frame));
    EXPECT_EQ(Cell(0, 3), L"distress");
    EXPECT_EQ(Cell(0, 4), std::to_wstring(newest.copies));
    EXPECT_EQ(Cell(0, 5), std::to_wstring(newest.text.size()));
    EXPECT_EQ(pane->status(), std::to_wstring(expected.size()) + L" messages match the filter.");
}

TEST_F(MsgBrowserTest, SelectingAMessageShowsItsWholeTextAndCtrlCCopiesIt) {
    const std::string text = "SECURITE\nNAVAREA III 123/26\nGUNNERY EXERCISES \"ALPHA\"\n";
    store->Add(browsertest::Message(Now() - 1000, 121, 5, text));
    store->Add(browsertest::Message(Now(), 121, 6, "later"));
    Browse();
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(Cell(1, 6), L"SECURITE");
    Select(1);
    EXPECT_EQ(ViewText(), std::wstring(text.begin(), text.end()));

    ::SetFocus(pane->list());
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(pane->list(), WM_KEYDOWN, 'C', 1);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    ASSERT_TRUE(::OpenClipboard(pane->hwnd()));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
    if (data) ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(copied, std::wstring(text.begin(), text.end()));

    Select(0);
    EXPECT_EQ(ViewText(), L"later");
}

TEST_F(MsgBrowserTest, EachFilterExampleThroughTheEditAndSearch) {
    FillVaried();
    Browse();
    for (const char* expression : {"(age_day<1) & les=121", "priority>=urgency | text~\"MAYDAY\"",
                                   "!(les=112) & frame>=1000 & frame<2000", "\"GALE WARNING\" & age_hour<12"}) {
        SCOPED_TRACE(expression);
        const std::string e(expression);
        SearchFor(std::wstring(e.begin(), e.end()));
        const auto expected = Expected(e);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ItemCount(), static_cast<int>(expected.size()));
        EXPECT_EQ(Shown(), FirstLinesOf(expected));
        EXPECT_EQ(pane->status(), std::to_wstring(expected.size()) + L" messages match the filter.");
    }
}

TEST_F(MsgBrowserTest, EnterInTheEditSearches) {
    FillVaried();
    Browse();
    ::SetWindowTextW(pane->filterEdit(), L"les=113");
    ::SetFocus(pane->filterEdit());
    ::SendMessageW(pane->filterEdit(), WM_KEYDOWN, VK_RETURN, 1);
    guitest::Pump();
    EXPECT_EQ(Shown(), FirstLinesOf(Expected("les=113")));
}

TEST_F(MsgBrowserTest, AWrongExpressionIsSaidAndSelectedAndTheListStays) {
    FillVaried();
    Browse();
    SearchFor(L"les=113");
    const auto before = Shown();
    Select(2);
    SearchFor(L"les=121 & lse=1");
    EXPECT_EQ(Shown(), before);
    EXPECT_NE(pane->status().find(L"unknown field 'lse' at column 11"), std::wstring::npos) << pane->status();
    EXPECT_EQ(ViewText(), pane->status());
    DWORD from = 0, to = 0;
    ::SendMessageW(pane->filterEdit(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 10u);
    EXPECT_EQ(to, 13u);
    EXPECT_EQ(::GetFocus(), pane->filterEdit());
    // Characters beyond one UTF-16 unit count as one column each.
    SearchFor(L"text~\"\U0001F6A2\" & nope=1");
    ::SendMessageW(pane->filterEdit(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 12u);
    EXPECT_EQ(to, 16u);
}

TEST_F(MsgBrowserTest, HeaderClicksSortAndASecondClickReverses) {
    FillVaried();
    Browse();
    SearchFor(L"");
    HWND header = reinterpret_cast<HWND>(::SendMessageW(pane->list(), LVM_GETHEADER, 0, 0));
    auto click = [&](int column) {
        RECT rc{};
        ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(header, WM_LBUTTONUP, 0, at);
        guitest::Pump();
    };
    auto frames = [&] {
        std::vector<long> out;
        for (int i = 0; i < ItemCount(); ++i) out.push_back(std::stol(Cell(i, 2)));
        return out;
    };
    click(2);
    auto ascending = frames();
    ASSERT_EQ(ascending.size(), 40u);
    EXPECT_TRUE(std::is_sorted(ascending.begin(), ascending.end()));
    click(2);
    auto descending = frames();
    EXPECT_TRUE(std::is_sorted(descending.rbegin(), descending.rend()));
    click(3);  // priority: the most pressing first
    EXPECT_EQ(Cell(0, 3), L"distress");
    EXPECT_EQ(Cell(39, 3), L"routine");
}

TEST_F(MsgBrowserTest, EachQuickFilterWritesItsExpressionAndRunsIt) {
    FillVaried();
    Browse();
    struct Case {
        CMsgFrame::QuickFilter which;
        std::wstring expression;
    };
    const std::string today = browser::FormatUtc(Now(), true).substr(0, 10);
    const Case cases[] = {{CMsgFrame::QuickFilter::LastHour, L"age_min<60"},
                          {CMsgFrame::QuickFilter::Today, L"time=" + std::wstring(today.begin(), today.end())},
                          {CMsgFrame::QuickFilter::DistressAndUrgency, L"priority>=urgency"},
                          {CMsgFrame::QuickFilter::All, L""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.which));
        EXPECT_TRUE(pane->ApplyQuickFilter(c.which));
        EXPECT_EQ(guitest::WindowText(pane->filterEdit()), c.expression);
        const std::string e(c.expression.begin(), c.expression.end());
        EXPECT_EQ(Shown(), FirstLinesOf(Expected(e)));
    }
    // The selected message's station: nothing to take without a selection.
    EXPECT_FALSE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::SelectedLes));
    Select(1);  // rows[38]: LES 112 + 0
    EXPECT_TRUE(pane->ApplyQuickFilter(CMsgFrame::QuickFilter::SelectedLes));
    EXPECT_EQ(guitest::WindowText(pane->filterEdit()), L"les=112");
    EXPECT_EQ(Shown(), FirstLinesOf(Expected("les=112")));
}

TEST_F(MsgBrowserTest, ShowsTheFirstRowsAtOnceAndTheCountWhenTheOtherThreadHasIt) {
    const std::int64_t now = Now();
    const int n = static_cast<int>(browser::MessageQuery::kPageRows) * 3 + 7;
    for (int i = 0; i < n; ++i) {
        auto row = browsertest::Message(now - (n - i) * 1000LL, 121, i, "bulletin " + std::to_string(i));
        row.id = store->Add(row);
        rows.push_back(row);
    }
    pane->SetCountStepBudget(0);  // as on a store too large to count before the first screen
    Browse();
    // The search runs: the first page is there at once, the rest follows the count.
    SearchFor(L"les=121");
    if (pane->counting()) {
        EXPECT_EQ(ItemCount(), static_cast<int>(browser::MessageQuery::kPageRows));
        EXPECT_EQ(pane->status(), L"At least 64 messages match the filter; counting...");
    }
    EXPECT_EQ(Cell(0, 6), L"bulletin " + std::to_wstring(n - 1));
    ASSERT_TRUE(guitest::PumpUntil([&] { return !pane->counting(); }, 10000));
    EXPECT_EQ(ItemCount(), n);
    EXPECT_EQ(pane->status(), std::to_wstring(n) + L" messages match the filter.");
    EXPECT_EQ(Shown(), FirstLinesOf(Expected("les=121")));
    EXPECT_EQ(ViewText(), pane->status());

    // Sorting keeps the count; a search for fewer than a page knows its count at once.
    pane->SortBy(browser::Column::Frame);
    EXPECT_FALSE(pane->counting());
    EXPECT_EQ(ItemCount(), n);
    EXPECT_EQ(Cell(0, 2), L"0");
    SearchFor(L"frame<5");
    EXPECT_FALSE(pane->counting());
    EXPECT_EQ(ItemCount(), 5);
    EXPECT_EQ(pane->status(), L"5 messages match the filter.");

    // New messages while the pane is shown: the list grows by them, counted on the other thread.
    SearchFor(L"");
    ASSERT_TRUE(guitest::PumpUntil([&] { return !pane->counting(); }, 10000));
    for (int i = 0; i < 3; ++i) store->Add(browsertest::Message(Now(), 121, 9000 + i, "late news"));
    ASSERT_TRUE(guitest::PumpUntil([&] { return ItemCount() == n + 3 && !pane->counting(); }, 10000));
    EXPECT_EQ(pane->status(), std::to_wstring(n + 3) + L" messages match the filter.");
}
