#include "alerts/alert_pace.h"

#include <cwctype>
#include <string>

namespace alerts {

bool SoundPace::Allow(std::int64_t nowMs) {
    if (lastMs_ && nowMs - *lastMs_ < kGapMs) return false;
    lastMs_ = nowMs;
    return true;
}

SoundKind SoundKindOf(const std::wstring& setting) {
    const std::size_t first = setting.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return SoundKind::None;
    const std::size_t last = setting.find_last_not_of(L" \t");
    std::wstring word = setting.substr(first, last - first + 1);
    for (wchar_t& c : word) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (word == L"none") return SoundKind::None;
    if (word == L"warning") return SoundKind::Warning;
    return SoundKind::File;
}

}  // namespace alerts
