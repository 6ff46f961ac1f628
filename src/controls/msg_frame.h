// CMsgFrame: the "Messages" pane, a message browser. A bar with a filter expression and three
// buttons ("Search", "Quick filter", "Options"), the list of the messages that pass the filter
// (newest first, owner-data: rows are read from the store as they are drawn), a splitter, and a text
// view with the selected message's whole text. With nothing selected the text view says what the list
// holds: how many messages match, that there is no store yet, or what is wrong with the expression.
//
// The pane reads the store through a read-only connection of its own (browser::MessageQuery) on the
// window's thread; a timer checks a few times a second, while the pane is shown, whether a writer has
// committed, and refreshes the list keeping the selection and the scroll position. On a large store the
// first screen is shown before the matches are counted: a browser::MatchCounter counts them on its own
// thread, and a short timer gives the list its full length (and the pane its "N messages") when done.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/match_counter.h"
#include "browser/message_export.h"
#include "browser/message_query.h"
#include "messages/sqlite_db.h"
#include "warnings/position.h"
#include "win/frame_window.h"
#include "win/handles.h"

// WM_NOTIFY code the pane sends its parent when the number of messages the user has not seen changes
// (an MsgFrameUnread: the parent shows it on the pane's button).
inline constexpr int MSGFRAME_UNREAD_CHANGED = -3101;
struct MsgFrameUnread {
    NMHDR header;
    std::int64_t unread;
};

class CMsgFrame : public win::FrameWindow {
public:
    // Layout measures in pixels, all in one place.
    static constexpr int kListHeight = 100;      // the list's starting height
    static constexpr int kMinListHeight = 30;    // as far as the splitter lets the list shrink
    static constexpr int kSplitterHeight = 5;    // the bar between the list and the text view
    // How far band 0 is widened on each layout, so that it takes the spare width of its row.
    static constexpr int kFilterBandGrowth = 1000;
    static constexpr UINT kLiveIntervalMs = 300;  // how often a shown pane looks for new messages
    static constexpr UINT kCountIntervalMs = 25;  // how often a pane waiting for a count looks for it
    static constexpr UINT_PTR kCountTimerId = 2;   // that timer (1 is the live one)

    // The ready filters of "Quick filter", in menu order.
    enum class QuickFilter { LastHour, Today, DistressAndUrgency, SelectedLes, All, InForce, NearHome, Missing, Unread, Alerts };
    // The commands of "Options", in menu order.
    enum class Option { ExportCsv, ExportJsonLines, CopyMessage, OpenStoreLocation, MarkAllRead };
    // What the list holds: the messages that pass the filter; the in-force board (the warnings in force
    // under a header per series); the warnings bulletins name that were never received.
    enum class ListMode { Messages, Board, Missing };
    static constexpr wchar_t kInForceExpression[] = L"state=inforce";
    static constexpr wchar_t kMissingExpression[] = L"missing";  // not a filter: the pane's own list
    static constexpr int kNearHomeNm = 200;

    CMsgFrame() = default;
    ~CMsgFrame() override;

    // Bar along the top, the list below it, the splitter, the text view down to the bottom.
    void UpdateLayout(bool resizeBars = true) override;

    // The store to browse (a full path); opened now if it exists, otherwise as soon as it does.
    void SetStorePath(const std::wstring& path);

    // "Search": runs the edit's expression. False (and the error said and selected) when it is wrong.
    bool Search();
    // Writes the quick filter's expression into the edit and runs it; false when it cannot apply
    // (no message selected for SelectedLes).
    bool ApplyQuickFilter(QuickFilter which);
    static std::wstring QuickFilterExpression(QuickFilter which, std::int64_t les, std::int64_t nowMs);
    // Exports what the list shows to `path`; false with the reason said in the pane when it fails.
    bool ExportTo(const std::wstring& path, browser::ExportFormat format);
    // Runs an "Options" command (the exports ask for a file name in the save dialog).
    void RunOption(Option option);
    // Copies the selected message's whole text to the clipboard; false without a selection.
    bool CopySelectedMessage();
    // Checks the store for changes now, as the timer does.
    void CheckForNewMessages();
    // The home position `dist` counts from (none: `dist` is refused, "Near home" greyed).
    void SetHomePosition(std::optional<warnings::GeoPoint> home);
    // Selects message `id` in the list (its text shown, its row scrolled into view), as a click on its
    // row does; the filter is cleared when the message does not pass it. False when it is gone.
    bool SelectMessage(std::int64_t id);
    // Follows the reading line's link: selects the message that cancelled the one shown.
    bool FollowCancellation();
    // Marks every message stored so far seen.
    void MarkAllRead();
    // Marks the selected message seen and selects the next row (Space).
    void MarkReadAndMoveOn();
    std::int64_t unreadCount() const noexcept { return unread_; }
    ListMode listMode() const noexcept { return mode_; }
    // The list's rows as shown: each row's cells joined by tabs (headers and missing rows included).
    std::wstring RowText(std::int64_t position);
    // The reading line above the selected message's text, and its link (empty when none).
    const std::wstring& readingLine() const noexcept { return readingLine_; }
    const std::wstring& readingLink() const noexcept { return readingLink_; }
    // Whether the row is drawn bold (unread), muted (no longer in force) or as a header.
    bool RowIsBold(std::int64_t position);
    bool RowIsMuted(std::int64_t position);
    // Sorts by `column` (a second call on the same column reverses the order), as a header click does.
    void SortBy(browser::Column column);
    // How much counting the window's thread may do before it leaves the count to a thread of its own
    // (browser::MessageQuery::SetStepBudget; 0: always on the other thread).
    void SetCountStepBudget(std::int64_t steps);
    // True while the matches are being counted on the other thread.
    bool counting() const noexcept { return counter_ != nullptr; }

    HWND filterEdit() const noexcept { return filterEdit_; }
    HWND searchButton() const noexcept { return searchButton_; }
    HWND quickFilterButton() const noexcept { return quickFilterButton_; }
    HWND optionsButton() const noexcept { return optionsButton_; }
    HWND list() const noexcept { return list_; }
    HWND textView() const noexcept { return clientWindow; }
    HWND bar() const noexcept { return topBar; }
    int listHeight() const noexcept { return listHeight_; }
    // What the pane says about the list (the count, the empty state or the expression's error).
    const std::wstring& status() const noexcept { return status_; }
    std::int64_t matchCount() const noexcept { return query_ ? query_->count() : 0; }
    std::int64_t selectedId() const noexcept { return selectedId_; }
    const browser::MessageQuery* query() const noexcept { return query_.get(); }

    // The screen DPI the pane's measures are for (96 until told); a new DPI rescales the bar and the
    // list height and lays the pane out again.
    void SetDpi(int dpi);
    // A 96-DPI measure at the pane's DPI.
    int Px(int pixels) const noexcept { return ::MulDiv(pixels, dpi_, 96); }
    int barChildHeight() const noexcept;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // msg_frame.cpp: creation, dispatch, layout, splitter.
    void OnCreate();
    void OnSize(WPARAM sizeType);
    bool OnNotify(const NMHDR& header, LRESULT& result);
    bool OnCommand(WPARAM wParam, LPARAM lParam);
    HWND CreateBandButton(const wchar_t* text, int width);
    void CreateTextView();
    void CreateList();
    void WidenFilterBand();
    int MinTextViewHeight() const;
    bool InSplitter(int y) const;
    void OnSplitterDrag(int y);
    static LRESULT CALLBACK ControlKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    bool OnControlKey(HWND control, UINT key);
    bool MoveInList(UINT key);

    // msg_frame_list.cpp: the list's rows, colours, selection and live refresh.
    void AddColumns();
    bool OnListNotify(const NMHDR& header, LRESULT& result);
    void OnGetDisplayInfo(NMLVDISPINFOW& info);
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw);
    void OnItemChanged(const NMLISTVIEW& change);
    void OnSelectionChanged();
    void ShowSelection();
    void ShowStatus(std::wstring text);
    // Reads the list again: counted afresh (`recount`), or the same messages in a new order.
    void RefreshList(bool keepPlace, bool recount = true);
    void StartCount(bool keepPlace);
    void StopCount();
    void LetGoOfEndedCounts();
    void OnCountTimer();
    void SelectRow(std::int64_t position);
    bool OpenStore();
    // The rows of the board and the missing list, which the pane holds itself.
    struct OwnRow {
        std::int64_t id = 0;    // the message (a board's warning, a missing warning's bulletin); 0: a header
        std::wstring header;    // a board header, or the missing warning's name
        bool missing = false;
    };
    std::int64_t RowCount() const;
    const browser::BrowserRow* RowAtPosition(std::int64_t position);
    std::int64_t PositionOfId(std::int64_t id);
    std::int64_t IdAt(std::int64_t position);
    void FillOwnRows();
    void MarkSeen(std::int64_t id);
    void UpdateUnreadCount(bool force);
    void SetUnreadCount(std::int64_t count);
    void DrawBoardHeader(HDC dc, std::int64_t position);
    void ShowReadingLink(LONG start);
    std::wstring CountText() const;
    // The count, followed by an export's outcome while it stands.
    std::wstring CountAndNoticeText() const { return CountText() + exportNotice_; }

    // msg_frame_commands.cpp: the buttons' menus, the save dialog, the clipboard, the shell.
    void ShowQuickFilterMenu();
    void ShowOptionsMenu();
    UINT TrackMenuBelow(HWND button, HMENU menu);
    void ExportWithDialog(browser::ExportFormat format);
    void OpenStoreLocation();

    HWND filterEdit_ = nullptr;
    HWND searchButton_ = nullptr;
    HWND quickFilterButton_ = nullptr;
    HWND optionsButton_ = nullptr;
    HWND list_ = nullptr;
    int listHeight_ = kListHeight;
    int dpi_ = 96;
    int listTop_ = 0;              // where the list starts (below the bar), for the splitter
    bool dragging_ = false;
    int dragOffset_ = 0;
    // Outlives the text view: the view is destroyed with the pane, before the object goes.
    win::UniqueFont textFont_;

    std::wstring storePath_;
    std::unique_ptr<browser::MessageQuery> query_;
    // Counts query_'s matches while the list shows its first rows; declared after query_, stopped first.
    std::unique_ptr<browser::MatchCounter> counter_;
    // Counts given up (a new search came) that have not ended yet: kept until they have, so that the
    // window never waits for one.
    std::vector<std::unique_ptr<browser::MatchCounter>> retired_;
    bool recountWanted_ = false;   // the store changed while counter_ counted
    std::int64_t stepBudget_ = browser::MessageQuery::kDefaultStepBudget;
    messages::Filter filter_;      // the last expression that parsed
    std::wstring status_;
    // An export's outcome shown after the count: kept through live refreshes (new messages, a message
    // marked seen) until the list is made afresh.
    std::wstring exportNotice_;
    std::int64_t selectedId_ = 0;  // the message in the text view (0: none)
    bool settingSelection_ = false;
    // The selected and focused rows as the list last said (LVN_ITEMCHANGED): asking the list itself
    // (LVM_GETNEXTITEM) or changing every row at once (item -1) walks all its rows, a million of them.
    std::int64_t selectedPosition_ = -1;
    std::int64_t focusedPosition_ = -1;
    std::wstring cellText_;        // the text handed to the list for one cell

    ListMode mode_ = ListMode::Messages;
    std::vector<OwnRow> ownRows_;  // the board's or the missing list's rows
    std::optional<warnings::GeoPoint> home_;
    // A writable connection of the pane's own for the seen state (the query's is read-only).
    std::optional<messages::Database> marks_;
    std::int64_t marksVersion_ = -1;  // its PRAGMA data_version when the count was last made
    std::int64_t unread_ = -1;     // as last told to the parent (-1: not yet)
    win::UniqueFont boldFont_;     // the list's font in bold, for unread rows
    std::wstring readingLine_;
    std::wstring readingLink_;
    std::int64_t linkTarget_ = 0;  // the message the link selects
};
