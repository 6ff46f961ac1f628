// CLogView: a read-only, coloured, wrapping text view for a long-running log. It draws only the rows in
// sight from a LogText, so that appending and trimming cost the same however much the log holds, and a
// line costs its characters and little more.
//
// The user scrolls (bar, wheel, keys), selects with the mouse (drag, Shift+click, double-click for a
// word), and copies with Ctrl+C or Ctrl+Insert; Ctrl+A selects everything. The view follows the newest
// text while it shows the end and nothing is selected; otherwise it stays on the text it shows, also
// while lines leave the top.
//
// It answers the edit-control messages a reader of the text needs (text, length, selection, lines,
// first visible line, scrolling, positions, the colour at the selection, WM_COPY), with lines counted
// as the text's own lines (a wrapped line is one line) and a line end counted as one character.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "controls/log_text.h"
#include "win/handles.h"
#include "win/window.h"

class CLogView : public win::Window {
public:
    static constexpr const wchar_t* kClassName = L"VastrelLogView";
    static constexpr int kMarginX = 2;  // pixels between the border and the text

    CLogView() = default;

    // Creates the view; the style's WS_VSCROLL gives the bar (always shown, disabled when not needed).
    HWND Create(HWND parent, DWORD style, DWORD exStyle, UINT_PTR id = 0);

    logview::LogText& text() noexcept { return text_; }
    const logview::LogText& text() const noexcept { return text_; }
    // Appends in `colour` (the colour in force when `keepColour`) and shows it: the view follows when
    // it showed the end with nothing selected.
    void Append(std::wstring_view text, logview::Colour colour, bool keepColour = false);
    void Clear();
    // Draws now what changed, if the view is shown (a long burst of appends is drawn once per call).
    void DrawPending();

    // Absolute line number and row within it of the first row shown.
    std::int64_t TopLine() const noexcept { return topLine_; }
    // Scrolls by `rows` wrapped rows (negative: up), within the text.
    void ScrollRows(std::int64_t rows);
    void ScrollToEnd();
    bool ShowsEnd();
    // Client coordinates of the character at relative position `position` (its top left).
    POINT PositionToPoint(std::int64_t position);
    // The relative position nearest to a client point.
    std::int64_t PointToPosition(POINT point);
    // Copies the selection to the clipboard (line ends as CR LF); false when nothing is selected.
    bool CopySelection();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // A wrapped row: the line (index from the first held) and the row within it.
    struct RowPlace {
        std::size_t index;
        std::size_t row;
    };

    // log_view.cpp: measures, rows, scrolling.
    RowPlace EndPlace();  // the first row shown when the view shows the end
    void OnSetFont(HFONT font, bool redraw);
    void Measure();
    std::vector<std::size_t> RowsOf(std::size_t index);
    int RowsInView() const;
    std::size_t TopIndex() const;
    void ClampTop();
    void PlaceView();
    void UpdateScrollBar();
    void OnVScroll(WORD request);
    void OnMouseWheel(short delta);
    void Changed();

    // log_view_paint.cpp: drawing.
    void OnPaint();
    void OnPrintClient(HDC dc);
    void PaintRows(HDC dc, const RECT& client);
    void PaintRow(HDC dc, std::size_t index, std::size_t from, std::size_t to, int y);

    // log_view_input.cpp: mouse, keys, the edit messages.
    void OnButtonDown(POINT point, bool extend);
    void OnMouseMove(POINT point);
    void OnDoubleClick(POINT point);
    bool OnKeyDown(WPARAM key);
    bool OnEditMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void SelectAndShow(std::int64_t anchor, std::int64_t caret);

    logview::LogText text_;
    HFONT font_ = nullptr;        // the caller's; the system font until one is set
    win::UniqueMemoryDc measure_;  // measures text in font_
    int rowHeight_ = 16;
    int charWidth_ = 8;
    std::int64_t topLine_ = 0;  // absolute line number of the first row shown
    std::size_t topRow_ = 0;    // the row of that line shown first
    bool follow_ = true;        // the view shows the end: appends keep it there
    bool placed_ = false;       // topLine_ and the bar match the text
    bool selecting_ = false;    // the left button is down on the view
    bool redraw_ = true;        // WM_SETREDRAW
};
