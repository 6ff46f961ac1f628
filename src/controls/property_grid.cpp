// The grid's structure: creation, drawing resources, rows and cells, and the owner's operations.
#include "controls/property_grid.h"

#include "win/dpi.h"

#include <algorithm>
#include <cwchar>

#include "controls/property_editors.h"
#include "win/reflect.h"

// An open editor points at one of the rows: it lets go of it before the rows go. The window itself
// goes in the base, detached (window.h).
CPropertyGridCtrl::~CPropertyGridCtrl() {
    if (editor_ && ::IsWindow(hwnd())) closeEditor();
}

HWND CPropertyGridCtrl::create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle, UINT id) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (!win::Window::RegisterSuperclass(WC_LISTVIEWW, kClassName)) return nullptr;
    DWORD listStyle = (style & ~LVS_TYPEMASK) | WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    return CreateWithClass(kClassName, parent, rect, L"", listStyle, exStyle, id);
}

LRESULT CPropertyGridCtrl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: return OnCreate(wParam, lParam);
    case WM_DESTROY: OnDestroy(); break;
    case WM_NCDESTROY: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        rows_.clear();
        return r;
    }
    case win::kReflectBase + WM_NOTIFY:
        return lParam ? OnReflectedNotify(*reinterpret_cast<NMHDR*>(lParam)) : 0;
    case WM_NOTIFY: return OnChildNotify(msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnMouseDown(msg, wParam, lParam);
    case WM_KEYDOWN: return OnKeyDown(wParam, lParam);
    case WM_CHAR: return OnChar(wParam, lParam);
    case WM_GETDLGCODE: return DefaultHandling(msg, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_SIZE: case WM_VSCROLL: case WM_HSCROLL: case WM_MOUSEWHEEL: case WM_MOUSEHWHEEL: case LVM_SCROLL:
        closeEditor();
        break;
    case WM_SETFOCUS: case WM_KILLFOCUS: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        invalidateCell(selected_.row, selected_.column);
        return r;
    }
    case WM_ENABLE:
        if (!wParam) closeEditor();
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        break;
    case WM_SETTINGCHANGE: case WM_SYSCOLORCHANGE: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        BuildResources();
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return r;
    }
    case LVM_INSERTITEMW: return OnInsertItemMessage(wParam, lParam);
    case LVM_DELETEITEM: return OnDeleteItemMessage(static_cast<int>(wParam));
    case LVM_DELETEALLITEMS: return OnDeleteAllMessage();
    case GRID_MSG_EDITOR_COMMIT: OnEditorCommit(reinterpret_cast<HWND>(wParam), lParam); return 0;
    case GRID_MSG_EDITOR_CANCEL: OnEditorCancel(reinterpret_cast<HWND>(wParam)); return 0;
    case GRID_MSG_SET_VALUE:
        OnSetValue(reinterpret_cast<const PropertyValue*>(wParam), reinterpret_cast<IProperty*>(lParam));
        return 0;
    case GRID_MSG_NAVIGATE: OnNavigate(static_cast<UINT>(wParam)); return 0;
    }
    return DefaultHandling(msg, wParam, lParam);
}

LRESULT CPropertyGridCtrl::OnCreate(WPARAM wParam, LPARAM lParam) {
    LRESULT r = DefaultHandling(WM_CREATE, wParam, lParam);
    if (r == -1) return r;
    LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
    DefaultHandling(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    BuildResources();
    return r;
}

void CPropertyGridCtrl::OnDestroy() {
    closeEditor();
    selected_ = {};
}

void CPropertyGridCtrl::BuildResources() {
    closeEditor();  // an open editor uses the font that is about to go
    Resources next;
    next.text = ::GetSysColor(COLOR_WINDOWTEXT);
    next.back = ::GetSysColor(COLOR_WINDOW);
    next.selectedText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    next.selectedBack = ::GetSysColor(COLOR_HIGHLIGHT);
    next.line = ::GetSysColor(COLOR_BTNFACE);
    next.disabledText = ::GetSysColor(COLOR_GRAYTEXT);
    next.inactiveBack = ::GetSysColor(COLOR_BTNFACE);
    next.linePen.reset(::CreatePen(PS_SOLID, 1, next.line));

    HWND parent = ::GetParent(hwnd());
    HFONT source = parent ? reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (!source) source = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf{};
    if (::GetObjectW(source, sizeof(lf), &lf) == sizeof(lf)) {
        const int systemDpi = win::SystemDpi();
        if (dpi_ > 0 && dpi_ != systemDpi) lf.lfHeight = ::MulDiv(lf.lfHeight, dpi_, systemDpi);
        next.font.reset(::CreateFontIndirectW(&lf));
        lf.lfWeight = std::min<LONG>(lf.lfWeight + 700, 1000);  // heavier, within the valid weights
        next.boldFont.reset(::CreateFontIndirectW(&lf));
    }
    HFONT listFont = next.font ? next.font.get() : source;
    DefaultHandling(WM_SETFONT, reinterpret_cast<WPARAM>(listFont), FALSE);
    {
        win::WindowDc dc(hwnd());
        if (dc.get()) {
            win::SelectObjectScope sel(dc.get(), listFont);
            ::GetTextMetricsW(dc.get(), &next.metrics);
        }
    }
    res_ = std::move(next);  // the old objects go only after the list view stopped using them
}

void CPropertyGridCtrl::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_ || (dpi_ == 0 && dpi == win::SystemDpi())) return;
    dpi_ = dpi;
    if (!hwnd()) return;
    BuildResources();
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

int CPropertyGridCtrl::AddColumn(const wchar_t* text, int width) {
    if (!hwnd()) return -1;
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = LVCFMT_LEFT;
    col.cx = width;
    col.pszText = const_cast<wchar_t*>(text ? text : L"");
    return static_cast<int>(::SendMessageW(hwnd(), LVM_INSERTCOLUMNW, columnCount(), reinterpret_cast<LPARAM>(&col)));
}

int CPropertyGridCtrl::columnCount() const {
    if (!hwnd()) return 0;
    HWND header = reinterpret_cast<HWND>(::SendMessageW(hwnd(), LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

bool CPropertyGridCtrl::HasAddRow() const noexcept { return !rows_.empty() && rows_.back()->addRow; }

bool CPropertyGridCtrl::IsAddRow(int row) const noexcept {
    return row >= 0 && row < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(row)]->addRow;
}

int CPropertyGridCtrl::dataRowCount() const noexcept {
    return static_cast<int>(rows_.size()) - (HasAddRow() ? 1 : 0);
}

IProperty* CPropertyGridCtrl::ItemAt(const Cell& c) const {
    if (c.row < 0 || c.row >= static_cast<int>(rows_.size()) || c.column < 0) return nullptr;
    const auto& cells = rows_[static_cast<size_t>(c.row)]->cells;
    return c.column < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(c.column)].get() : nullptr;
}

IProperty* CPropertyGridCtrl::getSubItem(int row, int column) const {
    if (column >= columnCount()) return nullptr;
    return ItemAt(Cell{row, column});
}

int CPropertyGridCtrl::InsertRow(int position, std::unique_ptr<Row> row, const wchar_t* text) {
    LVITEMW lvi{};
    lvi.mask = LVIF_TEXT | LVIF_PARAM;
    lvi.iItem = position;
    lvi.pszText = const_cast<wchar_t*>(text ? text : L"");
    lvi.lParam = reinterpret_cast<LPARAM>(row.get());
    return InsertListRow(lvi, std::move(row));
}

int CPropertyGridCtrl::InsertListRow(const LVITEMW& lvi, std::unique_ptr<Row> row) {
    insertingRow_ = true;
    int at = static_cast<int>(DefaultHandling(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
    insertingRow_ = false;
    if (at < 0 || at > static_cast<int>(rows_.size())) return -1;
    rows_.insert(rows_.begin() + at, std::move(row));
    if (selected_.row >= at) ++selected_.row;
    if (editorCell_.row >= at) ++editorCell_.row;
    return at;
}

LRESULT CPropertyGridCtrl::OnInsertItemMessage(WPARAM wParam, LPARAM lParam) {
    if (insertingRow_ || !lParam) return DefaultHandling(LVM_INSERTITEMW, wParam, lParam);
    // A row inserted behind the grid's back still gets its (empty) cells, so rows and items stay in
    // step, and it goes before the add-row like every data row.
    LVITEMW lvi = *reinterpret_cast<const LVITEMW*>(lParam);
    lvi.iItem = std::clamp(lvi.iItem, 0, dataRowCount());
    auto row = std::make_unique<Row>();
    row->cells.resize(static_cast<size_t>(std::max(1, columnCount())));
    return InsertListRow(lvi, std::move(row));
}

int CPropertyGridCtrl::insertItem(int position, std::unique_ptr<IProperty> item) {
    if (!item || !hwnd()) return -1;
    int data = dataRowCount();
    if (position < 0 || position > data) position = data;
    auto row = std::make_unique<Row>();
    row->cells.resize(static_cast<size_t>(std::max(1, columnCount())));
    item->attachGrid(hwnd(), 0);
    std::wstring name = item->name();
    row->cells[0] = std::move(item);
    return InsertRow(position, std::move(row), name.c_str());
}

bool CPropertyGridCtrl::setSubItem(int row, int column, std::unique_ptr<IProperty> item) {
    int columns = columnCount();
    if (!item || columns < 2 || column < 0 || column >= columns || row < 0 || row >= static_cast<int>(rows_.size()) ||
        IsAddRow(row))
        return false;
    if (editor_ && editorCell_ == Cell{row, column}) closeEditor();  // its item is about to go
    auto& cells = rows_[static_cast<size_t>(row)]->cells;
    if (static_cast<int>(cells.size()) <= column) cells.resize(static_cast<size_t>(column) + 1);
    item->attachGrid(hwnd(), 0);
    std::wstring text = column == 0 ? item->name() : L"";
    cells[static_cast<size_t>(column)] = std::move(item);
    LVITEMW lvi{};
    lvi.iSubItem = column;
    lvi.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(hwnd(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&lvi));
    invalidateCell(row, column);
    return true;
}

CPropertyGridCtrl::Cell CPropertyGridCtrl::findItem(const IProperty* item) const {
    if (!item) return {};
    auto scanRow = [&](int r) -> int {
        const auto& cells = rows_[static_cast<size_t>(r)]->cells;
        for (size_t c = 0; c < cells.size(); ++c)
            if (cells[c].get() == item) return static_cast<int>(c);
        return -1;
    };
    if (editorCell_.row >= 0 && editorCell_.row < static_cast<int>(rows_.size())) {
        int c = scanRow(editorCell_.row);
        if (c >= 0) return Cell{editorCell_.row, c};
    }
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        int c = scanRow(r);
        if (c >= 0) return Cell{r, c};
    }
    return {};
}

bool CPropertyGridCtrl::deleteRow(int row) {
    if (!hwnd() || row < 0 || row >= dataRowCount()) return false;
    return ::SendMessageW(hwnd(), LVM_DELETEITEM, static_cast<WPARAM>(row), 0) != FALSE;
}

LRESULT CPropertyGridCtrl::OnDeleteItemMessage(int row) {
    // The add-row comes and goes with its option only.
    if (row < 0 || row >= static_cast<int>(rows_.size()) || (IsAddRow(row) && (options_ & GRID_OPT_ADD_ROW)))
        return FALSE;
    closeEditor();
    bool wasSelected = selected_.row == row;
    LRESULT r = DefaultHandling(LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    if (!r) return r;
    rows_.erase(rows_.begin() + row);
    if (wasSelected) {
        selected_ = {};
        Notify(GRID_SELECTION_CHANGED, nullptr);
    } else if (selected_.row > row) {
        --selected_.row;
    }
    return r;
}

LRESULT CPropertyGridCtrl::OnDeleteAllMessage() {
    closeEditor();
    bool hadSelection = selected_.valid();
    LRESULT r = DefaultHandling(LVM_DELETEALLITEMS, 0, 0);
    if (!r) return r;
    rows_.clear();
    selected_ = {};
    if (options_ & GRID_OPT_ADD_ROW) AppendAddRow();
    if (hadSelection) Notify(GRID_SELECTION_CHANGED, nullptr);
    return r;
}

void CPropertyGridCtrl::AppendAddRow() {
    if (HasAddRow()) return;
    auto row = std::make_unique<Row>();
    row->addRow = true;
    row->cells.push_back(std::make_unique<CPropertyLastItem>());
    row->cells[0]->attachGrid(hwnd(), 0);
    InsertRow(static_cast<int>(rows_.size()), std::move(row), L"");
}

void CPropertyGridCtrl::RemoveAddRow() {
    if (!HasAddRow()) return;
    int last = static_cast<int>(rows_.size()) - 1;
    if (editorCell_.row == last) closeEditor();
    bool wasSelected = selected_.row == last;
    if (!DefaultHandling(LVM_DELETEITEM, static_cast<WPARAM>(last), 0)) return;
    rows_.pop_back();
    if (wasSelected) {
        selected_ = {};
        Notify(GRID_SELECTION_CHANGED, nullptr);
    }
}

void CPropertyGridCtrl::setOptions(UINT options) {
    if (!hwnd()) {
        options_ = options;
        return;
    }
    if (options & GRID_OPT_ADD_ROW) AppendAddRow();
    else if (options_ & GRID_OPT_ADD_ROW) RemoveAddRow();
    options_ = options;
    BuildResources();
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

int CPropertyGridCtrl::ListSelectedRow() const {
    return static_cast<int>(::SendMessageW(hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

RECT CPropertyGridCtrl::CellRect(int row, int column) const {
    RECT bounds{LVIR_BOUNDS, 0, 0, 0};
    if (!::SendMessageW(hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds)))
        return RECT{};
    if (IsAddRow(row)) return bounds;
    int columns = columnCount();
    if (column == 0) {
        if (columns > 1) {
            RECT next{LVIR_BOUNDS, 1, 0, 0};
            if (::SendMessageW(hwnd(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&next)))
                bounds.right = next.left;
        }
        return bounds;
    }
    RECT sub{LVIR_BOUNDS, column, 0, 0};
    if (!::SendMessageW(hwnd(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub)))
        return RECT{};
    return sub;
}

void CPropertyGridCtrl::invalidateCell(int row, int column) {
    if (!hwnd() || row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= columnCount()) return;
    RECT rc = CellRect(row, column);
    if (!::IsRectEmpty(&rc)) ::InvalidateRect(hwnd(), &rc, FALSE);
}

LRESULT CPropertyGridCtrl::Notify(int code, IProperty* item) { return SendGridNotification(hwnd(), code, item); }

bool CPropertyGridCtrl::setItemValue(IProperty* item, const PropertyValue& v) {
    if (!item) return false;
    bool accepted = item->setValue(v);
    Cell c = findItem(item);
    if (c.valid()) {
        invalidateCell(c.row, c.column);
        if (editor_ && editorCell_ == c) ReopenEditor();
    }
    return accepted;
}

void CPropertyGridCtrl::enableItem(IProperty* item, bool enabled) {
    if (!item) return;
    item->setEnabled(enabled ? 1 : 0);
    Cell c = findItem(item);
    if (!c.valid()) return;
    if (!enabled && editor_ && editorCell_ == c) closeEditor();  // a disabled item cannot stay in editing
    invalidateCell(c.row, c.column);
}

void CPropertyGridCtrl::selectItem(int row, int column) {
    if (!hwnd() || row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= columnCount()) return;
    closeEditor();
    invalidateCell(selected_.row, selected_.column);
    selected_.column = IsAddRow(row) ? 0 : column;
    if (ListSelectedRow() == row) {
        OnRowSelected(row);
    } else {
        LVITEMW lvi{};
        lvi.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        lvi.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&lvi));
        if (selected_.row != row) OnRowSelected(row);  // the parent does not reflect the list view's report
    }
    ::SendMessageW(hwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int CPropertyGridCtrl::textWidth(const std::wstring& text) const {
    if (!hwnd()) return 0;
    win::WindowDc dc(hwnd());
    if (!dc.get()) return 0;
    HFONT font = res_.font ? res_.font.get() : reinterpret_cast<HFONT>(::SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    win::SelectObjectScope sel(dc.get(), font);
    SIZE size{};
    if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
}

void CPropertyGridCtrl::fitColumn(int column, int maxWidth) {
    if (!hwnd() || column < 0 || column >= columnCount()) return;
    // A cell draws its text 2 pixels in and the grid lines take one; the rest is air on the right.
    constexpr int kMarginPx = 2 + 1 + 6;
    int widest = 0;
    for (int row = 0; row < dataRowCount(); ++row) {
        const IProperty* item = getSubItem(row, column);
        if (!item) continue;
        std::wstring text(item->displayTextLength() + 1, L'\0');
        if (!item->displayText(text.data(), text.size())) continue;
        text.resize(std::wcslen(text.c_str()));
        widest = std::max(widest, textWidth(text));
    }
    const int width = std::min(widest + ::MulDiv(kMarginPx, dpi_ > 0 ? dpi_ : win::SystemDpi(), 96), maxWidth);
    if (width > 0) ::SendMessageW(hwnd(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width);
}
