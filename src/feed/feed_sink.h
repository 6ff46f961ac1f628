// The feed's record sink: records (or only messages) become datagrams on a sender thread of its own,
// through a queue bounded by bytes, so that neither the reader nor the window ever waits for the
// network. The sender takes the whole queue at once, under one lock, and sends it without the lock,
// within a budget of its own time while records keep coming (send_pacer.h), so that a flood's
// datagrams follow it instead of slowing it.
//
// Portable: the sockets are behind IFeedTransport (udp_transport_win.h on Windows).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decoder/record_sink.h"
#include "decoder/sink_worker.h"
#include "feed/datagram.h"
#include "feed/destinations.h"
#include "feed/send_pacer.h"

namespace feed {

// Where datagrams go. Used only on the sender thread.
class IFeedTransport {
public:
    virtual ~IFeedTransport() = default;
    // Resolves and opens what it can, once, at run start; returns one text per destination that
    // cannot be used, naming it.
    virtual std::vector<std::string> Open(const std::vector<Destination>& destinations) = 0;
    // To every destination that was opened. Must not throw; a refused or lost datagram costs nothing.
    virtual void Send(const std::string& datagram) = 0;
};

struct FeedOptions {
    std::string destinations;  // as typed (UTF-8)
    std::string station;       // UTF-8
    bool everyRecord = false;  // else messages only
    // The store gives the records, with each message's copies, once it has written them (through
    // OnStored); OnRecord then ignores its own.
    bool fromStore = false;
    // What may wait for the sender, at most (QueuedBytes of each record): about 250,000 records of
    // 80 bytes, far more than a flood brings before the sender catches up. Past it, records are
    // dropped (never waited for), said at the first and counted at the run's end.
    // The bound counts every record not yet sent, also those the sender has taken.
    std::size_t queueBytes = std::size_t{64} << 20;
    PacingOptions pacing;     // the sender's share of the processor while records keep coming
    int finishWaitMs = 4000;  // how long OnRunEnded waits for the sender to send what it holds
    // A red note in the decoder log, e.g. "Feed: ..."; called on the sender or the reader thread.
    std::function<void(const std::string&)> note;
};

// What one waiting record counts against FeedOptions::queueBytes.
std::size_t QueuedBytes(const FeedItem& item);

class FeedSink : public decoder::IRecordSink {
public:
    FeedSink(FeedOptions options, std::unique_ptr<IFeedTransport> transport);
    // Stops the sender once it has sent what it holds (finishWaitMs at most). One still in the
    // resolver, or past that time, is left to end by itself: it owns what it uses (the queue, the
    // transport) through a shared state, and releases it when it returns.
    ~FeedSink() override;
    FeedSink(const FeedSink&) = delete;
    FeedSink& operator=(const FeedSink&) = delete;

    void OnRunStarted() override;  // the sender starts: parse errors, resolution, then sending
    void OnRecord(const decoder::Record& record) override;
    // Lifts the sender's budget and waits (at most finishWaitMs) until everything offered is sent;
    // notes how many were dropped, and how many were not sent yet (the sender goes on with them).
    void OnRunEnded() override;

    // A record the store has written, with its message's copies. On the store's writer thread.
    void OnStored(const decoder::Record& record, std::int64_t copies, bool alert = false);

    std::uint64_t sent() const;     // datagrams handed to the transport (once per record)
    std::uint64_t dropped() const;  // records dropped because the queue was full
    std::size_t queuedBytes() const;  // offered and not sent yet (counted against queueBytes)
    std::uint64_t waiting() const;    // records offered and not sent yet

private:
    struct State;
    using Worker = decoder::SinkWorker<FeedItem>;
    void Offer(const decoder::Record& record, std::int64_t copies, bool alert = false);
    static void Open(State& state);
    static void Send(State& state, Worker::Batch& batch);

    std::shared_ptr<State> state_;  // shared with the sender, which may outlive the sink
    Worker sender_;
};

}  // namespace feed
