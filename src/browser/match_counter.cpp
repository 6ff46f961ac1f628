#include "browser/match_counter.h"

#include <stdexcept>
#include <utility>

namespace browser {

MatchCounter::MatchCounter(const std::string& path, messages::FilterSql sql)
    : db_(messages::Database::Open(path, SQLITE_OPEN_READONLY)), sql_(std::move(sql)) {
    sqlite3_busy_timeout(db_.handle(), 200);
    messages::RegisterFilterFunctions(db_);  // for `dist` terms
    thread_ = std::thread([this] { Run(); });
}

MatchCounter::~MatchCounter() {
    // The connection stays open until the thread has ended, so the interrupt always has one to reach.
    if (!done()) Cancel();
    if (thread_.joinable()) thread_.join();
}

void MatchCounter::Cancel() noexcept {
    cancelled_.store(true, std::memory_order_relaxed);
    sqlite3_interrupt(db_.handle());  // the connection is open until the destructor has joined
}

void MatchCounter::Run() noexcept {
    std::int64_t count = -1;
    // An interrupt reaches only a statement already running; the flag, looked at every thousand steps,
    // also stops one that started after Cancel().
    sqlite3_progress_handler(
        db_.handle(), 1000,
        [](void* self) { return static_cast<MatchCounter*>(self)->cancelled_.load(std::memory_order_relaxed) ? 1 : 0; },
        this);
    try {
        if (cancelled_.load(std::memory_order_relaxed)) throw std::runtime_error("cancelled");
        messages::Statement s(db_, "SELECT count(*) FROM message_rows m WHERE " + sql_.where);
        sql_.BindTo(s);
        count = s.Step() ? s.ColumnInt64(0) : 0;
    } catch (const std::exception&) {
        count = -1;  // interrupted, or the store went away: the owner keeps what it had
    }
    count_ = cancelled_.load(std::memory_order_relaxed) ? -1 : count;
    done_.store(true, std::memory_order_release);
}

}  // namespace browser
