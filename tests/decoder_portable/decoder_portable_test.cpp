// The decoder's portable pieces: the command line and the platform's argument splitting, the record stream
// split at zero bytes, a record read and typed (LES and frame in force), the run's sinks (a failing one
// isolated, the text log's filter and its switch to a new file at UTC midnight), the sink worker's thread,
// UTC calendar times, the unattended restart delays, and wide text to UTF-8.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"
#include "decoder/decoder_record.h"
#include "decoder/record_sink.h"
#include "decoder/record_stream.h"
#include "decoder/restart_backoff.h"
#include "decoder/sink_worker.h"
#include "decoder/wide_text.h"

using decoder::BuildCommandLine;
using decoder::CommandLineFault;
using decoder::LaunchSettings;
using decoder::SplitCommandLine;
using V = std::vector<std::wstring>;

// Switches of a row: the update check, the hidden decoder window, then the file and tar logs' letters.
enum : int { U = 1, H = 2, FE = 4, FM = 8, FR = 16, TE = 32, TM = 64, TR = 128 };

TEST(CommandLine, ExactTextAndArgumentsOfEachKindOfStart) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const std::wstring a30(30, L'a'), a31(31, L'a'), d30(30, L'd');
    const std::wstring P = L"vastrel.exe -f2000 \"-cMic\"", S = L" -h -pgui1", c = L"vastrel.exe -f2000 \"-c";
    const std::wstring q = L"\" contains a quotation mark (\"), which cannot be passed to the decoder.";
    const std::wstring bad = L"The decoder instance name is not valid.";
    const std::wstring nf = L"The setting \"Center frequency\" is not a valid number.";
    // The command line or the refusal's message; the settings; when given, the arguments joined by '|'.
    struct Row {
        std::wstring expected;
        int switches = U | H;
        std::wstring device = L"Mic";
        int channel = 0;
        double centre = 2000;
        std::wstring fileDir = {}, tarDir = {}, instance = L"gui1", args = {};
    };
    const Row rows[] = {
        {L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\"  -h -pgui1F2E3D4C", U | H,
         L"Primary Sound Capture Driver", 0, 2000, L"", L"", L"gui1F2E3D4C"},
        {L"vastrel.exe -f1500 \"-cLine In\" -cL -n -lmr -te \"-dfC:\\logs\" -h -pgui1", H | FM | FR | TE, L"Line In", 1,
         1500.4, L"C:\\logs", L"", L"gui1", L"vastrel.exe|-f1500|-cLine In|-cL|-n|-lmr|-te|-dfC:\\logs|-h|-pgui1"},
        // The centre in whole hertz, ties to even.
        {L"vastrel.exe -f1501 \"-cMic\"  -h -pgui1", U | H, L"Mic", 0, 1500.6},
        {L"vastrel.exe -f2 \"-cMic\"  -h -pgui1", U | H, L"Mic", 0, 2.5},
        {L"vastrel.exe -f0 \"-cMic\"  -h -pgui1", U | H, L"Mic", 0, 0},
        // Channels: a blank keeps -cL/-cR out of the quoted device; anything but 0 and 1 is right.
        {P + L" -cR " + S, U | H, L"Mic", 2, 2000, L"", L"", L"gui1", L"vastrel.exe|-f2000|-cMic|-cR|-h|-pgui1"},
        {P + L" -cR " + S, U | H, L"Mic", 7}, {P + L" -cR " + S, U | H, L"Mic", -1},
        // The update and hide switches, and the logging letters, always in e, m, r order.
        {P + L"  -pgui1", U}, {P + L" -n " + S, H}, {P + L" -cL -n  -pgui1", 0, L"Mic", 1},
        {P + L" -le" + S, U | H | FE}, {P + L" -lm -tr" + S, U | H | FM | TR}, {P + L"  -tm" + S, U | H | TM},
        {P + L" -ler" + S, U | H | FE | FR}, {P + L" -lr -ter" + S, U | H | FR | TE | TR},
        {P + L" -lemr -temr" + S, 0xFF},
        // The device: at most 31 units, never half a surrogate pair; none at all keeps an empty -c.
        {c + L"Microphone (Realtek High Defini\" " + S, U | H, L"Microphone (Realtek High Definition Au)X"},
        {c + a31 + L"\" " + S, U | H, a31}, {c + a30 + L"\" " + S, U | H, a30 + L"\xD800\xDC00tail"},
        {c + a30 + L"\" " + S, U | H, a30 + L"\xDBFF\xDFFFtail"},
        {c + a30 + L"\xDC00\" " + S, U | H, a30 + L"\xDC00tail"},
        {c + L"\" " + S, U | H, L"", 0, 2000, L"", L"", L"gui1", L"vastrel.exe|-f2000|-c|-h|-pgui1"},
        // Directories stay one argument; trailing backslashes are doubled so the quote still closes.
        {P + L"  \"-dfC:\\Program Files\\vastrel logs\" \"-dtD:\\tar  two blanks\"" + S, U | H, L"Mic", 0, 2000,
         L"C:\\Program Files\\vastrel logs", L"D:\\tar  two blanks", L"gui1",
         L"vastrel.exe|-f2000|-cMic|-dfC:\\Program Files\\vastrel logs|-dtD:\\tar  two blanks|-h|-pgui1"},
        {P + L"  \"-dfC:\\logs\\\\\" \"-dt\\\\server\\share\\\\\\\\\"" + S, U | H, L"Mic", 0, 2000, L"C:\\logs\\",
         L"\\\\server\\share\\\\", L"gui1",
         L"vastrel.exe|-f2000|-cMic|-dfC:\\logs\\|-dt\\\\server\\share\\\\|-h|-pgui1"},
        {c + d30 + L"\\\\\" " + S, U | H, d30 + L"\\zzz", 0, 2000, L"", L"", L"gui1",
         L"vastrel.exe|-f2000|-c" + d30 + L"\\|-h|-pgui1"},
        {P + L"  -h -pAz09_-", U | H, L"Mic", 0, 2000, L"", L"", L"Az09_-"},
        // Refusals, each naming its setting.
        {L"The setting \"Soundcard name" + q, U | H, L"Mic \"USB\""},
        {L"The setting \"File logging Directory" + q, U | H, L"Mic", 0, 2000, L"C:\\a\"b"},
        {L"The setting \"SES-TAR logging Directory" + q, U | H, L"Mic", 0, 2000, L"", L"\""},
        {nf, U | H, L"Mic", 0, nan}, {nf, U | H, L"Mic", 0, -inf}, {bad, U | H, L"Mic", 0, 2000, L"", L"", L"gui 1"},
        {bad, U | H, L"Mic", 0, 2000, L"", L"", L"gui.1"}, {bad, U | H, L"Mic", 0, 2000, L"", L"", L""},
    };
    for (const Row& row : rows) {
        LaunchSettings s;
        s.settings.centerFrequency = row.centre;
        s.soundCard = row.device;
        s.settings.cardChannel = row.channel;
        bool* const flags[] = {&s.settings.checkForUpdates, &s.settings.hideDecoderWindow, &s.settings.fileLogEgc,
                               &s.settings.fileLogMessages, &s.settings.fileLogRaw,        &s.settings.tarLogEgc,
                               &s.settings.tarLogMessages,  &s.settings.tarLogRaw};
        for (int bit = 0; bit < 8; ++bit) *flags[bit] = row.switches >> bit & 1;
        s.settings.fileLogDir = row.fileDir;
        s.settings.tarLogDir = row.tarDir;
        s.instanceName = row.instance;
        const auto r = BuildCommandLine(s);
        const std::string shown(row.expected.begin(), row.expected.end());
        // A refusal's message names its fault: each fault has its own.
        EXPECT_EQ(r.ok() ? r.commandLine : decoder::FaultMessage(r.fault), row.expected) << shown;
        EXPECT_EQ(r.commandLine.empty(), !r.ok()) << shown;
        std::wstring joined;
        for (const auto& arg : SplitCommandLine(r.commandLine)) joined += (joined.empty() ? L"" : L"|") + arg;
        EXPECT_TRUE(row.args.empty() || joined == row.args) << shown;
    }
    EXPECT_EQ(decoder::FaultMessage(CommandLineFault::None), L"");
}

TEST(CommandLine, AnotherProgramIsQuotedWhenItHoldsABlankAndRefusedWithAQuote) {
    LaunchSettings s;
    s.soundCard = L"Mic";
    s.instanceName = L"gui1";
    EXPECT_EQ(BuildCommandLine(s, L"C:\\test dir\\sim.exe").commandLine,
              L"\"C:\\test dir\\sim.exe\" -f0 \"-cMic\" -n  -pgui1");
    EXPECT_EQ(BuildCommandLine(s, L"C:\\tab\there.exe").commandLine, L"\"C:\\tab\there.exe\" -f0 \"-cMic\" -n  -pgui1");
    const auto r = BuildCommandLine(s, L"a\"b");
    EXPECT_EQ(r.fault, CommandLineFault::BadProgramName);
    EXPECT_EQ(decoder::FaultMessage(r.fault),
              L"The setting \"decoder program name\" contains a quotation mark (\"), "
              L"which cannot be passed to the decoder.");
}

TEST(Names, InstancePipeEventAndTextLog) {
    // The tick count xor both halves of the window's address, in upper-case hexadecimal.
    const std::tuple<std::uint32_t, std::uintptr_t, const wchar_t*> names[] = {
        {0x1F2E3D4Cu, 0, L"gui1F2E3D4C"}, {0xABu, 0, L"guiAB"}, {0u, 0, L"gui0"}, {0xFFFFFFFFu, 0, L"guiFFFFFFFF"},
        {0x1000u, 0x11u, L"gui1011"}, {0x1000u, 0x1000u, L"gui0"},
        {5u, static_cast<std::uintptr_t>(0x7ff012345678ull), L"gui1234298D"},
    };
    for (auto [tick, identity, name] : names) EXPECT_EQ(decoder::MakeInstanceName(tick, identity), name) << name;
    EXPECT_EQ(decoder::FormatInstanceName(0xABCu), L"guiABC");
    EXPECT_EQ(decoder::PipePath(L"gui1F2E3D4C"), L"\\\\.\\pipe\\gui1F2E3D4C");
    EXPECT_EQ(decoder::StopEventName(L"gui1F2E3D4C"), L"gui1F2E3D4C_terminate");

    const decoder::UtcTime t{2026, 3, 7, 14, 5, 9};
    const std::wstring longDir = L"C:\\" + std::wstring(400, L'x');
    const std::pair<std::wstring, std::wstring> paths[] = {
        {L"D:\\decoder", L"D:\\decoder\\20260307_140509.log"}, {L"D:\\decoder\\", L"D:\\decoder\\20260307_140509.log"},
        {L"/tmp/", L"/tmp/20260307_140509.log"}, {L"", L"\\20260307_140509.log"},
        {longDir, longDir + L"\\20260307_140509.log"},
    };
    for (const auto& [dir, path] : paths) EXPECT_EQ(decoder::TextLogPath(dir, t), path);
}

TEST(ArgumentSplit, PlatformRules) {
    const std::pair<const wchar_t*, V> rows[] = {
        {L"", {}}, {L"  \t ", {}}, {L"prog a  b\tc ", {L"prog", L"a", L"b", L"c"}},
        {L"\"C:\\a b\\p.exe\" x", {L"C:\\a b\\p.exe", L"x"}}, {L"\"C:\\a b\\p.exe\"x", {L"C:\\a b\\p.exe", L"x"}},
        {L"p \"a b\" \"\"", {L"p", L"a b", L""}}, {L"p a\\\\b a\\b", {L"p", L"a\\\\b", L"a\\b"}},
        {L"p \"a\\\\\" b", {L"p", L"a\\", L"b"}}, {L"p \"a\\\" b\"", {L"p", L"a\" b"}},
        {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}}, {L"p \"ab\"cd", {L"p", L"abcd"}},
        {L"p \"unterminated x", {L"p", L"unterminated x"}},
        // Without a blank after the device's closing quote the platform joins the channel to it.
        {L"vastrel.exe \"-cLine In\"-cL -n", {L"vastrel.exe", L"-cLine In-cL", L"-n"}},
    };
    for (const auto& [line, args] : rows) EXPECT_EQ(SplitCommandLine(line), args) << std::wstring(line).size();
}

namespace {

using decoder::Category;
using decoder::Record;

TEST(RecordTyper, KeepsTheLatestHeaderLesAndFrameInForce) {
    decoder::RecordTyper typer;
    Record r{.wideText = L"left over"};
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
    return Record{.sequence = sequence, .receivedUtcMs = ms, .category = c, .text = std::move(text)};
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
    for (auto sink : {failing, std::shared_ptr<Probe>(), after}) sinks.Add(sink);  // the empty one is ignored
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
    void SetUp() override { std::filesystem::remove_all(dir), std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::FILE* Open(std::int64_t utcMs) {  // the rule's name, without its Windows separator
        const auto name = decoder::TextLogPath(L"", decoder::UtcTimeFromMs(utcMs)).substr(1);
        return std::fopen((dir / std::filesystem::path(name)).string().c_str(), "wb");
    }
    decoder::TextLogSink::FileOpener Opener() {
        return [this](std::int64_t utcMs) -> std::FILE* { return ++openings, refuse ? nullptr : Open(utcMs); };
    }
    std::string Folder() const {  // "<name>:<contents>|" for every file, in name order
        std::string out;
        for (const auto& file : std::set<std::filesystem::path>(std::filesystem::directory_iterator(dir), {})) {
            std::ifstream in(file, std::ios::binary);
            out += file.filename().string() + ":" + std::string(std::istreambuf_iterator<char>(in), {}) + "|";
        }
        return out;
    }

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::shared_ptr<decoder::LogFilter> filter = std::make_shared<decoder::LogFilter>();
    bool refuse = false;
    int openings = 0;
};

constexpr std::int64_t kStart = 1796687990000;     // 2026-12-07 23:59:50 UTC
constexpr std::int64_t kMidnight = 1796688000000;  // 2026-12-08 00:00:00 UTC
constexpr std::int64_t kDayMs = 86400000;

TEST_F(TextLog, WritesEveryRecordOrOnlyTheShownOnesAndNotesAlways) {
    for (int c : {1, 0, 5, 9, -1, 6}) filter->Set(c, true);  // the last three out of range: ignored
    std::string shown;
    for (int c = -1; c <= 9; ++c) shown += filter->Shown(c) ? '1' : '0';
    EXPECT_EQ(shown, "01100010000");  // categories -1 to 9
    for (bool onlyShown : {false, true}) {
        decoder::TextLogSink sink(Open(kStart), onlyShown, filter);
        sink.OnRecord(At(kStart, "shown\n"));
        sink.OnRecord(At(kStart, "hidden\n", Category::DecoderNote));
        filter->Set(4, true);  // a toggle applies to the next record
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
    EXPECT_TRUE(sink.files() == 2 && openings == 1);
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

// The restart delays under a clock the test sets.
using decoder::RestartBackoff;

std::int64_t now = 1000;  // the test's clock
const RestartBackoff::Clock kClock = [] { return now; };

// Runs one run of `lastedMs` and returns the delay the backoff asks for after it.
std::int64_t RunFor(RestartBackoff& backoff, std::int64_t lastedMs) {
    backoff.RunStarted();
    now += lastedMs;
    return backoff.RunEnded();
}

TEST(RestartBackoff, DoublesWhileRunsEndWithinAMinuteUpToFiveMinutesThenStartsOverOrWhenAUserStarts) {
    RestartBackoff backoff(kClock);
    // How long each run lasted and the delay asked for after it (the wait itself is no part of a run).
    const std::pair<std::int64_t, std::int64_t> runs[] = {
        {2000, 5000},   {2000, 10000},   {2000, 20000},  {2000, 40000}, {2000, 80000},  {2000, 160000},
        {2000, 300000}, {2000, 300000},  {60000, 5000},  {59999, 10000}, {3600000, 5000}, {0, 10000}, {0, 20000}};
    for (auto [lasted, delay] : runs) {
        EXPECT_EQ(RunFor(backoff, lasted), delay) << lasted;
        now += delay;
    }
    backoff.Reset();  // a user's start forgets earlier failures
    EXPECT_EQ(RunFor(backoff, 10), 5000);
}

TEST(RestartBackoff, OddTimingsStaySane) {
    // A run that ends before RunStarted was called counts from the construction or the reset.
    RestartBackoff fresh(kClock);
    now += 120000;
    EXPECT_EQ(fresh.RunEnded(), 5000);
    fresh.RunStarted();
    EXPECT_EQ(fresh.RunEnded(), 10000);  // a start that failed at once

    RestartBackoff odd(kClock, RestartBackoff::Timing{0, -5, 100});
    EXPECT_TRUE(odd.timing().firstMs == 1 && odd.timing().longestMs == 1);
    EXPECT_EQ(RunFor(odd, 0), 1);
    EXPECT_EQ(RunFor(odd, 0), 1);
    EXPECT_EQ(RestartBackoff(kClock, RestartBackoff::Timing{10, 5, 100}).timing().longestMs, 10);

    RestartBackoff steady;  // no clock: the steady clock's run of no time at all is a short one
    steady.RunStarted();
    EXPECT_EQ(steady.RunEnded(), 5000);
    EXPECT_EQ(steady.RunEnded(), 10000);
}

TEST(UtcTime, MillisecondsBecomeTheCalendarTimeAcrossDaysMonthsLeapYearsAndBefore1970) {
    struct Case { std::int64_t ms; decoder::UtcTime t; std::int64_t day; };
    const Case cases[] = {
        {0, {1970, 1, 1, 0, 0, 0}, 0}, {86399999, {1970, 1, 1, 23, 59, 59}, 0}, {86400000, {1970, 1, 2, 0, 0, 0}, 1},
        {951782400000, {2000, 2, 29, 0, 0, 0}, 11016}, {1796687999000, {2026, 12, 7, 23, 59, 59}, 20794},
        {1796688000000, {2026, 12, 8, 0, 0, 0}, 20795}, {1798761599000, {2026, 12, 31, 23, 59, 59}, 20818},
        {1798761600000, {2027, 1, 1, 0, 0, 0}, 20819}, {-1, {1969, 12, 31, 23, 59, 59}, -1},
        {-86400000, {1969, 12, 31, 0, 0, 0}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decoder::UtcDay(c.ms), c.day) << c.ms;
        EXPECT_EQ(decoder::TextLogPath(L"d", decoder::UtcTimeFromMs(c.ms)), decoder::TextLogPath(L"d", c.t)) << c.ms;
    }
}


using decoder::ParseRecord;
using decoder::RecordSplitter;


std::string Z(const std::string& s) { return s + '\0'; }


TEST(RecordSplitter, RecordsAtZeroBytesAndTheLimitWhateverTheReadSizes) {
    std::string high = "L5abcdefg";
    for (int c = 0x80; c <= 0xFF; ++c) high.push_back(static_cast<char>(c));
    const std::string exact(1024, 'a');
    struct Row { std::string stream; std::vector<std::string> records; std::size_t pending; };
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
    // The record, whether it reports a frequency, and the frequency.
    const std::tuple<std::string_view, bool, double> cases[] = {
        {"L21210042frequency: 1200.0\n", true, 1215.0}, {"L21210042frequency:1200", true, 1215.0},
        {"L21210042frequency:   1200.0", true, 1215.0}, {"L21210042frequency:\t2000 Hz", true, 2000.0 * k},
        {"L21210042LES 121 frequency: 1777.5, level 3", true, 1777.5 * k}, {"L21210042frequency: .5", true, 0.5 * k},
        {"L21210042frequency: +40", true, 40.0 * k}, {"L21210042frequency: 1.2e3", true, 1215.0},
        {"L2frequency: 1024", true, 1036.8},  // the header bytes are searched too
        {"L21210042frequency:", false, 0}, {"L21210042frequency: ", false, 0}, {"L21210042frequency: abc", false, 0},
        {"L21210042frequency: .", false, 0}, {"L21210042frequency: .x", false, 0}, {"L21210042frequency: +", false, 0},
        {"L21210042frequency: -20", false, 0}, {"L21210042frequency: nan", false, 0},
        {"L21210042frequency: inf", false, 0}, {"L21210042frequency: 1e999", false, 0},
        {"L21210042Frequency: 1200", false, 0}, {"L21210042no report here", false, 0},
        {"L21210042frequency: x frequency: 1200", false, 0},                 // only the first report counts
        {"L11210042frequency: 1200", false, 0},                              // other categories never report one
        {std::string_view("L21210042frequency: 1234", 22), true, 12.0 * k},  // never read past the end
    };
    for (const auto& [record, has, hz] : cases) {
        const auto rec = ParseRecord(record);
        EXPECT_TRUE(rec.accepted && rec.hasFrequency == has) << record;
        EXPECT_DOUBLE_EQ(rec.frequencyHz, hz) << record;
    }
}

TEST(RecordParser, AcceptanceRule) {
    // Nine bytes, empty, a wrong first letter, or a category outside 0..5.
    for (const char* r : {"L21210042", "", "X21210042text", "l21210042text", "L61210042text", "L91210042text",
                          "L/1210042text", "LA1210042text"})
        EXPECT_FALSE(ParseRecord(r).accepted) << r;
    for (char digit = '0'; digit <= '5'; ++digit) {
        const std::string r = std::string("L") + digit + "ABC9999x";
        const auto rec = ParseRecord(r);
        EXPECT_TRUE(rec.accepted && rec.category == digit - '0') << digit;
        // Views into the record itself: LES and frame only for a bulletin-board header.
        EXPECT_TRUE(rec.text.data() == r.data() + 9 && rec.text == "x") << digit;
        EXPECT_EQ(std::string(rec.les) + "/" + std::string(rec.frame), digit == '2' ? "ABC/9999" : "/") << digit;
        EXPECT_TRUE(digit != '2' || (rec.les.data() == r.data() + 2 && rec.frame.data() == r.data() + 5)) << digit;
    }
}

TEST(WideToUtf8, EncodesEachLengthAndReplacesWhatIsNotText) {
    const std::pair<std::wstring, std::string> cases[] = {
        {L"", ""}, {{wchar_t{0x7F}}, "\x7F"}, {{wchar_t{0x80}}, "\xC2\x80"}, {{wchar_t{0x7FF}}, "\xDF\xBF"},
        {{wchar_t{0x800}}, "\xE0\xA0\x80"}, {{wchar_t{0xFFFF}}, "\xEF\xBF\xBF"},
        {L"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {{wchar_t(0xD83C), wchar_t(0xDF0A)}, "\xF0\x9F\x8C\x8A"},  // a pair: U+1F30A
        // A high one alone, the wrong way round, cut off at the end.
        {{wchar_t(0xD83C), L'a'}, "\xEF\xBF\xBD" "a"}, {{wchar_t(0xDF0A), wchar_t(0xD83C)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{L'x', wchar_t(0xD83C)}, "x\xEF\xBF\xBD"},
    };
    for (const auto& [wide, utf8] : cases) EXPECT_EQ(decoder::WideToUtf8(wide), utf8) << utf8;
}


using Worker = decoder::SinkWorker<int>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the handler saw; it waits while the gate is shut and throws on the item `throwAt`.
struct Probe {
    std::mutex lock;
    std::condition_variable opened;
    bool gateOpen = false;
    int throwAt = -1;
    std::vector<int> seen;

    void Handle(int item) {
        std::unique_lock<std::mutex> guard(lock);
        opened.wait(guard, [&] { return gateOpen; });
        if (item == throwAt) throw std::runtime_error("handler trouble");
        seen.push_back(item);
    }
    void Open() { std::lock_guard<std::mutex> g(lock); gateOpen = true; opened.notify_all(); }
    std::vector<int> Seen() { std::lock_guard<std::mutex> g(lock); return seen; }
};

// A worker whose handler goes through the probe, item by item.
Worker::Handler Into(const std::shared_ptr<Probe>& probe) {
    return [probe](Worker::Batch& batch) {
        for (int item : batch.items) probe->Handle(item), batch.Done(1);
    };
}

// Until the worker's thread has let go of the handler (and so of the probe), 10 s at most.
bool Released(const std::shared_ptr<Probe>& probe) {
    for (const auto until = Clock::now() + std::chrono::seconds(10); probe.use_count() > 1 && Clock::now() < until;)
        std::this_thread::sleep_for(milliseconds(5));
    return probe.use_count() == 1;
}

TEST(SinkWorker, AStuckHandlerHoldsUpNeitherTheOffersNorTheBoundedWaitAndGetsEverythingInOrder) {
    auto probe = std::make_shared<Probe>();
    std::vector<int> all(1001);
    std::iota(all.begin(), all.end(), 0);
    {
        Worker worker(Into(probe), {});
        EXPECT_TRUE(worker.Flush(0));  // no thread and nothing offered: nothing to wait for
        worker.Start();
        worker.Start();  // once only
        for (int n = 0; n < 1000; ++n) ASSERT_TRUE(worker.Offer(n));
        EXPECT_TRUE(worker.counts().given == 1000u && worker.counts().done == 0u);
        const auto before = Clock::now();
        EXPECT_FALSE(worker.Flush(100));  // returns after its bound although nothing was handled
        EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
        probe->Open();
        ASSERT_TRUE(worker.Flush(10'000));
        EXPECT_TRUE(worker.counts().done == 1000u && worker.counts().dropped == 0u);
        worker.Offer(1000);  // the destructor still lets the thread handle what was queued
    }
    EXPECT_EQ(probe->Seen(), all);
    Worker idle(Into(probe), {});  // never started: what was offered is not done
    idle.Offer(1);
    EXPECT_FALSE(idle.Flush(0));
}

TEST(SinkWorker, AThrowingHandlerLosesOnlyTheRestOfItsBatchAndTheThreadGoesOn) {
    auto probe = std::make_shared<Probe>();
    probe->throwAt = 2;
    Worker worker(Into(probe), {});
    worker.Start([] { throw std::runtime_error("start step trouble"); });  // the items still get handled
    for (int n = 0; n < 5; ++n) worker.Offer(n);  // one batch: the gate holds the thread on item 0
    probe->Open();
    ASSERT_TRUE(worker.Flush(10'000));  // the items after the throw count as done
    worker.Offer(5);
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(probe->Seen(), (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(worker.counts().done, 6u);
}

TEST(SinkWorker, PastTheByteBoundOffersAreRefusedAndCountedUntilTheHandlerFreesThem) {
    auto probe = std::make_shared<Probe>();
    Worker worker(Into(probe), {.maxBytes = 10, .bytesOf = [](const int& item) { return std::size_t(item); }});
    worker.Start();
    // The item offered, whether it is taken, and the bytes held afterwards.
    const std::tuple<int, bool, std::size_t> steps[] = {
        {4, true, 4}, {4, true, 8}, {3, false, 8}, {2, true, 10}, {1, false, 10}};
    for (auto [item, taken, bytes] : steps)
        EXPECT_TRUE(worker.Offer(item) == taken && worker.counts().bytes == bytes) << item;
    worker.Refuse();  // an item that could not be made
    EXPECT_EQ(worker.counts().dropped, 3u);
    probe->Open();
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(worker.counts().bytes, 0u);
    EXPECT_TRUE(worker.Offer(9));
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(probe->Seen(), (std::vector<int>{4, 4, 2, 9}));
}

TEST(SinkWorker, ABoundedStopLeavesAStuckThreadToEndByItself) {
    auto probe = std::make_shared<Probe>();
    const Worker::Options options{.stopWaitMs = 100};
    auto before = Clock::now();
    {
        Worker worker(Into(probe), options);
        worker.Start();
        worker.Offer(7);
    }
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
    probe->Open();  // the left thread finishes with what it owns
    ASSERT_TRUE(Released(probe));
    EXPECT_EQ(probe->Seen(), std::vector<int>{7});

    // A thread still in its start step is not waited for at all.
    auto gate = std::make_shared<Probe>();
    before = Clock::now();
    {
        Worker worker(Into(probe), options);
        worker.Start([gate] { gate->Handle(0); });
    }
    EXPECT_LT(Clock::now() - before, milliseconds(100));
    gate->Open();
    EXPECT_TRUE(Released(probe));
}

TEST(SinkWorker, PauseReturnsAtOnceOnceReleased) {
    std::atomic<int> early{0};
    Worker worker(
        [&](Worker::Batch& batch) {
            const auto before = Clock::now();
            batch.Pause(std::chrono::seconds(30));
            early += Clock::now() - before < std::chrono::seconds(10) && batch.released();
            batch.Done(batch.items.size());
        },
        {});
    worker.Start();
    worker.Offer(1);
    worker.Release();
    ASSERT_TRUE(worker.Flush(20'000));
    EXPECT_EQ(early, 1);
}

}  // namespace
