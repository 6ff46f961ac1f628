// The settings grid's notifications, the sample rate and the centre-frequency row.
#include "app/main_frame.h"

#include <shlobj.h>

#include "settings/settings.h"

void CMainFrame::RefreshCentreFrequencyRow() { settingRows.ShowCentre(spectrum.centerFrequency); }

void CMainFrame::ApplySampleRate() {
    const std::int32_t rate = settings::SampleRateAt(settingRows.ReadIndex(settings::kSampleRate));
    if (rate == sampleRate) return;
    sampleRate = rate;
    spectrum.ApplyRate(rate);
    OnCommand(0, 0, spectrumDisplay.hwnd());
}

LRESULT CMainFrame::OnNotify(const NMHDR& header, bool& handled) {
    // The grid's codes are taken whichever control sends them.
    switch (static_cast<int>(header.code)) {
    case GRID_VALUE_CHANGED:
        handled = true;
        OnSettingChanged(header);
        return 0;
    case GRID_BROWSE_REQUESTED:
        handled = true;
        OnBrowseRequested(header);
        return 0;
    default:
        handled = false;
        return 0;
    }
}

void CMainFrame::OnSettingChanged(const NMHDR& header) {
    const auto& note = reinterpret_cast<const GridNotification&>(header);
    if (note.item && note.item == settingRows.ValueItem(settings::kSampleRate)) ApplySampleRate();
}

namespace {

// Opens the picker on the row's current folder.
int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM start) {
    if (msg == BFFM_INITIALIZED && start) {
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
        ::SendMessageW(dialog, BFFM_SETEXPANDED, TRUE, start);
    }
    return 0;
}

}  // namespace

void CMainFrame::OnBrowseRequested(const NMHDR& header) {
    const auto& note = reinterpret_cast<const GridNotification&>(header);
    if (!note.item) return;
    PropertyValue current;
    std::wstring start;
    if (note.item->value(current)) current.toText(start);

    BROWSEINFOW info{};
    info.hwndOwner = hwnd();
    info.lpszTitle = L"Select log file directory";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(chosen, path)) settingsGrid.setItemValue(note.item, PropertyValue(path));
    ::CoTaskMemFree(chosen);
}
