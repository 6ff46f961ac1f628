// Scratch folders, records and read-back queries shared by the message store tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "messages/message_store.h"

namespace store_test {

inline constexpr std::int64_t kT0 = 1796644800000;  // 2026-12-07T12:00:00Z
inline constexpr std::int64_t kHourMs = 3'600'000;

// A fresh folder per test, removed afterwards (permissions restored first, in case a test took them:
// Windows will not remove a read-only file).
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vastrel_store_") + info->test_suite_name() + "_" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        path_ = std::filesystem::temp_directory_path() / name;
        Remove(), std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { Remove(); }
    std::string File(const char* name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    void Remove() {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);
        for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, ec), ec.clear();
        fs::remove_all(path_, ec);
    }
    std::filesystem::path path_;
};

inline decoder::Record Rec(std::int64_t t, decoder::Category c, std::string les, std::string frame, std::string text,
                           std::string header = "0123456") {
    static std::atomic<std::uint64_t> sequence{0};
    return decoder::Record{.sequence = sequence++, .receivedUtcMs = t, .category = c, .header = std::move(header),
                           .les = std::move(les), .frame = std::move(frame), .text = std::move(text)};
}

inline decoder::Record Msg(std::int64_t t, std::string les, std::string text, std::string frame = "1") {
    return Rec(t, decoder::Category::MessageText, std::move(les), std::move(frame), std::move(text));
}

// A separate connection, as another tool would read the store.
inline std::int64_t Count(const std::string& path, const char* sql) {
    messages::Database db = messages::Database::Open(path, SQLITE_OPEN_READONLY);
    messages::Statement s(db, sql);
    return s.Step() ? s.ColumnInt64(0) : -1;
}

inline std::string Bytes(const std::string& path) {
    return std::string(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
}

// Polls `done` until it holds or `timeoutMs` passes; the answer is the last poll.
template <class Predicate>
bool WaitUntil(Predicate done, int timeoutMs = 10'000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() <= end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

}  // namespace store_test
