// Writes the sample messages, a run and a record (or, with "warnings", warnings read into the reading
// tables) into a new file, for the check that Debian 12's sqlite3 shell reads what this build writes.
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "message_fixture.h"
#include "messages/warning_rows.h"

// An expired warning dropped by a bulletin, one in force with a circle, the bulletin naming one never heard.
void WriteWarnings(messages::Database& db) {
    using messages_test::Row;
    const std::int64_t nov18 = 1668772800000;  // 2022-11-18T12:00:00Z
    messages::InsertMessage(db, Row(1, nov18, nov18, 999, 1, 1,
                                    "NAVAREA IV 1177/22\nAREA BOUND BY 28-40N 080-40W, 28-40N 080-20W, 28-20N 080-20W.\n"
                                    "CANCEL THIS MSG 181954Z NOV 22."));
    messages::InsertMessage(db, Row(2, nov18 + 3'600'000, nov18, 999, 2, 1,
                                    "NAVAREA IV 1190/22\nCANCEL NAVAREA IV 1165/22.\nWITHIN 2 MILES OF 50-30N 004-15W."));
    messages::InsertMessage(db, Row(3, nov18 + 25 * 3'600'000, nov18, 999, 3, 1,
                                    "NAVAREA IV WARNINGS IN FORCE AT 191200Z NOV 22\n2022 SERIES: 1190, 1200."));
    messages::ReadUnreadMessages(db, 10);
}

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string_view(argv[2]) == "warnings")) return std::fprintf(stderr, "usage: messages_sample_db <file> [warnings]\n"), 2;
    std::filesystem::remove(argv[1]);
    messages::Database db = messages::Database::Open(argv[1]);
    messages::MigrateSchema(db);
    if (argc == 3) return WriteWarnings(db), 0;
    for (const messages::MessageRow& m : messages_test::SampleMessages()) messages::InsertMessage(db, m);
    db.Execute("INSERT INTO runs (id, instance, started_ms, command_line) VALUES (1, 'gui1A', 0, 'vastrel.exe -n');"
               "INSERT INTO record_rows (received_ms, run_id, category, header, les, frame, text) "
               "VALUES (1796644800000, 1, 2, '1210042', 121, 42, 'frequency: 1200.0')");
    return 0;
}
