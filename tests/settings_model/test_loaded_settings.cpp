// Loading and saving the model: what the profile reader's values become, and the texts a save writes.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <optional>
#include <string>
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
    const struct {
        DeviceNames devices;
        std::int32_t device;  // the first containing "Primary Sound Capture Driver", else the previous one
    } cases[] = {{kDevices, 1}, {noPrimary, 2}, {DeviceNames(), 2}};
    for (const auto& c : cases) {
        // "Check for updates" off, "Hide window" on, everything else off or empty.
        const Settings expected{.soundCard = c.device, .sampleRate = 48000, .centerFrequency = 2000,
                                .hideDecoderWindow = true, .logLinesKept = 10000,
                                .storeFile = L"vastrel-messages.db", .keepRecordDays = 7,
                                .alertFilter = L"priority>=urgency", .alertSound = L"Warning"};
        EXPECT_EQ(Load({}, c.devices), expected);
        EXPECT_EQ(LoadedSettings({}, Scrambled(), c.devices), expected);  // a reader that gave nothing at all
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
    const struct {
        std::int32_t rate, centre;  // as the profile reader gives them
        double loaded;
    } cases[] = {
        {48000, 1234, 1234}, {48000, 24000, 24000}, {48000, 24001, 2000}, {48000, -5, 2000}, {8000, 4000, 4000},
        {8000, 4001, 2000},  {0, 100, 2000},        {-8000, 100, 2000},   {32000, 16000, 16000},
        {11025, 5512, 5512}, {11025, 5513, 2000},   {48000, 0, 0},
    };
    for (const auto& c : cases) {
        const Settings s = Load({{L"SampleRate", c.rate}, {L"Center", c.centre}});
        EXPECT_EQ(s.sampleRate, c.rate);
        EXPECT_EQ(s.centerFrequency, c.loaded) << c.rate << " " << c.centre;
    }
}

TEST(LoadedSettings, SwitchesChannelDevicesAndDirectories) {
    for (std::int32_t stored : {0, 1, 5, -3, -1}) {
        const Settings s = Load({{L"UpdChk", stored}, {L"TarMsg", stored}, {L"HideDecWnd", stored}});
        EXPECT_EQ(s.checkForUpdates, stored != 0) << stored;
        EXPECT_EQ(s.tarLogMessages, stored != 0) << stored;
        EXPECT_EQ(s.hideDecoderWindow, stored != 0) << stored;
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
    EXPECT_EQ(s.logLinesKept, 100000);
    EXPECT_EQ(s.keepRecordDays, 365);
    EXPECT_EQ(s.keepMessageDays, 30);
    EXPECT_EQ(s.storeFile, L"D:\\radio\\store.db");
    EXPECT_EQ(s.feedTo, L"127.0.0.1:5555, [::1]:5556");
    EXPECT_EQ(s.feedStation, L"North Sea");
    EXPECT_TRUE(s.feedAll && s.autoRestart && s.logDaily);
    EXPECT_EQ(Load({{L"LogLines", 0}}).logLinesKept, 0);  // "All"
    // A number the list does not offer reads as the start-up entry, never as a hidden value.
    for (std::int32_t odd : {14, -1, 5000, 2147483647}) {
        const Settings o = Load({{L"LogLines", odd}, {L"KeepRecords", odd}, {L"KeepMessages", odd}});
        EXPECT_EQ(o.logLinesKept, 10000) << odd;
        EXPECT_EQ(o.keepRecordDays, 7) << odd;
        EXPECT_EQ(o.keepMessageDays, 0) << odd;
    }
    // An empty store file is kept as empty (no store), not replaced by the default name.
    EXPECT_EQ(Load({{L"StoreFile", std::wstring()}}).storeFile, L"");
}

TEST(SavedTexts, EachRulesText) {
    const Settings s{.soundCard = 2, .sampleRate = -8000, .cardChannel = 1, .centerFrequency = 1234.9,
                     .tarLogRaw = true, .decoderLogDir = L"C:\\\u0416urnal\\"};
    const struct {
        const wchar_t* key;
        std::optional<std::wstring> text;
    } cases[] = {
        {L"SampleRate", L"-8000"}, {L"Center", L"1234"}, {L"SoundCard", L"Line In (USB)"}, {L"CardChannel", L"1"},
        {L"UpdChk", L"0"}, {L"TarRaw", L"1"}, {L"LogDir", L"C:\\\u0416urnal\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(Saved(c.key, s), c.text) << Narrow(c.key);
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
    const struct {
        const wchar_t* stored;
        const wchar_t* loaded;  // what was held before (Scrambled's) when the stored text is no position
    } cases[] = {
        {L"28-39.92N 080-38.33W", L"28-39.92N 080-38.33W"},
        {L" 5022N 00408W ", L" 5022N 00408W "},
        {L"", L""},  // none
        {L"Plymouth", L"50-22.0N 004-08.5W"},
        {L"91-00N 004-00W", L"50-22.0N 004-08.5W"},
        {L"50-22.0N", L"50-22.0N 004-08.5W"},
        {L"50-22.0N 004-08.5W x", L"50-22.0N 004-08.5W"},
        {L"50-22.0N 004-08.5\u0416", L"50-22.0N 004-08.5W"},
    };
    for (const auto& c : cases) EXPECT_EQ(Load({{L"HomePosition", std::wstring(c.stored)}}).homePosition, c.loaded) << Narrow(c.stored);
    // A file written before the key gives none.
    EXPECT_EQ(Load({}).homePosition, L"");
}

TEST(LoadedSettings, AnAlertFilterIsKeptOnlyWhenTheFilterLanguageTakesIt) {
    // `dist` counts from the file's own home position, which is read before the filter.
    const struct {
        const wchar_t* home;  // the file's HomePosition; null: a position
        const wchar_t* stored;
        const wchar_t* loaded;
    } cases[] = {
        {nullptr, L"navarea=I & kind=nav & dist<=100", L"navarea=I & kind=nav & dist<=100"},
        {nullptr, L"priority>=urgency | dist<=200", L"priority>=urgency | dist<=200"},
        {nullptr, L"", L""},
        {nullptr, L"priority>=", L"kept"},
        {nullptr, L"lse=121", L"kept"},
        {L"", L"dist<=100", L"kept"},
    };
    for (const auto& c : cases) {
        std::map<std::wstring, Stored> file = {{L"AlertFilter", std::wstring(c.stored)}};
        file[L"HomePosition"] = std::wstring(c.home ? c.home : L"50-22.0N 004-08.5W");
        Settings before = Scrambled();
        before.alertFilter = L"kept";
        EXPECT_EQ(LoadedSettings(FileWith(file), before, kDevices).alertFilter, c.loaded) << Narrow(c.stored);
    }
    EXPECT_EQ(RefuseAlertFilter(L"priority>=urgency", L""), std::nullopt);
    const std::optional<std::wstring> why = RefuseAlertFilter(L"lse=121", L"");
    ASSERT_TRUE(why);
    EXPECT_NE(why->find(L"unknown field 'lse'"), std::wstring::npos) << Narrow(*why);
}
