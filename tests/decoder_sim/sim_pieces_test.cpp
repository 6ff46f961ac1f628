// The stand-in decoder's pieces: its option parser against our command lines, its scripts, its records.
#include <gtest/gtest.h>

#include <set>


#include "decoder/argument_split.h"
#include "decoder/command_line.h"
#include "decoder/record_stream.h"
#include "sim_options.h"
#include "sim_script.h"
#include "sim_traffic.h"

namespace {

// What the options say, one field after another, or "error: <why>".
std::string Options(const std::wstring& line) {
    sim::SimOptions o;
    std::wstring error;
    const bool ok = sim::ParseSimArguments(decoder::SplitCommandLine(line), o, error);
    EXPECT_EQ(ok, error.empty()) << std::string(line.begin(), line.end());
    const std::wstring text =
        !ok ? L"error: " + error
            : std::to_wstring(o.centerFrequency) + L" [" + o.device + L"] " + std::to_wstring(o.channel) +
                  (o.noUpdateCheck ? L" n" : L"") + L" l" + (o.fileLog ? o.fileLogLetters : L"-") + L" t" +
                  (o.tarLog ? o.tarLogLetters : L"-") + L" [" + o.fileLogDir + L"] [" + o.tarLogDir + L"]" +
                  (o.hide ? L" h " : L" ") + o.instanceName;
    return std::string(text.begin(), text.end());  // ASCII in every row
}

}  // namespace

TEST(SimOptions, ReadsWhatTheFrontEndBuildsAndRefusesWhatItDoesNotKnow) {
    decoder::LaunchSettings s;
    s.settings.centerFrequency = 1500.6;
    s.soundCard = L"Line In (USB Audio Device) with a long name";
    s.settings.cardChannel = 2;
    s.settings.fileLogEgc = s.settings.fileLogRaw = s.settings.tarLogMessages = s.settings.hideDecoderWindow = true;
    s.settings.fileLogDir = L"C:\\My Logs\\", s.settings.tarLogDir = L"D:\\tar";
    s.instanceName = L"guiABC123";
    EXPECT_EQ(Options(decoder::BuildCommandLine(s).commandLine),
              "1501.000000 [Line In (USB Audio Device) with] 2 n ler tm [C:\\My Logs\\] [D:\\tar] h guiABC123");
    // The arguments after the program's name, and what they say.
    const std::pair<const wchar_t*, const char*> rows[] = {
        {L"-f2000 \"-cPrimary Sound Capture Driver\"  -h -pgui1F2E3D4C",
         "2000.000000 [Primary Sound Capture Driver] 0 l- t- [] [] h gui1F2E3D4C"},
        {L"-f1 \"-cL\" -cL -pgui1", "1.000000 [L] 1 l- t- [] [] gui1"},  // the first -c is the device
        {L"-pgui1", "2000.000000 [] 0 l- t- [] [] gui1"},
        {L"-f2000 \"-cX\" -x -pgui1", "error: unknown option: \"-x\""},
        {L"-f2000 \"-cX\"", "error: missing -p<instance name>"},
        {L"-fabc -pgui1", "error: bad frequency: \"-fabc\""}, {L"-f -pgui1", "error: bad frequency: \"-f\""},
        {L"-lq -pgui1", "error: logging letters must be e, m or r: \"-lq\""},
        {L"-t -pgui1", "error: logging letters must be e, m or r: \"-t\""},
        {L"-f1 -f2 -pgui1", "error: repeated option: \"-f2\""}, {L"-le -le -pgui1", "error: repeated option: \"-le\""},
        {L"-h -h -pgui1", "error: repeated option: \"-h\""}, {L"-n -n -pgui1", "error: repeated option: \"-n\""},
        {L"-dtA -dtB -pgui1", "error: repeated option: \"-dtB\""}, {L"-pa -pb", "error: repeated option: \"-pb\""},
        {L"\"-cA\" -cL -cR -pgui1", "error: unexpected channel option: \"-cR\""},
        {L"\"-cA\" -cX -pgui1", "error: unexpected channel option: \"-cX\""},
        {L"-df -pgui1", "error: missing directory: \"-df\""}, {L"\"-pa b\"", "error: bad instance name: \"-pa b\""},
        {L"-p", "error: bad instance name: \"-p\""},
    };
    for (auto [line, expected] : rows) EXPECT_EQ(Options(L"vastrel.exe " + std::wstring(line)), expected);
}

TEST(SimScript, CommandsAndErrorsThatNameTheLine) {
    sim::Script s;
    std::string error;
    const char* text =
        "# comment\r\n\nnopipe\n  ignore-stop\nwait-client\n"
        "record L5abcdefgline one\\nline two\\x41\\\\ end  \n"
        "raw L0\\0\\r\\t\\xfF\nsleep 250\nflood 100 80\ngarbage 7\nlong 1500\nlive 9000\nlive 864000 100\n"
        "wait-stop\nmark C:\\temp\\here now\nexit 3\n";
    ASSERT_TRUE(sim::ParseScript(text, s, error)) << error;
    EXPECT_TRUE(s.noPipe && s.ignoreStop && !s.noEvent);
    // "<kind> <number> <size> <bytes> @<line>", kinds in the order of StepKind.
    std::vector<std::string> steps;
    for (const auto& step : s.steps)
        steps.push_back(std::to_string(static_cast<int>(step.kind)) + " " + std::to_string(step.number) + " " +
                        std::to_string(step.size) + " " + step.bytes + " @" + std::to_string(step.line));
    EXPECT_EQ(steps, (std::vector<std::string>{"0 0 0  @5", "1 0 0 L5abcdefgline one\nline twoA\\ end   @6",
                                               std::string("2 0 0 L0\0\r\t\xff @7", 15), "3 250 0  @8", "5 100 80  @9",
                                               "6 7 0  @10", "7 1500 0  @11", "8 9000 1  @12", "8 864000 100  @13",
                                               "9 0 0  @14", "10 0 0 C:\\temp\\here now @15", "4 3 0  @16"}));
    ASSERT_TRUE(sim::ParseScript("noevent", s, error));
    EXPECT_TRUE(s.noEvent && s.steps.empty());

    // Each message and the scripts that earn it.
    const std::pair<const char*, std::vector<const char*>> bad[] = {
        {"line 2: unknown command", {"record ok\nfrobnicate\n"}},
        {"line 1: expected milliseconds", {"sleep\n", "sleep -5\n", "sleep 5x\n", "live\n"}},
        {"line 1: expected an exit code", {"exit\n"}},
        {"line 1: expected: flood <count> <bytes per record, at least 10>", {"flood 10\n", "flood 10 9\n"}},
        {"line 1: bad escape (use \\n \\r \\t \\0 \\\\ \\xNN)",
         {"record \\q\n", "record \\x4\n", "record \\xg0\n", "record abc\\\n"}},
        {"line 1: raw needs bytes", {"raw\n"}}, {"line 1: no argument expected", {"nopipe now\n", "wait-stop 5\n"}},
        {"line 3: expected a byte count", {"\n\nlong 5\n"}}, {"line 1: expected a byte count", {"garbage many\n"}},
        {"line 1: mark needs a path", {"mark\n"}},
        {"line 1: expected: live <ms> [speed 1..1000]", {"live 10 0\n", "live 10 1001\n", "live 10 5 5\n"}},
    };
    for (const auto& [why, scripts] : bad)
        for (const char* script : scripts) EXPECT_TRUE(!sim::ParseScript(script, s, error) && error == why) << error;
}

TEST(SimTraffic, LiveStreamLooksLikeADecoder) {
    const double centre = 1850.0;
    sim::LiveTraffic traffic(centre, 42);
    std::set<int> categories;
    std::vector<int> frameNumbers;
    unsigned frameMs = 0, frames = 0;
    for (int i = 0; i < 400; ++i) {
        const sim::TrafficItem item = traffic.Next();
        const decoder::DecoderRecord rec = decoder::ParseRecord(item.record);
        ASSERT_TRUE(rec.accepted && item.record.find('\0') == std::string::npos && item.record.size() <= 1024)
            << item.record;
        categories.insert(rec.category);
        frameMs += item.delayMs;  // time since the frame's first record
        EXPECT_TRUE(i > 0 || (item.delayMs == 0 && rec.category == 0));  // it opens with a frame-type header
        EXPECT_TRUE(i == 0 || rec.category != 0 || (frameMs >= sim::kFrameMs - 10 && frameMs <= sim::kFrameMs));
        if (rec.category == 0) frameMs = 0, ++frames;
        if (rec.category == 2) {
            EXPECT_TRUE(rec.hasFrequency && std::abs(rec.frequencyHz - centre) <= 1.1 && rec.les.size() == 3)
                << item.record;
            frameNumbers.push_back(std::stoi(std::string(rec.frame)));
        }
        EXPECT_TRUE(rec.category != 5 || std::count(rec.text.begin(), rec.text.end(), '\n') >= 3) << item.record;
    }
    EXPECT_EQ(categories, (std::set<int>{0, 1, 2, 3, 4, 5}));
    // Every frame reports the centre once, numbered one after the other; about nine records a frame.
    ASSERT_EQ(frameNumbers.size(), frames);
    for (std::size_t k = 1; k < frameNumbers.size(); ++k) EXPECT_EQ(frameNumbers[k], (frameNumbers[k - 1] + 1) % 10000);
    EXPECT_TRUE(8 * frames <= 400 && 400 <= 10 * frames) << frames;
}

TEST(SimTraffic, BulkRecords) {
    for (std::size_t bytes : {10, 11, 80, 1024, 3000}) {
        for (std::uint64_t i = 0; i < 6; ++i) {
            const std::string r = sim::FloodRecord(i, bytes);
            const auto rec = decoder::ParseRecord(std::string_view(r).substr(0, decoder::kMaxRecordLength));
            EXPECT_TRUE(r.size() == bytes && r.find('\0') == std::string::npos && rec.accepted && rec.category == int(i))
                << r;
            EXPECT_TRUE(bytes < 80 || rec.text.substr(0, 3) == "#" + std::to_string(i) + " ") << rec.text;
        }
    }
    EXPECT_TRUE(sim::LongRecord(1500).size() == 1500u && sim::LongRecord(1500).find('\0') == std::string::npos);
    EXPECT_EQ(sim::Garbage(4096, 9), sim::Garbage(4096, 9));
    EXPECT_NE(sim::Garbage(4096, 9), sim::Garbage(4096, 10));
    EXPECT_NE(sim::Garbage(4096, 9).find('\0'), std::string::npos);
}
