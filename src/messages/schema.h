// The message database's schema: its versioned migrations and the message row the filter reads.
//
// Tables (times are UTC milliseconds since 1970):
//   runs(id, instance, started_ms, stopped_ms, command_line)          one decoder run
//   record_rows(id, received_ms, run_id, category, header, les, frame, text)   every decoder record
//   message_rows(id, first_heard_ms, last_heard_ms, les, frame, priority, copies, len, text)
//   (version 2: index message_rows_copies(les, len, last_heard_ms), for the store's copy check)
//   message_fts                 FTS5 trigram index over message_rows.text, kept in step by triggers
//   (version 4, what each message says: warning_rows.h)
//   warning_rows(id, series, navarea, metarea, number, year, kind, state, cancelled_by, expires_ms,
//                bulletin_ms, position_count, shapes)      one per message read
//   position_rows(id, shape, seq, kind, lat, lon, radius_nm)   cancel_rows, inforce_rows(id, series,
//   number, year)   missing_rows(series, number, year, bulletin_id)
//   (version 5, what the user has seen) seen_mark(upto)   seen_rows(id)
//   (version 6) reception_rows(instance, hour_ms, les, heard, expected, missed, snr_sum, snr_count, snr_min)
//                               the reception ledger, per run, UTC hour and station
//   (version 8) alert_rows(id, alerted_ms)   the messages that raised an alert
// Views for other tools, times as ISO 8601 UTC text ("2026-12-06T14:00:00.000Z"):
//   messages(id, first_heard_utc, last_heard_utc, les, frame, priority, copies, text)
//   records(id, received_utc, run, category, les, frame, text)
//   warnings(id, series, number, year, kind, state, cancelled_by, expires_utc)
//   positions(id, shape, seq, kind, lat, lon, radius_nm)     missing_warnings(series, number, year, bulletin_id)
//   unread_messages(id)
//   reception(hour_utc, les, heard, expected, snr_db, snr_min_db, missed)   per hour and station
//   alerts(id, alerted_utc)
// Everything used is known to SQLite 3.40, so older shells can read a database.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "messages/priority.h"
#include "messages/sqlite_db.h"
#include "warnings/shapes.h"
#include "warnings/warning_state.h"

namespace messages {

inline constexpr int kSchemaVersion = 8;

// Brings the database up to kSchemaVersion, one transaction per step, each step ending with its own
// PRAGMA user_version; returns how many steps ran (0 when it was already current). A database from a
// newer version of the program is refused with an SqliteError rather than touched.
int MigrateSchema(Database& db);

// PRAGMA user_version.
int SchemaVersion(Database& db);

// What the store read in a message (warning_rows), as the filter tests it in memory.
struct MessageReading {
    std::string series;         // empty: none
    int navarea = 0;            // 0: none
    int metarea = 0;
    std::int64_t number = 0;    // 0: not numbered (then year means nothing)
    std::int64_t year = 0;
    std::string kind = "other";
    warnings::State state = warnings::State::None;  // as kept: never Expired (see warnings::StateAt)
    std::optional<std::int64_t> expiresMs;
    std::int64_t positions = 0;
    std::vector<warnings::Shape> shapes;
};

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
    std::optional<MessageReading> reading;  // none: not read yet, and every reading field fails
    bool seen = false;  // the user has selected it or marked all read (the filter's `unread` is its negation)
    bool alerted = false;  // it raised an alert (the filter's `alerted`)
};

// Inserts `row` (its id when non-zero, otherwise a new one) and returns the id.
std::int64_t InsertMessage(Database& db, const MessageRow& row);

// Whether message `m.id` has been seen, as an SQL expression of 0 or 1 (for the filter and the list).
inline constexpr const char* kSeenSql =
    "(m.id <= (SELECT upto FROM seen_mark) OR m.id IN (SELECT id FROM seen_rows))";

// Whether message `m.id` raised an alert, as an SQL expression of 0 or 1.
inline constexpr const char* kAlertedSql = "(m.id IN (SELECT id FROM alert_rows))";

// The user's seen state: one message seen (true when that changed anything), every message stored
// so far seen, how many are not.
bool IsSeen(Database& db, std::int64_t id);
bool MarkSeen(Database& db, std::int64_t id);
void MarkAllSeen(Database& db);
// Up to `tableRows` ids above the mark are counted in the table itself, more in the time index (rowids
// alone, a fraction of the pages).
inline constexpr std::int64_t kUnseenTableRows = 20'000;
std::int64_t UnseenCount(Database& db, std::int64_t tableRows = kUnseenTableRows);

}  // namespace messages
