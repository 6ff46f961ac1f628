// Text helpers for the messages pane: a window's text and UTF-16 positions.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace msgframe {

inline std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The UTF-16 index of character `column` (1-based, counted in code points) of `text`.
inline int Utf16Index(std::wstring_view text, int column) {
    int index = 0;
    for (int c = 1; c < column && index < static_cast<int>(text.size()); ++c) {
        const wchar_t unit = text[static_cast<std::size_t>(index)];
        index += unit >= 0xD800 && unit < 0xDC00 ? 2 : 1;
    }
    return index < static_cast<int>(text.size()) ? index : static_cast<int>(text.size());
}

}  // namespace msgframe
