// The message database's schema, version by version, and the migration that applies it.
#include "messages/schema.h"

#include "messages/filter.h"

#include <string>

namespace messages {

namespace {

// Version 1. Columns are NOT NULL where the filter reads them, so its SQL never meets three-valued
// logic and always agrees with the same test run in memory.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  instance TEXT NOT NULL,
  started_ms INTEGER NOT NULL,
  stopped_ms INTEGER,
  command_line TEXT NOT NULL
);
CREATE TABLE record_rows (
  id INTEGER PRIMARY KEY,
  received_ms INTEGER NOT NULL,
  run_id INTEGER REFERENCES runs(id),
  category INTEGER NOT NULL CHECK (category BETWEEN 0 AND 5),
  header TEXT NOT NULL,
  les INTEGER,
  frame INTEGER,
  text TEXT NOT NULL
);
CREATE INDEX record_rows_received ON record_rows(received_ms);
CREATE INDEX record_rows_run ON record_rows(run_id);

CREATE TABLE message_rows (
  id INTEGER PRIMARY KEY,
  first_heard_ms INTEGER NOT NULL,
  last_heard_ms INTEGER NOT NULL,
  les INTEGER NOT NULL,
  frame INTEGER NOT NULL,
  priority INTEGER NOT NULL CHECK (priority BETWEEN 0 AND 3),
  copies INTEGER NOT NULL DEFAULT 1,
  len INTEGER NOT NULL,
  text TEXT NOT NULL
);
CREATE INDEX message_rows_les_last ON message_rows(les, last_heard_ms);
CREATE INDEX message_rows_last ON message_rows(last_heard_ms);
CREATE INDEX message_rows_first ON message_rows(first_heard_ms);

-- Trigram tokens answer "contains" searches of three characters or more; the filter still checks
-- the text itself, so the index only narrows.
CREATE VIRTUAL TABLE message_fts USING fts5(
  text, content='message_rows', content_rowid='id', tokenize='trigram');
CREATE TRIGGER message_rows_fts_insert AFTER INSERT ON message_rows BEGIN
  INSERT INTO message_fts(rowid, text) VALUES (new.id, new.text);
END;
CREATE TRIGGER message_rows_fts_delete AFTER DELETE ON message_rows BEGIN
  INSERT INTO message_fts(message_fts, rowid, text) VALUES ('delete', old.id, old.text);
END;
CREATE TRIGGER message_rows_fts_update AFTER UPDATE OF text ON message_rows BEGIN
  INSERT INTO message_fts(message_fts, rowid, text) VALUES ('delete', old.id, old.text);
  INSERT INTO message_fts(rowid, text) VALUES (new.id, new.text);
END;

CREATE VIEW messages AS
SELECT id,
       strftime('%Y-%m-%dT%H:%M:%fZ', first_heard_ms / 1000.0, 'unixepoch') AS first_heard_utc,
       strftime('%Y-%m-%dT%H:%M:%fZ', last_heard_ms / 1000.0, 'unixepoch') AS last_heard_utc,
       les, frame,
       CASE priority WHEN 0 THEN 'distress' WHEN 1 THEN 'urgency' WHEN 2 THEN 'safety' ELSE 'routine' END
         AS priority,
       copies, text
FROM message_rows;

CREATE VIEW records AS
SELECT id,
       strftime('%Y-%m-%dT%H:%M:%fZ', received_ms / 1000.0, 'unixepoch') AS received_utc,
       run_id AS run, category, les, frame, text
FROM record_rows;
)sql";

// Version 2. The message store looks for an earlier copy of each message it hears among its
// station's messages of the last day; comparing the length first keeps that from reading the text of
// hundreds of messages a day per station on a busy store.
constexpr const char* kVersion2 = R"sql(
CREATE INDEX message_rows_copies ON message_rows(les, len, last_heard_ms);
)sql";

// Version 3. The messages pane lists a station's messages newest first (les=121 and the like): with
// this index it reads the first screen straight off the index instead of sorting all of them.
constexpr const char* kVersion3 = R"sql(
CREATE INDEX IF NOT EXISTS message_rows_les_first ON message_rows(les, first_heard_ms);
)sql";

// Version 4. What the program understands of each message: its warning reading (series, number,
// kind, kept state, expiry, shapes in compact text for the distance function), one row per position,
// the warnings it cancels and, for an in-force bulletin, those it lists; the warnings bulletins list
// that were never heard. A message read has its warning_rows row; one without is still to be read.
// The views give the public form; `expired` is worked out there against the current time, so no row
// needs rewriting when a warning's time runs out.
constexpr const char* kVersion4 = R"sql(
CREATE TABLE warning_rows (
  id INTEGER PRIMARY KEY,
  series TEXT NOT NULL,
  navarea INTEGER NOT NULL,
  metarea INTEGER NOT NULL,
  number INTEGER NOT NULL,
  year INTEGER NOT NULL,
  kind TEXT NOT NULL,
  state TEXT NOT NULL,
  cancelled_by INTEGER,
  expires_ms INTEGER,
  bulletin_ms INTEGER,
  position_count INTEGER NOT NULL,
  shapes TEXT NOT NULL
);
CREATE INDEX warning_rows_key ON warning_rows(series, year, number);
CREATE INDEX warning_rows_kind ON warning_rows(kind, series);
CREATE TABLE position_rows (
  id INTEGER NOT NULL,
  shape INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  kind TEXT NOT NULL,
  lat REAL NOT NULL,
  lon REAL NOT NULL,
  radius_nm REAL,
  PRIMARY KEY (id, shape, seq)
) WITHOUT ROWID;
CREATE TABLE cancel_rows (id INTEGER NOT NULL, series TEXT NOT NULL, number INTEGER NOT NULL, year INTEGER NOT NULL);
CREATE INDEX cancel_rows_key ON cancel_rows(series, year, number);
CREATE INDEX cancel_rows_id ON cancel_rows(id);
CREATE TABLE inforce_rows (id INTEGER NOT NULL, series TEXT NOT NULL, number INTEGER NOT NULL, year INTEGER NOT NULL);
CREATE INDEX inforce_rows_id ON inforce_rows(id);
CREATE TABLE missing_rows (series TEXT NOT NULL, number INTEGER NOT NULL, year INTEGER NOT NULL, bulletin_id INTEGER NOT NULL);
CREATE INDEX missing_rows_series ON missing_rows(series);

CREATE TRIGGER message_rows_reading_delete AFTER DELETE ON message_rows BEGIN
  DELETE FROM warning_rows WHERE id = old.id;
  DELETE FROM position_rows WHERE id = old.id;
  DELETE FROM cancel_rows WHERE id = old.id;
  DELETE FROM inforce_rows WHERE id = old.id;
END;

CREATE VIEW warnings AS
SELECT id,
       nullif(series, '') AS series,
       nullif(number, 0) AS number,
       CASE WHEN number > 0 THEN year END AS year,
       kind,
       CASE WHEN state IN ('inforce', 'dropped') AND expires_ms IS NOT NULL
                 AND expires_ms <= CAST(strftime('%s', 'now') AS INTEGER) * 1000 THEN 'expired'
            ELSE state END AS state,
       cancelled_by,
       strftime('%Y-%m-%dT%H:%M:%fZ', expires_ms / 1000.0, 'unixepoch') AS expires_utc
FROM warning_rows;

CREATE VIEW positions AS
SELECT id, shape, seq, kind, lat, lon, radius_nm FROM position_rows;

CREATE VIEW missing_warnings AS
SELECT series, number, year, bulletin_id FROM missing_rows;
)sql";

// Version 5. Which messages the user has seen (selected or marked read): those up to seen_mark's
// id all at once ("Mark all read" moves the mark, so it never writes a row per message), and
// seen_rows for those above it seen one by one. Kept in the store so that it outlives a restart and
// two front ends on one store share it. ("Seen" by the user, not "read" as warning_rows reads them.)
// The state index gives the messages pane its in-force board without reading every warning.
constexpr const char* kVersion5 = R"sql(
CREATE INDEX warning_rows_state ON warning_rows(state, series);
CREATE TABLE seen_mark (upto INTEGER NOT NULL);
INSERT INTO seen_mark (upto) VALUES (0);
CREATE TABLE seen_rows (id INTEGER PRIMARY KEY);
CREATE TRIGGER message_rows_seen_delete AFTER DELETE ON message_rows BEGIN
  DELETE FROM seen_rows WHERE id = old.id;
END;
CREATE VIEW unread_messages AS
SELECT id FROM message_rows
WHERE id > (SELECT upto FROM seen_mark) AND id NOT IN (SELECT id FROM seen_rows);
)sql";

// The reception ledger (see reception/ledger.h): one row per decoder run, UTC hour and station, so
// that a run writes its own rows again and again without adding to another's; the view sums them.
// snr_min is NULL for an hour without capture, and so are the view's figures.
constexpr const char* kReceptionLedger = R"sql(
CREATE TABLE IF NOT EXISTS reception_rows (
  instance TEXT NOT NULL,
  hour_ms INTEGER NOT NULL,
  les INTEGER NOT NULL,
  heard INTEGER NOT NULL,
  expected INTEGER NOT NULL,
  missed INTEGER NOT NULL,
  snr_sum REAL NOT NULL DEFAULT 0,
  snr_count INTEGER NOT NULL DEFAULT 0,
  snr_min REAL,
  PRIMARY KEY (hour_ms, les, instance)
);
CREATE VIEW IF NOT EXISTS reception AS
SELECT strftime('%Y-%m-%dT%H:%M:%fZ', hour_ms / 1000.0, 'unixepoch') AS hour_utc,
       les, sum(heard) AS heard, sum(expected) AS expected,
       CASE WHEN sum(snr_count) > 0 THEN round(sum(snr_sum) / sum(snr_count), 1) END AS snr_db,
       round(min(snr_min), 1) AS snr_min_db,
       sum(missed) AS missed
FROM reception_rows GROUP BY hour_ms, les;
)sql";

// Version 7. The in-force board reads each warning's key and expiry from an index alone: a warning
// broadcast again and again has a row per message, and looking every one up in the table cost more
// than the rest of the board.
constexpr const char* kVersion7 = R"sql(
CREATE INDEX IF NOT EXISTS warning_rows_board ON warning_rows(state, series, year, number, expires_ms);
)sql";

// Version 8. Which messages raised an alert ("Alert when" matched them as they were first heard), and
// when; the row goes with its message.
constexpr const char* kVersion8 = R"sql(
CREATE TABLE alert_rows (id INTEGER PRIMARY KEY, alerted_ms INTEGER NOT NULL);
CREATE TRIGGER message_rows_alert_delete AFTER DELETE ON message_rows BEGIN
  DELETE FROM alert_rows WHERE id = old.id;
END;
CREATE VIEW alerts AS
SELECT id, strftime('%Y-%m-%dT%H:%M:%fZ', alerted_ms / 1000.0, 'unixepoch') AS alerted_utc FROM alert_rows;
)sql";

struct Migration {
    int version;  // user_version after this step
    const char* sql;
};
constexpr Migration kMigrations[] = {{1, kVersion1}, {2, kVersion2}, {3, kVersion3}, {4, kVersion4}, {5, kVersion5},
                                       {6, kReceptionLedger}, {7, kVersion7}, {8, kVersion8}};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == kSchemaVersion);

}  // namespace

int SchemaVersion(Database& db) {
    Statement s(db, "PRAGMA user_version");
    return s.Step() ? static_cast<int>(s.ColumnInt64(0)) : 0;
}

int MigrateSchema(Database& db) {
    RegisterFilterFunctions(db);  // the connection that keeps the store also runs filters on it
    int version = SchemaVersion(db);
    if (version > kSchemaVersion) {
        throw SqliteError(SQLITE_ERROR, "the message database has schema version " + std::to_string(version) +
                                            ", newer than this program's " + std::to_string(kSchemaVersion));
    }
    int steps = 0;
    for (const Migration& m : kMigrations) {
        if (m.version <= version) continue;
        Transaction t(db);
        // Read again inside the write lock: another connection may have migrated meanwhile.
        if (SchemaVersion(db) >= m.version) continue;
        db.Execute(m.sql);
        db.Execute(("PRAGMA user_version = " + std::to_string(m.version)).c_str());
        t.Commit();
        ++steps;
    }
    return steps;
}

std::int64_t InsertMessage(Database& db, const MessageRow& row) {
    Statement s(db,
                "INSERT INTO message_rows (id, first_heard_ms, last_heard_ms, les, frame, priority, copies, len, text) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (row.id != 0) {
        s.Bind(1, row.id);
    } else {
        s.BindNull(1);
    }
    s.Bind(2, row.firstHeardMs).Bind(3, row.lastHeardMs).Bind(4, row.les).Bind(5, row.frame);
    s.Bind(6, static_cast<std::int64_t>(row.priority)).Bind(7, row.copies).Bind(8, row.length).Bind(9, row.text);
    s.Step();
    const std::int64_t id = db.LastInsertRowId();
    if (row.seen) {
        Statement seen(db, "INSERT OR IGNORE INTO seen_rows (id) VALUES (?)");
        seen.Bind(1, id).Step();
    }
    if (row.alerted) {
        Statement alerted(db, "INSERT OR IGNORE INTO alert_rows (id, alerted_ms) VALUES (?, ?)");
        alerted.Bind(1, id).Bind(2, row.firstHeardMs).Step();
    }
    return id;
}

// Whether `id` is seen, as the filter's SQL decides it (kSeenSql).
bool IsSeen(Database& db, std::int64_t id) {
    Statement s(db, std::string("SELECT ") + kSeenSql + " FROM (SELECT ? AS id) m");
    s.Bind(1, id);
    return s.Step() && s.ColumnInt64(0) != 0;
}

bool MarkSeen(Database& db, std::int64_t id) {
    Statement s(db, "INSERT OR IGNORE INTO seen_rows (id) SELECT ?1 WHERE ?1 > (SELECT upto FROM seen_mark)");
    s.Bind(1, id).Step();
    return sqlite3_changes(db.handle()) > 0;
}

void MarkAllSeen(Database& db) {
    Transaction t(db);
    db.Execute("UPDATE seen_mark SET upto = max(upto, (SELECT ifnull(max(id), 0) FROM message_rows));"
               "DELETE FROM seen_rows WHERE id <= (SELECT upto FROM seen_mark);");
    t.Commit();
}

std::int64_t UnseenCount(Database& db, std::int64_t tableRows) {
    // Every message above the mark, less those seen one by one (all of them above it, each looked up by
    // its id: "id IN (SELECT id FROM message_rows)" walked every message), never a test per message. A
    // few above the mark are a short range of the table; many (a store never marked read) would walk
    // every page of the texts, so then the ids are counted in the time index, whose entries carry them.
    Statement range(db, "SELECT ifnull(max(id), 0) - (SELECT upto FROM seen_mark) FROM message_rows");
    const std::int64_t above = range.Step() ? range.ColumnInt64(0) : 0;
    const char* from = above > tableRows ? "message_rows INDEXED BY message_rows_first" : "message_rows";
    Statement s(db, std::string("SELECT (SELECT count(*) FROM ") + from + " WHERE id > (SELECT upto FROM seen_mark)) - "
                    "(SELECT count(*) FROM seen_rows AS s WHERE EXISTS (SELECT 1 FROM message_rows WHERE id = s.id))");
    return s.Step() ? s.ColumnInt64(0) : 0;
}

}  // namespace messages
