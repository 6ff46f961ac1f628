// Reception sink: runs of one store each write their own rows, and the `reception` view sums them
// per hour and station, with NULL signal-to-noise for hours without capture.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "store_support/query_rows.h"
#include "messages/message_store.h"
#include "reception/reception_sink.h"

using namespace reception;

namespace {

constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z
constexpr std::int64_t H(int hours, int minutes = 0) { return kDay + hours * kHourMs + minutes * 60'000LL; }

struct TempStore {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("reception_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db");
    TempStore() { Remove(); }
    ~TempStore() { Remove(); }
    void Remove() {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
    }
};

decoder::Record Header(const char* les, int frame) {
    decoder::Record r;
    r.category = decoder::Category::BulletinHeader;
    r.les = les;
    r.frame = std::to_string(frame);
    r.receivedUtcMs = kDay + frame * kFrameMs + 5000;
    return r;
}

// One run: started and ended at the given times, hearing `frames`, with SNR samples.
void OneRun(const std::string& path, const char* instance, std::int64_t fromMs, std::int64_t toMs,
         const std::vector<int>& frames, const std::vector<double>& snr = {}) {
    std::atomic<std::int64_t> now{fromMs};
    ReceptionSinkOptions options;
    options.storePath = path;
    options.instance = instance;
    options.clock = [&now] { return now.load(); };
    ReceptionSink sink(std::move(options));
    sink.OnRunStarted();
    for (int n : frames) sink.OnRecord(Header("121", n));
    decoder::Record text;
    text.category = decoder::Category::MessageText;
    text.frame = "9999";  // not a header: not a frame heard
    sink.OnRecord(text);
    for (double db : snr) sink.Snr(fromMs + 60'000, db);
    now = toMs;
    sink.OnRunEnded();
    EXPECT_EQ(sink.error(), "");
}

std::vector<std::string> View(const std::string& path) {
    auto store = messages::MessageStore::Open(path);
    return store_support::QueryRows(store->database(), "SELECT * FROM reception ORDER BY hour_utc, les");
}

std::vector<int> Frames(int first, int last, int skip = -1) {
    std::vector<int> out;
    for (int n = first; n <= last; ++n)
        if (n != skip) out.push_back(n);
    return out;
}

}  // namespace

TEST(ReceptionSink, TheViewSumsTheRunsOfAnHour) {
    TempStore store;
    OneRun(store.path.string(), "run-a", H(10), H(10, 20), Frames(4167, 4176));
    OneRun(store.path.string(), "run-b", H(10, 40), H(11), Frames(4445, 4454, 4450), {10.0, 7.0});
    OneRun(store.path.string(), "run-c", H(12), H(12, 10), Frames(5000, 5004));
    EXPECT_EQ(View(store.path.string()), (std::vector<std::string>{
                                             "2026-12-07T10:00:00.000Z|121|19|278|8.5|7.0|1",
                                             "2026-12-07T12:00:00.000Z|121|5|70|NULL|NULL|0",
                                         }));
}

TEST(ReceptionSink, AStoreThatCannotBeOpenedIsReportedNotThrown) {
    ReceptionSinkOptions options;
    options.storePath = (std::filesystem::temp_directory_path() / "no such folder" / "x.db").string();
    options.instance = "run";
    options.clock = [] { return H(1); };
    std::string said;
    options.onError = [&said](const std::string& e) { said = e; };
    ReceptionSink sink(std::move(options));
    sink.OnRunStarted();
    sink.OnRecord(Header("121", 500));
    sink.OnRunEnded();
    EXPECT_NE(sink.error(), "");
    EXPECT_EQ(said, sink.error());
}
