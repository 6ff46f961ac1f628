// A decoder record sink that writes every record (and every message) to a MessageStore on a writer
// thread of its own, so the reader thread never waits on the database.
//
// Portable. The sink owns its store; only the writer thread touches it after construction.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "decoder/record_sink.h"
#include "decoder/sink_worker.h"
#include "decoder/utc_clock.h"
#include "messages/message_store.h"

namespace messages {

// UTC milliseconds since 1970; injectable so that tests decide what "now" is. Called on the reader
// thread (run start and end) and on the writer thread (trimming), so it must be thread-safe.
using UtcClock = std::function<std::int64_t()>;
using decoder::SystemUtcMs;

struct StoreSinkOptions {
    std::string instance;     // which front end wrote the run (runs.instance)
    std::string commandLine;  // the decoder's command line for this run (runs.command_line)
    int finishWaitMs = 4000;  // how long OnRunEnded waits for the writer to commit what it was given
    int maxBatch = 500;       // records per transaction, at most
    int batchBudgetMs = 250;  // a transaction's duration, at most (see MessageStore::Write)
    int trimIntervalMs = 60'000;  // how often old rows are looked for once none are left
    int trimStepRows = 1000;      // rows removed per step, between write transactions
    UtcClock clock = SystemUtcMs;
    // The store's first error, once, on the writer thread (e.g. to post a line to the decoder log).
    std::function<void(const std::string&)> onError;
    // Each record once it is committed, in order, on the writer thread, with its message's copies
    // (0 for a record that is not a message) and, for a new message that raised an alert, its id
    // (else 0). Records the store could not write (after a failure) come too, messages with 1 copy
    // and no alert, so that a follower misses nothing.
    std::function<void(const decoder::Record&, std::int64_t copies, std::int64_t alertId)> onWritten;
    // New messages that pass it raise an alert (MessageStore::SetAlertFilter); none: no alerts.
    std::optional<Filter> alertFilter;
};

class StoreSink : public decoder::IRecordSink {
public:
    StoreSink(std::unique_ptr<MessageStore> store, StoreSinkOptions options);
    ~StoreSink() override;  // writes what is still queued, then stops the writer
    StoreSink(const StoreSink&) = delete;
    StoreSink& operator=(const StoreSink&) = delete;

    void OnRunStarted() override;                        // a run row, started now
    void OnRecord(const decoder::Record& record) override;  // queued, never blocks on the store
    // Returns once everything given before it is committed and the run's stop time written, or
    // after finishWaitMs at most.
    void OnRunEnded() override;

    // Waits (at most `waitMs`) until everything given so far is committed; true when it was.
    bool Flush(int waitMs);

    std::string error() const;       // "" while the store writes
    std::uint64_t written() const;   // records committed (or dropped after a failure) so far
    std::uint64_t trimmed() const;   // old rows removed so far

private:
    enum class Kind { Start, Record, End };
    struct Item {
        Kind kind;
        decoder::Record record;
        std::int64_t timeMs = 0;
    };
    using Worker = decoder::SinkWorker<Item>;
    void Push(Item item);
    void Write(Worker::Batch& batch);
    void Report(const std::vector<decoder::Record>& batch, std::size_t done, const std::vector<std::int64_t>& copies,
                bool alerts);
    bool TrimOnce();

    std::unique_ptr<MessageStore> store_;
    StoreSinkOptions options_;
    std::int64_t runId_ = 0;                // writer thread only
    std::vector<decoder::Record> records_;  // writer thread only: one transaction's records
    std::vector<std::int64_t> copies_;      // writer thread only

    mutable std::mutex lock_;
    std::uint64_t written_ = 0;
    std::uint64_t trimmed_ = 0;
    std::string error_;
    Worker writer_;  // last: its thread stops before the members it uses go
};

}  // namespace messages
