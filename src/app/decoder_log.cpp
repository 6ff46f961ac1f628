// The decoder log: the view, its font, and the colours of the category formats.
#include "app/decoder_log.h"

#include <cwchar>

#include "app/main_frame_styles.h"

CDecoderLog::~CDecoderLog() {
    // The view normally goes with its parent; the font must outlive it.
    if (view_.hwnd() && ::IsWindow(view_.hwnd())) ::DestroyWindow(view_.hwnd());
}

bool CDecoderLog::Create(HWND parent, HINSTANCE /*instance*/) {
    LOGFONTW logFont{};
    logFont.lfHeight = 21;
    wcsncpy_s(logFont.lfFaceName, L"Fixedsys", _TRUNCATE);
    font_.reset(::CreateFontIndirectW(&logFont));
    if (!view_.Create(parent, main_frame_styles::kDecoderLogStyle, WS_EX_STATICEDGE)) return false;
    ::SendMessageW(view_.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return true;
}

void CDecoderLog::Clear() { view_.Clear(); }

void CDecoderLog::Append(const wchar_t* text, int length, const CHARFORMATW* format) {
    if (!text || !view_.hwnd()) return;
    if (length < 0) length = static_cast<int>(std::wcslen(text));
    const std::wstring_view piece(text, static_cast<std::size_t>(length));
    if (!format || !(format->dwMask & CFM_COLOR)) {
        view_.Append(piece, 0, true);
    } else {
        const bool automatic = (format->dwEffects & CFE_AUTOCOLOR) != 0;
        view_.Append(piece, automatic ? logview::kDefaultColour : format->crTextColor);
    }
}
