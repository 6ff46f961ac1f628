// Rows, cells and the owner's operations: ranges, the add-row, deletion, painting, the font.
#include "grid_fixture.h"

namespace gridtest {
namespace {

using ModelTest = GridTest;
using Cell = CPropertyGridCtrl::Cell;

int ListRows(HWND grid) { return static_cast<int>(::SendMessageW(grid, LVM_GETITEMCOUNT, 0, 0)); }

TEST_F(ModelTest, OutOfRangeCallsDoNothing) {
    EXPECT_EQ(grid.getSubItem(-1, 0), nullptr);
    EXPECT_EQ(grid.getSubItem(kRows, 0), nullptr);
    EXPECT_EQ(grid.getSubItem(0, 2), nullptr);
    EXPECT_EQ(grid.getSubItem(0, -1), nullptr);
    EXPECT_EQ(grid.getSubItem(kCheckRow, 1), Item(kCheckRow));
    EXPECT_FALSE(grid.setSubItem(kRows, 1, std::make_unique<CPropertyItem>(L"")));
    EXPECT_FALSE(grid.setSubItem(0, 2, std::make_unique<CPropertyItem>(L"")));
    EXPECT_FALSE(grid.setSubItem(0, 1, nullptr));
    EXPECT_EQ(grid.insertItem(0, nullptr), -1);
    grid.selectItem(kCheckRow, 1);
    parent.notes.clear();
    grid.selectItem(99, 0);
    grid.selectItem(0, 9);
    grid.selectItem(-1, -1);
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 1}));
    EXPECT_TRUE(parent.notes.empty());
    grid.invalidateCell(-5, 3);
    grid.invalidateCell(100, 1);
    EXPECT_FALSE(grid.deleteRow(kRows));
    EXPECT_FALSE(grid.deleteRow(-1));
    CPropertyItem stranger(L"x");
    EXPECT_FALSE(grid.findItem(&stranger).valid());
    EXPECT_FALSE(grid.findItem(nullptr).valid());
    EXPECT_FALSE(grid.setItemValue(nullptr, PropertyValue(1)));
    grid.enableItem(nullptr, false);
    PropertyValue v(1);
    ::SendMessageW(grid.hwnd(), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&v), reinterpret_cast<LPARAM>(&stranger));
    ::SendMessageW(grid.hwnd(), GRID_MSG_SET_VALUE, 0, reinterpret_cast<LPARAM>(Item(kCheckRow)));
    EXPECT_TRUE(parent.notes.empty());
    EXPECT_EQ(grid.dataRowCount(), kRows);
    EXPECT_EQ(grid.findItem(Item(kRateRow)), (Cell{kRateRow, 1}));
}

TEST_F(ModelTest, RowsGoBeforeTheAddRowAndAClickOnItAsksForANewRow) {
    grid.setOptions(GRID_OPT_ADD_ROW);
    grid.setOptions(GRID_OPT_ADD_ROW | GRID_OPT_SINGLE_CLICK_EDIT);  // still one add-row
    EXPECT_EQ(grid.dataRowCount(), 8);
    EXPECT_EQ(ListRows(grid.hwnd()), 9);
    auto a = std::make_unique<CPropertyItem>(L"appended");
    IProperty* appended = a.get();
    EXPECT_EQ(grid.insertItem(-1, std::move(a)), 8);
    EXPECT_EQ(grid.insertItem(999, std::make_unique<CPropertyItem>(L"far")), 9);
    EXPECT_EQ(grid.insertItem(0, std::make_unique<CPropertyItem>(L"first")), 0);
    EXPECT_EQ(grid.dataRowCount(), 11);
    EXPECT_EQ(grid.findItem(appended), (Cell{9, 0}));
    EXPECT_NE(dynamic_cast<CPropertyCheckButtonItem*>(Item(kCheckRow + 1)), nullptr);  // moved down a row
    wchar_t text[32] = {};
    LVITEMW lvi{};
    lvi.pszText = text;
    lvi.cchTextMax = 32;
    ::SendMessageW(grid.hwnd(), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&lvi));
    EXPECT_STREQ(text, L"first");  // the row text is the item's name

    int added = 0;
    parent.onAddRow = [&] {
        ++added;
        grid.insertItem(-1, std::make_unique<CPropertyItem>(L"new"));
    };
    Forget();
    Click(11, 1);  // the add-row spans the whole row
    EXPECT_EQ(added, 1);
    EXPECT_EQ(grid.dataRowCount(), 12);
    EXPECT_EQ(ListRows(grid.hwnd()), 13);
    ASSERT_FALSE(parent.notes.empty());
    EXPECT_EQ(parent.notes.back().code, GRID_ADD_ROW_REQUESTED);
    EXPECT_EQ(parent.notes.back().item, nullptr);
    EXPECT_EQ(grid.selectedCell(), (Cell{12, 0}));  // the add-row moved down and stays selected
    EXPECT_TRUE(EditorClosed());
    grid.setOptions(0);
    EXPECT_EQ(ListRows(grid.hwnd()), 12);
    EXPECT_EQ(grid.dataRowCount(), 12);
}

TEST_F(ModelTest, DeletingTheRowWithTheOpenEditorClosesItFirst) {
    Click(kRateRow, 1);
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    IProperty* channels = Item(kChannelRow);
    Forget();
    EXPECT_TRUE(grid.deleteRow(kRateRow));
    EXPECT_TRUE(EditorClosed());
    EXPECT_FALSE(grid.selectedCell().valid());
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(editor); }));
    EXPECT_EQ(grid.dataRowCount(), kRows - 1);
    EXPECT_EQ(grid.getSubItem(kRateRow, 1), channels);
    EXPECT_EQ(SelectionNotes(), std::vector<Cell>{Cell{}});
}

COLORREF PixelAt(HWND hwnd, POINT pt) {
    win::WindowDc dc(hwnd);
    return ::GetPixel(dc.get(), pt.x, pt.y);
}

TEST_F(ModelTest, CellsArePaintedByTheirItems) {
    ::RedrawWindow(grid.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    POINT label = CellCentre(kPlainRow, 0);
    label.x = 150;  // right of the label text
    EXPECT_EQ(PixelAt(grid.hwnd(), label), RGB(234, 230, 170));
    POINT value = CellCentre(kPlainRow, 1);
    value.x += 90;
    EXPECT_EQ(PixelAt(grid.hwnd(), value), ::GetSysColor(COLOR_WINDOW));

    // The bottom grid line of a value cell, then without grid lines.
    RECT cell{LVIR_BOUNDS, 1, 0, 0};
    ::SendMessageW(grid.hwnd(), LVM_GETSUBITEMRECT, kPlainRow, reinterpret_cast<LPARAM>(&cell));
    POINT line{cell.left + 50, cell.bottom - 1};
    EXPECT_EQ(PixelAt(grid.hwnd(), line), ::GetSysColor(COLOR_BTNFACE));
    grid.setOptions(GRID_OPT_NO_GRID_LINES);
    ::RedrawWindow(grid.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    EXPECT_EQ(PixelAt(grid.hwnd(), line), ::GetSysColor(COLOR_WINDOW));

    // Highlighting the selected cell.
    grid.setOptions(GRID_OPT_HIGHLIGHT_SELECTED_CELL);
    grid.selectItem(kPlainRow, 1);
    ::RedrawWindow(grid.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    EXPECT_EQ(PixelAt(grid.hwnd(), value), ::GetSysColor(COLOR_HIGHLIGHT));
}

TEST_F(ModelTest, SettingChangeRebuildsTheFontFromTheParent) {
    LOGFONTW lf{};
    lf.lfHeight = -27;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    parent.font = ::CreateFontIndirectW(&lf);
    ::SendMessageW(grid.hwnd(), WM_SETTINGCHANGE, 0, 0);
    HFONT now = reinterpret_cast<HFONT>(::SendMessageW(grid.hwnd(), WM_GETFONT, 0, 0));
    ASSERT_NE(now, nullptr);
    EXPECT_NE(now, parent.font);  // a copy the grid owns
    LOGFONTW got{};
    ASSERT_EQ(::GetObjectW(now, sizeof(got), &got), static_cast<int>(sizeof(got)));
    EXPECT_EQ(got.lfHeight, -27);
}

}  // namespace
}  // namespace gridtest
