// In-place editors of the property grid: a borderless single-line edit window with a button at its
// right end, which holds the focus. The directory editor's button browses; the list editor's button
// drops down a pop-up list box.
//
// Ownership: once created, an editor object belongs to its window and is deleted when the window is
// gone (the grid closes editors with a posted close request, so the window may outlive the grid's
// interest in it). The grid detaches the item first, so a late message never reaches a deleted item.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/property_item.h"
#include "win/window.h"

class CPropertyEditorWindow;

// The editor's button: keeps the focus and turns keys into editor actions.
class CEditorButton : public win::Window {
public:
    explicit CEditorButton(CPropertyEditorWindow& editor) : editor_(editor) {}

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnKeyDown(WPARAM key, LPARAM lParam);
    CPropertyEditorWindow& editor_;
};

class CPropertyEditorWindow : public win::Window {
public:
    static constexpr UINT kMsgPress = WM_APP + 0x51;     // posted: the button was pressed
    static constexpr UINT kMsgDropDown = WM_APP + 0x52;  // sent: show the drop-down list (list editor)

    // The editor object behind a window, or null when the window is no editor.
    static CPropertyEditorWindow* FromWindow(HWND hwnd) noexcept;

    IProperty* item() const noexcept { return item_; }
    void DetachItem() noexcept { item_ = nullptr; }
    HWND grid() const noexcept { return grid_; }
    HWND buttonWindow() const noexcept { return button_.hwnd(); }
    // True for the editor itself and the windows it is made of.
    virtual bool OwnsWindow(HWND hwnd) const noexcept;
    // The focus moved from one of the editor's windows to `to`.
    void FocusLeft(HWND to);
    void PostPress();
    // A character typed into the editor.
    virtual void HandleChar(wchar_t ch) {}

protected:
    // `typing`: the edit takes the focus and the keys (a text typed in place); otherwise the text is
    // for show and the button keeps the focus. `button`: the editor has its button at the right end.
    CPropertyEditorWindow(IProperty* item, HWND grid, bool typing = false, bool button = true);
    // Creates the window of the given class over `cell`; on success the window owns this object.
    HWND Open(const wchar_t* className, const RECT& cell, const std::wstring& text);
    virtual void DrawButton(const DRAWITEMSTRUCT& dis) = 0;
    virtual void OnPressed() = 0;
    virtual void OnDestroying() {}

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnSize();
    // The typed editor's keys: Enter commits, Escape cancels, the rest edit the text.
    LRESULT OnTypingKey(UINT msg, WPARAM wParam, LPARAM lParam);

    IProperty* item_;
    HWND grid_;
    CEditorButton button_;
    bool typing_;
    bool hasButton_;
    bool ownedByWindow_ = false;
};

// The directory editor: "..." asks the item (and so the parent) to browse, then commits.
class CPropertyButtonWindow : public CPropertyEditorWindow {
public:
    static HWND Create(IProperty* item, HWND grid, const RECT& cell, const std::wstring& text);

protected:
    using CPropertyEditorWindow::CPropertyEditorWindow;
    void DrawButton(const DRAWITEMSTRUCT& dis) override;
    void OnPressed() override;
};

// The editor of a text typed in place; with a button, "..." asks the item to browse.
class CPropertyTextEditWindow : public CPropertyEditorWindow {
public:
    static constexpr int kMaxText = 1023;
    static HWND Create(IProperty* item, HWND grid, const RECT& cell, const std::wstring& text, bool browse);

protected:
    CPropertyTextEditWindow(IProperty* item, HWND grid, bool browse) : CPropertyEditorWindow(item, grid, true, browse) {}
    void DrawButton(const DRAWITEMSTRUCT& dis) override;
    void OnPressed() override;
};

class CPropertyListWindow;

// The pop-up list box of a list editor.
class CDropList : public win::Window {
public:
    explicit CDropList(CPropertyListWindow& editor) : editor_(editor) {}

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    CPropertyListWindow& editor_;
};

class CPropertyListWindow : public CPropertyEditorWindow {
public:
    static HWND Create(IProperty* item, HWND grid, const RECT& cell, const std::vector<std::wstring>& entries,
                       int current);
    HWND dropDown() const noexcept { return list_.hwnd(); }
    bool dropDownShown() const noexcept;
    void ShowDropDown();
    void HideDropDown();
    // The drop-down's choice: copy the chosen entry into the editor and commit.
    void Choose();
    void CancelFromDropDown();
    bool OwnsWindow(HWND hwnd) const noexcept override;
    void HandleChar(wchar_t ch) override;

protected:
    CPropertyListWindow(IProperty* item, HWND grid, std::vector<std::wstring> entries, int current);
    void DrawButton(const DRAWITEMSTRUCT& dis) override;
    void OnPressed() override;
    void OnDestroying() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateDropDown();

    std::vector<std::wstring> entries_;
    int current_;
    CDropList list_;
    int dropHeight_ = 0;  // computed when first shown
};
