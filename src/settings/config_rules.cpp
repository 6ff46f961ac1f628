#include "settings/config_rules.h"

#include <cmath>
#include <string_view>

#include "decoder/wide_text.h"
#include "messages/filter.h"
#include "settings/settings.h"

namespace settings {
namespace {

// One key's stored value into `s`.
void Take(const KeyRule& k, const Stored& v, Settings& s, DeviceNames devices) {
    switch (k.rule) {
    case TextRule::Integer: s.*FieldAs<std::int32_t>(k) = std::get<std::int32_t>(v); break;
    case TextRule::Centre: s.*FieldAs<double>(k) = CentreFromProfile(std::get<std::int32_t>(v)); break;
    case TextRule::Device: {
        const int device = FindDevice(std::get<std::wstring>(v), devices);
        if (device >= 0) s.*FieldAs<std::int32_t>(k) = device;
        break;
    }
    case TextRule::Channel: s.*FieldAs<std::int32_t>(k) = ChannelFromFile(std::get<std::int32_t>(v)); break;
    case TextRule::Switch: s.*FieldAs<bool>(k) = std::get<std::int32_t>(v) != 0; break;
    case TextRule::Directory:
    case TextRule::Text: s.*FieldAs<std::wstring>(k) = std::get<std::wstring>(v); break;
    case TextRule::Position:
        // A file edited by hand may hold anything: what is no position leaves the value as it was.
        if (!RefuseHomePosition(std::get<std::wstring>(v))) s.*FieldAs<std::wstring>(k) = std::get<std::wstring>(v);
        break;
    case TextRule::Filter:
        // The home position is read before: a `dist` term counts from the file's own.
        if (!RefuseAlertFilter(std::get<std::wstring>(v), s.homePosition))
            s.*FieldAs<std::wstring>(k) = std::get<std::wstring>(v);
        break;
    case TextRule::Choice: {
        const std::int32_t value = std::get<std::int32_t>(v);
        const bool listed = k.row >= 0 && k.row < kRowCount && ChoiceIndex(Rows()[k.row].choices, value) >= 0;
        s.*FieldAs<std::int32_t>(k) = listed ? value : std::get<std::int32_t>(k.startup);
        break;
    }
    }
}

}  // namespace

std::wstring IntegerText(std::int64_t value) { return std::to_wstring(value); }

std::wstring CentreFileText(double hz) {
    // 2^63 is the first double beyond the signed 64-bit range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(hz) || std::fabs(hz) >= kLimit) return IntegerText(static_cast<std::int64_t>(kStartCentreHz));
    return IntegerText(static_cast<std::int64_t>(std::trunc(hz)));
}

double CentreFromProfile(std::int32_t read) { return static_cast<double>(static_cast<std::uint32_t>(read)); }

const wchar_t* BoolText(bool value) { return value ? L"1" : L"0"; }

int FindDevice(const std::wstring& text, DeviceNames names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!names[i]) continue;
        if (std::wstring_view(names[i]).find(text) != std::wstring_view::npos) return static_cast<int>(i);
    }
    return -1;
}

const wchar_t* DeviceAt(std::int32_t index, DeviceNames names) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return nullptr;
    return names[static_cast<std::size_t>(index)];
}

int ChannelFromFile(std::int64_t value) { return value >= 0 && value <= 2 ? static_cast<int>(value) : 0; }

std::optional<std::wstring> StoredText(const KeyRule& k, const Settings& s, DeviceNames devices) {
    switch (k.rule) {
    case TextRule::Integer: return IntegerText(s.*FieldAs<std::int32_t>(k));
    case TextRule::Centre: return CentreFileText(s.*FieldAs<double>(k));
    case TextRule::Device: {
        const wchar_t* name = DeviceAt(s.*FieldAs<std::int32_t>(k), devices);
        if (!name) return std::nullopt;
        return std::wstring(name);
    }
    case TextRule::Channel: return IntegerText(ChannelFromFile(s.*FieldAs<std::int32_t>(k)));
    case TextRule::Switch: return std::wstring(BoolText(s.*FieldAs<bool>(k)));
    case TextRule::Directory:
    case TextRule::Text:
    case TextRule::Position:
    case TextRule::Filter: return s.*FieldAs<std::wstring>(k);
    case TextRule::Choice: return IntegerText(s.*FieldAs<std::int32_t>(k));
    }
    return std::nullopt;
}

namespace {

// The text as the position reader takes it: ASCII only (a position has nothing else), so a wide
// character outside it makes the text no position.
std::optional<std::string> Ascii(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c <= 0 || c > 0x7E) {
            if (c == 0xB0) {  // the degree sign, as the reader knows it in Latin-1
                out += static_cast<char>(0xB0);
                continue;
            }
            return std::nullopt;
        }
        out += static_cast<char>(c);
    }
    return out;
}

bool Blank(const std::wstring& text) { return text.find_first_not_of(L" \t") == std::wstring::npos; }

}  // namespace

std::optional<warnings::GeoPoint> HomePositionOf(const std::wstring& text) {
    if (Blank(text)) return std::nullopt;
    const std::optional<std::string> ascii = Ascii(text);
    if (!ascii) return std::nullopt;
    return warnings::ParsePosition(*ascii);
}

std::optional<std::wstring> RefuseHomePosition(const std::wstring& text) {
    if (Blank(text) || HomePositionOf(text)) return std::nullopt;
    std::wstring shown = text.size() > 40 ? text.substr(0, 40) + L"..." : text;
    return L"'" + shown + L"' is not a position: write latitude then longitude, e.g. 50-22.0N 004-08.5W "
           L"(degrees-minutes, N or S, E or W), or leave it empty for none";
}

std::optional<std::wstring> RefuseAlertFilter(const std::wstring& text, const std::wstring& homeText) {
    messages::Filter filter;
    messages::FilterError error;
    if (messages::Filter::Parse(decoder::WideToUtf8(text), filter, error, {HomePositionOf(homeText)}))
        return std::nullopt;
    return decoder::Utf8ToWide(error.message);
}

Settings LoadedSettings(std::span<const Stored> stored, const Settings& current, DeviceNames devices) {
    Settings s = current;
    const std::vector<KeyRule>& keys = Keys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const KeyRule& k = keys[i];
        const bool present = i < stored.size() && stored[i].index() == k.missing.index();
        Take(k, present ? stored[i] : k.missing, s, devices);
    }
    s.centerFrequency = ClampLoadedCentre(s.centerFrequency, s.sampleRate);
    return s;
}

}  // namespace settings
