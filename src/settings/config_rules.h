// The value forms of a configuration file that do not depend on the platform's profile reader:
// how numbers are written, how a stored device text picks a device, which channel a number selects.
#pragma once
#include <cstdint>
#include <string>

namespace settings {

// Decimal text of an integer, "-" for negatives.
std::wstring IntegerText(std::int64_t value);

// The centre frequency as stored: fraction cut off toward zero. Values that no integer can hold
// (NaN, infinities, beyond the 64-bit range) are stored as the start-up 2000 Hz.
std::wstring CentreFileText(double hz);

// "1" or "0".
const wchar_t* BoolText(bool value);

// First of `count` descriptions that contains `text` (case-sensitive), or -1. Null entries are
// skipped; an empty text matches the first entry.
int FindDevice(const std::wstring& text, const wchar_t* const* names, int count);

// The channel entry a stored number selects: 0 to 2 as stored, anything else the first entry.
int ChannelFromFile(std::int64_t value);

// The first bytes of a new configuration file: UTF-16 LE byte order mark, so that the profile
// writer keeps the file in Unicode and directory or device texts survive in any language.
constexpr unsigned char kUnicodeMark[2] = {0xFF, 0xFE};

}  // namespace settings
