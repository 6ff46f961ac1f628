// Stores as earlier programs left them: the objects later schema steps added, removed again.
#pragma once
#include "messages/sqlite_db.h"

namespace messages_test {

// Leaves a store of the current version as version 4 left it (before the seen state and alerts).
inline void DropSeenTables(messages::Database& db) {
    db.Execute(
        "DROP VIEW alerts; DROP TRIGGER message_rows_alert_delete; DROP TABLE alert_rows;"
        "DROP INDEX warning_rows_state; DROP VIEW unread_messages; DROP TRIGGER message_rows_seen_delete; DROP TABLE seen_rows;"
        "DROP TABLE seen_mark; PRAGMA user_version = 4;");
}

// Leaves a store of the current version as version 3 left it (before messages were read).
inline void DropReadingTables(messages::Database& db) {
    DropSeenTables(db);
    db.Execute(
        "DROP VIEW warnings; DROP VIEW positions; DROP VIEW missing_warnings; DROP TRIGGER message_rows_reading_delete;"
        "DROP TABLE warning_rows; DROP TABLE position_rows; DROP TABLE cancel_rows; DROP TABLE inforce_rows;"
        "DROP TABLE missing_rows; PRAGMA user_version = 3;");
}

}  // namespace messages_test
