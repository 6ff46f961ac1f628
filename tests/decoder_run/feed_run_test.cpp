// The feed through an in-process main window and the stand-in decoder, to listeners on real loopback
// sockets that read every datagram back with nlohmann-json; and a store that fills up while the run,
// the text log and the feed go on.
#include "udp_listener_win.h"

#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "messages/sqlite_db.h"
#include "resource.h"
#include "store_support/query_rows.h"
#include "win/run_fixture.h"

using nlohmann::json;

namespace {

class FeedRunTest : public RunTest {
protected:
    // Where the log says `note`, once, in red.
    void ExpectOneRedNote(const std::wstring& log, const std::wstring& note) {
        const std::size_t at = log.find(note);
        ASSERT_NE(at, std::wstring::npos) << win::Utf8(note) << " in " << win::Utf8(log);
        EXPECT_EQ(log.find(note, at + 1), std::wstring::npos) << win::Utf8(note);
        EXPECT_EQ(LogColourAt(at), RGB(200, 0, 0)) << win::Utf8(note);
    }
};

// "category les frame text [priority copies]" of each datagram, after checking the fields every one has:
// the station and the run's clock (held at 2026-12-07T12:00:00.123Z).
std::vector<std::string> Summaries(const std::vector<std::string>& datagrams, const std::string& station) {
    std::vector<std::string> out;
    for (const std::string& d : datagrams) {
        const json j = json::parse(d);
        EXPECT_EQ(j["station"], station);
        EXPECT_EQ(j["time"], "2026-12-07T12:00:00.123Z");
        EXPECT_FALSE(j.contains("truncated"));
        out.push_back(std::to_string(j["category"].get<int>()) + " " + j["les"].get<std::string>() + " " +
                      j["frame"].get<std::string>() + " " + j["text"].get<std::string>() +
                      (j.contains("priority") ? " " + j["priority"].get<std::string>() + " " + std::to_string(j["copies"].get<int>()) : ""));
    }
    return out;
}

}  // namespace

// Every record, in order, to an IPv4 and an IPv6 listener; the message heard twice counts its copies
// in the store. Bad and unresolvable destinations are said once each, and a silent one changes nothing.
TEST_F(FeedRunTest, EveryRecordReachesEachGoodDestinationAndEachBadOneIsSaidOnce) {
    const std::wstring silent = UdpListener().Destination();  // nobody behind it once it is closed
    UdpListener v4(AF_INET), v6(AF_INET6);
    ASSERT_TRUE(v4.ok() && v6.ok());
    InstallDecoder(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING\\n\n"
        "record L0xxxxxxxframe type\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING\\n\n"
        "record L4xxxxxxxhidden note\\n\n"
        "record L5xxxxxxxMAYDAY\\nTaking water\\n\n"
        "wait-stop\n");
    frame->Rows().WriteText(settings::kFeedTo, L"nohost, " + silent + L", " + v4.Destination() + L", nowhere.invalid:4000, " +
                                                   v6.Destination() + L", [::1]:99999");
    frame->Rows().WriteText(settings::kFeedStation, L"Ship \u00d8resund");
    frame->Rows().WriteBool(settings::kFeedAll, true);
    frame->Run().SetClock([] { return std::int64_t{1796644800123}; });
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    // The resolver's answer may come after the records.
    ASSERT_TRUE(guitest::PumpUntil([&] { return v4.count() >= 6 && v6.count() >= 6 && LogText().find(L"cannot resolve") != std::wstring::npos; },
                                   20000))
        << v4.count() << " " << v6.count() << win::Utf8(LogText());
    Command(ID_DECODER_STOP);
    for (UdpListener* l : {&v4, &v6})
        EXPECT_EQ(Summaries(l->Take(), "Ship \xC3\x98resund"),
                  (std::vector<std::string>{"2 121 0042 frequency: 1200.0\n", "5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                            "0 121 0042 frame type\n", "5 121 0042 SECURITE\nGALE WARNING\n safety 2",
                                            "4 121 0042 hidden note\n", "5 121 0042 MAYDAY\nTaking water\n distress 1"}));
    const std::wstring log = LogText();
    for (const wchar_t* note : {L"Feed: 'nohost': no port: write host:port, as in 127.0.0.1:5555\n",
                                L"Feed: '[::1]:99999': the port '99999' is not a number from 1 to 65535\n",
                                L"Feed: cannot resolve 'nowhere.invalid:4000': "})
        ExpectOneRedNote(log, note);
    EXPECT_EQ(guitest::Occurrences(log, L"Feed:"), 3u);
    EXPECT_TRUE(log.ends_with(L"\nDecoder terminated\n"));
}

// A store that fills its disk mid-run: said once, in red (what it says, natively); what went in before stays
// whole and readable, while every record still reaches the log, the text log and the feed, in order.
TEST_F(FeedRunTest, AStoreThatFillsUpIsSaidOnceAndTheTextLogAndTheFeedStillGetEveryRecord) {
    UdpListener listener;
    ASSERT_TRUE(listener.ok());
    InstallDecoder("wait-client\nflood 1500 400\nrecord L1xxxxxxxlast line\\n\nwait-stop\n");
    UseTextLog();
    frame->Run().StoreOptions().maxPages = 60;  // about 240 KB: room for a few hundred of the records
    frame->Rows().WriteText(settings::kFeedTo, listener.Destination());
    frame->Rows().WriteBool(settings::kFeedAll, true);
    Command(ID_DECODER_START);
    ASSERT_TRUE(WaitForLog(L"last line\n", 60000)) << win::Utf8(LogText());
    Command(ID_DECODER_STOP);
    ASSERT_TRUE(guitest::PumpUntil([&] { return listener.count() >= 1501; }, 60000)) << listener.count();
    const std::wstring log = LogText();
    ExpectOneRedNote(log, L"Message store: ");
    EXPECT_EQ(log.find(L"Feed:"), std::wstring::npos);

    const std::string text = TextLog();
    EXPECT_EQ(guitest::FloodNumbers(win::Wide(text)), guitest::Numbers(0, 1500));
    EXPECT_TRUE(text.ends_with("\nlast line\n"));
    std::vector<long> fed;
    for (const std::string& d : listener.Take()) fed.push_back(std::atol(json::parse(d)["text"].get<std::string>().c_str() + 1));
    fed.pop_back();  // the last line
    EXPECT_EQ(fed, guitest::Numbers(0, 1500));

    auto db = messages::Database::Open(win::Utf8(work) + "\\vastrel-messages.db");
    EXPECT_EQ(store_support::QueryRows(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    std::vector<long> stored;
    for (const std::string& t : store_support::QueryRows(db, "SELECT text FROM record_rows ORDER BY id"))
        stored.push_back(std::atol(t.c_str() + 1));
    EXPECT_GT(stored.size(), 0u);
    EXPECT_LT(stored.size(), 1500u);
    EXPECT_EQ(stored, guitest::Numbers(0, static_cast<long>(stored.size())));
}
