// The messages pane filled by a run of the stand-in decoder (bin/vastrel-sim.exe copied into a scratch
// folder as vastrel.exe), through the real main window: messages appear live, a repeat raises its copy
// count, and the user's selection stays while they come.
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "resource.h"
#include "win/stand_in_run_fixture.h"

namespace {

class BrowserRunTest : public StandInRunTest {
protected:
    BrowserRunTest() : StandInRunTest(L"vastrel_browser_run_") {}
    std::wstring Cell(int item, int column) const {
        wchar_t text[256] = {};
        LVITEMW lv{};
        lv.iSubItem = column;
        lv.pszText = text;
        lv.cchTextMax = 256;
        ::SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
        return text;
    }
    int Selected() const {
        return static_cast<int>(::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
};

}  // namespace

TEST_F(BrowserRunTest, MessagesOfARunAppearLiveAndTheSelectionStays) {
    // LES 121 (the initial filter's station), then two messages; a pause; a new one and a repeat.
    InstallDecoder(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING AREA 3\\n\n"
        "record L5xxxxxxxMAYDAY RELAY\\nPERSON IN WATER\\n\n"
        "sleep 2500\n"
        "record L5xxxxxxxPAN PAN\\nENGINE FAILURE\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING AREA 3\\n\n"
        "wait-stop\n");
    Command(ID_PANE_MESSAGES);
    ASSERT_TRUE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_PANE)));
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 2; }, 10000)) << Count();
    EXPECT_EQ(Cell(0, 6), L"MAYDAY RELAY");
    EXPECT_EQ(Cell(0, 1), L"121");
    EXPECT_EQ(Cell(0, 3), L"distress");
    EXPECT_EQ(Cell(1, 6), L"SECURITE");
    // The pane's button counts what the user has not read; selecting a message reads it.
    auto button = [&] { return guitest::WindowText(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_BUTTON)); };
    EXPECT_TRUE(guitest::PumpUntil([&] { return button() == L"Messages (2 new)"; }, 5000)) << button();
    {  // ...and has room for a count of three digits in its font, inside its edges.
        HWND b = guitest::FindChild(frame->hwnd(), IDC_MESSAGES_BUTTON);
        HDC dc = ::GetDC(b);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(b, WM_GETFONT, 0, 0)));
        SIZE text{};
        ::GetTextExtentPoint32W(dc, L"Messages (999 new)", 18, &text);
        ::SelectObject(dc, old);
        ::ReleaseDC(b, dc);
        RECT client{};
        ::GetClientRect(b, &client);
        EXPECT_LE(text.cx + 8, client.right) << "the button is " << client.right << " px wide, its text " << text.cx;
    }
    // The user picks the older message before the next ones come.
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(List(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    guitest::Pump();
    ASSERT_EQ(Count(), 2) << "the script's pause was too short for this machine";
    EXPECT_TRUE(guitest::PumpUntil([&] { return button() == L"Messages (1 new)"; }, 5000)) << button();
    const std::wstring shown = guitest::WindowText(guitest::MessagesPaneOf(frame->hwnd()).textView());
    // What the store read in it (a gale warning: met), then its text.
    EXPECT_EQ(shown.rfind(L"met\r", 0), 0u) << shown;
    EXPECT_NE(shown.find(L"SECURITE"), std::wstring::npos) << shown;

    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 3 && Cell(2, 4) == L"2"; }, 10000)) << Count();
    EXPECT_EQ(Cell(0, 6), L"PAN PAN");
    EXPECT_EQ(Selected(), 2);  // the same message, now below the new one, its copies raised
    EXPECT_EQ(Cell(2, 6), L"SECURITE");
    EXPECT_EQ(guitest::WindowText(guitest::MessagesPaneOf(frame->hwnd()).textView()), shown);
    // PAN PAN is new; SECURITE's second copy is the same message, read already.
    EXPECT_TRUE(guitest::PumpUntil([&] { return button() == L"Messages (2 new)"; }, 5000)) << button();
    Command(ID_DECODER_STOP);
}
