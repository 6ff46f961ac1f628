#include "settings/settings.h"

#include <cmath>
#include <cstdio>

#include "theme/palette.h"

namespace settings {
namespace {

constexpr std::uint32_t kSoundColour = palette::kSettingsSoundRows;
constexpr std::uint32_t kCentreColour = palette::kSettingsCentreRow;
constexpr std::uint32_t kSwitchColour = palette::kSettingsSwitchRows;
constexpr std::uint32_t kFileColour = palette::kSettingsFileLogRows;
constexpr std::uint32_t kTarColour = palette::kSettingsTarLogRows;

}  // namespace

const std::array<RowDescription, kRowCount>& Rows() {
    static const std::array<RowDescription, kRowCount> rows = {{
        {kSoundCard, L"Soundcard name", kSoundColour, Kind::DeviceList, L"SoundCard", false, 0},
        {kSampleRate, L"Soundcard sample rate", kSoundColour, Kind::RateList, L"SampleRate", false, 48000},
        {kCardChannel, L"Soundcard channel", kSoundColour, Kind::ChannelList, L"CardChannel", false, 0},
        {kCenterFrequency, L"Center frequency", kCentreColour, Kind::CentreText, L"Center", false, 2000},
        {kCheckForUpdates, L"Check for updates", kSwitchColour, Kind::Check, L"UpdChk", true, 0},
        {kHideDecoderWindow, L"Hide window", kSwitchColour, Kind::Check, L"HideDecWnd", true, -1},
        {kDisableFftWhileDecoding, L"Disable FFT when decoder is running", kSwitchColour, Kind::Check, L"DisableFFT",
         false, 0},
        {kFileLogDir, L"File logging                          Directory", kFileColour, Kind::Directory, L"FileDir",
         false, 0},
        {kFileLogEgc, L"File logging                          EGC", kFileColour, Kind::Check, L"FileEGC", false, 0},
        {kFileLogMessages, L"File logging                          Messages", kFileColour, Kind::Check, L"FileMsg",
         false, 0},
        {kFileLogRaw, L"File logging                          Raw messages", kFileColour, Kind::Check, L"FileRaw",
         false, 0},
        {kTarLogDir, L"SES-TAR logging                Directory", kTarColour, Kind::Directory, L"TarDir", false, 0},
        {kTarLogEgc, L"SES-TAR logging                EGC", kTarColour, Kind::Check, L"TarEGC", false, 0},
        {kTarLogMessages, L"SES-TAR logging                Messages", kTarColour, Kind::Check, L"TarMsg", false, 0},
        {kTarLogRaw, L"SES-TAR logging                Raw messages", kTarColour, Kind::Check, L"TarRaw", false, 0},
        {kDecoderLogDir, L"Decoder output                   Directory", kSoundColour, Kind::Directory, L"LogDir",
         false, 0},
        {kDecoderTextLog, L"Decoder output                   Text file log", kSoundColour, Kind::Check, L"LogOut",
         false, 0},
        {kDecoderLogUseFilter, L"Decoder output                   Use log filter", kSoundColour, Kind::Check,
         L"LogOutFlt", false, 0},
    }};
    return rows;
}

const std::array<const wchar_t*, 7>& SampleRateEntries() {
    static const std::array<const wchar_t*, 7> entries = {L"8000 Hz",  L"11025 Hz", L"22050 Hz", L"44100 Hz",
                                                          L"48000 Hz", L"96000 Hz", L"192000 Hz"};
    return entries;
}

const std::array<const wchar_t*, 3>& ChannelEntries() {
    static const std::array<const wchar_t*, 3> entries = {L"Mono", L"Left channel", L"Right channel"};
    return entries;
}

int SampleRateIndex(std::int32_t rate) {
    for (size_t i = 0; i < kSampleRates.size(); ++i)
        if (kSampleRates[i] == rate) return static_cast<int>(i);
    return -1;
}

std::int32_t SampleRateAt(int index) {
    if (index < 0 || index >= static_cast<int>(kSampleRates.size())) return kSampleRates[kStartSampleRateIndex];
    return kSampleRates[static_cast<size_t>(index)];
}

std::wstring CentreText(double hz) {
    wchar_t text[64] = {};
    std::swprintf(text, 64, L"%.0f Hz", hz);
    return text;
}

const std::array<Row, kRowCount>& WriteOrder() {
    static const std::array<Row, kRowCount> order = {
        kSampleRate,  kCenterFrequency,  kSoundCard,      kCardChannel,      kCheckForUpdates,
        kFileLogEgc,  kFileLogMessages,  kFileLogRaw,     kTarLogEgc,        kTarLogMessages,
        kTarLogRaw,   kHideDecoderWindow, kDisableFftWhileDecoding, kDecoderTextLog, kDecoderLogUseFilter,
        kFileLogDir,  kTarLogDir,        kDecoderLogDir};
    return order;
}

const std::array<Row, kRowCount>& ReadOrder() {
    static const std::array<Row, kRowCount> order = {
        kSampleRate, kCenterFrequency, kSoundCard,  kCardChannel,    kCheckForUpdates, kHideDecoderWindow,
        kFileLogDir, kFileLogEgc,      kFileLogMessages, kFileLogRaw, kTarLogDir,       kTarLogEgc,
        kTarLogMessages, kTarLogRaw,   kDisableFftWhileDecoding, kDecoderLogDir, kDecoderTextLog,
        kDecoderLogUseFilter};
    return order;
}

double ClampLoadedCentre(std::int64_t readValue, std::int32_t workingRate) {
    // The profile reader hands back a signed 32-bit value that the file format treats as unsigned:
    // "-5" would become 4294967291 Hz. Only what the display can show is kept.
    const std::int64_t unsignedValue = static_cast<std::uint32_t>(static_cast<std::int32_t>(readValue));
    if (workingRate > 0 && unsignedValue <= workingRate / 2) return static_cast<double>(unsignedValue);
    return kStartCentreHz;
}

}  // namespace settings
