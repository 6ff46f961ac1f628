// Keys on the grid: cell navigation, Tab with and without its option, and keys that start editing.
#include "grid_fixture.h"

namespace gridtest {
namespace {

using KeyboardTest = GridTest;
using Cell = CPropertyGridCtrl::Cell;

TEST_F(KeyboardTest, LeftAndRightMoveWithinTheRowAndStopAtTheEdges) {
    grid.selectItem(kCheckRow, 0);
    parent.notes.clear();
    Key(VK_RIGHT, grid.hwnd());
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 1}));
    ASSERT_EQ(parent.notes.size(), 1u);
    EXPECT_EQ(parent.notes[0].code, GRID_SELECTION_CHANGED);
    EXPECT_EQ(parent.notes[0].item, check);
    Key(VK_RIGHT, grid.hwnd());
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 1}));
    EXPECT_EQ(parent.notes.size(), 1u);
    Key(VK_LEFT, grid.hwnd());
    Key(VK_LEFT, grid.hwnd());
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 0}));
    EXPECT_EQ(parent.notes.size(), 2u);
    EXPECT_FALSE(check->checked() == false);  // navigation never changes values
}

TEST_F(KeyboardTest, UpAndDownMoveRowsKeepingTheColumnWithinTheDataRows) {
    grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT | GRID_OPT_ADD_ROW);
    grid.selectItem(kPlainRow, 1);
    ::SendMessageW(grid.hwnd(), GRID_MSG_NAVIGATE, VK_UP, 0);
    EXPECT_EQ(grid.selectedCell(), (Cell{kPlainRow, 1}));
    ::SendMessageW(grid.hwnd(), GRID_MSG_NAVIGATE, VK_DOWN, 0);
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 1}));
    grid.selectItem(kChannelRow, 1);
    parent.notes.clear();
    ::SendMessageW(grid.hwnd(), GRID_MSG_NAVIGATE, VK_DOWN, 0);  // never onto the add-row
    EXPECT_EQ(grid.selectedCell(), (Cell{kChannelRow, 1}));
    EXPECT_TRUE(parent.notes.empty());
    ::SendMessageW(grid.hwnd(), GRID_MSG_NAVIGATE, VK_UP, 0);
    EXPECT_EQ(grid.selectedCell(), (Cell{kRateRow, 1}));
    ASSERT_FALSE(parent.notes.empty());
    EXPECT_EQ(parent.notes.back().item, rates);
}

TEST_F(KeyboardTest, TabWithoutTheOptionAsksTheParentForTheNextControl) {
    grid.selectItem(kCheckRow, 0);
    Key(VK_TAB, grid.hwnd());
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 0}));
    ASSERT_EQ(parent.nextControlRequests.size(), 1u);
    EXPECT_EQ(parent.nextControlRequests[0], 0u);

    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    ::SetKeyboardState(keys);
    Key(VK_TAB, grid.hwnd());
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    ASSERT_EQ(parent.nextControlRequests.size(), 2u);
    EXPECT_EQ(parent.nextControlRequests[1], 1u);  // backwards with Shift
}

TEST_F(KeyboardTest, TabWithTheOptionMovesToTheNextCell) {
    grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT | GRID_OPT_TAB_NAVIGATES);
    grid.selectItem(kCheckRow, 0);
    Key(VK_TAB, grid.hwnd());
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 1}));
    EXPECT_TRUE(parent.nextControlRequests.empty());
}

TEST_F(KeyboardTest, NoCellNavigationOptionSwitchesNavigationOff) {
    grid.setOptions(GRID_OPT_NO_CELL_NAVIGATION | GRID_OPT_TAB_NAVIGATES);
    grid.selectItem(kCheckRow, 0);
    parent.notes.clear();
    Key(VK_RIGHT, grid.hwnd());
    Key(VK_TAB, grid.hwnd());
    ::SendMessageW(grid.hwnd(), GRID_MSG_NAVIGATE, VK_DOWN, 0);
    EXPECT_EQ(grid.selectedCell(), (Cell{kCheckRow, 0}));
    EXPECT_TRUE(parent.notes.empty());
}

TEST_F(KeyboardTest, SpaceEnterAndF2ToggleACheckBoxOnceEach) {
    grid.selectItem(kCheckRow, 1);
    parent.notes.clear();
    ::SendMessageW(grid.hwnd(), WM_KEYDOWN, VK_SPACE, 1);
    ::SendMessageW(grid.hwnd(), WM_CHAR, L' ', 1);  // the space character is swallowed
    EXPECT_FALSE(check->checked());
    Key(VK_RETURN, grid.hwnd());
    EXPECT_TRUE(check->checked());
    Key(VK_F2, grid.hwnd());
    EXPECT_FALSE(check->checked());
    EXPECT_EQ(CodesFor(check).size(), 6u);
    grid.selectItem(kDisabledRow, 1);
    Key(VK_RETURN, grid.hwnd());
    EXPECT_FALSE(disabledCheck->checked());
}

TEST_F(KeyboardTest, ALetterOnTheButtonWithTheListClosedPicksAndCommits) {
    grid.selectItem(kChannelRow, 1);
    Key(VK_RETURN, grid.hwnd());
    CPropertyListWindow* editor = ListEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return editor->dropDownShown(); }));
    ::SendMessageW(editor->hwnd(), CPropertyEditorWindow::kMsgPress, 0, 0);  // closes the drop-down
    ASSERT_FALSE(editor->dropDownShown());
    parent.notes.clear();
    Char(L'r', editor->buttonWindow());
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(channels->index(), 2);
    EXPECT_EQ(CodesFor(channels), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
}

}  // namespace
}  // namespace gridtest
