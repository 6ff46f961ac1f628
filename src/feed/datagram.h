// One record or message as the feed sends it: a JSON object in one UDP datagram.
//
// Portable: no Windows header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "decoder/decoder_record.h"

namespace feed {

// No datagram is longer than this; a longer text is cut (at a character boundary) to fit, and the
// object then says "truncated": true. Below the 65,507 bytes UDP carries over IPv4.
inline constexpr std::size_t kMaxDatagram = 65'000;

// A longer station name is cut to this many bytes.
inline constexpr std::size_t kMaxStation = 256;

// What a datagram says, taken from a record (and, for a message, from the store's copy count).
struct FeedItem {
    std::int64_t timeMs = 0;  // received, UTC milliseconds since 1970
    int category = 0;         // 0..5, the record's category digit
    std::string les;
    std::string frame;
    std::string text;  // UTF-8
    bool message = false;  // category 5: priority and copies follow
    std::int64_t copies = 1;
};

// The record's text as UTF-8, as the store keeps it, with every byte that is not valid UTF-8 (a
// record whose text was not converted) replaced by U+FFFD.
FeedItem ItemFromRecord(const decoder::Record& record, std::int64_t copies = 1);

// "2026-12-07T11:50:00.123Z".
std::string IsoUtc(std::int64_t utcMs);

// The JSON object: station, time, category, les, frame, text, and for a message priority (its name,
// e.g. "safety") and copies; "truncated": true when the text had to be cut.
std::string BuildDatagram(const std::string& station, const FeedItem& item, std::size_t limit = kMaxDatagram);

// `text` (valid UTF-8) cut to at most `bytes` bytes without splitting a character.
std::size_t CharacterBoundary(const std::string& text, std::size_t bytes);

}  // namespace feed
