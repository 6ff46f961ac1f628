// The settings model in the main window, the settings grid's notifications, the sample rate and the
// centre-frequency row.
#include "app/main_frame.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

#include "settings/config_rules.h"
#include "settings/settings.h"

settings::DeviceNames CMainFrame::CaptureDeviceNames() const {
    return {captureDevices.Names(), static_cast<std::size_t>(captureDevices.Count())};
}

settings::Settings CMainFrame::CurrentSettings() const {
    settings::Settings s = settingRows.Read();
    // The working rate counts, not the row: a file may have set a rate that the list does not hold.
    s.sampleRate = sampleRate;
    s.centerFrequency = spectrum.centerFrequency;
    return s;
}

void CMainFrame::ApplySettings(const settings::Settings& s) {
    // The analysis and the display follow the working rate; ApplyRate copes with 0 and below.
    sampleRate = s.sampleRate;
    spectrum.ApplyRate(sampleRate);
    spectrum.centerFrequency = s.centerFrequency;
    spectrum.pointerFrequency = s.centerFrequency;
    if (spectrumDisplay.hwnd()) ::InvalidateRect(spectrumDisplay.hwnd(), nullptr, FALSE);
    settingRows.Write(s);
    messageStorePath = s.storeFile;
    messagesPane.SetHomePosition(settings::HomePositionOf(s.homePosition));  // what `dist` counts from
    messagesPane.SetStorePath(MessageStoreFullPath());
    decoderLog.SetLineLimit(static_cast<std::size_t>(std::max(s.logLinesKept, 0)));
}

void CMainFrame::RefreshCentreFrequencyRow() { settingRows.ShowCentre(spectrum.centerFrequency); }

void CMainFrame::ApplySampleRate() {
    const std::int32_t rate = settingRows.Read().sampleRate;  // the rate of the row's choice
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
    if (!note.item) return;
    if (note.item == settingRows.ValueItem(settings::kSampleRate)) ApplySampleRate();
    if (note.item == settingRows.ValueItem(settings::kStoreFile)) {
        messageStorePath = settingRows.ReadText(settings::kStoreFile);
        messagesPane.SetStorePath(MessageStoreFullPath());
    }
    if (note.item == settingRows.ValueItem(settings::kLogLinesKept))
        decoderLog.SetLineLimit(static_cast<std::size_t>(std::max(settingRows.Read().logLinesKept, 0)));
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
    if (note.item == settingRows.ValueItem(settings::kStoreFile)) {
        BrowseForStoreFile(*note.item, start);
        return;
    }

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

void CMainFrame::BrowseForStoreFile(IProperty& item, const std::wstring& start) {
    wchar_t file[MAX_PATH] = {};
    start.copy(file, MAX_PATH - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = L"Message store (*.db)\0*.db\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"db";
    ofn.lpstrTitle = L"Message store file";
    // An existing store is taken as it is (records are added to it), so there is nothing to confirm;
    // the current directory stays, as the decoder and a relative store name depend on it.
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (!::GetSaveFileNameW(&ofn)) return;
    // As the user's own change: the grid notifies, and the store follows the row.
    const PropertyValue chosen{std::wstring(file)};
    ::SendMessageW(settingsGrid.hwnd(), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&chosen),
                   reinterpret_cast<LPARAM>(&item));
}
