// The sink worker: a stuck handler never holds up the offering side, everything arrives in order, the
// waits are bounded, a throwing handler loses only its batch's rest, and the byte bound refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "decoder/sink_worker.h"

namespace {

using Worker = decoder::SinkWorker<int>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the handler saw; it waits while the gate is shut and throws on the item `throwAt`.
struct Probe {
    std::mutex lock;
    std::condition_variable opened;
    bool gateOpen = false;
    int throwAt = -1;
    std::vector<int> seen;

    void Handle(int item) {
        std::unique_lock<std::mutex> guard(lock);
        opened.wait(guard, [&] { return gateOpen; });
        if (item == throwAt) throw std::runtime_error("handler trouble");
        seen.push_back(item);
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

// A worker whose handler goes through the probe, item by item.
Worker::Handler Into(const std::shared_ptr<Probe>& probe) {
    return [probe](Worker::Batch& batch) {
        for (int item : batch.items) {
            probe->Handle(item);
            batch.Done(1);
        }
    };
}

// Until the worker's thread has let go of the handler (and so of the probe), 10 s at most.
bool Released(const std::shared_ptr<Probe>& probe) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (probe.use_count() > 1 && Clock::now() < until) std::this_thread::sleep_for(milliseconds(5));
    return probe.use_count() == 1;
}

TEST(SinkWorker, AStuckHandlerHoldsUpNeitherTheOffersNorTheBoundedWaitAndGetsEverythingInOrder) {
    auto probe = std::make_shared<Probe>();
    std::vector<int> all(1001);
    std::iota(all.begin(), all.end(), 0);
    {
        Worker worker(Into(probe), {});
        EXPECT_TRUE(worker.Flush(0));  // no thread and nothing offered: nothing to wait for
        worker.Start();
        worker.Start();  // once only
        for (int n = 0; n < 1000; ++n) ASSERT_TRUE(worker.Offer(n));
        EXPECT_EQ(worker.counts().given, 1000u);
        EXPECT_EQ(worker.counts().done, 0u);
        const auto before = Clock::now();
        EXPECT_FALSE(worker.Flush(100));  // returns after its bound although nothing was handled
        EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
        probe->Open();
        ASSERT_TRUE(worker.Flush(10'000));
        EXPECT_EQ(worker.counts().done, 1000u);
        EXPECT_EQ(worker.counts().dropped, 0u);
        worker.Offer(1000);  // the destructor still lets the thread handle what was queued
    }
    EXPECT_EQ(probe->Seen(), all);
    Worker idle(Into(probe), {});  // never started: what was offered is not done
    idle.Offer(1);
    EXPECT_FALSE(idle.Flush(0));
}

TEST(SinkWorker, AThrowingHandlerLosesOnlyTheRestOfItsBatchAndTheThreadGoesOn) {
    auto probe = std::make_shared<Probe>();
    probe->throwAt = 2;
    Worker worker(Into(probe), {});
    worker.Start([] { throw std::runtime_error("start step trouble"); });  // the items still get handled
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
    Worker::Options options;
    options.maxBytes = 10;
    options.bytesOf = [](const int& item) { return static_cast<std::size_t>(item); };
    Worker worker(Into(probe), options);
    worker.Start();
    // The item offered, whether it is taken, and the bytes held afterwards.
    const std::tuple<int, bool, std::size_t> steps[] = {
        {4, true, 4}, {4, true, 8}, {3, false, 8}, {2, true, 10}, {1, false, 10}};
    for (auto [item, taken, bytes] : steps) {
        EXPECT_EQ(worker.Offer(item), taken) << item;
        EXPECT_EQ(worker.counts().bytes, bytes) << item;
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
    before = Clock::now();
    {
        Worker worker(Into(probe), options);
        worker.Start([gate] { gate->Handle(0); });
    }
    EXPECT_LT(Clock::now() - before, milliseconds(100));
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
            early.push_back(Clock::now() - before < std::chrono::seconds(10) && batch.released());
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
