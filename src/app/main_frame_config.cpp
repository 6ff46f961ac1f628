// Configuration files: the eighteen settings in the "Settings" section of a profile (INI) file.
#include "app/main_frame.h"

#include "settings/config_rules.h"
#include "settings/settings.h"

namespace {

// Texts longer than this are cut when read; the buffer keeps room for the terminator.
constexpr DWORD kTextBuffer = 256;

std::int32_t ReadInt(const wchar_t* key, std::int32_t missing, const wchar_t* path) {
    return static_cast<std::int32_t>(::GetPrivateProfileIntW(settings::kSection, key, missing, path));
}

std::wstring ReadText(const wchar_t* key, const wchar_t* missing, const wchar_t* path) {
    wchar_t text[kTextBuffer] = {};
    ::GetPrivateProfileStringW(settings::kSection, key, missing, text, kTextBuffer, path);
    return text;
}

void WriteText(const wchar_t* key, const wchar_t* value, const wchar_t* path) {
    ::WritePrivateProfileStringW(settings::kSection, key, value, path);
}

// The profile writer makes new files in the 8-bit code page, where paths and device names in
// other scripts turn into question marks. A file that starts with the UTF-16 mark stays Unicode.
void CreateUnicodeFileIfMissing(const wchar_t* path) {
    win::UniqueHandle file(
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;  // it exists already (and keeps its encoding), or cannot be made at all
    DWORD written = 0;
    ::WriteFile(file.get(), settings::kUnicodeMark, sizeof(settings::kUnicodeMark), &written, nullptr);
}

}  // namespace

void CMainFrame::loadConfiguration(const wchar_t* path) {
    // Without a path the profile functions would fall back to the system's own WIN.INI.
    if (!path || !*path) return;
    StopDecoder();
    StopCapture();

    using settings::Row;
    for (Row row : settings::ReadOrder()) {
        const settings::RowDescription& d = settings::Rows()[row];
        switch (d.kind) {
        case settings::Kind::RateList:
            // The analysis and the display follow the working rate; ApplyRate copes with 0 and below.
            sampleRate = ReadInt(d.key, d.missingInt, path);
            spectrum.ApplyRate(sampleRate);
            break;
        case settings::Kind::CentreText: {
            const double centre = settings::ClampLoadedCentre(ReadInt(d.key, d.missingInt, path), sampleRate);
            spectrum.centerFrequency = centre;
            spectrum.pointerFrequency = centre;
            RefreshCentreFrequencyRow();
            if (spectrumDisplay.hwnd()) ::InvalidateRect(spectrumDisplay.hwnd(), nullptr, FALSE);
            // Only a list rate moves the row; any other rate stays the working rate alone.
            const int rateIndex = settings::SampleRateIndex(sampleRate);
            if (rateIndex >= 0) settingRows.WriteIndex(settings::kSampleRate, rateIndex);
            break;
        }
        case settings::Kind::DeviceList: {
            const std::wstring wanted = ReadText(d.key, settings::kMissingSoundCard, path);
            const int device = settings::FindDevice(wanted, captureDevices.Names(), captureDevices.Count());
            if (device >= 0) settingRows.WriteIndex(row, device);
            break;
        }
        case settings::Kind::ChannelList:
            settingRows.WriteIndex(row, settings::ChannelFromFile(ReadInt(d.key, d.missingInt, path)));
            break;
        case settings::Kind::Check: settingRows.WriteBool(row, ReadInt(d.key, d.missingInt, path) != 0); break;
        case settings::Kind::Directory: settingRows.WriteText(row, ReadText(d.key, L"", path)); break;
        }
    }
}

void CMainFrame::saveConfiguration(const wchar_t* path) {
    if (!path || !*path) return;
    CreateUnicodeFileIfMissing(path);

    using settings::Row;
    for (Row row : settings::WriteOrder()) {
        const settings::RowDescription& d = settings::Rows()[row];
        switch (d.kind) {
        case settings::Kind::RateList: WriteText(d.key, settings::IntegerText(sampleRate).c_str(), path); break;
        case settings::Kind::CentreText:
            WriteText(d.key, settings::CentreFileText(spectrum.centerFrequency).c_str(), path);
            break;
        case settings::Kind::DeviceList:
            // With no device there is nothing to describe: the key goes rather than holding a stale name.
            WriteText(d.key, captureDevices.Name(settingRows.ReadIndex(row)), path);
            break;
        case settings::Kind::ChannelList:
            WriteText(d.key, settings::IntegerText(settings::ChannelFromFile(settingRows.ReadIndex(row))).c_str(),
                      path);
            break;
        case settings::Kind::Check: WriteText(d.key, settings::BoolText(settingRows.ReadBool(row)), path); break;
        case settings::Kind::Directory: WriteText(d.key, settingRows.ReadText(row).c_str(), path); break;
        }
    }
}
