// Typed records and the run's sinks: LES and frame in force, isolation of a failing sink, and the text
// log: its filter, and its switch to a new file at UTC midnight.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "decoder/command_line.h"
#include "decoder/decoder_record.h"
#include "decoder/record_sink.h"

namespace {

using decoder::Category;
using decoder::Record;

TEST(RecordTyper, KeepsTheLatestHeaderLesAndFrameInForce) {
    decoder::RecordTyper typer;
    Record r;
    r.wideText = L"left over";
    // "<sequence> <ms> <category> <header> [<les>] [<frame>] <frequency or -> <text>"
    const auto make = [&](std::string_view raw, std::int64_t ms) -> std::string {
        if (!typer.Make(raw, ms, r)) return "ignored";
        return std::to_string(r.sequence) + " " + std::to_string(r.receivedUtcMs) + " " +
               std::to_string(decoder::Index(r.category)) + " " + r.header + " [" + r.les + "] [" + r.frame + "] " +
               (r.hasFrequency ? std::to_string(r.frequencyHz) : "-") + " " + r.text +
               (r.wideText.empty() ? "" : "+wide");
    };
    EXPECT_EQ(make("L6xxxxxxxbad category", 1), "ignored");
    EXPECT_EQ(make("L1short", 1), "ignored");
    EXPECT_EQ(make("L1abcdefgbefore\n", 5), "0 5 1 abcdefg [] [] - before\n");
    EXPECT_EQ(make("L21210042frequency: 1200.0\n", 6), "1 6 2 1210042 [121] [0042] 1215.000000 frequency: 1200.0\n");
    // Other categories carry what the latest header said, not their own header bytes.
    EXPECT_EQ(make("L5999zzzzMAYDAY\n", 7), "2 7 5 999zzzz [121] [0042] - MAYDAY\n");
    EXPECT_EQ(make("L29990001x", 8), "3 8 2 9990001 [999] [0001] - x");
}

Record At(std::int64_t ms, std::string text, Category c = Category::BulletinContents, std::uint64_t sequence = 0) {
    Record r;
    r.sequence = sequence;
    r.receivedUtcMs = ms;
    r.category = c;
    r.text = std::move(text);
    return r;
}

TEST(RecordSinks, AFailingSinkNeverCostsTheOthersARecord) {
    // Notes what it is given, "S" and "E" for the run's start and end; may throw on a record.
    struct Probe : decoder::IRecordSink {
        bool throws = false;
        std::string seen;
        void OnRunStarted() override { seen += "S"; }
        void OnRecord(const Record& r) override {
            if (throws) throw std::runtime_error("sink trouble");
            seen += std::to_string(r.sequence);
        }
        void OnRunEnded() override { seen += "E"; }
    };
    auto failing = std::make_shared<Probe>(), after = std::make_shared<Probe>();
    failing->throws = true;
    decoder::RecordSinks sinks;
    EXPECT_TRUE(sinks.empty());
    sinks.Add(failing);
    sinks.Add(nullptr);  // ignored
    sinks.Add(after);
    EXPECT_FALSE(sinks.empty());
    sinks.RunStarted();
    for (std::uint64_t n = 0; n < 10; ++n) sinks.Deliver(At(0, "x\n", Category::BulletinContents, n));
    sinks.RunEnded();
    EXPECT_EQ(sinks.failures(), 10u);
    EXPECT_EQ(after->seen, "S0123456789E");
    EXPECT_EQ(failing->seen, "SE");
}

// Text logs in a scratch folder, named by the text log's rule, whose openings the test can refuse.
class TextLog : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vastrel_textlog_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::FILE* Open(std::int64_t utcMs) {
        // The rule's name, without its Windows separator.
        const auto name = decoder::TextLogPath(L"", decoder::UtcTimeFromMs(utcMs)).substr(1);
        return std::fopen((dir / std::filesystem::path(name)).string().c_str(), "wb");
    }
    decoder::TextLogSink::FileOpener Opener() {
        return [this](std::int64_t utcMs) -> std::FILE* { return ++openings, refuse ? nullptr : Open(utcMs); };
    }
    // "<name>:<contents>|" for every file, in name order.
    std::string Folder() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[entry.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        std::string out;
        for (const auto& [name, text] : files) out += name + ":" + text + "|";
        return out;
    }

    std::filesystem::path dir;
    std::shared_ptr<decoder::LogFilter> filter = std::make_shared<decoder::LogFilter>();
    bool refuse = false;
    int openings = 0;
};

constexpr std::int64_t kStart = 1796687990000;     // 2026-12-07 23:59:50 UTC
constexpr std::int64_t kMidnight = 1796688000000;  // 2026-12-08 00:00:00 UTC
constexpr std::int64_t kDayMs = 86400000;

TEST_F(TextLog, WritesEveryRecordOrOnlyTheShownOnesAndNotesAlways) {
    filter->Set(1, true);
    filter->Set(9, true);  // out of range: ignored
    filter->Set(-1, true);
    EXPECT_FALSE(filter->Shown(9) || filter->Shown(-1) || filter->Shown(6) || filter->Shown(0));
    for (bool onlyShown : {false, true}) {
        decoder::TextLogSink sink(Open(kStart), onlyShown, filter);
        sink.OnRecord(At(kStart, "shown\n"));
        sink.OnRecord(At(kStart, "hidden\n", Category::DecoderNote));
        filter->Set(4, true);  // a toggle applies to the next record
        EXPECT_TRUE(filter->Shown(Category::DecoderNote));
        sink.OnRecord(At(kStart, "now shown\n", Category::DecoderNote));
        filter->Set(4, false);
        sink.Note("note\n", kStart);
        sink.Close();
        sink.OnRecord(At(kStart, "closed\n"));  // closed: nothing happens
        EXPECT_EQ(Folder(), onlyShown ? "20261207_235950.log:shown\nnow shown\nnote\n|"
                                      : "20261207_235950.log:shown\nhidden\nnow shown\nnote\n|");
    }
    decoder::TextLogSink unfiltered(Open(kStart), true, nullptr);  // without a filter nothing is shown
    unfiltered.OnRecord(At(kStart, "shown\n"));
    unfiltered.Close();
    EXPECT_EQ(Folder(), "20261207_235950.log:|");
}

TEST_F(TextLog, TheFirstRecordOfANewDayOpensTheNextFileAndNothingIsLostOrDoubled) {
    decoder::TextLogSink sink(Open(kStart), kStart, Opener(), false, filter);
    std::string before, after;
    // Records every 7 ms either side of midnight, the last ones of the day within a millisecond.
    for (std::int64_t ms = kMidnight - 35; ms < kMidnight + 35; ms += 7) {
        const std::string text = "record at " + std::to_string(ms) + "\n";
        sink.OnRecord(At(ms, text));
        (ms < kMidnight ? before : after) += text;
    }
    sink.OnRecord(At(kMidnight - 1, "late\n"));  // a clock set back a hair does not switch back
    sink.Note("Decoder ended (exit code 3)\n", kMidnight + 40);
    EXPECT_EQ(sink.files(), 2u);
    EXPECT_EQ(openings, 1);
    sink.Close();
    // The next file is named by the time of the record that opened it.
    EXPECT_EQ(Folder(), "20261207_235950.log:" + before + "|20261208_000000.log:" + after +
                            "late\nDecoder ended (exit code 3)\n|");
}

// A hidden record opens no file; a next file that cannot be made leaves the records in the old one and
// is tried once a day; a later day, however many days on, gets its own file.
TEST_F(TextLog, OnlyAWrittenRecordOfALaterDayOpensTheNextFileAndARefusalLosesNothing) {
    filter->Set(1, true);
    decoder::TextLogSink sink(Open(kStart), kStart, Opener(), true, filter);
    sink.OnRecord(At(kStart + 1, "shown\n"));
    sink.OnRecord(At(kMidnight + 5, "hidden\n", Category::DecoderNote));
    EXPECT_EQ(openings, 0);
    refuse = true;
    sink.OnRecord(At(kMidnight + 9, "kept\n"));
    sink.OnRecord(At(kMidnight + 10, "kept too\n"));
    EXPECT_EQ(openings, 1);
    refuse = false;
    sink.OnRecord(At(kMidnight + 3 * kDayMs + 1, "day five\n"));
    sink.Close();
    EXPECT_EQ(sink.files(), 2u);
    // Without an opener the file never changes.
    decoder::TextLogSink single(Open(kStart + 1000), false, filter);
    single.OnRecord(At(kMidnight + 5 * kDayMs, "same file\n"));
    single.Close();
    EXPECT_EQ(Folder(),
              "20261207_235950.log:shown\nkept\nkept too\n|20261207_235951.log:same file\n|"
              "20261211_000000.log:day five\n|");
}

}  // namespace
