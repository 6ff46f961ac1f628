// A decoder record as the rest of the front end sees it: typed, timed, with the LES and frame in force.
//
// Portable: no Windows header.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace decoder {

// The six record categories; the value is the category digit of the record.
enum class Category : int {
    FrameHeader = 0,
    BulletinContents = 1,
    BulletinHeader = 2,  // carries the LES and frame number, and may report a frequency
    UnknownFrame = 3,
    DecoderNote = 4,     // never shown by a command; the front end's own notes take its colour
    MessageText = 5,
};
inline constexpr int kCategories = 6;
constexpr int Index(Category c) { return static_cast<int>(c); }

struct Record {
    std::uint64_t sequence = 0;      // 0 for the run's first accepted record
    std::int64_t receivedUtcMs = 0;  // milliseconds since 1970-01-01 UTC
    Category category = Category::FrameHeader;
    std::string header;  // the seven bytes after the category digit, as received
    std::string les;     // a bulletin-board header's own, else the run's latest ("" before the first)
    std::string frame;   // likewise
    bool hasFrequency = false;
    double frequencyHz = 0.0;  // the new centre frequency when hasFrequency
    std::string text;          // bytes 9.. as received (ANSI code page)
    std::wstring wideText;     // the same as UTF-16, filled by the reader where the platform converts
};

// Turns raw records of one run into typed ones, keeping the LES and frame in force.
class RecordTyper {
public:
    // False (and `out` untouched) for a record the front end ignores wholly.
    bool Make(std::string_view raw, std::int64_t receivedUtcMs, Record& out);

private:
    std::string les_;
    std::string frame_;
    std::uint64_t next_ = 0;
};

}  // namespace decoder
