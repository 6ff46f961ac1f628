// Fuzz target for the decoder's portable pieces.
//
// Stream mode (first byte even): the input is fed to RecordSplitter in blocks whose sizes come from the
// input itself, and compared with a plain byte-by-byte splitter; every record is parsed and checked.
// Command-line mode (first byte odd): settings are made from the input, and a built command line must
// split back into exactly the expected arguments, or be refused for a quotation mark.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"
#include "decoder/record_stream.h"

#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

namespace {

// Reads the input a byte at a time; zeros once it is used up.
struct Input {
    const std::uint8_t* p;
    const std::uint8_t* end;
    std::uint8_t Byte() { return p == end ? 0 : *p++; }
};

void CheckRecord(std::string_view r) {
    FUZZ_CHECK(r.size() <= decoder::kMaxRecordLength);
    decoder::DecoderRecord rec = decoder::ParseRecord(r);
    bool expectAccepted = r.size() >= 10 && r[0] == 'L' && r[1] >= '0' && r[1] <= '5';
    FUZZ_CHECK(rec.accepted == expectAccepted);
    if (!rec.accepted) return;
    FUZZ_CHECK(rec.category == r[1] - '0');
    FUZZ_CHECK(rec.text.data() == r.data() + 9 && rec.text.size() == r.size() - 9);
    if (rec.category == 2) {
        FUZZ_CHECK(rec.les.size() == 3 && rec.frame.size() == 4);
    } else {
        FUZZ_CHECK(rec.les.empty() && rec.frame.empty() && !rec.hasFrequency);
    }
    if (rec.hasFrequency) {
        FUZZ_CHECK(std::isfinite(rec.frequencyHz) && rec.frequencyHz >= 0.0);
        FUZZ_CHECK(r.find("frequency:") != std::string_view::npos);
    }
}

void StreamMode(const std::uint8_t* data, std::size_t size) {
    // The first bytes choose block sizes (1..1024), the rest is the stream.
    std::size_t blockSeeds = size < 4 ? size : 4;
    std::vector<std::size_t> blocks;
    for (std::size_t i = 0; i < blockSeeds; ++i) blocks.push_back(1 + (data[i] * 37u) % decoder::kReadBlockSize);
    if (blocks.empty()) blocks.push_back(decoder::kReadBlockSize);
    const std::uint8_t* stream = data + blockSeeds;
    std::size_t streamSize = size - blockSeeds;

    std::vector<std::string> fast;
    decoder::RecordSplitter splitter;
    std::size_t at = 0;
    for (std::size_t k = 0; at < streamSize; ++k) {
        std::size_t n = blocks[k % blocks.size()];
        if (n > streamSize - at) n = streamSize - at;
        splitter.Feed(stream + at, n, [&](std::string_view r) {
            FUZZ_CHECK(r.data()[r.size()] == '\0');
            CheckRecord(r);
            fast.emplace_back(r);
        });
        at += n;
    }

    // The plain rule, one byte at a time.
    std::vector<std::string> plain;
    std::string current;
    for (std::size_t i = 0; i < streamSize; ++i) {
        char b = static_cast<char>(stream[i]);
        if (b != 0 && current.size() < decoder::kMaxRecordLength) {
            current.push_back(b);
        } else {
            plain.push_back(current);
            current.clear();
        }
    }
    FUZZ_CHECK(fast == plain);
    FUZZ_CHECK(splitter.pending() == current.size());
}

std::wstring Text(Input& in) {
    static const wchar_t alphabet[] = {L'a', L'Z', L'1', L' ', L'\t', L'\\', L'"', L'-', L':', L'\x00E9', L'\xD83D', L'\xDCE1'};
    std::wstring s;
    std::size_t n = in.Byte() % 48;
    for (std::size_t i = 0; i < n; ++i) s.push_back(alphabet[in.Byte() % (sizeof alphabet / sizeof alphabet[0])]);
    return s;
}

void CommandLineMode(const std::uint8_t* data, std::size_t size) {
    Input in{data, data + size};
    decoder::LaunchSettings s;
    std::uint8_t flags = in.Byte();
    std::uint8_t flags2 = in.Byte();
    s.settings.centerFrequency = (in.Byte() * 256 + in.Byte()) / 7.0;
    s.settings.cardChannel = static_cast<int>(in.Byte() % 5) - 1;
    bool* const switches[] = {&s.settings.checkForUpdates, &s.settings.hideDecoderWindow, &s.settings.fileLogEgc,
                              &s.settings.fileLogMessages, &s.settings.fileLogRaw,        &s.settings.tarLogEgc,
                              &s.settings.tarLogMessages,  &s.settings.tarLogRaw};
    for (int bit = 0; bit < 8; ++bit) *switches[bit] = flags >> bit & 1;
    s.instanceName = decoder::FormatInstanceName(flags2 * 0x01010101u);
    s.soundCard = Text(in);
    s.settings.fileLogDir = Text(in);
    s.settings.tarLogDir = Text(in);

    decoder::CommandLineResult r = decoder::BuildCommandLine(s);
    bool quote = s.soundCard.find(L'"') != std::wstring::npos || s.settings.fileLogDir.find(L'"') != std::wstring::npos ||
                 s.settings.tarLogDir.find(L'"') != std::wstring::npos;
    FUZZ_CHECK(r.ok() == !quote);
    if (!r.ok()) {
        FUZZ_CHECK(r.commandLine.empty());
        return;
    }

    std::wstring device = s.soundCard.substr(0, 31);
    if (s.soundCard.size() > 31 && device.back() >= 0xD800 && device.back() <= 0xDBFF) device.pop_back();
    std::vector<std::wstring> expected{L"vastrel.exe", L"-f" + std::to_wstring(std::llround(s.settings.centerFrequency)),
                                       L"-c" + device};
    if (s.settings.cardChannel != 0) expected.push_back(s.settings.cardChannel == 1 ? L"-cL" : L"-cR");
    if (!s.settings.checkForUpdates) expected.push_back(L"-n");
    auto letters = [&](const wchar_t* sw, bool e, bool m, bool rr) {
        if (!(e || m || rr)) return;
        std::wstring a = sw;
        if (e) a += L'e';
        if (m) a += L'm';
        if (rr) a += L'r';
        expected.push_back(a);
    };
    letters(L"-l", s.settings.fileLogEgc, s.settings.fileLogMessages, s.settings.fileLogRaw);
    letters(L"-t", s.settings.tarLogEgc, s.settings.tarLogMessages, s.settings.tarLogRaw);
    if (!s.settings.fileLogDir.empty()) expected.push_back(L"-df" + s.settings.fileLogDir);
    if (!s.settings.tarLogDir.empty()) expected.push_back(L"-dt" + s.settings.tarLogDir);
    if (s.settings.hideDecoderWindow) expected.push_back(L"-h");
    expected.push_back(L"-p" + s.instanceName);

    // llround rounds ties away from zero where the builder rounds them to even; skip exact ties.
    const auto got = decoder::SplitCommandLine(r.commandLine);
    if (s.settings.centerFrequency - std::floor(s.settings.centerFrequency) == 0.5) expected[1] = got.at(1);
    FUZZ_CHECK(got == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        CommandLineMode(data + 1, size - 1);
    } else {
        StreamMode(data + 1, size - 1);
    }
    return 0;
}
