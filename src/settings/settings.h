// The setting rows of the grid (label, colour, editor kind) and the fixed lists behind the
// index-valued settings: the eighteen of the original grid, then the rows added since, group by
// group. Keys and values are in key_table.h.
#pragma once
#include <array>
#include <cstdint>
#include <span>
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
    kFirstAddedRow = 18,
    // "Decoder output", continued: running unattended.
    kAutoRestart = 18,
    kLogLinesKept = 19,
    kLogDaily = 20,
    // "Message store".
    kStoreFile = 21,
    kKeepRecords = 22,
    kKeepMessages = 23,
    // "Feed".
    kFeedTo = 24,
    kFeedStation = 25,
    kFeedAll = 26,
    // "Station".
    kHomePosition = 27,
    // "Decoder output", continued: the silence watch (after the feed rows: rows only ever go at the end).
    kSilenceRestart = 28,
    // "Alerts".
    kAlertFilter = 29,
    kAlertSound = 30,
    kAlertProgram = 31,
    kTrayOnMinimise = 32,
    kRowCount = 33,
};

// Choice: a list whose entries stand for numbers (ChoiceEntry). Text: a text typed in place.
// SaveFile: a text typed in place, with a browse button that opens a save dialog. Sound: a text typed
// in place ("None", "Warning" or a WAV file), with a browse button that opens an open dialog.
enum class Kind { DeviceList, RateList, ChannelList, CentreText, Check, Directory, Choice, Text, SaveFile, Sound };

// One entry of a Choice row: what the list shows and the number it stands for.
struct ChoiceEntry {
    const wchar_t* text;
    std::int32_t value;
};
using ChoiceList = std::span<const ChoiceEntry>;

struct RowDescription {
    Row row;
    const wchar_t* label;     // exact, blanks included
    std::uint32_t labelRgb;   // 0x00RRGGBB
    Kind kind;
    ChoiceList choices = {};  // Choice rows only
};

const std::array<RowDescription, kRowCount>& Rows();

// The Choice entries of "Log lines kept" (0 = all) and of the two keep rows (days, 0 = forever).
ChoiceList LogLineChoices();
ChoiceList KeepDayChoices();
// The Choice entries of "Restart after silence" (minutes, 0 = Off).
ChoiceList SilenceChoices();
// The index of `value` among `choices`, or -1.
int ChoiceIndex(ChoiceList choices, std::int32_t value);

constexpr std::array<std::int32_t, 7> kSampleRates = {8000, 11025, 22050, 44100, 48000, 96000, 192000};
constexpr int kStartSampleRateIndex = 4;
const std::array<const wchar_t*, 7>& SampleRateEntries();  // "8000 Hz" ... "192000 Hz"
const std::array<const wchar_t*, 3>& ChannelEntries();     // "Mono", "Left channel", "Right channel"

// The centre the rules fall back to where a value cannot be kept (the key table's start-up centre).
constexpr double kStartCentreHz = 2000.0;

// Index of `rate` in the list, or -1 when it is not one of the seven.
int SampleRateIndex(std::int32_t rate);
// The rate of a list index; an index outside the list gives the start-up rate (48000).
std::int32_t SampleRateAt(int index);

// "%.0lf Hz" of a centre frequency.
std::wstring CentreText(double hz);

// A centre frequency just loaded: kept when the display can show it (0 ... half the working rate,
// halved as an integer), otherwise the start-up 2000 Hz.
double ClampLoadedCentre(double hz, std::int32_t workingRate);

}  // namespace settings
