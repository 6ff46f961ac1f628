// LogText: what the decoder log view shows, kept compactly. A sequence of lines (the last one may still
// be open), each with its text and its colour runs; whole lines leave the top when a bound is set, in
// constant time per line. Positions count characters as a text editor does, a line end as one, from the
// first character held; the selection is kept by absolute position (characters appended since the last
// clear), so that it stays on the same text while lines leave the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace logview {

using Colour = std::uint32_t;                   // a COLORREF value
inline constexpr Colour kDefaultColour = 0xFF000000u;  // the system's window text colour

class LogText {
public:
    struct Run {
        std::uint32_t from;  // the first character of the line in this colour
        Colour colour;
    };
    struct Line {
        std::wstring text;      // without its line end
        std::int64_t start;     // absolute position of its first character
        Colour colour;          // of its first character
        std::vector<Run> more;  // later colour changes in the line (rare: a line written in pieces)
    };

    LogText();

    // Appends `text`; "\n", "\r\n" and a lone "\r" end a line. `colour` applies to the text; the colour in
    // force (the last one given) when `keepColour`. Past the line limit whole lines leave the top.
    void Append(std::wstring_view text, Colour colour, bool keepColour = false);
    // Empties the text; positions start again from 0. The colour in force stays.
    void Clear();

    // Keeps at most `lines` whole lines (0: all); applied at the next append, or by Trim().
    void SetLineLimit(std::size_t lines) noexcept { lineLimit_ = lines; }
    std::size_t LineLimit() const noexcept { return lineLimit_; }
    void Trim();

    // Whole lines held (the open last line is not counted).
    std::size_t Lines() const noexcept { return lines_.size() - 1; }
    // Lines to show: the whole ones and the open one.
    std::size_t LineCount() const noexcept { return lines_.size(); }
    const Line& LineAt(std::size_t index) const { return lines_[index]; }
    // Characters held, a line end counted as one.
    std::int64_t Length() const noexcept { return end_ - lines_.front().start; }
    // The absolute position of the first character held (how many have left the top since the clear).
    std::int64_t Origin() const noexcept { return lines_.front().start; }
    // The absolute number of the first line held (lines that left the top since the clear).
    std::int64_t FirstLineNumber() const noexcept { return firstLine_; }

    // The line that holds position `position` (relative, clamped to the text).
    std::size_t LineFromPosition(std::int64_t position) const;
    // The relative position of the first character of line `index` (clamped).
    std::int64_t LineStart(std::size_t index) const;
    // The colour of the character at `column` of line `index`.
    Colour ColourAt(std::size_t index, std::size_t column) const;
    // Calls paint(from, to, colour) for each piece of one colour within [from, to) of line `index`.
    void ForEachRun(std::size_t index, std::size_t from, std::size_t to,
                    const std::function<void(std::size_t, std::size_t, Colour)>& paint) const;
    // The text between two relative positions, line ends written as `lineEnd`.
    std::wstring Range(std::int64_t from, std::int64_t to, std::wstring_view lineEnd) const;

    // The selection, relative and ordered; empty (both at the caret) when nothing is selected.
    std::int64_t SelectionStart() const noexcept;
    std::int64_t SelectionEnd() const noexcept;
    bool HasSelection() const noexcept { return anchor_ != caret_; }
    // Selects from `anchor` to `caret` (relative positions, clamped; the caret is where it ends).
    void Select(std::int64_t anchor, std::int64_t caret);
    // Moves the caret, keeping the anchor (a selection extended).
    void ExtendTo(std::int64_t caret);
    std::int64_t Anchor() const noexcept { return Relative(anchor_); }
    std::int64_t Caret() const noexcept { return Relative(caret_); }

private:
    std::int64_t Relative(std::int64_t absolute) const noexcept;
    std::int64_t Absolute(std::int64_t relative) const noexcept;
    void AppendToOpenLine(std::wstring_view piece, Colour colour);
    void EndLine();

    std::deque<Line> lines_;  // never empty: the last one is the open line
    std::int64_t end_ = 0;    // absolute position after the last character
    std::int64_t firstLine_ = 0;
    std::size_t lineLimit_ = 0;
    Colour colour_ = kDefaultColour;  // the colour in force
    bool pendingCr_ = false;          // the last text ended in "\r": a "\n" next belongs to it
    std::int64_t anchor_ = 0;         // absolute
    std::int64_t caret_ = 0;          // absolute
};

// Where the rows of a line wrapped to a width start: the first row at 0, each next one after the last
// space that fits, or where the width ends when no space does (at least one character a row).
// `fits(text)` says how many leading characters of `text` fit in the width.
std::vector<std::size_t> WrapRows(std::wstring_view line, const std::function<std::size_t(std::wstring_view)>& fits);

}  // namespace logview
