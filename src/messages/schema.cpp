// The message database's schema, version by version, and the migration that applies it.
#include "messages/schema.h"

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

struct Migration {
    int version;  // user_version after this step
    const char* sql;
};
constexpr Migration kMigrations[] = {{1, kVersion1}, {2, kVersion2}, {3, kVersion3}, {4, kReceptionLedger}};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == kSchemaVersion);

}  // namespace

int SchemaVersion(Database& db) {
    Statement s(db, "PRAGMA user_version");
    return s.Step() ? static_cast<int>(s.ColumnInt64(0)) : 0;
}

int MigrateSchema(Database& db) {
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
    return db.LastInsertRowId();
}

}  // namespace messages
