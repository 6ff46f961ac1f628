// The store's record sink: a locked queue from the reader thread to a writer thread that commits in
// bounded batches and trims old rows while it has nothing to write.
#include "messages/store_sink.h"

#include <chrono>
#include <vector>

namespace messages {

std::int64_t SystemUtcMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

StoreSink::StoreSink(std::unique_ptr<MessageStore> store, StoreSinkOptions options)
    : store_(std::move(store)), options_(std::move(options)) {
    if (options_.maxBatch < 1) options_.maxBatch = 1;
    store_->SetErrorCallback([this](const std::string& error) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            error_ = error;
        }
        if (options_.onError) options_.onError(error);
    });
    writer_ = std::thread([this] { Work(); });
}

StoreSink::~StoreSink() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

// Nothing may throw out to the reader thread; a record that cannot even be queued (no memory) is lost
// and said so once, as a store error would be.
void StoreSink::Push(Item item) {
    try {
        {
            std::lock_guard<std::mutex> hold(lock_);
            queue_.push_back(std::move(item));
            ++given_;
        }
        wake_.notify_one();
    } catch (const std::exception& e) {
        std::lock_guard<std::mutex> hold(lock_);
        if (error_.empty()) error_ = std::string("the message store's queue failed: ") + e.what();
    }
}

void StoreSink::OnRunStarted() { Push(Item{Kind::Start, {}, options_.clock()}); }

void StoreSink::OnRecord(const decoder::Record& record) {
    try {
        Push(Item{Kind::Record, record, 0});
    } catch (...) {  // copying the record itself failed; nothing leaves the sink
    }
}

void StoreSink::OnRunEnded() {
    Push(Item{Kind::End, {}, options_.clock()});
    Flush(options_.finishWaitMs);
}

bool StoreSink::Flush(int waitMs) {
    std::unique_lock<std::mutex> hold(lock_);
    const std::uint64_t target = given_;
    return done_.wait_for(hold, std::chrono::milliseconds(waitMs), [&] { return finished_ >= target; });
}

std::string StoreSink::error() const {
    std::lock_guard<std::mutex> hold(lock_);
    return error_;
}

std::uint64_t StoreSink::written() const {
    std::lock_guard<std::mutex> hold(lock_);
    return written_;
}

std::uint64_t StoreSink::trimmed() const {
    std::lock_guard<std::mutex> hold(lock_);
    return trimmed_;
}

// One step; true when it removed a full step, so that more may be waiting.
bool StoreSink::TrimOnce() {
    int removed = store_->TrimStep(options_.clock(), options_.trimStepRows);
    // Messages stored before this program read them: a short step at a time, like trimming.
    const bool unread = store_->ReadPendingMessages() > 0;
    std::lock_guard<std::mutex> hold(lock_);
    trimmed_ += static_cast<std::uint64_t>(removed);
    return removed >= options_.trimStepRows || unread;
}

// Records given to the store (or dropped by a failed one) go on to the follower, in order.
void StoreSink::Report(const std::vector<decoder::Record>& batch, std::size_t done,
                       const std::vector<std::int64_t>& copies) {
    for (std::size_t i = 0; i < done; ++i) {
        const bool message = batch[i].category == decoder::Category::MessageText;
        const std::int64_t n = i < copies.size() ? copies[i] : (message ? 1 : 0);
        try {
            options_.onWritten(batch[i], n);
        } catch (...) {  // the follower's trouble is not the store's
        }
    }
}

void StoreSink::Work() {
    using Steady = std::chrono::steady_clock;
    auto nextTrim = Steady::now();
    std::vector<decoder::Record> batch;
    std::vector<std::int64_t> copies;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        if (queue_.empty()) {
            if (quit_) return;
            // Trimming happens only with nothing to write, one short transaction at a time.
            if (Steady::now() >= nextTrim) {
                hold.unlock();
                bool more = TrimOnce();
                hold.lock();
                nextTrim = more ? Steady::now() : Steady::now() + std::chrono::milliseconds(options_.trimIntervalMs);
                continue;
            }
            wake_.wait_until(hold, nextTrim, [&] { return quit_ || !queue_.empty(); });
            continue;
        }
        if (queue_.front().kind != Kind::Record) {
            Item item = std::move(queue_.front());
            queue_.pop_front();
            hold.unlock();
            if (item.kind == Kind::Start) {
                runId_ = store_->BeginRun(options_.instance, item.timeMs, options_.commandLine);
            } else {
                store_->EndRun(runId_, item.timeMs);
                runId_ = 0;
            }
            hold.lock();
            ++finished_;
            done_.notify_all();
            continue;
        }
        batch.clear();
        while (!queue_.empty() && queue_.front().kind == Kind::Record &&
               batch.size() < static_cast<std::size_t>(options_.maxBatch)) {
            batch.push_back(std::move(queue_.front().record));
            queue_.pop_front();
        }
        hold.unlock();
        std::size_t done = store_->Write(runId_, batch, options_.batchBudgetMs, options_.onWritten ? &copies : nullptr);
        // After a failure the store writes nothing more: the batch is dropped rather than kept forever.
        if (done == 0 || store_->failed()) {
            done = batch.size();
            copies.clear();
        }
        if (options_.onWritten) Report(batch, done, copies);
        hold.lock();
        for (std::size_t i = batch.size(); i > done; --i) {
            queue_.push_front(Item{Kind::Record, std::move(batch[i - 1]), 0});
        }
        finished_ += done;
        written_ += done;
        done_.notify_all();
    }
}

}  // namespace messages
