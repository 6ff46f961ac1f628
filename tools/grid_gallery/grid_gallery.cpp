// grid-gallery: a small window whose property grid shows one row of every item kind, for a look at
// the painting and a hand test of the editors.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "controls/property_grid.h"
#include "theme/palette.h"
#include "win/colour.h"
#include "win/reflect.h"
#include "win/window.h"

namespace {

class GalleryWindow : public win::Window {
public:
    CPropertyGridCtrl grid;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_SIZE: {
            if (grid.hwnd()) ::MoveWindow(grid.hwnd(), 8, 8, LOWORD(lParam) - 16, HIWORD(lParam) - 16, TRUE);
            return 0;
        }
        case WM_NOTIFY: return OnNotify(msg, wParam, lParam);
        case WM_SETTINGCHANGE: case WM_SYSCOLORCHANGE:
            if (grid.hwnd()) ::SendMessageW(grid.hwnd(), msg, wParam, lParam);
            break;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        }
        return DefaultHandling(msg, wParam, lParam);
    }

private:
    LRESULT OnCreate() {
        RECT rc{8, 8, 460, 260};
        if (!grid.create(hwnd(), rc, WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE, 100))
            return -1;
        grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT | GRID_OPT_ADD_ROW);
        grid.AddColumn(L"Name", 200);
        grid.AddColumn(L"Value", 220);
        AddRow(L"Plain item", std::make_unique<CPropertyItem>(L"", PropertyValue(L"Plain text value")));
        AddRow(L"Read-only item", std::make_unique<CPropertyReadOnlyItem>(L"", L"2000 Hz"));
        AddRow(L"Check box", std::make_unique<CPropertyCheckButtonItem>(L"", true));
        auto disabled = std::make_unique<CPropertyCheckButtonItem>(L"", false);
        disabled->setEnabled(0);
        AddRow(L"Check box (disabled)", std::move(disabled));
        AddRow(L"Directory", std::make_unique<CPropertyFileNameItem>(L"", L"C:\\vastrel\\logs"));
        auto list = std::make_unique<CPropertyListItem>(L"");
        list->SetList({L"8000 Hz", L"11025 Hz", L"22050 Hz", L"44100 Hz", L"48000 Hz", L"96000 Hz", L"192000 Hz"});
        list->setValue(PropertyValue(4));
        AddRow(L"List", std::move(list));
        return 0;
    }

    void AddRow(const wchar_t* label, std::unique_ptr<IProperty> value) {
        auto name = std::make_unique<CPropertyReadOnlyItem>(L"", label);
        name->SetBackColor(win::ToColorRef(palette::kSettingsSoundRows));  // as the sound-card rows
        int row = grid.insertItem(-1, std::move(name));
        if (row >= 0) grid.setSubItem(row, 1, std::move(value));
    }

    LRESULT OnNotify(UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* n = reinterpret_cast<GridNotification*>(lParam);
        if (n && n->hdr.hwndFrom == grid.hwnd()) {
            switch (static_cast<int>(n->hdr.code)) {
            case GRID_BROWSE_REQUESTED:
                grid.setItemValue(n->item, PropertyValue(L"C:\\vastrel\\chosen"));
                return 0;
            case GRID_ADD_ROW_REQUESTED:
                AddRow(L"Added row", std::make_unique<CPropertyItem>(L"", PropertyValue(L"new")));
                return 0;
            case GRID_SELECTION_CHANGED: case GRID_VALUE_CHANGING: case GRID_VALUE_CHANGED: case GRID_CELL_CLICKED:
                return 0;
            }
        }
        LRESULT result = 0;
        if (win::ReflectNotification(hwnd(), msg, wParam, lParam, result)) return result;
        return DefaultHandling(msg, wParam, lParam);
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    GalleryWindow window;
    RECT rc{100, 100, 580, 380};
    if (!window.Create(nullptr, rc, L"Grid gallery", WS_OVERLAPPEDWINDOW, 0)) return 1;
    ::ShowWindow(window.hwnd(), show);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
