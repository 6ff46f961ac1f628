// The log view's creation, dispatch, measures, rows and scrolling.
#include "controls/log_view.h"

#include <algorithm>

HWND CLogView::Create(HWND parent, DWORD style, DWORD exStyle, UINT_PTR id) {
    if (!RegisterOwnClass(kClassName, CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_IBEAM), nullptr)) return nullptr;
    measure_.reset(::CreateCompatibleDC(nullptr));
    HWND created = CreateWithClass(kClassName, parent, RECT{0, 0, 0, 0}, nullptr, style, exStyle, id);
    if (created) OnSetFont(nullptr, false);
    return created;
}

LRESULT CLogView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint fills the whole client area
    case WM_PRINTCLIENT:
        OnPrintClient(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETFONT:
        OnSetFont(reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SETREDRAW:
        // Not passed on: the default handling hides the window meanwhile.
        redraw_ = wParam != 0;
        if (redraw_) Changed();
        return 0;
    case WM_SIZE:
    case WM_SHOWWINDOW:
        Changed();
        break;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(static_cast<short>(HIWORD(wParam)));
        return 0;
    case WM_LBUTTONDOWN:
        OnButtonDown(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))},
                     (wParam & MK_SHIFT) != 0);
        return 0;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_LBUTTONUP:
        if (selecting_) ::ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        selecting_ = false;
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Changed();  // the selection's colours follow the focus
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (OnKeyDown(wParam)) return 0;
        break;
    default:
        if (OnEditMessage(msg, wParam, lParam, result)) return result;
        break;
    }
    return DefaultHandling(msg, wParam, lParam);
}

void CLogView::OnSetFont(HFONT font, bool redraw) {
    font_ = font;
    Measure();
    placed_ = false;
    if (redraw) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLogView::Measure() {
    if (!measure_) return;
    ::SelectObject(measure_.get(), font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    if (::GetTextMetricsW(measure_.get(), &metrics)) {
        rowHeight_ = std::max<int>(1, metrics.tmHeight);
        charWidth_ = std::max<int>(1, metrics.tmAveCharWidth);
    }
}

std::vector<std::size_t> CLogView::RowsOf(std::size_t index) {
    if (index >= text_.LineCount()) return {0};
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const int width = std::max<int>(client.right - client.left - 2 * kMarginX, charWidth_);
    HDC dc = measure_.get();
    return logview::WrapRows(text_.LineAt(index).text, [dc, width](std::wstring_view piece) -> std::size_t {
        int fit = 0;
        SIZE size{};
        if (!dc || !::GetTextExtentExPointW(dc, piece.data(), static_cast<int>(piece.size()), width, &fit, nullptr, &size))
            return piece.size();
        return static_cast<std::size_t>(std::max(fit, 0));
    });
}

int CLogView::RowsInView() const {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    return std::max<int>(1, (client.bottom - client.top) / rowHeight_);
}

std::size_t CLogView::TopIndex() const {
    const std::int64_t index = topLine_ - text_.FirstLineNumber();
    return static_cast<std::size_t>(std::clamp<std::int64_t>(index, 0, static_cast<std::int64_t>(text_.LineCount()) - 1));
}

namespace {

bool Before(std::size_t index, std::size_t row, std::size_t otherIndex, std::size_t otherRow) {
    return index < otherIndex || (index == otherIndex && row < otherRow);
}

}  // namespace

CLogView::RowPlace CLogView::EndPlace() {
    std::size_t index = text_.LineCount() - 1;
    std::int64_t remaining = RowsInView();
    for (;;) {
        const auto rows = static_cast<std::int64_t>(RowsOf(index).size());
        if (rows >= remaining) return RowPlace{index, static_cast<std::size_t>(rows - remaining)};
        remaining -= rows;
        if (index == 0) return RowPlace{0, 0};
        --index;
    }
}

void CLogView::ClampTop() {
    const std::size_t index = TopIndex();
    if (topLine_ != text_.FirstLineNumber() + static_cast<std::int64_t>(index)) topRow_ = 0;  // out of the text
    topLine_ = text_.FirstLineNumber() + static_cast<std::int64_t>(index);
    const RowPlace end = EndPlace();
    if (Before(end.index, end.row, index, topRow_)) {
        topLine_ = text_.FirstLineNumber() + static_cast<std::int64_t>(end.index);
        topRow_ = end.row;
    } else {
        topRow_ = std::min(topRow_, RowsOf(index).size() - 1);
    }
}

bool CLogView::ShowsEnd() {
    const RowPlace end = EndPlace();
    return !Before(TopIndex(), topRow_, end.index, end.row);
}

void CLogView::PlaceView() {
    if (topLine_ < text_.FirstLineNumber()) {  // the lines shown first left the top
        topLine_ = text_.FirstLineNumber();
        topRow_ = 0;
    }
    if (follow_ && !text_.HasSelection()) {
        ScrollToEnd();
    } else {
        ClampTop();
        follow_ = ShowsEnd();
    }
    placed_ = true;
    UpdateScrollBar();
}

void CLogView::ScrollToEnd() {
    const RowPlace end = EndPlace();
    topLine_ = text_.FirstLineNumber() + static_cast<std::int64_t>(end.index);
    topRow_ = end.row;
    follow_ = true;
}

void CLogView::UpdateScrollBar() {
    if (!(::GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_VSCROLL)) return;
    const RowPlace end = EndPlace();
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nPage = static_cast<UINT>(RowsInView());
    info.nMax = static_cast<int>(std::min<std::size_t>(end.index + info.nPage - 1, INT32_MAX));
    if (end.index == 0 && end.row == 0) info.nMax = 0;  // everything fits: the bar is disabled
    info.nPos = static_cast<int>(std::min<std::size_t>(TopIndex(), INT32_MAX));
    ::SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
}

void CLogView::ScrollRows(std::int64_t rows) {
    std::size_t index = TopIndex();
    std::size_t row = topRow_;
    while (rows < 0) {
        if (row > 0) {
            --row;
        } else if (index > 0) {
            --index;
            row = RowsOf(index).size() - 1;
        } else {
            break;
        }
        ++rows;
    }
    while (rows > 0) {
        if (row + 1 < RowsOf(index).size()) {
            ++row;
        } else if (index + 1 < text_.LineCount()) {
            ++index;
            row = 0;
        } else {
            break;
        }
        --rows;
    }
    topLine_ = text_.FirstLineNumber() + static_cast<std::int64_t>(index);
    topRow_ = row;
    ClampTop();
    follow_ = ShowsEnd();
    UpdateScrollBar();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLogView::OnVScroll(WORD request) {
    if (!placed_) PlaceView();
    switch (request) {
    case SB_LINEUP: ScrollRows(-1); return;
    case SB_LINEDOWN: ScrollRows(1); return;
    case SB_PAGEUP: ScrollRows(-RowsInView()); return;
    case SB_PAGEDOWN: ScrollRows(RowsInView()); return;
    case SB_TOP:
        topLine_ = text_.FirstLineNumber();
        topRow_ = 0;
        ScrollRows(0);
        return;
    case SB_BOTTOM:
        ScrollToEnd();
        ScrollRows(0);
        return;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        ::GetScrollInfo(hwnd(), SB_VERT, &info);
        topLine_ = text_.FirstLineNumber() + info.nTrackPos;
        topRow_ = 0;
        ScrollRows(0);
        return;
    }
    default: return;
    }
}

void CLogView::OnMouseWheel(short delta) {
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL) lines = static_cast<UINT>(RowsInView());
    if (!placed_) PlaceView();
    ScrollRows(-static_cast<std::int64_t>(delta) * static_cast<std::int64_t>(lines) / WHEEL_DELTA);
}

void CLogView::Append(std::wstring_view text, logview::Colour colour, bool keepColour) {
    text_.Append(text, colour, keepColour);
    Changed();
}

void CLogView::Clear() {
    text_.Clear();
    topLine_ = 0;
    topRow_ = 0;
    follow_ = true;
    Changed();
}

void CLogView::Changed() {
    placed_ = false;
    if (redraw_ && hwnd() && ::IsWindowVisible(hwnd())) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLogView::DrawPending() {
    if (!hwnd() || !redraw_ || !::IsWindowVisible(hwnd())) return;
    if (!placed_) PlaceView();
    ::UpdateWindow(hwnd());
}
