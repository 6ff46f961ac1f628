// A message store file of a test's own with chosen messages in it, removed afterwards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "messages/filter.h"
#include "messages/message_store.h"
#include "messages/schema.h"

namespace browsertest {

inline constexpr std::int64_t kNow = 1796565909750;  // 2026-12-06 14:05:09.750 UTC

class StoreFile {
public:
    explicit StoreFile(const std::string& name)
        : path_(std::filesystem::temp_directory_path() / ("vastrel_browser_" + name + ".db")) { Remove(); }
    ~StoreFile() { store_.reset(), Remove(); }
    // Adds `row` (the store, schema and all, made on first use); returns its id.
    std::int64_t Add(const messages::MessageRow& row) { return messages::InsertMessage(database(), row); }
    messages::Database& database() { return (store_ ? store_ : store_ = messages::MessageStore::Open(path()))->database(); }
    std::string path() const { return path_.string(); }
    const std::filesystem::path& fsPath() const { return path_; }

private:
    void Remove() {
        std::error_code ignored;
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path() + suffix, ignored);
    }
    std::filesystem::path path_;
    std::unique_ptr<messages::MessageStore> store_;
};

// A message heard once at `ms`.
inline messages::MessageRow Message(std::int64_t ms, std::int64_t les, std::int64_t frame, std::string text,
                                    std::int64_t copies = 1) {
    return {.firstHeardMs = ms, .lastHeardMs = ms, .les = les, .frame = frame, .priority = messages::PriorityOfText(text),
            .copies = copies, .length = static_cast<std::int64_t>(text.size()), .text = std::move(text)};
}

// A filter expression that must parse.
inline messages::Filter Parsed(std::string_view text) {
    messages::Filter filter;
    if (messages::FilterError error; !messages::Filter::Parse(text, filter, error)) ADD_FAILURE() << text << ": " << error.message;
    return filter;
}

}  // namespace browsertest
