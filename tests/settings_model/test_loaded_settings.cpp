// Loading and saving the model: what the profile reader's values become, and the texts a save writes.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/config_rules.h"
#include "settings/key_table.h"
#include "settings_printer.h"

using namespace settings;

namespace {

const wchar_t* const kDevices[] = {L"Microphone (USB Audio)", L"Primary Sound Capture Driver", L"Line In (USB Audio)"};

// What the profile reader gives for a file holding just `present`, key by key in table order: the
// table's Missing value for every other key.
std::vector<Stored> FileWith(const std::map<std::wstring, Stored>& present) {
    std::vector<Stored> out;
    for (const KeyRule& k : Keys()) {
        auto it = present.find(k.key);
        out.push_back(it != present.end() ? it->second : k.missing);
    }
    return out;
}

// Settings far from every start-up and Missing value.
Settings Scrambled() {
    Settings s;
    s.soundCard = 2;
    s.sampleRate = 8000;
    s.cardChannel = 2;
    s.centerFrequency = 3000;
    s.checkForUpdates = true;
    s.hideDecoderWindow = false;
    s.disableFftWhileDecoding = s.fileLogEgc = s.fileLogMessages = s.fileLogRaw = true;
    s.tarLogEgc = s.tarLogMessages = s.tarLogRaw = s.decoderTextLog = s.decoderLogUseFilter = true;
    s.fileLogDir = L"C:\\logs";
    s.tarLogDir = L"C:\\tar";
    s.decoderLogDir = L"C:\\out";
    return s;
}

// What a file without keys gives; `device` is the selection the load ends with.
Settings EmptyFileResult(std::int32_t device) {
    Settings s;
    s.soundCard = device;
    s.sampleRate = 48000;
    s.centerFrequency = 2000;
    s.hideDecoderWindow = true;  // "Check for updates" off, everything else off or empty
    return s;
}

// The texts a save writes, key by key; none for a removed key.
std::map<std::wstring, std::optional<std::wstring>> SavedTexts(const Settings& s, DeviceNames devices) {
    std::map<std::wstring, std::optional<std::wstring>> out;
    for (const KeyRule& k : Keys()) out[k.key] = StoredText(k, s, devices);
    return out;
}

}  // namespace

TEST(LoadedSettings, AFileWithoutKeysGivesTheMissingValues) {
    const wchar_t* const noPrimary[] = {L"Microphone", L"Line In"};
    const struct {
        DeviceNames devices;
        std::int32_t device;  // the first containing "Primary Sound Capture Driver", or the previous one
    } cases[] = {{kDevices, 1}, {noPrimary, 2}, {DeviceNames(), 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(LoadedSettings(FileWith({}), Scrambled(), c.devices), EmptyFileResult(c.device));
        // A reader that gave nothing at all reads the same: every key absent.
        EXPECT_EQ(LoadedSettings({}, Scrambled(), c.devices), EmptyFileResult(c.device));
    }
}

TEST(LoadedSettings, KeysAfterThoseTheFileHoldsTakeTheirMissingValues) {
    // A file written before later keys existed: what it holds counts, the rest read as missing.
    const std::vector<Stored> full = FileWith({{L"SampleRate", 44100}, {L"Center", 1000}, {L"UpdChk", 1}});
    for (std::size_t held = 0; held <= full.size(); ++held) {
        const std::vector<Stored> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(held));
        const Settings s = LoadedSettings(part, Scrambled(), kDevices);
        EXPECT_EQ(s.sampleRate, held >= 1 ? 44100 : 48000) << held;
        EXPECT_EQ(s.centerFrequency, held >= 2 ? 1000.0 : 2000.0) << held;
        EXPECT_EQ(s.checkForUpdates, held >= 5) << held;
        EXPECT_TRUE(s.hideDecoderWindow) << held;
    }
    // A value of the wrong form (a text where a number belongs) counts as absent.
    std::vector<Stored> wrong = FileWith({});
    wrong[0] = std::wstring(L"44100");
    EXPECT_EQ(LoadedSettings(wrong, Scrambled(), kDevices).sampleRate, 48000);
}

TEST(LoadedSettings, CentreIsKeptOnlyInsideTheLoadedRatesBand) {
    const struct {
        std::int32_t rate, centre;  // as the profile reader gives them
        double loaded;
    } cases[] = {
        {48000, 1234, 1234},  {48000, 24000, 24000}, {48000, 24001, 2000}, {48000, -5, 2000},
        {8000, 4000, 4000},   {8000, 4001, 2000},    {0, 100, 2000},       {-8000, 100, 2000},
        {32000, 16000, 16000}, {11025, 5512, 5512},  {11025, 5513, 2000},  {48000, 0, 0},
    };
    for (const auto& c : cases) {
        const Settings s = LoadedSettings(FileWith({{L"SampleRate", c.rate}, {L"Center", c.centre}}), Scrambled(),
                                          kDevices);
        EXPECT_EQ(s.centerFrequency, c.loaded) << c.rate << " " << c.centre;
        EXPECT_EQ(s.sampleRate, c.rate);  // any rate is the working rate, in the list or not
    }
}

TEST(LoadedSettings, ChannelSwitchAndDirectoryValues) {
    const struct {
        std::int32_t channel, entry;
    } channels[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {7, 0}, {-1, 0}};
    for (const auto& c : channels)
        EXPECT_EQ(LoadedSettings(FileWith({{L"CardChannel", c.channel}}), Scrambled(), kDevices).cardChannel, c.entry)
            << c.channel;

    const struct {
        std::int32_t stored;
        bool set;
    } switches[] = {{0, false}, {1, true}, {5, true}, {-3, true}, {-1, true}};
    for (const auto& c : switches) {
        const Settings s =
            LoadedSettings(FileWith({{L"UpdChk", c.stored}, {L"TarMsg", c.stored}, {L"HideDecWnd", c.stored}}),
                           Scrambled(), kDevices);
        EXPECT_EQ(s.checkForUpdates, c.set) << c.stored;
        EXPECT_EQ(s.tarLogMessages, c.set) << c.stored;
        EXPECT_EQ(s.hideDecoderWindow, c.set) << c.stored;
    }
    const Settings dirs = LoadedSettings(FileWith({{L"TarDir", std::wstring(L"D:\\\u65e5\u672c")}}), Scrambled(),
                                         kDevices);
    EXPECT_EQ(dirs.tarLogDir, L"D:\\\u65e5\u672c");
    EXPECT_EQ(dirs.fileLogDir, L"");
}

TEST(LoadedSettings, DeviceTextPicksTheFirstDescriptionContainingIt) {
    const struct {
        const wchar_t* stored;
        DeviceNames devices;
        std::int32_t device;  // previous selection: 2
    } cases[] = {
        {L"USB Audio", kDevices, 0},
        {L"Line", kDevices, 2},
        {L"Primary", kDevices, 1},
        {L"", kDevices, 0},
        {L"usb audio", kDevices, 2},  // case counts: no match keeps the selection
        {L"No such device", kDevices, 2},
        {L"", DeviceNames(), 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadedSettings(FileWith({{L"SoundCard", std::wstring(c.stored)}}), Scrambled(), c.devices).soundCard,
                  c.device)
            << Narrow(c.stored);
}

TEST(SavedTexts, StartupValuesGiveTheExampleFile) {
    const std::vector<std::wstring> lines = {
        L"SampleRate=48000", L"Center=2000", L"SoundCard=Primary Sound Capture Driver", L"CardChannel=0",
        L"UpdChk=1",         L"FileEGC=0",   L"FileMsg=0",  L"FileRaw=0",  L"TarEGC=0",   L"TarMsg=0",
        L"TarRaw=0",         L"HideDecWnd=1", L"DisableFFT=0", L"LogOut=0", L"LogOutFlt=0", L"FileDir=",
        L"TarDir=",          L"LogDir="};
    const wchar_t* const primaryFirst[] = {L"Primary Sound Capture Driver", L"Line In"};
    std::vector<std::wstring> written;
    for (const KeyRule& k : Keys()) {
        const std::optional<std::wstring> text = StoredText(k, StartupSettings(), primaryFirst);
        ASSERT_TRUE(text.has_value()) << Narrow(k.key);
        written.push_back(std::wstring(k.key) + L"=" + *text);
    }
    written.resize(lines.size());  // keys after the eighteen follow them
    EXPECT_EQ(written, lines);
}

TEST(SavedTexts, EachRulesText) {
    Settings s = StartupSettings();
    s.sampleRate = -8000;
    s.centerFrequency = 1234.9;
    s.soundCard = 2;
    s.cardChannel = 1;
    s.checkForUpdates = false;
    s.tarLogRaw = true;
    s.fileLogDir = L"C:\\\u0416urnal\\";
    auto texts = SavedTexts(s, kDevices);
    EXPECT_EQ(texts[L"SampleRate"], L"-8000");
    EXPECT_EQ(texts[L"Center"], L"1234");
    EXPECT_EQ(texts[L"SoundCard"], L"Line In (USB Audio)");
    EXPECT_EQ(texts[L"CardChannel"], L"1");
    EXPECT_EQ(texts[L"UpdChk"], L"0");
    EXPECT_EQ(texts[L"TarRaw"], L"1");
    EXPECT_EQ(texts[L"FileDir"], L"C:\\\u0416urnal\\");

    // No device to describe: the key is removed rather than keeping a stale name.
    for (std::int32_t device : {-1, 3})
        EXPECT_FALSE(SavedTexts(Settings{.soundCard = device}, kDevices)[L"SoundCard"].has_value()) << device;
    EXPECT_FALSE(SavedTexts(StartupSettings(), DeviceNames())[L"SoundCard"].has_value());
    // A channel outside the list is saved as the entry it would select.
    EXPECT_EQ(SavedTexts(Settings{.cardChannel = 7}, kDevices)[L"CardChannel"], L"0");
}

TEST(SavedTexts, SaveThenLoadGivesTheSameSettingsWithoutTheCentresFraction) {
    Settings saved = Scrambled();
    saved.sampleRate = 32000;  // not a list rate: kept as the working rate
    saved.centerFrequency = 1500.75;
    saved.soundCard = 1;
    saved.hideDecoderWindow = true;
    saved.checkForUpdates = false;
    std::vector<Stored> stored;
    for (const KeyRule& k : Keys()) {
        const std::optional<std::wstring> text = StoredText(k, saved, kDevices);
        ASSERT_TRUE(text.has_value()) << Narrow(k.key);
        if (ReadsAsText(k.rule))
            stored.emplace_back(std::in_place_type<std::wstring>, *text);
        else
            stored.emplace_back(std::in_place_type<std::int32_t>, std::wcstol(text->c_str(), nullptr, 10));
    }
    Settings expected = saved;
    expected.centerFrequency = 1500;
    EXPECT_EQ(LoadedSettings(stored, StartupSettings(), kDevices), expected);
}
