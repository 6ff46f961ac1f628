// A real grid in a real parent window, with helpers that drive it by messages and wait on conditions.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/property_editors.h"
#include "controls/property_grid.h"
#include "win/gui_support.h"
#include "win/handles.h"
#include "win/window.h"

namespace gridtest {

struct Note {
    int code;
    IProperty* item;
};

// Reflects notifications to the grid and records the grid's own codes in order.
class TestParent : public win::Window {
public:
    HWND grid = nullptr;
    std::vector<Note> notes;
    LRESULT changingAnswer = 0;
    LRESULT clickedAnswer = 0;
    std::function<void(IProperty*)> onBrowse;
    std::function<void()> onAddRow;
    std::vector<WPARAM> nextControlRequests;
    HFONT font = nullptr;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class GridTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Waits (pumping messages) until cond holds, at most timeoutMs.
    bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 3000) { return guitest::PumpUntil(cond, timeoutMs); }
    // Runs everything that is queued now.
    void Drain();
    POINT CellCentre(int row, int column);
    void Click(int row, int column);
    void DoubleClick(int row, int column);
    void ClickAt(POINT pt, UINT msg = WM_LBUTTONDOWN);
    void Key(UINT vk, HWND target = nullptr);
    void Char(wchar_t ch, HWND target = nullptr);
    std::vector<int> Codes() const;
    std::vector<int> CodesFor(const IProperty* item) const;
    CPropertyListWindow* ListEditor() const;
    std::wstring TextOf(HWND hwnd) const { return guitest::WindowText(hwnd); }
    bool EditorClosed() const { return grid.editorWindow() == nullptr; }

    // One parent for the whole program: hiding a top-level window under Wine without a window
    // manager waits for the withdrawal, which would cost every test seconds.
    static TestParent& SharedParent();
    TestParent& parent = SharedParent();
    CPropertyGridCtrl grid;
    CPropertyReadOnlyItem* label0 = nullptr;
    CPropertyItem* plain = nullptr;
    CPropertyCheckButtonItem* check = nullptr;
    CPropertyCheckButtonItem* disabledCheck = nullptr;
    CPropertyFileNameItem* directory = nullptr;
    CPropertyListItem* rates = nullptr;
    CPropertyListItem* channels = nullptr;

    static constexpr int kPlainRow = 0, kCheckRow = 1, kDisabledRow = 2, kDirRow = 3, kRateRow = 4, kChannelRow = 5;
};

}  // namespace gridtest
