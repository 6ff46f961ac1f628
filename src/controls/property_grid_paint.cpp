// The grid paints every cell itself through the list view's custom draw.
#include "controls/property_grid.h"

LRESULT CPropertyGridCtrl::OnCustomDraw(NMLVCUSTOMDRAW& cd) {
    switch (cd.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        PaintRow(cd.nmcd.hdc, static_cast<int>(cd.nmcd.dwItemSpec));
        return CDRF_SKIPDEFAULT;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        return CDRF_SKIPDEFAULT;  // the row is painted already
    }
    return CDRF_DODEFAULT;
}

void CPropertyGridCtrl::PaintRow(HDC dc, int row) {
    if (!dc || row < 0 || row >= static_cast<int>(rows_.size())) return;
    int columns = IsAddRow(row) ? 1 : columnCount();
    for (int c = 0; c < columns; ++c) {
        RECT rc = CellRect(row, c);
        if (::IsRectEmpty(&rc)) continue;
        PaintCell(dc, row, c, ItemAt(Cell{row, c}), rc);
    }
}

void CPropertyGridCtrl::PaintCell(HDC dc, int row, int column, IProperty* item, const RECT& rc) {
    PropertyPaint p{};
    p.dc = dc;
    p.rect = rc;
    p.font = res_.font.get();
    p.boldFont = res_.boldFont.get();
    p.linePen = res_.linePen.get();
    p.selectedTextColor = res_.selectedText;
    p.selectedBackColor = res_.selectedBack;
    p.lineColor = res_.line;
    p.disabledTextColor = res_.disabledText;
    p.inactiveBackColor = res_.inactiveBack;
    p.metrics = res_.metrics;
    p.options = options_;

    COLORREF text = res_.text;
    COLORREF back = res_.back;
    if (row == selected_.row && (options_ & GRID_OPT_SHADE_SELECTED_ROW)) back = res_.inactiveBack;
    bool isSelected = row == selected_.row && (column == selected_.column || IsAddRow(row));
    if (isSelected) {
        p.state |= PROPERTY_STATE_SELECTED;
        if (options_ & GRID_OPT_HIGHLIGHT_SELECTED_CELL) {
            text = res_.selectedText;
            back = res_.selectedBack;
        }
    }
    if (editor_ && editorCell_ == Cell{row, column}) p.state |= PROPERTY_STATE_EDITING;
    if (item && !item->isEnabled()) p.state |= PROPERTY_STATE_DISABLED;
    if (!::IsWindowEnabled(hwnd())) back = res_.inactiveBack;
    p.textColor = text;
    p.backColor = back;

    win::SaveDcScope saved(dc);
    win::UniqueBrush backBrush(::CreateSolidBrush(back));
    if (backBrush) ::FillRect(dc, &rc, backBrush.get());
    if (p.font) ::SelectObject(dc, p.font);
    if (item) item->paintValue(p);

    if (!(options_ & GRID_OPT_NO_GRID_LINES) && p.linePen) {
        ::SelectObject(dc, p.linePen);
        ::MoveToEx(dc, rc.left, rc.bottom - 1, nullptr);
        ::LineTo(dc, rc.right - 1, rc.bottom - 1);
        ::MoveToEx(dc, rc.right - 1, rc.bottom - 1, nullptr);
        ::LineTo(dc, rc.right - 1, rc.top - 1);
    }

    bool editorInLine = editor_ && (editorCell_.row == row || editorCell_.column == column);
    bool showsSelection = ::GetFocus() == hwnd() || (::GetWindowLongPtrW(hwnd(), GWL_STYLE) & LVS_SHOWSELALWAYS);
    if (isSelected && !editorInLine && showsSelection) {
        RECT frame = rc;
        DWORD ex = static_cast<DWORD>(::SendMessageW(hwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        if (ex & LVS_EX_GRIDLINES) ::InflateRect(&frame, -1, -1);
        win::UniqueBrush frameBrush(::CreateSolidBrush(res_.selectedBack));
        if (frameBrush) ::FrameRect(dc, &frame, frameBrush.get());
    }
}
