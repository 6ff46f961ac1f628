// Rows and cells (ranges, painting), the items without a grid, the window base's lifetime rule. (The
// add-row, row deletion and the display options the main window does not use are not tested.)
#include "grid_fixture.h"

#include <tuple>

namespace gridtest {
namespace {

using ModelTest = GridTest;

TEST_F(ModelTest, OutOfRangeCallsDoNothing) {
    for (Cell c : {Cell{-1, 0}, Cell{kRows, 0}, Cell{0, 2}, Cell{0, -1}}) EXPECT_EQ(grid.getSubItem(c.row, c.column), nullptr);
    EXPECT_FALSE(grid.setSubItem(kRows, 1, std::make_unique<CPropertyItem>(L"")));
    grid.selectItem(kCheckRow, 1), Forget();
    for (Cell c : {Cell{99, 0}, Cell{0, 9}}) grid.selectItem(c.row, c.column);
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 1}));
    CPropertyItem stranger(L"x");
    EXPECT_FALSE(grid.findItem(&stranger).valid());
    PropertyValue v(1);
    ::SendMessageW(grid.hwnd(), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&v), reinterpret_cast<LPARAM>(&stranger));
    EXPECT_TRUE(parent.notes.empty());
}

TEST_F(ModelTest, CellsArePaintedByTheirItemsWithGridLines) {
    const auto pixelAt = [&](POINT pt) {
        ::RedrawWindow(grid.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
        win::WindowDc dc(grid.hwnd());
        return ::GetPixel(dc.get(), pt.x, pt.y);
    };
    const POINT value = CellCentre(kPlainRow, 1);
    EXPECT_EQ(pixelAt(POINT{150, value.y}), RGB(234, 230, 170));  // right of the label text
    EXPECT_EQ(pixelAt(POINT{value.x + 90, value.y}), ::GetSysColor(COLOR_WINDOW));
    RECT cell{LVIR_BOUNDS, 1, 0, 0};
    ::SendMessageW(grid.hwnd(), LVM_GETSUBITEMRECT, kPlainRow, reinterpret_cast<LPARAM>(&cell));
    EXPECT_EQ(pixelAt(POINT{cell.left + 50, cell.bottom - 1}), ::GetSysColor(COLOR_BTNFACE));  // its bottom grid line
}

TEST(ItemsTest, AListTakesItsTextsExactlyAndAnythingElseBecomesTheFirstEntry) {
    CPropertyListItem list(L"");
    const wchar_t* entries[] = {L"Mono", L"Left channel", L"Right channel", nullptr};
    list.SetList(entries);
    EXPECT_EQ(list.index(), 0);
    const std::tuple<PropertyValue, bool, int> cases[] = {  // the value, whether it is taken, the index then
        {PropertyValue(L"Right channel"), true, 2}, {PropertyValue(L"right channel"), false, 0},  // case counts
        {PropertyValue(L"Stereo"), false, 0},       {PropertyValue(1), true, 1},
        {PropertyValue(3), true, 0},                {PropertyValue(-4), true, 0},  // past either end
        {PropertyValue::Bool(false), true, 0},
    };
    for (const auto& [value, taken, index] : cases) {
        ASSERT_TRUE(list.setValue(PropertyValue(2)));
        EXPECT_EQ(list.setValue(value), taken);
        EXPECT_EQ(list.index(), index);
    }
    list.setValue(PropertyValue(1));
    list.SetList({L"a", L"b", L"c"});  // a new list (another set of devices) keeps a chosen index
    EXPECT_EQ(list.displayString(), L"b");
}

TEST(ItemsTest, APathIsShownCutAndKeptWhole) {
    const std::wstring longPath(400, L'p');
    CPropertyFileNameItem dir(L"", longPath.c_str());
    EXPECT_EQ(dir.displayString(), std::wstring(259, L'p'));
    PropertyValue v;
    dir.value(v);
    EXPECT_EQ(v, PropertyValue(longPath));
}

// Whichever goes first, the window or its object, the window and its children are destroyed; the
// derived handler hears the end only when the window went first; a whole child always hears its own.
struct Log {  // WM_DESTROY and WM_NCDESTROY heard; OnFinalMessage calls
    int destroys = 0, finals = 0;
};
struct Probe : win::Window {
    explicit Probe(Log& log) : log(log) {}
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        log.destroys += msg == WM_DESTROY || msg == WM_NCDESTROY;
        return Window::HandleMessage(msg, wParam, lParam);
    }
    void OnFinalMessage() override { ++log.finals; }
    Log& log;
};

TEST(WindowLifetime, WhicheverGoesFirstTheWindowAndItsChildrenGo) {
    for (const bool windowFirst : {true, false}) {
        SCOPED_TRACE(windowFirst ? "the window first" : "the object first");
        Log log, childLog;
        auto probe = std::make_unique<Probe>(log);
        HWND hwnd = probe->Create(nullptr, RECT{0, 0, 100, 80}, L"probe", WS_OVERLAPPEDWINDOW, 0);
        Probe child(childLog);
        HWND childWindow = child.Create(hwnd, RECT{0, 0, 10, 10}, L"", WS_CHILD | WS_VISIBLE, 0);
        ASSERT_TRUE(hwnd && childWindow);
        if (windowFirst) {
            ::DestroyWindow(hwnd);
            EXPECT_EQ(probe->hwnd(), nullptr);
        }
        probe.reset();
        EXPECT_FALSE(::IsWindow(hwnd) || ::IsWindow(childWindow));
        EXPECT_EQ(child.hwnd(), nullptr);
        EXPECT_EQ(log.destroys, windowFirst ? 2 : 0);
        EXPECT_EQ(log.finals, windowFirst ? 1 : 0);
        EXPECT_EQ(childLog.finals, 1);
    }
}

}  // namespace
}  // namespace gridtest
