// The message store: opening with refusals, batched writes with busy retries, and stepwise trimming.
#include "messages/message_store.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "decoder/wide_text.h"
#include "messages/priority.h"
#include "messages/schema.h"
#include "messages/text_fold.h"
#include "messages/warning_rows.h"

namespace messages {

std::optional<std::int64_t> StationNumber(std::string_view text) noexcept {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string StoredText(const decoder::Record& record) {
    return record.wideText.empty() ? record.text : decoder::WideToUtf8(record.wideText);
}

// Prepared once: the writer runs the same few statements thousands of times a day.
struct MessageStore::Statements {
    explicit Statements(Database& db)
        : insertRecord(db, "INSERT INTO record_rows (received_ms, run_id, category, header, les, frame, text) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
          // Through message_rows_copies: only messages of the same length have their text read. No
          // ORDER BY, as the copies rule leaves at most one such message anyway.
          findMessage(db, "SELECT id, copies FROM message_rows WHERE les = ? AND len = ? AND last_heard_ms > ? AND text = ? "
                          "LIMIT 1"),
          addCopy(db, "UPDATE message_rows SET copies = copies + 1, last_heard_ms = max(last_heard_ms, ?) "
                      "WHERE id = ?"),
          insertMessage(db, "INSERT INTO message_rows (first_heard_ms, last_heard_ms, les, frame, priority, copies, "
                            "len, text) VALUES (?, ?, ?, ?, ?, 1, ?, ?)"),
          trimRecords(db, "DELETE FROM record_rows WHERE id IN "
                          "(SELECT id FROM record_rows WHERE received_ms < ? ORDER BY received_ms LIMIT ?)"),
          trimMessages(db, "DELETE FROM message_rows WHERE id IN "
                           "(SELECT id FROM message_rows WHERE last_heard_ms < ? ORDER BY last_heard_ms LIMIT ?)"),
          // A run goes with its last record; one still running (no stop time) always stays.
          trimRuns(db, "DELETE FROM runs WHERE id IN (SELECT id FROM runs WHERE stopped_ms < ? AND NOT EXISTS "
                       "(SELECT 1 FROM record_rows WHERE run_id = runs.id) LIMIT ?)") {}
    Statement insertRecord, findMessage, addCopy, insertMessage, trimRecords, trimMessages, trimRuns;
};

namespace {

namespace fs = std::filesystem;

bool Writable(const fs::path& p) {
    std::error_code ec;
    fs::perms perms = fs::status(p, ec).permissions();
    if (ec) return true;  // let SQLite say what is wrong
    return (perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) != fs::perms::none;
}

[[noreturn]] void Refuse(StoreRefusal reason, const std::string& path, const std::string& why) {
    throw StoreError(reason, "the message store '" + path + "' " + why);
}

// Marks on the file and its folder, checked before SQLite opens (and so may create) anything. The
// permission marks are checked by us because an administrator's process would otherwise write
// through them, and a file marked read-only is one its owner does not want changed.
void CheckMarks(const std::string& path) {
    fs::path file(std::u8string(path.begin(), path.end()));  // UTF-8, as SQLite takes it, on every system
    std::error_code ec;
    bool exists = fs::exists(file, ec);
    if (exists && !fs::is_regular_file(file, ec)) Refuse(StoreRefusal::CannotOpen, path, "is not a file");
    if (exists && !Writable(file)) Refuse(StoreRefusal::ReadOnly, path, "is read-only; it was left as it is");
#ifndef _WIN32
    // Not on Windows: there a folder's read-only mark does not stop files being made in it, and
    // Explorer sets it on customised folders such as Documents.
    fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!Writable(folder)) {
        Refuse(StoreRefusal::ReadOnly, path,
               "is in a read-only folder (the store writes a journal file beside it); nothing was written");
    }
#endif
}

// SQLite reading the file: is it a database, undamaged, ours, and not from a newer program?
void CheckContent(const std::string& path, Database& db) {
    try {
        Statement probe(db, "SELECT count(*) FROM sqlite_master");
        probe.Step();
        if (probe.ColumnInt64(0) > 0 && SchemaVersion(db) == 0) {
            Refuse(StoreRefusal::ForeignDatabase, path,
                   "is an SQLite database of another program, not a message store; it was left as it is");
        }
    } catch (const SqliteError& e) {
        const int primary = e.primary();
        if (e.busy()) throw;  // the opener waits and tries again
        if (primary == SQLITE_NOTADB) {
            Refuse(StoreRefusal::NotADatabase, path, "is not a database (" + std::string(e.what()) +
                                                          "); it was left as it is");
        }
        if (primary == SQLITE_CORRUPT) {
            Refuse(StoreRefusal::Corrupt, path, "is damaged (" + std::string(e.what()) + "); it was left as it is");
        }
        Refuse(StoreRefusal::CannotOpen, path, std::string("cannot be read: ") + e.what());
    }
    if (sqlite3_db_readonly(db.handle(), "main") == 1) {
        Refuse(StoreRefusal::ReadOnly, path, "cannot be written (read-only); it was left as it is");
    }
    int version = SchemaVersion(db);
    if (version > kSchemaVersion) {
        Refuse(StoreRefusal::NewerSchema, path,
               "has schema version " + std::to_string(version) + ", newer than this program's " +
                   std::to_string(kSchemaVersion) + " (written by a newer program); it was left as it is");
    }
}

// WAL, the pragmas and the schema. Throws SqliteError; refuses a file that cannot use WAL.
void PrepareForWriting(const std::string& path, Database& db, const StoreOptions& options) {
    {  // finalised before the migration, which cannot commit while a statement is running
        Statement wal(db, "PRAGMA journal_mode = WAL");
        if (!wal.Step() || AsciiLower(wal.ColumnText(0)) != "wal") {
            Refuse(StoreRefusal::CannotOpen, path, "cannot be switched to WAL mode");
        }
    }
    // With WAL, NORMAL loses at most the last transactions on a power cut, never consistency.
    db.Execute("PRAGMA synchronous = NORMAL");
    db.Execute(("PRAGMA cache_size = " + std::to_string(-1024LL * options.cacheMb)).c_str());
    if (options.maxPages > 0) db.Execute(("PRAGMA max_page_count = " + std::to_string(options.maxPages)).c_str());
    MigrateSchema(db);
}

}  // namespace

std::unique_ptr<MessageStore> MessageStore::Open(const std::string& path, const StoreOptions& options) {
    CheckMarks(path);
    Database db;
    try {
        db = Database::Open(path);
    } catch (const SqliteError& e) {
        Refuse(StoreRefusal::CannotOpen, path, std::string("cannot be opened or created: ") + e.what());
    }
    sqlite3_busy_timeout(db.handle(), options.busyTimeoutMs);
    // Another program (or a second front end) creating or writing the same store holds it for a while:
    // reading and preparing it are tried again, as writes are, before the store is refused.
    for (int attempt = 1;; ++attempt) {
        try {
            CheckContent(path, db);
            PrepareForWriting(path, db, options);
            break;
        } catch (const SqliteError& e) {
            const int primary = e.primary();
            if (e.busy() && attempt < options.busyAttempts) {
                // SQLite does not always wait itself (a lock it cannot wait for without a deadlock).
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            StoreRefusal reason = primary == SQLITE_READONLY ? StoreRefusal::ReadOnly
                                  : primary == SQLITE_CORRUPT ? StoreRefusal::Corrupt
                                                              : StoreRefusal::CannotOpen;
            Refuse(reason, path, std::string("cannot be prepared for writing: ") + e.what());
        }
    }
    return std::unique_ptr<MessageStore>(new MessageStore(path, options, std::move(db)));
}

MessageStore::MessageStore(std::string path, const StoreOptions& options, Database db)
    : path_(std::move(path)), options_(options), db_(std::move(db)), s_(std::make_unique<Statements>(db_)) {}

MessageStore::~MessageStore() = default;

void MessageStore::Fail(const std::string& what, const SqliteError& e) {
    if (failed_) return;
    failed_ = true;
    error_ = "the message store '" + path_ + "' stopped writing: " + what + ": " + e.what();
    if (onError_) onError_(error_);
}

// A busy database after SQLite's own timeout rolls the whole transaction back and runs it again, so
// two front ends on one store only wait for each other.
template <class Work>
bool MessageStore::WithRetry(const char* what, Work&& work) {
    if (failed_) return false;
    for (int attempt = 1;; ++attempt) {
        try {
            Transaction t(db_);
            work();
            t.Commit();
            return true;
        } catch (const SqliteError& e) {
            if (e.busy() && attempt < options_.busyAttempts) continue;
            Fail(what, e);
            return false;
        } catch (const std::exception& e) {
            Fail(what, SqliteError(SQLITE_NOMEM, e.what()));
            return false;
        }
    }
}

std::int64_t MessageStore::BeginRun(std::string_view instance, std::int64_t startedMs, std::string_view commandLine) {
    std::int64_t id = 0;
    WithRetry("cannot record the run", [&] {
        Statement s(db_, "INSERT INTO runs (instance, started_ms, command_line) VALUES (?, ?, ?)");
        s.Bind(1, instance).Bind(2, startedMs).Bind(3, commandLine);
        s.Step();
        id = db_.LastInsertRowId();
    });
    return id;
}

void MessageStore::EndRun(std::int64_t runId, std::int64_t stoppedMs) {
    if (runId == 0) return;
    WithRetry("cannot record the run's end", [&] {
        Statement s(db_, "UPDATE runs SET stopped_ms = ? WHERE id = ?");
        s.Bind(1, stoppedMs).Bind(2, runId);
        s.Step();
    });
}

std::int64_t MessageStore::WriteOne(std::int64_t runId, const decoder::Record& record) {
    std::optional<std::int64_t> les = StationNumber(record.les);
    std::optional<std::int64_t> frame = StationNumber(record.frame);
    std::string text = StoredText(record);

    Statement& r = s_->insertRecord;
    r.Reset(true);
    r.Bind(1, record.receivedUtcMs);
    if (runId) r.Bind(2, runId);
    r.Bind(3, static_cast<std::int64_t>(decoder::Index(record.category))).Bind(4, record.header);
    if (les) r.Bind(5, *les);
    if (frame) r.Bind(6, *frame);
    r.Bind(7, text);
    r.Step();
    r.Reset();

    if (record.category != decoder::Category::MessageText) return 0;
    const std::int64_t station = les.value_or(kUnknownNumber);
    Statement& f = s_->findMessage;
    f.Reset();
    const std::int64_t length = CharacterCount(text);
    f.Bind(1, station).Bind(2, length).Bind(3, record.receivedUtcMs - kDayMs).Bind(4, text);
    if (f.Step()) {
        std::int64_t id = f.ColumnInt64(0);
        const std::int64_t copies = f.ColumnInt64(1) + 1;
        f.Reset();
        Statement& u = s_->addCopy;
        u.Reset();
        u.Bind(1, record.receivedUtcMs).Bind(2, id);
        u.Step();
        u.Reset();
        return copies;
    }
    f.Reset();
    Statement& m = s_->insertMessage;
    m.Reset();
    m.Bind(1, record.receivedUtcMs).Bind(2, record.receivedUtcMs).Bind(3, station);
    m.Bind(4, frame.value_or(kUnknownNumber)).Bind(5, static_cast<std::int64_t>(PriorityOfText(text)));
    m.Bind(6, length).Bind(7, text);
    m.Step();
    m.Reset();
    fresh_.push_back(db_.LastInsertRowId());  // read at the end of the batch
    return 1;
}

std::size_t MessageStore::Write(std::int64_t runId, std::span<const decoder::Record> records, int budgetMs,
                               std::vector<std::int64_t>* copies) {
    if (records.empty()) return 0;
    std::size_t written = 0;
    bool ok = WithRetry("cannot write records", [&] {
        written = 0;  // a retry starts the whole transaction again
        fresh_.clear();
        freshRecords_.clear();
        alerts_.clear();
        if (copies) copies->clear();
        auto start = std::chrono::steady_clock::now();
        for (const decoder::Record& record : records) {
            if (written > 0 && (written & 15) == 0 &&
                std::chrono::steady_clock::now() - start > std::chrono::milliseconds(budgetMs)) {
                break;
            }
            const std::size_t before = fresh_.size();
            const std::int64_t n = WriteOne(runId, record);
            if (fresh_.size() > before) freshRecords_.push_back(written);
            if (copies) copies->push_back(n);
            ++written;
        }
        ReadMessages(db_, fresh_);
        MarkAlerts(records);
    });
    return ok ? written : 0;
}

// After the reading: the filter's reading fields (kind, navarea, dist, ...) count as for any message.
void MessageStore::MarkAlerts(std::span<const decoder::Record> records) {
    if (!alertFilter_ || fresh_.empty()) return;
    for (std::size_t i = 0; i < fresh_.size(); ++i) {
        // Ages count from the time the message was heard.
        const std::int64_t heardMs = records[freshRecords_[i]].receivedUtcMs;
        const FilterSql sql = alertFilter_->ToSql(heardMs);
        Statement s(db_, "INSERT INTO alert_rows (id, alerted_ms) SELECT m.id, ?1 FROM message_rows AS m WHERE m.id = ?2 AND (" +
                             sql.where + ")");
        s.Bind(1, heardMs).Bind(2, fresh_[i]);
        sql.BindTo(s, 3);
        s.Step();
        if (sqlite3_changes(db_.handle()) > 0) alerts_.push_back({freshRecords_[i], fresh_[i]});
    }
}

std::int64_t MessageStore::ReadPendingMessages(int maxCount) {
    if (allRead_) return 0;  // from then on Write reads every message it stores
    int read = 0;
    if (!WithRetry("cannot read stored messages", [&] { read = ReadUnreadMessages(db_, maxCount); })) return 0;
    // Counted outside the write lock: with WAL this holds up no writer.
    if (read < maxCount) {
        allRead_ = true;
        return 0;
    }
    try {
        return UnreadMessageCount(db_);
    } catch (const SqliteError&) {
        return 1;  // unknown: the caller steps again and finds out
    }
}

int MessageStore::TrimStep(std::int64_t nowMs, int maxRows) {
    int removed = 0;
    auto run = [&](Statement& s, std::int64_t cutoff) {
        if (removed >= maxRows) return;
        s.Reset();
        s.Bind(1, cutoff).Bind(2, static_cast<std::int64_t>(maxRows - removed));
        s.Step();
        s.Reset();
        removed += sqlite3_changes(db_.handle());
    };
    WithRetry("cannot remove old rows", [&] {
        removed = 0;
        if (options_.keepRecordsDays > 0) {
            std::int64_t cutoff = nowMs - options_.keepRecordsDays * kDayMs;
            run(s_->trimRecords, cutoff);
            run(s_->trimRuns, cutoff);
        }
        if (options_.keepMessagesDays > 0) run(s_->trimMessages, nowMs - options_.keepMessagesDays * kDayMs);
    });
    return failed_ ? 0 : removed;
}

}  // namespace messages
