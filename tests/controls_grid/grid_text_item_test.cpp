// The text item: typed in place, committed by Enter, by the focus leaving and by a click elsewhere,
// dropped by Escape; with a browse button, what was typed is committed before the parent browses.
#include "grid_fixture.h"

namespace gridtest {
namespace {

class TextItemTest : public GridTest {
protected:
    void SetUp() override {
        GridTest::SetUp();
        text = AddRow(L"Destinations", std::make_unique<CPropertyTextItem>(L"", L"old", false));
        file = AddRow(L"File", std::make_unique<CPropertyTextItem>(L"", L"store.db", true));
        textRow = grid.findItem(text).row;
        fileRow = grid.findItem(file).row;
        parent.notes.clear();
    }
    template <class T>
    T* AddRow(const wchar_t* label, std::unique_ptr<T> value) {
        T* raw = value.get();
        const int row = grid.insertItem(-1, std::make_unique<CPropertyReadOnlyItem>(L"", label));
        EXPECT_GE(row, 0);
        EXPECT_TRUE(grid.setSubItem(row, 1, std::move(value)));
        return raw;
    }
    // A click that opens the editor; what it notified is forgotten.
    void Open(int row) {
        Click(row, 1);
        parent.notes.clear();
    }
    void Type(const std::wstring& chars) {
        for (wchar_t c : chars) Char(c);
    }

    CPropertyTextItem* text = nullptr;
    CPropertyTextItem* file = nullptr;
    int textRow = -1;
    int fileRow = -1;
};

TEST_F(TextItemTest, TypingReplacesTheTextEnterCommitsEscapeKeepsTheOldOne) {
    grid.selectItem(textRow, 1);
    ::SetFocus(grid.hwnd());
    Char(L'1');  // typing on the selected cell opens the editor and starts the text afresh
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(guitest::ClassName(editor), L"CV_InplacePropertyText");
    EXPECT_EQ(::GetFocus(), editor);  // the edit itself takes the keys
    Type(L"27.0.0.1:5555");
    EXPECT_EQ(TextOf(editor), L"127.0.0.1:5555");
    EXPECT_EQ(text->displayString(), L"old");  // nothing is taken while typing
    Key(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(text->displayString(), L"127.0.0.1:5555");
    EXPECT_EQ(CodesFor(text), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));

    Open(textRow);
    editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(TextOf(editor), L"127.0.0.1:5555");
    Type(L"x");
    Key(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    Drain();
    EXPECT_EQ(text->displayString(), L"127.0.0.1:5555");
    EXPECT_TRUE(parent.notes.empty());
    EXPECT_EQ(::GetFocus(), grid.hwnd());
}

TEST_F(TextItemTest, AClickElsewhereOrTheFocusLeavingKeepsWhatWasTyped) {
    Open(textRow);
    ASSERT_NE(grid.editorWindow(), nullptr);
    Type(L"a");
    Click(kPlainRow, 1);  // another cell of the grid
    Drain();
    EXPECT_EQ(text->displayString(), L"a");
    EXPECT_EQ(CodesFor(text), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED}));

    Click(textRow, 1);
    ASSERT_NE(grid.editorWindow(), nullptr);
    Type(L"b");
    ::SetFocus(parent.hwnd());  // another window of the same top-level window
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(text->displayString(), L"b");
}

TEST_F(TextItemTest, BrowseButtonCommitsTheTypedTextThenAsksTheParent) {
    std::wstring seen;
    parent.onBrowse = [&](IProperty* item) {
        seen = item->displayString();
        grid.setItemValue(item, PropertyValue(L"D:\\radio\\picked.db"));
    };
    Open(fileRow);
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    CPropertyEditorWindow* object = CPropertyEditorWindow::FromWindow(editor);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(TextOf(object->buttonWindow()), L"...");
    Type(L"typed.db");
    ::SendMessageW(object->buttonWindow(), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, L"typed.db");  // the dialog starts from what the user typed
    Drain();
    EXPECT_EQ(file->displayString(), L"D:\\radio\\picked.db");
    EXPECT_EQ(CodesFor(file), (std::vector<int>{GRID_VALUE_CHANGING, GRID_VALUE_CHANGED, GRID_BROWSE_REQUESTED}));
    // A text item without the button has none, and never asks to browse.
    Open(textRow);
    ASSERT_NE(grid.editorWindow(), nullptr);
    EXPECT_EQ(::GetWindow(grid.editorWindow(), GW_CHILD), nullptr);
    text->activate(PROPERTY_ACT_BROWSE, POINT{});
    EXPECT_TRUE(CodesFor(text).empty());
}

TEST_F(TextItemTest, DeleteOpensTheEditorAndLongTextsAreCutAtTheEditorsLimit) {
    grid.selectItem(textRow, 1);
    ::SetFocus(grid.hwnd());
    Key(VK_DELETE);  // the text editor takes the key: the selected text goes
    HWND editor = grid.editorWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(TextOf(editor), L"");
    Key(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return EditorClosed(); }));
    EXPECT_EQ(text->displayString(), L"old");

    const std::wstring huge(5000, L'h');
    grid.setItemValue(text, PropertyValue(huge));
    Click(textRow, 1);
    ASSERT_NE(grid.editorWindow(), nullptr);
    EXPECT_EQ(TextOf(grid.editorWindow()).size(), static_cast<std::size_t>(CPropertyTextEditWindow::kMaxText));
}

}  // namespace
}  // namespace gridtest
