// The Map pane in the main window: a store of two messages with shapes, shown, drawn, picked, moved.
// One main window serves every case (making one costs Wine seconds); each case starts from the same view.
#include <windows.h>

#include <cmath>
#include <ctime>
#include <fstream>
#include <string>

#include "browser_model/browser_store.h"
#include "land_rings_count.h"
#include "win/display_picture.h"
#include "win/main_frame_fixture.h"

namespace {

constexpr COLORREF kDistress = RGB(210, 30, 30), kMuted = RGB(160, 160, 160), kHome = RGB(0, 0, 0);

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
        frame->CentreOnMonitor();
        ::ShowWindow(frame->hwnd(), SW_SHOWNORMAL);
        Show(ID_PANE_MESSAGES);
        Browser().SetStorePath(store->fsPath().wstring());
        ::SetWindowTextW(Browser().filterEdit(), L"");  // every message, not the window's first filter
        Browser().Search();
        ASSERT_TRUE(guitest::PumpUntil([] {
            Browser().CheckForNewMessages();
            return Browser().matchCount() == 2;
        })) << Browser().matchCount();
        map = guitest::FindChild(frame->hwnd(), IDC_MAP_PANE);
        mapButton = guitest::FindChild(frame->hwnd(), IDC_MAP_BUTTON);
        ::SendMessageW(mapButton, BM_CLICK, 0, 0);
        ASSERT_TRUE(guitest::PumpUntil([] { return !Map().loading(); }));
    }
    static void TearDownTestSuite() {
        if (frame && frame->hwnd()) ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
        guitest::Pump();
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

    void SetUp() override {
        ASSERT_TRUE(map && ::IsWindowVisible(map));
        ASSERT_EQ(Map().shapes().size(), 2u);
        ResetView();
    }
    // 10 N 20 E in the middle, 4000 px to the radian (about 70 px to a degree).
    void ResetView() {
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

TEST_F(MapPaneTest, TheButtonShowsTheMapInTheMessagesPlaceWithTheLandResource) {
    EXPECT_EQ(Map().landRings(), static_cast<std::size_t>(VASTREL_LAND_RINGS));
    EXPECT_EQ(guitest::ShownPaneWindow(frame->hwnd()), map);
    EXPECT_EQ(::SendMessageW(mapButton, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(::IsWindowVisible(Browser().hwnd()));
    RECT mapRect{}, messagesRect{};
    ::GetWindowRect(map, &mapRect);
    Show(ID_PANE_MESSAGES);
    EXPECT_FALSE(::IsWindowVisible(map));
    EXPECT_EQ(::SendMessageW(mapButton, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ::GetWindowRect(Browser().hwnd(), &messagesRect);
    EXPECT_EQ(std::make_pair(mapRect.top, mapRect.bottom), std::make_pair(messagesRect.top, messagesRect.bottom));
    ::SendMessageW(mapButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(guitest::PumpUntil([] { return ::IsWindowVisible(map) && !Map().loading(); }));
}

TEST_F(MapPaneTest, ShapesHomeAndMutedWarningsLandOnTheirPixelsAtEachDpi) {
    // The circle's north point, 11 N 20 E: (MercatorY(11) - MercatorY(10)) * 4000 = 71.2 px above the
    // middle; its south point, 9 N, 70.9 px below. Drawn in the distress colour.
    const guitest::Picture picture(map);
    ASSERT_TRUE(picture.ok());
    EXPECT_TRUE(ColourNear(picture, cx, cy - 71, kDistress, 0));
    EXPECT_TRUE(ColourNear(picture, cx, cy + 71, kDistress, 0));
    // Outside the circle nothing is red (inside, its light hatching is).
    EXPECT_FALSE(ColourNear(picture, cx, cy - 110, kDistress, 0));
    EXPECT_FALSE(ColourNear(picture, cx + 110, cy, kDistress, 0));
    // Home at 12 N 22 E: 143.0 px up, 2 deg * 69.8 = 139.6 px right. Its cross bar spans 19 px at 96
    // DPI (6 + 3 and 6 + 4 either side), twice that at 192.
    Map().SetHome(map::GeoPoint{22, 12});
    const auto widest = [&] {
        guitest::Picture picture(map);
        int best = 0;
        for (int y = cy - 146; y <= cy - 140; ++y) best = std::max(best, picture.CountInRow(y, kHome));
        return best;
    };
    const int at96 = widest();
    Map().SetDpi(192);
    const int at192 = widest();
    Map().SetDpi(96);
    EXPECT_TRUE(at96 >= 18 && at96 <= 24) << at96;
    EXPECT_NEAR(at192, 2 * at96, 4);

    // A cancelled warning is drawn grey; the home marker is back after the pane is shown again.
    store->database().Execute("UPDATE warning_rows SET state = 'cancelled' WHERE id = 1");
    Show(ID_PANE_MESSAGES);
    Show(ID_PANE_MAP);
    ResetView();
    Map().SetHome(map::GeoPoint{22, 12});
    guitest::Picture muted(map);
    store->database().Execute("UPDATE warning_rows SET state = 'inforce' WHERE id = 1");
    Show(ID_PANE_MESSAGES);
    Show(ID_PANE_MAP);
    EXPECT_TRUE(ColourNear(muted, cx, cy - 71, kMuted));
    EXPECT_FALSE(ColourNear(muted, cx, cy - 71, kDistress));
    EXPECT_TRUE(ColourNear(muted, cx + 140, cy - 143, kHome));
}

TEST_F(MapPaneTest, PointingReadsOutClickingPicksAndTheBrowsersChoiceIsBroughtIntoView) {
    Send(WM_MOUSEMOVE, 0, cx, cy - 71);
    const std::wstring text = Map().readoutText();
    // Within half a pixel (0.4') of 11-00.0N 020-00.0E, with the warning and the message's first line.
    EXPECT_EQ(text.substr(0, 5) + text.substr(8, 7), L"11-00 020-00") << text;
    EXPECT_NE(text.find(L"NAVAREA I 5/26"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"DISTRESS RELAY"), std::wstring::npos) << text;
    Send(WM_LBUTTONDOWN, MK_LBUTTON, cx, cy - 71);
    Send(WM_LBUTTONUP, 0, cx, cy - 71);
    EXPECT_EQ(Browser().selectedId(), 1);
    EXPECT_EQ(Map().selected(), 1);

    // The pointer's position to the clipboard; the picture to a PNG file.
    Send(WM_MOUSEMOVE, 0, cx, cy);
    ASSERT_TRUE(Map().CopyPosition());
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
    if (data) ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(copied.substr(0, 5) + copied.substr(8, 7), L"10-00 020-00") << copied;
    const std::filesystem::path png = store->fsPath().wstring() + L".png";
    ASSERT_TRUE(Map().SaveAsPng(png.wstring()));
    std::ifstream in(png, std::ios::binary);
    char head[8] = {};
    in.read(head, 8);
    in.close();
    std::filesystem::remove(png);
    EXPECT_EQ(std::string(head, 8), std::string("\x89PNG\r\n\x1a\n", 8));

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
    ResetView();
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
    EXPECT_TRUE(InView({-40, -30}));
    EXPECT_TRUE(InView({20, 10}));

    ResetView();
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
