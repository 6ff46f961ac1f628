// MatchCounter: counts the messages that pass a filter on a thread of its own, for a list that has
// shown its first screen without waiting for the count.
//
// Portable. It owns its thread and its own read-only connection to the store; the thread touches
// nothing else and waits for nobody. The owner looks at done() when it likes (a timer), and the
// destructor stops a count still running (sqlite3_interrupt) and joins the thread. SQLite notices an
// interrupt between its steps, not inside the trigram index's own work, so an owner that must not
// wait calls Cancel() and keeps the counter until done() before letting it go.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "messages/filter.h"
#include "messages/sqlite_db.h"

namespace browser {

class MatchCounter {
public:
    // Opens the store at `path` (UTF-8) and starts counting the rows of message_rows (as `m`) that
    // pass `sql`. Throws messages::SqliteError when the store cannot be opened.
    MatchCounter(const std::string& path, messages::FilterSql sql);
    ~MatchCounter();
    MatchCounter(const MatchCounter&) = delete;
    MatchCounter& operator=(const MatchCounter&) = delete;

    // Asks the count to stop soon, without waiting for it; done() follows, with no count.
    void Cancel() noexcept;

    // True once the count is over (made, or failed).
    bool done() const noexcept { return done_.load(std::memory_order_acquire); }
    // The count when done() and it did not fail; -1 otherwise.
    std::int64_t count() const noexcept { return done() ? count_ : -1; }

private:
    void Run() noexcept;

    messages::Database db_;
    messages::FilterSql sql_;
    std::int64_t count_ = -1;  // written by the thread before done_ is set
    std::atomic<bool> done_{false};
    std::atomic<bool> cancelled_{false};
    std::thread thread_;       // last: started once everything above is ready
};

}  // namespace browser
