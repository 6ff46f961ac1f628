// The Map pane in the main window, one for the suite: two messages with shapes, drawn, picked, moved.
#include <windows.h>

#include <cmath>
#include <ctime>
#include <string>

#include "browser_model/browser_store.h"
#include "land_rings_count.h"
#include "win/display_picture.h"
#include "win/file_bytes.h"
#include "win/main_frame_fixture.h"

namespace {

constexpr COLORREF kDistress = RGB(210, 30, 30), kMuted = RGB(160, 160, 160);

class MapPaneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Message 1: a distress warning with a 60 nm circle about 10 N 20 E; message 2: a routine
        // message with a point at 30 S 40 W. Written by the store's own writer, kept open meanwhile.
        store = new browsertest::StoreFile("map");
        for (const char* text : {"DISTRESS RELAY\nmore", "ROUTINE NOTE"})
            store->Add(browsertest::Message(static_cast<std::int64_t>(std::time(nullptr)) * 1000, 1, 1, text));
        store->database().Execute(
            "DELETE FROM warning_rows; DELETE FROM position_rows;"
            "INSERT INTO warning_rows VALUES (1, 'NAVAREA I', 1, 0, 5, 2026, 'nav', 'inforce', NULL, NULL, NULL, 1, '');"
            "INSERT INTO position_rows VALUES (1, 0, 0, 'circle', 10, 20, 60), (2, 0, 0, 'point', -30, -40, NULL);");
        frame = new CMainFrame();
        ASSERT_NE(frame->CreateMainWindow(), nullptr);
        ::ShowWindow(frame->hwnd(), SW_SHOWNORMAL);
        Show(ID_PANE_MESSAGES);
        Browser().SetStorePath(store->fsPath().wstring());
        ::SetWindowTextW(Browser().filterEdit(), L"");  // every message, not the window's first filter
        Browser().Search();
        ASSERT_TRUE(guitest::PumpUntil([] { return Browser().CheckForNewMessages(), Browser().matchCount() == 2; }));
        map = guitest::FindChild(frame->hwnd(), IDC_MAP_PANE);
        mapButton = guitest::FindChild(frame->hwnd(), IDC_MAP_BUTTON);
    }
    static void TearDownTestSuite() {
        ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
        MSG msg;  // the main window posts the quit message when it goes
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        delete frame;
        delete store;
    }
    static MapPane& Map() { return *static_cast<MapPane*>(win::Window::FromHandle(map)); }
    static CMsgFrame& Browser() { return guitest::MessagesPaneOf(frame->hwnd()); }
    static void Show(UINT pane) {
        ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(pane, 0), 0);
        guitest::PumpUntil([pane] { return pane != ID_PANE_MAP || !Map().loading(); });
    }
    // The map shown, 10 N 20 E in the middle at 4000 px to the radian (about 70 px to a degree).
    void SetUp() override {
        Show(ID_PANE_MAP);
        ASSERT_EQ(Map().shapes().size(), 2u);
        auto& v = Map().view();
        v.pixels_per_radian = 4000;
        v.centre_x = 20 * map::kPi / 180;
        v.centre_y = map::MercatorY(10);
        v.Clamp();
        RECT rc{};
        ::GetClientRect(map, &rc);
        cx = rc.right / 2;
        cy = rc.bottom / 2;
    }
    void Send(UINT msg, WPARAM wParam, int x, int y) { ::SendMessageW(map, msg, wParam, MAKELPARAM(x, y)); }
    bool InView(map::GeoPoint p) const {
        const auto px = Map().view().ToPixel(p);
        return px.x > 0 && px.x < 2 * cx && px.y > 0 && px.y < 2 * cy;
    }
    static bool ColourNear(const guitest::Picture& picture, int x, int y, COLORREF c, int reach = 2) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (picture.At(x + dx, y + dy) == c) return true;
        return false;
    }

    static inline browsertest::StoreFile* store = nullptr;
    static inline CMainFrame* frame = nullptr;
    static inline HWND map = nullptr, mapButton = nullptr;
    int cx = 0, cy = 0;
};

// The button shows the map with the land resource in the messages' place; drawn there is the circle
// in the distress colour, and after a cancellation in grey.
TEST_F(MapPaneTest, TheButtonShowsTheMapInTheMessagesPlaceAndShapesLandOnTheirPixels) {
    RECT mapRect{}, messagesRect{};
    ::GetWindowRect(map, &mapRect);
    Show(ID_PANE_MESSAGES);
    EXPECT_EQ(std::make_pair(::IsWindowVisible(map), ::SendMessageW(mapButton, BM_GETCHECK, 0, 0)), std::make_pair(FALSE, LRESULT{BST_UNCHECKED}));
    ::GetWindowRect(Browser().hwnd(), &messagesRect);
    EXPECT_EQ(std::make_pair(mapRect.top, mapRect.bottom), std::make_pair(messagesRect.top, messagesRect.bottom));
    ::SendMessageW(mapButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(guitest::PumpUntil([] { return ::IsWindowVisible(map) && !Map().loading(); }));
    EXPECT_EQ(std::make_pair(guitest::ShownPaneWindow(frame->hwnd()), ::SendMessageW(mapButton, BM_GETCHECK, 0, 0)), std::make_pair(map, LRESULT{BST_CHECKED}));
    EXPECT_EQ(Map().landRings(), static_cast<std::size_t>(VASTREL_LAND_RINGS));

    // The circle's north point, 11 N 20 E: (MercatorY(11) - MercatorY(10)) * 4000 = 71.2 px above the
    // middle; its south point, 9 N, 70.9 px below. Outside it nothing is red (inside, its hatching is).
    const guitest::Picture picture(map);
    ASSERT_TRUE(picture.ok());
    EXPECT_TRUE(ColourNear(picture, cx, cy - 71, kDistress, 0) && ColourNear(picture, cx, cy + 71, kDistress, 0));
    EXPECT_FALSE(ColourNear(picture, cx, cy - 110, kDistress, 0) || ColourNear(picture, cx + 110, cy, kDistress, 0));
    // A cancelled warning is drawn grey once the pane is shown again.
    store->database().Execute("UPDATE warning_rows SET state = 'cancelled' WHERE id = 1");
    Show(ID_PANE_MESSAGES);
    SetUp();
    const guitest::Picture muted(map);
    store->database().Execute("UPDATE warning_rows SET state = 'inforce' WHERE id = 1");
    Show(ID_PANE_MESSAGES);
    EXPECT_TRUE(ColourNear(muted, cx, cy - 71, kMuted) && !ColourNear(muted, cx, cy - 71, kDistress));
}

TEST_F(MapPaneTest, PointingReadsOutClickingPicksAndTheBrowsersChoiceIsBroughtIntoView) {
    Send(WM_MOUSEMOVE, 0, cx, cy - 71);
    const std::wstring text = Map().readoutText();
    // Within half a pixel (0.4') of 11-00.0N 020-00.0E, with the warning and the message's first line.
    EXPECT_EQ(text.substr(0, 5) + text.substr(8, 7), L"11-00 020-00") << text;
    EXPECT_TRUE(text.find(L"NAVAREA I 5/26") != std::wstring::npos && text.find(L"DISTRESS RELAY") != std::wstring::npos) << text;
    // The position to the clipboard, the picture to a PNG file.
    ASSERT_TRUE(Map().CopyPosition());
    const std::wstring copied = guitest::ClipboardText();
    EXPECT_EQ(copied.substr(0, 5) + copied.substr(8, 7), L"11-00 020-00") << copied;
    const std::wstring png = store->fsPath().wstring() + L".png";
    ASSERT_TRUE(Map().SaveAsPng(png));
    EXPECT_EQ(guitest::ReadFileBytes(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    ::DeleteFileW(png.c_str());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, cx, cy - 71);
    Send(WM_LBUTTONUP, 0, cx, cy - 71);
    EXPECT_EQ(std::make_pair(Browser().selectedId(), Map().selected()), std::make_pair(std::int64_t{1}, std::int64_t{1}));

    // Message 2 chosen in the browser: the map, shown again, selects its point and brings it into view.
    Show(ID_PANE_MESSAGES);
    ASSERT_TRUE(Browser().SelectMessage(2));
    ::SendMessageW(mapButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(guitest::PumpUntil([] { return !Map().loading(); }));
    EXPECT_EQ(Map().selected(), 2);
    EXPECT_TRUE(InView({-40, -30}));
}

TEST_F(MapPaneTest, WheelKeysDragAndDoubleClickMoveTheView) {
    ASSERT_TRUE(Browser().SelectMessage(2));  // a drag over the circle must not pick it
    const auto before = Map().view().ToGeo(cx + 50, cy + 30);
    POINT screen{cx + 50, cy + 30};
    ::ClientToScreen(map, &screen);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), screen.x, screen.y);
    EXPECT_NEAR(Map().view().pixels_per_radian, 5000, 1e-6);
    const auto after = Map().view().ToGeo(cx + 50, cy + 30);  // zoomed about the pointer
    EXPECT_NEAR(std::hypot(after.lat - before.lat, after.lon - before.lon), 0, 1e-6);
    ::SendMessageW(map, WM_KEYDOWN, VK_SUBTRACT, 0);
    EXPECT_NEAR(Map().view().pixels_per_radian, 5000 / 1.5, 1e-6);
    ::SendMessageW(map, WM_KEYDOWN, VK_HOME, 0);  // fits both shapes
    EXPECT_TRUE(InView({-40, -30}) && InView({20, 10}));

    SetUp();
    const auto middle = Map().view().ToGeo(cx, cy);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, cx, cy);
    Send(WM_MOUSEMOVE, MK_LBUTTON, cx + 70, cy);
    Send(WM_LBUTTONUP, 0, cx + 70, cy);
    // The land under the pointer moved with it: what was in the middle is now 70 px to the right.
    EXPECT_NEAR(Map().view().ToGeo(cx + 70, cy).lon, middle.lon, 1e-9);
    EXPECT_EQ(Browser().selectedId(), 2);  // a drag is no click
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, cx, cy);
    EXPECT_NEAR(Map().view().pixels_per_radian, 8000, 1e-6);
}

}  // namespace
