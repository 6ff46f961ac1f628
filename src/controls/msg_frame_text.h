// UTF-8 and UTF-16 for the messages pane (the store keeps UTF-8, the controls take UTF-16).
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace msgframe {

inline std::wstring Wide(std::string_view s) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

inline std::string Utf8(std::wstring_view w) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

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

// Milliseconds since 1970, UTC.
inline std::int64_t NowMs() {
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const auto ticks = (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return ticks / 10'000 - 11'644'473'600'000LL;
}

}  // namespace msgframe
