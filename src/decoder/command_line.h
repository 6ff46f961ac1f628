// The decoder's command line, its instance name and the text-log file name.
//
// Portable: no Windows header. Everything is UTF-16 (std::wstring) because the front end hands the
// command line to CreateProcessW and shows refusals in message boxes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/settings_model.h"

namespace decoder {

// Program name that opens every decoder command line; found by the platform's search for a program
// named without a path (in practice the current directory).
inline constexpr std::wstring_view kDecoderProgram = L"vastrel.exe";

// The device option keeps at most this many UTF-16 units of the capture device description.
inline constexpr std::size_t kMaxDeviceChars = 31;

// A decoder start's settings: the settings model as it stands, with what the start adds to it.
struct LaunchSettings {
    settings::Settings settings;  // centre, channel, switches and directories, in the model's own names
    std::wstring soundCard;       // description of settings.soundCard's device; empty = none exists
    std::wstring instanceName;    // from MakeInstanceName, e.g. "gui1F2E3D4C"
};

// Why a command line could not be built. A quotation mark cannot be passed inside a quoted argument
// under the platform's argument rules, so such a setting is refused instead of silently split.
enum class CommandLineFault {
    None,
    QuoteInDevice,       // "Soundcard name"
    QuoteInFileLogDir,   // "File logging ... Directory"
    QuoteInTarLogDir,    // "SES-TAR logging ... Directory"
    BadFrequency,        // centre frequency not a finite number
    BadInstanceName,     // empty, or holds characters other than letters, digits, '_' and '-'
    BadProgramName,      // a program name with a quotation mark
};

struct CommandLineResult {
    std::wstring commandLine;                          // empty when refused
    CommandLineFault fault = CommandLineFault::None;
    bool ok() const noexcept { return fault == CommandLineFault::None; }
};

// Builds
//   vastrel.exe -f<centre> "-c<device>"<channel><-n ><-l emr>< -t emr>< "-df<dir>">< "-dt<dir>">< -h> -p<name>
// for example
//   vastrel.exe -f2000 "-cPrimary Sound Capture Driver"  -h -pgui1F2E3D4C
//   vastrel.exe -f1500 "-cLine In" -cL -n -lmr -te "-dfC:\logs" -h -pgui1F2E3D4C
// - centre: rounded to a whole number (ties to even on the exact binary value), e.g. 1500.4 -> 1500.
// - device: the first 31 UTF-16 units of soundCard (30 when the 31st would split a surrogate pair).
//   With no capture device at all (empty soundCard) the option is "-c" with an empty name, which asks
//   the decoder for its own default capture device.
// - channel: " " for 0, " -cL " for 1, " -cR " for any other value. The blank before "-cL"/"-cR" keeps
//   them out of the quoted device argument, where the platform's splitting would otherwise put them.
// - A device or directory that ends in backslashes gets those backslashes doubled, so the closing
//   quotation mark still closes the argument; every other character is passed as it is.
// `program` replaces kDecoderProgram (quoted when it holds a blank), for launching a stand-in decoder.
CommandLineResult BuildCommandLine(const LaunchSettings& s, std::wstring_view program = kDecoderProgram);

// Name of the refused setting as the settings grid labels it (empty for None).
std::wstring_view FaultSettingName(CommandLineFault fault);
// A complete sentence for a message box, naming the refused setting.
std::wstring FaultMessage(CommandLineFault fault);

// "gui%X" of `value` (upper-case hexadecimal, no leading zeros).
std::wstring FormatInstanceName(std::uint32_t value);
// "gui%X" of the tick count combined by exclusive-or with a value identifying the main-window object
// (its address; both halves of a 64-bit address are folded in).
std::wstring MakeInstanceName(std::uint32_t tickCount, std::uintptr_t identity);

// \\.\pipe\<name>, the decoder's output pipe.
std::wstring PipePath(std::wstring_view instanceName);
// <name>_terminate, the decoder's stop event.
std::wstring StopEventName(std::wstring_view instanceName);

struct UtcTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// <dir>\YYYYMMDD_hhmmss.log. No length limit; a directory that already ends in a path separator gets
// no second one.
std::wstring TextLogPath(std::wstring_view directory, const UtcTime& t);
// The UTC calendar time of milliseconds since 1970-01-01 UTC (proleptic Gregorian, any sign).
UtcTime UtcTimeFromMs(std::int64_t utcMs);
// The UTC day number of milliseconds since 1970-01-01 UTC (day 0 is 1970-01-01; earlier days negative).
std::int64_t UtcDay(std::int64_t utcMs);

}  // namespace decoder
