#include "decoder/command_line.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace decoder {
namespace {

bool HasQuote(std::wstring_view text) { return text.find(L'"') != std::wstring_view::npos; }

// Appends text that will be followed by a closing quotation mark: the backslashes that end it are
// doubled, because under the platform's rules 2n backslashes before a quote give n backslashes and
// leave the quote to close the argument; n backslashes before it would swallow the quote.
void AppendBeforeClosingQuote(std::wstring& out, std::wstring_view text) {
    std::size_t trailing = 0;
    while (trailing < text.size() && text[text.size() - 1 - trailing] == L'\\') ++trailing;
    out.append(text);
    out.append(trailing, L'\\');
}

std::wstring_view DevicePart(std::wstring_view device) {
    if (device.size() <= kMaxDeviceChars) return device;
    std::size_t n = kMaxDeviceChars;
    wchar_t last = device[n - 1];
    if (last >= 0xD800 && last <= 0xDBFF) --n;  // do not keep half of a surrogate pair
    return device.substr(0, n);
}

bool ValidInstanceName(std::wstring_view name) {
    if (name.empty()) return false;
    for (wchar_t c : name) {
        bool ok = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
                  c == L'_' || c == L'-';
        if (!ok) return false;
    }
    return true;
}

void AppendWhole(std::wstring& out, double value) {
    // to_chars rounds exactly and ignores the locale, so the same centre always gives the same text.
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 0);
    for (const char* p = buf; p != r.ptr; ++p) out.push_back(static_cast<wchar_t>(*p));
}

void AppendLetters(std::wstring& out, std::wstring_view sw, bool e, bool m, bool r) {
    if (!(e || m || r)) return;
    out.append(sw);
    if (e) out.push_back(L'e');
    if (m) out.push_back(L'm');
    if (r) out.push_back(L'r');
}

void AppendDirectory(std::wstring& out, std::wstring_view option, std::wstring_view dir) {
    if (dir.empty()) return;
    out.append(L" \"");
    out.append(option);
    AppendBeforeClosingQuote(out, dir);
    out.push_back(L'"');
}

CommandLineResult Refuse(CommandLineFault f) { return CommandLineResult{std::wstring(), f}; }

}  // namespace

CommandLineResult BuildCommandLine(const LaunchSettings& s, std::wstring_view program) {
    if (HasQuote(program)) return Refuse(CommandLineFault::BadProgramName);
    if (HasQuote(s.soundCard)) return Refuse(CommandLineFault::QuoteInDevice);
    if (HasQuote(s.settings.fileLogDir)) return Refuse(CommandLineFault::QuoteInFileLogDir);
    if (HasQuote(s.settings.tarLogDir)) return Refuse(CommandLineFault::QuoteInTarLogDir);
    if (!std::isfinite(s.settings.centerFrequency)) return Refuse(CommandLineFault::BadFrequency);
    if (!ValidInstanceName(s.instanceName)) return Refuse(CommandLineFault::BadInstanceName);

    std::wstring out;
    out.reserve(160 + s.settings.fileLogDir.size() + s.settings.tarLogDir.size());
    bool quoteProgram = program.find_first_of(L" \t") != std::wstring_view::npos;
    if (quoteProgram) out.push_back(L'"');
    out.append(program);
    if (quoteProgram) out.push_back(L'"');

    out.append(L" -f");
    AppendWhole(out, s.settings.centerFrequency);
    out.append(L" \"-c");
    AppendBeforeClosingQuote(out, DevicePart(s.soundCard));
    out.push_back(L'"');
    // A blank between the closing quote and "-cL"/"-cR": glued to the quote they would become part of
    // the device argument ("-cLine In-cL") and the channel would be lost.
    out.append(s.settings.cardChannel == 0 ? L" " : s.settings.cardChannel == 1 ? L" -cL " : L" -cR ");
    if (!s.settings.checkForUpdates) out.append(L"-n ");
    AppendLetters(out, L"-l", s.settings.fileLogEgc, s.settings.fileLogMessages, s.settings.fileLogRaw);
    AppendLetters(out, L" -t", s.settings.tarLogEgc, s.settings.tarLogMessages, s.settings.tarLogRaw);
    AppendDirectory(out, L"-df", s.settings.fileLogDir);
    AppendDirectory(out, L"-dt", s.settings.tarLogDir);
    if (s.settings.hideDecoderWindow) out.append(L" -h");
    out.append(L" -p");
    out.append(s.instanceName);
    return CommandLineResult{std::move(out), CommandLineFault::None};
}

std::wstring_view FaultSettingName(CommandLineFault fault) {
    switch (fault) {
        case CommandLineFault::QuoteInDevice: return L"Soundcard name";
        case CommandLineFault::QuoteInFileLogDir: return L"File logging Directory";
        case CommandLineFault::QuoteInTarLogDir: return L"SES-TAR logging Directory";
        case CommandLineFault::BadFrequency: return L"Center frequency";
        case CommandLineFault::BadInstanceName: return L"decoder instance name";
        case CommandLineFault::BadProgramName: return L"decoder program name";
        case CommandLineFault::None: break;
    }
    return L"";
}

std::wstring FaultMessage(CommandLineFault fault) {
    std::wstring name(FaultSettingName(fault));
    switch (fault) {
        case CommandLineFault::None: return L"";
        case CommandLineFault::QuoteInDevice:
        case CommandLineFault::QuoteInFileLogDir:
        case CommandLineFault::QuoteInTarLogDir:
        case CommandLineFault::BadProgramName:
            return L"The setting \"" + name +
                   L"\" contains a quotation mark (\"), which cannot be passed to the decoder.";
        case CommandLineFault::BadFrequency:
            return L"The setting \"" + name + L"\" is not a valid number.";
        case CommandLineFault::BadInstanceName:
            return L"The " + name + L" is not valid.";
    }
    return L"";
}

std::wstring FormatInstanceName(std::uint32_t value) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "gui%X", static_cast<unsigned>(value));
    return std::wstring(buf, buf + (n > 0 ? n : 0));
}

std::wstring MakeInstanceName(std::uint32_t tickCount, std::uintptr_t identity) {
    std::uint64_t id = identity;
    auto folded = static_cast<std::uint32_t>(id ^ (id >> 32));
    return FormatInstanceName(tickCount ^ folded);
}

std::wstring PipePath(std::wstring_view instanceName) {
    std::wstring path = L"\\\\.\\pipe\\";
    path.append(instanceName);
    return path;
}

std::wstring StopEventName(std::wstring_view instanceName) {
    std::wstring name(instanceName);
    name.append(L"_terminate");
    return name;
}

std::wstring TextLogPath(std::wstring_view directory, const UtcTime& t) {
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d.log", t.year, t.month, t.day, t.hour,
                          t.minute, t.second);
    std::wstring path(directory);
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path.push_back(L'\\');
    path.append(buf, buf + (n > 0 && n < static_cast<int>(sizeof buf) ? n : 0));
    return path;
}

std::int64_t UtcDay(std::int64_t utcMs) {
    constexpr std::int64_t kDayMs = 86400000;
    return utcMs >= 0 ? utcMs / kDayMs : -((-utcMs + kDayMs - 1) / kDayMs);
}

UtcTime UtcTimeFromMs(std::int64_t utcMs) {
    const std::int64_t day = UtcDay(utcMs);
    const std::int64_t secondOfDay = (utcMs - day * 86400000) / 1000;
    // Days to a civil date (Howard Hinnant's algorithm), with March as the first month of the year.
    const std::int64_t z = day + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    UtcTime t;
    t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
    t.hour = static_cast<int>(secondOfDay / 3600);
    t.minute = static_cast<int>(secondOfDay / 60 % 60);
    t.second = static_cast<int>(secondOfDay % 60);
    return t;
}

}  // namespace decoder
