// Throughput of the decoder record stream: splitter and parser over a realistic stream, fed in the
// reader's 1024-byte blocks. Prints MB/s; the reader should manage at least 200 MB/s.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "decoder/record_stream.h"

namespace {

// About 80-byte records of mixed categories, as a decoder writes them.
std::string MakeStream(std::size_t targetBytes) {
    std::mt19937 rng(7);
    static const char* texts[] = {
        "Frame type 0x2A, 640 symbols, sync ok\n",
        "Bulletin board: channel 3 TDM, LES 121 signalling, 0 errors\n",
        "frequency: 1200.0\n",
        "Unknown packet 0x7D length 18 crc ok\n",
        "demodulator level 12 dB, lock held\n",
        "SECURITE\nNAVAREA I 123/24\nNorth Sea. Buoy adrift near 56-10N 002-40E.\n",
    };
    std::string out;
    out.reserve(targetBytes + 256);
    unsigned frame = 0;
    while (out.size() < targetBytes) {
        unsigned category = rng() % 6;
        char header[16];
        std::snprintf(header, sizeof header, "L%u%03u%04u", category, 100 + rng() % 900, frame++ % 10000);
        std::string record = header;
        record += texts[category];
        std::size_t length = 70 + rng() % 21;  // 70..90 bytes
        while (record.size() < length) record += static_cast<char>('a' + rng() % 26);
        out += record;
        out.push_back('\0');
    }
    return out;
}

}  // namespace

int main() {
    const std::string stream = MakeStream(16u << 20);
    decoder::RecordSplitter splitter;
    std::size_t records = 0, accepted = 0, withFrequency = 0;
    double checksum = 0.0;
    const int passes = 8;

    auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t at = 0; at < stream.size(); at += decoder::kReadBlockSize) {
            std::size_t n = std::min(decoder::kReadBlockSize, stream.size() - at);
            splitter.Feed(stream.data() + at, n, [&](std::string_view r) {
                ++records;
                decoder::DecoderRecord rec = decoder::ParseRecord(r);
                if (rec.accepted) {
                    ++accepted;
                    checksum += static_cast<double>(rec.text.size());
                }
                if (rec.hasFrequency) {
                    ++withFrequency;
                    checksum += rec.frequencyHz;
                }
            });
        }
    }
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double megabytes = static_cast<double>(stream.size()) * passes / 1e6;
    std::printf("decoder record stream: %.1f MB in %.3f s = %.0f MB/s (%zu records, %zu accepted, "
                "%zu frequency reports, avg %.0f bytes/record, checksum %.0f); target >= 200 MB/s\n",
                megabytes, seconds, megabytes / seconds, records, accepted, withFrequency,
                static_cast<double>(stream.size()) * passes / static_cast<double>(records), checksum);
    return 0;
}
