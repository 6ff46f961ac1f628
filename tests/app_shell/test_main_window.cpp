// The main window right after start-up.
#include "win/main_frame_fixture.h"
#include "resource.h"

#include <richedit.h>

#include <cstdlib>
#include <string>

TEST_F(MainFrameTest, StartsOnTheSettingsPaneWithIdleStatusAndAllFiltersChecked) {
    EXPECT_EQ(guitest::WindowText(frame->hwnd()), L"Corvane VASTREL GUI v0.4");
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 0);
    EXPECT_EQ(guitest::ShownPaneWindow(frame->hwnd()), guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    EXPECT_TRUE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID)));
    EXPECT_FALSE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG)));
    EXPECT_FALSE(::IsWindowVisible(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_PANE)));
    ASSERT_GE(BandStyleOf(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM)), 0);
    EXPECT_FALSE(BandStyleOf(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM)) & RBBS_HIDDEN);

    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG_BUTTON), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_MESSAGES_BUTTON), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(guitest::WindowText(guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON)), L"FFT && Settings");

    EXPECT_EQ(guitest::WindowText(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
    EXPECT_EQ(guitest::WindowText(guitest::FindChild(frame->hwnd(), IDC_LES_FIELD)), L"---");
    EXPECT_EQ(guitest::WindowText(guitest::FindChild(frame->hwnd(), IDC_FRAME_FIELD)), L"----");

    for (UINT id : {ID_FILTER_FRAME_HEADERS, ID_FILTER_BB_CONTENTS, ID_FILTER_BB_HEADER, ID_FILTER_UNKNOWN,
                    ID_FILTER_MESSAGE_TEXT})
        EXPECT_TRUE(Checked(id)) << id;
    const LONG expectedFilter[6] = {1, 1, 1, 1, 0, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(frame->Run().Filter().Shown(i) ? 1 : 0, expectedFilter[i]) << i;

    EXPECT_TRUE(Grayed(ID_FFT_OFF));
    EXPECT_FALSE(Grayed(ID_FFT_ON));
    EXPECT_TRUE(Grayed(ID_DECODER_STOP));
    EXPECT_FALSE(Grayed(ID_DECODER_START));
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
    EXPECT_FALSE(frame->Run().Running());
}

TEST_F(MainFrameTest, WindowIs800By600AndCentredOnTheWorkArea) {
    RECT rc{};
    ::GetWindowRect(frame->hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 800);
    EXPECT_EQ(rc.bottom - rc.top, 600);
    MONITORINFO info{sizeof(info)};
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(frame->hwnd(), MONITOR_DEFAULTTONEAREST), &info));
    // Centred (the arithmetic itself is WindowPlacement's): equal margins within a pixel.
    EXPECT_LE(std::abs((rc.left - info.rcWork.left) - (info.rcWork.right - rc.right)), 1);
    EXPECT_LE(std::abs((rc.top - info.rcWork.top) - (info.rcWork.bottom - rc.bottom)), 1);
}

TEST_F(MainFrameTest, MenuBarCarriesTheFourMenusInOrder) {
    ASSERT_NE(frame->menu(), nullptr);
    ASSERT_EQ(::GetMenuItemCount(frame->menu()), 4);
    const wchar_t* titles[] = {L"&File", L"FF&T", L"&Decoder", L"&Log filter"};
    for (int i = 0; i < 4; ++i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(frame->menu(), i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, titles[i]);
    }
    EXPECT_EQ(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_MENU_BAR), TB_BUTTONCOUNT, 0, 0), 4);

    HMENU file = ::GetSubMenu(frame->menu(), 0);
    ASSERT_EQ(::GetMenuItemCount(file), 4);
    EXPECT_EQ(::GetMenuItemID(file, 0), ID_FILE_LOAD);
    EXPECT_EQ(::GetMenuItemID(file, 1), ID_FILE_SAVE);
    EXPECT_TRUE(::GetMenuState(file, 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(file, 3), ID_FILE_EXIT);

    HMENU filter = ::GetSubMenu(frame->menu(), 3);
    const UINT order[] = {ID_FILTER_FRAME_HEADERS, ID_FILTER_BB_HEADER, ID_FILTER_BB_CONTENTS, ID_FILTER_UNKNOWN,
                          ID_FILTER_MESSAGE_TEXT};
    ASSERT_EQ(::GetMenuItemCount(filter), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(::GetMenuItemID(filter, i), order[i]);
}

TEST_F(MainFrameTest, DecoderLogTakesMoreThanAMegabyteOfText) {
    ASSERT_NE(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), nullptr);
    guitest::LogViewOf(frame->hwnd()).text().SetLineLimit(0);  // "Log lines kept": All
    std::wstring line(99, L'x');
    line += L'\n';
    std::wstring text;
    for (int i = 0; i < 11000; ++i) text += line;  // 1,100,000 characters
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    GETTEXTLENGTHEX query{GTL_NUMCHARS, 1200};
    const LRESULT length = ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    EXPECT_GE(length, 1'100'000);
}
