// Text onto the clipboard, as the system's own edit controls put it there (CF_UNICODETEXT).
#pragma once
#include <windows.h>

#include <string_view>

namespace win {

// Replaces the clipboard's contents with `text`, on behalf of `owner`; false when the clipboard is
// busy (another program has it open) or no memory is left.
bool CopyTextToClipboard(HWND owner, std::wstring_view text);

}  // namespace win
