// The log view's drawing: the rows in sight, each piece in its colour, the selection over them.
#include <algorithm>

#include "controls/log_view.h"
#include "win/double_buffer.h"

namespace {

COLORREF Shown(logview::Colour colour) {
    return colour == logview::kDefaultColour ? ::GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(colour);
}

}  // namespace

void CLogView::OnPaint() {
    win::PaintScope paint(hwnd());
    if (!placed_) PlaceView();
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    win::PaintDoubleBuffered(paint.dc(), client, [&](HDC dc) { PaintRows(dc, client); });
}

void CLogView::OnPrintClient(HDC dc) {
    if (!placed_) PlaceView();
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    PaintRows(dc, client);
}

void CLogView::PaintRows(HDC dc, const RECT& client) {
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
    win::SelectObjectScope font(dc, font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(SYSTEM_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    std::size_t index = TopIndex();
    std::size_t row = topRow_;
    for (int y = client.top; y < client.bottom && index < text_.LineCount(); ++index, row = 0) {
        const std::vector<std::size_t> rows = RowsOf(index);
        const std::size_t length = text_.LineAt(index).text.size();
        for (; row < rows.size() && y < client.bottom; ++row, y += rowHeight_)
            PaintRow(dc, index, rows[row], row + 1 < rows.size() ? rows[row + 1] : length, y);
    }
}

void CLogView::PaintRow(HDC dc, std::size_t index, std::size_t from, std::size_t to, int y) {
    const std::wstring& line = text_.LineAt(index).text;
    const std::int64_t start = text_.LineStart(index);
    // The selected columns of this line; the line end counts as the column after the text.
    const std::int64_t selectedFrom = std::max<std::int64_t>(text_.SelectionStart() - start, 0);
    const std::int64_t selectedTo = text_.SelectionEnd() - start;
    const bool focused = ::GetFocus() == hwnd();
    const COLORREF selectedBack = ::GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    int x = kMarginX;
    auto draw = [&](std::size_t a, std::size_t b, logview::Colour colour) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, line.data() + a, static_cast<int>(b - a), &size);
        const bool selected = static_cast<std::int64_t>(a) >= selectedFrom && static_cast<std::int64_t>(b) <= selectedTo;
        if (selected) {
            const RECT back{x, y, x + size.cx, y + rowHeight_};
            ::SetBkColor(dc, selectedBack);
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &back, nullptr, 0, nullptr);
        }
        ::SetTextColor(dc, selected && focused ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : Shown(colour));
        ::ExtTextOutW(dc, x, y, 0, nullptr, line.data() + a, static_cast<UINT>(b - a), nullptr);
        x += size.cx;
    };
    text_.ForEachRun(index, from, to, [&](std::size_t a, std::size_t b, logview::Colour colour) {
        // Cut each piece where the selection begins and ends.
        std::size_t cuts[4] = {a, static_cast<std::size_t>(std::clamp<std::int64_t>(selectedFrom, a, b)),
                               static_cast<std::size_t>(std::clamp<std::int64_t>(selectedTo, a, b)), b};
        std::sort(std::begin(cuts), std::end(cuts));
        for (int i = 0; i < 3; ++i)
            if (cuts[i] < cuts[i + 1]) draw(cuts[i], cuts[i + 1], colour);
    });
    // A selected line end shows as a narrow block after the line's last row.
    const auto length = static_cast<std::int64_t>(line.size());
    if (to == line.size() && index + 1 < text_.LineCount() && selectedFrom <= length && selectedTo > length) {
        const RECT back{x, y, x + charWidth_, y + rowHeight_};
        ::SetBkColor(dc, selectedBack);
        ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &back, nullptr, 0, nullptr);
    }
}
