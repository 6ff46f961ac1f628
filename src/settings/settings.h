// The eighteen user settings: which grid row holds each, its key in a configuration file, its
// start-up and Missing values, and the fixed lists behind the index-valued ones.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace settings {

enum Row : int {
    kSoundCard = 0,
    kSampleRate = 1,
    kCardChannel = 2,
    kCenterFrequency = 3,
    kCheckForUpdates = 4,
    kHideDecoderWindow = 5,
    kDisableFftWhileDecoding = 6,
    kFileLogDir = 7,
    kFileLogEgc = 8,
    kFileLogMessages = 9,
    kFileLogRaw = 10,
    kTarLogDir = 11,
    kTarLogEgc = 12,
    kTarLogMessages = 13,
    kTarLogRaw = 14,
    kDecoderLogDir = 15,
    kDecoderTextLog = 16,
    kDecoderLogUseFilter = 17,
    kRowCount = 18,
};

enum class Kind { DeviceList, RateList, ChannelList, CentreText, Check, Directory };

struct RowDescription {
    Row row;
    const wchar_t* label;     // exact, blanks included
    std::uint32_t labelRgb;   // 0x00RRGGBB
    Kind kind;
    const wchar_t* key;       // configuration-file key
    bool startChecked;        // check rows: the start-up state
    std::int32_t missingInt;  // what a file without the key gives (integers and booleans)
};

const std::array<RowDescription, kRowCount>& Rows();

constexpr std::array<std::int32_t, 7> kSampleRates = {8000, 11025, 22050, 44100, 48000, 96000, 192000};
constexpr int kStartSampleRateIndex = 4;
const std::array<const wchar_t*, 7>& SampleRateEntries();  // "8000 Hz" ... "192000 Hz"
const std::array<const wchar_t*, 3>& ChannelEntries();     // "Mono", "Left channel", "Right channel"

constexpr const wchar_t* kSection = L"Settings";
constexpr const wchar_t* kMissingSoundCard = L"Primary Sound Capture Driver";
constexpr double kStartCentreHz = 2000.0;

// Index of `rate` in the list, or -1 when it is not one of the seven.
int SampleRateIndex(std::int32_t rate);
// The rate of a list index; an index outside the list gives the start-up rate (48000).
std::int32_t SampleRateAt(int index);

// "%.0lf Hz" of a centre frequency.
std::wstring CentreText(double hz);

// Keys in the order a save writes them and the order a load reads them.
const std::array<Row, kRowCount>& WriteOrder();
const std::array<Row, kRowCount>& ReadOrder();

// A centre frequency read from a file as the platform's unsigned profile integer: kept when the
// display can show it (0 ... half the working rate), otherwise the start-up 2000 Hz.
double ClampLoadedCentre(std::int64_t readValue, std::int32_t workingRate);

}  // namespace settings
