// Decoder command line: the exact text for each kind of setting, the refusals and their messages, and
// that the options survive the platform's argument splitting as one argument each.
#include <gtest/gtest.h>

#include <limits>

#include "decoder/argument_split.h"
#include "decoder/command_line.h"

using decoder::BuildCommandLine;
using decoder::CommandLineFault;
using decoder::LaunchSettings;
using decoder::SplitCommandLine;
using V = std::vector<std::wstring>;

// Switches of a row: the update check, the hidden decoder window, then the file and tar logs' letters.
enum : int { U = 1, H = 2, FE = 4, FM = 8, FR = 16, TE = 32, TM = 64, TR = 128 };

TEST(CommandLine, ExactTextAndArgumentsOfEachKindOfStart) {
    using F = CommandLineFault;
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const std::wstring a30(30, L'a'), a31(31, L'a'), d30(30, L'd');
    const std::wstring q = L"\" contains a quotation mark (\"), which cannot be passed to the decoder.";
    const std::wstring bad = L"The decoder instance name is not valid.";
    struct Row {
        double centre;
        std::wstring device;
        int channel, switches;
        std::wstring fileDir, tarDir, instance;
        std::wstring expected;  // the command line, or the fault's message
        CommandLineFault fault = CommandLineFault::None;
        std::wstring args = {};  // when given, what the line splits into, joined by '|'
    };
    const Row rows[] = {
        {2000, L"Primary Sound Capture Driver", 0, U | H, L"", L"", L"gui1F2E3D4C",
         L"vastrel.exe -f2000 \"-cPrimary Sound Capture Driver\"  -h -pgui1F2E3D4C"},
        {1500.4, L"Line In", 1, H | FM | FR | TE, L"C:\\logs", L"", L"gui1",
         L"vastrel.exe -f1500 \"-cLine In\" -cL -n -lmr -te \"-dfC:\\logs\" -h -pgui1", F::None,
         L"vastrel.exe|-f1500|-cLine In|-cL|-n|-lmr|-te|-dfC:\\logs|-h|-pgui1"},
        // The centre in whole hertz, ties to even.
        {1500.6, L"Mic", 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f1501 \"-cMic\"  -h -pgui1"},
        {2.5, L"Mic", 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f2 \"-cMic\"  -h -pgui1"},
        {0, L"Mic", 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f0 \"-cMic\"  -h -pgui1"},
        {96000, L"Mic", 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f96000 \"-cMic\"  -h -pgui1"},
        // Channels: a blank keeps -cL/-cR out of the quoted device; anything but 0 and 1 is right.
        {2000, L"Mic", 2, U | H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -cR  -h -pgui1", F::None,
         L"vastrel.exe|-f2000|-cMic|-cR|-h|-pgui1"},
        {2000, L"Mic", 7, U | H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -cR  -h -pgui1"},
        {2000, L"Mic", -1, U | H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -cR  -h -pgui1"},
        // The update and hide switches.
        {2000, L"Mic", 0, U, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\"  -pgui1"},
        {2000, L"Mic", 0, H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -n  -h -pgui1"},
        {2000, L"Mic", 1, 0, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -cL -n  -pgui1"},
        // Logging letters, always in e, m, r order.
        {2000, L"Mic", 0, U | H | FE, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -le -h -pgui1"},
        {2000, L"Mic", 0, U | H | FM, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -lm -h -pgui1"},
        {2000, L"Mic", 0, U | H | FR, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -lr -h -pgui1"},
        {2000, L"Mic", 0, U | H | FE | FR, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -ler -h -pgui1"},
        {2000, L"Mic", 0, U | H | TE, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\"  -te -h -pgui1"},
        {2000, L"Mic", 0, U | H | TM, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\"  -tm -h -pgui1"},
        {2000, L"Mic", 0, U | H | TR, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\"  -tr -h -pgui1"},
        {2000, L"Mic", 0, U | H | FR | TE | TR, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -lr -ter -h -pgui1"},
        {2000, L"Mic", 0, U | H | FM | TR, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -lm -tr -h -pgui1"},
        {2000, L"Mic", 0, 0xFF, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-cMic\" -lemr -temr -h -pgui1"},
        // The device: at most 31 units, never half a surrogate pair; none at all keeps an empty -c.
        {2000, L"Microphone (Realtek High Definition Au)X", 0, U | H, L"", L"", L"gui1",
         L"vastrel.exe -f2000 \"-cMicrophone (Realtek High Defini\"  -h -pgui1"},
        {2000, a31, 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-c" + a31 + L"\"  -h -pgui1"},
        {2000, a30 + L"\xD800\xDC00tail", 0, U | H, L"", L"", L"gui1",
         L"vastrel.exe -f2000 \"-c" + a30 + L"\"  -h -pgui1"},
        {2000, a30 + L"\xDBFF\xDFFFtail", 0, U | H, L"", L"", L"gui1",
         L"vastrel.exe -f2000 \"-c" + a30 + L"\"  -h -pgui1"},
        {2000, a30 + L"\xDC00tail", 0, U | H, L"", L"", L"gui1",
         L"vastrel.exe -f2000 \"-c" + a30 + L"\xDC00\"  -h -pgui1"},
        {2000, L"", 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-c\"  -h -pgui1", F::None,
         L"vastrel.exe|-f2000|-c|-h|-pgui1"},
        // Directories stay one argument; trailing backslashes are doubled so the quote still closes.
        {2000, L"Mic", 0, U | H, L"C:\\Program Files\\vastrel logs", L"D:\\tar  two blanks", L"gui1",
         L"vastrel.exe -f2000 \"-cMic\"  \"-dfC:\\Program Files\\vastrel logs\" \"-dtD:\\tar  two blanks\" -h -pgui1",
         F::None, L"vastrel.exe|-f2000|-cMic|-dfC:\\Program Files\\vastrel logs|-dtD:\\tar  two blanks|-h|-pgui1"},
        {2000, L"Mic", 0, U | H, L"C:\\logs\\", L"\\\\server\\share\\\\", L"gui1",
         L"vastrel.exe -f2000 \"-cMic\"  \"-dfC:\\logs\\\\\" \"-dt\\\\server\\share\\\\\\\\\" -h -pgui1", F::None,
         L"vastrel.exe|-f2000|-cMic|-dfC:\\logs\\|-dt\\\\server\\share\\\\|-h|-pgui1"},
        {2000, d30 + L"\\zzz", 0, U | H, L"", L"", L"gui1", L"vastrel.exe -f2000 \"-c" + d30 + L"\\\\\"  -h -pgui1",
         F::None, L"vastrel.exe|-f2000|-c" + d30 + L"\\|-h|-pgui1"},
        {2000, L"Mic", 0, U | H, L"", L"", L"Az09_-", L"vastrel.exe -f2000 \"-cMic\"  -h -pAz09_-"},
        // Refusals, each naming its setting.
        {2000, L"Mic \"USB\"", 0, U | H, L"", L"", L"gui1", L"The setting \"Soundcard name" + q, F::QuoteInDevice},
        {2000, L"Mic", 0, U | H, L"C:\\a\"b", L"", L"gui1", L"The setting \"File logging Directory" + q,
         F::QuoteInFileLogDir},
        {2000, L"Mic", 0, U | H, L"", L"\"", L"gui1", L"The setting \"SES-TAR logging Directory" + q,
         F::QuoteInTarLogDir},
        {nan, L"Mic", 0, U | H, L"", L"", L"gui1", L"The setting \"Center frequency\" is not a valid number.",
         F::BadFrequency},
        {-inf, L"Mic", 0, U | H, L"", L"", L"gui1", L"The setting \"Center frequency\" is not a valid number.",
         F::BadFrequency},
        {2000, L"Mic", 0, U | H, L"", L"", L"gui 1", bad, F::BadInstanceName},
        {2000, L"Mic", 0, U | H, L"", L"", L"gui.1", bad, F::BadInstanceName},
        {2000, L"Mic", 0, U | H, L"", L"", L"", bad, F::BadInstanceName},
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
        EXPECT_EQ(r.fault, row.fault) << shown;
        EXPECT_EQ(r.ok() ? r.commandLine : decoder::FaultMessage(r.fault), row.expected) << shown;
        EXPECT_EQ(r.commandLine.empty(), !r.ok()) << shown;
        std::wstring joined;
        for (const auto& arg : SplitCommandLine(r.commandLine)) joined += (joined.empty() ? L"" : L"|") + arg;
        if (!row.args.empty()) {
            EXPECT_EQ(joined, row.args) << shown;
        }
    }
    EXPECT_EQ(decoder::FaultMessage(F::None), L"");
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
        {0x1F2E3D4Cu, 0, L"gui1F2E3D4C"},
        {0xABu, 0, L"guiAB"},
        {0u, 0, L"gui0"},
        {0xFFFFFFFFu, 0, L"guiFFFFFFFF"},
        {0x1000u, 0x11u, L"gui1011"},
        {0x1000u, 0x1000u, L"gui0"},
        {5u, static_cast<std::uintptr_t>(0x7ff012345678ull), L"gui1234298D"},
    };
    for (auto [tick, identity, name] : names) EXPECT_EQ(decoder::MakeInstanceName(tick, identity), name) << name;
    EXPECT_EQ(decoder::FormatInstanceName(0xABCu), L"guiABC");
    EXPECT_EQ(decoder::PipePath(L"gui1F2E3D4C"), L"\\\\.\\pipe\\gui1F2E3D4C");
    EXPECT_EQ(decoder::StopEventName(L"gui1F2E3D4C"), L"gui1F2E3D4C_terminate");

    const decoder::UtcTime t{2026, 3, 7, 14, 5, 9};
    const std::wstring longDir = L"C:\\" + std::wstring(400, L'x');
    const std::pair<std::wstring, std::wstring> paths[] = {
        {L"D:\\decoder", L"D:\\decoder\\20260307_140509.log"},
        {L"D:\\decoder\\", L"D:\\decoder\\20260307_140509.log"},
        {L"/tmp/", L"/tmp/20260307_140509.log"},
        {L"", L"\\20260307_140509.log"},
        {longDir, longDir + L"\\20260307_140509.log"},
    };
    for (const auto& [dir, path] : paths) EXPECT_EQ(decoder::TextLogPath(dir, t), path);
}

TEST(ArgumentSplit, PlatformRules) {
    const std::pair<const wchar_t*, V> rows[] = {
        {L"", {}},
        {L"  \t ", {}},
        {L"prog a  b\tc ", {L"prog", L"a", L"b", L"c"}},
        {L"\"C:\\a b\\p.exe\" x", {L"C:\\a b\\p.exe", L"x"}},
        {L"\"C:\\a b\\p.exe\"x", {L"C:\\a b\\p.exe", L"x"}},
        {L"p \"a b\" \"\"", {L"p", L"a b", L""}},
        {L"p a\\\\b a\\b", {L"p", L"a\\\\b", L"a\\b"}},
        {L"p \"a\\\\\" b", {L"p", L"a\\", L"b"}},
        {L"p \"a\\\" b\"", {L"p", L"a\" b"}},
        {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
        {L"p \"ab\"cd", {L"p", L"abcd"}},
        {L"p \"unterminated x", {L"p", L"unterminated x"}},
        // Without a blank after the device's closing quote the platform joins the channel to it.
        {L"vastrel.exe \"-cLine In\"-cL -n", {L"vastrel.exe", L"-cLine In-cL", L"-n"}},
    };
    for (const auto& [line, args] : rows) EXPECT_EQ(SplitCommandLine(line), args) << std::wstring(line).size();
}
