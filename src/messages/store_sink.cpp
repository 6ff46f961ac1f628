// The store's record sink: the reader's records go through the sink worker to a writer that commits
// them in bounded transactions and trims old rows while it has nothing to write.
#include "messages/store_sink.h"

#include <chrono>
#include <vector>

namespace messages {

StoreSink::StoreSink(std::unique_ptr<MessageStore> store, StoreSinkOptions options)
    : store_(std::move(store)), options_(std::move(options)),
      writer_([this](Worker::Batch& batch) { Write(batch); },
              Worker::Options{.idle = [this] {
                  // Trimming happens only with nothing to write, one short transaction at a time.
                  const bool more = TrimOnce();
                  return Worker::Clock::now() + (more ? std::chrono::milliseconds(0)
                                                      : std::chrono::milliseconds(options_.trimIntervalMs));
              }}) {
    if (options_.maxBatch < 1) options_.maxBatch = 1;
    store_->SetAlertFilter(options_.alertFilter);
    store_->SetErrorCallback([this](const std::string& error) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            error_ = error;
        }
        if (options_.onError) options_.onError(error);
    });
    writer_.Start();
}

// The writer ends once it has written what is still queued (the worker's destructor waits for it).
StoreSink::~StoreSink() = default;

// Nothing may throw out to the reader thread; a record that cannot even be queued (no memory) is lost
// and said so once, as a store error would be.
void StoreSink::Push(Item item) {
    try {
        writer_.Offer(std::move(item));
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

bool StoreSink::Flush(int waitMs) { return writer_.Flush(waitMs); }

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
                       const std::vector<std::int64_t>& copies, bool alerts) {
    const std::vector<MessageStore::Alerted> none;
    const std::vector<MessageStore::Alerted>& alerted = alerts ? store_->Alerts() : none;
    std::size_t nextAlert = 0;
    for (std::size_t i = 0; i < done; ++i) {
        const bool message = batch[i].category == decoder::Category::MessageText;
        const std::int64_t n = i < copies.size() ? copies[i] : (message ? 1 : 0);
        std::int64_t alertId = 0;
        if (nextAlert < alerted.size() && alerted[nextAlert].record == i) alertId = alerted[nextAlert++].id;
        try {
            options_.onWritten(batch[i], n, alertId);
        } catch (...) {  // the follower's trouble is not the store's
        }
    }
}

void StoreSink::Write(Worker::Batch& batch) {
    std::vector<Item>& items = batch.items;
    std::size_t next = 0;
    while (next < items.size()) {
        if (items[next].kind != Kind::Record) {
            const Item& item = items[next++];
            if (item.kind == Kind::Start) {
                runId_ = store_->BeginRun(options_.instance, item.timeMs, options_.commandLine);
            } else {
                store_->EndRun(runId_, item.timeMs);
                runId_ = 0;
            }
            batch.Done(1);
            continue;
        }
        records_.clear();
        for (std::size_t i = next; i < items.size() && items[i].kind == Kind::Record &&
                                   records_.size() < static_cast<std::size_t>(options_.maxBatch);
             ++i) {
            records_.push_back(std::move(items[i].record));
        }
        std::size_t done =
            store_->Write(runId_, records_, options_.batchBudgetMs, options_.onWritten ? &copies_ : nullptr);
        // After a failure the store writes nothing more: the records are dropped rather than kept forever.
        const bool failed = done == 0 || store_->failed();
        if (failed) {
            done = records_.size();
            copies_.clear();
        }
        if (options_.onWritten) Report(records_, done, copies_, !failed);
        // What did not fit in the transaction's time goes into the next one.
        for (std::size_t i = done; i < records_.size(); ++i) items[next + i].record = std::move(records_[i]);
        next += done;
        {
            std::lock_guard<std::mutex> hold(lock_);
            written_ += done;
        }
        batch.Done(done);
    }
}

}  // namespace messages
