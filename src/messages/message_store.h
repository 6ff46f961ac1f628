// The message store: one connection to the store file, refusing files it must not touch, writing
// decoder records and messages in batches, and trimming old rows a small step at a time.
//
// Portable. One thread uses a MessageStore at a time (StoreSink gives it a writer thread of its own);
// several MessageStores, in this process or others, may share one file: WAL mode, a busy timeout
// and a retry of a whole batch on SQLITE_BUSY keep any of them from losing rows to the others.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/decoder_record.h"
#include "messages/filter.h"
#include "messages/sqlite_db.h"

namespace messages {

inline constexpr std::int64_t kDayMs = 86'400'000;

struct StoreOptions {
    int keepRecordsDays = 7;   // records older than this many days are removed; 0 keeps them forever
    int keepMessagesDays = 0;  // messages last heard longer ago than this; 0 keeps them forever
    int busyTimeoutMs = 2000;  // SQLite's own wait for a lock, per attempt
    int busyAttempts = 30;     // whole-batch retries after a busy timeout before giving up
    // SQLite's page cache for this connection, grown only as used: a text search that reads ten
    // thousand message rows scattered over a large store takes a quarter of the time once they are held.
    int cacheMb = 64;
    // The largest the file may grow, in pages (0: as large as the disk allows). Past it, writing
    // fails as on a full disk.
    std::int64_t maxPages = 0;
};

// Why Open refused a file; the text of StoreError names the reason and the path.
enum class StoreRefusal { NotADatabase, ForeignDatabase, Corrupt, NewerSchema, ReadOnly, CannotOpen };

class StoreError : public std::runtime_error {
public:
    StoreError(StoreRefusal reason, const std::string& what) : std::runtime_error(what), reason_(reason) {}
    StoreRefusal reason() const noexcept { return reason_; }

private:
    StoreRefusal reason_;
};

// A station or frame number as received ("121", "0042") as stored: the number when the text is
// 1 to 9 decimal digits, otherwise nothing (empty before the first bulletin-board header, or
// anything else). Records keep NULL for nothing; messages, whose columns the filter reads and which
// are never NULL, keep kUnknownNumber, so "les=-1" finds messages from an unknown station and the
// 24-hour duplicate check treats all of those as one station.
std::optional<std::int64_t> StationNumber(std::string_view text) noexcept;
inline constexpr std::int64_t kUnknownNumber = -1;

// Text as it is stored: the record's UTF-16 text as UTF-8 where the reader filled it, else the bytes
// as received (SQLite keeps them; only `len` may then count bytes of a code page as characters).
std::string StoredText(const decoder::Record& record);

class MessageStore {
public:
    // Opens or creates the store at `path`, sets WAL mode and the busy timeout and migrates the
    // schema. Throws StoreError for a file that is not a database, is damaged, comes from a newer
    // program, or cannot be written; such a file is only read, never changed or removed.
    static std::unique_ptr<MessageStore> Open(const std::string& path, const StoreOptions& options = {});

    // The first error while open, once: later writes are skipped and report nothing more. Called on
    // the thread that hit the error.
    void SetErrorCallback(std::function<void(const std::string&)> callback) { onError_ = std::move(callback); }
    bool failed() const noexcept { return failed_; }
    const std::string& error() const noexcept { return error_; }

    // A new run row; returns its id (0 once failed).
    std::int64_t BeginRun(std::string_view instance, std::int64_t startedMs, std::string_view commandLine);
    void EndRun(std::int64_t runId, std::int64_t stoppedMs);

    // Writes records of run `runId` (0: none) from the front of `records` in one transaction, and
    // every message among them (category 5) as a new message or as one more copy of a message with
    // the same text from the same station last heard less than 24 hours before it. The transaction
    // ends after `budgetMs` (at least one record goes in), so that another front end writing to the
    // same store never waits long; returns how many were written, 0 once failed. With `copies`, it
    // also gets, for each record written, the copies of its message after the write (0 for a record
    // that is not a message).
    std::size_t Write(std::int64_t runId, std::span<const decoder::Record> records, int budgetMs = 250,
                      std::vector<std::int64_t>* copies = nullptr);

    // New messages (never copies) that pass `filter` raise an alert: Write marks them in alert_rows
    // (the filter's `alerted`) within its transaction and lists them in Alerts(). None: no alerts.
    void SetAlertFilter(std::optional<Filter> filter) { alertFilter_ = std::move(filter); }
    // A message that raised an alert in the last Write: the index of its record there, and its id.
    struct Alerted {
        std::size_t record;
        std::int64_t id;
    };
    const std::vector<Alerted>& Alerts() const noexcept { return alerts_; }

    // Removes at most `maxRows` rows past their keeping time (records first, then messages) in one
    // short transaction; returns how many went, so that a caller steps again while it is positive.
    int TrimStep(std::int64_t nowMs, int maxRows = 1000);

    // Reads at most `maxCount` messages that are not read yet (a store made before messages were
    // read, or written by an older program) in one short transaction; returns how many remain, so
    // that a caller steps again, between writes, while it is positive. New messages are read as
    // Write stores them.
    std::int64_t ReadPendingMessages(int maxCount = 200);

    const StoreOptions& options() const noexcept { return options_; }
    const std::string& path() const noexcept { return path_; }
    Database& database() noexcept { return db_; }  // for tests and the benchmark

private:
    MessageStore(std::string path, const StoreOptions& options, Database db);
    template <class Work>
    bool WithRetry(const char* what, Work&& work);
    void Fail(const std::string& what, const SqliteError& e);
    std::int64_t WriteOne(std::int64_t runId, const decoder::Record& record);  // the message's copies, or 0

    std::string path_;
    StoreOptions options_;
    Database db_;
    bool failed_ = false;
    std::string error_;
    std::function<void(const std::string&)> onError_;
    struct Statements;
    std::unique_ptr<Statements> s_;
    std::vector<std::int64_t> fresh_;  // messages inserted by the running Write, to be read
    std::vector<std::size_t> freshRecords_;  // the index of each one's record in the running Write
    std::optional<Filter> alertFilter_;
    std::vector<Alerted> alerts_;
    void MarkAlerts(std::span<const decoder::Record> records);
    bool allRead_ = false;             // every message stored before was found read

public:
    ~MessageStore();
};

}  // namespace messages
