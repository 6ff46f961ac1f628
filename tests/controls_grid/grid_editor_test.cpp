// In-place editors: list drop-down, directory browse button, commit, cancel, veto, and what closes them.
#include "grid_fixture.h"

namespace gridtest {
namespace {

using EditorTest = GridTest;

TEST_F(EditorTest, ClickOnListOpensEditorAndDropDownAndChoosingCommits) {
    rates->setValue(PropertyValue(4));
    Click(kRateRow, 1);
    CPropertyListWindow* editor = ListEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(guitest::ClassName(grid.editorWindow()), L"CV_InplacePropertyList");
    EXPECT_EQ(TextOf(grid.editorWindow()), L"48000 Hz");
    ASSERT_TRUE(PumpUntil([&] { return editor->dropDownShown(); }));
    HWND list = editor->dropDown();
    EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 7);
    EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 4);
    parent.notes.clear();

    ::SendMessageW(list, LB_SETCURSEL, 1, 0);
    Key(VK_RETURN, list);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(rates->index(), 1);
    EXPECT_EQ(CodesFor(rates), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(list); }));  // the list box goes with its editor
}

TEST_F(EditorTest, ReleasingTheMouseOnAnEntryChoosesIt) {
    Click(kChannelRow, 1);
    ASSERT_NE(ListEditor(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ListEditor()->dropDownShown(); }));
    HWND list = ListEditor()->dropDown();
    RECT entry{};
    ::SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&entry));
    LPARAM at = MAKELPARAM((entry.left + entry.right) / 2, (entry.top + entry.bottom) / 2);
    parent.notes.clear();
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(list, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(channels->index(), 2);
    EXPECT_EQ(CodesFor(channels), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
}

TEST_F(EditorTest, EscInTheDropDownChangesNothingAndSendsNothing) {
    Click(kChannelRow, 1);
    ASSERT_NE(ListEditor(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ListEditor()->dropDownShown(); }));
    HWND list = ListEditor()->dropDown();
    parent.notes.clear();
    ::SendMessageW(list, LB_SETCURSEL, 2, 0);
    Key(VK_ESCAPE, list);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    Drain();
    EXPECT_EQ(channels->index(), 0);
    EXPECT_TRUE(parent.notes.empty());
    EXPECT_EQ(::GetFocus(), grid.hwnd());
}

TEST_F(EditorTest, DirectoryButtonBrowsesThenCommits) {
    parent.onBrowse = [&](IProperty* item) { grid.setItemValue(item, PropertyValue(L"D:\\picked")); };
    Click(kDirRow, 1);
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(guitest::ClassName(editor), L"CV_InplacePropertyButton");
    EXPECT_EQ(TextOf(editor), L"C:\\old");
    CPropertyEditorWindow* object = CPropertyEditorWindow::FromWindow(editor);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(TextOf(object->buttonWindow()), L"...");
    EXPECT_EQ(::GetFocus(), object->buttonWindow());
    parent.notes.clear();

    Key(VK_SPACE);  // to the focused "..." button
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(CodesFor(directory), (std::vector<int>{GRID_BROWSE_REQUESTED, GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
    EXPECT_EQ(directory->displayString(), L"D:\\picked");
}

TEST_F(EditorTest, ClickingTheDirectoryButtonWithTheMouseBrowsesToo) {
    Click(kDirRow, 1);
    CPropertyEditorWindow* object = CPropertyEditorWindow::FromWindow(grid.editorWindow());
    ASSERT_NE(object, nullptr);
    parent.notes.clear();
    ::SendMessageW(object->buttonWindow(), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(CodesFor(directory), (std::vector<int>{GRID_BROWSE_REQUESTED, GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));
    EXPECT_EQ(directory->displayString(), L"C:\\old");  // nobody browsed: the value stays
}

TEST_F(EditorTest, TypingADigitMovesTheDropDownHighlightWithoutCommitting) {
    rates->setValue(PropertyValue(0));
    grid.selectItem(kRateRow, 1);
    ASSERT_EQ(::GetFocus(), grid.hwnd());
    parent.notes.clear();
    Char(L'4', grid.hwnd());
    CPropertyListWindow* editor = ListEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return editor->dropDownShown(); }));
    LRESULT sel = ::SendMessageW(editor->dropDown(), LB_GETCURSEL, 0, 0);
    ASSERT_GE(sel, 0);
    EXPECT_EQ(rates->entries()[static_cast<size_t>(sel)][0], L'4');
    EXPECT_EQ(rates->index(), 0);
    EXPECT_TRUE(CodesFor(rates).empty());
    Key(VK_RETURN, editor->dropDown());
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(rates->index(), sel);
}

TEST_F(EditorTest, VetoedChangeKeepsTheOldValueOnTheEditorPath) {
    parent.changingAnswer = 1;
    Click(kChannelRow, 1);
    ASSERT_NE(ListEditor(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return ListEditor()->dropDownShown(); }));
    HWND list = ListEditor()->dropDown();
    ::SendMessageW(list, LB_SETCURSEL, 1, 0);
    parent.notes.clear();
    Key(VK_RETURN, list);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(channels->index(), 0);
    EXPECT_EQ(CodesFor(channels), (std::vector<int>{GRID_VALUE_CHANGING}));
}

TEST_F(EditorTest, VetoedChangeKeepsTheOldValueOnTheSetValuePath) {
    parent.changingAnswer = 1;
    Click(kCheckRow, 1);
    EXPECT_TRUE(check->checked());
    EXPECT_EQ(CodesFor(check), (std::vector<int>{GRID_CELL_CLICKED, GRID_VALUE_CHANGING}));
}

TEST_F(EditorTest, ResizingAColumnClosesTheEditorWithoutTakingItsValue) {
    Click(kChannelRow, 1);
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    ::SetWindowTextW(editor, L"Right channel");
    parent.notes.clear();
    ::SendMessageW(grid.hwnd(), LVM_SETCOLUMNWIDTH, 0, 150);
    EXPECT_TRUE(EditorClosed());
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(editor); }));
    EXPECT_EQ(channels->index(), 0);
    EXPECT_TRUE(CodesFor(channels).empty());
}

TEST_F(EditorTest, ScrollingClosesTheEditorWithoutTakingItsValue) {
    for (UINT msg : {static_cast<UINT>(WM_VSCROLL), static_cast<UINT>(WM_MOUSEWHEEL)}) {
        Click(kChannelRow, 1);
        HWND editor = grid.editorWindow();
        ASSERT_NE(editor, nullptr);
        ::SetWindowTextW(editor, L"Left channel");
        parent.notes.clear();
        ::SendMessageW(grid.hwnd(), msg, msg == WM_VSCROLL ? SB_LINEDOWN : MAKEWPARAM(0, WHEEL_DELTA), 0);
        EXPECT_TRUE(EditorClosed());
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(editor); }));
        EXPECT_EQ(channels->index(), 0);
        EXPECT_TRUE(CodesFor(channels).empty());
        ::SendMessageW(grid.hwnd(), WM_VSCROLL, SB_TOP, 0);
    }
}

TEST_F(EditorTest, SetItemValueRecreatesTheOpenEditorSilently) {
    Click(kDirRow, 1);
    HWND first = grid.editorWindow();
    ASSERT_NE(first, nullptr);
    parent.notes.clear();
    EXPECT_TRUE(grid.setItemValue(directory, PropertyValue(L"E:\\new")));
    HWND second = grid.editorWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(TextOf(second), L"E:\\new");
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(first); }));
    EXPECT_EQ(grid.editorWindow(), second);  // the old editor's late focus-loss commit is ignored
    EXPECT_TRUE(parent.notes.empty());
}

TEST_F(EditorTest, RefusedEditorValueBeepsKeepsEditorAndValue) {
    channels->setValue(PropertyValue(2));
    Click(kChannelRow, 1);
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    ::SetWindowTextW(editor, L"Surround");
    parent.notes.clear();
    ::SendMessageW(grid.hwnd(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(editor), GRID_COMMIT_PLAIN);
    EXPECT_EQ(grid.editorWindow(), editor);
    EXPECT_EQ(channels->index(), 2);  // not left at the refusal's index 0
    EXPECT_TRUE(parent.notes.empty());
}

TEST_F(EditorTest, CommitFromAnEditorThatIsGoneIsIgnored) {
    Click(kChannelRow, 1);
    HWND first = grid.editorWindow();
    ASSERT_NE(first, nullptr);
    grid.closeEditor();
    Click(kRateRow, 1);
    HWND second = grid.editorWindow();
    ASSERT_NE(second, nullptr);
    parent.notes.clear();
    ::SendMessageW(grid.hwnd(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(first), GRID_COMMIT_PLAIN);
    ::SendMessageW(grid.hwnd(), GRID_MSG_EDITOR_CANCEL, reinterpret_cast<WPARAM>(first), 0);
    EXPECT_EQ(grid.editorWindow(), second);
    EXPECT_TRUE(parent.notes.empty());
}

TEST_F(EditorTest, StepActivationWalksTheListAndWraps) {
    channels->setValue(PropertyValue(1));
    channels->activate(PROPERTY_ACT_STEP, POINT{});
    EXPECT_EQ(channels->index(), 2);
    channels->activate(PROPERTY_ACT_STEP, POINT{});
    EXPECT_EQ(channels->index(), 0);
    EXPECT_EQ(CodesFor(channels), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED, GRID_VALUE_CHANGING,
                                                    GRID_VALUE_CHANGED}));
}

TEST_F(EditorTest, EscOnTheButtonCommitsAndUpDownNavigate) {
    Click(kDirRow, 1);
    ASSERT_NE(grid.editorWindow(), nullptr);
    parent.notes.clear();
    Key(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(CodesFor(directory), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));

    Click(kDirRow, 1);
    ASSERT_NE(grid.editorWindow(), nullptr);
    Key(VK_DOWN);
    ASSERT_TRUE(PumpUntil([&] { return grid.selectedCell().row == kRateRow; }));
    EXPECT_TRUE(EditorClosed());
    EXPECT_EQ(grid.selectedCell().column, 1);
}

}  // namespace
}  // namespace gridtest
