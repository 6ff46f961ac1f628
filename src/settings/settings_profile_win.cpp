#include "settings/settings_profile_win.h"

#include <windows.h>

#include <vector>

#include "settings/config_rules.h"
#include "settings/key_table.h"
#include "win/handles.h"

namespace settings {
namespace {

// What the profile reader gives for one key, in the form its rule reads; an absent key gives the
// table's Missing value.
Stored ReadStored(const KeyRule& k, const wchar_t* path) {
    if (ReadsAsText(k.rule)) {
        wchar_t text[kMaxStoredText + 1] = {};
        ::GetPrivateProfileStringW(kSection, k.key, std::get<std::wstring>(k.missing).c_str(), text,
                                   static_cast<DWORD>(kMaxStoredText + 1), path);
        return std::wstring(text);
    }
    return static_cast<std::int32_t>(::GetPrivateProfileIntW(kSection, k.key, std::get<std::int32_t>(k.missing), path));
}

// The profile writer makes new files in the 8-bit code page, where paths and device names in
// other scripts turn into question marks. A file that starts with the UTF-16 mark stays Unicode.
void CreateUnicodeFileIfMissing(const wchar_t* path) {
    win::UniqueHandle file(
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;  // it exists already (and keeps its encoding), or cannot be made at all
    DWORD written = 0;
    ::WriteFile(file.get(), kUnicodeMark, sizeof(kUnicodeMark), &written, nullptr);
}

}  // namespace

Settings LoadProfile(const wchar_t* path, const Settings& current, DeviceNames devices) {
    if (!path || !*path) return current;
    std::vector<Stored> stored;
    for (const KeyRule& k : Keys()) stored.push_back(ReadStored(k, path));
    return LoadedSettings(stored, current, devices);
}

void SaveProfile(const wchar_t* path, const Settings& s, DeviceNames devices) {
    if (!path || !*path) return;
    CreateUnicodeFileIfMissing(path);
    for (const KeyRule& k : Keys()) {
        const std::optional<std::wstring> text = StoredText(k, s, devices);
        ::WritePrivateProfileStringW(kSection, k.key, text ? text->c_str() : nullptr, path);
    }
}

}  // namespace settings
