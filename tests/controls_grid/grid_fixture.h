// A real grid in a real parent window, driven by messages, with waits on conditions.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/property_editors.h"
#include "controls/property_grid.h"
#include "win/gui_support.h"
#include "win/handles.h"
#include "win/reflect.h"
#include "win/window.h"

namespace gridtest {

using Cell = CPropertyGridCtrl::Cell;
struct Note {
    int code;
    IProperty* item;
};

// Reflects notifications to the grid and records the grid's own codes in order, as the main window
// does (which answers none of them: the grid's veto and add-row features are not used).
class TestParent : public win::Window {
public:
    HWND grid = nullptr;
    std::vector<Note> notes;
    std::function<void(IProperty*)> onBrowse;
    std::vector<WPARAM> nextControlRequests;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_NOTIFY) {
            auto* n = reinterpret_cast<GridNotification*>(lParam);
            const int code = static_cast<int>(n->hdr.code);
            if (n->hdr.hwndFrom == grid && code <= -3001 && code >= -3009) {
                notes.push_back(Note{code, n->item});
                if (code == GRID_BROWSE_REQUESTED && onBrowse) onBrowse(n->item);
                return 0;
            }
            LRESULT result = 0;
            if (win::ReflectNotification(hwnd(), msg, wParam, lParam, result)) return result;
        }
        if (msg == WM_NEXTDLGCTL) return nextControlRequests.push_back(wParam), 0;
        return DefaultHandling(msg, wParam, lParam);
    }
};

// The rows every test starts with: a label "Row n" in column 0, the value item in column 1.
enum : int { kPlainRow, kCheckRow, kDirRow, kRateRow, kChannelRow, kTextRow, kFileRow, kRows };

class GridTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(grid.create(parent.hwnd(), RECT{10, 10, 490, 250}, WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, 77));
        parent.grid = grid.hwnd();
        grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT);
        grid.AddColumn(L"Name", 200), grid.AddColumn(L"Value", 220);
        auto rates = std::make_unique<CPropertyListItem>(L""), channels = std::make_unique<CPropertyListItem>(L"");
        rates->SetList({L"8000 Hz", L"11025 Hz", L"22050 Hz", L"44100 Hz", L"48000 Hz", L"96000 Hz", L"192000 Hz"});
        channels->SetList({L"Mono", L"Left channel", L"Right channel"});
        std::unique_ptr<IProperty> values[kRows] = {
            std::make_unique<CPropertyItem>(L"", PropertyValue(L"plain")), std::make_unique<CPropertyCheckButtonItem>(L"", true),
            std::make_unique<CPropertyFileNameItem>(L"", L"C:\\old"), std::move(rates),
            std::move(channels), std::make_unique<CPropertyTextItem>(L"", L"old", false),
            std::make_unique<CPropertyTextItem>(L"", L"store.db", true)};
        for (int row = 0; row < kRows; ++row) {
            auto label = std::make_unique<CPropertyReadOnlyItem>(L"", (L"Row " + std::to_wstring(row)).c_str());
            label->SetBackColor(RGB(234, 230, 170));
            ASSERT_EQ(grid.insertItem(-1, std::move(label)), row);
            ASSERT_TRUE(grid.setSubItem(row, 1, std::move(values[row])));
        }
        ::SetForegroundWindow(parent.hwnd()), ::SetFocus(grid.hwnd()), ::UpdateWindow(parent.hwnd());
        Drain(), Forget();
    }
    void TearDown() override {
        if (grid.hwnd()) ::DestroyWindow(grid.hwnd());
        parent.grid = nullptr, parent.onBrowse = nullptr, parent.nextControlRequests.clear();
        Drain();
    }

    IProperty* Item(int row) const { return grid.getSubItem(row, 1); }
    // What a value cell holds as the user reads it: its text, or "on"/"off" for a check box.
    std::wstring ValueOf(int row) const {
        if (auto* box = dynamic_cast<CPropertyCheckButtonItem*>(Item(row))) return box->checked() ? L"on" : L"off";
        return Item(row)->displayString();
    }
    bool PumpUntil(const std::function<bool()>& cond) { return guitest::PumpUntil(cond, 3000); }
    // Runs what is queued now (bounded: a window that never validates would repaint for ever).
    void Drain() {
        MSG msg;
        for (int i = 0; i < 10000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
            ::TranslateMessage(&msg), ::DispatchMessageW(&msg);
    }
    void Forget() { parent.notes.clear(); }
    void Open(int row) { Click(row, 1), Forget(); }  // a click that opens the cell's editor
    POINT CellCentre(int row, int column) {
        RECT r{LVIR_BOUNDS, column, 0, 0};  // column 0: the whole row
        ::SendMessageW(grid.hwnd(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void ClickAt(POINT pt, UINT msg = WM_LBUTTONDOWN, HWND target = nullptr) {
        if (!target) target = grid.hwnd();
        ::SendMessageW(target, msg, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        ::SendMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
        Drain();
    }
    void Click(int row, int column) { ClickAt(CellCentre(row, column)); }
    void Key(UINT vk, HWND target = nullptr) {
        if (!target) target = ::GetFocus();
        ::SendMessageW(target, WM_KEYDOWN, vk, 1);
        ::SendMessageW(target, WM_KEYUP, vk, 0xC0000001);
        Drain();
    }
    void Keys(std::initializer_list<UINT> keys) { for (UINT vk : keys) Key(vk, grid.hwnd()); }
    void Type(const std::wstring& chars, HWND target = nullptr) {
        for (wchar_t c : chars) ::SendMessageW(target ? target : ::GetFocus(), WM_CHAR, c, 1), Drain();
    }
    void Navigate(UINT vk) { ::SendMessageW(grid.hwnd(), GRID_MSG_NAVIGATE, vk, 0); }
    // The grid's notifications about `item` in order, its selection changes left out.
    std::vector<int> CodesFor(const IProperty* item) const {
        std::vector<int> codes;
        for (const auto& n : parent.notes)
            if (n.item == item && n.code != GRID_SELECTION_CHANGED) codes.push_back(n.code);
        return codes;
    }
    // The cells the selection-change notifications named, in order ({-1, -1}: none).
    std::vector<Cell> SelectionNotes() const {
        std::vector<Cell> cells;
        for (const auto& n : parent.notes)
            if (n.code == GRID_SELECTION_CHANGED) cells.push_back(grid.findItem(n.item));
        return cells;
    }
    CPropertyEditorWindow* Editor() const { return CPropertyEditorWindow::FromWindow(grid.editorWindow()); }
    CPropertyListWindow* ListEditor() const { return dynamic_cast<CPropertyListWindow*>(Editor()); }
    bool DropDownShown() { return PumpUntil([&] { return ListEditor() && ListEditor()->dropDownShown(); }); }
    // Clicks a list cell and waits for its drop-down; returns the drop-down's list box.
    HWND OpenDropDown(int row) {
        Click(row, 1);
        EXPECT_TRUE(DropDownShown());
        return ListEditor() ? ListEditor()->dropDown() : nullptr;
    }
    bool EditorClosed() const { return grid.editorWindow() == nullptr; }
    bool WaitClosed() { return PumpUntil([&] { return EditorClosed(); }); }
    std::wstring EditorText() const { return guitest::WindowText(grid.editorWindow()); }

    // One parent for the whole program, living until the process ends: hiding a top-level window under
    // Wine without a window manager waits for the withdrawal, which would cost every test seconds.
    static TestParent& SharedParent() {
        static TestParent* shared = new TestParent;
        if (!shared->hwnd()) shared->Create(nullptr, RECT{0, 0, 640, 420}, L"grid test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0);
        return *shared;
    }
    TestParent& parent = SharedParent();
    CPropertyGridCtrl grid;
};

}  // namespace gridtest
