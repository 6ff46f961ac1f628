// Commands: log filter toggles, Exit and stray commands. (The load refusal is settings_config's.)
#include "win/main_frame_fixture.h"
#include "resource.h"

TEST_F(MainFrameTest, LogFilterItemToggledTwiceIsCheckedAgain) {
    const struct {
        UINT id;
        int category;
    } items[] = {{ID_FILTER_FRAME_HEADERS, 0}, {ID_FILTER_BB_CONTENTS, 1}, {ID_FILTER_BB_HEADER, 2},
                 {ID_FILTER_UNKNOWN, 3}, {ID_FILTER_MESSAGE_TEXT, 5}};
    for (const auto& item : items) {
        Command(item.id);
        EXPECT_FALSE(Checked(item.id)) << item.id;
        EXPECT_FALSE(frame->Run().Filter().Shown(item.category)) << item.id;
        Command(item.id);
        EXPECT_TRUE(Checked(item.id)) << item.id;
        EXPECT_TRUE(frame->Run().Filter().Shown(item.category)) << item.id;
    }
    EXPECT_FALSE(frame->Run().Filter().Shown(4));
}

TEST_F(MainFrameTest, CommandWithIdZeroFromAnotherControlDoesNothing) {
    Command(ID_PANE_DECODER_LOG);
    ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(0, 0), reinterpret_cast<LPARAM>(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)));
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 1);
    ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(999, 0), 0);
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 1);
    EXPECT_EQ(guitest::WindowText(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
}

TEST_F(MainFrameTest, ExitClosesTheWindowThroughTheClosePath) {
    HWND hwnd = frame->hwnd();
    Command(ID_FILE_EXIT);
    EXPECT_TRUE(::IsWindow(hwnd));  // posted, not yet handled
    // Run the loop as the program does, until the quit message.
    MSG msg{};
    const DWORD end = ::GetTickCount() + 5000;
    bool quit = false;
    while (!quit && ::GetTickCount() < end) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            ::DispatchMessageW(&msg);
        }
        if (!quit) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    ASSERT_TRUE(quit);
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(::IsWindow(hwnd));
}
