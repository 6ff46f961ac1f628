#include "settings/config_rules.h"

#include <cmath>
#include <string_view>

#include "settings/settings.h"

namespace settings {

std::wstring IntegerText(std::int64_t value) { return std::to_wstring(value); }

std::wstring CentreFileText(double hz) {
    // 2^63 is the first double beyond the signed 64-bit range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(hz) || std::fabs(hz) >= kLimit) return IntegerText(static_cast<std::int64_t>(kStartCentreHz));
    return IntegerText(static_cast<std::int64_t>(std::trunc(hz)));
}

const wchar_t* BoolText(bool value) { return value ? L"1" : L"0"; }

int FindDevice(const std::wstring& text, const wchar_t* const* names, int count) {
    if (!names) return -1;
    for (int i = 0; i < count; ++i) {
        if (!names[i]) continue;
        if (std::wstring_view(names[i]).find(text) != std::wstring_view::npos) return i;
    }
    return -1;
}

int ChannelFromFile(std::int64_t value) { return value >= 0 && value <= 2 ? static_cast<int>(value) : 0; }

}  // namespace settings
