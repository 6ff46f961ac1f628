// The feed: destination lists; the datagram (every field read back with the JSON library, the time, text from
// UTF-16 and from bytes that are not UTF-8, warnings, the cut of a long text at a character boundary); the
// sender's budget under the test's clock; and FeedSink with a transport that keeps what it is given (order,
// notes, drops, the budget kept, a store's copies).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "feed/feed_sink.h"
#include "messages/store_sink.h"
#include "store_fixture.h"
#include "feed/send_pacer.h"
#include "feed/datagram.h"
#include "feed/destinations.h"

using decoder::Category;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

// What the transport got. Open waits while `resolving`, Send while `hold` and then takes `sendCost`.
struct Kept {
    std::mutex lock;
    std::vector<std::string> datagrams, opened, notes;
    std::atomic<bool> resolving{false}, hold{false}, sending{false}, released{false};
    Clock::duration sendCost{0};

    std::vector<std::string> Notes() { std::lock_guard<std::mutex> g(lock); return notes; }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> g(lock);
        std::vector<std::string> out;
        for (const auto& d : datagrams) out.push_back(json::parse(d)["text"]);
        return out;
    }
};

using store_test::WaitUntil;

struct KeepingTransport : feed::IFeedTransport {
    std::shared_ptr<Kept> kept;
    explicit KeepingTransport(std::shared_ptr<Kept> k) : kept(std::move(k)) {}
    ~KeepingTransport() override { kept->released = true; }
    std::vector<std::string> Open(const std::vector<feed::Destination>& destinations) override {
        WaitUntil([&] { return !kept->resolving; });
        std::vector<std::string> errors;
        std::lock_guard<std::mutex> g(kept->lock);
        for (const auto& d : destinations) {
            if (d.host.ends_with(".invalid")) errors.push_back("cannot resolve '" + d.text + "'");
            else kept->opened.push_back(d.text);
        }
        return errors;
    }
    void Send(const std::string& datagram) override {
        kept->sending = true;
        WaitUntil([&] { return !kept->hold; });
        std::this_thread::sleep_for(kept->sendCost);
        std::lock_guard<std::mutex> g(kept->lock);
        kept->datagrams.push_back(datagram);
    }
};

decoder::Record Rec(Category c, std::string text, std::string les = "121") {
    return {.receivedUtcMs = store_test::kT0, .category = c, .les = std::move(les), .frame = "0042",
            .text = std::move(text)};
}

// Options that send to `to` and keep the notes.
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


// Bad and unresolvable destinations are noted once and the others still sent to.
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
        EXPECT_TRUE(sink.queuedBytes() > 0 && sink.waiting() == expected.size());
        kept->hold = false;
        sink.OnRunEnded();
        EXPECT_TRUE(sink.dropped() == 0 && sink.sent() == expected.size()) << every;
        EXPECT_EQ(kept->Texts(), expected) << every;
        EXPECT_EQ(kept->Notes(),
                  (std::vector<std::string>{"Feed: '127.0.0.1': no port: write host:port, as in 127.0.0.1:5555",
                                            "Feed: cannot resolve 'nowhere.invalid:4000'"}));
        EXPECT_EQ(kept->opened, (std::vector<std::string>{"127.0.0.1:5555", "[::1]:5556"}));
    }
}

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
    EXPECT_TRUE(sink.dropped() == 90 && sink.queuedBytes() == options.queueBytes);  // 10 queued behind it
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
    EXPECT_EQ(kept->Texts(), (std::vector<std::string>{"first", "#10", "#11", "#12", "#13", "#14", "#15", "#16",
                                                       "#17", "#18", "#19"}));  // the first and the ten that fitted
}

// While records keep coming the sender keeps to its budget (each datagram costing at least 1 ms, it can send
// no more than its share of the time plus a burst, however loaded the machine); the run's end lifts it.
TEST(FeedSink, WhileRecordsKeepComingTheSenderKeepsToItsBudgetAndTheRunsEndSendsTheRest) {
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = true;
    // 5 % of the time, 5 ms of burst, 1 ms to resume; only the run's end lifts the budget here.
    options.pacing = {0.05, std::chrono::milliseconds(5), std::chrono::milliseconds(1), std::chrono::seconds(30)};
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
    // Without the budget it would have sent them all.
    EXPECT_TRUE(sentWhileComing < expected.size() / 2 && sink.waiting() + sentWhileComing == expected.size());
    sink.OnRunEnded();
    EXPECT_TRUE(sink.sent() == expected.size() && sink.waiting() == 0 && sink.queuedBytes() == 0 &&
                sink.dropped() == 0 && kept->Notes().empty());
    EXPECT_EQ(kept->Texts(), expected);
}

// decoder-flood's 100,000 records of 80 bytes fit in the default bound even if none were sent meanwhile.
TEST(FeedSink, TheDefaultBoundHoldsAWholeFloodOfOneHundredThousandRecords) {
    const feed::FeedItem item = feed::ItemFromRecord(Rec(Category::BulletinContents, "#99999 " + std::string(72, 'x')));
    const std::size_t each = feed::QueuedBytes(item);
    EXPECT_TRUE(each >= 80 && 100'000 * each <= feed::FeedOptions{}.queueBytes / 2) << each;
    // Every byte of a record's fields counts.
    const auto bytes = [](auto text, auto les) { return feed::QueuedBytes(feed::ItemFromRecord(Rec({}, text, les))); };
    EXPECT_EQ(bytes(std::string(1000, 'x'), "12345") - bytes("", "12"), 1003u);
}

// No thread could be made.
TEST(FeedSink, ASenderThatNeverStartedPromisesNothing) {
    auto kept = std::make_shared<Kept>();
    feed::FeedSink sink(Options(kept), std::make_unique<KeepingTransport>(kept));
    sink.OnRecord(Rec(Category::MessageText, "one"));
    sink.OnRunEnded();
    EXPECT_TRUE(sink.waiting() == 1 && kept->Notes().empty());
}

TEST(FeedSink, FromTheStoreMessagesCarryTheirCopiesAndNewOnesThatMatchTheAlertFilterAnAlert) {
    store_test::ScratchDir dir;
    auto kept = std::make_shared<Kept>();
    auto options = Options(kept);
    options.everyRecord = options.fromStore = true;
    auto feedSink = std::make_shared<feed::FeedSink>(options, std::make_unique<KeepingTransport>(kept));
    messages::StoreSinkOptions storeOptions{.finishWaitMs = 10'000};
    messages::FilterError error;
    ASSERT_TRUE(messages::Filter::Parse("priority>=urgency", storeOptions.alertFilter.emplace(), error));
    storeOptions.onWritten = [feedSink](const decoder::Record& r, std::int64_t copies, std::int64_t alertId) {
        feedSink->OnStored(r, copies, alertId != 0);
    };
    {
        messages::StoreSink store(messages::MessageStore::Open(dir.File("s.db")), storeOptions);
        decoder::RecordSinks sinks;
        sinks.Add(std::shared_ptr<decoder::IRecordSink>(&store, [](decoder::IRecordSink*) {})), sinks.Add(feedSink);
        sinks.RunStarted();
        // The same station's again is a copy; another station's is new.
        for (const char* les : {"121", "", "121", "112", "121"})
            sinks.Deliver(*les ? Rec(Category::MessageText, "MAYDAY\nsinking", les) : Rec(Category::BulletinHeader, ""));
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

using namespace std::chrono_literals;
using feed::SendPacer;


const SendPacer::Time kT0 = SendPacer::Time{} + 1000h;
constexpr auto kSendCost = 54us;  // one datagram under Wine, as measured

const feed::PacingOptions kPacing{0.08, 80ms, 2ms, 500ms};  // share, burst, resume, quiet

// A sender that sends whenever the pacer lets it and a record waits, with the clock moved by hand.
struct Sim {
    SendPacer pacer{kPacing, kT0};
    SendPacer::Time now = kT0;
    SendPacer::Duration sending{0};
    long sent = 0, waits = 0;
    SendPacer::Duration shortestWait = SendPacer::Duration::max();

    // Sends one record (first offering one when `offer`) now or after the waits the pacer asks for.
    void SendOne(bool offer, SendPacer::Duration cost = kSendCost) {
        if (offer) pacer.Offered(now);
        for (SendPacer::Duration d; (d = pacer.Delay(now)) > SendPacer::Duration::zero();) {
            ++waits;
            shortestWait = std::min(shortestWait, d);
            now += d;
        }
        pacer.Spent(now, now + cost);
        now += cost;
        sending += cost;
        ++sent;
    }
};


TEST(SendPacer, RealTrafficBurstsOfNineGoOutWithNoDelay) {
    Sim sim;
    // Ten minutes of a record a second, with a burst of nine every ten seconds; even at 1 ms a datagram.
    for (int second = 0; second < 600; ++second) {
        const int records = second % 10 == 0 ? 9 : 1;
        for (int i = 0; i < records; ++i) sim.SendOne(true, 1ms);
        sim.now = kT0 + std::chrono::seconds(second + 1);
    }
    EXPECT_TRUE(sim.sent == 600 * 1 + 60 * 8 && sim.waits == 0);  // and so no delay
}

TEST(SendPacer, AFloodIsSpreadOutToTheBudgetInFewWaitsAndAQuietSpellAfterItLiftsTheBudget) {
    Sim sim;
    // Records keep coming for 20 s (offered faster than the sender may send them).
    while (sim.now < kT0 + 20s) sim.SendOne(true);
    const double wall = std::chrono::duration<double>(sim.now - kT0).count();
    // 8 % of 20 s plus the first burst, give or take one datagram and one resume.
    EXPECT_NEAR(std::chrono::duration<double>(sim.sending).count(), 0.08 * wall + 0.080, 0.002 + 54e-6);
    EXPECT_NEAR(static_cast<double>(sim.sent), (0.08 * 20 + 0.08) / 54e-6, 60.0);  // about 31,000, not 370,000
    // It waits in steps of about resume / share (25 ms), not once per datagram.
    EXPECT_TRUE(sim.shortestWait >= 24ms && sim.waits <= static_cast<long>(20.0 / 0.024) + 1) << sim.waits;

    // The backlog: records offered during the flood that are still to go, paced until the quiet spell.
    const auto lastOffer = sim.now;
    const long before = sim.sent;
    while (sim.now < lastOffer + 500ms) sim.SendOne(false);
    EXPECT_LT(sim.sent - before, static_cast<long>((0.08 * 0.5 + 0.002) / 54e-6) + 2);
    const long waitsBefore = sim.waits;
    const auto catchUp = sim.now;
    for (int i = 0; i < 100'000; ++i) sim.SendOne(false);
    EXPECT_TRUE(sim.waits == waitsBefore && sim.now - catchUp == 100'000 * kSendCost);  // none: at full speed
    // A new record brings the budget back, with a whole burst saved up: catching up cost none of it.
    for (int i = 0; i < 1400; ++i) sim.SendOne(true);
    EXPECT_EQ(sim.waits, waitsBefore);
    for (int i = 0; i < 3000; ++i) sim.SendOne(true);
    EXPECT_GT(sim.waits, waitsBefore);
}

TEST(SendPacer, TheRunsEndLiftsTheBudget) {
    Sim sim;
    do sim.SendOne(true);  // until the budget is spent
    while (sim.pacer.budget() > SendPacer::Duration::zero());
    sim.pacer.Offered(sim.now);
    ASSERT_GT(sim.pacer.Delay(sim.now), SendPacer::Duration::zero());  // out of budget, records still coming
    sim.pacer.Release();
    EXPECT_EQ(sim.pacer.Delay(sim.now), SendPacer::Duration::zero());
    const long waits = sim.waits;
    for (int i = 0; i < 10'000; ++i) sim.SendOne(true);
    EXPECT_EQ(sim.waits, waits);
}

TEST(SendPacer, ASendThatBlockedForLongIsOwedOnlyUpToOneBurst) {
    SendPacer pacer(kPacing, kT0);
    pacer.Offered(kT0);
    ASSERT_EQ(pacer.Delay(kT0), SendPacer::Duration::zero());
    pacer.Spent(kT0, kT0 + 300ms);  // records still come
    auto now = kT0 + 300ms;
    pacer.Offered(now);
    EXPECT_EQ(pacer.budget(), -80ms);
    const SendPacer::Duration d = pacer.Delay(now);
    EXPECT_TRUE(d >= 1025ms && d <= 1026ms) << d.count();  // (80 ms owed + 2 ms to resume) / 8 %, not 300 ms / 8 %
    now += d;
    pacer.Offered(now - 1ms);
    EXPECT_EQ(pacer.Delay(now), SendPacer::Duration::zero());
}



decoder::Record Heard(Category c, std::string text, std::wstring wide = {}) {
    return {.receivedUtcMs = 1796644800123,  // 2026-12-07T12:00:00.123Z
            .category = c, .les = "121", .frame = "0042", .text = std::move(text), .wideText = std::move(wide)};
}

json Datagram(Category c, std::string text, std::wstring wide = {}, std::int64_t copies = 1, bool alert = false) {
    const auto item = feed::ItemFromRecord(Heard(c, std::move(text), std::move(wide)), copies, alert);
    return json::parse(feed::BuildDatagram("s", item));
}

}  // namespace

TEST(FeedDatagram, IsoTimeInUtcWithMilliseconds) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "1970-01-01T00:00:00.000Z"}, {1796644800123, "2026-12-07T12:00:00.123Z"},
        {951782400000 - 1, "2000-02-28T23:59:59.999Z"},
        {951782400000 + 86'400'000, "2000-03-01T00:00:00.000Z"},  // 2000 was a leap year
        {-1, "1969-12-31T23:59:59.999Z"}, {-86'400'000, "1969-12-31T00:00:00.000Z"},
    };
    for (auto [ms, text] : rows) EXPECT_EQ(feed::IsoUtc(ms), text) << ms;
}

TEST(FeedDatagram, EachKindOfRecordGivesItsWholeObject) {
    const std::string navarea =
        "NAVAREA IV 1177/26\nAREA BOUND BY 28-39.92N 080-38.33W, 28-40N 080-30W, 28-20N 080-30W.\n"
        "WITHIN 2 MILES OF 28-00S 080-00E.\nCANCEL THIS MSG 081200Z DEC 26.";
    struct Row { json got; const char* expected; };  // without time, les and frame, the same for every row
    const Row rows[] = {
        // Text from the reader's UTF-16 wins over its bytes; a message has priority and copies.
        {Datagram(Category::MessageText, "bytes", L"SECURITE \"quoted\"\n\u00c9t\u00e9 \u2603", 3),
         R"({"station": "s", "category": 5, "text": "SECURITE \"quoted\"\n\u00c9t\u00e9 \u2603", "priority": "safety",
             "copies": 3})"},
        {Datagram(Category::BulletinHeader, "freq"), R"({"station": "s", "category": 2, "text": "freq"})"},
        {Datagram(Category::FrameHeader, "x", {}, 2, true), R"({"station": "s", "category": 0, "text": "x"})"},
        // A message of no series: only its kind; an alert says so.
        {Datagram(Category::MessageText, "MAYDAY RELAY\nSINKING", {}, 1, true),
         R"({"station": "s", "category": 5, "text": "MAYDAY RELAY\nSINKING", "priority": "distress", "copies": 1,
             "alert": true, "kind": "sar"})"},
        // A warning: series, number, kind, state and shapes.
        {Datagram(Category::MessageText, navarea),
         R"({"station": "s", "category": 5, "text": "NAVAREA IV 1177/26\nAREA BOUND BY 28-39.92N 080-38.33W, )"
         R"(28-40N 080-30W, 28-20N 080-30W.\nWITHIN 2 MILES OF 28-00S 080-00E.\nCANCEL THIS MSG 081200Z DEC 26.",
             "priority": "routine", "copies": 1, "series": "NAVAREA IV", "number": 1177, "year": 2026, "kind": "nav",
             "state": "inforce",
             "shapes": [{"kind": "area", "points": [[28.665333, -80.638833], [28.666667, -80.5], [28.333333, -80.5]]},
                        {"kind": "circle", "radius_nm": 2.0, "points": [[-28.0, 80.0]]}]})"},
        // Heard after its own cancel time: expired from the start.
        {Datagram(Category::MessageText, "HYDROPAC 567/26\nCANCEL THIS MSG 071100Z DEC 26."),
         R"({"station": "s", "category": 5, "text": "HYDROPAC 567/26\nCANCEL THIS MSG 071100Z DEC 26.",
             "priority": "routine", "copies": 1, "series": "HYDROPAC", "number": 567, "year": 2026, "kind": "nav",
             "state": "expired"})"},
    };
    for (const Row& row : rows) {
        json expected = json::parse(row.expected);
        expected["time"] = "2026-12-07T12:00:00.123Z";
        expected["les"] = "121";
        expected["frame"] = "0042";
        EXPECT_EQ(row.got, expected) << row.expected;
    }
}

TEST(FeedDatagram, AStationNameTypedFarTooLongIsCutAtACharacterBoundary) {
    std::string station = "a";
    for (int i = 0; i < 300; ++i) station += "\xC3\xA9";
    const auto item = feed::ItemFromRecord(Heard(Category::FrameHeader, "x"));
    EXPECT_EQ(json::parse(feed::BuildDatagram(station, item))["station"], station.substr(0, 255));
    EXPECT_EQ(json::parse(feed::BuildDatagram("\xFF" "b", item))["station"], "\xEF\xBF\xBD" "b");
}

TEST(FeedDatagram, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> rows[] = {
        // Code-page bytes, a lone continuation, an overlong slash, a surrogate, a cut-off sequence.
        {"a\xE9" "b\x80\xC0\xAF\xED\xA0\x80z\xE2\x82", "a" + r + "b" + r + r + r + r + r + r + "z" + r + r},
        // Overlong three- and four-byte forms, past U+10FFFF, a bad continuation; the longest good ones pass.
        {"\xE0\x9F\xBF\xF0\x8F\xBF\xBF\xF4\x90\x80\x80\xC3(", r + r + r + r + r + r + r + r + r + r + r + r + "("},
        {"\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(feed::ItemFromRecord(Heard(Category::MessageText, bytes)).text, text);
    // A lone UTF-16 surrogate from the reader becomes one replacement character.
    EXPECT_EQ(Datagram(Category::MessageText, "", L"x\xD800y")["text"], "x" + r + "y");
}

TEST(FeedDatagram, LongTextIsCutAtACharacterBoundaryAndFlagged) {
    // Three-byte characters, so that most cut points fall inside one; control characters that JSON
    // writes six bytes long; and one text exactly at the limit.
    for (const std::string& unit : {std::string("\xE2\x82\xAC"), std::string("\x01"), std::string("\xC3\xA9")}) {
        std::string text;
        while (text.size() < 70'000) text += unit;
        const std::string out = feed::BuildDatagram("station", feed::ItemFromRecord(Heard(Category::MessageText, text)));
        EXPECT_TRUE(out.size() <= 65'000u && out.size() > 65'000u - 8) << out.size();  // cut no more than needed
        const json j = json::parse(out);
        EXPECT_TRUE(j["truncated"] == true && j["priority"] == "routine");
        const std::string got = j["text"];
        EXPECT_TRUE(got.size() % unit.size() == 0 && got == text.substr(0, got.size()));
    }
    feed::FeedItem item = feed::ItemFromRecord(Heard(Category::MessageText, "x"));
    const std::size_t overhead = feed::BuildDatagram("", item).size() - 1;
    item.text = std::string(65'000 - overhead, 'y');
    const std::string fits = feed::BuildDatagram("", item);
    EXPECT_TRUE(fits.size() == 65'000u && !json::parse(fits).contains("truncated"));

    // Shapes too large for one datagram go, and the text stays whole.
    std::string text = "NAVAREA I 1/26\nWRECKS";
    while (text.size() < 60'000) text += " 50-00N 004-00W";
    const std::string many = feed::BuildDatagram("s", feed::ItemFromRecord(Heard(Category::MessageText, text)));
    EXPECT_LE(many.size(), 65'000u);
    const json j = json::parse(many);
    EXPECT_TRUE(!j.contains("shapes") && j["text"] == text && j["number"] == 1);
}

TEST(FeedDatagram, CharacterBoundary) {
    const std::string s = "a\xC3\xA9\xF0\x9F\x98\x80";  // a, é, 😀
    const std::pair<std::size_t, std::size_t> rows[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3},
                                                          {4, 3}, {6, 3}, {7, 7}, {99, 7}};
    for (auto [bytes, boundary] : rows) EXPECT_EQ(feed::CharacterBoundary(s, bytes), boundary) << bytes;
}

TEST(FeedDestinations, EachListGivesItsDestinationsInOrderAndNamesEveryBadEntry) {
    using L = std::vector<std::string>;
    struct Row { const char* text; L destinations; L errors; };  // destinations: "<entry as typed> <host> <port>"
    const Row rows[] = {
        {"", {}, {}}, {"  , ;\t \r\n", {}, {}},
        {"127.0.0.1:5555, [::1]:5556, collector.example.org:4000",
         {"127.0.0.1:5555 127.0.0.1 5555", "[::1]:5556 ::1 5556",
          "collector.example.org:4000 collector.example.org 4000"},
         {}},
        // The second a:1 is the first one again; a blank separates like a comma.
        {" a:1;b:65535  c:2,,a:1 ,[fe80::1%3]:9\t_x.y-\xC3\xA9:7",
         {"a:1 a 1", "b:65535 b 65535", "c:2 c 2", "[fe80::1%3]:9 fe80::1%3 9", "_x.y-\xC3\xA9:7 _x.y-\xC3\xA9 7"},
         {}},
        {"good:1, noport, host:, :5, host:0, host:65536, host:12x, host:123456, host:4294967376, ::1:5556, [::1, "
         "[::1]5, [::1], []:5, "
         "[zz::1]:5, [::1]:, bad/host:5, other:2",
         {"good:1 good 1", "other:2 other 2"},
         {"'noport': no port: write host:port, as in 127.0.0.1:5555", "'host:': no port after ':'",
          "':5': no host before the port", "'host:0': the port '0' is not a number from 1 to 65535",
          "'host:65536': the port '65536' is not a number from 1 to 65535",
          "'host:12x': the port '12x' is not a number from 1 to 65535",
          "'host:123456': the port '123456' is not a number from 1 to 65535",
          "'host:4294967376': the port '4294967376' is not a number from 1 to 65535",
          "'::1:5556': an IPv6 address goes in brackets, as in [::1]:5556",
          "'[::1': the IPv6 address has no closing ']'", "'[::1]5': a port must follow the address, as in [::1]:5556",
          "'[::1]': a port must follow the address, as in [::1]:5556", "'[]:5': the address in brackets is empty",
          "'[zz::1]:5': 'zz::1' is not an IPv6 address", "'[::1]:': no port after ':'",
          "'bad/host:5': 'bad/host' is not a host name"}},
    };
    for (const Row& row : rows) {
        const feed::DestinationList list = feed::ParseDestinations(row.text);
        L got;
        for (const auto& d : list.destinations) got.push_back(d.text + " " + d.host + " " + std::to_string(d.port));
        EXPECT_EQ(got, row.destinations) << row.text;
        EXPECT_EQ(list.errors, row.errors) << row.text;
    }
}
