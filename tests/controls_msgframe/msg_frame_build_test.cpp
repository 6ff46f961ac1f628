// What the pane's creation builds: the bar and its four bands, the filter edit, the buttons, the
// list and the text view.
#include "msg_frame_fixture.h"

#include <richedit.h>

namespace {

REBARBANDINFOW BandInfo(HWND bar, int index, wchar_t* text, int textSize) {
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_IDEALSIZE | RBBIM_TEXT;
    band.lpText = text;
    band.cch = static_cast<UINT>(textSize);
    ::SendMessageW(bar, RB_GETBANDINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&band));
    return band;
}

}  // namespace

TEST_F(MsgFrameTest, BarHoldsTheFilterAndThreeButtonBandsInOrder) {
    HWND bar = pane->bar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(guitest::ClassName(bar), L"ReBarWindow32");
    const LONG barStyle = ::GetWindowLongW(bar, GWL_STYLE);
    for (LONG bit : {LONG(WS_CHILD), LONG(WS_VISIBLE), LONG(WS_CLIPSIBLINGS), LONG(WS_CLIPCHILDREN),
                     LONG(RBS_VARHEIGHT), LONG(RBS_BANDBORDERS), LONG(CCS_NODIVIDER)})
        EXPECT_TRUE(barStyle & bit) << std::hex << bit;

    ASSERT_EQ(BandCount(), 4);
    const HWND children[4] = {pane->filterEdit(), pane->searchButton(), pane->quickFilterButton(),
                              pane->optionsButton()};
    const wchar_t* labels[4] = {L"Advanced search", L"", L"", L""};
    const UINT widths[4] = {50, 60, 70, 60};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        wchar_t text[64] = {};
        const REBARBANDINFOW band = BandInfo(bar, i, text, 64);
        EXPECT_EQ(band.hwndChild, children[i]);
        EXPECT_EQ(std::wstring(text), labels[i]);
        EXPECT_EQ(band.cxMinChild, widths[i]);
        EXPECT_EQ(band.cxIdeal, widths[i]);
        EXPECT_EQ(band.cyMinChild, 22u);
        EXPECT_TRUE(band.fStyle & RBBS_CHILDEDGE);
        EXPECT_TRUE(band.fStyle & RBBS_NOGRIPPER);
        EXPECT_FALSE(band.fStyle & RBBS_HIDDEN);
    }
}

TEST_F(MsgFrameTest, FilterEditAndButtonsCarryTheirTextsAndTheGuiFont) {
    HWND edit = pane->filterEdit();
    EXPECT_EQ(guitest::ClassName(edit), L"Edit");
    EXPECT_EQ(guitest::WindowText(edit), L"(age_day<1) & les=121");
    EXPECT_TRUE(::GetWindowLongW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(::IsWindowVisible(edit));

    const HWND buttons[3] = {pane->searchButton(), pane->quickFilterButton(), pane->optionsButton()};
    const wchar_t* texts[3] = {L"Search", L"Quick filter", L"Options"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(guitest::ClassName(buttons[i]), L"Button");
        EXPECT_EQ(guitest::WindowText(buttons[i]), texts[i]);
        // A plain push button: no check box, radio or push-like toggle.
        EXPECT_EQ(::GetWindowLongW(buttons[i], GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
        EXPECT_TRUE(::IsWindowVisible(buttons[i]));
    }
    HGDIOBJ guiFont = ::GetStockObject(DEFAULT_GUI_FONT);
    for (HWND control : {edit, buttons[0], buttons[1], buttons[2]})
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), guiFont);
}

TEST_F(MsgFrameTest, TextViewIsTheReadOnlyFixedsysClientWindow) {
    HWND view = pane->textView();
    ASSERT_TRUE(view);
    EXPECT_EQ(view, pane->ClientWindow());
    EXPECT_EQ(guitest::ClassName(view), L"RichEdit20W");
    const LONG style = ::GetWindowLongW(view, GWL_STYLE);
    for (LONG bit : {LONG(WS_VISIBLE), LONG(WS_CLIPCHILDREN), LONG(WS_DLGFRAME), LONG(WS_VSCROLL),
                     LONG(ES_MULTILINE), LONG(ES_READONLY), LONG(ES_WANTRETURN), LONG(ES_DISABLENOSCROLL)})
        EXPECT_TRUE(style & bit) << std::hex << bit;

    // The rich edit turns the font into its default character format.
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    ::SendMessageW(view, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    ASSERT_TRUE(format.dwMask & CFM_FACE);
    EXPECT_EQ(std::wstring(format.szFaceName), L"Fixedsys");
}

TEST_F(MsgFrameTest, ListIsASingleSelectionReport) {
    HWND list = pane->list();
    ASSERT_TRUE(list);
    EXPECT_EQ(guitest::ClassName(list), L"SysListView32");
    const LONG style = ::GetWindowLongW(list, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    // (The list view manages its own scroll bars, so WS_VSCROLL is not kept while there is nothing to scroll.)
    for (LONG bit : {LONG(WS_VISIBLE), LONG(WS_CLIPCHILDREN), LONG(LVS_SINGLESEL),
                     LONG(LVS_SHOWSELALWAYS)})
        EXPECT_TRUE(style & bit) << std::hex << bit;
    const LRESULT ex = ::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ(ex & (LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT),
              LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(pane->listHeight(), 100);
}

TEST_F(MsgFrameTest, DestroyingThePaneTakesItsControlsAndDoesNotQuit) {
    HWND paneWindow = pane->hwnd();
    HWND view = pane->textView();
    HWND list = pane->list();
    HWND bar = pane->bar();
    EXPECT_TRUE(::IsChild(paneWindow, view));
    EXPECT_TRUE(::IsChild(paneWindow, list));
    EXPECT_TRUE(::IsChild(paneWindow, bar));
    // A child pane must not end the message loop when it goes.
    pane.reset();
    EXPECT_FALSE(::IsWindow(paneWindow));
    EXPECT_FALSE(::IsWindow(view));
    EXPECT_FALSE(::IsWindow(list));
    EXPECT_FALSE(::IsWindow(bar));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}
