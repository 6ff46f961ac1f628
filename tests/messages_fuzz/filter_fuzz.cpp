// Fuzz target for the filter language. Any input: no crash. A refused expression names a column range
// inside the input and says "at column N". An accepted one runs as SQL on a small store without an
// SQL error, and gives the same messages as the in-memory run, for two different "now"s, on messages
// read and unread.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "messages/filter.h"
#include "messages/warning_rows.h"
#include "messages/text_fold.h"
#include "messages_portable/message_fixture.h"

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

using namespace messages;

namespace {

struct Store {
    Database db = Database::Open(":memory:");
    std::vector<MessageRow> rows = messages_test::SampleMessages();

    Store() {
        MigrateSchema(db);
        using messages_test::Row;
        const std::int64_t T = messages_test::kNow;
        // Edges the fixed sample lacks: empty text, quotes, far times, a line of many trigrams.
        rows.push_back(Row(9, 0, 0, 0, 0, 0, ""));
        rows.push_back(Row(10, -86'400'000, T + 3'600'000, -5, 9999, 100, "\"\" '' \\ %_ aaa AAA aAa"));
        rows.push_back(Row(11, T - 1, T, 121, 1500, 1, "URGENT gale warning \xE2\x82\xAC 12N034E gale"));
        // Warnings for the reading fields: an area, a circle, a cancellation, an expiry, a bulletin.
        rows.push_back(Row(12, T - 90'000'000, T, 121, 1, 1,
                           "NAVAREA IV 1177/26\nAREA BOUND BY 28-40N 080-40W, 28-40N 080-20W, 28-20N 080-20W.\n"
                           "CANCEL THIS MSG 071000Z DEC 26."));
        rows.push_back(Row(13, T - 50'000, T, 121, 2, 1, "NAVAREA IV 1180/26\nCANCEL NAVAREA IV 1177/26.\nWITHIN 2 MILES OF 50-00N 004-00W."));
        rows.push_back(Row(14, T, T, 112, 3, 1, "METAREA III GALE WARNING 031\nLOW 45N 010W."));
        rows.push_back(Row(15, T, T, 112, 4, 1, "HYDROLANT WARNINGS IN FORCE\n2026 SERIES: 2200."));
        rows[10].seen = rows[13].seen = true;
        for (const MessageRow& m : rows) InsertMessage(db, m);
        MarkSeen(db, 1);
        rows[0].seen = true;
        ReadUnreadMessages(db, 14);  // the last stays unread
        for (MessageRow& m : rows) LoadReading(db, m);
    }
};

void CheckRejected(const std::string& expression, const FilterError& e) {
    // Well-formed input: the range lies within its characters. Otherwise the bad byte counts as one.
    const bool wellFormed = e.message.rfind("invalid UTF-8", 0) != 0;
    const int characters = static_cast<int>(wellFormed ? CharacterCount(expression) : expression.size());
    if (!(e.column >= 1 && e.column <= e.endColumn && e.endColumn <= characters + 1)) {
        std::fprintf(stderr, "range [%d, %d) for %d characters: %s\n", e.column, e.endColumn, characters,
                     e.message.c_str());
    }
    FUZZ_CHECK(!e.message.empty());
    FUZZ_CHECK(e.column >= 1 && e.column <= e.endColumn && e.endColumn <= characters + 1);
    FUZZ_CHECK(e.message.find(" at column " + std::to_string(e.column)) != std::string::npos);
}

void CheckAccepted(Store& store, const Filter& f) {
    for (std::int64_t now : {messages_test::kNow, std::int64_t{123'456'789}}) {
        std::vector<std::int64_t> inMemory;
        for (const MessageRow& m : store.rows) {
            if (f.Matches(m, now)) inMemory.push_back(m.id);
        }
        std::vector<std::int64_t> inSql;
        try {
            inSql = MatchingMessageIds(store.db, f, now);
        } catch (const SqliteError& e) {
            std::fprintf(stderr, "SQL error: %s\nwhere: %s\n", e.what(), f.ToSql(now).where.c_str());
            std::abort();
        }
        if (inSql != inMemory) std::fprintf(stderr, "where: %s\n", f.ToSql(now).where.c_str());
        FUZZ_CHECK(inSql == inMemory);
        FUZZ_CHECK(MatchingMessageIds(store.db, f, now, Filter::Lookup::EachMessage) == inSql);
    }
}

}  // namespace

// How many inputs were accepted and refused, for the driver's summary.
extern "C" void FilterFuzzCounts(long& accepted, long& refused);
static long gAccepted = 0, gRefused = 0;
void FilterFuzzCounts(long& accepted, long& refused) { accepted = gAccepted, refused = gRefused; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Store store;
    std::string expression(reinterpret_cast<const char*>(data), size);
    Filter f;
    FilterError error;
    // Odd lengths parse without a home position, so that `dist` is refused as well as run.
    FilterContext context;
    if (size % 2 == 0) context.home = warnings::GeoPoint{50.5, -4.25};
    if (Filter::Parse(expression, f, error, context)) {
        CheckAccepted(store, f);
        ++gAccepted;
    } else {
        CheckRejected(expression, error);
        ++gRefused;
    }
    return 0;
}
