#include "settings/key_table.h"

#include <type_traits>

namespace settings {
namespace {

// One maker per rule, so that a line cannot pair a rule with a field of the wrong type.
using IntField = std::int32_t Settings::*;

KeyRule Integer(const wchar_t* key, Row row, IntField field, std::int32_t startup, std::int32_t missing) {
    return {key, row, TextRule::Integer, field, startup, missing};
}
KeyRule Centre(const wchar_t* key, Row row, double Settings::*field, double startup, std::int32_t missing) {
    return {key, row, TextRule::Centre, field, startup, missing};
}
KeyRule Device(const wchar_t* key, Row row, IntField field, std::int32_t startup, const wchar_t* missing) {
    return {key, row, TextRule::Device, field, startup, std::wstring(missing)};
}
KeyRule Channel(const wchar_t* key, Row row, IntField field, std::int32_t startup, std::int32_t missing) {
    return {key, row, TextRule::Channel, field, startup, missing};
}
KeyRule Switch(const wchar_t* key, Row row, bool Settings::*field, bool startup, std::int32_t missing) {
    return {key, row, TextRule::Switch, field, startup, missing};
}
KeyRule Directory(const wchar_t* key, Row row, std::wstring Settings::*field, const wchar_t* startup,
                  const wchar_t* missing) {
    return {key, row, TextRule::Directory, field, std::wstring(startup), std::wstring(missing)};
}

KeyRule Text(const wchar_t* key, Row row, std::wstring Settings::*field, const wchar_t* startup) {
    return {key, row, TextRule::Text, field, std::wstring(startup), std::wstring(startup)};
}
KeyRule Position(const wchar_t* key, Row row, std::wstring Settings::*field) {
    return {key, row, TextRule::Position, field, std::wstring(), std::wstring()};
}
KeyRule FilterText(const wchar_t* key, Row row, std::wstring Settings::*field, const wchar_t* startup) {
    return {key, row, TextRule::Filter, field, std::wstring(startup), std::wstring(startup)};
}
KeyRule Choice(const wchar_t* key, Row row, IntField field, std::int32_t startup) {
    return {key, row, TextRule::Choice, field, startup, startup};
}

}  // namespace

const std::vector<KeyRule>& Keys() {
    using S = Settings;
    // "UpdChk" starts set but a file without it clears it; "HideDecWnd" starts set and stays set.
    // A new key is one more line at the end: files written before it read its Missing value.
    static const std::vector<KeyRule> keys = {
        // key, grid row, field of Settings, start-up value, what a file without the key gives
        Integer(L"SampleRate", kSampleRate, &S::sampleRate, 48000, 48000),
        Centre(L"Center", kCenterFrequency, &S::centerFrequency, 2000.0, 2000),
        Device(L"SoundCard", kSoundCard, &S::soundCard, 0, L"Primary Sound Capture Driver"),
        Channel(L"CardChannel", kCardChannel, &S::cardChannel, 0, 0),
        Switch(L"UpdChk", kCheckForUpdates, &S::checkForUpdates, true, 0),
        Switch(L"FileEGC", kFileLogEgc, &S::fileLogEgc, false, 0),
        Switch(L"FileMsg", kFileLogMessages, &S::fileLogMessages, false, 0),
        Switch(L"FileRaw", kFileLogRaw, &S::fileLogRaw, false, 0),
        Switch(L"TarEGC", kTarLogEgc, &S::tarLogEgc, false, 0),
        Switch(L"TarMsg", kTarLogMessages, &S::tarLogMessages, false, 0),
        Switch(L"TarRaw", kTarLogRaw, &S::tarLogRaw, false, 0),
        Switch(L"HideDecWnd", kHideDecoderWindow, &S::hideDecoderWindow, true, -1),
        Switch(L"DisableFFT", kDisableFftWhileDecoding, &S::disableFftWhileDecoding, false, 0),
        Switch(L"LogOut", kDecoderTextLog, &S::decoderTextLog, false, 0),
        Switch(L"LogOutFlt", kDecoderLogUseFilter, &S::decoderLogUseFilter, false, 0),
        Directory(L"FileDir", kFileLogDir, &S::fileLogDir, L"", L""),
        Directory(L"TarDir", kTarLogDir, &S::tarLogDir, L"", L""),
        Directory(L"LogDir", kDecoderLogDir, &S::decoderLogDir, L"", L""),
        // Added after the eighteen: a file without them gets the start-up value.
        Switch(L"AutoRestart", kAutoRestart, &S::autoRestart, false, 0),
        Choice(L"LogLines", kLogLinesKept, &S::logLinesKept, 10000),
        Switch(L"LogDaily", kLogDaily, &S::logDaily, false, 0),
        Text(L"StoreFile", kStoreFile, &S::storeFile, L"vastrel-messages.db"),
        Choice(L"KeepRecords", kKeepRecords, &S::keepRecordDays, 7),
        Choice(L"KeepMessages", kKeepMessages, &S::keepMessageDays, 0),
        Text(L"FeedTo", kFeedTo, &S::feedTo, L""),
        Text(L"FeedStation", kFeedStation, &S::feedStation, L""),
        Switch(L"FeedAll", kFeedAll, &S::feedAll, false, 0),
        Position(L"HomePosition", kHomePosition, &S::homePosition),
        Choice(L"SilenceRestart", kSilenceRestart, &S::silenceRestartMinutes, 0),
        FilterText(L"AlertFilter", kAlertFilter, &S::alertFilter, L"priority>=urgency"),
        Text(L"AlertSound", kAlertSound, &S::alertSound, L"Warning"),
        Text(L"AlertProgram", kAlertProgram, &S::alertProgram, L""),
        Switch(L"TrayOnMinimise", kTrayOnMinimise, &S::trayOnMinimise, false, 0),
    };
    return keys;
}

Settings StartupSettings() {
    Settings s;
    for (const KeyRule& k : Keys()) {
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(s.*member)>;
                s.*member = std::get<T>(k.startup);
            },
            k.field);
    }
    return s;
}

bool ReadsAsText(TextRule rule) {
    return rule == TextRule::Device || rule == TextRule::Directory || rule == TextRule::Text || rule == TextRule::Position ||
           rule == TextRule::Filter;
}

}  // namespace settings
