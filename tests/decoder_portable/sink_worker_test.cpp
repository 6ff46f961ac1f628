// The sink worker: a stuck handler never holds up the offering side, everything arrives in order,
// the waits are bounded, a throwing handler loses only its own batch's work, and the byte bound
// refuses and counts instead of waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "decoder/sink_worker.h"

namespace {

using Worker = decoder::SinkWorker<int>;
using Clock = std::chrono::steady_clock;

// What the handler saw; it waits while the gate is shut and throws on the item `throwAt`.
struct Probe {
    std::mutex lock;
    std::condition_variable opened;
    bool gateOpen = true;
    int throwAt = -1;
    std::vector<int> seen;

    void Handle(Worker::Batch& batch) {
        for (int item : batch.items) {
            std::unique_lock<std::mutex> guard(lock);
            opened.wait(guard, [&] { return gateOpen; });
            if (item == throwAt) throw std::runtime_error("handler trouble");
            seen.push_back(item);
            guard.unlock();
            batch.Done(1);
        }
    }
    void Open() {
        std::lock_guard<std::mutex> guard(lock);
        gateOpen = true;
        opened.notify_all();
    }
    std::vector<int> Seen() {
        std::lock_guard<std::mutex> guard(lock);
        return seen;
    }
};

Worker::Handler Into(const std::shared_ptr<Probe>& probe) {
    return [probe](Worker::Batch& batch) { probe->Handle(batch); };
}

// Until the worker's thread has let go of the handler (and so of the probe).
bool Released(const std::shared_ptr<Probe>& probe) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (probe.use_count() > 1 && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return probe.use_count() == 1;
}

std::vector<int> Upto(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(i);
    return v;
}

TEST(SinkWorker, AStuckHandlerNeverHoldsUpTheOffersAndGetsEverythingInOrder) {
    auto probe = std::make_shared<Probe>();
    probe->gateOpen = false;
    Worker worker(Into(probe), {});
    worker.Start();
    for (int n = 0; n < 1000; ++n) ASSERT_TRUE(worker.Offer(n));
    EXPECT_EQ(worker.counts().given, 1000u);
    EXPECT_EQ(worker.counts().done, 0u);
    probe->Open();
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(probe->Seen(), Upto(1000));
    EXPECT_EQ(worker.counts().done, 1000u);
    EXPECT_EQ(worker.counts().dropped, 0u);
}

TEST(SinkWorker, TheFinishWaitIsBoundedAndTheDestructorStillHandlesWhatWasQueued) {
    auto probe = std::make_shared<Probe>();
    probe->gateOpen = false;
    {
        Worker worker(Into(probe), {});
        worker.Start();
        worker.Offer(0);
        worker.Offer(1);
        const auto before = Clock::now();
        EXPECT_FALSE(worker.Flush(100));  // returns after its bound although nothing was handled
        EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
        probe->Open();
    }
    EXPECT_EQ(probe->Seen(), (std::vector<int>{0, 1}));
}

TEST(SinkWorker, AThrowingHandlerLosesOnlyTheRestOfItsBatchAndTheThreadGoesOn) {
    auto probe = std::make_shared<Probe>();
    probe->gateOpen = false;
    probe->throwAt = 2;
    Worker worker(Into(probe), {});
    worker.Start();
    for (int n = 0; n < 5; ++n) worker.Offer(n);  // one batch: the gate holds the thread on item 0
    probe->Open();
    ASSERT_TRUE(worker.Flush(10'000));  // the items after the throw count as done
    worker.Offer(5);
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(probe->Seen(), (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(worker.counts().done, 6u);
}

TEST(SinkWorker, PastTheByteBoundOffersAreRefusedAndCountedUntilTheHandlerFreesThem) {
    auto probe = std::make_shared<Probe>();
    probe->gateOpen = false;
    Worker::Options options;
    options.maxBytes = 10;
    options.bytesOf = [](const int& item) { return static_cast<std::size_t>(item); };
    Worker worker(Into(probe), options);
    worker.Start();
    struct Step {
        int item;
        bool taken;
        std::size_t bytes;  // held afterwards
    };
    const Step steps[] = {{4, true, 4}, {4, true, 8}, {3, false, 8}, {2, true, 10}, {1, false, 10}};
    for (const Step& s : steps) {
        EXPECT_EQ(worker.Offer(s.item), s.taken) << s.item;
        EXPECT_EQ(worker.counts().bytes, s.bytes) << s.item;
    }
    worker.Refuse();  // an item that could not be made
    EXPECT_EQ(worker.counts().dropped, 3u);
    probe->Open();
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(worker.counts().bytes, 0u);
    EXPECT_TRUE(worker.Offer(9));
    ASSERT_TRUE(worker.Flush(10'000));
    EXPECT_EQ(probe->Seen(), (std::vector<int>{4, 4, 2, 9}));
}

TEST(SinkWorker, ABoundedStopLeavesAStuckThreadToEndByItself) {
    auto probe = std::make_shared<Probe>();
    probe->gateOpen = false;
    Worker::Options options;
    options.stopWaitMs = 100;
    auto before = Clock::now();
    {
        Worker worker(Into(probe), options);
        worker.Start();
        worker.Offer(7);
    }
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
    probe->Open();  // the left thread finishes with what it owns
    ASSERT_TRUE(Released(probe));
    EXPECT_EQ(probe->Seen(), std::vector<int>{7});

    // A thread still in its start step is not waited for at all.
    auto gate = std::make_shared<Probe>();
    gate->gateOpen = false;
    before = Clock::now();
    {
        Worker worker(Into(probe), options);
        worker.Start([gate] {
            std::unique_lock<std::mutex> guard(gate->lock);
            gate->opened.wait(guard, [&] { return gate->gateOpen; });
        });
    }
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(100));
    gate->Open();
    EXPECT_TRUE(Released(probe));
}

TEST(SinkWorker, PauseReturnsAtOnceOnceReleased) {
    std::mutex lock;
    std::vector<bool> early;
    Worker worker(
        [&](Worker::Batch& batch) {
            const auto before = Clock::now();
            batch.Pause(std::chrono::seconds(30));
            std::lock_guard<std::mutex> guard(lock);
            early.push_back(Clock::now() - before < std::chrono::seconds(10));
            batch.Done(batch.items.size());
        },
        {});
    worker.Start();
    worker.Offer(1);
    worker.Release();
    ASSERT_TRUE(worker.Flush(20'000));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(early, std::vector<bool>{true});
}

}  // namespace
