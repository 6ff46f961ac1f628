// The system's file dialogs (GetSaveFileName, GetOpenFileName) with what each caller sets, named.
#pragma once
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace win {

struct FileDialog {
    HWND owner = nullptr;
    const wchar_t* filter = nullptr;            // "name\0pattern\0" pairs, as OPENFILENAME takes them
    const wchar_t* defaultExtension = nullptr;  // added to a name typed without one
    const wchar_t* title = nullptr;             // null: the system's own
    const wchar_t* initialDirectory = nullptr;
    DWORD flags = 0;                            // OFN_*
    std::size_t maxPath = MAX_PATH;             // the longest name taken, its terminator included
};

// The file chosen; nothing when the user cancelled. `start` is the name shown first (cut to fit).
std::optional<std::wstring> AskSaveFile(const FileDialog& dialog, std::wstring_view start = {});
std::optional<std::wstring> AskOpenFile(const FileDialog& dialog, std::wstring_view start = {});

}  // namespace win
