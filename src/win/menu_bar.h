// MenuBar shows the titles of a menu resource as flat toolbar buttons and drops their menus down.
#pragma once
#include "win/window.h"

namespace win {

class MenuBar : public Window {
public:
    MenuBar() = default;
    ~MenuBar() override;

    // Creates the bar as a child of `parent` (a flat, list-style toolbar).
    HWND CreateBar(HWND parent, const RECT& rect, DWORD style);
    // Loads the menu resource and makes one button per top-level title. The menu is owned by the bar.
    bool LoadMenuResource(HINSTANCE instance, UINT id);
    HMENU menu() const noexcept { return menu_; }
    int titleCount() const noexcept;

    // Drops down the menu of title `index` under its button; commands go to the top-level window.
    void DropDown(int index);
    // Alt+letter (or Alt alone, letter 0): opens the title with that mnemonic, or the first one.
    bool OpenFromKeyboard(wchar_t letter);
    // The titles hidden by a narrow band, as one pop-up menu at the chevron.
    void ShowChevronMenu(const RECT& screenChevron);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int HitTest(POINT clientPoint) const;
    static LRESULT CALLBACK MenuFilter(int code, WPARAM wParam, LPARAM lParam);

    HMENU menu_ = nullptr;
    int nextIndex_ = -1;  // title to open after the current menu closes (keyboard or mouse travel)
    int openIndex_ = -1;
};

}  // namespace win
