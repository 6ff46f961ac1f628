// The grid as the user drives it, one scenario a row: the mouse, the keys, the in-place editors (list
// drop-down, directory button, typed text) and what commits, cancels, vetoes or closes them. Each row
// says what the user does and how the row's value cell ends: the grid's notifications about it (in
// order, selection changes aside), its value, whether an editor is open, the selected cell and the
// cells the selection-change notifications named.
#include "grid_fixture.h"

#include <optional>
#include <ostream>

namespace gridtest {
namespace {

using Cell = CPropertyGridCtrl::Cell;
using Cells = std::vector<Cell>;
constexpr int CLICKED = GRID_CELL_CLICKED, CHANGING = GRID_VALUE_CHANGING, CHANGED = GRID_VALUE_CHANGED,
              BROWSE = GRID_BROWSE_REQUESTED;
enum class Editor { Closed, Open };

struct Scenario {
    const char* name;
    void (*act)(GridTest& t);
    int row;
    std::vector<int> codes;
    const wchar_t* value;  // null: not looked at
    Editor editor;
    std::optional<Cell> selected = std::nullopt;
    std::optional<Cells> selections = std::nullopt;
};
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class GridScenario : public GridTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(GridScenario, EndsAsTheRowSays) {
    const Scenario& s = GetParam();
    s.act(*this);
    EXPECT_EQ(CodesFor(Item(s.row)), s.codes);
    if (s.value) {
        EXPECT_EQ(ValueOf(s.row), s.value);
    }
    EXPECT_EQ(EditorClosed(), s.editor == Editor::Closed);
    if (s.selected) {
        EXPECT_EQ(grid.selectedCell(), *s.selected);
    }
    if (s.selections) {
        EXPECT_EQ(SelectionNotes(), *s.selections);
    }
}

std::string NameOf(const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; }

// Types into the channel row's editor, then sends the grid `msg`: what closes an editor without a commit.
void TypeThenSend(GridTest& t, UINT msg, WPARAM wParam, LPARAM lParam = 0) {
    t.Open(kChannelRow);
    ::SetWindowTextW(t.grid.editorWindow(), L"Right channel");
    ::SendMessageW(t.grid.hwnd(), msg, wParam, lParam);
}
void PickWithEnter(GridTest& t, int row, int entry) {
    HWND list = t.OpenDropDown(row);
    ::SendMessageW(list, LB_SETCURSEL, entry, 0);
    t.Forget();
    t.Key(VK_RETURN, list);
    EXPECT_TRUE(t.WaitClosed());
}
void Keys(GridTest& t, std::initializer_list<UINT> keys) {
    for (UINT vk : keys) t.Key(vk, t.grid.hwnd());
}

const Scenario kMouse[] = {
    {"ClickTogglesACheckBoxOnce", [](GridTest& t) { t.Click(kCheckRow, 1); },
     kCheckRow, {CLICKED, CHANGING, CHANGED}, L"off", Editor::Closed, Cell{kCheckRow, 1}, Cells{{kCheckRow, 1}}},
    {"ClickOnADisabledCheckBoxChangesNothing", [](GridTest& t) { t.Click(kDisabledRow, 1); },
     kDisabledRow, {CLICKED}, L"off", Editor::Closed},
    {"DoubleClickTogglesTwice", [](GridTest& t) {
         t.Click(kCheckRow, 1);
         t.ClickAt(t.CellCentre(kCheckRow, 1), WM_LBUTTONDBLCLK);
     },
     kCheckRow, {CLICKED, CHANGING, CHANGED, CLICKED, CHANGING, CHANGED}, L"on", Editor::Closed},
    {"ClickBelowTheRowsClearsTheSelection", [](GridTest& t) {
         t.Open(kPlainRow);
         RECT client{};
         ::GetClientRect(t.grid.hwnd(), &client);
         t.ClickAt(POINT{20, client.bottom - 5});
     },
     kPlainRow, {}, L"plain", Editor::Closed, Cell{}, Cells{Cell{}}},
    {"ANonZeroAnswerToTheCellClickStopsTheToggle", [](GridTest& t) { t.parent.clickedAnswer = 1, t.Click(kCheckRow, 1); },
     kCheckRow, {CLICKED}, L"on", Editor::Closed},
    {"ANonZeroAnswerToTheCellClickOpensNoEditor", [](GridTest& t) { t.parent.clickedAnswer = 1, t.Click(kRateRow, 1); },
     kRateRow, {CLICKED}, L"8000 Hz", Editor::Closed},
    {"MovingWithinTheRowReportsTheNewCell", [](GridTest& t) { t.Click(kPlainRow, 0), t.Forget(), t.Click(kPlainRow, 1); },
     kPlainRow, {CLICKED}, L"plain", Editor::Closed, Cell{kPlainRow, 1}, Cells{{kPlainRow, 1}}},
    {"WithoutSingleClickEditingTheSecondClickOpensTheList", [](GridTest& t) {
         t.grid.setOptions(0);
         t.Click(kRateRow, 1);
         EXPECT_TRUE(t.EditorClosed());
         EXPECT_EQ(t.grid.selectedCell(), (Cell{kRateRow, 1}));
         EXPECT_NE(t.OpenDropDown(kRateRow), nullptr);
     },
     kRateRow, {CLICKED, CLICKED}, L"8000 Hz", Editor::Open, Cell{kRateRow, 1}},
    {"ADisabledItemOpensNoEditorAndDisablingClosesAnOpenOne", [](GridTest& t) {
         t.grid.enableItem(t.Item(kRateRow), false);
         t.Click(kRateRow, 1);
         EXPECT_TRUE(t.EditorClosed());
         t.grid.enableItem(t.Item(kRateRow), true);
         t.Open(kRateRow);
         EXPECT_FALSE(t.EditorClosed());
         t.grid.enableItem(t.Item(kRateRow), false);
     },
     kRateRow, {}, L"8000 Hz", Editor::Closed},
};
INSTANTIATE_TEST_SUITE_P(Mouse, GridScenario, ::testing::ValuesIn(kMouse), NameOf);

const Scenario kKeyboard[] = {
    {"LeftAndRightMoveWithinTheRowAndStopAtTheEdges", [](GridTest& t) {
         t.grid.selectItem(kCheckRow, 0);
         t.Forget();
         Keys(t, {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_LEFT});
     },
     kCheckRow, {}, L"on", Editor::Closed, Cell{kCheckRow, 0}, Cells{{kCheckRow, 1}, {kCheckRow, 0}}},
    {"UpAndDownKeepTheColumnAndStayOffTheAddRow", [](GridTest& t) {
         t.grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT | GRID_OPT_ADD_ROW);
         t.grid.selectItem(kPlainRow, 1);
         t.Navigate(VK_UP);
         EXPECT_EQ(t.grid.selectedCell(), (Cell{kPlainRow, 1}));
         t.Navigate(VK_DOWN);
         EXPECT_EQ(t.grid.selectedCell(), (Cell{kCheckRow, 1}));
         t.grid.selectItem(kFileRow, 1);
         t.Forget();
         t.Navigate(VK_DOWN);  // the last data row: never onto the add-row
         t.Navigate(VK_UP);
     },
     kTextRow, {}, L"old", Editor::Closed, Cell{kTextRow, 1}, Cells{{kTextRow, 1}}},
    {"TabWithoutTheOptionAsksTheParentForTheNextControl", [](GridTest& t) {
         t.grid.selectItem(kCheckRow, 0);
         Keys(t, {VK_TAB});
         BYTE keys[256] = {};
         ::GetKeyboardState(keys);
         keys[VK_SHIFT] = 0x80;
         ::SetKeyboardState(keys);
         Keys(t, {VK_TAB});
         keys[VK_SHIFT] = 0;
         ::SetKeyboardState(keys);
         EXPECT_EQ(t.parent.nextControlRequests, (std::vector<WPARAM>{0, 1}));  // forwards, then back with Shift
     },
     kCheckRow, {}, L"on", Editor::Closed, Cell{kCheckRow, 0}},
    {"TabWithTheOptionMovesToTheNextCell", [](GridTest& t) {
         t.grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT | GRID_OPT_TAB_NAVIGATES);
         t.grid.selectItem(kCheckRow, 0);
         Keys(t, {VK_TAB});
         EXPECT_TRUE(t.parent.nextControlRequests.empty());
     },
     kCheckRow, {}, L"on", Editor::Closed, Cell{kCheckRow, 1}},
    {"NoCellNavigationSwitchesTheKeysOff", [](GridTest& t) {
         t.grid.setOptions(GRID_OPT_NO_CELL_NAVIGATION | GRID_OPT_TAB_NAVIGATES);
         t.grid.selectItem(kCheckRow, 0);
         t.Forget();
         Keys(t, {VK_RIGHT, VK_TAB});
         t.Navigate(VK_DOWN);
     },
     kCheckRow, {}, L"on", Editor::Closed, Cell{kCheckRow, 0}, Cells{}},
    {"SpaceEnterAndF2ToggleACheckBoxOnceEach", [](GridTest& t) {
         t.grid.selectItem(kCheckRow, 1);
         t.Forget();
         ::SendMessageW(t.grid.hwnd(), WM_KEYDOWN, VK_SPACE, 1);
         ::SendMessageW(t.grid.hwnd(), WM_CHAR, L' ', 1);  // the space character is swallowed
         EXPECT_EQ(t.ValueOf(kCheckRow), L"off");
         Keys(t, {VK_RETURN, VK_F2});
     },
     kCheckRow, {CHANGING, CHANGED, CHANGING, CHANGED, CHANGING, CHANGED}, L"off", Editor::Closed},
    {"EnterOnADisabledCheckBoxChangesNothing", [](GridTest& t) { t.grid.selectItem(kDisabledRow, 1), Keys(t, {VK_RETURN}); },
     kDisabledRow, {}, L"off", Editor::Closed},
    {"ALetterOnTheButtonWithTheListClosedPicksAndCommits", [](GridTest& t) {
         t.grid.selectItem(kChannelRow, 1);
         Keys(t, {VK_RETURN});
         ASSERT_TRUE(t.PumpUntil([&] { return t.ListEditor() && t.ListEditor()->dropDownShown(); }));
         ::SendMessageW(t.ListEditor()->hwnd(), CPropertyEditorWindow::kMsgPress, 0, 0);  // closes the drop-down
         ASSERT_FALSE(t.ListEditor()->dropDownShown());
         t.Forget();
         t.Type(L"r", t.ListEditor()->buttonWindow());
         EXPECT_TRUE(t.WaitClosed());
     },
     kChannelRow, {CHANGING, CHANGED}, L"Right channel", Editor::Closed},
    {"ADigitOnTheCellMovesTheDropDownsHighlightAndEnterCommitsIt", [](GridTest& t) {
         t.grid.selectItem(kRateRow, 1);
         t.Type(L"4", t.grid.hwnd());
         ASSERT_TRUE(t.PumpUntil([&] { return t.ListEditor() && t.ListEditor()->dropDownShown(); }));
         EXPECT_EQ(::SendMessageW(t.ListEditor()->dropDown(), LB_GETCURSEL, 0, 0), 3);  // "44100 Hz"
         EXPECT_EQ(t.ValueOf(kRateRow), L"8000 Hz");  // nothing taken yet
         EXPECT_TRUE(t.CodesFor(t.Item(kRateRow)).empty());
         t.Key(VK_RETURN, t.ListEditor()->dropDown());
         EXPECT_TRUE(t.WaitClosed());
     },
     kRateRow, {CHANGING, CHANGED}, L"44100 Hz", Editor::Closed},
};
INSTANTIATE_TEST_SUITE_P(Keyboard, GridScenario, ::testing::ValuesIn(kKeyboard), NameOf);

const Scenario kEditors[] = {
    {"ClickOnAListOpensItsDropDownAndEnterCommitsTheChoice", [](GridTest& t) {
         t.Item(kRateRow)->setValue(PropertyValue(4));
         HWND list = t.OpenDropDown(kRateRow);
         EXPECT_EQ(t.TextOf(t.grid.editorWindow()), L"48000 Hz");
         EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 7);
         EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 4);
         PickWithEnter(t, kRateRow, 1);
         EXPECT_TRUE(t.PumpUntil([&] { return !::IsWindow(list); }));  // the list box goes with its editor
     },
     kRateRow, {CHANGING, CHANGED}, L"11025 Hz", Editor::Closed},
    {"ReleasingTheMouseOnAnEntryChoosesIt", [](GridTest& t) {
         HWND list = t.OpenDropDown(kChannelRow);
         RECT entry{};
         ::SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&entry));
         t.Forget();
         t.ClickAt(POINT{(entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2}, WM_LBUTTONDOWN, list);
         EXPECT_TRUE(t.WaitClosed());
     },
     kChannelRow, {CHANGING, CHANGED}, L"Right channel", Editor::Closed},
    {"EscapeInTheDropDownChangesNothing", [](GridTest& t) {
         HWND list = t.OpenDropDown(kChannelRow);
         t.Forget();
         ::SendMessageW(list, LB_SETCURSEL, 2, 0);
         t.Key(VK_ESCAPE, list);
         EXPECT_TRUE(t.WaitClosed());
         t.Drain();
         EXPECT_EQ(::GetFocus(), t.grid.hwnd());
     },
     kChannelRow, {}, L"Mono", Editor::Closed, std::nullopt, Cells{}},
    {"AVetoedChoiceKeepsTheOldValue", [](GridTest& t) { t.parent.changingAnswer = 1, PickWithEnter(t, kChannelRow, 1); },
     kChannelRow, {CHANGING}, L"Mono", Editor::Closed},
    {"AVetoedToggleKeepsTheOldValue", [](GridTest& t) { t.parent.changingAnswer = 1, t.Click(kCheckRow, 1); },
     kCheckRow, {CLICKED, CHANGING}, L"on", Editor::Closed},
    {"SpaceOnTheDirectoryButtonBrowsesThenCommits", [](GridTest& t) {
         t.parent.onBrowse = [&t](IProperty* item) { t.grid.setItemValue(item, PropertyValue(L"D:\\picked")); };
         t.Open(kDirRow);
         ASSERT_NE(t.Editor(), nullptr);
         EXPECT_EQ(t.TextOf(t.grid.editorWindow()), L"C:\\old");
         EXPECT_EQ(t.TextOf(t.Editor()->buttonWindow()), L"...");
         EXPECT_EQ(::GetFocus(), t.Editor()->buttonWindow());
         t.Key(VK_SPACE);
         EXPECT_TRUE(t.WaitClosed());
     },
     kDirRow, {BROWSE, CHANGING, CHANGED}, L"D:\\picked", Editor::Closed},
    {"ClickingTheDirectoryButtonBrowsesAndNoAnswerKeepsTheValue", [](GridTest& t) {
         t.Open(kDirRow);
         ASSERT_NE(t.Editor(), nullptr);
         ::SendMessageW(t.Editor()->buttonWindow(), BM_CLICK, 0, 0);
         EXPECT_TRUE(t.WaitClosed());
     },
     kDirRow, {BROWSE, CHANGING, CHANGED}, L"C:\\old", Editor::Closed},
    {"EscapeOnTheDirectoryButtonCommits", [](GridTest& t) { t.Open(kDirRow), t.Key(VK_ESCAPE), t.WaitClosed(); },
     kDirRow, {CHANGING, CHANGED}, L"C:\\old", Editor::Closed},
    {"DownOnTheDirectoryButtonMovesToTheNextRow", [](GridTest& t) {
         t.Open(kDirRow);
         t.Key(VK_DOWN);
         EXPECT_TRUE(t.PumpUntil([&] { return t.grid.selectedCell().row == kRateRow; }));
     },
     kRateRow, {}, L"8000 Hz", Editor::Closed, Cell{kRateRow, 1}},
    {"ResizingAColumnClosesTheEditorWithoutTakingItsText", [](GridTest& t) { TypeThenSend(t, LVM_SETCOLUMNWIDTH, 0, 150); },
     kChannelRow, {}, L"Mono", Editor::Closed},
    {"ScrollingClosesTheEditorWithoutTakingItsText", [](GridTest& t) { TypeThenSend(t, WM_VSCROLL, SB_LINEDOWN); },
     kChannelRow, {}, L"Mono", Editor::Closed},
    {"TheWheelClosesTheEditorWithoutTakingItsText", [](GridTest& t) { TypeThenSend(t, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)); },
     kChannelRow, {}, L"Mono", Editor::Closed},
    {"SetItemValueRecreatesTheOpenEditorSilently", [](GridTest& t) {
         t.Open(kDirRow);
         HWND first = t.grid.editorWindow();
         EXPECT_TRUE(t.grid.setItemValue(t.Item(kDirRow), PropertyValue(L"E:\\new")));
         HWND second = t.grid.editorWindow();
         EXPECT_NE(second, first);
         EXPECT_EQ(t.TextOf(second), L"E:\\new");
         EXPECT_TRUE(t.PumpUntil([&] { return !::IsWindow(first); }));
         EXPECT_EQ(t.grid.editorWindow(), second);  // the old editor's late focus-loss commit is ignored
     },
     kDirRow, {}, L"E:\\new", Editor::Open, std::nullopt, Cells{}},
    {"ARefusedEditorTextKeepsTheEditorAndTheValue", [](GridTest& t) {
         t.Item(kChannelRow)->setValue(PropertyValue(2));
         t.Open(kChannelRow);
         HWND editor = t.grid.editorWindow();
         ::SetWindowTextW(editor, L"Surround");
         ::SendMessageW(t.grid.hwnd(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(editor), GRID_COMMIT_PLAIN);
         EXPECT_EQ(t.grid.editorWindow(), editor);
     },
     kChannelRow, {}, L"Right channel", Editor::Open},
    {"ACommitOrCancelFromAnEditorThatIsGoneIsIgnored", [](GridTest& t) {
         t.Click(kChannelRow, 1);
         HWND first = t.grid.editorWindow();
         t.grid.closeEditor();
         t.Open(kRateRow);
         HWND second = t.grid.editorWindow();
         ::SendMessageW(t.grid.hwnd(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(first), GRID_COMMIT_PLAIN);
         ::SendMessageW(t.grid.hwnd(), GRID_MSG_EDITOR_CANCEL, reinterpret_cast<WPARAM>(first), 0);
         EXPECT_EQ(t.grid.editorWindow(), second);
         EXPECT_TRUE(t.parent.notes.empty());
     },
     kRateRow, {}, L"8000 Hz", Editor::Open},
    {"TheStepActionWalksTheListAndWraps", [](GridTest& t) {
         t.Item(kChannelRow)->setValue(PropertyValue(1));
         t.Item(kChannelRow)->activate(PROPERTY_ACT_STEP, POINT{});
         EXPECT_EQ(t.ValueOf(kChannelRow), L"Right channel");
         t.Item(kChannelRow)->activate(PROPERTY_ACT_STEP, POINT{});
     },
     kChannelRow, {CHANGING, CHANGED, CHANGING, CHANGED}, L"Mono", Editor::Closed},
};
INSTANTIATE_TEST_SUITE_P(Editors, GridScenario, ::testing::ValuesIn(kEditors), NameOf);

// The text item: typed in place, committed by Enter, by the focus leaving and by a click elsewhere,
// dropped by Escape; with a browse button, what was typed is committed before the parent browses.
const Scenario kText[] = {
    {"TypingOnTheCellStartsTheTextAfreshAndEnterCommits", [](GridTest& t) {
         t.grid.selectItem(kTextRow, 1);
         t.Type(L"1", t.grid.hwnd());
         EXPECT_EQ(::GetFocus(), t.grid.editorWindow());  // the edit itself takes the keys
         t.Type(L"27.0.0.1:5555");
         EXPECT_EQ(t.TextOf(t.grid.editorWindow()), L"127.0.0.1:5555");
         EXPECT_EQ(t.ValueOf(kTextRow), L"old");  // nothing is taken while typing
         t.Key(VK_RETURN);
         EXPECT_TRUE(t.WaitClosed());
     },
     kTextRow, {CHANGING, CHANGED}, L"127.0.0.1:5555", Editor::Closed},
    {"EscapeDropsWhatWasTyped", [](GridTest& t) {
         t.Open(kTextRow);
         EXPECT_EQ(t.TextOf(t.grid.editorWindow()), L"old");
         t.Type(L"x");
         t.Key(VK_ESCAPE);
         EXPECT_TRUE(t.WaitClosed());
         t.Drain();
         EXPECT_EQ(::GetFocus(), t.grid.hwnd());
     },
     kTextRow, {}, L"old", Editor::Closed, std::nullopt, Cells{}},
    {"AClickOnAnotherCellKeepsWhatWasTyped", [](GridTest& t) { t.Open(kTextRow), t.Type(L"a"), t.Click(kPlainRow, 1); },
     kTextRow, {CHANGING, CHANGED}, L"a", Editor::Closed},
    {"TheFocusLeavingKeepsWhatWasTyped", [](GridTest& t) {
         t.Open(kTextRow);
         t.Type(L"b");
         ::SetFocus(t.parent.hwnd());  // another window of the same top-level window
         EXPECT_TRUE(t.WaitClosed());
     },
     kTextRow, {CHANGING, CHANGED}, L"b", Editor::Closed},
    {"DeleteOpensTheEditorEmptyAndEscapeKeepsTheText", [](GridTest& t) {
         t.grid.selectItem(kTextRow, 1);
         t.Key(VK_DELETE, t.grid.hwnd());  // the text editor takes the key: the selected text goes
         ASSERT_NE(t.grid.editorWindow(), nullptr);
         EXPECT_EQ(t.TextOf(t.grid.editorWindow()), L"");
         t.Key(VK_ESCAPE);
         EXPECT_TRUE(t.WaitClosed());
     },
     kTextRow, {}, L"old", Editor::Closed},
    {"ALongTextIsCutAtTheEditorsLimit", [](GridTest& t) {
         t.grid.setItemValue(t.Item(kTextRow), PropertyValue(std::wstring(5000, L'h')));
         t.Open(kTextRow);
         EXPECT_EQ(t.TextOf(t.grid.editorWindow()).size(), 1023u);
     },
     kTextRow, {}, nullptr, Editor::Open},
    {"TheBrowseButtonCommitsTheTypedTextThenAsksTheParent", [](GridTest& t) {
         static std::wstring seen;
         seen.clear();
         t.parent.onBrowse = [&t](IProperty* item) {
             seen = item->displayString();
             t.grid.setItemValue(item, PropertyValue(L"D:\\radio\\picked.db"));
         };
         t.Open(kFileRow);
         ASSERT_NE(t.Editor(), nullptr);
         EXPECT_EQ(t.TextOf(t.Editor()->buttonWindow()), L"...");
         t.Type(L"typed.db");
         ::SendMessageW(t.Editor()->buttonWindow(), BM_CLICK, 0, 0);
         EXPECT_TRUE(t.PumpUntil([&] { return !seen.empty(); }));
         EXPECT_EQ(seen, L"typed.db");  // the dialog starts from what the user typed
         t.Drain();
     },
     kFileRow, {CHANGING, CHANGED, BROWSE}, L"D:\\radio\\picked.db", Editor::Closed},
    {"ATextItemWithoutTheButtonNeverAsksToBrowse", [](GridTest& t) {
         t.Open(kTextRow);
         EXPECT_EQ(::GetWindow(t.grid.editorWindow(), GW_CHILD), nullptr);
         t.Item(kTextRow)->activate(PROPERTY_ACT_BROWSE, POINT{});
     },
     kTextRow, {}, L"old", Editor::Open},
};
INSTANTIATE_TEST_SUITE_P(TextItem, GridScenario, ::testing::ValuesIn(kText), NameOf);

}  // namespace
}  // namespace gridtest
