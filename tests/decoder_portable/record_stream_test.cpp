// Decoder record stream: splitting at zero bytes with the record limit, and reading one record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/record_stream.h"

using decoder::ParseRecord;
using decoder::RecordSplitter;

namespace {

// Feeds `stream` in blocks of `block` bytes and collects the records, checking the terminator.
std::vector<std::string> Split(RecordSplitter& splitter, const std::string& stream, std::size_t block) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < stream.size(); at += block) {
        std::size_t n = std::min(block, stream.size() - at);
        splitter.Feed(stream.data() + at, n, [&](std::string_view r) {
            EXPECT_EQ(r.data()[r.size()], '\0');
            out.emplace_back(r);
        });
    }
    return out;
}

std::vector<std::string> Split(const std::string& stream, std::size_t block = decoder::kReadBlockSize) {
    RecordSplitter splitter;
    return Split(splitter, stream, block);
}

std::string Z(const char* s) { return std::string(s) + '\0'; }

}  // namespace

TEST(RecordSplitter, ZeroBytesSeparateRecords) {
    std::string stream = Z("L0abcdefgone") + Z("L5abcdefgtwo\n");
    stream.push_back('\0');  // two zero bytes in a row: an empty record
    stream += "tail";
    RecordSplitter splitter;
    auto records = Split(splitter, stream, 1024);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], "L0abcdefgone");
    EXPECT_EQ(records[1], "L5abcdefgtwo\n");
    EXPECT_EQ(records[2], "");
    EXPECT_FALSE(ParseRecord(records[2]).accepted);
    EXPECT_EQ(splitter.pending(), 4u);  // "tail" waits for its end
    splitter.Reset();
    EXPECT_EQ(splitter.pending(), 0u);
}

TEST(RecordSplitter, RecordSplitAcrossReadsArrivesOnce) {
    std::string stream = Z("L21210042frequency: 1200.0\n") + Z("L1abcdefgcontents");
    for (std::size_t block = 1; block <= stream.size(); ++block) {
        auto records = Split(stream, block);
        ASSERT_EQ(records.size(), 2u) << block;
        EXPECT_EQ(records[0], "L21210042frequency: 1200.0\n");
        EXPECT_EQ(records[1], "L1abcdefgcontents");
    }
}

TEST(RecordSplitter, RecordLimit) {
    // Exactly 1024 bytes and its zero byte: one record, nothing lost.
    std::string exact(1024, 'a');
    auto records = Split(Z("") + exact + '\0' + Z("L0xxxxxxxnext"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1], exact);
    EXPECT_EQ(records[2], "L0xxxxxxxnext");

    // 1030 bytes: the first 1024 are a record, the 1025th is lost, the rest starts a new record.
    std::string longer = std::string(1024, 'b') + 'X' + "L3abc";
    for (std::size_t block : {std::size_t{1024}, std::size_t{1000}, std::size_t{7}, std::size_t{1}}) {
        records = Split(longer + '\0', block);
        ASSERT_EQ(records.size(), 2u) << block;
        EXPECT_EQ(records[0], std::string(1024, 'b'));
        EXPECT_EQ(records[1], "L3abc");
        EXPECT_FALSE(ParseRecord(records[1]).accepted);  // 5 bytes: too short
    }

    // The remainder of a long record counts as a record of its own when it looks like one.
    records = Split(std::string(1024, 'c') + '!' + Z("L4abcdefgrest"));
    ASSERT_EQ(records.size(), 2u);
    auto rec = ParseRecord(records[1]);
    EXPECT_TRUE(rec.accepted);
    EXPECT_EQ(rec.category, 4);
    EXPECT_EQ(rec.text, "rest");

    // 3000 bytes without a zero: records of 1024, 1024 and a pending 950 (two bytes lost).
    RecordSplitter splitter;
    records = Split(splitter, std::string(3000, 'd'), 1024);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].size(), 1024u);
    EXPECT_EQ(records[1].size(), 1024u);
    EXPECT_EQ(splitter.pending(), 950u);
}

TEST(RecordSplitter, BytesAbove127PassUnchanged) {
    std::string text;
    for (int c = 0x80; c <= 0xFF; ++c) text.push_back(static_cast<char>(c));
    std::string record = "L5abcdefg" + text;
    auto records = Split(Z(record.c_str()), 16);
    ASSERT_EQ(records.size(), 1u);
    auto rec = ParseRecord(records[0]);
    ASSERT_TRUE(rec.accepted);
    EXPECT_EQ(rec.category, 5);
    EXPECT_EQ(rec.text, text);
}

TEST(RecordParser, BulletinBoardHeaderWithFrequency) {
    auto rec = ParseRecord("L21210042frequency: 1200.0\n");
    ASSERT_TRUE(rec.accepted);
    EXPECT_EQ(rec.category, 2);
    EXPECT_EQ(rec.les, "121");
    EXPECT_EQ(rec.frame, "0042");
    EXPECT_EQ(rec.text, "frequency: 1200.0\n");
    ASSERT_TRUE(rec.hasFrequency);
    EXPECT_DOUBLE_EQ(rec.frequencyHz, 1215.0);
}

TEST(RecordParser, FrequencyReadFromJustAfterTheColon) {
    struct Case {
        const char* record;
        bool has;
        double hz;
    };
    const Case cases[] = {
        {"L21210042frequency:1200", true, 1215.0},
        {"L21210042frequency:   1200.0", true, 1215.0},
        {"L21210042frequency:\t2000 Hz", true, 2000.0 * 10368.0 / 10240.0},
        {"L21210042LES 121 frequency: 1777.5, level 3", true, 1777.5 * 10368.0 / 10240.0},
        {"L21210042frequency: .5", true, 0.5 * 10368.0 / 10240.0},
        {"L21210042frequency: 1.2e3", true, 1215.0},
        {"L21210042frequency:", false, 0},
        {"L21210042frequency: ", false, 0},
        {"L21210042frequency: abc", false, 0},
        {"L21210042frequency: -20", false, 0},
        {"L21210042frequency: nan", false, 0},
        {"L21210042frequency: inf", false, 0},
        {"L21210042frequency: 1e999", false, 0},
        {"L21210042Frequency: 1200", false, 0},
        {"L21210042no report here", false, 0},
        // Only the first report counts.
        {"L21210042frequency: x frequency: 1200", false, 0},
    };
    for (const auto& c : cases) {
        auto rec = ParseRecord(c.record);
        ASSERT_TRUE(rec.accepted) << c.record;
        EXPECT_EQ(rec.hasFrequency, c.has) << c.record;
        if (c.has) {
            EXPECT_DOUBLE_EQ(rec.frequencyHz, c.hz) << c.record;
        }
    }
    // The report in the header bytes of the record is searched too (the whole record is searched).
    auto rec = ParseRecord(std::string_view("L2frequency: 1024", 17));
    EXPECT_TRUE(rec.hasFrequency);
    EXPECT_DOUBLE_EQ(rec.frequencyHz, 1036.8);
    // Other categories never report a frequency.
    EXPECT_FALSE(ParseRecord("L11210042frequency: 1200").hasFrequency);
    // The number must not be read past the record's end.
    std::string buf = "L21210042frequency: 12";
    buf += "34";
    EXPECT_DOUBLE_EQ(ParseRecord(std::string_view(buf.data(), buf.size() - 2)).frequencyHz, 12.0 * 10368 / 10240);
}

TEST(RecordParser, AcceptanceRule) {
    // Nine bytes, empty, a wrong first letter, or a category outside 0..5.
    for (const char* r : {"L21210042", "", "X21210042text", "l21210042text", "L61210042text", "L91210042text",
                          "L/1210042text", "LA1210042text"})
        EXPECT_FALSE(ParseRecord(r).accepted) << r;
    auto ten = ParseRecord("L21210042x");
    EXPECT_TRUE(ten.accepted);
    EXPECT_EQ(ten.text, "x");
    for (char digit = '0'; digit <= '5'; ++digit) {
        std::string r = std::string("L") + digit + "abcdefgtext";
        auto rec = ParseRecord(r);
        ASSERT_TRUE(rec.accepted);
        EXPECT_EQ(rec.category, digit - '0');
        EXPECT_EQ(rec.text, "text");
        EXPECT_EQ(rec.les.empty(), digit != '2');
        EXPECT_EQ(rec.frame.empty(), digit != '2');
    }
    // Views point into the record itself.
    std::string r = "L2ABC9999hello";
    auto rec = ParseRecord(r);
    EXPECT_EQ(rec.les.data(), r.data() + 2);
    EXPECT_EQ(rec.frame.data(), r.data() + 5);
    EXPECT_EQ(rec.text.data(), r.data() + 9);
}
