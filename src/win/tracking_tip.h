// TrackingTip: a tooltip that follows the pointer beside a window (the spectrum's and the map's
// readouts). It owns its tooltip window, made on first use; the owner says what it shows and where.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "win/handles.h"

namespace win {

class TrackingTip {
public:
    // Makes the tip for `owner` unless it exists; `maxWidth` > 0 lets the text wrap and break at its
    // line ends. False when no tip could be made (the owner then goes on without one).
    bool Ensure(HWND owner, int maxWidth = 0);
    // Shows `text` from now on; nothing is sent when it is what the tip shows already.
    void SetText(const std::wstring& text);
    // Puts the tip at the owner's client point (x, y) and shows it.
    void ShowAt(int x, int y);
    void Hide();
    // Destroys the tip (with its owner, or when its measures change); the next Ensure makes a new one.
    void Reset();

    HWND hwnd() const noexcept { return tip_.get(); }
    const std::wstring& text() const noexcept { return text_; }

private:
    TTTOOLINFOW Info() const;

    UniqueWindow tip_;
    HWND owner_ = nullptr;
    std::wstring text_;
};

}  // namespace win
