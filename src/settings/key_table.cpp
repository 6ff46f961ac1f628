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

bool ReadsAsText(TextRule rule) { return rule == TextRule::Device || rule == TextRule::Directory; }

}  // namespace settings
