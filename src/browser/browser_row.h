// One row of the message browser's list, its columns and how their values read.
//
// Portable.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "messages/priority.h"

namespace browser {

// The list's columns, left to right; each one is also a sort key.
enum class Column : int { Received = 0, Les, Frame, Priority, Copies, Length, Message, Warning, Kind, State };
inline constexpr int kColumnCount = 10;
inline constexpr std::array<std::string_view, kColumnCount> kColumnTitles = {
    "Received", "LES", "Frame", "Priority", "Copies", "Length", "Message", "Warning", "Kind", "State"};

// Columns sorted by text (read page by page from the start rather than on from a neighbour's key).
inline bool IsTextColumn(Column c) {
    return c == Column::Message || c == Column::Warning || c == Column::Kind || c == Column::State;
}

// What the list needs of a message: everything but the text, of which only the first line.
struct BrowserRow {
    std::int64_t id = 0;
    std::int64_t receivedMs = 0;  // first heard, UTC milliseconds
    std::int64_t lastHeardMs = 0;
    std::int64_t les = 0;         // messages::kUnknownNumber when not known
    std::int64_t frame = 0;
    messages::Priority priority = messages::Priority::Routine;
    std::int64_t copies = 1;
    std::int64_t length = 0;
    std::string firstLine;        // UTF-8, at most kFirstLineBytes (cut on a character boundary)
    // What the store read in it (empty or 0 when nothing, or not read yet).
    std::string series;
    std::int64_t number = 0;
    std::int64_t year = 0;
    std::string kind;
    std::string state;            // as the filter names it: inforce, cancelled, expired, dropped, none
    bool unread = false;          // the user has not seen it yet
};

// A cancelled, expired or dropped warning: no longer in force, shown muted.
inline bool NoLongerInForce(const BrowserRow& row) {
    return row.state == "cancelled" || row.state == "expired" || row.state == "dropped";
}

// "NAVAREA IV 1177/22" from a series, a number and a year; the series alone without a number.
std::string WarningName(std::string_view series, std::int64_t number, std::int64_t year);
// "in force" for "inforce"; the other states as they are, "none" as nothing.
std::string StateText(std::string_view state);

inline constexpr std::size_t kFirstLineBytes = 400;

// "2026-12-06 14:05:09" (UTC) for milliseconds since 1970; the ISO form "2026-12-06T14:05:09Z" with `iso`.
std::string FormatUtc(std::int64_t ms, bool iso = false);

// The text up to its first line break (CR or LF), at most `maxBytes` bytes, never splitting a UTF-8
// sequence.
std::string FirstLine(std::string_view text, std::size_t maxBytes = kFirstLineBytes);

// A column's text in the list: numbers in decimal, an unknown station or frame as empty text.
std::string CellText(const BrowserRow& row, Column column);

}  // namespace browser
