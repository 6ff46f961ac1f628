// The feed sink: records become feed items on the offering side (outside any lock) and go through
// the sink worker, bounded by bytes, to the sender, which resolves the destinations once and then
// turns each item into one datagram. It sends what it takes in slices as its budget allows
// (SendPacer, timed with the steady clock), telling the worker between slices what went and learning
// whether records still come; a slice's bytes leave the bound only once it is sent.
#include "feed/feed_sink.h"

#include <atomic>
#include <chrono>
#include <optional>

namespace feed {

struct FeedSink::State {
    FeedOptions options;
    std::unique_ptr<IFeedTransport> transport;
    std::optional<SendPacer> pacer;    // the sender's, made once the destinations are open
    std::atomic<bool> dropSaid{false};  // the first drop of the run was noted

    void Note(const std::string& text) {
        if (!options.note) return;
        try {
            options.note(text);
        } catch (...) {  // a note that cannot be given is not worth a stopped feed
        }
    }
};

namespace {

decoder::SinkWorker<FeedItem>::Options SenderOptions(const FeedOptions& options) {
    decoder::SinkWorker<FeedItem>::Options o;
    o.stopWaitMs = options.finishWaitMs;
    o.maxBytes = options.queueBytes;
    o.bytesOf = [](const FeedItem& item) { return QueuedBytes(item); };
    return o;
}

}  // namespace

FeedSink::FeedSink(FeedOptions options, std::unique_ptr<IFeedTransport> transport)
    : state_(std::make_shared<State>()),
      sender_([state = state_](Worker::Batch& batch) { Send(*state, batch); }, SenderOptions(options)) {
    state_->options = std::move(options);
    state_->transport = std::move(transport);
}

// The worker waits finishWaitMs at most for the sender, and not at all for one still in the resolver.
FeedSink::~FeedSink() = default;

void FeedSink::OnRunStarted() {
    try {
        sender_.Start([state = state_] { Open(*state); });
    } catch (const std::exception& e) {
        state_->Note(std::string("Feed: cannot start its thread: ") + e.what());
    }
}

void FeedSink::Open(State& s) {
    const DestinationList list = ParseDestinations(s.options.destinations);
    for (const std::string& error : list.errors) s.Note("Feed: " + error);
    std::vector<std::string> failures;
    try {
        failures = s.transport->Open(list.destinations);
    } catch (const std::exception& e) {
        failures.push_back(std::string("cannot open: ") + e.what());
    }
    for (const std::string& error : failures) s.Note("Feed: " + error);
    s.pacer.emplace(s.options.pacing, std::chrono::steady_clock::now());
}

void FeedSink::Send(State& s, Worker::Batch& batch) {
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kSlice = 256;  // datagrams sent at most between two looks at the worker
    if (!s.pacer) s.pacer.emplace(s.options.pacing, Clock::now());
    SendPacer& pacer = *s.pacer;
    const std::vector<FeedItem>& items = batch.items;
    std::size_t next = 0;
    while (next < items.size()) {
        if (batch.released()) pacer.Release();
        pacer.Offered(batch.lastOffer());
        const SendPacer::Duration delay = pacer.Delay(Clock::now());
        if (delay > SendPacer::Duration::zero()) {
            batch.Pause(delay);
            continue;
        }
        const std::size_t first = next;
        Clock::time_point t = Clock::now();
        do {
            try {
                s.transport->Send(BuildDatagram(s.options.station, items[next]));
            } catch (...) {  // no memory for one datagram: that one is lost, the feed goes on
            }
            ++next;
            const Clock::time_point after = Clock::now();
            pacer.Spent(t, after);
            t = after;
        } while (next < items.size() && next - first < kSlice && pacer.Delay(t) == SendPacer::Duration::zero());
        batch.Done(next - first);
    }
}

std::size_t QueuedBytes(const FeedItem& item) {
    return sizeof(FeedItem) + item.les.size() + item.frame.size() + item.text.size();
}

void FeedSink::Offer(const decoder::Record& record, std::int64_t copies, bool alert) {
    if (!state_->options.everyRecord && record.category != decoder::Category::MessageText) return;
    bool firstDrop = false;
    try {
        firstDrop = !sender_.Offer(ItemFromRecord(record, copies, alert)) && !state_->dropSaid.exchange(true);
    } catch (...) {  // no memory for the copy: counted as dropped, the reader goes on
        sender_.Refuse();
    }
    if (firstDrop)
        state_->Note("Feed: the network does not keep up; records are dropped until the sender catches up");
}

void FeedSink::OnRecord(const decoder::Record& record) {
    if (!state_->options.fromStore) Offer(record, 1);
}

void FeedSink::OnStored(const decoder::Record& record, std::int64_t copies, bool alert) { Offer(record, copies, alert); }

void FeedSink::OnRunEnded() {
    sender_.Release();  // nothing left to yield to: what waits goes out at full speed
    sender_.Flush(state_->options.finishWaitMs);
    const Worker::Counts c = sender_.counts();
    const std::uint64_t left = c.ended || !c.started ? 0 : c.given - c.done;
    if (left > 0)
        state_->Note("Feed: " + std::to_string(left) + (left == 1 ? " record was" : " records were") +
                     " not sent yet when the run ended; the sender goes on with them");
    if (c.dropped > 0)
        state_->Note("Feed: " + std::to_string(c.dropped) + (c.dropped == 1 ? " record was" : " records were") +
                     " dropped: the network did not keep up");
}

std::uint64_t FeedSink::sent() const { return sender_.counts().done; }
std::uint64_t FeedSink::dropped() const { return sender_.counts().dropped; }
std::size_t FeedSink::queuedBytes() const { return sender_.counts().bytes; }

std::uint64_t FeedSink::waiting() const {
    const Worker::Counts c = sender_.counts();
    return c.given - c.done;
}

}  // namespace feed
