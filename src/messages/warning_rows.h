// What the store understands of its messages: each message read once into the reading tables
// (schema version 4), and the states of the warnings it touches worked out again.
//
// Portable. Callers hold the write transaction; MessageStore does for its own writes.
#pragma once
#include <cstdint>
#include <span>

#include "messages/schema.h"
#include "messages/sqlite_db.h"

namespace messages {

// Reads the messages `ids` (again, when read before) and updates the states of every series they
// name, and the missing list of those series. Ids with no message are skipped.
void ReadMessages(Database& db, std::span<const std::int64_t> ids);

// Reads at most `maxCount` messages not read yet (oldest first); returns how many were read.
int ReadUnreadMessages(Database& db, int maxCount);

// How many messages are still unread.
std::int64_t UnreadMessageCount(Database& db);

// Fills `row.reading` from the reading tables; false (and no reading) when the message is unread.
bool LoadReading(Database& db, MessageRow& row);

}  // namespace messages
