// The messages pane's commands: "Search", the "Quick filter" and "Options" menus, the exports through
// the save dialog, the clipboard and the store's folder in the shell.
#include "controls/msg_frame.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <filesystem>
#include <fstream>

#include "controls/msg_frame_text.h"
#include "decoder/utc_clock.h"
#include "win/clipboard.h"
#include "win/file_dialog.h"
#include "win/utf8.h"

using win::Wide;

namespace {

struct MenuEntry {
    UINT id;
    const wchar_t* text;
};

// Menu command ids: 1 + the QuickFilter or Option value (0 is "nothing chosen").
constexpr MenuEntry kQuickFilterMenu[] = {{1, L"Last hour"},
                                          {2, L"Today"},
                                          {3, L"Distress and urgency"},
                                          {4, L"Selected message's LES"},
                                          {5, L"All messages"}};
constexpr MenuEntry kOptionsMenu[] = {{1, L"Export as CSV..."},
                                      {2, L"Export as JSON Lines..."},
                                      {3, L"Copy message\tCtrl+C"},
                                      {4, L"Open store location"}};

}  // namespace

bool CMsgFrame::Search() {
    const std::wstring expression = msgframe::WindowText(filterEdit_);
    messages::Filter filter;
    messages::FilterError error;
    if (!messages::Filter::Parse(win::Utf8(expression), filter, error, filterContext_)) {
        // The list stays as it was; the expression's bad part is selected for the user to mend.
        selectedId_ = 0;
        SelectRow(-1);
        ShowStatus(L"Error in the filter: " + Wide(error.message));
        const int from = msgframe::Utf16Index(expression, error.column);
        const int to = msgframe::Utf16Index(expression, error.endColumn);
        ::SetFocus(filterEdit_);
        ::SendMessageW(filterEdit_, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
        return false;
    }
    filter_ = filter;
    if (!query_ && !OpenStore()) {
        if (list_) ::SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
        return true;
    }
    query_->SetFilter(filter_);
    RefreshList(false);
    return true;
}

std::wstring CMsgFrame::QuickFilterExpression(QuickFilter which, std::int64_t les, std::int64_t nowMs) {
    switch (which) {
    case QuickFilter::LastHour: return L"age_min<60";
    case QuickFilter::Today: return L"time=" + Wide(browser::FormatUtc(nowMs, true).substr(0, 10));
    case QuickFilter::DistressAndUrgency: return L"priority>=urgency";
    case QuickFilter::SelectedLes: return L"les=" + std::to_wstring(les);
    case QuickFilter::All: return L"";
    }
    return L"";
}

bool CMsgFrame::ApplyQuickFilter(QuickFilter which) {
    std::int64_t les = 0;
    if (which == QuickFilter::SelectedLes) {
        const browser::BrowserRow* row = selectedPosition_ >= 0 && query_ ? query_->RowAt(selectedPosition_) : nullptr;
        if (!row) return false;
        les = row->les;
    }
    ::SetWindowTextW(filterEdit_, QuickFilterExpression(which, les, decoder::SystemUtcMs()).c_str());
    return Search();
}

UINT CMsgFrame::TrackMenuBelow(HWND button, HMENU menu) {
    RECT rc{};
    ::GetWindowRect(button, &rc);
    return static_cast<UINT>(::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                              rc.left, rc.bottom, 0, hwnd(), nullptr));
}

void CMsgFrame::ShowQuickFilterMenu() {
    win::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    const bool selected = selectedPosition_ >= 0;
    for (const MenuEntry& e : kQuickFilterMenu) {
        const bool needsSelection = e.id == 1 + static_cast<UINT>(QuickFilter::SelectedLes);
        ::AppendMenuW(menu.get(), MF_STRING | (needsSelection && !selected ? MF_GRAYED : 0), e.id, e.text);
    }
    const UINT chosen = TrackMenuBelow(quickFilterButton_, menu.get());
    if (chosen > 0) ApplyQuickFilter(static_cast<QuickFilter>(chosen - 1));
}

void CMsgFrame::ShowOptionsMenu() {
    win::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    const bool selected = selectedId_ != 0;
    for (const MenuEntry& e : kOptionsMenu) {
        UINT flags = MF_STRING;
        if (e.id <= 2 && !query_) flags |= MF_GRAYED;
        if (e.id == 3 && !selected) flags |= MF_GRAYED;
        if (e.id == 4 && storePath_.empty()) flags |= MF_GRAYED;
        ::AppendMenuW(menu.get(), flags, e.id, e.text);
    }
    const UINT chosen = TrackMenuBelow(optionsButton_, menu.get());
    if (chosen > 0) RunOption(static_cast<Option>(chosen - 1));
}

void CMsgFrame::RunOption(Option option) {
    switch (option) {
    case Option::ExportCsv: ExportWithDialog(browser::ExportFormat::Csv); break;
    case Option::ExportJsonLines: ExportWithDialog(browser::ExportFormat::JsonLines); break;
    case Option::CopyMessage: CopySelectedMessage(); break;
    case Option::OpenStoreLocation: OpenStoreLocation(); break;
    }
}

void CMsgFrame::ExportWithDialog(browser::ExportFormat format) {
    const bool csv = format == browser::ExportFormat::Csv;
    win::FileDialog dialog;
    dialog.owner = hwnd();
    dialog.filter = csv ? L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0"
                        : L"JSON Lines files (*.jsonl)\0*.jsonl\0All files (*.*)\0*.*\0";
    dialog.defaultExtension = csv ? L"csv" : L"jsonl";
    dialog.flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    dialog.maxPath = MAX_PATH * 4;
    if (auto file = win::AskSaveFile(dialog, csv ? L"messages.csv" : L"messages.jsonl")) ExportTo(*file, format);
}

bool CMsgFrame::ExportTo(const std::wstring& path, browser::ExportFormat format) {
    if (!query_) {
        ShowStatus(L"Nothing to export: there is no message store yet.");
        return false;
    }
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    std::int64_t written = 0;
    std::wstring failure;
    try {
        if (out) written = browser::ExportMessages(*query_, format, out);
        out.close();
    } catch (const messages::SqliteError& error) {
        failure = Wide(error.what());
    }
    if (failure.empty() && !out) failure = L"the file cannot be written";
    if (!failure.empty()) {
        ShowStatus(L"Export to " + path + L" failed: " + failure);
        return false;
    }
    ShowStatus(CountText() + L" Exported " + std::to_wstring(written) + L" to " + path + L".");
    return true;
}

bool CMsgFrame::CopySelectedMessage() {
    if (!selectedId_ || !query_) return false;
    const std::wstring text = Wide(query_->Text(selectedId_));
    return win::CopyTextToClipboard(hwnd(), text);
}

void CMsgFrame::OpenStoreLocation() {
    if (storePath_.empty()) return;
    // The file selected in its folder; the folder alone when the file is not there yet.
    const bool exists = ::GetFileAttributesW(storePath_.c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::wstring folder = std::filesystem::path(storePath_).parent_path().wstring();
    const std::wstring arguments = exists ? L"/select,\"" + storePath_ + L"\"" : L"\"" + folder + L"\"";
    ::ShellExecuteW(hwnd(), L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
}
