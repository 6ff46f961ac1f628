// MessageQuery: the messages that pass a filter, in the list's order, read from the store by position.
//
// Portable. It has its own read-only connection to the store and holds no copy of it: rows are paged
// in, a page of kPageRows at a time, into a small cache keyed by position (at most kCachedPages
// pages), so its memory stays the same whatever the number of messages. One thread uses it (the
// window's); a writer in this or another process goes on meanwhile (WAL), and StoreChanged() tells
// when it has committed.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/browser_row.h"
#include "messages/filter.h"
#include "messages/sqlite_db.h"

namespace browser {

class MessageQuery {
public:
    static constexpr int kPageRows = 64;
    static constexpr std::size_t kCachedPages = 8;

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
    // Throws messages::SqliteError when the store cannot be read.
    std::int64_t Refresh(std::int64_t nowMs);
    std::int64_t count() const noexcept { return count_; }

    // The row at `position` (0 is the first in the order) as of the last Refresh; null past the end
    // or when the store cannot be read. Valid until the next RowAt or Refresh.
    const BrowserRow* RowAt(std::int64_t position);

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
    std::string OrderBy() const;
    Page& LoadPage(std::int64_t index);

    std::string path_;
    messages::Database db_;
    messages::Filter filter_;
    messages::FilterSql sql_;
    Column sortColumn_ = Column::Received;
    bool descending_ = true;
    std::int64_t count_ = 0;
    std::int64_t dataVersion_ = -1;
    std::uint64_t useClock_ = 0;
    std::vector<Page> pages_;
    std::unique_ptr<messages::Statement> pageStatement_;
};

}  // namespace browser
