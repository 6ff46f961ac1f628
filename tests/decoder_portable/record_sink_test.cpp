// Typed records and the run's sinks: LES and frame in force, order, isolation of a failing sink, and
// the text log's filter.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "decoder/decoder_record.h"
#include "decoder/record_sink.h"

namespace {

using decoder::Category;
using decoder::Record;

TEST(RecordTyper, KeepsTheLatestHeaderLesAndFrameInForce) {
    decoder::RecordTyper typer;
    Record r;
    EXPECT_FALSE(typer.Make("L6xxxxxxxbad category", 1, r));
    EXPECT_FALSE(typer.Make("L1short", 1, r));
    ASSERT_TRUE(typer.Make(std::string_view("L1abcdefgbefore\n"), 5, r));
    EXPECT_EQ(r.sequence, 0u);
    EXPECT_EQ(r.receivedUtcMs, 5);
    EXPECT_EQ(r.category, Category::BulletinContents);
    EXPECT_EQ(r.header, "abcdefg");
    EXPECT_EQ(r.les, "");
    EXPECT_EQ(r.text, "before\n");

    ASSERT_TRUE(typer.Make("L21210042frequency: 1200.0\n", 6, r));
    EXPECT_EQ(r.les, "121");
    EXPECT_EQ(r.frame, "0042");
    EXPECT_TRUE(r.hasFrequency);
    EXPECT_DOUBLE_EQ(r.frequencyHz, 1215.0);

    // Other categories carry what the latest header said, not their own header bytes.
    ASSERT_TRUE(typer.Make("L5999zzzzMAYDAY\n", 7, r));
    EXPECT_EQ(r.sequence, 2u);
    EXPECT_EQ(r.category, Category::MessageText);
    EXPECT_EQ(r.header, "999zzzz");
    EXPECT_EQ(r.les, "121");
    EXPECT_EQ(r.frame, "0042");
    EXPECT_FALSE(r.hasFrequency);
}

// Records what it is given; may throw.
struct ProbeSink : decoder::IRecordSink {
    bool throwOnRecord = false;
    bool started = false, ended = false;
    std::vector<std::uint64_t> seen;

    void OnRunStarted() override { started = true; }
    void OnRecord(const Record& r) override {
        if (throwOnRecord) throw std::runtime_error("sink trouble");
        seen.push_back(r.sequence);
    }
    void OnRunEnded() override { ended = true; }
};

Record Numbered(std::uint64_t n, Category c = Category::BulletinContents, std::string text = "x\n") {
    Record r;
    r.sequence = n;
    r.category = c;
    r.text = std::move(text);
    return r;
}

TEST(RecordSinks, AFailingSinkNeverCostsTheOthersARecord) {
    auto failing = std::make_shared<ProbeSink>();
    failing->throwOnRecord = true;
    auto after = std::make_shared<ProbeSink>();
    decoder::RecordSinks sinks;
    sinks.Add(failing);
    sinks.Add(nullptr);  // ignored
    sinks.Add(after);
    sinks.RunStarted();
    for (std::uint64_t n = 0; n < 50; ++n) sinks.Deliver(Numbered(n));
    sinks.RunEnded();
    EXPECT_EQ(sinks.failures(), 50u);
    ASSERT_EQ(after->seen.size(), 50u);
    for (std::uint64_t n = 0; n < 50; ++n) EXPECT_EQ(after->seen[n], n);
    EXPECT_TRUE(after->started && after->ended && failing->ended);
}

TEST(TextLogSink, WritesEveryRecordOrOnlyTheShownOnes) {
    auto filter = std::make_shared<decoder::LogFilter>();
    filter->Set(1, true);
    filter->Set(9, true);  // out of range: ignored
    EXPECT_FALSE(filter->Shown(9));
    for (bool onlyShown : {false, true}) {
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        decoder::TextLogSink sink(file, onlyShown, filter);
        sink.OnRecord(Numbered(0, Category::BulletinContents, "shown\n"));
        sink.OnRecord(Numbered(1, Category::DecoderNote, "hidden\n"));
        filter->Set(4, true);  // a toggle applies to the next record
        sink.OnRecord(Numbered(2, Category::DecoderNote, "now shown\n"));
        filter->Set(4, false);
        std::rewind(file);
        char text[64] = {};
        const std::size_t n = std::fread(text, 1, sizeof text - 1, file);
        EXPECT_EQ(std::string(text, n), onlyShown ? "shown\nnow shown\n" : "shown\nhidden\nnow shown\n");
        sink.Close();
        sink.OnRecord(Numbered(3));  // closed: nothing happens
    }
}

}  // namespace
