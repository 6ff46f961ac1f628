// One record or message as the feed sends it: a JSON object in one UDP datagram.
//
// Portable: no Windows header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoder/decoder_record.h"
#include "warnings/shapes.h"

namespace feed {

// No datagram is longer than this; a longer text is cut (at a character boundary) to fit, and the
// object then says "truncated": true. Below the 65,507 bytes UDP carries over IPv4.
inline constexpr std::size_t kMaxDatagram = 65'000;

// A longer station name is cut to this many bytes.
inline constexpr std::size_t kMaxStation = 256;

// What a message says as a warning (warnings/reader.h), read from its text alone: the state of a
// numbered one is "inforce", or "expired" when its own cancel time came before it was heard.
struct FeedWarning {
    std::string series;  // empty: none
    int number = 0;      // 0: not numbered
    int year = 0;
    std::string kind;
    std::string state;
    std::vector<warnings::Shape> shapes;
};

// What a datagram says, taken from a record (and, for a message, from the store's copy count).
struct FeedItem {
    std::int64_t timeMs = 0;  // received, UTC milliseconds since 1970
    int category = 0;         // 0..5, the record's category digit
    std::string les;
    std::string frame;
    std::string text;  // UTF-8
    bool message = false;  // category 5: priority and copies follow
    std::int64_t copies = 1;
    bool alert = false;  // the message raised an alert
    std::shared_ptr<const FeedWarning> warning;  // a message read as a warning; none for the rest
};

// The record's text as UTF-8, as the store keeps it, with every byte that is not valid UTF-8 (a
// record whose text was not converted) replaced by U+FFFD.
FeedItem ItemFromRecord(const decoder::Record& record, std::int64_t copies = 1, bool alert = false);

// "2026-12-07T11:50:00.123Z".
std::string IsoUtc(std::int64_t utcMs);

// The JSON object: station, time, category, les, frame, text, and for a message priority (its name,
// e.g. "safety") and copies, and "alert": true for one that raised an alert; "truncated": true when the text had to be cut. A message read as a
// warning adds, where it has them: series, number, year, kind, state, and shapes
// ([{"kind": "area", "points": [[28.665333, -80.638833], ...]}, {"kind": "circle", "radius_nm": 2,
// "points": [[lat, lon]]}]); shapes too large for one datagram are left out, never the text.
std::string BuildDatagram(const std::string& station, const FeedItem& item, std::size_t limit = kMaxDatagram);

// `text` (valid UTF-8) cut to at most `bytes` bytes without splitting a character.
std::size_t CharacterBoundary(const std::string& text, std::size_t bytes);

}  // namespace feed
