// Loading and saving the model: what the profile reader's values become, and the texts a save writes.
#include <gtest/gtest.h>

#include <array>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "settings/config_rules.h"
#include "settings_printer.h"

using namespace settings;

namespace {

const wchar_t* const kDevices[] = {L"Microphone (USB Audio)", L"Primary Sound Capture Driver", L"Line In (USB)"};

// What the profile reader gives for a file holding just `present`: the Missing value for every other key.
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
    Settings s{.soundCard = 2, .sampleRate = 8000, .cardChannel = 2, .centerFrequency = 3000};
    s.checkForUpdates = s.disableFftWhileDecoding = s.fileLogEgc = s.fileLogMessages = s.fileLogRaw = true;
    s.tarLogEgc = s.tarLogMessages = s.tarLogRaw = s.decoderTextLog = s.decoderLogUseFilter = true;
    s.fileLogDir = s.tarLogDir = s.decoderLogDir = L"C:\\logs";
    s.homePosition = L"50-22.0N 004-08.5W";
    return s;
}

Settings Load(const std::map<std::wstring, Stored>& present, DeviceNames devices = kDevices) {
    return LoadedSettings(FileWith(present), Scrambled(), devices);
}

std::optional<std::wstring> Saved(const wchar_t* key, const Settings& s, DeviceNames devices = kDevices) {
    for (const KeyRule& k : Keys())
        if (std::wstring(k.key) == key) return StoredText(k, s, devices);
    ADD_FAILURE() << "no key " << Narrow(key);
    return std::nullopt;
}

}  // namespace

TEST(LoadedSettings, AFileWithoutKeysGivesTheMissingValues) {
    const wchar_t* const noPrimary[] = {L"Microphone", L"Line In"};
    // The device: the first containing "Primary Sound Capture Driver", else the previous one.
    const std::pair<DeviceNames, std::int32_t> cases[] = {{kDevices, 1}, {noPrimary, 2}, {DeviceNames(), 2}};
    for (const auto& [devices, device] : cases) {
        // "Check for updates" off, "Hide window" on, everything else off or empty.
        const Settings expected{.soundCard = device, .sampleRate = 48000, .centerFrequency = 2000,
                                .hideDecoderWindow = true, .logLinesKept = 10000,
                                .storeFile = L"vastrel-messages.db", .keepRecordDays = 7,
                                .alertFilter = L"priority>=urgency", .alertSound = L"Warning"};
        EXPECT_EQ(Load({}, devices), expected);
        EXPECT_EQ(LoadedSettings({}, Scrambled(), devices), expected);  // a reader that gave nothing at all
    }
}

TEST(LoadedSettings, KeysAfterThoseTheFileHoldsReadAsMissing) {
    // A file written before later keys existed: what it holds counts, the rest read as missing.
    const std::vector<Stored> full = FileWith({{L"SampleRate", 44100}, {L"Center", 1000}, {L"UpdChk", 1}});
    for (std::size_t held = 0; held <= full.size(); ++held) {
        const Settings s = LoadedSettings(std::span(full).first(held), Scrambled(), kDevices);
        EXPECT_EQ(s.sampleRate, held >= 1 ? 44100 : 48000) << held;
        EXPECT_EQ(s.centerFrequency, held >= 2 ? 1000.0 : 2000.0) << held;
        EXPECT_EQ(s.checkForUpdates, held >= 5) << held;
    }
    // A value of the wrong form (a text where a number belongs) counts as absent.
    std::vector<Stored> wrong = FileWith({});
    wrong[0] = std::wstring(L"44100");
    EXPECT_EQ(LoadedSettings(wrong, Scrambled(), kDevices).sampleRate, 48000);
}

TEST(LoadedSettings, AnyRateIsTheWorkingRateAndTheCentreStaysInsideItsBand) {
    const std::tuple<std::int32_t, std::int32_t, double> cases[] = {{48000, 1234, 1234}, {48000, 24000, 24000}, {48000, 24001, 2000}, {48000, -5, 2000},
                 {8000, 4000, 4000},  {8000, 4001, 2000},    {0, 100, 2000},       {-8000, 100, 2000},
                 {32000, 16000, 16000}, {11025, 5512, 5512}, {11025, 5513, 2000},  {48000, 0, 0}};
    for (const auto& [rate, centre, loaded] : cases) {  // the rate and centre as the profile reader gives them
        const Settings s = Load({{L"SampleRate", rate}, {L"Center", centre}});
        EXPECT_EQ(s.sampleRate, rate);
        EXPECT_EQ(s.centerFrequency, loaded) << rate << " " << centre;
    }
}

TEST(LoadedSettings, SwitchesChannelDevicesAndDirectories) {
    for (std::int32_t stored : {0, 1, 5, -3, -1}) {
        const Settings s = Load({{L"UpdChk", stored}, {L"TarMsg", stored}, {L"HideDecWnd", stored}});
        const bool on = stored != 0;
        EXPECT_TRUE(s.checkForUpdates == on && s.tarLogMessages == on && s.hideDecoderWindow == on) << stored;
    }
    EXPECT_EQ(Load({{L"CardChannel", 7}}).cardChannel, 0);
    EXPECT_EQ(Load({{L"CardChannel", 1}}).cardChannel, 1);
    // The first description containing the text; no match, or no device at all, keeps the selection (2).
    EXPECT_EQ(Load({{L"SoundCard", std::wstring(L"USB")}}).soundCard, 0);
    EXPECT_EQ(Load({{L"SoundCard", std::wstring(L"usb")}}).soundCard, 2);
    EXPECT_EQ(Load({{L"SoundCard", std::wstring(L"")}}, DeviceNames()).soundCard, 2);
    const Settings dirs = Load({{L"TarDir", std::wstring(L"D:\\\u65e5\u672c")}});
    EXPECT_EQ(dirs.tarLogDir, L"D:\\\u65e5\u672c");
    EXPECT_EQ(dirs.fileLogDir, L"");
}

TEST(LoadedSettings, ChoicesTakeOnlyTheirEntriesAndTextsAreKept) {
    const Settings s = Load({{L"LogLines", 100000}, {L"KeepRecords", 365}, {L"KeepMessages", 30},
                             {L"StoreFile", std::wstring(L"D:\\radio\\store.db")},
                             {L"FeedTo", std::wstring(L"127.0.0.1:5555, [::1]:5556")},
                             {L"FeedStation", std::wstring(L"North Sea")}, {L"FeedAll", 1}, {L"AutoRestart", 1},
                             {L"LogDaily", 1}});
    EXPECT_EQ((std::array{s.logLinesKept, s.keepRecordDays, s.keepMessageDays}), (std::array{100000, 365, 30}));
    EXPECT_EQ((std::array{s.storeFile, s.feedTo, s.feedStation}),
              (std::array<std::wstring, 3>{L"D:\\radio\\store.db", L"127.0.0.1:5555, [::1]:5556", L"North Sea"}));
    EXPECT_TRUE(s.feedAll && s.autoRestart && s.logDaily);
    EXPECT_EQ(Load({{L"LogLines", 0}}).logLinesKept, 0);  // "All"
    // A number the list does not offer reads as the start-up entry, never as a hidden value.
    for (std::int32_t odd : {14, -1, 5000, 2147483647}) {
        const Settings o = Load({{L"LogLines", odd}, {L"KeepRecords", odd}, {L"KeepMessages", odd}});
        EXPECT_EQ((std::array{o.logLinesKept, o.keepRecordDays, o.keepMessageDays}), (std::array{10000, 7, 0})) << odd;
    }
    // An empty store file is kept as empty (no store), not replaced by the default name.
    EXPECT_EQ(Load({{L"StoreFile", std::wstring()}}).storeFile, L"");
}

TEST(SavedTexts, EachRulesText) {
    const Settings s{.soundCard = 2, .sampleRate = -8000, .cardChannel = 1, .centerFrequency = 1234.9,
                     .tarLogRaw = true, .decoderLogDir = L"C:\\\u0416urnal\\"};
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"SampleRate", L"-8000"}, {L"Center", L"1234"}, {L"SoundCard", L"Line In (USB)"}, {L"CardChannel", L"1"},
        {L"UpdChk", L"0"},         {L"TarRaw", L"1"},    {L"LogDir", L"C:\\\u0416urnal\\"}};
    for (const auto& [key, text] : cases) EXPECT_EQ(Saved(key, s), text) << Narrow(key);
    // No device to describe: the key is removed rather than keeping a stale name.
    EXPECT_EQ(Saved(L"SoundCard", Settings{.soundCard = -1}), std::nullopt);
    EXPECT_EQ(Saved(L"SoundCard", Settings{.soundCard = 3}), std::nullopt);
    EXPECT_EQ(Saved(L"SoundCard", Settings{}, DeviceNames()), std::nullopt);
    // A channel outside the list is saved as the entry it would select.
    EXPECT_EQ(Saved(L"CardChannel", Settings{.cardChannel = 7}), L"0");
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
        const std::wstring text = StoredText(k, saved, kDevices).value_or(L"?");
        if (ReadsAsText(k.rule))
            stored.emplace_back(std::in_place_type<std::wstring>, text);
        else
            stored.emplace_back(std::in_place_type<std::int32_t>, std::wcstol(text.c_str(), nullptr, 10));
    }
    Settings expected = saved;
    expected.centerFrequency = 1500;
    EXPECT_EQ(LoadedSettings(stored, StartupSettings(), kDevices), expected);
}

TEST(LoadedSettings, AHomePositionIsKeptOnlyWhenItIsOne) {
    // What was held before (Scrambled's) stays when the stored text is no position.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"28-39.92N 080-38.33W", L"28-39.92N 080-38.33W"}, {L" 5022N 00408W ", L" 5022N 00408W "},
        {L"", L""},  // none
        {L"Plymouth", L"50-22.0N 004-08.5W"},               {L"91-00N 004-00W", L"50-22.0N 004-08.5W"},
    };
    for (const auto& [stored, loaded] : cases) EXPECT_EQ(Load({{L"HomePosition", std::wstring(stored)}}).homePosition, loaded) << Narrow(stored);
    // A file written before the key gives none.
    EXPECT_EQ(Load({}).homePosition, L"");
}

TEST(LoadedSettings, AnAlertFilterIsKeptOnlyWhenTheFilterLanguageTakesIt) {
    // `dist` counts from the file's own home position (read before the filter); a refused filter keeps
    // the one held before.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {  // home, stored, loaded
        {L"50-22.0N 004-08.5W", L"navarea=I & kind=nav & dist<=100", L"navarea=I & kind=nav & dist<=100"},
        {L"50-22.0N 004-08.5W", L"", L""}, {L"50-22.0N 004-08.5W", L"lse=121", L"kept"}, {L"", L"dist<=100", L"kept"}};
    for (const auto& [home, stored, loaded] : cases) {
        Settings before = Scrambled();
        before.alertFilter = L"kept";
        const auto file = FileWith({{L"AlertFilter", std::wstring(stored)}, {L"HomePosition", std::wstring(home)}});
        EXPECT_EQ(LoadedSettings(file, before, kDevices).alertFilter, loaded) << Narrow(stored);
    }
    EXPECT_EQ(RefuseAlertFilter(L"priority>=urgency", L""), std::nullopt);
    const std::optional<std::wstring> why = RefuseAlertFilter(L"lse=121", L"");
    ASSERT_TRUE(why);
    EXPECT_NE(why->find(L"unknown field 'lse'"), std::wstring::npos) << Narrow(*why);
}
