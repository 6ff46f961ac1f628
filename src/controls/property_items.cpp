// The base item, plain, read-only, check-box and add-row items.
#include "controls/property_item.h"

#include <algorithm>
#include <cwchar>

#include "win/handles.h"

namespace {

const wchar_t kAddRowText[] = L"<< Click here to add a new item >>";

}  // namespace

bool CopyPropertyText(const std::wstring& text, wchar_t* buffer, size_t capacity) {
    if (!buffer || capacity == 0) return false;
    size_t n = std::min(text.size(), capacity - 1);
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = L'\0';
    return true;
}

std::wstring IProperty::displayString() const {
    size_t length = displayTextLength();
    std::wstring text(length + 1, L'\0');
    if (!displayText(text.data(), text.size())) return {};
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::wstring WindowTextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

LRESULT SendGridNotification(HWND grid, int code, IProperty* item) {
    HWND parent = grid ? ::GetParent(grid) : nullptr;
    if (!parent) return 0;
    GridNotification n{};
    n.hdr.hwndFrom = grid;
    n.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(grid));
    n.hdr.code = static_cast<UINT>(code);
    n.item = item;
    return ::SendMessageW(parent, WM_NOTIFY, n.hdr.idFrom, reinterpret_cast<LPARAM>(&n));
}

// --- CProperty ---

CProperty::CProperty(const wchar_t* name) : name_(name ? name : L"") {}

void CProperty::attachGrid(HWND grid, LPARAM) { grid_ = grid; }

bool CProperty::setEnabled(int flag) {
    enabled_ = flag == 1;
    return enabled_;
}

void CProperty::paintName(const PropertyPaint& p) {
    COLORREF back = p.backColor;
    COLORREF text = p.textColor;
    if (!enabled_) {
        text = p.disabledTextColor;
    } else if (p.state & PROPERTY_STATE_SELECTED) {
        back = p.selectedBackColor;
        text = p.selectedTextColor;
    }
    win::UniqueBrush brush(::CreateSolidBrush(back));
    if (brush) ::FillRect(p.dc, &p.rect, brush.get());
    DrawCellText(p, name_, text);
}

bool CProperty::requestValue(const PropertyValue& v) {
    if (!grid_ || !::IsWindow(grid_)) return false;
    ::SendMessageW(grid_, GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&v), reinterpret_cast<LPARAM>(this));
    return true;
}

void CProperty::DrawCellText(const PropertyPaint& p, const std::wstring& text, COLORREF color, int indent) {
    RECT r = p.rect;
    r.left += 2 + indent;
    int oldMode = ::SetBkMode(p.dc, TRANSPARENT);
    COLORREF oldColor = ::SetTextColor(p.dc, color);
    ::DrawTextW(p.dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DT_LEFT);
    ::SetTextColor(p.dc, oldColor);
    ::SetBkMode(p.dc, oldMode);
}

// --- CPropertyItem ---

CPropertyItem::CPropertyItem(const wchar_t* name, PropertyValue v) : CProperty(name), value_(std::move(v)) {}

bool CPropertyItem::textOfValue(std::wstring& out) const {
    if (value_.isEmpty()) return false;
    return value_.toText(out);
}

void CPropertyItem::paintValue(const PropertyPaint& p) {
    std::wstring text;
    if (!textOfValue(text)) return;
    DrawCellText(p, text, isEnabled() ? p.textColor : p.disabledTextColor);
}

bool CPropertyItem::displayText(wchar_t* buffer, size_t capacity) const {
    std::wstring text;
    return textOfValue(text) && CopyPropertyText(text, buffer, capacity);
}

size_t CPropertyItem::displayTextLength() const {
    std::wstring text;
    return textOfValue(text) ? text.size() : 0;
}

bool CPropertyItem::value(PropertyValue& out) const {
    out = value_;
    return true;
}

bool CPropertyItem::setValue(const PropertyValue& v) {
    value_ = v;
    return true;
}

// --- CPropertyReadOnlyItem ---

CPropertyReadOnlyItem::CPropertyReadOnlyItem(const wchar_t* name, const wchar_t* text)
    : CPropertyItem(name, PropertyValue(text)) {}

void CPropertyReadOnlyItem::paintValue(const PropertyPaint& p) {
    win::UniqueBrush brush(::CreateSolidBrush(hasBackColor_ ? backColor_ : p.backColor));
    if (brush) ::FillRect(p.dc, &p.rect, brush.get());
    int indent = 0;
    if (icon_) {
        int cx = ::GetSystemMetrics(SM_CXSMICON);
        int cy = ::GetSystemMetrics(SM_CYSMICON);
        ::DrawIconEx(p.dc, p.rect.left + 2, p.rect.top + 2, icon_, cx, cy, 0, nullptr, DI_NORMAL);
        indent = cx + 4;
    }
    std::wstring text;
    if (!textOfValue(text)) return;
    COLORREF color = !isEnabled() ? p.disabledTextColor : hasTextColor_ ? textColor_ : p.textColor;
    RECT r = p.rect;
    r.left += 2 + indent;
    int oldMode = ::SetBkMode(p.dc, TRANSPARENT);
    COLORREF oldColor = ::SetTextColor(p.dc, color);
    ::DrawTextW(p.dc, text.c_str(), static_cast<int>(text.size()), &r, format_);
    ::SetTextColor(p.dc, oldColor);
    ::SetBkMode(p.dc, oldMode);
}

// --- CPropertyCheckButtonItem ---

CPropertyCheckButtonItem::CPropertyCheckButtonItem(const wchar_t* name, bool checked)
    : CProperty(name), checked_(checked) {}

void CPropertyCheckButtonItem::paintValue(const PropertyPaint& p) {
    int cx = ::GetSystemMetrics(SM_CXMENUCHECK);
    int cy = ::GetSystemMetrics(SM_CYMENUCHECK);
    RECT box{p.rect.left + 10, p.rect.top + 2, 0, 0};
    if (box.top + cy > p.rect.bottom - 1) box.top = p.rect.bottom - 1 - cy;  // low cells: end 1 px above
    box.right = box.left + cx;
    box.bottom = box.top + cy;
    UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (checked_) state |= DFCS_CHECKED;
    if (!isEnabled()) state |= DFCS_INACTIVE;
    ::DrawFrameControl(p.dc, &box, DFC_BUTTON, state);
}

bool CPropertyCheckButtonItem::activate(UINT action, POINT) {
    if (isEnabled() &&
        (action == PROPERTY_ACT_CLICK || action == PROPERTY_ACT_STEP || action == PROPERTY_ACT_EDITOR_OPENED)) {
        requestValue(PropertyValue::Bool(!checked_));
    }
    return true;
}

bool CPropertyCheckButtonItem::value(PropertyValue& out) const {
    out = PropertyValue::Bool(checked_);
    return true;
}

bool CPropertyCheckButtonItem::setValue(const PropertyValue& v) {
    if (v.type() != PropertyValue::Type::Bool) return false;
    bool b = false;
    v.toBool(b);
    checked_ = b;
    return true;
}

// --- CPropertyLastItem ---

CPropertyLastItem::CPropertyLastItem() : CProperty(L"") {}

void CPropertyLastItem::paintValue(const PropertyPaint& p) {
    DrawCellText(p, kAddRowText, isEnabled() ? p.textColor : p.disabledTextColor);
}

bool CPropertyLastItem::activate(UINT action, POINT) {
    if (action == PROPERTY_ACT_CLICK || action == PROPERTY_ACT_STEP || action == PROPERTY_ACT_EDITOR_OPENED)
        SendGridNotification(grid(), GRID_ADD_ROW_REQUESTED, nullptr);
    return true;
}

bool CPropertyLastItem::displayText(wchar_t* buffer, size_t capacity) const {
    return CopyPropertyText(kAddRowText, buffer, capacity);
}

size_t CPropertyLastItem::displayTextLength() const { return std::wcslen(kAddRowText); }
