// The grid's selection, mouse, keyboard, navigation and in-place editing.
#include "controls/property_grid.h"

#include <windowsx.h>

#include "controls/property_editors.h"

LRESULT CPropertyGridCtrl::OnReflectedNotify(NMHDR& hdr) {
    if (hdr.hwndFrom != hwnd()) return 0;
    switch (hdr.code) {
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(hdr));
    case LVN_ITEMCHANGED: {
        auto& lv = reinterpret_cast<NMLISTVIEW&>(hdr);
        if ((lv.uChanged & LVIF_STATE) && (lv.uNewState & LVIS_SELECTED) && !(lv.uOldState & LVIS_SELECTED))
            OnRowSelected(lv.iItem);
        return 0;
    }
    }
    return 0;
}

LRESULT CPropertyGridCtrl::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr) {
        switch (hdr->code) {
        case HDN_DIVIDERDBLCLICKW: case HDN_DIVIDERDBLCLICKA:
            return 0;  // no automatic column sizing
        case HDN_BEGINTRACKW: case HDN_BEGINTRACKA: case HDN_TRACKW: case HDN_TRACKA:
        case HDN_ITEMCHANGINGW: case HDN_ITEMCHANGINGA: case HDN_ITEMCHANGEDW: case HDN_ITEMCHANGEDA:
            closeEditor();  // the cell under the editor is moving: drop the edit
            break;
        }
    }
    return DefaultHandling(msg, wParam, lParam);
}

void CPropertyGridCtrl::OnRowSelected(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    invalidateCell(selected_.row, selected_.column);
    selected_.row = row;
    int columns = columnCount();
    if (selected_.column < 0 || IsAddRow(row)) selected_.column = 0;
    if (selected_.column >= columns) selected_.column = columns > 0 ? columns - 1 : 0;
    invalidateCell(selected_.row, selected_.column);
    Notify(GRID_SELECTION_CHANGED, ItemAt(selected_));
}

void CPropertyGridCtrl::ClearSelection() {
    invalidateCell(selected_.row, selected_.column);
    selected_ = {};
    Notify(GRID_SELECTION_CHANGED, nullptr);
}

CPropertyGridCtrl::Cell CPropertyGridCtrl::HitTest(POINT pt) const {
    LVHITTESTINFO hti{};
    hti.pt = pt;
    ::SendMessageW(hwnd(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hti));
    if (hti.iItem < 0 || hti.iItem >= static_cast<int>(rows_.size()) || !(hti.flags & LVHT_ONITEM)) return {};
    if (IsAddRow(hti.iItem)) return Cell{hti.iItem, 0};
    if (hti.iSubItem < 0 || hti.iSubItem >= columnCount()) return {};
    return Cell{hti.iItem, hti.iSubItem};
}

LRESULT CPropertyGridCtrl::OnMouseDown(UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    invalidateCell(selected_.row, selected_.column);
    Cell hit = HitTest(pt);
    Cell old = selected_;
    if (hit.valid()) selected_.column = hit.column;
    // A text typed in place is kept when the user clicks elsewhere, as when the focus leaves it;
    // other editors show a value that is already chosen, and are dropped.
    if (IProperty* edited = editor_ ? ItemAt(editorCell_) : nullptr; edited && edited->kind() == PROPERTY_KIND_TEXT_EDIT)
        OnEditorCommit(editor_, GRID_COMMIT_PLAIN);
    closeEditor();
    DefaultHandling(msg, wParam, lParam);  // the list view moves its selected row (and reports it)
    if (!hit.valid()) {
        ClearSelection();
        return 0;
    }
    IProperty* item = ItemAt(hit);
    if (!item) {  // an empty cell: it can be selected, nothing more
        selected_ = hit;
        if (old.row == hit.row && old.column != hit.column) Notify(GRID_SELECTION_CHANGED, nullptr);
        invalidateCell(hit.row, hit.column);
        return 0;
    }
    if (Notify(GRID_CELL_CLICKED, item)) return 0;
    // Every call out may change the rows (the add-row's handler inserts one): follow the item.
    if ((hit = findItem(item), !hit.valid())) return 0;
    item->activate(PROPERTY_ACT_CLICK, pt);
    if ((hit = findItem(item), !hit.valid())) return 0;
    selected_ = hit;
    if (!IsAddRow(hit.row)) {
        if (old.row == hit.row && old.column != hit.column) {
            Notify(GRID_SELECTION_CHANGED, item);
            if ((hit = findItem(item), !hit.valid())) return 0;
        }
        if (item->isEnabled() && ((options_ & GRID_OPT_SINGLE_CLICK_EDIT) || old == hit)) {
            item->activate(OpenEditor(hit) ? PROPERTY_ACT_EDITOR_OPENED : PROPERTY_ACT_NO_EDITOR, pt);
            if ((hit = findItem(item), !hit.valid())) return 0;
        }
    }
    invalidateCell(hit.row, hit.column);
    return 0;
}

LRESULT CPropertyGridCtrl::OnKeyDown(WPARAM key, LPARAM lParam) {
    IProperty* item = ItemAt(selected_);
    switch (key) {
    case VK_TAB:
        if (options_ & GRID_OPT_TAB_NAVIGATES) {
            OnNavigate(VK_TAB);
        } else if (HWND parent = ::GetParent(hwnd())) {
            ::SendMessageW(parent, WM_NEXTDLGCTL, (::GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, FALSE);
        }
        return 0;
    case VK_LEFT:
    case VK_RIGHT:
        ::SendMessageW(hwnd(), GRID_MSG_NAVIGATE, key, 0);
        return 0;
    case VK_RETURN:
    case VK_SPACE:
    case VK_F2:
        if (item && item->isEnabled()) {
            Cell cell = selected_;
            OpenEditor(cell);
            item->activate(PROPERTY_ACT_EDITOR_OPENED, POINT{0, 0});
            Cell now = findItem(item);
            invalidateCell(now.row, now.column);
        }
        return 0;
    case VK_DELETE:
        if (item && item->kind() == PROPERTY_KIND_TEXT_EDIT && item->isEnabled() && OpenEditor(selected_)) {
            item->activate(PROPERTY_ACT_EDITOR_OPENED, POINT{0, 0});
            if (editor_) ::SendMessageW(editor_, WM_KEYDOWN, key, lParam);
            return 0;
        }
        break;
    }
    return DefaultHandling(WM_KEYDOWN, key, lParam);
}

LRESULT CPropertyGridCtrl::OnChar(WPARAM ch, LPARAM lParam) {
    if (ch <= L' ') return 0;  // a space already acted on key-down; control characters mean nothing here
    IProperty* item = ItemAt(selected_);
    if (item && item->isEnabled() && OpenEditor(selected_)) {
        item->activate(PROPERTY_ACT_EDITOR_OPENED, POINT{0, 0});
        if (editor_) ::SendMessageW(editor_, WM_CHAR, ch, lParam);  // typing starts the edit
    }
    return 0;
}

void CPropertyGridCtrl::OnNavigate(UINT key) {
    if ((options_ & GRID_OPT_NO_CELL_NAVIGATION) || !selected_.valid()) return;
    closeEditor();
    if (key == VK_TAB) key = VK_RIGHT;
    Cell cell = selected_;
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
        int column = cell.column + (key == VK_LEFT ? -1 : 1);
        if (IsAddRow(cell.row) || column < 0 || column >= columnCount()) return;
        invalidateCell(cell.row, cell.column);
        selected_.column = column;
        invalidateCell(cell.row, column);
        Notify(GRID_SELECTION_CHANGED, ItemAt(selected_));
        break;
    }
    case VK_UP:
        if (cell.row > 0) selectItem(cell.row - 1, cell.column);
        break;
    case VK_DOWN:
        if (cell.row + 1 < dataRowCount()) selectItem(cell.row + 1, cell.column);
        break;
    }
}

bool CPropertyGridCtrl::OpenEditor(const Cell& cell) {
    closeEditor();
    IProperty* item = ItemAt(cell);
    if (!item || !item->isEnabled() || cell.row != ListSelectedRow() || !::IsWindowEnabled(hwnd())) return false;
    RECT rc = CellRect(cell.row, cell.column);
    rc.right -= 1;
    rc.bottom -= 1;
    HWND editor = item->createEditor(hwnd(), rc);
    if (!editor) return false;
    editor_ = editor;
    editorCell_ = cell;
    replacedEditor_ = nullptr;
    ::ShowWindow(editor, SW_SHOW);
    ::SetFocus(editor);
    invalidateCell(cell.row, cell.column);
    return true;
}

void CPropertyGridCtrl::ReopenEditor() {
    HWND old = editor_;
    Cell cell = editorCell_;
    if (OpenEditor(cell)) replacedEditor_ = old;
}

void CPropertyGridCtrl::closeEditor() {
    if (!editor_) return;
    HWND editor = editor_;
    Cell cell = editorCell_;
    CPropertyEditorWindow* object = CPropertyEditorWindow::FromWindow(editor);
    HWND focus = ::GetFocus();
    if (focus && (focus == hwnd() || ::IsChild(hwnd(), focus) || (object && object->OwnsWindow(focus))))
        ::SetFocus(hwnd());
    editor_ = nullptr;
    editorCell_ = {};
    replacedEditor_ = nullptr;
    IProperty* item = ItemAt(cell);
    if (object) object->DetachItem();
    ::ShowWindow(editor, SW_HIDE);
    // Posted: the editor may be the one whose message led here.
    if (item && item->kind() == PROPERTY_KIND_IMMEDIATE_CLOSE) ::DestroyWindow(editor);
    else ::PostMessageW(editor, WM_CLOSE, 0, 0);
    invalidateCell(cell.row, cell.column);
}

void CPropertyGridCtrl::OnEditorCommit(HWND editor, LPARAM reason) {
    if (!editor_ || !editor) return;
    bool mine = editor == editor_ || (reason == GRID_COMMIT_BUTTON && editor == replacedEditor_);
    if (!mine) return;  // a late request from an editor that is already gone
    Cell cell = editorCell_;
    IProperty* item = ItemAt(cell);
    if (!item) {
        closeEditor();
        return;
    }
    PropertyValue old;
    bool haveOld = item->value(old);
    if (!item->takeValueFromEditor(editor_)) {
        if (haveOld) item->setValue(old);  // a refusal leaves the value as it was
        ::MessageBeep(MB_OK);
        return;
    }
    if (Notify(GRID_VALUE_CHANGING, item)) {
        if (haveOld && findItem(item).valid()) item->setValue(old);
    } else {
        Notify(GRID_VALUE_CHANGED, item);
    }
    Cell now = findItem(item);
    invalidateCell(now.row, now.column);
    closeEditor();
}

void CPropertyGridCtrl::OnEditorCancel(HWND editor) {
    if (!editor_ || editor != editor_) return;
    invalidateCell(editorCell_.row, editorCell_.column);
    closeEditor();
}

void CPropertyGridCtrl::OnSetValue(const PropertyValue* v, IProperty* item) {
    if (!v || !findItem(item).valid()) return;  // only items of this grid
    PropertyValue wanted = *v;
    if (!Notify(GRID_VALUE_CHANGING, item) && findItem(item).valid()) {
        if (!item->setValue(wanted)) ::MessageBeep(MB_OK);
        Notify(GRID_VALUE_CHANGED, item);
    }
    Cell c = findItem(item);
    if (!c.valid()) return;
    invalidateCell(c.row, c.column);
    if (editor_ && editorCell_.row == c.row) ReopenEditor();
}
