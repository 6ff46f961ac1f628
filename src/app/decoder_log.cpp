// The decoder log's rich edit: appending, and clearing by replacing the control.
#include "app/decoder_log.h"

#include <cwchar>
#include <string>

#include "app/main_frame_styles.h"

CDecoderLog::~CDecoderLog() {
    // The control normally goes with its parent; the font must outlive it.
    if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

HWND CDecoderLog::CreateControl(HWND parent, DWORD style, DWORD exStyle, const RECT& place) const {
    HWND control = ::CreateWindowExW(exStyle, L"RichEdit20W", nullptr, style, place.left, place.top,
                                     place.right - place.left, place.bottom - place.top, parent, nullptr, instance_,
                                     nullptr);
    if (!control) return nullptr;
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    // A rich edit stops taking text at 32767 characters unless told otherwise: a long run would
    // silently stop showing records.
    ::SendMessageW(control, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    return control;
}

bool CDecoderLog::Create(HWND parent, HINSTANCE instance) {
    instance_ = instance;
    LOGFONTW logFont{};
    logFont.lfHeight = 21;
    wcsncpy_s(logFont.lfFaceName, L"Fixedsys", _TRUNCATE);
    font_.reset(::CreateFontIndirectW(&logFont));
    window_ = CreateControl(parent, main_frame_styles::kDecoderLogStyle, WS_EX_STATICEDGE,
                            RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT});
    counter_ = 0;
    lineLengths_.clear();
    openLine_ = 0;
    return window_ != nullptr;
}

HWND CDecoderLog::Clear() {
    HWND old = window_;
    counter_ = 0;
    lineLengths_.clear();
    openLine_ = 0;
    if (!old) return nullptr;
    // Deleting text in some rich edits (Wine's) walks the document once per run deleted, so that
    // emptying a long, many-coloured log by select-all and replace, WM_SETTEXT or streaming in an
    // empty text takes minutes. Destroying the control frees it in one pass.
    HWND parent = ::GetParent(old);
    RECT place{};
    ::GetWindowRect(old, &place);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(old, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(old, GWL_EXSTYLE));
    HWND fresh = CreateControl(parent, style, exStyle, place);
    if (!fresh) {
        // Keep a working log rather than none: fall back to deleting the text in place.
        ::SendMessageW(old, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        return old;
    }
    ::SetWindowPos(fresh, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const bool hadFocus = ::GetFocus() == old;
    window_ = fresh;
    if (hadFocus) ::SetFocus(fresh);
    ::DestroyWindow(old);
    return old;
}

void CDecoderLog::Append(const wchar_t* text, int length, const CHARFORMATW* format) {
    if (!text || !window_) return;
    if (length < 0) length = static_cast<int>(std::wcslen(text));
    POINT scroll{};
    ::SendMessageW(window_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    CHARRANGE selection{};
    ::SendMessageW(window_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));

    // Placing the caret costs a walk through the whole text in some rich edits: skip it when the
    // caret already stands at the counter, as it does after every append but a user's click.
    CHARRANGE end{counter_, counter_};
    if (selection.cpMin != end.cpMin || selection.cpMax != end.cpMax)
        ::SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    if (format) {
        CHARFORMATW applied = *format;
        applied.cbSize = sizeof(CHARFORMATW);
        ::SendMessageW(window_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&applied));
    }
    // EM_REPLACESEL needs a terminated string; the text may be a piece of a longer one.
    const std::wstring piece(text, static_cast<std::size_t>(length));
    ::SendMessageW(window_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));

    if (selection.cpMin == selection.cpMax) {
        ::SendMessageW(window_, WM_VSCROLL, SB_BOTTOM, 0);
    } else {
        ::SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        ::SendMessageW(window_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    }
    // The rich edit stores a line end as one character, as the text has it.
    counter_ += length;
    CountLines(text, length);
    TrimTop();
}

void CDecoderLog::CountLines(const wchar_t* text, int length) {
    for (int i = 0; i < length; ++i) {
        ++openLine_;
        if (text[i] == L'\n') {
            lineLengths_.push_back(openLine_);
            openLine_ = 0;
        }
    }
}

void CDecoderLog::TrimTop() {
    // Lines leave 32 at a time. In some rich edits (Wine's) each deletion at the top costs a pass over
    // everything held plus a renumbering of the rest for every line deleted: larger steps spread the
    // pass over more lines but make each pause longer.
    constexpr std::size_t step = 32;
    if (lineLimit_ == 0 || lineLengths_.size() <= lineLimit_ + step) return;
    LONG cut = 0;
    while (lineLengths_.size() > lineLimit_) {
        cut += lineLengths_.front();
        lineLengths_.pop_front();
    }
    CHARRANGE selection{};
    ::SendMessageW(window_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const bool following = selection.cpMin == selection.cpMax;
    // Where the first kept character stands in the view, to put it back there afterwards.
    POINTL firstKept{};
    POINT scroll{};
    if (!following) {
        ::SendMessageW(window_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&firstKept), cut);
        ::SendMessageW(window_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    }

    CHARRANGE top{0, cut};
    ::SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&top));
    ::SendMessageW(window_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    counter_ -= cut;

    if (following) {
        CHARRANGE end{counter_, counter_};
        ::SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        ::SendMessageW(window_, WM_VSCROLL, SB_BOTTOM, 0);
        return;
    }
    // A selection in the lines that left shrinks to what is left of it, or to the top.
    selection.cpMin = selection.cpMin > cut ? selection.cpMin - cut : 0;
    selection.cpMax = selection.cpMax > cut ? selection.cpMax - cut : 0;
    ::SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    scroll.y = firstKept.y < 0 ? -firstKept.y : 0;
    ::SendMessageW(window_, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
}
