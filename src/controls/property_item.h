// Grid items: the IProperty interface every cell holds, the paint record, the grid's notification and
// message numbers, and the item classes the settings rows use.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controls/property_value.h"

// Grid options.
inline constexpr UINT GRID_OPT_SINGLE_CLICK_EDIT = 0x01;
inline constexpr UINT GRID_OPT_NO_GRID_LINES = 0x02;
inline constexpr UINT GRID_OPT_TAB_NAVIGATES = 0x04;
inline constexpr UINT GRID_OPT_NO_CELL_NAVIGATION = 0x08;
inline constexpr UINT GRID_OPT_SHADE_SELECTED_ROW = 0x10;
inline constexpr UINT GRID_OPT_HIGHLIGHT_SELECTED_CELL = 0x20;
inline constexpr UINT GRID_OPT_ADD_ROW = 0x40;

// Notification codes sent to the grid's parent in WM_NOTIFY (record: GridNotification).
inline constexpr int GRID_SELECTION_CHANGED = -3001;
inline constexpr int GRID_VALUE_CHANGING = -3002;
inline constexpr int GRID_VALUE_CHANGED = -3003;
inline constexpr int GRID_BROWSE_REQUESTED = -3006;
inline constexpr int GRID_CELL_CLICKED = -3007;
inline constexpr int GRID_ADD_ROW_REQUESTED = -3009;

// Private messages of the grid window.
inline constexpr UINT GRID_MSG_EDITOR_COMMIT = 1454;  // wParam: editor window; lParam: GRID_COMMIT_*
inline constexpr UINT GRID_MSG_EDITOR_CANCEL = 1455;  // wParam: editor window
inline constexpr UINT GRID_MSG_SET_VALUE = 1456;      // wParam: const PropertyValue*; lParam: IProperty*
inline constexpr UINT GRID_MSG_NAVIGATE = 1459;       // wParam: virtual-key code

// Why an editor asks for a commit. A commit after the editor's button was pressed follows the editor
// into its replacement (the browse handler may re-create it); any other commit only counts for the
// editor that sent it.
inline constexpr LPARAM GRID_COMMIT_PLAIN = 0;
inline constexpr LPARAM GRID_COMMIT_BUTTON = 1;

// Activation codes given to IProperty::activate.
inline constexpr UINT PROPERTY_ACT_NO_EDITOR = 1;
inline constexpr UINT PROPERTY_ACT_CLICK = 3;
inline constexpr UINT PROPERTY_ACT_STEP = 4;
inline constexpr UINT PROPERTY_ACT_EDITOR_OPENED = 7;
inline constexpr UINT PROPERTY_ACT_BROWSE = 5;

// Item kinds.
inline constexpr BYTE PROPERTY_KIND_PLAIN = 2;
inline constexpr BYTE PROPERTY_KIND_TEXT_EDIT = 3;
inline constexpr BYTE PROPERTY_KIND_LIST = 4;
inline constexpr BYTE PROPERTY_KIND_CHECK = 6;
inline constexpr BYTE PROPERTY_KIND_IMMEDIATE_CLOSE = 8;

// Paint state bits.
inline constexpr UINT PROPERTY_STATE_SELECTED = 0x1;
inline constexpr UINT PROPERTY_STATE_DISABLED = 0x4;
inline constexpr UINT PROPERTY_STATE_EDITING = 0x1000;

class IProperty;

struct GridNotification {
    NMHDR hdr;
    IProperty* item;
};

// What a cell needs to paint itself. textColor/backColor are the colours the grid chose for this cell.
struct PropertyPaint {
    HDC dc;
    RECT rect;
    UINT state;
    HFONT font;
    HFONT boldFont;
    HPEN linePen;
    COLORREF textColor;
    COLORREF backColor;
    COLORREF selectedTextColor;
    COLORREF selectedBackColor;
    COLORREF lineColor;
    COLORREF disabledTextColor;
    COLORREF inactiveBackColor;
    TEXTMETRICW metrics;
    UINT options;
};

class IProperty {
public:
    virtual ~IProperty() = default;
    virtual BYTE kind() const = 0;
    virtual void attachGrid(HWND grid, LPARAM extra) = 0;
    virtual const wchar_t* name() const = 0;
    virtual bool setEnabled(int flag) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setUserData(LPARAM data) = 0;
    virtual LPARAM userData() const = 0;
    virtual void paintName(const PropertyPaint& p) = 0;
    virtual void paintValue(const PropertyPaint& p) = 0;
    virtual HWND createEditor(HWND grid, const RECT& cell) = 0;
    virtual bool activate(UINT action, POINT pt) = 0;
    // Copies the text (truncated to capacity - 1, always terminated); false when there is none.
    virtual bool displayText(wchar_t* buffer, size_t capacity) const = 0;
    virtual size_t displayTextLength() const = 0;
    virtual bool value(PropertyValue& out) const = 0;
    virtual bool takeValueFromEditor(HWND editor) = 0;
    virtual bool setValue(const PropertyValue& v) = 0;

    // The display text as a string (empty when there is none).
    std::wstring displayString() const;
};

// Copies text into a caller's buffer as IProperty::displayText does.
bool CopyPropertyText(const std::wstring& text, wchar_t* buffer, size_t capacity);

// The whole text of a window (an editor's text).
std::wstring WindowTextOf(HWND window);

// Sends a grid notification to the grid's parent; returns the parent's answer (0 without a parent).
LRESULT SendGridNotification(HWND grid, int code, IProperty* item);

class CProperty : public IProperty {
public:
    explicit CProperty(const wchar_t* name);
    void attachGrid(HWND grid, LPARAM extra) override;
    const wchar_t* name() const override { return name_.c_str(); }
    bool setEnabled(int flag) override;
    bool isEnabled() const override { return enabled_; }
    void setUserData(LPARAM data) override { userData_ = data; }
    LPARAM userData() const override { return userData_; }
    void paintName(const PropertyPaint& p) override;
    void paintValue(const PropertyPaint& p) override {}
    HWND createEditor(HWND grid, const RECT& cell) override { return nullptr; }
    bool activate(UINT action, POINT pt) override { return true; }
    bool displayText(wchar_t* buffer, size_t capacity) const override { return false; }
    size_t displayTextLength() const override { return 0; }
    bool value(PropertyValue& out) const override { return false; }
    bool takeValueFromEditor(HWND editor) override { return false; }
    bool setValue(const PropertyValue& v) override { return false; }

    HWND grid() const noexcept { return grid_; }

protected:
    // Asks the grid to store a value as a user change (notifies the parent); false without a grid.
    bool requestValue(const PropertyValue& v);
    // Draws text from 2 pixels inside the cell, one line, vertically centred, ellipsis at the end.
    static void DrawCellText(const PropertyPaint& p, const std::wstring& text, COLORREF color, int indent = 0);

private:
    HWND grid_ = nullptr;
    std::wstring name_;
    bool enabled_ = true;
    LPARAM userData_ = 0;
};

class CPropertyItem : public CProperty {
public:
    explicit CPropertyItem(const wchar_t* name, PropertyValue v = {});
    BYTE kind() const override { return PROPERTY_KIND_PLAIN; }
    void paintValue(const PropertyPaint& p) override;
    bool displayText(wchar_t* buffer, size_t capacity) const override;
    size_t displayTextLength() const override;
    bool value(PropertyValue& out) const override;
    bool setValue(const PropertyValue& v) override;

protected:
    const PropertyValue& storedValue() const noexcept { return value_; }
    bool textOfValue(std::wstring& out) const;

private:
    PropertyValue value_;
};

class CPropertyReadOnlyItem : public CPropertyItem {
public:
    CPropertyReadOnlyItem(const wchar_t* name, const wchar_t* text);
    void paintValue(const PropertyPaint& p) override;
    void SetBackColor(COLORREF c) noexcept { backColor_ = c; hasBackColor_ = true; }
    void SetTextColor(COLORREF c) noexcept { textColor_ = c; hasTextColor_ = true; }
    // The icon is borrowed: its owner keeps it alive while the item shows it.
    void SetIcon(HICON icon) noexcept { icon_ = icon; }
    UINT textFormat() const noexcept { return format_; }

private:
    UINT format_ = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    HICON icon_ = nullptr;
    COLORREF backColor_ = 0;
    COLORREF textColor_ = 0;
    bool hasBackColor_ = false;
    bool hasTextColor_ = false;
};

class CPropertyCheckButtonItem : public CProperty {
public:
    CPropertyCheckButtonItem(const wchar_t* name, bool checked);
    BYTE kind() const override { return PROPERTY_KIND_CHECK; }
    void paintValue(const PropertyPaint& p) override;
    bool activate(UINT action, POINT pt) override;
    bool value(PropertyValue& out) const override;
    bool setValue(const PropertyValue& v) override;
    bool checked() const noexcept { return checked_; }

private:
    bool checked_;
};

class CPropertyFileNameItem : public CPropertyItem {
public:
    static constexpr size_t kMaxPath = 259;
    CPropertyFileNameItem(const wchar_t* name, const wchar_t* path);
    bool displayText(wchar_t* buffer, size_t capacity) const override;
    size_t displayTextLength() const override;
    HWND createEditor(HWND grid, const RECT& cell) override;
    bool activate(UINT action, POINT pt) override;
    bool takeValueFromEditor(HWND editor) override { return true; }
};

// A text typed in place. With `browse`, the editor has a "..." button that asks the grid's parent to
// browse (GRID_BROWSE_REQUESTED), as the file-name item does.
class CPropertyTextItem : public CPropertyItem {
public:
    CPropertyTextItem(const wchar_t* name, const wchar_t* text, bool browse);
    BYTE kind() const override { return PROPERTY_KIND_TEXT_EDIT; }
    HWND createEditor(HWND grid, const RECT& cell) override;
    bool activate(UINT action, POINT pt) override;
    bool takeValueFromEditor(HWND editor) override;
    bool browses() const noexcept { return browse_; }

private:
    bool browse_;
};

class CPropertyListItem : public CPropertyItem {
public:
    explicit CPropertyListItem(const wchar_t* name);
    BYTE kind() const override { return PROPERTY_KIND_LIST; }
    // Replaces the entries with copies; an item without an index yet gets index 0.
    void SetList(const std::vector<std::wstring>& entries);
    // The same from a null-terminated array of texts (null array: no entries).
    void SetList(const wchar_t* const* entries);
    const std::vector<std::wstring>& entries() const noexcept { return entries_; }
    std::int32_t index() const noexcept { return index_; }

    void paintValue(const PropertyPaint& p) override;
    bool displayText(wchar_t* buffer, size_t capacity) const override;
    size_t displayTextLength() const override;
    bool value(PropertyValue& out) const override;
    bool setValue(const PropertyValue& v) override;
    HWND createEditor(HWND grid, const RECT& cell) override;
    bool activate(UINT action, POINT pt) override;
    bool takeValueFromEditor(HWND editor) override;

private:
    const std::wstring* current() const noexcept;

    std::vector<std::wstring> entries_;
    std::int32_t index_ = -1;
    HWND editor_ = nullptr;  // the list editor this item opened last (may be gone)
};

class CPropertyLastItem : public CProperty {
public:
    CPropertyLastItem();
    BYTE kind() const override { return PROPERTY_KIND_PLAIN; }
    void paintValue(const PropertyPaint& p) override;
    bool activate(UINT action, POINT pt) override;
    bool displayText(wchar_t* buffer, size_t capacity) const override;
    size_t displayTextLength() const override;
};
