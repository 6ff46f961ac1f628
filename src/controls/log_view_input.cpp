// The log view's input: positions and points, the mouse, the keys, the clipboard and the edit messages.
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "controls/log_view.h"
#include "win/clipboard.h"

namespace {

// Copies `text` into a caller's buffer of `capacity` characters (terminator included); the count copied.
LRESULT CopyOut(const std::wstring& text, wchar_t* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return 0;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n * sizeof(wchar_t));
    buffer[n] = L'\0';
    return static_cast<LRESULT>(n);
}

bool IsWordCharacter(wchar_t c) { return c != L' ' && c != L'\t'; }

}  // namespace

POINT CLogView::PositionToPoint(std::int64_t position) {
    if (!placed_) PlaceView();
    const std::size_t index = text_.LineFromPosition(position);
    const auto column = static_cast<std::size_t>(std::max<std::int64_t>(position - text_.LineStart(index), 0));
    const std::vector<std::size_t> rows = RowsOf(index);
    const std::size_t row = static_cast<std::size_t>(std::upper_bound(rows.begin(), rows.end(), column) - rows.begin()) - 1;
    // Rows from the first one shown to this one (negative above it).
    std::int64_t rowsBetween = 0;
    const std::size_t top = TopIndex();
    if (index >= top) {
        for (std::size_t i = top; i < index; ++i) rowsBetween += static_cast<std::int64_t>(RowsOf(i).size());
        rowsBetween += static_cast<std::int64_t>(row) - static_cast<std::int64_t>(topRow_);
    } else {
        for (std::size_t i = index; i < top; ++i) rowsBetween -= static_cast<std::int64_t>(RowsOf(i).size());
        rowsBetween += static_cast<std::int64_t>(row) - static_cast<std::int64_t>(topRow_);
    }
    const std::wstring& line = text_.LineAt(index).text;
    SIZE size{};
    const std::size_t to = std::min(column, line.size());
    if (to > rows[row]) ::GetTextExtentPoint32W(measure_.get(), line.data() + rows[row], static_cast<int>(to - rows[row]), &size);
    return POINT{kMarginX + size.cx, static_cast<LONG>(rowsBetween * rowHeight_)};
}

std::int64_t CLogView::PointToPosition(POINT point) {
    if (!placed_) PlaceView();
    std::size_t index = TopIndex();
    std::size_t row = topRow_;
    std::int64_t steps = point.y >= 0 ? point.y / rowHeight_ : (point.y - rowHeight_ + 1) / rowHeight_;
    std::vector<std::size_t> rows = RowsOf(index);
    for (; steps > 0; --steps) {
        if (row + 1 < rows.size()) {
            ++row;
        } else if (index + 1 < text_.LineCount()) {
            rows = RowsOf(++index);
            row = 0;
        } else {
            return text_.Length();  // below the text
        }
    }
    for (; steps < 0; ++steps) {
        if (row > 0) {
            --row;
        } else if (index > 0) {
            rows = RowsOf(--index);
            row = rows.size() - 1;
        } else {
            return 0;  // above the text
        }
    }
    const std::wstring& line = text_.LineAt(index).text;
    const std::size_t from = rows[row];
    const std::size_t to = row + 1 < rows.size() ? rows[row + 1] : line.size();
    std::vector<int> edges(to - from + 1, 0);
    SIZE size{};
    int fit = 0;
    if (to > from)
        ::GetTextExtentExPointW(measure_.get(), line.data() + from, static_cast<int>(to - from), INT32_MAX, &fit,
                                edges.data(), &size);
    // The nearest boundary between characters: past a character's middle is after it.
    const int x = point.x - kMarginX;
    std::size_t column = 0;
    for (std::size_t i = 0; i < to - from; ++i) {
        const int left = i == 0 ? 0 : edges[i - 1];
        if (x < (left + edges[i]) / 2) break;
        column = i + 1;
    }
    // A wrapped row's end is the next row's start: keep a click at its right on this row.
    if (row + 1 < rows.size() && column == to - from && column > 0) --column;
    return text_.LineStart(index) + static_cast<std::int64_t>(from + column);
}

void CLogView::SelectAndShow(std::int64_t anchor, std::int64_t caret) {
    text_.Select(anchor, caret);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLogView::OnButtonDown(POINT point, bool extend) {
    ::SetFocus(hwnd());
    const std::int64_t position = PointToPosition(point);
    if (extend)
        text_.ExtendTo(position);
    else
        text_.Select(position, position);
    selecting_ = true;
    ::SetCapture(hwnd());
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLogView::OnMouseMove(POINT point) {
    if (!selecting_) return;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    // Dragging past the top or the bottom scrolls a row a move.
    if (point.y < client.top) ScrollRows(-1);
    if (point.y >= client.bottom) ScrollRows(1);
    text_.ExtendTo(PointToPosition(point));
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLogView::OnDoubleClick(POINT point) {
    const std::int64_t position = PointToPosition(point);
    const std::size_t index = text_.LineFromPosition(position);
    const std::wstring& line = text_.LineAt(index).text;
    const std::int64_t start = text_.LineStart(index);
    auto from = static_cast<std::size_t>(std::clamp<std::int64_t>(position - start, 0, static_cast<std::int64_t>(line.size())));
    std::size_t to = from;
    while (from > 0 && IsWordCharacter(line[from - 1])) --from;
    while (to < line.size() && IsWordCharacter(line[to])) ++to;
    SelectAndShow(start + static_cast<std::int64_t>(from), start + static_cast<std::int64_t>(to));
}

bool CLogView::OnKeyDown(WPARAM key) {
    const bool control = ::GetKeyState(VK_CONTROL) < 0;
    if (!placed_) PlaceView();
    switch (key) {
    case VK_UP: ScrollRows(-1); return true;
    case VK_DOWN: ScrollRows(1); return true;
    case VK_PRIOR: ScrollRows(-RowsInView()); return true;
    case VK_NEXT: ScrollRows(RowsInView()); return true;
    case VK_HOME: OnVScroll(SB_TOP); return true;
    case VK_END: OnVScroll(SB_BOTTOM); return true;
    case 'A':
        if (!control) return false;
        SelectAndShow(0, text_.Length());
        return true;
    case 'C':
    case VK_INSERT:
        if (!control) return false;
        CopySelection();
        return true;
    default: return false;
    }
}

bool CLogView::CopySelection() {
    if (!text_.HasSelection()) return false;
    const std::wstring text = text_.Range(text_.SelectionStart(), text_.SelectionEnd(), L"\r\n");
    return win::CopyTextToClipboard(hwnd(), text);
}

bool CLogView::OnEditMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const auto length = text_.Length();
    // A selection asked for as (start, end): -1 as start selects nothing, 0 to -1 everything.
    auto select = [&](std::int64_t from, std::int64_t to) {
        if (from < 0) from = to = length;
        if (to < 0) to = length;
        SelectAndShow(from, to);
        result = static_cast<LRESULT>(text_.SelectionEnd());
    };
    switch (msg) {
    case WM_GETTEXTLENGTH:
        result = static_cast<LRESULT>(length + static_cast<std::int64_t>(text_.Lines()));  // line ends as CR LF
        return true;
    case WM_GETTEXT:
        result = CopyOut(text_.Range(0, length, L"\r\n"), reinterpret_cast<wchar_t*>(lParam), wParam);
        return true;
    case WM_SETTEXT:
        Clear();
        if (lParam) Append(reinterpret_cast<const wchar_t*>(lParam), 0, true);
        result = TRUE;
        return true;
    case EM_GETTEXTLENGTHEX: {
        const auto* query = reinterpret_cast<const GETTEXTLENGTHEX*>(wParam);
        const bool crlf = query && (query->flags & GTL_USECRLF);
        result = static_cast<LRESULT>(length + (crlf ? static_cast<std::int64_t>(text_.Lines()) : 0));
        return true;
    }
    case EM_GETTEXTEX: {
        const auto* get = reinterpret_cast<const GETTEXTEX*>(wParam);
        if (!get || (get->codepage != 1200 && get->codepage != CP_ACP)) return true;
        const std::wstring_view end = (get->flags & GT_USECRLF) ? L"\r\n" : L"\r";
        const bool selection = (get->flags & GT_SELECTION) != 0;
        const std::wstring text = text_.Range(selection ? text_.SelectionStart() : 0, selection ? text_.SelectionEnd() : length, end);
        result = CopyOut(text, reinterpret_cast<wchar_t*>(lParam), get->cb / sizeof(wchar_t));
        return true;
    }
    case EM_GETTEXTRANGE: {
        auto* range = reinterpret_cast<TEXTRANGEW*>(lParam);
        if (!range || !range->lpstrText) return true;
        const std::int64_t to = range->chrg.cpMax < 0 ? length : range->chrg.cpMax;
        const std::wstring text = text_.Range(range->chrg.cpMin, to, L"\r");
        result = CopyOut(text, range->lpstrText, text.size() + 1);
        return true;
    }
    case EM_GETSELTEXT: {
        const std::wstring text = text_.Range(text_.SelectionStart(), text_.SelectionEnd(), L"\r");
        result = CopyOut(text, reinterpret_cast<wchar_t*>(lParam), text.size() + 1);
        return true;
    }
    case EM_EXGETSEL:
        if (auto* range = reinterpret_cast<CHARRANGE*>(lParam)) {
            range->cpMin = static_cast<LONG>(text_.SelectionStart());
            range->cpMax = static_cast<LONG>(text_.SelectionEnd());
        }
        return true;
    case EM_GETSEL:
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(text_.SelectionStart());
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(text_.SelectionEnd());
        result = MAKELRESULT(std::min<std::int64_t>(text_.SelectionStart(), 0xFFFF), std::min<std::int64_t>(text_.SelectionEnd(), 0xFFFF));
        return true;
    case EM_EXSETSEL:
        if (const auto* range = reinterpret_cast<const CHARRANGE*>(lParam)) select(range->cpMin, range->cpMax);
        return true;
    case EM_SETSEL:
        select(static_cast<int>(wParam), static_cast<int>(lParam));
        return true;
    case EM_GETCHARFORMAT:
        if (auto* format = reinterpret_cast<CHARFORMATW*>(lParam); format && format->cbSize >= sizeof(CHARFORMATW)) {
            const std::int64_t at = wParam == SCF_SELECTION ? text_.SelectionStart() : length;
            const std::size_t index = text_.LineFromPosition(at);
            const logview::Colour colour =
                text_.ColourAt(index, static_cast<std::size_t>(at - text_.LineStart(index)));
            format->dwMask = CFM_COLOR;
            format->dwEffects = colour == logview::kDefaultColour ? CFE_AUTOCOLOR : 0;
            format->crTextColor = colour == logview::kDefaultColour ? ::GetSysColor(COLOR_WINDOWTEXT) : colour;
            result = CFM_COLOR;
        }
        return true;
    case EM_LINEFROMCHAR:
    case EM_EXLINEFROMCHAR: {
        const auto at = static_cast<std::int64_t>(msg == EM_LINEFROMCHAR ? static_cast<int>(wParam) : lParam);
        result = static_cast<LRESULT>(text_.LineFromPosition(at < 0 ? text_.SelectionStart() : at));
        return true;
    }
    case EM_LINEINDEX: {
        const auto line = static_cast<int>(wParam);
        const std::size_t index = line < 0 ? text_.LineFromPosition(text_.SelectionStart()) : static_cast<std::size_t>(line);
        result = index < text_.LineCount() ? static_cast<LRESULT>(text_.LineStart(index)) : -1;
        return true;
    }
    case EM_LINELENGTH: {
        const std::size_t index = text_.LineFromPosition(static_cast<int>(wParam));
        result = static_cast<LRESULT>(text_.LineAt(index).text.size());
        return true;
    }
    case EM_GETLINECOUNT:
        result = static_cast<LRESULT>(text_.LineCount());
        return true;
    case EM_GETFIRSTVISIBLELINE:
        if (!placed_) PlaceView();
        result = static_cast<LRESULT>(TopIndex());
        return true;
    case EM_LINESCROLL:
        if (!placed_) PlaceView();
        topLine_ += static_cast<int>(lParam);
        topRow_ = 0;
        ScrollRows(0);
        result = TRUE;
        return true;
    case EM_SCROLLCARET: {
        const POINT caret = PositionToPoint(text_.Caret());
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        if (caret.y < 0) ScrollRows(caret.y / rowHeight_);
        if (caret.y + rowHeight_ > client.bottom) ScrollRows((caret.y + rowHeight_ - client.bottom + rowHeight_ - 1) / rowHeight_);
        return true;
    }
    case EM_POSFROMCHAR:
        if (auto* point = reinterpret_cast<POINTL*>(wParam)) {
            const POINT at = PositionToPoint(static_cast<std::int64_t>(lParam));
            point->x = at.x;
            point->y = at.y;
        }
        return true;
    case EM_CHARFROMPOS:
        if (const auto* point = reinterpret_cast<const POINTL*>(lParam))
            result = static_cast<LRESULT>(PointToPosition(POINT{point->x, point->y}));
        return true;
    case WM_COPY:
        CopySelection();
        return true;
    default:
        return false;
    }
}
