// The messages pane's list: columns, rows read from the query as they are drawn, priority colours,
// the selection shown in the text view, and refreshes that keep the user's place.
#include "controls/msg_frame.h"

#include <commctrl.h>

#include <algorithm>

#include "controls/msg_frame_text.h"
#include "theme/palette.h"
#include "win/colour.h"

using browser::Column;
using msgframe::Wide;

namespace {

// The columns' starting widths, in the order of browser::Column.
constexpr int kColumnWidths[browser::kColumnCount] = {125, 45, 55, 65, 50, 55, 420};

bool IsNumberColumn(int column) {
    const auto c = static_cast<Column>(column);
    return c != Column::Received && c != Column::Priority && c != Column::Message;
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
    const browser::BrowserRow* row = query_ ? query_->RowAt(item.iItem) : nullptr;
    if (!row || item.iSubItem < 0 || item.iSubItem >= browser::kColumnCount) return;
    cellText_ = Wide(browser::CellText(*row, static_cast<Column>(item.iSubItem)));
    wcsncpy_s(item.pszText, static_cast<std::size_t>(item.cchTextMax), cellText_.c_str(), _TRUNCATE);
}

LRESULT CMsgFrame::OnCustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const browser::BrowserRow* row = query_ ? query_->RowAt(static_cast<std::int64_t>(draw.nmcd.dwItemSpec)) : nullptr;
        if (!row) return CDRF_DODEFAULT;
        if (row->priority == messages::Priority::Distress) {
            draw.clrTextBk = win::ToColorRef(palette::kMessageDistressRow);
        } else if (row->priority == messages::Priority::Urgency) {
            draw.clrTextBk = win::ToColorRef(palette::kMessageUrgencyRow);
        } else {
            return CDRF_DODEFAULT;
        }
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
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
    const browser::BrowserRow* row = position >= 0 && query_ ? query_->RowAt(position) : nullptr;
    const std::int64_t id = row ? row->id : 0;
    if (id == selectedId_) return;
    selectedId_ = id;
    ShowSelection();
}

void CMsgFrame::ShowSelection() {
    if (!clientWindow) return;
    if (selectedId_ == 0 || !query_) {
        ::SetWindowTextW(clientWindow, status_.c_str());
        return;
    }
    ::SetWindowTextW(clientWindow, Wide(query_->Text(selectedId_)).c_str());
}

void CMsgFrame::ShowStatus(std::wstring text) {
    status_ = std::move(text);
    if (selectedId_ == 0 && clientWindow) ::SetWindowTextW(clientWindow, status_.c_str());
}

std::wstring CMsgFrame::CountText() const {
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
    }
    settingSelection_ = false;
}

void CMsgFrame::RefreshList(bool keepPlace, bool recount) {
    if (!list_) return;
    const std::int64_t top = keepPlace ? ::SendMessageW(list_, LVM_GETTOPINDEX, 0, 0) : 0;
    const browser::BrowserRow* topRow = top > 0 && query_ ? query_->RowAt(top) : nullptr;
    const std::int64_t topId = topRow ? topRow->id : 0;
    std::int64_t count = 0;
    try {
        if (query_ && recount) {
            // A live refresh keeps the length the list had while a new count is made, so that it does
            // not shrink to a page and grow back.
            count = query_->Refresh(msgframe::NowMs(), keepPlace ? query_->count() : 0);
            if (query_->countKnown()) {
                StopCount();
            } else {
                StartCount(keepPlace);
            }
        } else if (query_) {
            query_->Reorder();
            count = query_->count();
        }
    } catch (const messages::SqliteError& error) {
        StopCount();
        query_.reset();
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
        const std::int64_t selected = selectedId_ && query_ ? query_->PositionOf(selectedId_) : -1;
        if (selected < 0 && selectedId_) selectedId_ = 0;
        SelectRow(selected);
        if (topId) {
            // Rows above the first one shown push it down: scroll by as many so it stays in view.
            const std::int64_t newTop = query_ ? query_->PositionOf(topId) : -1;
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
    if (query_) ShowStatus(CountText());
    ShowSelection();
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
    if (!query_ || !list_) return;
    if (n >= 0) {
        query_->SetCount(n);
        const auto items = static_cast<WPARAM>(std::min<std::int64_t>(n, INT_MAX));
        ::SendMessageW(list_, LVM_SETITEMCOUNT, items, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        ::InvalidateRect(list_, nullptr, FALSE);
        ShowStatus(CountText());
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
        query_ = std::make_unique<browser::MessageQuery>(msgframe::Utf8(storePath_));
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
    if (!query_) return;
    const bool same = query_->sortColumn() == column;
    // A new column starts newest first for times, smallest first (most pressing for priorities) otherwise.
    const bool descending = same ? !query_->descending() : column == Column::Received;
    query_->SetSort(column, descending);
    RefreshList(false, false);  // the same messages: their count stands
}

bool CMsgFrame::SelectMessage(std::int64_t id) {
    if (!query_ || !list_ || id <= 0) return false;
    std::int64_t position = -1;
    try {
        position = query_->PositionOf(id);
    } catch (const std::exception&) {
        return false;
    }
    if (position < 0) return false;
    SelectRow(-1);  // the old selection goes quietly; the new one is announced as a click's would be
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
    return selectedId_ == id;
}
