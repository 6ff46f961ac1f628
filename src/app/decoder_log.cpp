// The decoder log: the view, its font, and each record category's colour from the palette.
#include "app/decoder_log.h"

#include <cwchar>

#include "app/main_frame_styles.h"
#include "theme/palette.h"
#include "win/colour.h"

bool CDecoderLog::Create(HWND parent, int id) {
    LOGFONTW logFont{};
    logFont.lfHeight = 21;
    wcsncpy_s(logFont.lfFaceName, L"Fixedsys", _TRUNCATE);
    font_.reset(::CreateFontIndirectW(&logFont));
    if (!view_.Create(parent, main_frame_styles::kDecoderLogStyle, WS_EX_STATICEDGE, static_cast<UINT_PTR>(id)))
        return false;
    ::SendMessageW(view_.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return true;
}

void CDecoderLog::Clear() { view_.Clear(); }

void CDecoderLog::Append(std::wstring_view text, decoder::Category category) {
    if (!view_.hwnd()) return;
    view_.Append(text, win::ToColorRef(palette::DecoderLogColour(category)));
}

void CDecoderLog::AppendInColourInForce(std::wstring_view text) {
    if (!view_.hwnd()) return;
    view_.Append(text, 0, true);
}
