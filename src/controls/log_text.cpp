// The decoder log's text: lines, colour runs, the bound and the selection.
#include "controls/log_text.h"

#include <algorithm>

namespace logview {

LogText::LogText() { lines_.push_back(Line{{}, 0, colour_, {}}); }

void LogText::Append(std::wstring_view text, Colour colour, bool keepColour) {
    if (!keepColour) colour_ = colour;
    const bool followed = anchor_ == caret_ && caret_ == end_;
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c != L'\n' && c != L'\r') {
            pendingCr_ = false;
            continue;
        }
        AppendToOpenLine(text.substr(from, i - from), colour_);
        from = i + 1;
        if (c == L'\n' && pendingCr_ && i == 0) {  // the "\n" of a "\r\n" split between two appends
            pendingCr_ = false;
            continue;
        }
        EndLine();
        pendingCr_ = c == L'\r';
        if (pendingCr_ && i + 1 < text.size() && text[i + 1] == L'\n') {
            ++i;
            from = i + 1;
            pendingCr_ = false;
        }
    }
    if (from < text.size()) {
        AppendToOpenLine(text.substr(from), colour_);
        pendingCr_ = false;
    }
    if (followed) anchor_ = caret_ = end_;  // an empty selection at the end stays at the end
    Trim();
}

void LogText::AppendToOpenLine(std::wstring_view piece, Colour colour) {
    if (piece.empty()) return;
    Line& line = lines_.back();
    if (line.text.empty()) {
        line.colour = colour;
    } else {
        const Colour last = line.more.empty() ? line.colour : line.more.back().colour;
        if (last != colour) line.more.push_back(Run{static_cast<std::uint32_t>(line.text.size()), colour});
    }
    line.text.append(piece);
    end_ += static_cast<std::int64_t>(piece.size());
}

void LogText::EndLine() {
    lines_.back().text.shrink_to_fit();
    lines_.back().more.shrink_to_fit();
    ++end_;  // the line end
    lines_.push_back(Line{{}, end_, colour_, {}});
}

void LogText::Clear() {
    lines_.clear();
    lines_.push_back(Line{{}, 0, colour_, {}});
    end_ = 0;
    firstLine_ = 0;
    anchor_ = caret_ = 0;
    pendingCr_ = false;
}

void LogText::Trim() {
    if (lineLimit_ == 0) return;
    while (Lines() > lineLimit_) {
        lines_.pop_front();
        ++firstLine_;
    }
    // A selection in the lines that left shrinks to what is left of it, or to the top.
    anchor_ = std::max(anchor_, Origin());
    caret_ = std::max(caret_, Origin());
}

std::size_t LogText::LineFromPosition(std::int64_t position) const {
    const std::int64_t absolute = Absolute(std::clamp<std::int64_t>(position, 0, Length()));
    // The last line whose start is at or before the position.
    auto after = std::upper_bound(lines_.begin(), lines_.end(), absolute,
                                  [](std::int64_t p, const Line& line) { return p < line.start; });
    return static_cast<std::size_t>(after - lines_.begin()) - 1;
}

std::int64_t LogText::LineStart(std::size_t index) const {
    if (index >= lines_.size()) return Length();
    return Relative(lines_[index].start);
}

Colour LogText::ColourAt(std::size_t index, std::size_t column) const {
    if (index >= lines_.size()) return colour_;
    const Line& line = lines_[index];
    Colour colour = line.colour;
    for (const Run& run : line.more) {
        if (run.from > column) break;
        colour = run.colour;
    }
    return colour;
}

void LogText::ForEachRun(std::size_t index, std::size_t from, std::size_t to,
                         const std::function<void(std::size_t, std::size_t, Colour)>& paint) const {
    if (index >= lines_.size()) return;
    const Line& line = lines_[index];
    to = std::min(to, line.text.size());
    std::size_t runStart = 0;
    Colour colour = line.colour;
    for (std::size_t r = 0; r <= line.more.size() && runStart < to; ++r) {
        const std::size_t runEnd = r < line.more.size() ? line.more[r].from : line.text.size();
        const std::size_t a = std::max(runStart, from), b = std::min(runEnd, to);
        if (a < b) paint(a, b, colour);
        if (r < line.more.size()) colour = line.more[r].colour;
        runStart = runEnd;
    }
}

std::wstring LogText::Range(std::int64_t from, std::int64_t to, std::wstring_view lineEnd) const {
    from = std::clamp<std::int64_t>(from, 0, Length());
    to = std::clamp<std::int64_t>(to, from, Length());
    std::wstring text;
    for (std::size_t index = LineFromPosition(from); index < lines_.size(); ++index) {
        const std::int64_t start = LineStart(index);
        if (start >= to) break;
        const Line& line = lines_[index];
        const std::int64_t a = std::max<std::int64_t>(from - start, 0);
        const std::int64_t b = std::min<std::int64_t>(to - start, static_cast<std::int64_t>(line.text.size()));
        if (a < b) text.append(line.text, static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
        // The line end is the character just past the text.
        if (index + 1 < lines_.size() && to > start + static_cast<std::int64_t>(line.text.size()) &&
            from <= start + static_cast<std::int64_t>(line.text.size()))
            text.append(lineEnd);
    }
    return text;
}

std::int64_t LogText::SelectionStart() const noexcept { return Relative(std::min(anchor_, caret_)); }
std::int64_t LogText::SelectionEnd() const noexcept { return Relative(std::max(anchor_, caret_)); }

void LogText::Select(std::int64_t anchor, std::int64_t caret) {
    anchor_ = Absolute(std::clamp<std::int64_t>(anchor, 0, Length()));
    caret_ = Absolute(std::clamp<std::int64_t>(caret, 0, Length()));
}

void LogText::ExtendTo(std::int64_t caret) { caret_ = Absolute(std::clamp<std::int64_t>(caret, 0, Length())); }

std::int64_t LogText::Relative(std::int64_t absolute) const noexcept {
    return std::clamp<std::int64_t>(absolute - Origin(), 0, Length());
}
std::int64_t LogText::Absolute(std::int64_t relative) const noexcept { return relative + Origin(); }

std::vector<std::size_t> WrapRows(std::wstring_view line,
                                  const std::function<std::size_t(std::wstring_view)>& fits) {
    std::vector<std::size_t> rows{0};
    std::size_t start = 0;
    while (start < line.size()) {
        const std::wstring_view rest = line.substr(start);
        const std::size_t fit = fits(rest);
        if (fit >= rest.size()) break;
        std::size_t cut = std::max<std::size_t>(fit, 1);
        // Break after the last space that fits; spaces at the break stay on the row they end.
        const std::size_t space = rest.substr(0, fit + 1).find_last_of(L' ');
        if (space != std::wstring_view::npos && space > 0) {
            cut = space + 1;
            while (cut < rest.size() && rest[cut] == L' ') ++cut;
            if (cut >= rest.size()) break;
        }
        start += cut;
        if (start >= line.size()) break;
        rows.push_back(start);
    }
    return rows;
}

}  // namespace logview
