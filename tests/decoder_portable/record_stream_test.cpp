// Decoder record stream: splitting at zero bytes with the record limit, reading one record, and wide
// text to UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/record_stream.h"
#include "decoder/wide_text.h"

using decoder::ParseRecord;
using decoder::RecordSplitter;

namespace {

std::string Z(const std::string& s) { return s + '\0'; }

}  // namespace

TEST(RecordSplitter, RecordsAtZeroBytesAndTheLimitWhateverTheReadSizes) {
    std::string high = "L5abcdefg";
    for (int c = 0x80; c <= 0xFF; ++c) high.push_back(static_cast<char>(c));
    const std::string exact(1024, 'a');
    struct Row {
        std::string stream;
        std::vector<std::string> records;
        std::size_t pending;
    };
    const Row rows[] = {
        // Two zero bytes in a row make an empty record; "tail" waits for its end.
        {Z("L0abcdefgone") + Z("L5abcdefgtwo\n") + '\0' + "tail", {"L0abcdefgone", "L5abcdefgtwo\n", ""}, 4},
        {Z("L21210042frequency: 1200.0\n") + Z("L1abcdefgcontents"),
         {"L21210042frequency: 1200.0\n", "L1abcdefgcontents"},
         0},
        // Exactly 1024 bytes and their zero byte: one record, nothing lost.
        {Z("") + Z(exact) + Z("L0xxxxxxxnext"), {"", exact, "L0xxxxxxxnext"}, 0},
        // Past 1024 bytes the record is cut, the next byte is lost and the rest starts a new record.
        {Z(std::string(1024, 'b') + 'X' + "L3abc"), {std::string(1024, 'b'), "L3abc"}, 0},
        {std::string(1024, 'c') + '!' + Z("L4abcdefgrest"), {std::string(1024, 'c'), "L4abcdefgrest"}, 0},
        // 3000 bytes without a zero: 1024, 1024 and a pending 950 (two bytes lost).
        {std::string(3000, 'd'), {std::string(1024, 'd'), std::string(1024, 'd')}, 950},
        {Z(high), {high}, 0},  // bytes above 127 pass unchanged
        {"", {}, 0},
    };
    for (const Row& row : rows) {
        for (std::size_t block : {1, 2, 3, 7, 16, 1000, 1024, 4096}) {
            RecordSplitter splitter;
            std::vector<std::string> records;
            for (std::size_t at = 0; at < row.stream.size(); at += block) {
                splitter.Feed(row.stream.data() + at, std::min(block, row.stream.size() - at), [&](std::string_view r) {
                    EXPECT_EQ(r.data()[r.size()], '\0');
                    records.emplace_back(r);
                });
            }
            EXPECT_EQ(records, row.records) << row.stream.substr(0, 20) << " in blocks of " << block;
            EXPECT_EQ(splitter.pending(), row.pending) << row.stream.substr(0, 20) << " in blocks of " << block;
            splitter.Reset();
            EXPECT_EQ(splitter.pending(), 0u);
        }
    }
}

TEST(RecordParser, FrequencyReadFromJustAfterTheColon) {
    constexpr double k = 10368.0 / 10240.0;
    struct Case {
        std::string_view record;
        bool has;
        double hz;
    };
    const Case cases[] = {
        {"L21210042frequency: 1200.0\n", true, 1215.0},
        {"L21210042frequency:1200", true, 1215.0},
        {"L21210042frequency:   1200.0", true, 1215.0},
        {"L21210042frequency:\t2000 Hz", true, 2000.0 * k},
        {"L21210042LES 121 frequency: 1777.5, level 3", true, 1777.5 * k},
        {"L21210042frequency: .5", true, 0.5 * k},
        {"L21210042frequency: +40", true, 40.0 * k},
        {"L21210042frequency: 1.2e3", true, 1215.0},
        {"L2frequency: 1024", true, 1036.8},  // the header bytes are searched too
        {"L21210042frequency:", false, 0},
        {"L21210042frequency: ", false, 0},
        {"L21210042frequency: abc", false, 0},
        {"L21210042frequency: .", false, 0},
        {"L21210042frequency: .x", false, 0},
        {"L21210042frequency: +", false, 0},
        {"L21210042frequency: -20", false, 0},
        {"L21210042frequency: nan", false, 0},
        {"L21210042frequency: inf", false, 0},
        {"L21210042frequency: 1e999", false, 0},
        {"L21210042Frequency: 1200", false, 0},
        {"L21210042no report here", false, 0},
        {"L21210042frequency: x frequency: 1200", false, 0},                 // only the first report counts
        {"L11210042frequency: 1200", false, 0},                              // other categories never report one
        {std::string_view("L21210042frequency: 1234", 22), true, 12.0 * k},  // never read past the end
    };
    for (const auto& c : cases) {
        auto rec = ParseRecord(c.record);
        ASSERT_TRUE(rec.accepted) << c.record;
        EXPECT_EQ(rec.hasFrequency, c.has) << c.record;
        EXPECT_DOUBLE_EQ(rec.frequencyHz, c.hz) << c.record;
    }
}

TEST(RecordParser, AcceptanceRule) {
    // Nine bytes, empty, a wrong first letter, or a category outside 0..5.
    for (const char* r : {"L21210042", "", "X21210042text", "l21210042text", "L61210042text", "L91210042text",
                          "L/1210042text", "LA1210042text"})
        EXPECT_FALSE(ParseRecord(r).accepted) << r;
    for (char digit = '0'; digit <= '5'; ++digit) {
        const std::string r = std::string("L") + digit + "ABC9999x";
        auto rec = ParseRecord(r);
        ASSERT_TRUE(rec.accepted);
        EXPECT_EQ(rec.category, digit - '0');
        // Views into the record itself: LES and frame only for a bulletin-board header.
        EXPECT_EQ(rec.text.data(), r.data() + 9);
        EXPECT_EQ(rec.text, "x");
        EXPECT_EQ(rec.les, digit == '2' ? "ABC" : "");
        EXPECT_EQ(rec.frame, digit == '2' ? "9999" : "");
        EXPECT_TRUE(digit != '2' || (rec.les.data() == r.data() + 2 && rec.frame.data() == r.data() + 5)) << digit;
    }
}

TEST(WideToUtf8, EncodesEachLengthAndReplacesWhatIsNotText) {
    const std::pair<std::wstring, std::string> cases[] = {
        {L"", ""},
        {{wchar_t{0x7F}}, "\x7F"},
        {{wchar_t{0x80}}, "\xC2\x80"},
        {{wchar_t{0x7FF}}, "\xDF\xBF"},
        {{wchar_t{0x800}}, "\xE0\xA0\x80"},
        {{wchar_t{0xFFFF}}, "\xEF\xBF\xBF"},
        {L"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {{wchar_t(0xD83C), wchar_t(0xDF0A)}, "\xF0\x9F\x8C\x8A"},  // a pair: U+1F30A
        {{wchar_t(0xD83C), L'a'},
         "\xEF\xBF\xBD"
         "a"},                                                             // a high one alone
        {{wchar_t(0xDF0A), wchar_t(0xD83C)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the wrong way round
        {{L'x', wchar_t(0xD83C)}, "x\xEF\xBF\xBD"},                        // cut off at the end
    };
    for (const auto& [wide, utf8] : cases) EXPECT_EQ(decoder::WideToUtf8(wide), utf8) << utf8;
}
