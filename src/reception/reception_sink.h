// A decoder record sink that keeps the reception ledger of a run and writes it to the message store
// through a connection and a thread of its own, so the reader never waits on the database.
//
// Portable: no Windows header.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "decoder/record_sink.h"
#include "messages/message_store.h"
#include "reception/ledger.h"

namespace reception {

struct ReceptionSinkOptions {
    std::string storePath;  // the message store's file (its schema has the ledger's table)
    std::string instance;   // the run, as in runs.instance: its rows are its own
    // UTC milliseconds: the run's start and end, and "now" for the stretch of run time still open.
    std::function<std::int64_t()> clock;
    int writeIntervalMs = 60'000;  // how often the open hours are written while the run goes on
    int finishWaitMs = 4000;       // how long OnRunEnded waits for the last write
    std::function<void(const std::string&)> onError;  // the first error, once, on the writer thread
};

class ReceptionSink : public decoder::IRecordSink {
public:
    explicit ReceptionSink(ReceptionSinkOptions options);
    ~ReceptionSink() override;
    ReceptionSink(const ReceptionSink&) = delete;
    ReceptionSink& operator=(const ReceptionSink&) = delete;

    void OnRunStarted() override;
    void OnRecord(const decoder::Record& record) override;  // bulletin-board headers only; never blocks
    void OnRunEnded() override;                             // writes the ledger, within finishWaitMs
    // A signal-to-noise sample in dB, from any thread.
    void Snr(std::int64_t utcMs, double db);
    // Writes what the ledger has now and waits (at most `waitMs`) for it; true when written.
    bool Flush(int waitMs);
    std::string error() const;

private:
    enum class Kind { Start, Frame, Snr, End, Write };
    struct Item {
        Kind kind;
        std::int64_t timeMs = 0;
        std::string les;
        std::string frame;
        double db = 0.0;
    };
    void Push(Item item);
    void Work();
    void Write(std::int64_t nowMs);

    ReceptionSinkOptions options_;
    Ledger ledger_;  // writer thread only
    std::unique_ptr<messages::MessageStore> store_;  // writer thread only, opened at the first write
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Item> queue_;
    std::uint64_t given_ = 0;
    std::uint64_t finished_ = 0;
    std::string error_;
    bool quit_ = false;
    std::thread writer_;
};

}  // namespace reception
