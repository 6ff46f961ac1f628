// FeedSink with a transport that keeps what it is given: order, messages only or every record, notes
// for bad destinations, drops counted (never a wait) when the sender cannot keep up, the sender's
// budget, and the copies a real message store reports for a message heard twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "feed/feed_sink.h"
#include "messages/store_sink.h"
#include "store_fixture.h"

using decoder::Category;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

// What the transport was given. Open waits while `resolving` is set (a slow name server), Send while
// `hold` is set, then takes `sendCost` of wall time; `released` once the sender let go of it.
struct Kept {
    std::mutex lock;
    std::vector<std::string> datagrams, opened, notes;
    std::atomic<bool> resolving{false}, hold{false}, sending{false}, released{false};
    Clock::duration sendCost{0};

    std::vector<std::string> Notes() {
        std::lock_guard<std::mutex> g(lock);
        return notes;
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> g(lock);
        std::vector<std::string> out;
        for (const auto& d : datagrams) out.push_back(json::parse(d)["text"]);
        return out;
    }
};

class KeepingTransport : public feed::IFeedTransport {
public:
    explicit KeepingTransport(std::shared_ptr<Kept> kept) : kept_(std::move(kept)) {}
    ~KeepingTransport() override { kept_->released = true; }
    std::vector<std::string> Open(const std::vector<feed::Destination>& destinations) override {
        while (kept_->resolving) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::vector<std::string> errors;
        std::lock_guard<std::mutex> g(kept_->lock);
        for (const auto& d : destinations) {
            if (d.host.ends_with(".invalid"))
                errors.push_back("cannot resolve '" + d.text + "'");
            else
                kept_->opened.push_back(d.text);
        }
        return errors;
    }
    void Send(const std::string& datagram) override {
        kept_->sending = true;
        while (kept_->hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (kept_->sendCost > Clock::duration::zero()) std::this_thread::sleep_for(kept_->sendCost);
        std::lock_guard<std::mutex> g(kept_->lock);
        kept_->datagrams.push_back(datagram);
    }

private:
    std::shared_ptr<Kept> kept_;
};

// Polls `done` until it holds, for 10 s at most.
bool WaitUntil(const std::function<bool()>& done) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

decoder::Record Rec(Category c, std::string text, std::string les = "121") {
    decoder::Record r;
    r.receivedUtcMs = store_test::kT0;
    r.category = c;
    r.les = std::move(les);
    r.frame = "0042";
    r.text = std::move(text);
    return r;
}

// Options that send to one good destination and keep the notes.
feed::FeedOptions Options(const std::shared_ptr<Kept>& kept, const char* to = "127.0.0.1:5555") {
    feed::FeedOptions o;
    o.destinations = to;
    o.station = "test";
    o.finishWaitMs = 10'000;
    o.note = [kept](const std::string& n) {
        std::lock_guard<std::mutex> g(kept->lock);
        kept->notes.push_back(n);
    };
    return o;
}

}  // namespace

// The sender takes what waits as one batch: a flood offered while it is held arrives whole and in
// order, messages only or every record, with nothing dropped under the default bound. Bad and
// unresolvable destinations are noted once and the others still sent to.
TEST(FeedSink, AFloodOfferedWhileTheSenderIsHeldArrivesWholeAndInOrderMessagesOnlyOrEveryRecord) {
    for (bool every : {false, true}) {
        auto kept = std::make_shared<Kept>();
        auto options = Options(kept, "nowhere.invalid:4000, 127.0.0.1:5555, 127.0.0.1, [::1]:5556");
        options.everyRecord = every;
        kept->hold = true;
        feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
        sink.OnRunStarted();
        std::vector<std::string> expected;
        for (int i = 0; i < 3000; ++i) {
            const std::string text = "#" + std::to_string(i) + std::string(70, 'x');
            sink.OnRecord(Rec(static_cast<Category>(i % 6), text));
            if (every || i % 6 == 5) expected.push_back(text);
        }
        EXPECT_GT(sink.queuedBytes(), 0u);
        EXPECT_EQ(sink.waiting(), expected.size());
        kept->hold = false;
        sink.OnRunEnded();
        EXPECT_EQ(sink.dropped(), 0u);
        EXPECT_EQ(sink.sent(), expected.size()) << every;
        EXPECT_EQ(kept->Texts(), expected) << every;
        EXPECT_EQ(kept->Notes(),
                  (std::vector<std::string>{"Feed: '127.0.0.1': no port: write host:port, as in 127.0.0.1:5555",
                                            "Feed: cannot resolve 'nowhere.invalid:4000'"}));
        EXPECT_EQ(kept->opened, (std::vector<std::string>{"127.0.0.1:5555", "[::1]:5556"}));
    }
}

// A full queue drops and counts without waiting and says so at once; the run's end waits only so long
// for the sender, then says how many records are still to go and how many were dropped.
TEST(FeedSink, AFullQueueDropsWithoutWaitingAndTheRunsEndSaysWhatWasDroppedAndNotSentYet) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.finishWaitMs = 50;
    // Room for the one the sender holds (it counts until it is sent) and ten of this size behind it.
    options.queueBytes = feed::QueuedBytes(feed::ItemFromRecord(Rec(Category::MessageText, "first"))) +
                         10 * feed::QueuedBytes(feed::ItemFromRecord(Rec(Category::MessageText, "#00")));
    kept->hold = true;  // the sender takes one record and then waits in Send
    feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
    sink.OnRunStarted();
    sink.OnRecord(Rec(Category::MessageText, "first"));
    ASSERT_TRUE(WaitUntil([&] { return kept->sending.load(); }));
    const auto start = Clock::now();
    for (int i = 0; i < 100; ++i) sink.OnRecord(Rec(Category::MessageText, "#" + std::to_string(i + 10)));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));  // never waited for Send
    EXPECT_EQ(sink.dropped(), 90u);                            // 10 queued behind the one being sent
    EXPECT_EQ(sink.queuedBytes(), options.queueBytes);
    const std::string slow = "Feed: the network does not keep up; records are dropped until the sender catches up";
    EXPECT_EQ(kept->Notes(), std::vector<std::string>{slow});  // said at the first drop, while the run goes on
    sink.OnRunEnded();
    EXPECT_EQ(kept->Notes(),
              (std::vector<std::string>{
                  slow, "Feed: 11 records were not sent yet when the run ended; the sender goes on with them",
                  "Feed: 90 records were dropped: the network did not keep up"}));
    kept->hold = false;
    ASSERT_TRUE(WaitUntil([&] { return sink.sent() == 11; }));
    EXPECT_EQ(sink.queuedBytes(), 0u);
    // The first record and the ten that fitted, in order.
    std::vector<std::string> expected{"first"};
    for (int i = 0; i < 10; ++i) expected.push_back("#" + std::to_string(i + 10));
    EXPECT_EQ(kept->Texts(), expected);
}

// While records keep coming, the sender keeps to its budget: each datagram here costs at least 1 ms
// of its time, so in the time the records keep coming it can send no more than its share of that time
// (plus the burst it starts with), however loaded the machine; the run's end lifts the budget and
// everything arrives, whole and in order.
TEST(FeedSink, WhileRecordsKeepComingTheSenderKeepsToItsBudgetAndTheRunsEndSendsTheRest) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = true;
    options.pacing.share = 0.05;
    options.pacing.burst = std::chrono::milliseconds(5);
    options.pacing.resume = std::chrono::milliseconds(1);
    options.pacing.quiet = std::chrono::seconds(30);  // only the run's end lifts the budget here
    options.finishWaitMs = 3000;  // at 5 % the rest would take 4 s; once the budget is lifted, a fraction of one
    kept->sendCost = std::chrono::milliseconds(1);
    feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
    const auto start = Clock::now();
    sink.OnRunStarted();
    std::vector<std::string> expected;
    auto offer = [&] {
        expected.push_back("#" + std::to_string(expected.size()));
        sink.OnRecord(Rec(Category::BulletinContents, expected.back()));
    };
    for (int i = 0; i < 150; ++i) offer();
    for (int i = 0; i < 50; ++i) {  // a record every 10 ms for about half a second
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        offer();
    }
    const std::uint64_t sentWhileComing = sink.sent();
    const double elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // 5 ms of burst + 5 % of the time, in sends of at least 1 ms, and one over.
    EXPECT_LE(static_cast<double>(sentWhileComing), 5.0 + 0.05 * elapsedMs + 1.0) << elapsedMs << " ms";
    EXPECT_LT(sentWhileComing, expected.size() / 2);  // without the budget it would have sent them all
    EXPECT_EQ(sink.waiting() + sentWhileComing, expected.size());
    sink.OnRunEnded();
    EXPECT_EQ(sink.sent(), expected.size());
    EXPECT_EQ(sink.waiting(), 0u);
    EXPECT_EQ(sink.queuedBytes(), 0u);
    EXPECT_EQ(sink.dropped(), 0u);
    EXPECT_EQ(kept->Texts(), expected);
    EXPECT_TRUE(kept->Notes().empty());
}

// decoder-flood's 100,000 records of 80 bytes fit in the default bound many times over even if the
// sender sent nothing during the flood.
TEST(FeedSink, TheDefaultBoundHoldsAWholeFloodOfOneHundredThousandRecords) {
    const feed::FeedItem item = feed::ItemFromRecord(Rec(Category::BulletinContents, "#99999 " + std::string(72, 'x')));
    EXPECT_GE(feed::QueuedBytes(item), 80u);
    EXPECT_LE(100'000 * feed::QueuedBytes(item), feed::FeedOptions{}.queueBytes / 2);
    // Every byte of a record's fields counts.
    const auto bytes = [](std::string text, std::string les) {
        return feed::QueuedBytes(
            feed::ItemFromRecord(Rec(Category::BulletinContents, std::move(text), std::move(les))));
    };
    EXPECT_EQ(bytes(std::string(1000, 'x'), "12345") - bytes("", "12"), 1003u);
}

// A sink whose run never started (no thread could be made) says nothing of records still to go.
TEST(FeedSink, ASenderThatNeverStartedPromisesNothing) {
    auto kept = std::make_shared<Kept>();
    feed::FeedSink sink(Options(kept), std::make_unique<KeepingTransport>(kept));
    sink.OnRecord(Rec(Category::MessageText, "one"));
    sink.OnRunEnded();
    EXPECT_EQ(sink.waiting(), 1u);
    EXPECT_TRUE(kept->Notes().empty());
}

TEST(FeedSink, FromTheStoreMessagesCarryTheirCopiesAndNewOnesThatMatchTheAlertFilterAnAlert) {
    store_test::ScratchDir dir;
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = options.fromStore = true;
    auto feedSink = std::make_shared<feed::FeedSink>(options, std::make_unique<KeepingTransport>(kept));
    messages::StoreSinkOptions storeOptions;
    storeOptions.finishWaitMs = 10'000;
    messages::Filter alertWhen;
    messages::FilterError error;
    ASSERT_TRUE(messages::Filter::Parse("priority>=urgency", alertWhen, error));
    storeOptions.alertFilter = alertWhen;
    storeOptions.onWritten = [feedSink](const decoder::Record& r, std::int64_t copies, std::int64_t alertId) {
        feedSink->OnStored(r, copies, alertId != 0);
    };
    {
        messages::StoreSink store(messages::MessageStore::Open(dir.File("s.db")), storeOptions);
        decoder::RecordSinks sinks;
        sinks.Add(std::shared_ptr<decoder::IRecordSink>(&store, [](decoder::IRecordSink*) {}));
        sinks.Add(feedSink);
        sinks.RunStarted();
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking"));
        sinks.Deliver(Rec(Category::BulletinHeader, "header"));
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking"));         // the same station: a copy
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking", "112"));  // another station: new
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking"));
        sinks.RunEnded();
    }
    std::vector<std::string> seen;
    for (const auto& d : kept->datagrams) {
        const json j = json::parse(d);
        seen.push_back(j["les"].get<std::string>() + " " + (j.contains("copies") ? j["copies"].dump() : "-") + " " +
                       j.value("priority", "-") + " " + j.value("alert", json(false)).dump());
    }
    // Only a new message raises an alert, never its copies.
    EXPECT_EQ(seen, (std::vector<std::string>{"121 1 distress true", "121 - - false", "121 2 distress false",
                                              "112 1 distress true", "121 3 distress false"}));
}

// A resolver that takes its time (a name server that does not answer) holds up neither the end of an
// empty run nor the sink's owner; the sender ends by itself afterwards and releases its transport.
TEST(FeedSink, ASlowResolverHoldsNobodyUp) {
    auto kept = std::make_shared<Kept>();
    kept->resolving = true;
    const auto start = Clock::now();
    {
        feed::FeedSink sink(Options(kept, "slow.invalid:1"), std::make_unique<KeepingTransport>(kept));
        sink.OnRunStarted();
        sink.OnRunEnded();
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));  // finishWaitMs is 10 s
    EXPECT_FALSE(kept->released);
    kept->resolving = false;
    EXPECT_TRUE(WaitUntil([&] { return kept->released.load(); }));
    EXPECT_EQ(kept->Notes(), std::vector<std::string>{"Feed: cannot resolve 'slow.invalid:1'"});
}
