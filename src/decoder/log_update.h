// What one record does to the window that shows a run, and which of a run's left-over updates still
// reach a bounded log. Portable: no Windows header.
#pragma once
#include <cstddef>
#include <deque>
#include <optional>
#include <cstdint>
#include <string>

#include "decoder/decoder_record.h"

namespace decoder {

// An alert a new message raised (alerts/alert.h makes them): the message's id in the store, when it
// was heard, a headline for the notification and the message as one line of the feed's JSON.
struct RunAlert {
    std::int64_t messageId = 0;
    std::int64_t timeMs = 0;
    std::wstring headline;
    std::string json;
};

// What one record does to the windows, or a note of the front end's own.
struct LogUpdate {
    // The colour the text is shown in; none: the colour in force ("Decoder started").
    std::optional<Category> category;
    bool headerFields = false;  // a bulletin-board header: LES, Frame and "Decoding..."
    std::wstring les;
    std::wstring frame;
    bool hasFrequency = false;
    double frequencyHz = 0.0;
    bool show = false;  // append `text` to the log
    std::wstring text;
    std::optional<RunAlert> alert;  // raised after the text is shown
};

// The index of the first update whose text a log that keeps `lineLimit` lines (0: all) still shows
// once every update has been appended: what comes before it would leave the top at once.
std::size_t FirstKeptUpdate(const std::deque<LogUpdate>& updates, std::size_t lineLimit);

// "<words> at YYYY-MM-DD hh:mm:ss UTC\n": a note of the front end's own, trailing blanks and line
// ends of `words` dropped.
std::wstring NoteLine(std::wstring words, std::int64_t utcMs);
// "5 s" for whole seconds, else "2.5 s".
std::wstring SecondsText(std::int64_t ms);
// The notes are ASCII; the text log keeps the decoder's 8-bit text, so anything else becomes '?'.
std::string NarrowNote(const std::wstring& text);

}  // namespace decoder
