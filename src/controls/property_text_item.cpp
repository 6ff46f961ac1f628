// The text item: a value typed in place, optionally with a browse button.
#include "controls/property_editors.h"
#include "controls/property_item.h"

CPropertyTextItem::CPropertyTextItem(const wchar_t* name, const wchar_t* text, bool browse)
    : CPropertyItem(name, PropertyValue(text ? text : L"")), browse_(browse) {}

HWND CPropertyTextItem::createEditor(HWND grid, const RECT& cell) {
    std::wstring text;
    if (!textOfValue(text)) text.clear();
    return CPropertyTextEditWindow::Create(this, grid, cell, text, browse_);
}

bool CPropertyTextItem::activate(UINT action, POINT) {
    if (browse_ && action == PROPERTY_ACT_BROWSE) SendGridNotification(grid(), GRID_BROWSE_REQUESTED, this);
    return true;
}

bool CPropertyTextItem::takeValueFromEditor(HWND editor) {
    if (!editor || !::IsWindow(editor)) return false;
    return setValue(PropertyValue(WindowTextOf(editor)));
}
