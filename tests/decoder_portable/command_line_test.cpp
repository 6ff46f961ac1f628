// Decoder command line: exact text, option pieces, and that every option survives the platform's
// argument splitting as one argument.
#include <gtest/gtest.h>

#include <algorithm>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"

using decoder::BuildCommandLine;
using decoder::CommandLineFault;
using decoder::LaunchSettings;
using decoder::SplitCommandLine;

namespace {

LaunchSettings StartupSettings() {
    LaunchSettings s;
    s.settings.centerFrequency = 2000.0;
    s.settings.checkForUpdates = true;
    s.settings.hideDecoderWindow = true;
    s.soundCard = L"Primary Sound Capture Driver";
    s.instanceName = L"gui1F2E3D4C";
    return s;
}

std::wstring Line(const LaunchSettings& s) {
    auto r = BuildCommandLine(s);
    EXPECT_TRUE(r.ok()) << static_cast<int>(r.fault);
    return r.commandLine;
}

std::vector<std::wstring> Args(const LaunchSettings& s) { return SplitCommandLine(Line(s)); }

bool HasArg(const std::vector<std::wstring>& args, const std::wstring& a) {
    return std::find(args.begin(), args.end(), a) != args.end();
}

}  // namespace

TEST(CommandLine, ExamplesByteForByte) {
    EXPECT_EQ(Line(StartupSettings()),
              L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\"  -h -pgui1F2E3D4C");

    LaunchSettings s = StartupSettings();
    s.settings.centerFrequency = 1500.4;
    s.soundCard = L"Line In";
    s.settings.cardChannel = 1;
    s.settings.checkForUpdates = false;
    s.settings.fileLogMessages = s.settings.fileLogRaw = true;
    s.settings.tarLogEgc = true;
    s.settings.fileLogDir = L"C:\\logs";
    s.settings.hideDecoderWindow = true;
    EXPECT_EQ(Line(s), L"vastrel.exe -f1500 \"-cLine In\" -cL -n -lmr -te \"-dfC:\\logs\" -h -pgui1F2E3D4C");
    EXPECT_EQ(Args(s), (std::vector<std::wstring>{L"vastrel.exe", L"-f1500", L"-cLine In", L"-cL", L"-n",
                                                  L"-lmr", L"-te", L"-dfC:\\logs", L"-h", L"-pgui1F2E3D4C"}));
}

TEST(CommandLine, ChannelGluedToTheDeviceQuoteWouldBeLost) {
    // Without a blank after the device's closing quote the platform joins both into one argument.
    EXPECT_EQ(SplitCommandLine(L"vastrel.exe \"-cLine In\"-cL -n").at(1), L"-cLine In-cL");
    LaunchSettings s = StartupSettings();
    s.settings.cardChannel = 2;
    EXPECT_EQ(Args(s), (std::vector<std::wstring>{L"vastrel.exe", L"-f2000", L"-cPrimary Sound Capture Driver",
                                                  L"-cR", L"-h", L"-pgui1F2E3D4C"}));
}

TEST(CommandLine, CentreIsRoundedToWholeHertz) {
    LaunchSettings s = StartupSettings();
    const std::pair<double, const wchar_t*> cases[] = {
        {1500.4, L"-f1500"}, {1500.6, L"-f1501"}, {0.0, L"-f0"}, {96000.0, L"-f96000"}, {2.5, L"-f2"}};
    for (auto [value, text] : cases) {
        s.settings.centerFrequency = value;
        EXPECT_EQ(Args(s).at(1), text) << value;
    }
    s.settings.centerFrequency = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(BuildCommandLine(s).fault, CommandLineFault::BadFrequency);
    s.settings.centerFrequency = std::numeric_limits<double>::infinity();
    EXPECT_EQ(BuildCommandLine(s).fault, CommandLineFault::BadFrequency);
}

TEST(CommandLine, DeviceIsCutTo31Characters) {
    LaunchSettings s = StartupSettings();
    s.soundCard = L"Microphone (Realtek High Definition Au)";  // 39
    s.soundCard += L"X";                                        // 40
    ASSERT_EQ(s.soundCard.size(), 40u);
    auto args = Args(s);
    EXPECT_EQ(args.at(2), L"-c" + s.soundCard.substr(0, 31));

    s.soundCard = std::wstring(31, L'a');
    EXPECT_EQ(Args(s).at(2), L"-c" + s.soundCard);

    // A cut that would keep half of a surrogate pair keeps neither half.
    s.soundCard = std::wstring(30, L'a') + L"\xD83D\xDCE1" + L"tail";
    EXPECT_EQ(Args(s).at(2), L"-c" + std::wstring(30, L'a'));

    // No capture device: the option stays, with an empty name.
    s.soundCard.clear();
    EXPECT_EQ(Line(s), L"vastrel.exe -f2000 \"-c\"  -h -pgui1F2E3D4C");
    EXPECT_EQ(Args(s).at(2), L"-c");
}

TEST(CommandLine, ChannelPieces) {
    LaunchSettings s = StartupSettings();
    s.settings.hideDecoderWindow = false;
    s.settings.checkForUpdates = false;
    const std::pair<int, const wchar_t*> cases[] = {{0, L"\" -n "}, {1, L"\" -cL -n "}, {2, L"\" -cR -n "},
                                                    {7, L"\" -cR -n "}, {-1, L"\" -cR -n "}};
    for (auto [channel, piece] : cases) {
        s.settings.cardChannel = channel;
        std::wstring line = Line(s);
        EXPECT_NE(line.find(piece), std::wstring::npos) << channel << " " << std::string(line.begin(), line.end());
        auto args = SplitCommandLine(line);
        EXPECT_EQ(args.at(2), L"-cPrimary Sound Capture Driver");
        if (channel == 0) {
            EXPECT_EQ(args.size(), 5u);
        } else {
            EXPECT_EQ(args.at(3), channel == 1 ? L"-cL" : L"-cR");
        }
    }
}

TEST(CommandLine, UpdateAndHideSwitches) {
    LaunchSettings s = StartupSettings();
    s.settings.checkForUpdates = true;
    s.settings.hideDecoderWindow = false;
    EXPECT_EQ(Line(s), L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\"  -pgui1F2E3D4C");
    s.settings.checkForUpdates = false;
    s.settings.hideDecoderWindow = true;
    EXPECT_EQ(Line(s), L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\" -n  -h -pgui1F2E3D4C");
}

TEST(CommandLine, LoggingLetters) {
    // Mask bits: file egc, messages, raw, then tar egc, messages, raw; letters always in e, m, r order.
    const struct {
        int mask;
        const wchar_t* file;
        const wchar_t* tar;
    } cases[] = {{0, L"", L""},       {1, L"-le", L""},    {2, L"-lm", L""},     {4, L"-lr", L""},
                 {7, L"-lemr", L""},  {5, L"-ler", L""},   {8, L"", L"-te"},     {48, L"", L"-tmr"},
                 {56, L"", L"-temr"}, {63, L"-lemr", L"-temr"}, {34, L"-lm", L"-tr"}};
    for (const auto& c : cases) {
        LaunchSettings s = StartupSettings();
        s.settings.fileLogEgc = c.mask & 1;
        s.settings.fileLogMessages = c.mask & 2;
        s.settings.fileLogRaw = c.mask & 4;
        s.settings.tarLogEgc = c.mask & 8;
        s.settings.tarLogMessages = c.mask & 16;
        s.settings.tarLogRaw = c.mask & 32;
        auto args = Args(s);
        const auto starts = [&](const wchar_t* p) {
            return std::count_if(args.begin(), args.end(), [&](auto& a) { return a.rfind(p, 0) == 0; });
        };
        EXPECT_EQ(starts(L"-l"), *c.file ? 1 : 0) << c.mask;
        EXPECT_EQ(starts(L"-t"), *c.tar ? 1 : 0) << c.mask;
        EXPECT_TRUE(!*c.file || HasArg(args, c.file)) << c.mask;
        EXPECT_TRUE(!*c.tar || HasArg(args, c.tar)) << c.mask;
    }
    LaunchSettings s = StartupSettings();
    s.settings.fileLogRaw = true;
    s.settings.tarLogEgc = s.settings.tarLogRaw = true;
    EXPECT_EQ(Line(s), L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\" -lr -ter -h -pgui1F2E3D4C");
}

TEST(CommandLine, DirectoriesStayOneArgument) {
    LaunchSettings s = StartupSettings();
    s.settings.fileLogDir = L"C:\\Program Files\\vastrel logs";
    s.settings.tarLogDir = L"D:\\tar  two blanks";
    auto args = Args(s);
    EXPECT_TRUE(HasArg(args, L"-dfC:\\Program Files\\vastrel logs"));
    EXPECT_TRUE(HasArg(args, L"-dtD:\\tar  two blanks"));
    EXPECT_EQ(args.back(), L"-pgui1F2E3D4C");
    EXPECT_NE(Line(s).find(L" \"-dfC:\\Program Files\\vastrel logs\" \"-dtD:\\tar  two blanks\" -h"),
              std::wstring::npos);

    // A trailing backslash would escape the closing quote and swallow every later option.
    s.settings.fileLogDir = L"C:\\logs\\";
    s.settings.tarLogDir = L"\\\\server\\share\\\\";
    std::wstring line = Line(s);
    EXPECT_NE(line.find(L"\"-dfC:\\logs\\\\\" \"-dt\\\\server\\share\\\\\\\\\" -h"), std::wstring::npos);
    args = SplitCommandLine(line);
    EXPECT_EQ(args, (std::vector<std::wstring>{L"vastrel.exe", L"-f2000", L"-cPrimary Sound Capture Driver",
                                               L"-dfC:\\logs\\", L"-dt\\\\server\\share\\\\", L"-h",
                                               L"-pgui1F2E3D4C"}));

    // The same for a device description ending in a backslash (after the cut).
    s.soundCard = std::wstring(30, L'd') + L"\\zzz";
    args = Args(s);
    EXPECT_EQ(args.at(2), L"-c" + std::wstring(30, L'd') + L"\\");
    EXPECT_EQ(args.back(), L"-pgui1F2E3D4C");

    // Empty directories give no option at all.
    s = StartupSettings();
    EXPECT_EQ(Line(s).find(L"-d"), std::wstring::npos);
}

TEST(CommandLine, QuotationMarksAreRefusedByName) {
    LaunchSettings s = StartupSettings();
    s.soundCard = L"Mic \"USB\"";
    auto r = BuildCommandLine(s);
    EXPECT_EQ(r.fault, CommandLineFault::QuoteInDevice);
    EXPECT_TRUE(r.commandLine.empty());
    EXPECT_NE(decoder::FaultMessage(r.fault).find(L"Soundcard name"), std::wstring::npos);

    s = StartupSettings();
    s.settings.fileLogDir = L"C:\\a\"b";
    EXPECT_EQ(BuildCommandLine(s).fault, CommandLineFault::QuoteInFileLogDir);
    EXPECT_NE(decoder::FaultMessage(CommandLineFault::QuoteInFileLogDir).find(L"File logging"), std::wstring::npos);

    s = StartupSettings();
    s.settings.tarLogDir = L"\"";
    EXPECT_EQ(BuildCommandLine(s).fault, CommandLineFault::QuoteInTarLogDir);
    EXPECT_NE(decoder::FaultMessage(CommandLineFault::QuoteInTarLogDir).find(L"SES-TAR"), std::wstring::npos);

    s = StartupSettings();
    s.instanceName = L"gui 1";
    EXPECT_EQ(BuildCommandLine(s).fault, CommandLineFault::BadInstanceName);
    s.instanceName.clear();
    EXPECT_EQ(BuildCommandLine(s).fault, CommandLineFault::BadInstanceName);
    EXPECT_TRUE(decoder::FaultMessage(CommandLineFault::None).empty());
}

TEST(CommandLine, OtherProgramName) {
    LaunchSettings s = StartupSettings();
    auto r = BuildCommandLine(s, L"C:\\test dir\\vastrel-sim.exe");
    ASSERT_TRUE(r.ok());
    auto args = SplitCommandLine(r.commandLine);
    EXPECT_EQ(args.at(0), L"C:\\test dir\\vastrel-sim.exe");
    EXPECT_EQ(args.at(1), L"-f2000");
    EXPECT_EQ(BuildCommandLine(s, L"a\"b").fault, CommandLineFault::BadProgramName);
}

TEST(Names, InstancePipeEventAndTextLog) {
    EXPECT_EQ(decoder::FormatInstanceName(0x1F2E3D4Cu), L"gui1F2E3D4C");
    EXPECT_EQ(decoder::FormatInstanceName(0xABu), L"guiAB");
    EXPECT_EQ(decoder::FormatInstanceName(0u), L"gui0");
    EXPECT_EQ(decoder::FormatInstanceName(0xFFFFFFFFu), L"guiFFFFFFFF");
    EXPECT_EQ(decoder::MakeInstanceName(0x1000u, 0x0011u), L"gui1011");
    EXPECT_EQ(decoder::MakeInstanceName(0x1000u, 0x1000u), L"gui0");
    // Two windows in one millisecond differ; one window at two ticks differs.
    EXPECT_NE(decoder::MakeInstanceName(5u, 0x7ff012345678u), decoder::MakeInstanceName(5u, 0x7ff012345680u));
    EXPECT_NE(decoder::MakeInstanceName(5u, 0x7ff012345678u), decoder::MakeInstanceName(6u, 0x7ff012345678u));

    EXPECT_EQ(decoder::PipePath(L"gui1F2E3D4C"), L"\\\\.\\pipe\\gui1F2E3D4C");
    EXPECT_EQ(decoder::StopEventName(L"gui1F2E3D4C"), L"gui1F2E3D4C_terminate");

    decoder::UtcTime t{2026, 3, 7, 14, 5, 9};
    EXPECT_EQ(decoder::TextLogPath(L"D:\\decoder", t), L"D:\\decoder\\20260307_140509.log");
    EXPECT_EQ(decoder::TextLogPath(L"D:\\decoder\\", t), L"D:\\decoder\\20260307_140509.log");
    std::wstring longDir = L"C:\\" + std::wstring(400, L'x');
    EXPECT_EQ(decoder::TextLogPath(longDir, t), longDir + L"\\20260307_140509.log");
}

TEST(ArgumentSplit, PlatformRules) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(SplitCommandLine(L""), V{});
    EXPECT_EQ(SplitCommandLine(L"  \t "), V{});
    EXPECT_EQ(SplitCommandLine(L"prog a  b\tc "), (V{L"prog", L"a", L"b", L"c"}));
    EXPECT_EQ(SplitCommandLine(L"\"C:\\a b\\p.exe\" x"), (V{L"C:\\a b\\p.exe", L"x"}));
    EXPECT_EQ(SplitCommandLine(L"p \"a b\" \"\""), (V{L"p", L"a b", L""}));
    EXPECT_EQ(SplitCommandLine(L"p a\\\\b a\\b"), (V{L"p", L"a\\\\b", L"a\\b"}));
    EXPECT_EQ(SplitCommandLine(L"p \"a\\\\\" b"), (V{L"p", L"a\\", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"p \"a\\\" b\""), (V{L"p", L"a\" b"}));
    EXPECT_EQ(SplitCommandLine(L"p a\\\\\\\"b"), (V{L"p", L"a\\\"b"}));
    EXPECT_EQ(SplitCommandLine(L"p \"ab\"cd"), (V{L"p", L"abcd"}));
    EXPECT_EQ(SplitCommandLine(L"p \"unterminated x"), (V{L"p", L"unterminated x"}));
}
