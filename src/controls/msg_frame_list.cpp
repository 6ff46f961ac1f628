// The messages pane's list: columns, rows read from the query as they are drawn, priority colours,
// the selection shown in the text view, and refreshes that keep the user's place.
#include "controls/msg_frame.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <climits>

#include "messages/schema.h"

#include "controls/msg_frame_text.h"
#include "decoder/utc_clock.h"
#include "win/utf8.h"
#include "theme/palette.h"
#include "win/colour.h"

using browser::Column;
using win::Wide;

namespace {

// The columns' starting widths, in the order of browser::Column.
constexpr int kColumnWidths[browser::kColumnCount] = {125, 45, 55, 65, 50, 55, 420, 130, 60, 70};

bool IsNumberColumn(int column) {
    const auto c = static_cast<Column>(column);
    return c != Column::Received && c != Column::Priority && c != Column::Message && c != Column::Warning &&
           c != Column::Kind && c != Column::State;
}

}  // namespace

void CMsgFrame::AddColumns() {
    for (int c = 0; c < browser::kColumnCount; ++c) {
        std::wstring title = Wide(browser::kColumnTitles[static_cast<std::size_t>(c)]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = IsNumberColumn(c) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        if (c == 0) column.fmt = LVCFMT_LEFT;  // the first column is always left-aligned
        column.cx = kColumnWidths[c];
        column.pszText = title.data();
        column.iSubItem = c;
        ::SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    // Unread rows are drawn in the list's own font made bold; the pane owns that font.
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(list_, WM_GETFONT, 0, 0));
    LOGFONTW bold{};
    if (font && ::GetObjectW(font, sizeof bold, &bold)) {
        bold.lfWeight = FW_BOLD;
        boldFont_.reset(::CreateFontIndirectW(&bold));
    }
}

std::int64_t CMsgFrame::RowCount() const {
    if (mode_ != ListMode::Messages) return static_cast<std::int64_t>(ownRows_.size());
    return query_ ? query_->count() : 0;
}

const browser::BrowserRow* CMsgFrame::RowAtPosition(std::int64_t position) {
    if (!query_ || position < 0) return nullptr;
    if (mode_ == ListMode::Messages) return query_->RowAt(position);
    if (position >= static_cast<std::int64_t>(ownRows_.size())) return nullptr;
    const OwnRow& own = ownRows_[static_cast<std::size_t>(position)];
    return own.id && !own.missing ? query_->RowById(own.id) : nullptr;
}

std::int64_t CMsgFrame::IdAt(std::int64_t position) {
    if (mode_ != ListMode::Messages) {
        if (position < 0 || position >= static_cast<std::int64_t>(ownRows_.size())) return 0;
        return ownRows_[static_cast<std::size_t>(position)].id;
    }
    const browser::BrowserRow* row = RowAtPosition(position);
    return row ? row->id : 0;
}

std::int64_t CMsgFrame::PositionOfId(std::int64_t id) {
    if (!id || !query_) return -1;
    if (mode_ == ListMode::Messages) return query_->PositionOf(id);
    for (std::size_t i = 0; i < ownRows_.size(); ++i) {
        if (ownRows_[i].id == id) return static_cast<std::int64_t>(i);
    }
    return -1;
}

void CMsgFrame::FillOwnRows() {
    ownRows_.clear();
    if (!query_) return;
    if (mode_ == ListMode::Board) {
        for (const browser::BoardEntry& e : query_->InForceBoard()) {
            OwnRow row;
            row.id = e.id;
            if (!e.id) row.header = Wide(e.series) + L" (" + std::to_wstring(e.count) + L" in force)";
            ownRows_.push_back(std::move(row));
        }
    } else if (mode_ == ListMode::Missing) {
        for (const browser::MissingWarning& m : query_->MissingWarnings()) {
            OwnRow row;
            row.id = m.bulletinId;
            row.missing = true;
            row.header = Wide(browser::WarningName(m.series, m.number, m.year));
            ownRows_.push_back(std::move(row));
        }
    }
}

std::wstring CMsgFrame::RowText(std::int64_t position) {
    std::wstring text;
    for (int c = 0; c < browser::kColumnCount; ++c) {
        wchar_t cell[512] = {};
        LVITEMW item{};
        item.iSubItem = c;
        item.pszText = cell;
        item.cchTextMax = 512;
        ::SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item));
        text += (c ? L"\t" : L"") + std::wstring(cell);
    }
    return text;
}

bool CMsgFrame::RowIsBold(std::int64_t position) {
    if (mode_ == ListMode::Board && position >= 0 && position < RowCount() && !IdAt(position)) return true;
    const browser::BrowserRow* row = RowAtPosition(position);
    return row && row->unread;
}

bool CMsgFrame::RowIsMuted(std::int64_t position) {
    if (mode_ == ListMode::Missing) return false;
    const browser::BrowserRow* row = RowAtPosition(position);
    return row && browser::NoLongerInForce(*row);
}

bool CMsgFrame::OnListNotify(const NMHDR& header, LRESULT& result) {
    switch (header.code) {
    case LVN_GETDISPINFOW:
        OnGetDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
        result = 0;
        return true;
    case LVN_ITEMCHANGED:
        OnItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
        result = 0;
        return true;
    case LVN_COLUMNCLICK: {
        const auto& view = reinterpret_cast<const NMLISTVIEW&>(header);
        if (view.iSubItem >= 0 && view.iSubItem < browser::kColumnCount) SortBy(static_cast<Column>(view.iSubItem));
        result = 0;
        return true;
    }
    case NM_DBLCLK:
        if (header.hwndFrom != list_) return false;
        if (selectedId_ && clientWindow) ::SetFocus(clientWindow);
        result = 0;
        return true;
    case NM_CUSTOMDRAW:
        if (header.hwndFrom != list_) return false;
        result = OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
        return true;
    default:
        return false;  // reflected to the list
    }
}

void CMsgFrame::OnGetDisplayInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    item.pszText[0] = L'\0';
    if (item.iSubItem < 0 || item.iSubItem >= browser::kColumnCount) return;
    const auto column = static_cast<Column>(item.iSubItem);
    if (mode_ != ListMode::Messages && item.iItem >= 0 && item.iItem < static_cast<int>(ownRows_.size())) {
        const OwnRow& own = ownRows_[static_cast<std::size_t>(item.iItem)];
        if (own.missing) {
            // The missing warning, and the bulletin that named it.
            const browser::BrowserRow* bulletin = query_ ? query_->RowById(own.id) : nullptr;
            if (column == Column::Warning) cellText_ = own.header;
            else if (column == Column::State) cellText_ = L"missing";
            else if (column == Column::Message) cellText_ = L"named by the bulletin of " + (bulletin ? Wide(browser::FormatUtc(bulletin->receivedMs)) : L"?");
            else if (column == Column::Received && bulletin) cellText_ = Wide(browser::FormatUtc(bulletin->receivedMs));
            else if (column == Column::Les && bulletin) cellText_ = Wide(browser::CellText(*bulletin, Column::Les));
            else cellText_.clear();
            wcsncpy_s(item.pszText, static_cast<std::size_t>(item.cchTextMax), cellText_.c_str(), _TRUNCATE);
            return;
        }
        if (!own.id) {
            cellText_ = column == Column::Received ? own.header : L"";
            wcsncpy_s(item.pszText, static_cast<std::size_t>(item.cchTextMax), cellText_.c_str(), _TRUNCATE);
            return;
        }
    }
    const browser::BrowserRow* row = RowAtPosition(item.iItem);
    if (!row) return;
    cellText_ = Wide(browser::CellText(*row, column));
    wcsncpy_s(item.pszText, static_cast<std::size_t>(item.cchTextMax), cellText_.c_str(), _TRUNCATE);
}

LRESULT CMsgFrame::OnCustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const auto position = static_cast<std::int64_t>(draw.nmcd.dwItemSpec);
        if (mode_ == ListMode::Board && position < RowCount() && !IdAt(position)) {
            DrawBoardHeader(draw.nmcd.hdc, position);
            return CDRF_SKIPDEFAULT;
        }
        const browser::BrowserRow* row = RowAtPosition(position);
        if (!row) return CDRF_DODEFAULT;
        bool changed = false;
        // Distress and urgency keep their colours whatever their state.
        if (row->priority == messages::Priority::Distress) {
            draw.clrTextBk = win::ToColorRef(palette::kMessageDistressRow);
            changed = true;
        } else if (row->priority == messages::Priority::Urgency) {
            draw.clrTextBk = win::ToColorRef(palette::kMessageUrgencyRow);
            changed = true;
        } else if (browser::NoLongerInForce(*row)) {
            draw.clrText = win::ToColorRef(palette::kMessageNoLongerInForceText);
            changed = true;
        }
        if (row->unread && boldFont_) {
            ::SelectObject(draw.nmcd.hdc, boldFont_.get());
            changed = true;
        }
        return changed ? CDRF_NEWFONT : CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// A series' header spans the whole row, as a group header does, rather than being cut at the first
// column's edge.
void CMsgFrame::DrawBoardHeader(HDC dc, std::int64_t position) {
    const int item = static_cast<int>(position);
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (!::SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&bounds))) return;
    const bool selected = ::SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) != 0;
    const COLORREF back = selected ? ::GetSysColor(COLOR_HIGHLIGHT) : win::ToColorRef(palette::kMessageGroupHeaderRow);
    const COLORREF fore = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    const COLORREF oldBack = ::SetBkColor(dc, back);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bounds, nullptr, 0, nullptr);
    const COLORREF oldText = ::SetTextColor(dc, fore);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = boldFont_ ? ::SelectObject(dc, boldFont_.get()) : nullptr;
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    RECT text = bounds;
    text.left += metrics.tmAveCharWidth;
    const std::wstring& header = ownRows_[static_cast<std::size_t>(position)].header;
    ::DrawTextW(dc, header.c_str(), static_cast<int>(header.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (oldFont) ::SelectObject(dc, oldFont);
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBack);
}

void CMsgFrame::OnItemChanged(const NMLISTVIEW& change) {
    if (!(change.uChanged & LVIF_STATE)) return;
    auto follow = [&](UINT bit, std::int64_t& position) {
        if (change.iItem < 0) {
            if (!(change.uNewState & bit)) position = -1;
        } else if (change.uNewState & bit) {
            position = change.iItem;
        } else if ((change.uOldState & bit) && position == change.iItem) {
            position = -1;
        }
    };
    follow(LVIS_SELECTED, selectedPosition_);
    follow(LVIS_FOCUSED, focusedPosition_);
    if (!settingSelection_) OnSelectionChanged();
}

void CMsgFrame::OnSelectionChanged() {
    const std::int64_t position = selectedPosition_;
    const std::int64_t id = position >= 0 ? IdAt(position) : 0;
    if (id == selectedId_) return;
    selectedId_ = id;
    if (id) MarkSeen(id);
    ShowSelection();
}

void CMsgFrame::ShowSelection() {
    if (!clientWindow) return;
    readingLine_.clear();
    readingLink_.clear();
    linkTarget_ = 0;
    if (selectedId_ == 0 || !query_) {
        ::SetWindowTextW(clientWindow, status_.c_str());
        return;
    }
    const browser::MessageReadingInfo info = query_->Reading(selectedId_);
    const browser::ReadingLine line = browser::MakeReadingLine(info);
    readingLine_ = Wide(line.Whole());
    readingLink_ = Wide(line.link);
    if (!line.link.empty()) linkTarget_ = info.cancelledBy;
    std::wstring text = readingLine_.empty() ? L"" : readingLine_ + L"\r\n\r\n";
    ::SetWindowTextW(clientWindow, (text + Wide(query_->Text(selectedId_))).c_str());
    ShowReadingLink(static_cast<LONG>(Wide(line.before).size()));
}

void CMsgFrame::ShowReadingLink(LONG start) {
    if (readingLink_.empty()) return;
    // The cancelling message's name becomes a link (EN_LINK comes back to the pane).
    CHARRANGE range{start, start + static_cast<LONG>(readingLink_.size())};
    ::SendMessageW(clientWindow, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_LINK;
    format.dwEffects = CFE_LINK;
    ::SendMessageW(clientWindow, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    CHARRANGE none{0, 0};
    ::SendMessageW(clientWindow, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&none));
}

void CMsgFrame::MarkSeen(std::int64_t id) {
    if (!marks_ || !query_) return;
    const browser::BrowserRow* row = query_->RowById(id);
    if (!row || !row->unread) return;
    bool marked = false;
    try {
        marked = messages::MarkSeen(*marks_, id);
    } catch (const messages::SqliteError&) {
        return;  // a store another program holds: the row stays bold and is tried again when selected
    }
    query_->Forget(id);
    const std::int64_t position = PositionOfId(id);
    if (position >= 0 && position <= INT_MAX)
        ::SendMessageW(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(position), static_cast<LPARAM>(position));
    // One fewer, without counting again: this connection's own mark leaves data_version as it was, and
    // whatever others wrote meanwhile is counted when they are noticed.
    if (marked && unread_ > 0) SetUnreadCount(unread_ - 1);
}

void CMsgFrame::MarkAllRead() {
    if (!marks_) return;
    try {
        messages::MarkAllSeen(*marks_);
    } catch (const messages::SqliteError&) {
        return;
    }
    if (query_) query_->ForgetUnread();
    if (list_) ::InvalidateRect(list_, nullptr, FALSE);
    UpdateUnreadCount(true);
}

void CMsgFrame::UpdateUnreadCount(bool force) {
    if (!marks_) return;
    std::int64_t count = 0;
    try {
        // Another connection's writes (messages, or another front end's marks) change data_version.
        messages::Statement version(*marks_, "PRAGMA data_version");
        const std::int64_t v = version.Step() ? version.ColumnInt64(0) : 0;
        if (!force && v == marksVersion_) return;
        marksVersion_ = v;
        count = messages::UnseenCount(*marks_);
    } catch (const messages::SqliteError&) {
        return;
    }
    SetUnreadCount(count);
}

void CMsgFrame::SetUnreadCount(std::int64_t count) {
    if (count == unread_) return;
    unread_ = count;
    HWND parent = hwnd() ? ::GetParent(hwnd()) : nullptr;
    if (!parent) return;
    MsgFrameUnread note{};
    note.header.hwndFrom = hwnd();
    note.header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(hwnd()));
    note.header.code = static_cast<UINT>(MSGFRAME_UNREAD_CHANGED);
    note.unread = count;
    ::SendMessageW(parent, WM_NOTIFY, note.header.idFrom, reinterpret_cast<LPARAM>(&note));
}

void CMsgFrame::ShowStatus(std::wstring text) {
    status_ = std::move(text);
    if (selectedId_ == 0 && clientWindow) ::SetWindowTextW(clientWindow, status_.c_str());
}

std::wstring CMsgFrame::CountText() const {
    if (mode_ == ListMode::Board) {
        std::int64_t warnings = 0;
        for (const OwnRow& row : ownRows_) warnings += row.id ? 1 : 0;
        return std::to_wstring(warnings) + L" warnings in force.";
    }
    if (mode_ == ListMode::Missing) {
        if (ownRows_.empty()) return L"No warning is missing: every warning the bulletins list was received.";
        return std::to_wstring(ownRows_.size()) + L" warnings listed in force by bulletins were never received.";
    }
    const std::int64_t n = query_ ? query_->count() : 0;
    if (query_ && !query_->countKnown()) return L"At least " + std::to_wstring(n) + L" messages match the filter; counting...";
    if (n == 0) return L"No message matches the filter.";
    if (n == 1) return L"1 message matches the filter.";
    return std::to_wstring(n) + L" messages match the filter.";
}

void CMsgFrame::SelectRow(std::int64_t position) {
    settingSelection_ = true;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    const auto count = static_cast<std::int64_t>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (std::int64_t old : {selectedPosition_, focusedPosition_}) {
        if (old >= 0 && old < count && old != position)
            ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(old), reinterpret_cast<LPARAM>(&state));
    }
    selectedPosition_ = focusedPosition_ = -1;
    if (position >= 0) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&state));
        // A row that was selected already sends no LVN_ITEMCHANGED: the pane's own record is set here.
        selectedPosition_ = focusedPosition_ = position;
    }
    settingSelection_ = false;
}

void CMsgFrame::RefreshList(bool keepPlace, bool recount) {
    if (!list_) return;
    if (!keepPlace) exportNotice_.clear();
    const std::int64_t top = keepPlace ? ::SendMessageW(list_, LVM_GETTOPINDEX, 0, 0) : 0;
    const std::int64_t topId = top > 0 && query_ ? IdAt(top) : 0;
    std::int64_t count = 0;
    try {
        if (query_ && recount) {
            // A live refresh keeps the length the list had while a new count is made, so that it does
            // not shrink to a page and grow back.
            count = query_->Refresh(decoder::SystemUtcMs(), keepPlace ? query_->count() : 0);
            if (query_->countKnown()) {
                StopCount();
            } else {
                StartCount(keepPlace);
            }
        } else if (query_) {
            query_->Reorder();
            count = query_->count();
        }
        if (query_ && mode_ != ListMode::Messages) {
            // The board and the missing list are read whole (a few thousand rows at most).
            StopCount();
            FillOwnRows();
            count = static_cast<std::int64_t>(ownRows_.size());
        }
    } catch (const messages::SqliteError& error) {
        StopCount();
        query_.reset();
        ownRows_.clear();
        ShowStatus(L"The message store " + storePath_ + L" cannot be read: " + Wide(error.what()));
    }
    const auto items = static_cast<WPARAM>(std::min<std::int64_t>(count, INT_MAX));
    ::SendMessageW(list_, LVM_SETITEMCOUNT, items, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (!keepPlace) {
        selectedId_ = 0;
        SelectRow(-1);
        ::SendMessageW(list_, LVM_ENSUREVISIBLE, 0, FALSE);
    } else {
        // The selected message keeps its selection wherever it went; one that no longer passes the
        // filter is let go.
        const std::int64_t selected = selectedId_ && query_ ? PositionOfId(selectedId_) : -1;
        if (selected < 0 && selectedId_) selectedId_ = 0;
        SelectRow(selected);
        if (topId) {
            // Rows above the first one shown push it down: scroll by as many so it stays in view.
            const std::int64_t newTop = query_ ? PositionOfId(topId) : -1;
            const auto nowTop = static_cast<std::int64_t>(::SendMessageW(list_, LVM_GETTOPINDEX, 0, 0));
            RECT item{};
            item.left = LVIR_BOUNDS;
            if (newTop >= 0 && newTop != nowTop && ::SendMessageW(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item))) {
                const auto rowHeight = static_cast<int>(item.bottom - item.top);
                ::SendMessageW(list_, LVM_SCROLL, 0, static_cast<LPARAM>((newTop - nowTop) * rowHeight));
            }
        }
    }
    ::InvalidateRect(list_, nullptr, FALSE);
    if (query_) ShowStatus(CountAndNoticeText());
    ShowSelection();
    UpdateUnreadCount(false);
}

void CMsgFrame::StartCount(bool keepPlace) {
    if (keepPlace && counter_) {
        // A count of the same filter is under way: it ends first (a flood would otherwise restart it
        // for ever), and another follows it.
        recountWanted_ = true;
        return;
    }
    StopCount();
    try {
        counter_ = std::make_unique<browser::MatchCounter>(query_->path(), query_->countSql());
    } catch (const messages::SqliteError&) {
        return;  // the list keeps its provisional length; the next refresh tries again
    }
    ::SetTimer(hwnd(), kCountTimerId, kCountIntervalMs, nullptr);
}

void CMsgFrame::StopCount() {
    if (counter_ && !counter_->done()) {
        counter_->Cancel();
        retired_.push_back(std::move(counter_));
    }
    counter_.reset();
    recountWanted_ = false;
    LetGoOfEndedCounts();
}

void CMsgFrame::LetGoOfEndedCounts() {
    std::erase_if(retired_, [](const auto& counter) { return counter->done(); });
    // The timer runs while any count has not ended.
    if (!counter_ && retired_.empty() && hwnd()) ::KillTimer(hwnd(), kCountTimerId);
}

void CMsgFrame::OnCountTimer() {
    LetGoOfEndedCounts();
    if (!counter_ || !counter_->done()) return;
    const std::int64_t n = counter_->count();
    const bool again = recountWanted_;
    StopCount();
    if (!query_ || !list_ || mode_ != ListMode::Messages) return;
    if (n >= 0) {
        query_->SetCount(n);
        const auto items = static_cast<WPARAM>(std::min<std::int64_t>(n, INT_MAX));
        ::SendMessageW(list_, LVM_SETITEMCOUNT, items, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        ::InvalidateRect(list_, nullptr, FALSE);
        ShowStatus(CountAndNoticeText());
    }
    if (again) StartCount(false);
}

void CMsgFrame::SetCountStepBudget(std::int64_t steps) {
    stepBudget_ = steps;
    if (query_) query_->SetStepBudget(steps);
}

bool CMsgFrame::OpenStore() {
    StopCount();
    query_.reset();
    // The connection that marks messages seen goes with the store it was for, also when no other
    // store takes its place.
    marks_.reset();
    marksVersion_ = -1;
    if (storePath_.empty()) {
        ShowStatus(L"No message store is set.");
        return false;
    }
    if (::GetFileAttributesW(storePath_.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ShowStatus(L"No messages yet: the message store " + storePath_ +
                   L" does not exist. It is made when the decoder starts.");
        return false;
    }
    try {
        // The seen state needs a connection that may write, and a store that has its tables: the
        // decoder's writer brings a store up to date too, but the pane may open it first.
        marks_.emplace(messages::Database::Open(win::Utf8(storePath_)));
        sqlite3_busy_timeout(marks_->handle(), 200);
        if (messages::SchemaVersion(*marks_) < messages::kSchemaVersion) messages::MigrateSchema(*marks_);
    } catch (const messages::SqliteError&) {
        marks_.reset();  // a read-only store: browsed, but nothing is marked seen
    }
    try {
        query_ = std::make_unique<browser::MessageQuery>(win::Utf8(storePath_));
    } catch (const messages::SqliteError& error) {
        ShowStatus(L"The message store " + storePath_ + L" cannot be read: " + Wide(error.what()));
        return false;
    }
    query_->SetFilter(filter_);
    query_->SetStepBudget(stepBudget_);
    return true;
}

void CMsgFrame::SetStorePath(const std::wstring& path) {
    if (path == storePath_ && query_) return;  // the same store: the list stays as the user left it
    storePath_ = path;
    OpenStore();
    Search();
}

void CMsgFrame::CheckForNewMessages() {
    // The count of unseen messages is kept while the pane is hidden too: the button shows it.
    UpdateUnreadCount(false);
    if (!hwnd() || !::IsWindowVisible(hwnd())) return;
    if (!query_) {
        // The store appears with the first decoder run.
        if (!storePath_.empty() && ::GetFileAttributesW(storePath_.c_str()) != INVALID_FILE_ATTRIBUTES && OpenStore())
            RefreshList(false);
        return;
    }
    if (query_->StoreChanged()) RefreshList(true);
}

void CMsgFrame::SortBy(Column column) {
    if (!query_ || mode_ != ListMode::Messages) return;  // the board and the missing list keep their order
    const bool same = query_->sortColumn() == column;
    // A new column starts newest first for times, smallest first (most pressing for priorities) otherwise.
    const bool descending = same ? !query_->descending() : column == Column::Received;
    query_->SetSort(column, descending);
    RefreshList(false, false);  // the same messages: their count stands
}

