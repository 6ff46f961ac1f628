// The feed sink: a queue bounded by bytes from the reader (or the store's writer) to the sender
// thread, which resolves the destinations once and then turns each item into one datagram. The
// offering side converts the record (outside the lock) and appends it under a short lock; the sender
// swaps the whole queue for its empty batch under one lock, so the two meet once per batch, not once
// per record, and the vectors keep their capacity from batch to batch. It sends the batch in slices
// as its budget allows (SendPacer, timed with the steady clock), taking the lock between slices to
// count what went and to learn whether records still come; a slice's bytes leave the bound only once
// it is sent.
#include "feed/feed_sink.h"

#include <chrono>

namespace feed {

struct FeedSink::State {
    FeedOptions options;
    std::unique_ptr<IFeedTransport> transport;
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable idle;
    std::vector<FeedItem> queue;
    std::size_t queuedBytes = 0;
    std::uint64_t waiting = 0;  // offered and not sent yet (queue and the sender's batch)
    std::chrono::steady_clock::time_point lastOffer = std::chrono::steady_clock::now();
    bool busy = false;
    bool released = false;  // the run has ended: the sender no longer keeps to its budget
    bool quit = false;
    bool opened = false;  // the destinations are resolved: sending no longer waits on a resolver
    bool ended = false;   // the sender thread has returned
    std::uint64_t sent = 0;
    std::uint64_t dropped = 0;
    bool dropSaid = false;  // the first drop of the run was noted

    void Note(const std::string& text) {
        if (!options.note) return;
        try {
            options.note(text);
        } catch (...) {  // a note that cannot be given is not worth a stopped feed
        }
    }
};

FeedSink::FeedSink(FeedOptions options, std::unique_ptr<IFeedTransport> transport)
    : state_(std::make_shared<State>()) {
    state_->options = std::move(options);
    state_->transport = std::move(transport);
}

FeedSink::~FeedSink() {
    if (!sender_.joinable()) return;
    std::unique_lock<std::mutex> hold(state_->lock);
    state_->quit = true;
    state_->wake.notify_all();
    // Nobody waits on a resolver: a sender still in one is left to finish by itself.
    const bool ended = state_->opened &&
                       state_->idle.wait_for(hold, std::chrono::milliseconds(state_->options.finishWaitMs),
                                             [&] { return state_->ended; });
    hold.unlock();
    if (ended) sender_.join();
    else sender_.detach();  // stuck in the resolver: it returns later and releases the state itself
}

void FeedSink::OnRunStarted() {
    if (sender_.joinable()) return;
    try {
        sender_ = std::thread(&FeedSink::Run, state_);
    } catch (const std::exception& e) {
        state_->Note(std::string("Feed: cannot start its thread: ") + e.what());
    }
}

void FeedSink::Run(const std::shared_ptr<State>& s) {
    const DestinationList list = ParseDestinations(s->options.destinations);
    for (const std::string& error : list.errors) s->Note("Feed: " + error);
    std::vector<std::string> failures;
    try {
        failures = s->transport->Open(list.destinations);
    } catch (const std::exception& e) {
        failures.push_back(std::string("cannot open: ") + e.what());
    }
    for (const std::string& error : failures) s->Note("Feed: " + error);

    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kSlice = 256;  // datagrams sent at most between two looks under the lock
    SendPacer pacer(s->options.pacing, Clock::now());
    std::vector<FeedItem> batch;
    std::unique_lock<std::mutex> hold(s->lock);
    s->opened = true;
    for (;;) {
        s->wake.wait(hold, [&] { return s->quit || !s->queue.empty(); });
        if (s->queue.empty()) break;  // quit with nothing left
        batch.swap(s->queue);
        s->busy = true;
        std::size_t next = 0;
        while (next < batch.size()) {
            if (s->released || s->quit) pacer.Release();
            pacer.Offered(s->lastOffer);
            const SendPacer::Duration delay = pacer.Delay(Clock::now());
            if (delay > SendPacer::Duration::zero()) {
                s->wake.wait_for(hold, delay, [&] { return s->released || s->quit; });
                continue;
            }
            hold.unlock();
            const std::size_t first = next;
            std::size_t bytes = 0;
            Clock::time_point t = Clock::now();
            do {
                const FeedItem& item = batch[next++];
                bytes += QueuedBytes(item);
                try {
                    s->transport->Send(BuildDatagram(s->options.station, item));
                } catch (...) {  // no memory for one datagram: that one is lost, the feed goes on
                }
                const Clock::time_point after = Clock::now();
                pacer.Spent(t, after);
                t = after;
            } while (next < batch.size() && next - first < kSlice && pacer.Delay(t) == SendPacer::Duration::zero());
            hold.lock();
            s->queuedBytes -= bytes;
            s->waiting -= next - first;
            s->sent += next - first;
        }
        batch.clear();  // keeps its capacity for the next swap
        s->busy = false;
        if (s->queue.empty()) s->idle.notify_all();
    }
    s->ended = true;
    s->idle.notify_all();
}

std::size_t QueuedBytes(const FeedItem& item) {
    return sizeof(FeedItem) + item.les.size() + item.frame.size() + item.text.size();
}

void FeedSink::Offer(const decoder::Record& record, std::int64_t copies) {
    if (!state_->options.everyRecord && record.category != decoder::Category::MessageText) return;
    bool firstDrop = false;
    try {
        FeedItem item = ItemFromRecord(record, copies);
        const std::size_t bytes = QueuedBytes(item);
        const auto now = std::chrono::steady_clock::now();
        {
            std::lock_guard<std::mutex> hold(state_->lock);
            if (state_->queuedBytes + bytes > state_->options.queueBytes) {
                ++state_->dropped;
                firstDrop = !state_->dropSaid;
                state_->dropSaid = true;
            } else {
                state_->queue.push_back(std::move(item));
                state_->queuedBytes += bytes;
                ++state_->waiting;
                state_->lastOffer = now;
            }
        }
        state_->wake.notify_one();
    } catch (...) {  // no memory for the copy: counted as dropped, the reader goes on
        std::lock_guard<std::mutex> hold(state_->lock);
        ++state_->dropped;
    }
    if (firstDrop)
        state_->Note("Feed: the network does not keep up; records are dropped until the sender catches up");
}

void FeedSink::OnRecord(const decoder::Record& record) {
    if (!state_->options.fromStore) Offer(record, 1);
}

void FeedSink::OnStored(const decoder::Record& record, std::int64_t copies) { Offer(record, copies); }

void FeedSink::OnRunEnded() {
    std::uint64_t dropped;
    std::uint64_t left;
    {
        std::unique_lock<std::mutex> hold(state_->lock);
        state_->released = true;  // nothing left to yield to: what waits goes out at full speed
        state_->wake.notify_all();
        if (sender_.joinable())
            state_->idle.wait_for(hold, std::chrono::milliseconds(state_->options.finishWaitMs),
                                  [&] { return state_->ended || (state_->queue.empty() && !state_->busy); });
        dropped = state_->dropped;
        left = state_->ended || !sender_.joinable() ? 0 : state_->waiting;
    }
    if (left > 0)
        state_->Note("Feed: " + std::to_string(left) + (left == 1 ? " record was" : " records were") +
                     " not sent yet when the run ended; the sender goes on with them");
    if (dropped > 0)
        state_->Note("Feed: " + std::to_string(dropped) + (dropped == 1 ? " record was" : " records were") +
                     " dropped: the network did not keep up");
}

std::uint64_t FeedSink::sent() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->sent;
}

std::size_t FeedSink::queuedBytes() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->queuedBytes;
}

std::uint64_t FeedSink::waiting() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->waiting;
}

std::uint64_t FeedSink::dropped() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->dropped;
}

}  // namespace feed
