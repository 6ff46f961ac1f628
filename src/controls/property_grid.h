// CPropertyGridCtrl: a grid of typed, editable cells on the platform's report list view. Each cell
// holds an IProperty item that paints, edits and converts its own value; the grid lays out the cells,
// keeps a selected cell, opens and closes in-place editors, routes keys and mouse, and reports to its
// parent with WM_NOTIFY (GridNotification, codes GRID_*).
//
// The parent must reflect notifications (win::ReflectNotification) so that the list view's custom
// draw and selection reports reach the grid, and should handle the grid's own GRID_* codes before
// reflecting. WM_SETTINGCHANGE and WM_SYSCOLORCHANGE reach child windows only when forwarded.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "controls/property_item.h"
#include "win/handles.h"
#include "win/window.h"

class CPropertyGridCtrl : public win::Window {
public:
    static constexpr const wchar_t* kClassName = L"CV_PropertyGrid";

    struct Cell {
        int row = -1;
        int column = -1;
        bool valid() const noexcept { return row >= 0 && column >= 0; }
        bool operator==(const Cell& o) const noexcept { return row == o.row && column == o.column; }
    };

    CPropertyGridCtrl() = default;
    ~CPropertyGridCtrl() override;

    // Creates the grid window (report mode, full-row and single selection, selection always shown).
    HWND create(HWND parent, const RECT& rect, DWORD style, DWORD exStyle = 0, UINT id = 0);

    void setOptions(UINT options);
    UINT options() const noexcept { return options_; }

    // Appends a left-aligned column; returns its index or -1.
    int AddColumn(const wchar_t* text, int width);
    // The window moved to a screen of another DPI: the grid's fonts (and with them its rows) are
    // rebuilt at that DPI. Until then they follow the system's DPI, as the stock font does.
    void SetDpi(int dpi);
    int dpi() const noexcept { return dpi_; }
    int columnCount() const;
    // The width text takes in the grid's font, in pixels.
    int textWidth(const std::wstring& text) const;
    // Makes `column` as wide as its widest cell's text needs (with the margins a cell draws it with),
    // at most `maxWidth`; the user can still drag it wider or narrower afterwards.
    void fitColumn(int column, int maxWidth);

    // Inserts a row whose first cell is `item` (owned by the grid from now on). A position below 0 or
    // past the data rows appends after the last data row. Returns the row or -1.
    int insertItem(int position, std::unique_ptr<IProperty> item);
    // Puts `item` into a cell of an existing row (column 1 or more, below the column count); the grid
    // owns the item even when it refuses it (it is then destroyed).
    bool setSubItem(int row, int column, std::unique_ptr<IProperty> item);
    IProperty* getSubItem(int row, int column) const;
    Cell findItem(const IProperty* item) const;
    // Deletes a data row and its items (closing an editor first).
    bool deleteRow(int row);

    // Stores a value without notifying; re-creates the cell's editor when open. Returns the item's answer.
    bool setItemValue(IProperty* item, const PropertyValue& v);
    void enableItem(IProperty* item, bool enabled);
    void selectItem(int row, int column);
    void invalidateCell(int row, int column);
    void closeEditor();
    // Number of rows without the add-row.
    int dataRowCount() const noexcept;

    Cell selectedCell() const noexcept { return selected_; }
    HWND editorWindow() const noexcept { return editor_; }
    Cell editorCell() const noexcept { return editorCell_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct Row {
        std::vector<std::unique_ptr<IProperty>> cells;
        bool addRow = false;
    };
    struct Resources {
        COLORREF text = 0, back = 0, selectedText = 0, selectedBack = 0, line = 0, disabledText = 0,
                 inactiveBack = 0;
        win::UniquePen linePen;
        win::UniqueFont font;
        win::UniqueFont boldFont;
        TEXTMETRICW metrics{};
    };

    // property_grid.cpp: structure
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    LRESULT OnInsertItemMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteItemMessage(int row);
    LRESULT OnDeleteAllMessage();
    void BuildResources();
    int dpi_ = 0;  // 0: the system's DPI, at which the source font already is
    int InsertRow(int position, std::unique_ptr<Row> row, const wchar_t* text);
    int InsertListRow(const LVITEMW& lvi, std::unique_ptr<Row> row);
    void AppendAddRow();
    void RemoveAddRow();
    bool HasAddRow() const noexcept;
    IProperty* ItemAt(const Cell& c) const;
    bool IsAddRow(int row) const noexcept;
    int ListSelectedRow() const;
    RECT CellRect(int row, int column) const;
    LRESULT Notify(int code, IProperty* item);

    // property_grid_paint.cpp
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& cd);
    void PaintRow(HDC dc, int row);
    void PaintCell(HDC dc, int row, int column, IProperty* item, const RECT& rc);

    // property_grid_input.cpp
    LRESULT OnReflectedNotify(NMHDR& hdr);
    LRESULT OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnRowSelected(int row);
    void ClearSelection();
    LRESULT OnMouseDown(UINT msg, WPARAM wParam, LPARAM lParam);
    Cell HitTest(POINT pt) const;
    LRESULT OnKeyDown(WPARAM key, LPARAM lParam);
    LRESULT OnChar(WPARAM ch, LPARAM lParam);
    void OnNavigate(UINT key);
    bool OpenEditor(const Cell& cell);
    void ReopenEditor();
    void OnEditorCommit(HWND editor, LPARAM reason);
    void OnEditorCancel(HWND editor);
    void OnSetValue(const PropertyValue* v, IProperty* item);

    std::vector<std::unique_ptr<Row>> rows_;  // in list-view order
    Resources res_;
    UINT options_ = 0;
    Cell selected_;
    HWND editor_ = nullptr;
    Cell editorCell_;
    HWND replacedEditor_ = nullptr;  // the editor the open one replaced in the same cell
    bool insertingRow_ = false;
};
