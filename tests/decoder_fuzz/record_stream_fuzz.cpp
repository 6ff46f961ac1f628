// Fuzz target for the decoder's portable pieces. First byte even: the input is fed to RecordSplitter in
// blocks whose sizes come from the input, compared with a plain byte-by-byte splitter, every record parsed
// and checked. Odd: settings made from the input must build a command line that splits back into exactly
// the expected arguments, or be refused for a quotation mark.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"
#include "decoder/record_stream.h"

#define FUZZ_CHECK(cond) \
    if (!(cond)) std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), std::abort()

namespace {

void CheckRecord(std::string_view r) {
    FUZZ_CHECK(r.size() <= decoder::kMaxRecordLength);
    const decoder::DecoderRecord rec = decoder::ParseRecord(r);
    FUZZ_CHECK(rec.accepted == (r.size() >= 10 && r[0] == 'L' && r[1] >= '0' && r[1] <= '5'));
    if (!rec.accepted) return;
    FUZZ_CHECK(rec.category == r[1] - '0');
    FUZZ_CHECK(rec.text.data() == r.data() + 9 && rec.text.size() == r.size() - 9);
    const bool board = rec.category == 2;
    FUZZ_CHECK(rec.les.size() == (board ? 3u : 0u) && rec.frame.size() == (board ? 4u : 0u));
    FUZZ_CHECK(!rec.hasFrequency || (board && std::isfinite(rec.frequencyHz) && rec.frequencyHz >= 0.0 &&
                                     r.find("frequency:") != std::string_view::npos));
}

void StreamMode(const std::uint8_t* data, std::size_t size) {
    // The first bytes choose block sizes (1..1024), the rest is the stream.
    const std::size_t seeds = size < 4 ? size : 4;
    std::vector<std::size_t> blocks{decoder::kReadBlockSize};
    if (seeds) blocks.clear();
    for (std::size_t i = 0; i < seeds; ++i) blocks.push_back(1 + (data[i] * 37u) % decoder::kReadBlockSize);
    const std::string stream(data + seeds, data + size);

    std::vector<std::string> fast;
    decoder::RecordSplitter splitter;
    for (std::size_t at = 0, k = 0; at < stream.size(); at += blocks[k++ % blocks.size()]) {
        splitter.Feed(stream.data() + at, std::min(blocks[k % blocks.size()], stream.size() - at),
                      [&](std::string_view r) {
                          FUZZ_CHECK(r.data()[r.size()] == '\0');
                          CheckRecord(r);
                          fast.emplace_back(r);
                      });
    }
    // The plain rule, one byte at a time.
    std::vector<std::string> plain;
    std::string current;
    for (char b : stream) {
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

void CommandLineMode(const std::uint8_t* p, const std::uint8_t* end) {
    const auto byte = [&]() -> std::uint8_t { return p == end ? 0 : *p++; };  // zeros once used up
    const auto text = [&] {
        static const wchar_t alphabet[] = L"aZ1 \t\\\"-:\u00E9\xD83D\xDCE1";
        std::wstring s(byte() % 48, L'a');
        for (wchar_t& c : s) c = alphabet[byte() % (std::size(alphabet) - 1)];
        return s;
    };
    decoder::LaunchSettings s;
    auto& o = s.settings;
    const std::uint8_t flags = byte(), flags2 = byte();
    o.centerFrequency = (byte() * 256 + byte()) / 7.0;
    o.cardChannel = static_cast<int>(byte() % 5) - 1;
    bool* const switches[] = {&o.checkForUpdates, &o.hideDecoderWindow, &o.fileLogEgc,     &o.fileLogMessages,
                              &o.fileLogRaw,      &o.tarLogEgc,         &o.tarLogMessages, &o.tarLogRaw};
    for (int bit = 0; bit < 8; ++bit) *switches[bit] = flags >> bit & 1;
    s.instanceName = decoder::FormatInstanceName(flags2 * 0x01010101u);
    s.soundCard = text();
    o.fileLogDir = text();
    o.tarLogDir = text();

    const decoder::CommandLineResult r = decoder::BuildCommandLine(s);
    const bool quote = (s.soundCard + o.fileLogDir + o.tarLogDir).find(L'"') != std::wstring::npos;
    FUZZ_CHECK(r.ok() == !quote);
    FUZZ_CHECK(r.commandLine.empty() == quote);
    if (quote) return;

    std::wstring device = s.soundCard.substr(0, 31);
    if (s.soundCard.size() > 31 && device.back() >= 0xD800 && device.back() <= 0xDBFF) device.pop_back();
    std::vector<std::wstring> expected{L"vastrel.exe", L"-f" + std::to_wstring(std::llround(o.centerFrequency)),
                                       L"-c" + device};
    if (o.cardChannel != 0) expected.push_back(o.cardChannel == 1 ? L"-cL" : L"-cR");
    if (!o.checkForUpdates) expected.push_back(L"-n");
    using Log = std::tuple<const wchar_t*, bool, bool, bool>;
    for (auto [sw, e, m, rr] : {Log{L"-l", o.fileLogEgc, o.fileLogMessages, o.fileLogRaw},
                                Log{L"-t", o.tarLogEgc, o.tarLogMessages, o.tarLogRaw}}) {
        const std::wstring letters = std::wstring(e ? L"e" : L"") + (m ? L"m" : L"") + (rr ? L"r" : L"");
        if (!letters.empty()) expected.push_back(sw + letters);
    }
    if (!o.fileLogDir.empty()) expected.push_back(L"-df" + o.fileLogDir);
    if (!o.tarLogDir.empty()) expected.push_back(L"-dt" + o.tarLogDir);
    if (o.hideDecoderWindow) expected.push_back(L"-h");
    expected.push_back(L"-p" + s.instanceName);

    // llround rounds ties away from zero where the builder rounds them to even; skip exact ties.
    const auto got = decoder::SplitCommandLine(r.commandLine);
    if (o.centerFrequency - std::floor(o.centerFrequency) == 0.5) expected[1] = got.at(1);
    FUZZ_CHECK(got == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        CommandLineMode(data + 1, data + size);
    } else {
        StreamMode(data + 1, size - 1);
    }
    return 0;
}
