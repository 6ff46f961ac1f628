// The text rules of a configuration file, apart from the platform's profile reader and writer: how
// each value is written, how what the reader gives becomes a setting, which device a stored text picks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "settings/key_table.h"
#include "settings/settings_model.h"
#include "warnings/position.h"

namespace settings {

// Texts longer than this are cut when read (the profile reader's buffer holds one more, the terminator).
constexpr std::size_t kMaxStoredText = 255;

// Decimal text of an integer, "-" for negatives.
std::wstring IntegerText(std::int64_t value);

// The centre frequency as stored: fraction cut off toward zero. Values that no integer can hold
// (NaN, infinities, beyond the 64-bit range) are stored as the start-up 2000 Hz.
std::wstring CentreFileText(double hz);

// The centre a profile integer stands for: the file holds it unsigned, so "-5" is 4294967291 Hz.
double CentreFromProfile(std::int32_t read);

// "1" or "0".
const wchar_t* BoolText(bool value);

// First of the descriptions that contains `text` (case-sensitive), or -1. Null entries are
// skipped; an empty text matches the first entry.
int FindDevice(const std::wstring& text, DeviceNames names);

// The description `index` selects, or null when it names no device.
const wchar_t* DeviceAt(std::int32_t index, DeviceNames names);

// The channel entry a stored number selects: 0 to 2 as stored, anything else the first entry.
int ChannelFromFile(std::int64_t value);

// The text a save writes for key `k` of `s`; none when the key is to be removed instead (no device
// to describe: a stale name would select some other card on the next load).
std::optional<std::wstring> StoredText(const KeyRule& k, const Settings& s, DeviceNames devices);

// The settings a load gives: `stored` holds what the profile reader gave for each key of Keys(), in
// that order, each in the form ReadsAsText says (the reader puts in the Missing value for an absent key;
// entries past the end of `stored`, or of the wrong form, count as absent). They are applied over
// `current`, which keeps what a file cannot place: the device selection when no description contains the
// stored text. A loaded centre outside the loaded rate's band becomes the start-up 2000 Hz.
Settings LoadedSettings(std::span<const Stored> stored, const Settings& current, DeviceNames devices);

// The home position a setting's text gives: none for an empty text or one that is no position.
std::optional<warnings::GeoPoint> HomePositionOf(const std::wstring& text);

// Why `text` cannot be the home position ("'...' is not a position: ..."), or nothing when it can
// (a position, or empty for none). The grid shows the message and keeps the value it had.
std::optional<std::wstring> RefuseHomePosition(const std::wstring& text);

// Why `text` cannot be the alert filter (the filter language's own message), or nothing when it can.
// `homeText` is the home position in force, which a `dist` term needs.
std::optional<std::wstring> RefuseAlertFilter(const std::wstring& text, const std::wstring& homeText);

// The first bytes of a new configuration file: UTF-16 LE byte order mark, so that the profile
// writer keeps the file in Unicode and directory or device texts survive in any language.
constexpr unsigned char kUnicodeMark[2] = {0xFF, 0xFE};

}  // namespace settings
