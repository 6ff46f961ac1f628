// CDecoderLog owns the decoder log's rich edit: appending in the category colours, and clearing.
#pragma once
#include <windows.h>
#include <richedit.h>

#include <cstddef>
#include <deque>

#include "win/handles.h"

class CDecoderLog {
public:
    CDecoderLog() = default;
    CDecoderLog(const CDecoderLog&) = delete;
    CDecoderLog& operator=(const CDecoderLog&) = delete;
    ~CDecoderLog();

    // Creates the hidden, read-only rich edit as a child of `parent`. False on failure.
    bool Create(HWND parent, HINSTANCE instance);
    HWND hwnd() const { return window_; }

    // Appends UTF-16 text at the log counter (length -1: up to the terminator); format null keeps
    // the insertion point's format. Keeps a user's selection and view, otherwise follows the newest
    // text.
    void Append(const wchar_t* text, int length, const CHARFORMATW* format);

    // Empties the log and returns the counter to 0, in time that does not grow with what the log
    // holds. The control is replaced by a new one in the same place, with the same styles, font,
    // visibility, stacking and focus. Returns the replaced (already destroyed) handle, so that the
    // owner can re-point what referred to it; the new one is hwnd().
    HWND Clear();

    // Characters the log holds: appended since the last clear, less what left the top (a line end
    // counts as one).
    LONG Counter() const { return counter_; }

    // Keeps at most about `lines` whole lines (0: all). Past the bound, the oldest lines leave the
    // top in small steps; a user's selection and view stay on the same text.
    void SetLineLimit(std::size_t lines) { lineLimit_ = lines; }
    std::size_t LineLimit() const { return lineLimit_; }
    // Lines held, the last one counted once it ends.
    std::size_t Lines() const { return lineLengths_.size(); }


private:
    HWND CreateControl(HWND parent, DWORD style, DWORD exStyle, const RECT& place) const;
    void CountLines(const wchar_t* text, int length);
    void TrimTop();

    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
    win::UniqueFont font_;
    LONG counter_ = 0;
    std::size_t lineLimit_ = 0;
    std::deque<LONG> lineLengths_;  // characters of each whole line held, line end included
    LONG openLine_ = 0;             // characters of the unfinished last line
};
