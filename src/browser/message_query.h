// MessageQuery: the messages that pass a filter, in the list's order, read from the store by position.
//
// Portable. It has its own read-only connection to the store and holds no copy of it: rows are paged
// in, a page of kPageRows at a time, into a small cache keyed by position (at most kCachedPages
// pages), so its memory stays the same whatever the number of messages. One thread uses it (the
// window's); a writer in this or another process goes on meanwhile (WAL), and StoreChanged() tells
// when it has committed.
//
// Nothing it does on the window's thread reads all the matches of a large store when it can help it: a
// page is read walking an index in the list's order (the next or previous page from the one beside it,
// by key, when that one is cached), and Refresh counts only as far as a budget of SQLite steps allows. Past that the count is
// left to a MatchCounter on a thread of its own, and SetCount() takes its answer.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "browser/browser_row.h"
#include "browser/reading_line.h"
#include "messages/filter.h"
#include "messages/sqlite_db.h"

namespace browser {

// One row of the in-force board: a series' header (id 0, with how many warnings it has in force) or
// one of its warnings.
struct BoardEntry {
    std::int64_t id = 0;
    std::string series;
    std::int64_t count = 0;  // headers only
};

// A warning an in-force bulletin lists that the store never received, and that bulletin.
struct MissingWarning {
    std::string series;
    std::int64_t number = 0;
    std::int64_t year = 0;
    std::int64_t bulletinId = 0;
};

class MessageQuery {
public:
    static constexpr int kPageRows = 64;
    static constexpr std::size_t kCachedPages = 8;
    // How many SQLite virtual-machine steps Refresh may spend counting before it leaves the count to
    // a MatchCounter (a few milliseconds: some ten thousand messages)...
    static constexpr std::int64_t kDefaultStepBudget = 50'000;
    // ...and how many times that a page read may spend walking the messages in the list's order before
    // it lets SQLite choose (enough to find a page of a search that passes one message in a thousand).
    static constexpr std::int64_t kPageBudgetFactor = 20;

    // Opens the store at `path` (UTF-8) for reading only. Throws messages::SqliteError when there is
    // no such file or it is not a message store.
    explicit MessageQuery(const std::string& path);
    ~MessageQuery();
    MessageQuery(const MessageQuery&) = delete;
    MessageQuery& operator=(const MessageQuery&) = delete;

    // What the next Refresh selects and in which order (newest first until told otherwise).
    void SetFilter(const messages::Filter& filter) { filter_ = filter; }
    void SetSort(Column column, bool descending);
    Column sortColumn() const noexcept { return sortColumn_; }
    bool descending() const noexcept { return descending_; }

    // Counts the messages that pass, with ages counted from `nowMs`, and forgets every cached page.
    // When the count would take more than the step budget, count() is provisional (countKnown() is
    // false): the rows of the first page, or `atLeast` when that is more (the count a refresh of the
    // same list had before), until SetCount() gives the real one. Throws messages::SqliteError when
    // the store cannot be read.
    std::int64_t Refresh(std::int64_t nowMs, std::int64_t atLeast = 0);
    // Forgets the cached pages but keeps the count, for a new order of the same messages.
    void Reorder();
    std::int64_t count() const noexcept { return count_; }
    bool countKnown() const noexcept { return countKnown_; }
    // The count, when a MatchCounter has made it for the same filter.
    void SetCount(std::int64_t count) noexcept {
        count_ = count;
        countKnown_ = true;
    }
    // The filter as SQL as of the last Refresh, for a MatchCounter.
    const messages::FilterSql& countSql() const noexcept { return sql_; }
    // The step budget (see kDefaultStepBudget); 0 never counts on this thread.
    void SetStepBudget(std::int64_t steps) noexcept { stepBudget_ = steps; }

    // The row at `position` (0 is the first in the order) as of the last Refresh; null past the end
    // or when the store cannot be read. Valid until the next RowAt or Refresh.
    const BrowserRow* RowAt(std::int64_t position);

    // Message `id`'s row (whether or not it passes the filter), as of the last Refresh; null when it
    // is gone. Valid until the next RowById, Refresh or Forget.
    const BrowserRow* RowById(std::int64_t id);
    // Drops what is held of `id` (or of every row's unread mark), after the user has seen it.
    void Forget(std::int64_t id);
    void ForgetUnread();

    // The warnings in force now (as `state=inforce`), each once (its newest message), grouped by
    // series with a header before each series, newest first inside a series.
    std::vector<BoardEntry> InForceBoard();
    // The warnings that in-force bulletins list and the store never received, by series.
    std::vector<MissingWarning> MissingWarnings();

    // What the store read in message `id` (states as of the last Refresh); not read when it is gone.
    MessageReadingInfo Reading(std::int64_t id);

    // A message's whole text (UTF-8, as stored); empty when it is gone.
    std::string Text(std::int64_t id);

    // Where message `id` stands in the order now, or -1 when it does not pass the filter (or is gone).
    std::int64_t PositionOf(std::int64_t id);

    // True when the store has been written (by any other connection) since the last call.
    bool StoreChanged();

    // Every message that passes, in the order, with its whole text; for exports. Stops when `visit`
    // returns false.
    void ForEach(const std::function<bool(const BrowserRow&, std::string_view text)>& visit);

    std::size_t cachedPages() const noexcept { return pages_.size(); }
    const std::string& path() const noexcept { return path_; }

private:
    struct Page {
        std::int64_t index = -1;
        std::uint64_t lastUse = 0;
        std::vector<BrowserRow> rows;
    };
    std::string OrderBy(bool reversed = false) const;
    Page& LoadPage(std::int64_t index);
    void ReadPage(std::int64_t index, Page& page);
    const Page* Cached(std::int64_t index) const;
    bool CountWithinBudget();
    bool PlainFirst() const;
    void StartBudget(std::int64_t steps);
    void EndBudget();
    static int OnProgress(void* self);

    std::string path_;
    messages::Database db_;
    messages::Filter filter_;
    messages::FilterSql sql_;       // the filter as SQL, the trigram index used
    messages::FilterSql plainSql_;  // the same testing each message on its own (first tried for pages)
    bool plainFirst_ = false;       // pages try plainSql_ in index order first, until one runs over the budget
    Column sortColumn_ = Column::Received;
    bool descending_ = true;
    std::int64_t count_ = 0;
    bool countKnown_ = true;
    std::int64_t stepBudget_ = kDefaultStepBudget;
    std::int64_t stepsLeft_ = 0;
    bool budgeted_ = false;
    std::int64_t dataVersion_ = -1;
    std::uint64_t useClock_ = 0;
    std::vector<Page> pages_;
    std::int64_t nowMs_ = 0;  // the last Refresh's time, for states
    bool hasSeen_ = false;    // the store has the seen state and the state index (schema version 5)
    bool hasBoardIndex_ = false;  // the store has the board's index (schema version 7)
    std::unordered_map<std::int64_t, BrowserRow> byId_;
};

}  // namespace browser
