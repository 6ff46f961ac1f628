// The feed through an in-process main window and the stand-in decoder (bin/vastrel-sim.exe copied into
// a scratch folder as vastrel.exe), to listeners on real loopback sockets that read every datagram
// back with nlohmann-json.
#include "udp_listener_win.h"

#include <windows.h>
#include <richedit.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "feed/datagram.h"
#include "feed/udp_transport_win.h"
#include "resource.h"
#include "win/stand_in_run_fixture.h"

using nlohmann::json;

namespace {

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

std::int64_t NowUtcMs() {
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const std::int64_t ticks = (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return ticks / 10'000 - 11'644'473'600'000;
}

class FeedRunTest : public StandInRunTest {
protected:
    FeedRunTest() : StandInRunTest(L"vastrel_feed_") {}
    void FeedRows(const std::wstring& to, const std::wstring& station, bool every) {
        frame->Rows().WriteText(settings::kFeedTo, to);
        frame->Rows().WriteText(settings::kFeedStation, station);
        frame->Rows().WriteBool(settings::kFeedAll, every);
    }
    std::wstring LogText() const {
        GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
        const LRESULT chars =
            ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
        std::wstring text(static_cast<std::size_t>(chars > 0 ? chars : 0) + 1, L'\0');
        GETTEXTEX get{};
        get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        get.codepage = 1200;
        const LRESULT n = ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                         reinterpret_cast<LPARAM>(text.data()));
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        for (wchar_t& c : text)
            if (c == L'\r') c = L'\n';
        return text;
    }
    COLORREF LogColourAt(LONG position) const {
        CHARRANGE one{position, position + 1};
        ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
        CHARFORMATW format{};
        format.cbSize = sizeof(format);
        ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return format.crTextColor;
    }
};

// "category les frame text [priority copies]" of each datagram, after checking the fields every one has.
std::vector<std::string> Summaries(const std::vector<std::string>& datagrams, const std::string& station,
                                   std::int64_t fromMs, std::int64_t toMs) {
    static const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    std::vector<std::string> out;
    for (const std::string& d : datagrams) {
        const json j = json::parse(d);
        EXPECT_EQ(j["station"], station);
        const std::string time = j["time"];
        EXPECT_TRUE(std::regex_match(time, iso)) << time;
        EXPECT_GE(time, feed::IsoUtc(fromMs));
        EXPECT_LE(time, feed::IsoUtc(toMs));
        std::string s = std::to_string(j["category"].get<int>()) + " " + j["les"].get<std::string>() + " " +
                        j["frame"].get<std::string>() + " " + j["text"].get<std::string>();
        if (j.contains("priority")) s += " " + j["priority"].get<std::string>() + " " + std::to_string(j["copies"].get<int>());
        EXPECT_FALSE(j.contains("truncated"));
        out.push_back(s);
    }
    return out;
}

const char* const kScript =
    "wait-client\n"
    "record L21210042frequency: 1200.0\\n\n"
    "record L5xxxxxxxSECURITE\\nGALE WARNING\\n\n"
    "record L0xxxxxxxframe type\\n\n"
    "record L5xxxxxxxSECURITE\\nGALE WARNING\\n\n"
    "record L4xxxxxxxhidden note\\n\n"
    "record L5xxxxxxxMAYDAY\\nTaking water\\n\n"
    "wait-stop\n";

}  // namespace

TEST_F(FeedRunTest, EveryRecordReachesTheListenerInOrderFieldByField) {
    UdpListener listener;
    ASSERT_TRUE(listener.ok());
    InstallDecoder(kScript);
    FeedRows(listener.Destination(), L"Ship \u00d8resund", true);

    // With the store: every record, and the message heard twice counts its copies.
    const std::int64_t before = NowUtcMs();
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return listener.count() >= 6; }, 15000)) << listener.count();
    Command(ID_DECODER_STOP);
    const std::int64_t after = NowUtcMs();
    EXPECT_EQ(Summaries(listener.Take(), "Ship \xC3\x98resund", before, after),
              (std::vector<std::string>{"2 121 0042 frequency: 1200.0\n", "5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                        "0 121 0042 frame type\n", "5 121 0042 SECURITE\nGALE WARNING\n safety 2",
                                        "4 121 0042 hidden note\n", "5 121 0042 MAYDAY\nTaking water\n distress 1"}));
    EXPECT_EQ(LogText().find(L"Feed"), std::wstring::npos);  // nothing to say

    // Without the store, messages only (the default): each message once, as one copy.
    UdpListener second;
    frame->Rows().WriteText(settings::kStoreFile, L"");
    FeedRows(second.Destination(), L"", false);
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return second.count() >= 3; }, 15000)) << second.count();
    ASSERT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"Taking water\n"); }, 15000));
    Command(ID_DECODER_STOP);
    EXPECT_EQ(Summaries(second.Take(), "", before, NowUtcMs()),
              (std::vector<std::string>{"5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                        "5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                        "5 121 0042 MAYDAY\nTaking water\n distress 1"}));
    EXPECT_EQ(listener.count(), 6u);  // the first destination is no longer fed

    // An empty "Destinations" row: no feed at all.
    FeedRows(L"", L"", true);
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"Taking water\n"); }, 15000));
    Command(ID_DECODER_STOP);
    EXPECT_EQ(second.count(), 3u);
}

TEST_F(FeedRunTest, TwoDestinationsIPv4AndIPv6BothReceiveEveryRecordOfAFlood) {
    UdpListener v4(AF_INET), v6(AF_INET6);
    ASSERT_TRUE(v4.ok());
    ASSERT_TRUE(v6.ok());
    constexpr int kRecords = 3000;
    InstallDecoder("wait-client\nflood " + std::to_string(kRecords) + " 80\nwait-stop\n");
    FeedRows(v4.Destination() + L", " + v6.Destination(), L"flood", true);
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return v4.count() >= kRecords && v6.count() >= kRecords; }, 120000))
        << v4.count() << " " << v6.count();
    Command(ID_DECODER_STOP);
    for (UdpListener* l : {&v4, &v6}) {
        const std::vector<std::string> got = l->Take();
        ASSERT_EQ(got.size(), static_cast<std::size_t>(kRecords));
        for (int i = 0; i < kRecords; ++i) {
            const json j = json::parse(got[i]);
            const std::string text = j["text"];
            ASSERT_EQ(std::atol(text.c_str() + 1), i) << text;  // "#<running number> ..."
            ASSERT_EQ(j["category"], i % 6);
        }
    }
    EXPECT_EQ(LogText().find(L"Feed"), std::wstring::npos);
}

TEST_F(FeedRunTest, BadUnresolvableAndSilentDestinationsAreNotedOnceAndTheGoodOneGetsEverything) {
    unsigned short silentPort;
    {
        UdpListener gone;  // its port has nobody behind it once it is closed
        silentPort = static_cast<unsigned short>(std::stoi(gone.Destination().substr(10)));
    }
    UdpListener good;
    ASSERT_TRUE(good.ok());
    InstallDecoder(kScript);
    FeedRows(L"nohost, 127.0.0.1:" + std::to_wstring(silentPort) + L", " + good.Destination() +
                 L", nowhere.invalid:4000, [::1]:99999",
             L"", false);
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return good.count() >= 3; }, 20000)) << good.count();
    const std::wstring parse = L"Feed: 'nohost': no port: write host:port, as in 127.0.0.1:5555\n";
    const std::wstring port = L"Feed: '[::1]:99999': the port '99999' is not a number from 1 to 65535\n";
    // Said when the resolver answers, which may be after the first records.
    const std::wstring resolve = L"Feed: cannot resolve 'nowhere.invalid:4000': ";
    ASSERT_TRUE(guitest::PumpUntil([&] {
        const std::wstring log = LogText();
        return log.find(resolve) != std::wstring::npos && log.find(L"Taking water\n") != std::wstring::npos;
    }, 20000)) << Narrow(LogText());
    Command(ID_DECODER_STOP);
    const std::wstring log = LogText();
    for (const std::wstring& note : {parse, port, resolve}) {
        const std::size_t at = log.find(note);
        ASSERT_NE(at, std::wstring::npos) << Narrow(note);
        EXPECT_EQ(log.find(note, at + 1), std::wstring::npos);  // once
        EXPECT_EQ(LogColourAt(static_cast<LONG>(at)), RGB(200, 0, 0));
    }
    EXPECT_EQ(Summaries(good.Take(), "", 0, NowUtcMs()),
              (std::vector<std::string>{"5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                        "5 121 0042 SECURITE\nGALE WARNING\n safety 2",
                                        "5 121 0042 MAYDAY\nTaking water\n distress 1"}));
    EXPECT_TRUE(log.ends_with(L"Decoder terminated\n"));
}

// A decoder record is at most 1024 bytes, so the datagram's limit is met by a record given to the
// feed's own sink, sent through the real transport.
TEST(FeedTransport, ALongMessageIsCutAtACharacterBoundaryAndFlagged) {
    UdpListener listener;
    ASSERT_TRUE(listener.ok());
    const std::wstring to = listener.Destination();
    feed::FeedOptions options;
    options.destinations = std::string(to.begin(), to.end());
    options.station = "long";
    auto sink = feed::MakeUdpFeed(options);
    decoder::Record r;
    r.receivedUtcMs = NowUtcMs();
    r.category = decoder::Category::MessageText;
    r.les = "121";
    r.frame = "0042";
    r.wideText = L"URGENT\n";
    while (r.wideText.size() < 40'000) r.wideText += L"\u00c5\u20ac\U0001F30A ";  // 2, 3 and 4 bytes in UTF-8
    sink->OnRunStarted();
    sink->OnRecord(r);
    sink->OnRunEnded();
    ASSERT_TRUE(guitest::PumpUntil([&] { return listener.count() >= 1; }, 10000));
    const std::string datagram = listener.Take()[0];
    EXPECT_LE(datagram.size(), feed::kMaxDatagram);
    const json j = json::parse(datagram);  // valid UTF-8 throughout
    EXPECT_EQ(j["truncated"], true);
    EXPECT_EQ(j["priority"], "urgency");
    const std::string text = j["text"];
    const std::string full = feed::ItemFromRecord(r).text;
    EXPECT_GT(text.size(), feed::kMaxDatagram - 200);
    EXPECT_EQ(text, full.substr(0, text.size()));
    EXPECT_EQ(feed::CharacterBoundary(full, text.size()), text.size());
    EXPECT_EQ(sink->sent(), 1u);
}

// A store file that is not a database: the store is refused (said once), and the feed takes the
// records as they come instead of after the store, so nothing is missing; each message counts as one
// copy, as there is no store to know of others.
TEST_F(FeedRunTest, AStoreThatCannotOpenStillFeedsEveryRecordWithOneCopyEach) {
    UdpListener listener;
    ASSERT_TRUE(listener.ok());
    InstallDecoder(kScript);
    std::ofstream(std::filesystem::path(work + L"\\garbage.db"), std::ios::binary)
        << "not a database at all, just some words that go on for a while";
    frame->Rows().WriteText(settings::kStoreFile, L"garbage.db");
    FeedRows(listener.Destination(), L"fallback", true);
    const std::int64_t before = NowUtcMs();
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return listener.count() >= 6; }, 15000)) << listener.count();
    Command(ID_DECODER_STOP);
    const std::wstring log = LogText();
    EXPECT_EQ(log.rfind(L"Message store: ", 0), 0u) << Narrow(log);
    EXPECT_EQ(log.find(L"Feed:"), std::wstring::npos) << Narrow(log);
    EXPECT_EQ(Summaries(listener.Take(), "fallback", before, NowUtcMs()),
              (std::vector<std::string>{"2 121 0042 frequency: 1200.0\n", "5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                        "0 121 0042 frame type\n", "5 121 0042 SECURITE\nGALE WARNING\n safety 1",
                                        "4 121 0042 hidden note\n", "5 121 0042 MAYDAY\nTaking water\n distress 1"}));
    EXPECT_EQ(listener.count(), 6u);
}

// A store that fills its disk during the run: it stops writing, but the records it can no longer
// keep still reach the feed, every one, in order.
TEST_F(FeedRunTest, AStoreThatFillsUpMidRunStillHandsTheFeedEveryRecord) {
    UdpListener listener;
    ASSERT_TRUE(listener.ok());
    constexpr int kRecords = 1500;
    InstallDecoder("wait-client\nflood " + std::to_string(kRecords) + " 400\nwait-stop\n");
    frame->Run().StoreOptions().maxPages = 60;  // about 240 KB: room for a few hundred of the records
    FeedRows(listener.Destination(), L"full", true);
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return listener.count() >= kRecords; }, 120000)) << listener.count();
    Command(ID_DECODER_STOP);
    const std::wstring log = LogText();
    const std::size_t note = log.find(L"Message store: ");
    ASSERT_NE(note, std::wstring::npos) << Narrow(log.substr(0, 2000));
    EXPECT_NE(log.substr(note, log.find(L'\n', note) - note).find(L"full"), std::wstring::npos);
    const std::vector<std::string> got = listener.Take();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kRecords));
    for (int i = 0; i < kRecords; ++i) {
        const json j = json::parse(got[i]);
        ASSERT_EQ(std::atol(j["text"].get<std::string>().c_str() + 1), i);
        if (j["category"] == 5) {
            ASSERT_GE(j["copies"].get<int>(), 1);
        }
    }
    EXPECT_EQ(log.find(L"Feed:"), std::wstring::npos);
}
