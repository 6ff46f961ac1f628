// The message database's schema: its versioned migrations and the message row the filter reads.
//
// Tables (times are UTC milliseconds since 1970):
//   runs(id, instance, started_ms, stopped_ms, command_line)          one decoder run
//   record_rows(id, received_ms, run_id, category, header, les, frame, text)   every decoder record
//   message_rows(id, first_heard_ms, last_heard_ms, les, frame, priority, copies, len, text)
//   (version 2: index message_rows_copies(les, len, last_heard_ms), for the store's copy check)
//   message_fts                 FTS5 trigram index over message_rows.text, kept in step by triggers
//   reception_rows(instance, hour_ms, les, heard, expected, missed, snr_sum, snr_count, snr_min)
//                               the reception ledger, per run, UTC hour and station
// Views for other tools, times as ISO 8601 UTC text ("2026-12-06T14:00:00.000Z"):
//   messages(id, first_heard_utc, last_heard_utc, les, frame, priority, copies, text)
//   records(id, received_utc, run, category, les, frame, text)
//   reception(hour_utc, les, heard, expected, snr_db, snr_min_db, missed)   per hour and station
// Everything used is known to SQLite 3.40, so older shells can read a database.
#pragma once
#include <cstdint>
#include <string>

#include "messages/priority.h"
#include "messages/sqlite_db.h"

namespace messages {

inline constexpr int kSchemaVersion = 4;

// Brings the database up to kSchemaVersion, one transaction per step, each step ending with its own
// PRAGMA user_version; returns how many steps ran (0 when it was already current). A database from a
// newer version of the program is refused with an SqliteError rather than touched.
int MigrateSchema(Database& db);

// PRAGMA user_version.
int SchemaVersion(Database& db);

// One message as stored in message_rows; the filter tests these fields in memory.
struct MessageRow {
    std::int64_t id = 0;
    std::int64_t firstHeardMs = 0;
    std::int64_t lastHeardMs = 0;
    std::int64_t les = 0;
    std::int64_t frame = 0;
    Priority priority = Priority::Routine;
    std::int64_t copies = 1;
    std::int64_t length = 0;  // characters (code points) in text, the `len` column
    std::string text;
};

// Inserts `row` (its id when non-zero, otherwise a new one) and returns the id.
std::int64_t InsertMessage(Database& db, const MessageRow& row);

}  // namespace messages
