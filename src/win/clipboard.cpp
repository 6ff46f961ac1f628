// The clipboard's text: the memory goes to the clipboard only once it took it, else it is ours to free.
#include "win/clipboard.h"

#include <cstring>

namespace win {

bool CopyTextToClipboard(HWND owner, std::wstring_view text) {
    if (!::OpenClipboard(owner)) return false;
    ::EmptyClipboard();
    bool copied = false;
    const SIZE_T bytes = text.size() * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes + sizeof(wchar_t))) {
        if (auto* p = static_cast<wchar_t*>(::GlobalLock(memory))) {
            if (bytes > 0) std::memcpy(p, text.data(), bytes);
            p[text.size()] = L'\0';
            ::GlobalUnlock(memory);
            copied = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!copied) ::GlobalFree(memory);
    }
    ::CloseClipboard();
    return copied;
}

}  // namespace win
