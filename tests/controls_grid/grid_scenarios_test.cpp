// The grid as the user drives it, one scenario a row: the mouse, the keys, the in-place editors (list
// drop-down, directory button, typed text) and what commits, cancels or closes them. Each row
// says how the row's value cell ends: the grid's notifications about it (in order, selection changes
// aside), its value, whether an editor is open, the selected cell and the selection-change notes.
#include "grid_fixture.h"

#include <optional>
#include <tuple>

namespace gridtest {
namespace {

using Cells = std::vector<Cell>;
constexpr int CLICKED = GRID_CELL_CLICKED, CHANGING = GRID_VALUE_CHANGING, CHANGED = GRID_VALUE_CHANGED,
              BROWSE = GRID_BROWSE_REQUESTED;
constexpr bool kOpen = true, kClosed = false;

struct Scenario {
    const char* name;
    void (*act)(GridTest& t);
    int row;
    std::vector<int> codes;
    const wchar_t* value;
    bool editorOpen;
    std::optional<Cell> selected = std::nullopt;
    std::optional<Cells> selections = std::nullopt;
};

class GridScenario : public GridTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(GridScenario, EndsAsTheRowSays) {
    const Scenario& s = GetParam();
    s.act(*this);
    EXPECT_EQ(CodesFor(Item(s.row)), s.codes);
    EXPECT_EQ(ValueOf(s.row), s.value);
    EXPECT_EQ(!EditorClosed(), s.editorOpen);
    EXPECT_EQ(grid.selectedCell(), s.selected.value_or(grid.selectedCell()));  // when the row names them
    EXPECT_EQ(SelectionNotes(), s.selections.value_or(SelectionNotes()));
}

const Scenario kScenarios[] = {
    // the mouse
    {"AClickAndADoubleClickToggleACheckBoxOnceEach", [](GridTest& t) {
         t.Click(kCheckRow, 1);
         EXPECT_EQ(t.ValueOf(kCheckRow), L"off");
         t.ClickAt(t.CellCentre(kCheckRow, 1), WM_LBUTTONDBLCLK);
     }, kCheckRow, {CLICKED, CHANGING, CHANGED, CLICKED, CHANGING, CHANGED}, L"on", kClosed, Cell{kCheckRow, 1}, Cells{{kCheckRow, 1}}},
    {"ClickBelowTheRowsClearsTheSelection", [](GridTest& t) { t.Open(kPlainRow), t.ClickAt(POINT{20, 225}); },  // the grid is 240 high
     kPlainRow, {}, L"plain", kClosed, Cell{}, Cells{Cell{}}},
    // the keyboard
    {"ArrowsMoveAndStopAtTheEdgesAndUpAndDownKeepTheColumn", [](GridTest& t) {
         t.grid.selectItem(kPlainRow, 1), t.Navigate(VK_UP);
         EXPECT_EQ(t.grid.selectedCell(), (Cell{kPlainRow, 1}));
         t.grid.selectItem(kFileRow, 0), t.Forget();
         t.Navigate(VK_DOWN), t.Keys({VK_RIGHT, VK_RIGHT, VK_LEFT, VK_LEFT}), t.Navigate(VK_UP);
     }, kTextRow, {}, L"old", kClosed, Cell{kTextRow, 0}, Cells{{kFileRow, 1}, {kFileRow, 0}, {kTextRow, 0}}},
    {"TabAsksTheParentForTheNextControl", [](GridTest& t) {
         t.grid.selectItem(kCheckRow, 0), t.Keys({VK_TAB});
         BYTE keys[256] = {};
         ::GetKeyboardState(keys);
         keys[VK_SHIFT] = 0x80, ::SetKeyboardState(keys), t.Keys({VK_TAB});
         keys[VK_SHIFT] = 0, ::SetKeyboardState(keys);
         EXPECT_EQ(t.parent.nextControlRequests, (std::vector<WPARAM>{0, 1}));  // forwards, then back with Shift
     }, kCheckRow, {}, L"on", kClosed, Cell{kCheckRow, 0}},
    {"SpaceEnterAndF2ToggleACheckBoxOnceEach", [](GridTest& t) {
         t.grid.selectItem(kCheckRow, 1);
         ::SendMessageW(t.grid.hwnd(), WM_KEYDOWN, VK_SPACE, 1);
         ::SendMessageW(t.grid.hwnd(), WM_CHAR, L' ', 1);  // the space character is swallowed
         EXPECT_EQ(t.ValueOf(kCheckRow), L"off");
         t.Keys({VK_RETURN, VK_F2});
     }, kCheckRow, {CHANGING, CHANGED, CHANGING, CHANGED, CHANGING, CHANGED}, L"off", kClosed},
    {"ADigitOnTheCellMovesTheDropDownsHighlightAndEnterCommitsIt", [](GridTest& t) {
         t.grid.selectItem(kRateRow, 1), t.Type(L"4", t.grid.hwnd());
         ASSERT_TRUE(t.DropDownShown());
         EXPECT_EQ(::SendMessageW(t.ListEditor()->dropDown(), LB_GETCURSEL, 0, 0), 3);  // "44100 Hz"
         EXPECT_EQ(t.ValueOf(kRateRow), L"8000 Hz");  // nothing taken yet
         t.Key(VK_RETURN, t.ListEditor()->dropDown());
         EXPECT_TRUE(t.WaitClosed());
     }, kRateRow, {CHANGING, CHANGED}, L"44100 Hz", kClosed},
    // the list and directory editors
    {"AClickOpensTheDropDownOnTheValueAndEscapeChangesNothing", [](GridTest& t) {  // Enter: the digit row
         t.Item(kRateRow)->setValue(PropertyValue(4));
         HWND list = t.OpenDropDown(kRateRow);
         EXPECT_EQ(t.EditorText(), L"48000 Hz");
         EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 4);
         ::SendMessageW(list, LB_SETCURSEL, 1, 0), t.Forget(), t.Key(VK_ESCAPE, list);
         EXPECT_TRUE(t.WaitClosed());
         EXPECT_TRUE(t.PumpUntil([&] { return !::IsWindow(list); }));  // the list box goes with its editor
         EXPECT_EQ(::GetFocus(), t.grid.hwnd());
     }, kRateRow, {}, L"48000 Hz", kClosed, std::nullopt, Cells{}},
    {"ReleasingTheMouseOnAnEntryChoosesIt", [](GridTest& t) {
         HWND list = t.OpenDropDown(kChannelRow);
         RECT entry{};
         ::SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&entry));
         t.Forget(), t.ClickAt(POINT{(entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2}, WM_LBUTTONDOWN, list);
         EXPECT_TRUE(t.WaitClosed());
     }, kChannelRow, {CHANGING, CHANGED}, L"Right channel", kClosed},
    {"SpaceOnTheDirectoryButtonBrowsesThenCommits", [](GridTest& t) {
         t.parent.onBrowse = [&t](IProperty* item) { t.grid.setItemValue(item, PropertyValue(L"D:\\picked")); };
         t.Open(kDirRow);
         ASSERT_NE(t.Editor(), nullptr);
         EXPECT_EQ(t.EditorText(), L"C:\\old");
         EXPECT_EQ(::GetFocus(), t.Editor()->buttonWindow());
         t.Key(VK_SPACE);
         EXPECT_TRUE(t.WaitClosed());
     }, kDirRow, {BROWSE, CHANGING, CHANGED}, L"D:\\picked", kClosed},
    {"EscapeOnTheDirectoryButtonCommits", [](GridTest& t) { t.Open(kDirRow), t.Key(VK_ESCAPE), t.WaitClosed(); },
     kDirRow, {CHANGING, CHANGED}, L"C:\\old", kClosed},
    {"AResizeAScrollOrTheWheelClosesTheEditorWithoutTakingItsText", [](GridTest& t) {
         for (auto [msg, wParam, lParam] : {std::tuple<UINT, WPARAM, LPARAM>{LVM_SETCOLUMNWIDTH, 0, 150},
                                            {WM_VSCROLL, SB_LINEDOWN, 0},
                                            {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0}}) {
             t.Open(kChannelRow);
             ::SetWindowTextW(t.grid.editorWindow(), L"Right channel");
             ::SendMessageW(t.grid.hwnd(), msg, wParam, lParam);
             EXPECT_TRUE(t.EditorClosed()) << msg;  // and no change noted, below, for any of them
         }
     }, kChannelRow, {}, L"Mono", kClosed},
    {"SetItemValueRecreatesTheOpenEditorSilently", [](GridTest& t) {
         t.Open(kDirRow);
         HWND first = t.grid.editorWindow();
         EXPECT_TRUE(t.grid.setItemValue(t.Item(kDirRow), PropertyValue(L"E:\\new")));
         HWND second = t.grid.editorWindow();
         EXPECT_NE(second, first);
         EXPECT_EQ(t.EditorText(), L"E:\\new");
         EXPECT_TRUE(t.PumpUntil([&] { return !::IsWindow(first); }));
         EXPECT_EQ(t.grid.editorWindow(), second);  // the old editor's late focus-loss commit is ignored
     }, kDirRow, {}, L"E:\\new", kOpen, std::nullopt, Cells{}},
    // the text item: typed in place, committed by Enter, by the focus leaving and by a click elsewhere,
    // dropped by Escape; with a browse button, what was typed is committed before the parent browses
    {"TypingOnTheCellStartsTheTextAfreshAndEnterCommits", [](GridTest& t) {
         t.grid.selectItem(kTextRow, 1), t.Type(L"1", t.grid.hwnd());
         EXPECT_EQ(::GetFocus(), t.grid.editorWindow());  // the edit itself takes the keys
         t.Type(L"27.0.0.1:5555");
         EXPECT_EQ(t.EditorText(), L"127.0.0.1:5555");
         EXPECT_EQ(t.ValueOf(kTextRow), L"old");  // nothing is taken while typing
         t.Key(VK_RETURN);
         EXPECT_TRUE(t.WaitClosed());
     }, kTextRow, {CHANGING, CHANGED}, L"127.0.0.1:5555", kClosed},
    {"EscapeDropsWhatWasTyped", [](GridTest& t) {
         t.Open(kTextRow);
         EXPECT_EQ(t.EditorText(), L"old");
         t.Type(L"x"), t.Key(VK_ESCAPE);
         EXPECT_TRUE(t.WaitClosed());
         t.Drain();
         EXPECT_EQ(::GetFocus(), t.grid.hwnd());
     }, kTextRow, {}, L"old", kClosed, std::nullopt, Cells{}},
    {"AClickOnAnotherCellKeepsWhatWasTyped", [](GridTest& t) { t.Open(kTextRow), t.Type(L"a"), t.Click(kPlainRow, 1); },
     kTextRow, {CHANGING, CHANGED}, L"a", kClosed},
    {"TheFocusLeavingKeepsWhatWasTyped", [](GridTest& t) {
         t.Open(kTextRow), t.Type(L"b");
         ::SetFocus(t.parent.hwnd());  // another window of the same top-level window
         EXPECT_TRUE(t.WaitClosed());
     }, kTextRow, {CHANGING, CHANGED}, L"b", kClosed},
    {"TheBrowseButtonCommitsTheTypedTextThenAsksTheParent", [](GridTest& t) {
         std::wstring seen;
         t.parent.onBrowse = [&t, &seen](IProperty* item) {
             seen = item->displayString();
             t.grid.setItemValue(item, PropertyValue(L"D:\\radio\\picked.db"));
         };
         t.Open(kFileRow);
         ASSERT_NE(t.Editor(), nullptr);
         t.Type(L"typed.db");
         ::SendMessageW(t.Editor()->buttonWindow(), BM_CLICK, 0, 0);
         EXPECT_TRUE(t.PumpUntil([&] { return !seen.empty(); }));
         EXPECT_EQ(seen, L"typed.db");  // the dialog starts from what the user typed
         t.Drain(), t.parent.onBrowse = nullptr;
     }, kFileRow, {CHANGING, CHANGED, BROWSE}, L"D:\\radio\\picked.db", kClosed},
};
INSTANTIATE_TEST_SUITE_P(User, GridScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gridtest
