// Reception sink: a locked queue from the reader (and the window's SNR samples) to a writer thread
// that keeps the ledger and replaces the run's rows of the open hours now and then.
#include "reception/reception_sink.h"

#include <chrono>

#include "messages/store_sink.h"

namespace reception {

ReceptionSink::ReceptionSink(ReceptionSinkOptions options) : options_(std::move(options)) {
    if (!options_.clock) options_.clock = messages::SystemUtcMs;
    writer_ = std::thread([this] { Work(); });
}

ReceptionSink::~ReceptionSink() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

void ReceptionSink::Push(Item item) {
    try {
        {
            std::lock_guard<std::mutex> hold(lock_);
            queue_.push_back(std::move(item));
            ++given_;
        }
        wake_.notify_one();
    } catch (...) {  // out of memory: a frame less in the ledger, nothing thrown at the reader
    }
}

void ReceptionSink::OnRunStarted() { Push(Item{Kind::Start, options_.clock()}); }

void ReceptionSink::OnRecord(const decoder::Record& record) {
    if (record.category != decoder::Category::BulletinHeader) return;
    try {
        Push(Item{Kind::Frame, record.receivedUtcMs, record.les, record.frame});
    } catch (...) {
    }
}

void ReceptionSink::OnRunEnded() {
    Push(Item{Kind::End, options_.clock()});
    Flush(options_.finishWaitMs);
}

void ReceptionSink::Snr(std::int64_t utcMs, double db) { Push(Item{Kind::Snr, utcMs, {}, {}, db}); }

bool ReceptionSink::Flush(int waitMs) {
    Push(Item{Kind::Write, 0});
    std::unique_lock<std::mutex> hold(lock_);
    const std::uint64_t target = given_;
    return done_.wait_for(hold, std::chrono::milliseconds(waitMs), [&] { return finished_ >= target; });
}

std::string ReceptionSink::error() const {
    std::lock_guard<std::mutex> hold(lock_);
    return error_;
}

void ReceptionSink::Work() {
    using Steady = std::chrono::steady_clock;
    auto nextWrite = Steady::now() + std::chrono::milliseconds(options_.writeIntervalMs);
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        if (queue_.empty()) {
            if (quit_) return;
            if (Steady::now() >= nextWrite) {
                hold.unlock();
                Write(options_.clock());
                hold.lock();
                nextWrite = Steady::now() + std::chrono::milliseconds(options_.writeIntervalMs);
                continue;
            }
            wake_.wait_until(hold, nextWrite, [&] { return quit_ || !queue_.empty(); });
            continue;
        }
        Item item = std::move(queue_.front());
        queue_.pop_front();
        hold.unlock();
        switch (item.kind) {
        case Kind::Start: ledger_.RunStarted(item.timeMs); break;
        case Kind::Frame: ledger_.Frame(item.les, item.frame, item.timeMs); break;
        case Kind::Snr: ledger_.Snr(item.timeMs, item.db); break;
        case Kind::End:
            ledger_.RunEnded(item.timeMs);
            Write(item.timeMs);
            break;
        case Kind::Write: Write(options_.clock()); break;
        }
        hold.lock();
        ++finished_;
        done_.notify_all();
    }
}

// Rows are replaced whole: the run's own rows of an hour always hold its whole count. Hours two
// behind are final once written, and the ledger forgets them.
void ReceptionSink::Write(std::int64_t nowMs) {
    if (options_.storePath.empty()) return;
    try {
        if (!store_) store_ = messages::MessageStore::Open(options_.storePath);
        messages::Database& db = store_->database();
        const auto hours = ledger_.Hours(nowMs);
        {
            messages::Transaction t(db);
            messages::Statement s(db,
                                  "INSERT OR REPLACE INTO reception_rows (instance, hour_ms, les, heard, expected, "
                                  "missed, snr_sum, snr_count, snr_min) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
            for (const auto& [key, c] : hours) {
                s.Reset(true);
                s.Bind(1, std::string_view(options_.instance)).Bind(2, key.hourMs).Bind(3, key.les);
                s.Bind(4, c.heard).Bind(5, c.expected).Bind(6, c.missed).Bind(7, c.snrSum).Bind(8, c.snrCount);
                if (c.snrCount > 0)
                    s.Bind(9, c.snrMin);
                else
                    s.BindNull(9);
                s.Step();
            }
            t.Commit();
        }
        ledger_.Forget(HourOf(nowMs) - kHourMs);
    } catch (const std::exception& e) {
        std::string said;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!error_.empty()) return;
            error_ = said = std::string("reception ledger: ") + e.what();
        }
        store_.reset();  // opened afresh for the next write
        if (options_.onError) options_.onError(said);
    }
}

}  // namespace reception
