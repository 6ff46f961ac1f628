// Writes the sample messages, one run and one record into a new database file, for the check that
// Debian 12's sqlite3 shell (SQLite 3.40) reads and updates what this build writes.
#include <cstdio>
#include <filesystem>

#include "message_fixture.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: messages_sample_db <file>\n");
        return 2;
    }
    std::filesystem::remove(argv[1]);
    messages::Database db = messages::Database::Open(argv[1]);
    messages::MigrateSchema(db);
    for (const messages::MessageRow& m : messages_test::SampleMessages()) messages::InsertMessage(db, m);
    db.Execute("INSERT INTO runs (id, instance, started_ms, command_line) VALUES (1, 'gui1A', 0, 'vastrel.exe -n');"
               "INSERT INTO record_rows (received_ms, run_id, category, header, les, frame, text) "
               "VALUES (1796644800000, 1, 2, '1210042', 121, 42, 'frequency: 1200.0')");
    return 0;
}
