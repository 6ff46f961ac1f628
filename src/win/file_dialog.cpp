// The file dialogs: one OPENFILENAME filled the same way for saving and for opening.
#include "win/file_dialog.h"

#include <commdlg.h>

#include <vector>

namespace win {

namespace {

std::optional<std::wstring> Ask(const FileDialog& dialog, std::wstring_view start, BOOL(WINAPI* ask)(OPENFILENAMEW*)) {
    std::vector<wchar_t> file(dialog.maxPath > 0 ? dialog.maxPath : 1, L'\0');
    start.copy(file.data(), file.size() - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dialog.owner;
    ofn.lpstrFilter = dialog.filter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dialog.initialDirectory;
    ofn.lpstrDefExt = dialog.defaultExtension;
    ofn.lpstrTitle = dialog.title;
    ofn.Flags = dialog.flags;
    if (!ask(&ofn)) return std::nullopt;
    return std::wstring(file.data());
}

}  // namespace

std::optional<std::wstring> AskSaveFile(const FileDialog& dialog, std::wstring_view start) {
    return Ask(dialog, start, ::GetSaveFileNameW);
}

std::optional<std::wstring> AskOpenFile(const FileDialog& dialog, std::wstring_view start) {
    return Ask(dialog, start, ::GetOpenFileNameW);
}

}  // namespace win
