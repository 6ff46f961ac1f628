// The store's reading of messages: states across messages heard in any order, bulletins, the public
// views, and a store of the version before reading, read a step at a time after opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "messages/message_store.h"
#include "messages/store_sink.h"
#include "messages/warning_rows.h"
#include "old_schema.h"
#include "warnings/reader.h"
#include "warnings/warning_state.h"
#include "store_fixture.h"

using namespace store_test;
using messages::MessageStore;

namespace {

// Rows of `sql` on the store's own connection, columns joined by '|', rows by ", ".
std::string Rows(MessageStore& store, const char* sql) {
    messages::Statement s(store.database(), sql);
    std::string out;
    while (s.Step()) {
        if (!out.empty()) out += ", ";
        for (int c = 0; c < s.ColumnCount(); ++c) out += (c ? "|" : "") + std::string(s.ColumnIsNull(c) ? "-" : s.ColumnText(c));
    }
    return out;
}

constexpr const char* kWarnings = "SELECT id, series, number, year, kind, state, cancelled_by, expires_utc FROM warnings ORDER BY id";

}  // namespace

TEST(StoreWarnings, ACancellationHeardBeforeItsWarningCancelsItOnArrival) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    const std::int64_t H = kHourMs;
    store->Write(0, std::vector<decoder::Record>{
                        Msg(kT0, "121", "NAVAREA IV 1200/26\nCANCEL NAVAREA IV 1190/26.\nCANCEL THIS MSG 071300Z DEC 26."),
                        Msg(kT0 + H, "121", "MAYDAY RELAY\nYACHT SINKING 49-10N 008-30W.")});
    store->Write(0, std::vector<decoder::Record>{
                        Msg(kT0 + 2 * H, "121", "NAVAREA IV 1190/26\nBUOY ADRIFT WITHIN 2 MILES OF 30-00N 070-00W."),
                        // A repeat from another station is the same warning, cancelled as well.
                        Msg(kT0 + 3 * H, "112", "NAVAREA IV 1190/26\nBUOY ADRIFT WITHIN 2 MILES OF 30-00N 070-00W.\n")});
    EXPECT_EQ(Rows(*store, kWarnings),
              "1|NAVAREA IV|1200|2026|nav|expired|-|2026-12-07T13:00:00.000Z, 2|-|-|-|sar|none|-|-, "
              "3|NAVAREA IV|1190|2026|nav|cancelled|1|-, 4|NAVAREA IV|1190|2026|nav|cancelled|1|-");
    EXPECT_EQ(Rows(*store, "SELECT id, shape, seq, kind, lat, lon, radius_nm FROM positions ORDER BY id, shape, seq"),
              "2|1|1|point|49.166667|-8.5|-, 3|1|1|circle|30.0|-70.0|2.0, 4|1|1|circle|30.0|-70.0|2.0");
}

TEST(StoreWarnings, ABulletinDropsWarningsItLeavesOutAndNamesTheOneNeverHeard) {
    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    const std::int64_t H = kHourMs;
    std::vector<decoder::Record> heard = {
        Msg(kT0, "121", "NAVAREA I 101/26\nWRECK 50-00N 001-00W."),
        Msg(kT0 + H, "121", "NAVAREA I 102/26\nBUOY UNLIT."),
        Msg(kT0 + 2 * H, "121", "NAVAREA I 103/26\nAREA BOUNDED BY 50-00N 001-00W, 50-10N 001-00W, 50-10N 001-20W."),
        Msg(kT0 + 3 * H, "121", "NAVAREA I WARNINGS IN FORCE AT 071500 UTC DEC 26:\n2026 SERIES: 103, 104."),
        Msg(kT0 + 4 * H, "121", "NAVAREA II 200/26\nBUOY UNLIT."),
    };
    for (const decoder::Record& r : heard) store->Write(0, std::vector<decoder::Record>{r});
    EXPECT_EQ(Rows(*store, "SELECT id, state FROM warnings ORDER BY id"),
              "1|dropped, 2|dropped, 3|inforce, 4|none, 5|inforce");
    EXPECT_EQ(Rows(*store, "SELECT series, number, year, bulletin_id FROM missing_warnings"), "NAVAREA I|104|2026|4");
    // The missing warning arrives: off the list, and in force.
    store->Write(0, std::vector<decoder::Record>{Msg(kT0 + 5 * H, "121", "NAVAREA I 104/26\nLIGHT UNLIT.")});
    EXPECT_EQ(Rows(*store, "SELECT count(*) FROM missing_warnings"), "0");
    EXPECT_EQ(Rows(*store, "SELECT state FROM warnings WHERE id = 6"), "inforce");
}

TEST(StoreWarnings, AStoreOfTheVersionBeforeIsReadInStepsAfterOpening) {
    ScratchDir dir;
    const std::string path = dir.File("m.db");
    {
        auto store = MessageStore::Open(path);
        std::vector<decoder::Record> heard;
        for (int i = 0; i < 5; ++i) {
            heard.push_back(Msg(kT0 + i, "121", "NAVAREA I " + std::to_string(300 + i) + "/26\nWRECK 50-0" +
                                                    std::to_string(i) + "N 001-00W."));
        }
        heard.push_back(Msg(kT0 + 9, "121", "NAVAREA I 310/26\nCANCEL NAVAREA I 300/26."));
        store->Write(0, heard);
        messages_test::DropReadingTables(store->database());
    }
    auto store = MessageStore::Open(path);
    EXPECT_EQ(Rows(*store, "SELECT count(*) FROM warnings"), "0");
    EXPECT_EQ(store->ReadPendingMessages(4), 2);
    EXPECT_EQ(store->ReadPendingMessages(4), 0);
    EXPECT_EQ(Rows(*store, "SELECT id, number, state, cancelled_by FROM warnings WHERE id IN (1, 5, 6) ORDER BY id"),
              "1|300|cancelled|6, 5|304|inforce|-, 6|310|inforce|-");
    EXPECT_EQ(Rows(*store, "SELECT lat, lon FROM positions WHERE id = 5"), "50.066667|-1.0");
}

TEST(StoreWarnings, TheWriterThreadReadsAnOldStoreWhileIdle) {
    ScratchDir dir;
    const std::string path = dir.File("m.db");
    {
        auto store = MessageStore::Open(path);
        std::vector<decoder::Record> heard;
        for (int i = 0; i < 250; ++i) heard.push_back(Msg(kT0 + i, "121", "NAVAREA II " + std::to_string(i + 1) + "/26\nBUOY."));
        store->Write(0, heard);
        messages_test::DropReadingTables(store->database());
    }
    messages::StoreSinkOptions o;
    o.clock = [] { return kT0; };
    messages::StoreSink sink(MessageStore::Open(path), o);
    // Two steps of 200 and a few; generous under sanitizers on a loaded machine.
    EXPECT_TRUE(WaitUntil([&] { return Count(path, "SELECT count(*) FROM warnings WHERE state = 'inforce'") == 250; }, 30'000));
}

TEST(StoreWarnings, StatesKeptMessageByMessageAgreeWithStatesWorkedOutOverAll) {
    // Warnings, repeats, cancellations and bulletins of two series, heard in a shuffled order, one
    // write each: what the store keeps must be what the state logic gives over all of them at once.
    std::vector<std::string> texts;
    for (int n = 1; n <= 12; ++n) {
        texts.push_back("NAVAREA I " + std::to_string(n) + "/26\nBUOY.");
        if (n % 3 == 0) texts.push_back("NAVAREA I " + std::to_string(n) + "/26\nBUOY.\n");  // a repeat
        if (n % 4 == 0) texts.push_back("NAVAREA I " + std::to_string(20 + n) + "/26\nCANCEL NAVAREA I " + std::to_string(n) + "/26.");
        texts.push_back("HYDROPAC " + std::to_string(n) + "/26\nCANCEL HYDROPAC " + std::to_string(n + 1) + "/26.");
    }
    texts.push_back("NAVAREA I WARNINGS IN FORCE AT 071200 UTC DEC 26\n2026 SERIES: 1, 2, 5, 7, 11, 40.");
    texts.push_back("HYDROPAC WARNINGS IN FORCE\n2026 SERIES: 3, 13.");
    std::mt19937 rng(20261208);
    std::shuffle(texts.begin(), texts.end(), rng);

    ScratchDir dir;
    auto store = MessageStore::Open(dir.File("m.db"));
    std::vector<warnings::Heard> all;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::int64_t at = kT0 + static_cast<std::int64_t>(i) * 60'000;
        store->Write(0, std::vector<decoder::Record>{Msg(at, i % 2 ? "121" : "112", texts[i])});
        all.push_back(warnings::HeardOf(static_cast<std::int64_t>(i + 1), at, warnings::Read(texts[i], at)));
    }
    const warnings::States expected = warnings::ComputeStates(all);
    std::string want;
    for (const warnings::MessageState& m : expected.messages) {
        want += (want.empty() ? "" : ", ") + std::to_string(m.id) + "|" + std::string(warnings::StateName(m.state)) + "|" +
                (m.cancelledBy ? std::to_string(m.cancelledBy) : "-");
    }
    EXPECT_EQ(Rows(*store, "SELECT id, state, ifnull(cancelled_by, '-') FROM warnings ORDER BY id"), want);
    std::string missing;
    for (const warnings::Missing& m : expected.missing) {
        missing += (missing.empty() ? "" : ", ") + m.key.series + "|" + std::to_string(m.key.number) + "|" + std::to_string(m.bulletinId);
    }
    EXPECT_EQ(Rows(*store, "SELECT series, number, bulletin_id FROM missing_warnings ORDER BY series, number"), missing);
}
