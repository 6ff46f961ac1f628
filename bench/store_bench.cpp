// The message store's speed: insert rate, and on a large store the queries the messages pane makes
// (newest messages of one station, a text search through the filter language, counting its
// matches) and the bytes each record and message take on disk. Prints figures.
//
//   store_bench [messages, default 1000000] [records, default 10000000] [store file]
// A store file that already holds the asked-for rows is reused, so the build is paid once.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "messages/filter.h"
#include "messages/store_sink.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kNow = 1796644800000;  // 2026-12-07T12:00:00Z
constexpr int kStations = 20;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

const char* const kWords[] = {"NAVAREA", "WARNING", "GALE", "wind", "force", "sea", "buoy", "adrift", "position",
                              "vessel", "cargo", "reported", "north", "south", "east", "west", "light", "unlit",
                              "wreck", "depth", "metres", "exercise", "firing", "area", "cancel", "this", "message",
                              "weather", "forecast", "visibility", "moderate", "good", "poor", "rain", "swell"};

// A message text of 80 to 400 characters; one in a hundred mentions an iceberg, the searched term.
std::string MessageText(std::mt19937& rng, int serial) {
    std::string t = (rng() % 50 == 0) ? "SECURITE\n" : "";
    t += "NAVAREA " + std::to_string(serial) + "\n";
    if (rng() % 100 == 0) t += "ICEBERG reported ";
    std::size_t length = 80 + rng() % 321;
    while (t.size() < length) {
        t += kWords[rng() % std::size(kWords)];
        t += (rng() % 8 == 0) ? "\n" : " ";
    }
    return t;
}

decoder::Record Make(std::int64_t t, decoder::Category c, int station, std::string text) {
    decoder::Record r;
    r.receivedUtcMs = t;
    r.category = c;
    r.header = "0123456";
    r.les = std::to_string(100 + station);
    r.frame = std::to_string(t / 8640 % 10000);
    r.text = std::move(text);
    return r;
}

std::uintmax_t DiskBytes(const std::string& path) {
    std::error_code ec;
    std::uintmax_t total = std::filesystem::file_size(path, ec);
    auto wal = std::filesystem::file_size(path + "-wal", ec);
    return total + (ec ? 0 : wal);
}

// Writes `n` records through the store as the sink's writer does (500 per transaction).
void WriteAll(messages::MessageStore& store, std::vector<decoder::Record>& batch) {
    std::span<const decoder::Record> rest(batch);
    while (!rest.empty()) rest = rest.subspan(store.Write(1, rest));
    batch.clear();
}

void InsertRate(const std::string& folder) {
    const std::string path = folder + "/store_bench_insert.db";
    std::filesystem::remove(path);
    std::mt19937 rng(1);
    const int n = 300'000;
    std::vector<decoder::Record> records;
    for (int i = 0; i < n; ++i) {
        bool message = i % 900 == 0;
        records.push_back(Make(kNow + i * 960, message ? decoder::Category::MessageText : decoder::Category::FrameHeader,
                               static_cast<int>(rng() % kStations),
                               message ? MessageText(rng, i) : "Frame type 0x2A, 640 symbols, sync ok " + std::to_string(i)));
    }
    {
        auto store = messages::MessageStore::Open(path);
        auto start = Clock::now();
        std::span<const decoder::Record> rest(records);
        while (!rest.empty()) rest = rest.subspan(store->Write(0, rest.subspan(0, std::min<std::size_t>(500, rest.size()))));
        std::printf("insert, MessageStore::Write in 500s: %.0f records/s\n", n / Seconds(start));
    }
    std::filesystem::remove(path);
    messages::StoreSinkOptions o;
    o.finishWaitMs = 600'000;
    messages::StoreSink sink(messages::MessageStore::Open(path), o);
    auto start = Clock::now();
    sink.OnRunStarted();
    for (const decoder::Record& r : records) sink.OnRecord(r);
    sink.OnRunEnded();
    std::printf("insert, StoreSink (reader thread to commit): %.0f records/s, %llu written\n", n / Seconds(start),
                static_cast<unsigned long long>(sink.written()));
}

std::int64_t CountRows(messages::Database& db, const char* table) {
    messages::Statement s(db, std::string("SELECT max(id) FROM ") + table);
    return s.Step() ? s.ColumnInt64(0) : 0;
}

// Records span the last `records` seconds-and-a-bit; messages are spread over the same time.
void Build(const std::string& path, std::int64_t messages, std::int64_t records) {
    std::filesystem::remove(path);
    auto store = messages::MessageStore::Open(path);
    std::mt19937 rng(2);
    const std::int64_t plain = records - messages;
    const std::int64_t span = records * 960;  // about a record a second
    auto start = Clock::now();
    std::vector<decoder::Record> batch;
    for (std::int64_t i = 0; i < plain; ++i) {
        batch.push_back(Make(kNow - span + i * span / plain, static_cast<decoder::Category>(rng() % 5),
                             static_cast<int>(rng() % kStations), "Bulletin board: channel 3 TDM, 0 errors " + std::to_string(i)));
        if (batch.size() == 500) WriteAll(*store, batch);
    }
    WriteAll(*store, batch);
    store->database().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    std::uintmax_t recordBytes = DiskBytes(path);
    std::printf("built %lld records in %.0f s: %.1f bytes per record\n", static_cast<long long>(plain), Seconds(start),
                static_cast<double>(recordBytes) / static_cast<double>(plain));
    start = Clock::now();
    for (std::int64_t i = 0; i < messages; ++i) {
        batch.push_back(Make(kNow - span + i * span / messages, decoder::Category::MessageText,
                             static_cast<int>(rng() % kStations), MessageText(rng, static_cast<int>(i))));
        if (batch.size() == 500) WriteAll(*store, batch);
    }
    WriteAll(*store, batch);
    store->database().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    std::printf("built %lld messages in %.0f s: %.1f bytes per message (its record, row and index entries)\n",
                static_cast<long long>(messages), Seconds(start),
                static_cast<double>(DiskBytes(path) - recordBytes) / static_cast<double>(messages));
}

// Runs `query` `times` times and prints the first (colder) and the median time.
template <class Query>
void Time(const char* name, int times, Query query) {
    std::vector<double> ms;
    std::int64_t rows = 0;
    for (int i = 0; i < times; ++i) {
        auto start = Clock::now();
        rows = query();
        ms.push_back(Seconds(start) * 1000.0);
    }
    double first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("%-58s %8.2f ms median, %8.2f ms first, %lld rows\n", name, ms[ms.size() / 2], first,
                static_cast<long long>(rows));
}

void Queries(const std::string& path) {
    auto store = messages::MessageStore::Open(path);
    messages::Database& db = store->database();
    Time("100 newest messages of LES 107 in the last day", 21, [&] {
        messages::Statement s(db, "SELECT id, last_heard_ms, frame, priority, copies, text FROM message_rows "
                                  "WHERE les = ? AND last_heard_ms >= ? ORDER BY last_heard_ms DESC LIMIT 100");
        s.Bind(1, std::int64_t{107}).Bind(2, kNow - messages::kDayMs);
        std::int64_t n = 0;
        while (s.Step()) n += s.ColumnText(5).empty() ? 0 : 1;
        return n;
    });
    for (const char* expression : {"\"iceberg\"", "text~\"iceberg\" & les=107", "\"iceberg\" & age_day<30"}) {
        messages::Filter filter;
        messages::FilterError error;
        if (!messages::Filter::Parse(expression, filter, error)) {
            std::printf("filter error: %s\n", error.message.c_str());
            return;
        }
        messages::FilterSql sql = filter.ToSql(kNow);
        std::string newest = std::string("filter ") + expression + ": 100 newest";
        // The ids first, so that the sort carries no text, then those rows, as the pane shows them.
        Time(newest.c_str(), 11, [&] {
            messages::Statement s(db, "SELECT m.id FROM message_rows AS m WHERE " + sql.where +
                                          " ORDER BY m.last_heard_ms DESC LIMIT 100");
            sql.BindTo(s);
            messages::Statement row(db, "SELECT first_heard_ms, les, frame, priority, copies, text FROM message_rows "
                                        "WHERE id = ?");
            std::int64_t n = 0;
            while (s.Step()) {
                row.Reset();
                row.Bind(1, s.ColumnInt64(0));
                if (row.Step() && !row.ColumnText(5).empty()) ++n;
            }
            return n;
        });
        std::string count = std::string("filter ") + expression + ": count";
        Time(count.c_str(), 5, [&] {
            messages::Statement s(db, "SELECT count(*) FROM message_rows AS m WHERE " + sql.where);
            sql.BindTo(s);
            return s.Step() ? s.ColumnInt64(0) : -1;
        });
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // figures appear as they come, even into a file
    const std::int64_t messages = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
    const std::int64_t records = argc > 2 ? std::atoll(argv[2]) : 10'000'000;
    const std::string path = argc > 3 ? argv[3] : "store_bench_" + std::to_string(messages) + ".db";
    const std::string folder = std::filesystem::absolute(path).parent_path().string();
    InsertRate(folder);
    bool reuse = false;
    if (std::filesystem::exists(path)) {
        auto store = messages::MessageStore::Open(path);
        reuse = CountRows(store->database(), "record_rows") == records &&
                CountRows(store->database(), "message_rows") == messages;
    }
    if (!reuse) Build(path, messages, records);
    std::printf("store %s: %lld messages, %lld records, %.0f MB on disk\n", path.c_str(),
                static_cast<long long>(messages), static_cast<long long>(records), DiskBytes(path) / 1e6);
    Queries(path);
    return 0;
}
