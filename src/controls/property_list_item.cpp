// The list item and the directory item: the two items that open in-place editors.
#include "controls/property_editors.h"
#include "controls/property_item.h"

#include <algorithm>

// --- CPropertyFileNameItem ---

CPropertyFileNameItem::CPropertyFileNameItem(const wchar_t* name, const wchar_t* path)
    : CPropertyItem(name, PropertyValue(path)) {}

bool CPropertyFileNameItem::displayText(wchar_t* buffer, size_t capacity) const {
    std::wstring text;
    if (!textOfValue(text)) return false;
    return CopyPropertyText(text, buffer, capacity);
}

size_t CPropertyFileNameItem::displayTextLength() const {
    std::wstring text;
    if (!textOfValue(text)) return 0;
    return std::min(text.size(), kMaxPath);
}

HWND CPropertyFileNameItem::createEditor(HWND grid, const RECT& cell) {
    std::wstring text;
    if (!textOfValue(text)) text.clear();
    if (text.size() > kMaxPath) text.resize(kMaxPath);
    return CPropertyButtonWindow::Create(this, grid, cell, text);
}

bool CPropertyFileNameItem::activate(UINT action, POINT) {
    if (action == PROPERTY_ACT_STEP || action == PROPERTY_ACT_BROWSE)
        SendGridNotification(grid(), GRID_BROWSE_REQUESTED, this);
    return true;
}

// --- CPropertyListItem ---

CPropertyListItem::CPropertyListItem(const wchar_t* name) : CPropertyItem(name) {}

void CPropertyListItem::SetList(const std::vector<std::wstring>& entries) {
    entries_ = entries;
    if (index_ == -1) index_ = 0;
}

void CPropertyListItem::SetList(const wchar_t* const* entries) {
    std::vector<std::wstring> copy;
    for (; entries && *entries; ++entries) copy.emplace_back(*entries);
    entries_ = std::move(copy);
    if (index_ == -1) index_ = 0;
}

const std::wstring* CPropertyListItem::current() const noexcept {
    if (index_ < 0 || index_ >= static_cast<std::int32_t>(entries_.size())) return nullptr;
    return &entries_[static_cast<size_t>(index_)];
}

void CPropertyListItem::paintValue(const PropertyPaint& p) {
    if (const std::wstring* text = current()) DrawCellText(p, *text, isEnabled() ? p.textColor : p.disabledTextColor);
}

bool CPropertyListItem::displayText(wchar_t* buffer, size_t capacity) const {
    const std::wstring* text = current();
    return text && CopyPropertyText(*text, buffer, capacity);
}

size_t CPropertyListItem::displayTextLength() const {
    const std::wstring* text = current();
    return text ? text->size() : 0;
}

bool CPropertyListItem::value(PropertyValue& out) const {
    out = PropertyValue(index_);
    return true;
}

bool CPropertyListItem::setValue(const PropertyValue& v) {
    if (v.type() == PropertyValue::Type::Text) {
        std::wstring text;
        v.toText(text);
        auto it = std::find(entries_.begin(), entries_.end(), text);
        if (it == entries_.end()) {
            index_ = 0;
            return false;
        }
        index_ = static_cast<std::int32_t>(it - entries_.begin());
        return true;
    }
    std::int32_t n = 0;
    if (!v.toInt32(n)) return false;
    index_ = (n < 0 || n >= static_cast<std::int32_t>(entries_.size())) ? 0 : n;
    return true;
}

HWND CPropertyListItem::createEditor(HWND grid, const RECT& cell) {
    editor_ = CPropertyListWindow::Create(this, grid, cell, entries_, index_);
    return editor_;
}

bool CPropertyListItem::activate(UINT action, POINT) {
    if (!isEnabled()) return true;
    if (action == PROPERTY_ACT_STEP) {
        // One step further; setValue wraps a past-the-end index to the first entry.
        requestValue(PropertyValue(index_ < INT32_MAX ? index_ + 1 : 0));
    } else if (action == PROPERTY_ACT_EDITOR_OPENED) {
        auto* editor = CPropertyEditorWindow::FromWindow(editor_);
        if (editor && editor->item() == this) ::SendMessageW(editor_, CPropertyEditorWindow::kMsgDropDown, 0, 0);
    }
    return true;
}

bool CPropertyListItem::takeValueFromEditor(HWND editor) {
    if (!editor || !::IsWindow(editor)) return false;
    return setValue(PropertyValue(WindowTextOf(editor)));
}
