// Clicks on the real grid: check boxes, selection, the cell-click veto and click-to-edit.
#include "grid_fixture.h"

namespace gridtest {
namespace {

using MouseTest = GridTest;

TEST_F(MouseTest, SingleClickOnCheckBoxTogglesOnceAndNotifiesInOrder) {
    ASSERT_TRUE(check->checked());
    Click(kCheckRow, 1);
    EXPECT_FALSE(check->checked());
    EXPECT_EQ(Codes(), (std::vector<int>{GRID_SELECTION_CHANGED, GRID_CELL_CLICKED, GRID_VALUE_CHANGING,
                                         GRID_VALUE_CHANGED}));
    EXPECT_EQ(parent.notes[0].item, check);  // the new row's cell in the clicked column
    EXPECT_EQ(CodesFor(check), (std::vector<int>{GRID_CELL_CLICKED, GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
    EXPECT_EQ(grid.selectedCell(), (CPropertyGridCtrl::Cell{kCheckRow, 1}));
    EXPECT_TRUE(EditorClosed());
}

TEST_F(MouseTest, ClickOnDisabledCheckBoxChangesNothing) {
    Click(kDisabledRow, 1);
    EXPECT_FALSE(disabledCheck->checked());
    EXPECT_EQ(CodesFor(disabledCheck), (std::vector<int>{GRID_CELL_CLICKED}));
}

TEST_F(MouseTest, DoubleClickOnCheckBoxTogglesTwice) {
    DoubleClick(kCheckRow, 1);
    EXPECT_TRUE(check->checked());
    EXPECT_EQ(CodesFor(check), (std::vector<int>{GRID_CELL_CLICKED, GRID_VALUE_CHANGING, GRID_VALUE_CHANGED,
                                                 GRID_CELL_CLICKED, GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
}

TEST_F(MouseTest, ClickOutsideAllCellsClearsTheSelection) {
    Click(kPlainRow, 1);
    ASSERT_TRUE(grid.selectedCell().valid());
    parent.notes.clear();
    RECT client{};
    ::GetClientRect(grid.hwnd(), &client);
    ClickAt(POINT{20, client.bottom - 5});  // below the last row
    EXPECT_FALSE(grid.selectedCell().valid());
    ASSERT_FALSE(parent.notes.empty());
    EXPECT_EQ(parent.notes.back().code, GRID_SELECTION_CHANGED);
    EXPECT_EQ(parent.notes.back().item, nullptr);
}

TEST_F(MouseTest, NonZeroAnswerToCellClickStopsTheClick) {
    parent.clickedAnswer = 1;
    Click(kCheckRow, 1);
    EXPECT_TRUE(check->checked());
    EXPECT_EQ(CodesFor(check), (std::vector<int>{GRID_CELL_CLICKED}));
    Click(kRateRow, 1);
    EXPECT_TRUE(EditorClosed());
}

TEST_F(MouseTest, MovingWithinTheRowReportsTheNewCell) {
    Click(kPlainRow, 0);
    parent.notes.clear();
    Click(kPlainRow, 1);
    ASSERT_FALSE(parent.notes.empty());
    EXPECT_EQ(parent.notes[0].code, GRID_CELL_CLICKED);
    ASSERT_GE(parent.notes.size(), 2u);
    EXPECT_EQ(parent.notes[1].code, GRID_SELECTION_CHANGED);
    EXPECT_EQ(parent.notes[1].item, plain);
    EXPECT_EQ(grid.selectedCell(), (CPropertyGridCtrl::Cell{kPlainRow, 1}));
}

TEST_F(MouseTest, WithoutSingleClickEditingOnlyASecondClickOpensTheEditor) {
    grid.setOptions(0);
    Click(kRateRow, 1);
    EXPECT_TRUE(EditorClosed());
    EXPECT_EQ(grid.selectedCell(), (CPropertyGridCtrl::Cell{kRateRow, 1}));
    Click(kRateRow, 1);
    ASSERT_NE(ListEditor(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return ListEditor() && ListEditor()->dropDownShown(); }));
}

}  // namespace
}  // namespace gridtest
