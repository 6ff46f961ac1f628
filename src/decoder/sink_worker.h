// A record sink's own thread: a locked queue from the offering thread (the reader, or the store's
// writer) to a worker that handles what it takes, so that the offering side never waits for slow
// work (a database, the network).
//
// The worker takes the whole queue at once and hands it to the handler; the handler says how far it
// got as it goes (Batch::Done), which is what Flush waits for and what frees the byte bound. An
// exception out of the handler ends that batch (its rest counts as done) but not the thread. With
// nothing queued, an idle step runs when it asked to. Nothing offered is dropped unless a byte bound
// was given, and then only at the offer, counted.
//
// The thread owns what it uses through a shared state (the queue and the handler with whatever it
// captured), so a worker that may not wait for its thread (stopWaitMs) can leave it to end by itself.
//
// Portable: no Windows header.
#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace decoder {

template <class Item>
class SinkWorker {
    struct State;

public:
    using Clock = std::chrono::steady_clock;

    struct Counts {
        std::uint64_t given = 0;    // offered and taken into the queue
        std::uint64_t done = 0;     // handled (or given up by a failed batch)
        std::uint64_t dropped = 0;  // refused at the offer: past the byte bound, or by Refuse()
        std::size_t bytes = 0;      // of the items given and not done yet
        bool started = false;       // the thread runs (or ran)
        bool ended = false;         // the thread has returned
    };

    // What the handler gets: the items taken, in order, and its ways back to the worker.
    class Batch {
    public:
        std::vector<Item>& items;
        // The next `n` items of the batch are handled: they leave the byte bound and count as done.
        void Done(std::size_t n) { owner_.Done(n); }
        // Waits `d` at most; returns early (at once if already so) once the worker is released or
        // stopping. True when released or stopping.
        bool Pause(Clock::duration d) { return owner_.Pause(d); }
        bool released() const { return owner_.Released(); }
        Clock::time_point lastOffer() const { return owner_.LastOffer(); }

    private:
        friend class SinkWorker;
        Batch(std::vector<Item>& taken, State& owner) : items(taken), owner_(owner) {}
        State& owner_;
    };

    using Handler = std::function<void(Batch&)>;
    // Runs with nothing queued, once its time has come; returns when it wants to run next.
    using Idle = std::function<Clock::time_point()>;

    struct Options {
        // How long the destructor waits for the thread to finish the queue; below 0, as long as it
        // takes. Past it (or while the start step still runs) the thread is left to end by itself.
        int stopWaitMs = -1;
        std::size_t maxBytes = 0;  // 0: no bound
        // What an item counts against maxBytes; called on both threads (and under the lock), so cheap
        // and the same for an item every time.
        std::function<std::size_t(const Item&)> bytesOf;
        Idle idle;
    };

    SinkWorker(Handler handler, Options options) : state_(std::make_shared<State>()) {
        state_->handler = std::move(handler);
        state_->options = std::move(options);
    }
    ~SinkWorker() { Stop(); }
    SinkWorker(const SinkWorker&) = delete;
    SinkWorker& operator=(const SinkWorker&) = delete;

    // Starts the thread, once; `first` runs on it before any item (e.g. a slow name lookup). Throws
    // what std::thread throws when no thread can be made.
    void Start(std::function<void()> first = {}) {
        std::lock_guard<std::mutex> hold(state_->lock);
        if (state_->counts.started) return;
        thread_ = std::thread(&SinkWorker::Run, state_, std::move(first));
        state_->counts.started = true;
    }

    // Queues the item; false (counted as dropped) past the byte bound. Never waits for the handler;
    // throws only when the queue cannot grow (no memory).
    bool Offer(Item item) {
        State& s = *state_;
        const std::size_t bytes = s.options.bytesOf ? s.options.bytesOf(item) : 0;
        const auto now = Clock::now();
        {
            std::lock_guard<std::mutex> hold(s.lock);
            if (s.options.maxBytes > 0 && s.counts.bytes + bytes > s.options.maxBytes) {
                ++s.counts.dropped;
                return false;
            }
            s.queue.push_back(std::move(item));
            s.counts.bytes += bytes;
            ++s.counts.given;
            s.lastOffer = now;
        }
        s.wake.notify_one();
        return true;
    }

    // An item the offering side could not even make: counted as dropped.
    void Refuse() {
        std::lock_guard<std::mutex> hold(state_->lock);
        ++state_->counts.dropped;
    }

    // From now on the handler need not hold back (Batch::Pause returns at once).
    void Release() {
        {
            std::lock_guard<std::mutex> hold(state_->lock);
            state_->released = true;
        }
        state_->wake.notify_all();
    }

    // Waits (at most `waitMs`) until everything offered so far is done; true when it is. Without a
    // thread there is nothing to wait for.
    bool Flush(int waitMs) {
        State& s = *state_;
        std::unique_lock<std::mutex> hold(s.lock);
        const std::uint64_t target = s.counts.given;
        if (!s.counts.started) return s.counts.done >= target;
        return s.idle.wait_for(hold, std::chrono::milliseconds(waitMs),
                               [&] { return s.counts.done >= target || s.counts.ended; }) &&
               s.counts.done >= target;
    }

    Counts counts() const {
        std::lock_guard<std::mutex> hold(state_->lock);
        return state_->counts;
    }

private:
    struct State {
        Handler handler;
        Options options;
        mutable std::mutex lock;
        std::condition_variable wake;  // the thread: items, release, stop
        std::condition_variable idle;  // Flush and Stop: progress
        std::vector<Item> queue;
        std::vector<Item>* batch = nullptr;  // taken by the thread
        std::size_t batchDone = 0;           // of *batch
        Counts counts;
        Clock::time_point lastOffer = Clock::now();
        bool opened = false;  // the start step is over
        bool released = false;
        bool quit = false;

        void Done(std::size_t n) {
            {
                std::lock_guard<std::mutex> hold(lock);
                DoneLocked(n);
            }
            idle.notify_all();
        }
        void DoneLocked(std::size_t n) {
            n = std::min(n, batch->size() - batchDone);
            if (options.bytesOf) {
                for (std::size_t i = batchDone; i < batchDone + n; ++i) counts.bytes -= options.bytesOf((*batch)[i]);
            }
            batchDone += n;
            counts.done += n;
        }
        bool Pause(Clock::duration d) {
            std::unique_lock<std::mutex> hold(lock);
            return wake.wait_for(hold, d, [&] { return released || quit; });
        }
        bool Released() const {
            std::lock_guard<std::mutex> hold(lock);
            return released || quit;
        }
        Clock::time_point LastOffer() const {
            std::lock_guard<std::mutex> hold(lock);
            return lastOffer;
        }
    };

    static void Run(std::shared_ptr<State> state, std::function<void()> first) {
        State& s = *state;
        if (first) {
            try {
                first();
            } catch (...) {  // the start step's own trouble; the items still get their handler
            }
        }
        std::vector<Item> batch;
        auto nextIdle = Clock::now();
        std::unique_lock<std::mutex> hold(s.lock);
        s.opened = true;
        for (;;) {
            if (s.queue.empty()) {
                if (s.quit) break;
                if (s.options.idle && Clock::now() >= nextIdle) {
                    hold.unlock();
                    try {
                        nextIdle = s.options.idle();
                    } catch (...) {  // tried again after a while rather than at once
                        nextIdle = Clock::now() + std::chrono::seconds(1);
                    }
                    hold.lock();
                    continue;
                }
                if (s.options.idle) s.wake.wait_until(hold, nextIdle, [&] { return s.quit || !s.queue.empty(); });
                else s.wake.wait(hold, [&] { return s.quit || !s.queue.empty(); });
                continue;
            }
            batch.swap(s.queue);
            s.batch = &batch;
            s.batchDone = 0;
            hold.unlock();
            Batch b(batch, s);
            try {
                s.handler(b);
            } catch (...) {  // the handler's own trouble: what it left counts as done, the thread goes on
            }
            hold.lock();
            s.DoneLocked(batch.size());
            s.batch = nullptr;
            batch.clear();  // keeps its capacity for the next swap
            s.idle.notify_all();
        }
        s.counts.ended = true;
        s.idle.notify_all();
    }

    void Stop() {
        if (!thread_.joinable()) return;
        State& s = *state_;
        std::unique_lock<std::mutex> hold(s.lock);
        s.quit = true;
        s.wake.notify_all();
        if (s.options.stopWaitMs >= 0) {
            // Nobody waits on a start step: a thread still in one is left to finish by itself.
            const bool ended = s.opened && s.idle.wait_for(hold, std::chrono::milliseconds(s.options.stopWaitMs),
                                                           [&] { return s.counts.ended; });
            hold.unlock();
            if (ended) thread_.join();
            else thread_.detach();  // it returns later and releases the state itself
            return;
        }
        hold.unlock();
        thread_.join();
    }

    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace decoder
