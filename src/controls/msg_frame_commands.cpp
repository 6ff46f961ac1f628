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
                                          {5, L"All messages"},
                                          {6, L"In force"},
                                          {7, L"Near home"},
                                          {8, L"Missing"},
                                          {9, L"Unread"},
                                          {10, L"Alerts"}};
constexpr MenuEntry kOptionsMenu[] = {{1, L"Export as CSV..."},
                                      {2, L"Export as JSON Lines..."},
                                      {3, L"Copy message\tCtrl+C"},
                                      {4, L"Open store location"},
                                      {5, L"Mark all read"}};

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) return {};
    const auto last = text.find_last_not_of(L" \t\r\n");
    std::wstring out = text.substr(first, last - first + 1);
    for (wchar_t& c : out) c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    std::erase(out, L' ');
    return out;
}

}  // namespace

bool CMsgFrame::Search() {
    const std::wstring expression = msgframe::WindowText(filterEdit_);
    // The board is `state=inforce` as typed; "missing" is no filter but the missing list.
    const std::wstring plain = Trimmed(expression);
    const ListMode mode = plain == kInForceExpression ? ListMode::Board
                          : plain == kMissingExpression ? ListMode::Missing
                                                        : ListMode::Messages;
    messages::Filter filter;
    messages::FilterError error;
    messages::FilterContext context;
    context.home = home_;
    if (mode == ListMode::Missing) {
        filter = messages::Filter();
    } else if (!messages::Filter::Parse(win::Utf8(expression), filter, error, context)) {
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
    mode_ = mode;
    ownRows_.clear();
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
    case QuickFilter::InForce: return kInForceExpression;
    case QuickFilter::NearHome: return L"dist<=" + std::to_wstring(kNearHomeNm);
    case QuickFilter::Missing: return kMissingExpression;
    case QuickFilter::Unread: return L"unread=1";
    case QuickFilter::Alerts: return L"alerted=1";
    }
    return L"";
}

bool CMsgFrame::ApplyQuickFilter(QuickFilter which) {
    std::int64_t les = 0;
    if (which == QuickFilter::SelectedLes) {
        const browser::BrowserRow* row = selectedPosition_ >= 0 && query_ ? RowAtPosition(selectedPosition_) : nullptr;
        if (!row) return false;
        les = row->les;
    }
    if (which == QuickFilter::NearHome && !home_) return false;
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
        const bool needsHome = e.id == 1 + static_cast<UINT>(QuickFilter::NearHome);
        if (e.id == 1 + static_cast<UINT>(QuickFilter::InForce)) ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        const bool grey = (needsSelection && !selected) || (needsHome && !home_);
        ::AppendMenuW(menu.get(), MF_STRING | (grey ? MF_GRAYED : 0), e.id, e.text);
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
        if (e.id == 5 && !marks_) flags |= MF_GRAYED;
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
    case Option::MarkAllRead: MarkAllRead(); break;
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
    exportNotice_ = L" Exported " + std::to_wstring(written) + L" to " + path + L".";
    ShowStatus(CountAndNoticeText());
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

void CMsgFrame::SetHomePosition(std::optional<warnings::GeoPoint> home) { home_ = home; }

bool CMsgFrame::SelectMessage(std::int64_t id) {
    if (!query_ || !id) return false;
    std::int64_t position = PositionOfId(id);
    if (position < 0) {
        // Not in what the list shows: every message is listed, where it always is.
        ::SetWindowTextW(filterEdit_, L"");
        if (!Search()) return false;
        position = PositionOfId(id);
        if (position < 0) return false;
    }
    SelectRow(position);
    ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
    OnSelectionChanged();
    return selectedId_ == id;
}

bool CMsgFrame::FollowCancellation() { return linkTarget_ && SelectMessage(linkTarget_); }

void CMsgFrame::MarkReadAndMoveOn() {
    if (selectedId_) MarkSeen(selectedId_);
    MoveInList(VK_DOWN);
}
