// The Map pane in the main window: a store of two messages with shapes, shown, read back, clicked.
#include <windows.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "land_rings_count.h"
#include "messages/message_store.h"
#include "messages/priority.h"
#include "messages/schema.h"
#include "messages/sqlite_db.h"
#include "resource.h"
#include "win/display_picture.h"
#include "win/main_frame_fixture.h"

namespace {

MapPane& MapPaneOf(HWND mainWindow) {
    return *static_cast<MapPane*>(win::Window::FromHandle(guitest::FindChild(mainWindow, IDC_MAP_PANE)));
}

class MapPaneTest : public MainFrameTest {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        store = std::wstring(temp) + L"vastrel_map_" + std::to_wstring(::GetCurrentProcessId()) + L".db";
        std::filesystem::remove(std::filesystem::path(store));
        // Message 1: a distress warning with a 60 nm circle about 10 N 20 E; message 2: a routine
        // message with a point at 30 S 40 W. Written by the store's own writer, kept open meanwhile.
        const std::string path = std::filesystem::path(store).string();
        writer = messages::MessageStore::Open(path);
        const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr)) * 1000;
        for (const char* text : {"DISTRESS RELAY\nmore", "ROUTINE NOTE"}) {
            messages::MessageRow row;
            row.firstHeardMs = row.lastHeardMs = now;
            row.les = 1;
            row.frame = 1;
            row.priority = messages::PriorityOfText(text);
            row.length = static_cast<std::int64_t>(std::strlen(text));
            row.text = text;
            messages::InsertMessage(writer->database(), row);
        }
        writer->database().Execute(
            "DELETE FROM warning_rows; DELETE FROM position_rows;"
            "INSERT INTO warning_rows VALUES (1, 'NAVAREA I', 1, 0, 5, 2026, 'nav', 'inforce', NULL, NULL, NULL, 1, '');"
            "INSERT INTO position_rows VALUES (1, 0, 0, 'circle', 10, 20, 60), (2, 0, 0, 'point', -30, -40, NULL);");
        MainFrameTest::SetUp();
        {
            auto check = messages::Database::Open(path, SQLITE_OPEN_READONLY);
            messages::Statement c(check, "SELECT count(*), (SELECT count(*) FROM positions) FROM message_rows");
            ASSERT_TRUE(c.Step());
            ASSERT_EQ(c.ColumnInt64(0), 2);
            ASSERT_EQ(c.ColumnInt64(1), 2);
        }
        Command(ID_PANE_MESSAGES);
        guitest::MessagesPaneOf(frame->hwnd()).SetStorePath(store);
        ::SetWindowTextW(guitest::MessagesPaneOf(frame->hwnd()).filterEdit(), L"");  // every message, not the window's first filter
        guitest::MessagesPaneOf(frame->hwnd()).Search();
        ASSERT_TRUE(guitest::PumpUntil([&] {
            guitest::MessagesPaneOf(frame->hwnd()).CheckForNewMessages();
            return guitest::MessagesPaneOf(frame->hwnd()).matchCount() == 2;
        })) << std::string(guitest::MessagesPaneOf(frame->hwnd()).status().begin(), guitest::MessagesPaneOf(frame->hwnd()).status().end()) << " "
            << (guitest::MessagesPaneOf(frame->hwnd()).query() ? guitest::MessagesPaneOf(frame->hwnd()).query()->path() : "none") << " " << path;
        mapButton = guitest::FindChild(frame->hwnd(), IDC_MAP_BUTTON);
        ASSERT_NE(mapButton, nullptr);
        ::SendMessageW(mapButton, BM_CLICK, 0, 0);
        map = guitest::FindChild(frame->hwnd(), IDC_MAP_PANE);
        ASSERT_EQ(map, MapPaneOf(frame->hwnd()).hwnd());
        ASSERT_TRUE(::IsWindowVisible(map));
        ASSERT_TRUE(guitest::PumpUntil([&] { return !MapPaneOf(frame->hwnd()).loading(); }));
        ASSERT_EQ(MapPaneOf(frame->hwnd()).shapes().size(), 2u);
        // 10 N 20 E in the middle, 4000 px to the radian (about 70 px to a degree).
        auto& v = MapPaneOf(frame->hwnd()).view();
        v.pixels_per_radian = 4000;
        v.centre_x = 20 * map::kPi / 180;
        v.centre_y = map::MercatorY(10);
        v.Clamp();
        RECT rc{};
        ::GetClientRect(map, &rc);
        cx = rc.right / 2;
        cy = rc.bottom / 2;
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        writer.reset();
        std::error_code ignored;
        for (const wchar_t* suffix : {L"-wal", L"-shm"}) std::filesystem::remove(std::filesystem::path(store + suffix), ignored);
        std::filesystem::remove(std::filesystem::path(store), ignored);
    }

    std::wstring store;
    std::unique_ptr<messages::MessageStore> writer;
    HWND mapButton = nullptr;
    HWND map = nullptr;
    int cx = 0, cy = 0;
};

TEST_F(MapPaneTest, LandResourceDecodesToTheToolsRingCount) {
    EXPECT_EQ(MapPaneOf(frame->hwnd()).landRings(), static_cast<std::size_t>(VASTREL_LAND_RINGS));
}

TEST_F(MapPaneTest, MapButtonShowsTheMapInTheMessagesPlace) {
    EXPECT_EQ(guitest::ShownPaneWindow(frame->hwnd()), guitest::FindChild(frame->hwnd(), IDC_MAP_PANE));
    EXPECT_EQ(::SendMessageW(mapButton, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(::IsWindowVisible(guitest::MessagesPaneOf(frame->hwnd()).hwnd()));
    const RECT mapRect = ClientRectIn(map);
    Command(ID_PANE_MESSAGES);
    EXPECT_FALSE(::IsWindowVisible(map));
    EXPECT_EQ(::SendMessageW(mapButton, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    const RECT messagesRect = ClientRectIn(guitest::MessagesPaneOf(frame->hwnd()).hwnd());
    EXPECT_EQ(mapRect.top, messagesRect.top);
    EXPECT_EQ(mapRect.bottom, messagesRect.bottom);
}

TEST_F(MapPaneTest, CircleAboutAKnownPointLandsOnItsPixels) {
    // The circle's north point, 11 N 20 E: (MercatorY(11) - MercatorY(10)) * 4000 = 71.2 px above the
    // middle; its south point, 9 N, 70.9 px below. Drawn in the distress colour, 210, 30, 30.
    guitest::Picture picture(map);
    ASSERT_TRUE(picture.ok());
    const auto redNear = [&](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy)
            if (picture.At(x, y + dy) == RGB(210, 30, 30)) return true;
        return false;
    };
    EXPECT_TRUE(redNear(cx, cy - 71));
    EXPECT_TRUE(redNear(cx, cy + 71));
    // Outside the circle nothing is red (inside, its light hatching is).
    EXPECT_FALSE(redNear(cx, cy - 110));
    EXPECT_FALSE(redNear(cx + 110, cy));
}

TEST_F(MapPaneTest, ClickOnAShapeSelectsItsMessageInTheBrowser) {
    ::SendMessageW(map, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy - 71));
    ::SendMessageW(map, WM_LBUTTONUP, 0, MAKELPARAM(cx, cy - 71));
    EXPECT_EQ(guitest::MessagesPaneOf(frame->hwnd()).selectedId(), 1);
    EXPECT_EQ(MapPaneOf(frame->hwnd()).selected(), 1);
}

TEST_F(MapPaneTest, ReadoutGivesThePositionAndTheShapeUnderThePointer) {
    ::SendMessageW(map, WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy - 71));
    const std::wstring text = MapPaneOf(frame->hwnd()).readoutText();
    // Within half a pixel (0.4') of 11-00.0N 020-00.0E.
    EXPECT_EQ(text.substr(0, 5), L"11-00") << text;
    EXPECT_EQ(text.substr(8, 7), L" 020-00") << text;
    EXPECT_NE(text.find(L"NAVAREA I 5/26"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"DISTRESS RELAY"), std::wstring::npos) << text;
}

TEST_F(MapPaneTest, BrowserSelectionIsBroughtIntoView) {
    ASSERT_TRUE(guitest::MessagesPaneOf(frame->hwnd()).SelectMessage(2));
    ::SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(ID_PANE_MESSAGES, 0), 0);
    ::SendMessageW(mapButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(guitest::PumpUntil([&] { return !MapPaneOf(frame->hwnd()).loading(); }));
    EXPECT_EQ(MapPaneOf(frame->hwnd()).selected(), 2);
    const auto px = MapPaneOf(frame->hwnd()).view().ToPixel({-40, -30});
    RECT rc{};
    ::GetClientRect(map, &rc);
    EXPECT_GE(px.x, 0);
    EXPECT_LT(px.x, rc.right);
    EXPECT_GE(px.y, 0);
    EXPECT_LT(px.y, rc.bottom);
}

TEST_F(MapPaneTest, WheelZoomsAboutThePointerAndKeysZoomAndFit) {
    const auto before = MapPaneOf(frame->hwnd()).view().ToGeo(cx + 50, cy + 30);
    POINT screen{cx + 50, cy + 30};
    ::ClientToScreen(map, &screen);
    ::SendMessageW(map, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    EXPECT_NEAR(MapPaneOf(frame->hwnd()).view().pixels_per_radian, 5000, 1e-6);
    const auto after = MapPaneOf(frame->hwnd()).view().ToGeo(cx + 50, cy + 30);
    EXPECT_NEAR(after.lat, before.lat, 1e-6);
    EXPECT_NEAR(after.lon, before.lon, 1e-6);
    ::SendMessageW(map, WM_KEYDOWN, VK_SUBTRACT, 0);
    EXPECT_NEAR(MapPaneOf(frame->hwnd()).view().pixels_per_radian, 5000 / 1.5, 1e-6);
    // Home fits both shapes: 30 S 40 W and 10 N 20 E both in view.
    ::SendMessageW(map, WM_KEYDOWN, VK_HOME, 0);
    for (map::GeoPoint p : {map::GeoPoint{-40, -30}, map::GeoPoint{20, 10}}) {
        const auto px = MapPaneOf(frame->hwnd()).view().ToPixel(p);
        EXPECT_GT(px.x, 0);
        EXPECT_LT(px.x, 2 * cx);
        EXPECT_GT(px.y, 0);
        EXPECT_LT(px.y, 2 * cy);
    }
}

TEST_F(MapPaneTest, DragPansAndDoubleClickZooms) {
    const auto before = MapPaneOf(frame->hwnd()).view().ToGeo(cx, cy);
    ::SendMessageW(map, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    ::SendMessageW(map, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(cx + 70, cy));
    ::SendMessageW(map, WM_LBUTTONUP, 0, MAKELPARAM(cx + 70, cy));
    // The land under the pointer moved with it: what was in the middle is now 70 px to the right.
    const auto moved = MapPaneOf(frame->hwnd()).view().ToGeo(cx + 70, cy);
    EXPECT_NEAR(moved.lon, before.lon, 1e-9);
    EXPECT_EQ(guitest::MessagesPaneOf(frame->hwnd()).selectedId(), 0);  // a drag is no click
    ::SendMessageW(map, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(cx, cy));
    EXPECT_NEAR(MapPaneOf(frame->hwnd()).view().pixels_per_radian, 8000, 1e-6);
}

TEST_F(MapPaneTest, CancelledWarningIsMutedAndHomeIsMarked) {
    writer->database().Execute("UPDATE warning_rows SET state = 'cancelled' WHERE id = 1");
    Command(ID_PANE_MESSAGES);
    Command(ID_PANE_MAP);
    ASSERT_TRUE(guitest::PumpUntil([&] { return !MapPaneOf(frame->hwnd()).loading(); }));
    // Home at 12 N 22 E: (MercatorY(12) - MercatorY(10)) * 4000 = 143.0 px up, 2 deg * 69.8 = 139.6 px right.
    MapPaneOf(frame->hwnd()).SetHome(map::GeoPoint{22, 12});
    guitest::Picture picture(map);
    const auto colourNear = [&](int x, int y, COLORREF c) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (picture.At(x + dx, y + dy) == c) return true;
        return false;
    };
    EXPECT_TRUE(colourNear(cx, cy - 71, RGB(160, 160, 160)));
    EXPECT_FALSE(colourNear(cx, cy - 71, RGB(210, 30, 30)));
    EXPECT_TRUE(colourNear(cx + 140, cy - 143, RGB(0, 0, 0)));
}

TEST_F(MapPaneTest, CopyPositionAndSaveAsPng) {
    ::SendMessageW(map, WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
    ASSERT_TRUE(MapPaneOf(frame->hwnd()).CopyPosition());
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
    if (data) ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(copied.substr(0, 5), L"10-00") << copied;
    EXPECT_EQ(copied.substr(8, 7), L" 020-00") << copied;

    const std::wstring png = store + L".png";
    ASSERT_TRUE(MapPaneOf(frame->hwnd()).SaveAsPng(png));
    std::ifstream f(std::filesystem::path(png), std::ios::binary);
    char head[8] = {};
    f.read(head, 8);
    EXPECT_EQ(std::string(head, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    f.close();
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(png), ignored);
}

TEST_F(MapPaneTest, MarkersAndLinesScaleWithTheDpi) {
    // The home marker's cross bar spans 19 px at 96 DPI (6 + 3 and 6 + 4 either side), twice that at 192.
    MapPaneOf(frame->hwnd()).SetHome(map::GeoPoint{22, 12});
    const auto widest = [&] {
        guitest::Picture picture(map);
        int best = 0;
        for (int y = cy - 146; y <= cy - 140; ++y) best = std::max(best, picture.CountInRow(y, RGB(0, 0, 0)));
        return best;
    };
    const int at96 = widest();
    MapPaneOf(frame->hwnd()).SetDpi(192);
    const int at192 = widest();
    EXPECT_GE(at96, 18);
    EXPECT_LE(at96, 24);
    EXPECT_GE(at192, 2 * at96 - 4);
    EXPECT_LE(at192, 2 * at96 + 4);
}

}  // namespace
