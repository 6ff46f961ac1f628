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
constexpr std::uint32_t kStoreColour = palette::kSettingsStoreRows;
constexpr std::uint32_t kFeedColour = palette::kSettingsFeedRows;
constexpr std::uint32_t kStationColour = palette::kSettingsStationRows;
constexpr std::uint32_t kAlertColour = palette::kSettingsAlertRows;

constexpr ChoiceEntry kLogLines[] = {{L"1,000", 1000}, {L"10,000", 10000}, {L"100,000", 100000}, {L"All", 0}};
constexpr ChoiceEntry kKeepDays[] = {
    {L"1 day", 1}, {L"7 days", 7}, {L"30 days", 30}, {L"365 days", 365}, {L"Forever", 0}};

constexpr ChoiceEntry kSilenceMinutes[] = {
    {L"Off", 0}, {L"2 min", 2}, {L"5 min", 5}, {L"10 min", 10}, {L"30 min", 30}};

}  // namespace

const std::array<RowDescription, kRowCount>& Rows() {
    static const std::array<RowDescription, kRowCount> rows = {{
        {kSoundCard, L"Soundcard name", kSoundColour, Kind::DeviceList},
        {kSampleRate, L"Soundcard sample rate", kSoundColour, Kind::RateList},
        {kCardChannel, L"Soundcard channel", kSoundColour, Kind::ChannelList},
        {kCenterFrequency, L"Center frequency", kCentreColour, Kind::CentreText},
        {kCheckForUpdates, L"Check for updates", kSwitchColour, Kind::Check},
        {kHideDecoderWindow, L"Hide window", kSwitchColour, Kind::Check},
        {kDisableFftWhileDecoding, L"Disable FFT when decoder is running", kSwitchColour, Kind::Check},
        {kFileLogDir, L"File logging                          Directory", kFileColour, Kind::Directory},
        {kFileLogEgc, L"File logging                          EGC", kFileColour, Kind::Check},
        {kFileLogMessages, L"File logging                          Messages", kFileColour, Kind::Check},
        {kFileLogRaw, L"File logging                          Raw messages", kFileColour, Kind::Check},
        {kTarLogDir, L"SES-TAR logging                Directory", kTarColour, Kind::Directory},
        {kTarLogEgc, L"SES-TAR logging                EGC", kTarColour, Kind::Check},
        {kTarLogMessages, L"SES-TAR logging                Messages", kTarColour, Kind::Check},
        {kTarLogRaw, L"SES-TAR logging                Raw messages", kTarColour, Kind::Check},
        {kDecoderLogDir, L"Decoder output                   Directory", kSoundColour, Kind::Directory},
        {kDecoderTextLog, L"Decoder output                   Text file log", kSoundColour, Kind::Check},
        {kDecoderLogUseFilter, L"Decoder output                   Use log filter", kSoundColour, Kind::Check},
        {kAutoRestart, L"Decoder output                   Restart when it ends", kSoundColour, Kind::Check},
        {kLogLinesKept, L"Decoder output                   Log lines kept", kSoundColour, Kind::Choice, kLogLines},
        {kLogDaily, L"Decoder output                   New file daily", kSoundColour, Kind::Check},
        {kStoreFile, L"Message store                    File", kStoreColour, Kind::SaveFile},
        {kKeepRecords, L"Message store                    Keep records", kStoreColour, Kind::Choice, kKeepDays},
        {kKeepMessages, L"Message store                    Keep messages", kStoreColour, Kind::Choice, kKeepDays},
        {kFeedTo, L"Feed                                     Destinations", kFeedColour, Kind::Text},
        {kFeedStation, L"Feed                                     Station name", kFeedColour, Kind::Text},
        {kFeedAll, L"Feed                                     Every record", kFeedColour, Kind::Check},
        {kHomePosition, L"Station                                Home position", kStationColour, Kind::Text},
        {kSilenceRestart, L"Decoder output                   Restart after silence", kSoundColour, Kind::Choice,
         kSilenceMinutes},
        {kAlertFilter, L"Alerts                                  Alert when", kAlertColour, Kind::Text},
        {kAlertSound, L"Alerts                                  Alert sound", kAlertColour, Kind::Sound},
        {kAlertProgram, L"Alerts                                  Run on alert", kAlertColour, Kind::Text},
        {kTrayOnMinimise, L"Alerts                                  Hide in tray when minimised", kAlertColour,
         Kind::Check},
    }};
    return rows;
}

ChoiceList LogLineChoices() { return kLogLines; }
ChoiceList KeepDayChoices() { return kKeepDays; }
ChoiceList SilenceChoices() { return kSilenceMinutes; }

int ChoiceIndex(ChoiceList choices, std::int32_t value) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].value == value) return static_cast<int>(i);
    return -1;
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

double ClampLoadedCentre(double hz, std::int32_t workingRate) {
    if (workingRate > 0 && hz >= 0 && hz <= workingRate / 2) return hz;
    return kStartCentreHz;
}

}  // namespace settings
