// The settings model in the main window, the settings grid's notifications, the sample rate and the
// centre-frequency row.
#include "app/main_frame.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>

#include "settings/config_rules.h"
#include "settings/settings.h"
#include "win/file_dialog.h"

settings::DeviceNames CMainFrame::CaptureDeviceNames() const {
    return {captureDevices_.Names(), static_cast<std::size_t>(captureDevices_.Count())};
}

settings::Settings CMainFrame::CurrentSettings() const {
    settings::Settings s = settingRows_.Read();
    // The working rate counts, not the row: a file may have set a rate that the list does not hold.
    s.sampleRate = sampleRate_;
    s.centerFrequency = spectrum_.centerFrequency;
    return s;
}

void CMainFrame::ApplySettings(const settings::Settings& s) {
    // The analysis and the display follow the working rate; ApplyRate copes with 0 and below.
    sampleRate_ = s.sampleRate;
    spectrum_.ApplyRate(sampleRate_);
    spectrum_.centerFrequency = s.centerFrequency;
    spectrum_.pointerFrequency = s.centerFrequency;
    if (spectrumDisplay_.hwnd()) ::InvalidateRect(spectrumDisplay_.hwnd(), nullptr, FALSE);
    settingRows_.Write(s);
    messagesPane_.SetStorePath(MessageStoreFullPath());
    homePosition_ = s.homePosition;
    alertFilter_ = s.alertFilter;
    messagesPane_.SetHomePosition(settings::HomePositionOf(s.homePosition));
    receptionPane_.SetStorePath(MessageStoreFullPath());
    decoderLog_.SetLineLimit(static_cast<std::size_t>(std::max(s.logLinesKept, 0)));
}

void CMainFrame::RefreshCentreFrequencyRow() { settingRows_.ShowCentre(spectrum_.centerFrequency); }

void CMainFrame::ApplySampleRate() {
    const std::int32_t rate = settingRows_.Read().sampleRate;  // the rate of the row's choice
    if (rate == sampleRate_) return;
    sampleRate_ = rate;
    spectrum_.ApplyRate(rate);
    OnCommand(0, 0, spectrumDisplay_.hwnd());
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
    if (note.item == settingRows_.ValueItem(settings::kSampleRate)) ApplySampleRate();
    if (note.item == settingRows_.ValueItem(settings::kStoreFile)) {
        messagesPane_.SetStorePath(MessageStoreFullPath());
        receptionPane_.SetStorePath(MessageStoreFullPath());
    }
    if (note.item == settingRows_.ValueItem(settings::kLogLinesKept))
        decoderLog_.SetLineLimit(static_cast<std::size_t>(std::max(settingRows_.Read().logLinesKept, 0)));
    if (note.item == settingRows_.ValueItem(settings::kHomePosition)) OnHomePositionChanged();
    if (note.item == settingRows_.ValueItem(settings::kAlertFilter)) OnAlertFilterChanged();
}

void CMainFrame::OnAlertFilterChanged() {
    const std::wstring text = settingRows_.ReadText(settings::kAlertFilter);
    if (const std::optional<std::wstring> why = settings::RefuseAlertFilter(text, homePosition_)) {
        settingRows_.WriteText(settings::kAlertFilter, alertFilter_);
        ShowMessage(*why);
        return;
    }
    alertFilter_ = text;
}

void CMainFrame::OnHomePositionChanged() {
    const std::wstring text = settingRows_.ReadText(settings::kHomePosition);
    if (const std::optional<std::wstring> why = settings::RefuseHomePosition(text)) {
        // The row keeps the position it had.
        settingRows_.WriteText(settings::kHomePosition, homePosition_);
        ShowMessage(*why);
        return;
    }
    homePosition_ = text;
    messagesPane_.SetHomePosition(settings::HomePositionOf(text));
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
    if (note.item == settingRows_.ValueItem(settings::kStoreFile)) {
        BrowseForStoreFile(*note.item, start);
        return;
    }
    if (note.item == settingRows_.ValueItem(settings::kAlertSound)) {
        BrowseForAlertSound(*note.item, start);
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
    if (::SHGetPathFromIDListW(chosen, path)) settingsGrid_.setItemValue(note.item, PropertyValue(path));
    ::CoTaskMemFree(chosen);
}

void CMainFrame::BrowseForStoreFile(IProperty& item, const std::wstring& start) {
    win::FileDialog dialog;
    dialog.owner = hwnd();
    dialog.filter = L"Message store (*.db)\0*.db\0All files (*.*)\0*.*\0";
    dialog.defaultExtension = L"db";
    dialog.title = L"Message store file";
    // An existing store is taken as it is (records are added to it), so there is nothing to confirm;
    // the current directory stays, as the decoder and a relative store name depend on it.
    dialog.flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    const std::optional<std::wstring> file = win::AskSaveFile(dialog, start);
    if (!file) return;
    // As the user's own change: the grid notifies, and the store follows the row.
    const PropertyValue chosen{*file};
    ::SendMessageW(settingsGrid_.hwnd(), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&chosen),
                   reinterpret_cast<LPARAM>(&item));
}

void CMainFrame::BrowseForAlertSound(IProperty& item, const std::wstring& start) {
    win::FileDialog dialog;
    dialog.owner = hwnd();
    dialog.filter = L"Sounds (*.wav)\0*.wav\0All files (*.*)\0*.*\0";
    dialog.defaultExtension = L"wav";
    dialog.title = L"Alert sound";
    dialog.flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST;
    // "None" and "Warning" are no files: the dialog then opens where it would by itself.
    const bool isFile = start.find_first_of(L"\\/.") != std::wstring::npos;
    const std::optional<std::wstring> file = win::AskOpenFile(dialog, isFile ? start : std::wstring());
    if (!file) return;
    const PropertyValue chosen{*file};
    ::SendMessageW(settingsGrid_.hwnd(), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&chosen),
                   reinterpret_cast<LPARAM>(&item));
}
