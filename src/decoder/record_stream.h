// The decoder's output stream: zero-separated records, and what the front end reads from one record.
//
// Portable: no Windows header, no allocation per record.
#pragma once
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace decoder {

inline constexpr std::size_t kReadBlockSize = 1024;    // bytes asked for per pipe read
inline constexpr std::size_t kMaxRecordLength = 1024;  // longer records are cut
inline constexpr std::size_t kMinRecordLength = 10;    // "L", category digit, 7 header bytes, 1 text byte
inline constexpr std::size_t kTextOffset = 9;

// Cuts a byte stream into records at zero bytes, into one buffer it owns and reuses.
//
// A record that reaches kMaxRecordLength bytes is delivered as it is as soon as the next byte arrives;
// that byte is consumed with it (a zero byte normally, otherwise the byte is lost) and what follows
// starts a new record. An incomplete record at the end of a block is continued by the next block.
class RecordSplitter {
public:
    // Feeds one read block. `onRecord(std::string_view record)` is called for every completed record, in
    // order; the view stays valid until the callback returns, and record.data()[record.size()] is 0.
    template <class OnRecord>
    void Feed(const void* data, std::size_t size, OnRecord&& onRecord);

    // Drops a record in progress (the decoder's end leaves it incomplete).
    void Reset() noexcept { length_ = 0; }
    std::size_t pending() const noexcept { return length_; }

private:
    std::array<char, kMaxRecordLength + 1> record_{};
    std::size_t length_ = 0;
};

// What one record says. All views point into the record passed to ParseRecord.
struct DecoderRecord {
    bool accepted = false;      // at least 10 bytes, "L", category digit 0..5; otherwise ignore it wholly
    int category = -1;          // 0..5 when accepted
    std::string_view les;       // category 2: bytes 2..4 (land earth station); empty otherwise
    std::string_view frame;     // category 2: bytes 5..8 (frame number); empty otherwise
    std::string_view text;      // bytes 9..end, ANSI code page, no terminator of its own
    bool hasFrequency = false;  // category 2 with a readable "frequency:" report
    double frequencyHz = 0.0;   // the reported number x 10368 / 10240, the new centre frequency
};

// Reads one record (without its terminating zero byte).
//
// The frequency is the first "frequency:" in the record, read as a decimal number from just after the
// colon, blanks skipped ("frequency: 1200.0" and "frequency:1200" both give 1200, then 1215 Hz). A
// report without a readable, finite, non-negative number leaves hasFrequency false.
DecoderRecord ParseRecord(std::string_view record) noexcept;

// Just the number after a "frequency:" (before the factor); false when there is none.
bool ReadReportedFrequency(std::string_view record, double& value) noexcept;

template <class OnRecord>
void RecordSplitter::Feed(const void* data, std::size_t size, OnRecord&& onRecord) {
    const char* p = static_cast<const char*>(data);
    const char* const end = p + size;
    while (p != end) {
        std::size_t room = kMaxRecordLength - length_;
        std::size_t window = static_cast<std::size_t>(end - p);
        if (window > room) window = room;
        const void* zero = window ? std::memchr(p, 0, window) : nullptr;
        std::size_t take = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : window;
        if (take) std::memcpy(record_.data() + length_, p, take);
        length_ += take;
        p += take;
        if (!zero && length_ < kMaxRecordLength) return;  // block used up, record continues
        if (p == end) return;                             // full record waits for the byte that ends it
        ++p;  // the zero byte, or the byte past the limit, which is lost
        record_[length_] = '\0';
        std::size_t n = length_;
        length_ = 0;
        onRecord(std::string_view(record_.data(), n));
    }
}

}  // namespace decoder
