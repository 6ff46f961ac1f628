// CDecoderLog owns the decoder log's view: appending in the category colours, clearing, and the bound on
// the lines it keeps.
#pragma once
#include <windows.h>
#include <richedit.h>

#include <cstddef>

#include "controls/log_view.h"
#include "win/handles.h"

class CDecoderLog {
public:
    CDecoderLog() = default;
    CDecoderLog(const CDecoderLog&) = delete;
    CDecoderLog& operator=(const CDecoderLog&) = delete;
    ~CDecoderLog();

    // Creates the hidden, read-only view as a child of `parent`. False on failure.
    bool Create(HWND parent, HINSTANCE instance);
    HWND hwnd() const { return view_.hwnd(); }
    CLogView& view() { return view_; }

    // Appends UTF-16 text at the end (length -1: up to the terminator) in the format's colour; format
    // null keeps the colour in force. Keeps a user's selection and view, otherwise follows the newest
    // text.
    void Append(const wchar_t* text, int length, const CHARFORMATW* format);

    // Empties the log and returns the counter to 0, in time that does not grow with what the log held.
    void Clear();
    // Draws what the appends changed, if the log is shown.
    void DrawPending() { view_.DrawPending(); }

    // Characters the log holds: appended since the last clear, less what left the top (a line end
    // counts as one).
    LONG Counter() const { return static_cast<LONG>(view_.text().Length()); }

    // Keeps at most `lines` whole lines (0: all). Past the bound, the oldest lines leave the top; a
    // user's selection and view stay on the same text.
    void SetLineLimit(std::size_t lines) { view_.text().SetLineLimit(lines); }
    std::size_t LineLimit() const { return view_.text().LineLimit(); }
    // Lines held, the last one counted once it ends.
    std::size_t Lines() const { return view_.text().Lines(); }

private:
    CLogView view_;
    win::UniqueFont font_;  // outlives the view (the destructor destroys the view first)
};
