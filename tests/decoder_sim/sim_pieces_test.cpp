// The stand-in decoder's portable pieces: its option parser against our own command lines, its script
// language, and the records it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"
#include "decoder/record_stream.h"
#include "sim_options.h"
#include "sim_script.h"
#include "sim_traffic.h"

namespace {

bool Parse(const std::wstring& line, sim::SimOptions& o, std::wstring* why = nullptr) {
    std::wstring error;
    bool ok = sim::ParseSimArguments(decoder::SplitCommandLine(line), o, error);
    if (why) *why = error;
    if (ok) {
        EXPECT_TRUE(error.empty());
    }
    return ok;
}

}  // namespace

TEST(SimOptions, ReadsWhatTheFrontEndBuilds) {
    decoder::LaunchSettings s;
    s.settings.centerFrequency = 1500.6;
    s.soundCard = L"Line In (USB Audio Device) with a long name";
    s.settings.cardChannel = 2;
    s.settings.checkForUpdates = false;
    s.settings.fileLogEgc = s.settings.fileLogRaw = true;
    s.settings.tarLogMessages = true;
    s.settings.fileLogDir = L"C:\\My Logs\\";
    s.settings.tarLogDir = L"D:\\tar";
    s.settings.hideDecoderWindow = true;
    s.instanceName = L"guiABC123";
    auto line = decoder::BuildCommandLine(s);
    ASSERT_TRUE(line.ok());
    sim::SimOptions o;
    ASSERT_TRUE(Parse(line.commandLine, o));
    EXPECT_EQ(o.centerFrequency, 1501.0);
    EXPECT_EQ(o.device, s.soundCard.substr(0, 31));
    EXPECT_EQ(o.channel, 2);
    EXPECT_TRUE(o.noUpdateCheck);
    EXPECT_EQ(o.fileLogLetters, L"er");
    EXPECT_EQ(o.tarLogLetters, L"m");
    EXPECT_EQ(o.fileLogDir, L"C:\\My Logs\\");
    EXPECT_EQ(o.tarLogDir, L"D:\\tar");
    EXPECT_TRUE(o.hide);
    EXPECT_EQ(o.instanceName, L"guiABC123");

    ASSERT_TRUE(Parse(L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\"  -h -pgui1F2E3D4C", o));
    EXPECT_EQ(o.channel, 0);
    EXPECT_FALSE(o.noUpdateCheck);
    EXPECT_FALSE(o.fileLog);
    EXPECT_TRUE(o.fileLogDir.empty());

    // The first -c is the device even when it looks like a channel.
    ASSERT_TRUE(Parse(L"vastrel.exe -f1 \"-cL\" -cL -pgui1", o));
    EXPECT_EQ(o.device, L"L");
    EXPECT_EQ(o.channel, 1);
}

TEST(SimOptions, RefusesWhatItDoesNotKnow) {
    sim::SimOptions o;
    std::wstring why;
    EXPECT_FALSE(Parse(L"vastrel.exe -f2000 \"-cX\" -x -pgui1", o, &why));
    EXPECT_NE(why.find(L"-x"), std::wstring::npos);
    EXPECT_FALSE(Parse(L"vastrel.exe -f2000 \"-cX\"", o, &why));  // no -p
    EXPECT_NE(why.find(L"-p"), std::wstring::npos);
    EXPECT_FALSE(Parse(L"vastrel.exe -fabc -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe -f -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe -lq -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe -l -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe -h -h -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe \"-cA\" -cL -cR -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe \"-cA\" -cX -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe -df -pgui1", o));
    EXPECT_FALSE(Parse(L"vastrel.exe \"-pa b\"", o));
    EXPECT_FALSE(Parse(L"vastrel.exe -p", o));
    EXPECT_TRUE(Parse(L"vastrel.exe -pgui1", o));
}

TEST(SimScript, Commands) {
    sim::Script s;
    std::string error;
    const char* text =
        "# comment\r\n"
        "\n"
        "nopipe\n"
        "  ignore-stop\n"
        "wait-client\n"
        "record L5abcdefgline one\\nline two\\x41\\\\ end  \n"
        "raw L0\\0\n"
        "sleep 250\n"
        "flood 100 80\n"
        "garbage 7\n"
        "long 1500\n"
        "live 9000\n"
        "wait-stop\n"
        "mark C:\\temp\\here now\n"
        "exit 3\n";
    ASSERT_TRUE(sim::ParseScript(text, s, error)) << error;
    EXPECT_TRUE(s.noPipe);
    EXPECT_FALSE(s.noEvent);
    EXPECT_TRUE(s.ignoreStop);
    ASSERT_EQ(s.steps.size(), 11u);
    EXPECT_EQ(s.steps[0].kind, sim::StepKind::WaitClient);
    EXPECT_EQ(s.steps[1].kind, sim::StepKind::Record);
    EXPECT_EQ(s.steps[1].bytes, "L5abcdefgline one\nline twoA\\ end  ");
    EXPECT_EQ(s.steps[1].line, 6);
    EXPECT_EQ(s.steps[2].kind, sim::StepKind::Raw);
    EXPECT_EQ(s.steps[2].bytes, std::string("L0\0", 3));
    EXPECT_EQ(s.steps[3].number, 250);
    EXPECT_EQ(s.steps[4].kind, sim::StepKind::Flood);
    EXPECT_EQ(s.steps[4].number, 100);
    EXPECT_EQ(s.steps[4].size, 80);
    EXPECT_EQ(s.steps[5].number, 7);
    EXPECT_EQ(s.steps[6].kind, sim::StepKind::Long);
    EXPECT_EQ(s.steps[7].kind, sim::StepKind::Live);
    EXPECT_EQ(s.steps[7].size, 1);  // real time unless a speed is given
    EXPECT_EQ(s.steps[8].kind, sim::StepKind::WaitStop);
    EXPECT_EQ(s.steps[9].kind, sim::StepKind::Mark);
    EXPECT_EQ(s.steps[9].bytes, "C:\\temp\\here now");
    EXPECT_EQ(s.steps[10].kind, sim::StepKind::Exit);
    EXPECT_EQ(s.steps[10].number, 3);

    ASSERT_TRUE(sim::ParseScript("noevent", s, error));
    EXPECT_TRUE(s.noEvent);
    EXPECT_TRUE(s.steps.empty());
}

TEST(SimScript, LiveTakesAnOptionalSpeed) {
    sim::Script s;
    std::string error;
    ASSERT_TRUE(sim::ParseScript("live 864000 100\nlive 5 1000\n", s, error)) << error;
    ASSERT_EQ(s.steps.size(), 2u);
    EXPECT_EQ(s.steps[0].number, 864000);
    EXPECT_EQ(s.steps[0].size, 100);
    EXPECT_EQ(s.steps[1].size, 1000);
}

TEST(SimScript, ErrorsNameTheLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"record ok\nfrobnicate\n", "line 2"},  {"sleep\n", "line 1"},          {"sleep -5\n", "line 1"},
        {"sleep 5x\n", "line 1"},               {"exit\n", "line 1"},           {"flood 10\n", "line 1"},
        {"flood 10 9\n", "line 1"},             {"record \\q\n", "line 1"},     {"record \\x4\n", "line 1"},
        {"record abc\\\n", "line 1"},           {"raw\n", "line 1"},            {"nopipe now\n", "line 1"},
        {"\n\nlong 5\n", "line 3"},             {"garbage many\n", "line 1"},   {"wait-stop 5\n", "line 1"},
        {"mark\n", "line 1"},                   {"live 10 0\n", "line 1"},     {"live 10 1001\n", "line 1"},
        {"live 10 5 5\n", "line 1"},
    };
    for (auto [text, where] : bad) {
        sim::Script s;
        std::string error;
        EXPECT_FALSE(sim::ParseScript(text, s, error)) << text;
        EXPECT_EQ(error.rfind(where, 0), 0u) << text << " -> " << error;
    }
}

TEST(SimTraffic, LiveStreamLooksLikeADecoder) {
    const double centre = 1850.0;
    sim::LiveTraffic traffic(centre, 42);
    std::set<int> categories;
    unsigned frameMs = 0, frames = 0, reports = 0;
    std::string lastFrame;
    for (int i = 0; i < 400; ++i) {
        sim::TrafficItem item = traffic.Next();
        ASSERT_EQ(item.record.find('\0'), std::string::npos);
        decoder::DecoderRecord rec = decoder::ParseRecord(item.record);
        ASSERT_TRUE(rec.accepted) << item.record;
        ASSERT_LE(item.record.size(), decoder::kMaxRecordLength);
        categories.insert(rec.category);
        if (i == 0) {
            EXPECT_EQ(item.delayMs, 0u);
            EXPECT_EQ(rec.category, 0);  // a frame opens with its frame-type header
        }
        frameMs += item.delayMs;  // time since the previous record
        if (rec.category == 0) {
            if (i > 0) {
                EXPECT_GE(frameMs, sim::kFrameMs - 10);
                EXPECT_LE(frameMs, sim::kFrameMs);
            }
            frameMs = 0;
            ++frames;
        }
        if (rec.category == 2) {
            ASSERT_TRUE(rec.hasFrequency) << item.record;
            EXPECT_NEAR(rec.frequencyHz, centre, 1.1);
            ++reports;
            if (!lastFrame.empty()) {
                EXPECT_EQ(std::stoi(std::string(rec.frame)), (std::stoi(lastFrame) + 1) % 10000);
            }
            lastFrame = rec.frame;
            EXPECT_EQ(rec.les.size(), 3u);
        }
        if (rec.category == 5) {
            EXPECT_GE(std::count(rec.text.begin(), rec.text.end(), '\n'), 3);
        }
    }
    EXPECT_EQ(categories, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(reports, frames);
    EXPECT_GT(frames, 40u);
    // About nine records a frame, as real traffic has.
    EXPECT_GE(400.0 / frames, 8.0);
    EXPECT_LE(400.0 / frames, 10.0);
}

TEST(SimTraffic, BulkRecords) {
    for (std::size_t bytes : {std::size_t{10}, std::size_t{11}, std::size_t{80}, std::size_t{1024}, std::size_t{3000}}) {
        for (std::uint64_t i = 0; i < 6; ++i) {
            std::string r = sim::FloodRecord(i, bytes);
            EXPECT_EQ(r.size(), bytes);
            EXPECT_EQ(r.find('\0'), std::string::npos);
            auto rec = decoder::ParseRecord(std::string_view(r).substr(0, decoder::kMaxRecordLength));
            EXPECT_TRUE(rec.accepted);
            EXPECT_EQ(rec.category, static_cast<int>(i));
            if (bytes >= 80) EXPECT_EQ(rec.text.substr(0, 3), "#" + std::to_string(i) + " ");
        }
    }
    EXPECT_EQ(sim::LongRecord(1500).size(), 1500u);
    EXPECT_EQ(sim::LongRecord(1500).find('\0'), std::string::npos);
    EXPECT_EQ(sim::Garbage(4096, 9), sim::Garbage(4096, 9));
    EXPECT_NE(sim::Garbage(4096, 9), sim::Garbage(4096, 10));
    EXPECT_NE(sim::Garbage(4096, 9).find('\0'), std::string::npos);
}
