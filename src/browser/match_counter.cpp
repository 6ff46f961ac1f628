#include "browser/match_counter.h"

#include <utility>

namespace browser {

MatchCounter::MatchCounter(const std::string& path, messages::FilterSql sql)
    : db_(messages::Database::Open(path, SQLITE_OPEN_READONLY)), sql_(std::move(sql)) {
    sqlite3_busy_timeout(db_.handle(), 200);
    thread_ = std::thread([this] { Run(); });
}

MatchCounter::~MatchCounter() {
    // The connection stays open until the thread has ended, so the interrupt always has one to reach.
    if (!done()) sqlite3_interrupt(db_.handle());
    if (thread_.joinable()) thread_.join();
}

void MatchCounter::Run() noexcept {
    std::int64_t count = -1;
    try {
        messages::Statement s(db_, "SELECT count(*) FROM message_rows m WHERE " + sql_.where);
        sql_.BindTo(s);
        count = s.Step() ? s.ColumnInt64(0) : 0;
    } catch (const std::exception&) {
        count = -1;  // interrupted, or the store went away: the owner keeps what it had
    }
    count_ = count;
    done_.store(true, std::memory_order_release);
}

}  // namespace browser
