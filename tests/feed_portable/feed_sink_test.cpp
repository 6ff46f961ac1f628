// FeedSink with a transport that keeps what it is given: order, messages only or every record, notes
// for bad destinations, drops counted (never a wait) when the sender cannot keep up, and the copies
// a real message store reports for a message heard twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "feed/feed_sink.h"
#include "messages/store_sink.h"
#include "store_fixture.h"

using decoder::Category;
using nlohmann::json;

namespace {

struct Kept {
    std::mutex lock;
    std::vector<std::string> datagrams;
    std::vector<std::string> opened;
    std::vector<std::string> notes;
    std::atomic<bool> hold{false};  // Send waits while set
    std::atomic<bool> sending{false};
    std::chrono::steady_clock::duration sendCost{0};  // Send keeps the processor busy this long
};

class KeepingTransport : public feed::IFeedTransport {
public:
    explicit KeepingTransport(std::shared_ptr<Kept> kept) : kept_(std::move(kept)) {}
    std::vector<std::string> Open(const std::vector<feed::Destination>& destinations) override {
        std::vector<std::string> errors;
        std::lock_guard<std::mutex> g(kept_->lock);
        for (const auto& d : destinations) {
            if (d.host.ends_with(".invalid")) errors.push_back("cannot resolve '" + d.text + "'");
            else kept_->opened.push_back(d.text);
        }
        return errors;
    }
    void Send(const std::string& datagram) override {
        kept_->sending = true;
        while (kept_->hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto busyUntil = std::chrono::steady_clock::now() + kept_->sendCost;
        while (std::chrono::steady_clock::now() < busyUntil) {
        }
        std::lock_guard<std::mutex> g(kept_->lock);
        kept_->datagrams.push_back(datagram);
    }

private:
    std::shared_ptr<Kept> kept_;
};

decoder::Record Rec(Category c, std::string text, std::string les = "121") {
    decoder::Record r;
    r.receivedUtcMs = store_test::kT0;
    r.category = c;
    r.les = std::move(les);
    r.frame = "0042";
    r.text = std::move(text);
    return r;
}

feed::FeedOptions Options(std::shared_ptr<Kept> kept, const char* to = "127.0.0.1:5555") {
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

std::vector<std::string> Texts(Kept& kept) {
    std::vector<std::string> out;
    for (const auto& d : kept.datagrams) out.push_back(json::parse(d)["text"]);
    return out;
}

}  // namespace

TEST(FeedSink, MessagesOnlyByDefaultEveryRecordWhenAskedInOrder) {
    for (bool every : {false, true}) {
        auto kept = std::make_shared<Kept>();
        auto options = Options(kept);
        options.everyRecord = every;
        feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
        sink.OnRunStarted();
        std::vector<std::string> expected;
        for (int i = 0; i < 2000; ++i) {
            const Category c = i % 3 == 0 ? Category::MessageText : Category::FrameHeader;
            sink.OnRecord(Rec(c, "#" + std::to_string(i)));
            if (every || c == Category::MessageText) expected.push_back("#" + std::to_string(i));
        }
        sink.OnRunEnded();
        EXPECT_EQ(Texts(*kept), expected) << every;
        EXPECT_EQ(sink.sent(), expected.size());
        EXPECT_EQ(sink.dropped(), 0u);
        EXPECT_TRUE(kept->notes.empty());
    }
}

TEST(FeedSink, BadAndUnresolvableDestinationsAreNotedOnceAndTheOthersStillSent) {
    auto kept = std::make_shared<Kept>();
    feed::FeedSink sink(Options(kept, "nowhere.invalid:4000, 127.0.0.1:5555, 127.0.0.1, [::1]:5556"),
                        std::make_unique<KeepingTransport>(kept));
    sink.OnRunStarted();
    sink.OnRecord(Rec(Category::MessageText, "one"));
    sink.OnRunEnded();
    EXPECT_EQ(kept->notes, (std::vector<std::string>{"Feed: '127.0.0.1': no port: write host:port, as in 127.0.0.1:5555",
                                                     "Feed: cannot resolve 'nowhere.invalid:4000'"}));
    EXPECT_EQ(kept->opened, (std::vector<std::string>{"127.0.0.1:5555", "[::1]:5556"}));
    EXPECT_EQ(Texts(*kept), std::vector<std::string>{"one"});
}

TEST(FeedSink, AFullQueueDropsAndCountsWithoutWaitingAndSaysSoAtOnceAndAtTheEnd) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    // Room for the one the sender holds (it counts until it is sent) and ten of this size behind it.
    options.queueBytes = feed::QueuedBytes(feed::ItemFromRecord(Rec(Category::MessageText, "first"))) +
                         10 * feed::QueuedBytes(feed::ItemFromRecord(Rec(Category::MessageText, "#00")));
    kept->hold = true;  // the sender takes one record and then waits in Send
    feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
    sink.OnRunStarted();
    sink.OnRecord(Rec(Category::MessageText, "first"));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!kept->sending && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(kept->sending);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) sink.OnRecord(Rec(Category::MessageText, "#" + std::to_string(i + 10)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));  // never waited for Send
    const std::uint64_t dropped = sink.dropped();
    EXPECT_EQ(dropped, 90u);  // 10 queued behind the one being sent
    EXPECT_EQ(sink.queuedBytes(), options.queueBytes);
    {
        std::lock_guard<std::mutex> g(kept->lock);
        ASSERT_EQ(kept->notes.size(), 1u);  // said at the first drop, while the run goes on
        EXPECT_EQ(kept->notes[0], "Feed: the network does not keep up; records are dropped until the sender catches up");
    }
    kept->hold = false;
    sink.OnRunEnded();
    EXPECT_EQ(sink.queuedBytes(), 0u);
    // The first record and the ten that fitted, in order.
    std::vector<std::string> expected{"first"};
    for (int i = 0; i < 10; ++i) expected.push_back("#" + std::to_string(i + 10));
    EXPECT_EQ(Texts(*kept), expected);
    ASSERT_EQ(kept->notes.size(), 2u);
    EXPECT_EQ(kept->notes[1], "Feed: 90 records were dropped: the network did not keep up");
}

// The sender takes what waits as one batch: a flood offered while it is held arrives whole and in
// order, with nothing dropped under the default bound.
TEST(FeedSink, AFloodOfferedWhileTheSenderIsHeldArrivesWholeAndInOrder) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = true;
    options.finishWaitMs = 60'000;
    kept->hold = true;
    feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
    sink.OnRunStarted();
    std::vector<std::string> expected;
    for (int i = 0; i < 20'000; ++i) {
        expected.push_back("#" + std::to_string(i) + std::string(70, 'x'));
        sink.OnRecord(Rec(static_cast<Category>(i % 6), expected.back()));
    }
    EXPECT_GT(sink.queuedBytes(), 0u);
    EXPECT_EQ(sink.dropped(), 0u);
    kept->hold = false;
    sink.OnRunEnded();
    EXPECT_EQ(sink.dropped(), 0u);
    ASSERT_EQ(sink.sent(), expected.size());  // all sent: the transport is no longer written to
    EXPECT_EQ(Texts(*kept), expected);
    EXPECT_TRUE(kept->notes.empty());
}

// While records keep coming, the sender keeps to its budget: each datagram here costs at least 1 ms
// of its time, so in the time the records keep coming it can send no more than its share of that time
// (plus the burst it starts with), however loaded the machine; the run's end lifts the budget and
// everything arrives, whole and in order.
TEST(FeedSink, WhileRecordsKeepComingTheSenderKeepsToItsBudgetAndTheRunsEndSendsTheRest) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = true;
    options.finishWaitMs = 60'000;
    options.pacing.share = 0.05;
    options.pacing.burst = std::chrono::milliseconds(5);
    options.pacing.resume = std::chrono::milliseconds(1);
    options.pacing.quiet = std::chrono::seconds(3);
    kept->sendCost = std::chrono::milliseconds(1);
    feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
    const auto start = std::chrono::steady_clock::now();
    sink.OnRunStarted();
    std::vector<std::string> expected;
    auto offer = [&] {
        expected.push_back("#" + std::to_string(expected.size()));
        sink.OnRecord(Rec(Category::BulletinContents, expected.back()));
    };
    for (int i = 0; i < 2000; ++i) offer();
    for (int i = 0; i < 100; ++i) {  // a record every 10 ms for about a second
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        offer();
    }
    const std::uint64_t sentWhileComing = sink.sent();
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // 5 ms of burst + 5 % of the time, in sends of at least 1 ms, and one over.
    const double most = 5.0 + 0.05 * elapsedMs + 1.0;
    EXPECT_LE(static_cast<double>(sentWhileComing), most) << elapsedMs << " ms";
    EXPECT_LT(sentWhileComing, expected.size() / 2);  // without the budget it would have sent them all
    EXPECT_EQ(sink.waiting() + sentWhileComing, expected.size());
    sink.OnRunEnded();
    EXPECT_EQ(sink.sent(), expected.size());
    EXPECT_EQ(sink.waiting(), 0u);
    EXPECT_EQ(sink.queuedBytes(), 0u);
    EXPECT_EQ(sink.dropped(), 0u);
    EXPECT_EQ(Texts(*kept), expected);
    EXPECT_TRUE(kept->notes.empty());
}

// The run's end waits only so long for the sender; it then says how many records are still to go.
TEST(FeedSink, TheRunsEndSaysHowManyRecordsWereNotSentYet) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.finishWaitMs = 50;
    kept->hold = true;
    feed::FeedSink sink(options, std::make_unique<KeepingTransport>(kept));
    sink.OnRunStarted();
    for (int i = 0; i < 10; ++i) sink.OnRecord(Rec(Category::MessageText, "#" + std::to_string(i)));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!kept->sending && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(kept->sending);
    sink.OnRunEnded();
    {
        std::lock_guard<std::mutex> g(kept->lock);
        EXPECT_EQ(kept->notes,
                  std::vector<std::string>{"Feed: 10 records were not sent yet when the run ended; the sender goes on with them"});
    }
    kept->hold = false;
    const auto until2 = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sink.sent() < 10 && std::chrono::steady_clock::now() < until2)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(sink.sent(), 10u);
    std::lock_guard<std::mutex> g(kept->lock);
    EXPECT_EQ(kept->datagrams.size(), 10u);
}

// decoder-flood's 100,000 records of 80 bytes fit in the default bound many times over even if the
// sender sent nothing during the flood.
TEST(FeedSink, TheDefaultBoundHoldsAWholeFloodOfOneHundredThousandRecords) {
    const feed::FeedItem item = feed::ItemFromRecord(Rec(Category::BulletinContents, "#99999 " + std::string(72, 'x')));
    EXPECT_GE(feed::QueuedBytes(item), 80u);
    EXPECT_LE(100'000 * feed::QueuedBytes(item), feed::FeedOptions{}.queueBytes / 2);
}

TEST(FeedSink, FromTheStoreMessagesCarryTheirCopiesAndNewOnesThatMatchTheAlertFilterAnAlert) {
    store_test::ScratchDir dir;
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = true;
    options.fromStore = true;
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
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking"));       // the same station: a copy
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking", "112"));  // another station: new
        sinks.Deliver(Rec(Category::MessageText, "MAYDAY\nsinking"));
        sinks.RunEnded();
    }
    ASSERT_EQ(kept->datagrams.size(), 5u);
    std::vector<std::string> seen;
    for (const auto& d : kept->datagrams) {
        const json j = json::parse(d);
        seen.push_back(j["les"].get<std::string>() + " " +
                       (j.contains("copies") ? std::to_string(j["copies"].get<int>()) + " " + j["priority"].get<std::string>()
                                             : std::string("-")) +
                       (j.contains("alert") ? std::string(" alert") : std::string()));
        if (j.contains("alert")) EXPECT_EQ(j["alert"], true);
    }
    // Only a new message raises an alert, never its copies.
    EXPECT_EQ(seen, (std::vector<std::string>{"121 1 distress alert", "121 -", "121 2 distress",
                                              "112 1 distress alert", "121 3 distress"}));
}

// A resolver that takes its time (a name server that does not answer) holds up neither the end of an
// empty run nor the sink's owner; the sender ends by itself afterwards and releases its transport.
TEST(FeedSink, ASlowResolverHoldsNobodyUp) {
    struct Gate {
        std::atomic<bool> open{false};
        std::atomic<bool> released{false};
    };
    class SlowTransport : public feed::IFeedTransport {
    public:
        explicit SlowTransport(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
        ~SlowTransport() override { gate_->released = true; }
        std::vector<std::string> Open(const std::vector<feed::Destination>&) override {
            while (!gate_->open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return {"cannot resolve 'slow.example:1'"};
        }
        void Send(const std::string&) override {}

    private:
        std::shared_ptr<Gate> gate_;
    };
    auto gate = std::make_shared<Gate>();
    auto kept = std::make_shared<Kept>();
    const auto start = std::chrono::steady_clock::now();
    {
        feed::FeedSink sink(Options(kept, "slow.example:1"), std::make_unique<SlowTransport>(gate));
        sink.OnRunStarted();
        sink.OnRunEnded();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));  // finishWaitMs is 10 s
    EXPECT_FALSE(gate->released);
    gate->open = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!gate->released && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(gate->released);
    std::lock_guard<std::mutex> g(kept->lock);
    EXPECT_EQ(kept->notes, std::vector<std::string>{"Feed: cannot resolve 'slow.example:1'"});
}
