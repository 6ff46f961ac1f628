// The datagram: every field read back with the JSON library, the time, text from UTF-16 and from
// bytes that are not UTF-8, and the cut of a long text at a character boundary.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "feed/datagram.h"

using decoder::Category;
using nlohmann::json;

namespace {

decoder::Record Rec(Category c, std::string text, std::wstring wide = {}) {
    decoder::Record r;
    r.receivedUtcMs = 1796644800123;  // 2026-12-07T12:00:00.123Z
    r.category = c;
    r.les = "121";
    r.frame = "0042";
    r.text = std::move(text);
    r.wideText = std::move(wide);
    return r;
}

}  // namespace

TEST(FeedDatagram, IsoTimeInUtcWithMilliseconds) {
    EXPECT_EQ(feed::IsoUtc(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(feed::IsoUtc(1796644800123), "2026-12-07T12:00:00.123Z");
    EXPECT_EQ(feed::IsoUtc(951782400000 - 1), "2000-02-28T23:59:59.999Z");
    EXPECT_EQ(feed::IsoUtc(951782400000 + 86'400'000), "2000-03-01T00:00:00.000Z");  // 2000 was a leap year
    EXPECT_EQ(feed::IsoUtc(-1), "1969-12-31T23:59:59.999Z");
}

TEST(FeedDatagram, MessageCarriesEveryFieldWithPriorityAndCopies) {
    const auto item = feed::ItemFromRecord(Rec(Category::MessageText, "", L"SECURITE \"quoted\"\n\u00c9t\u00e9 \u2603"), 3);
    const json j = json::parse(feed::BuildDatagram("Station \u00c5", item));
    EXPECT_EQ(j.size(), 8u);
    EXPECT_EQ(j["station"], "Station \u00c5");
    EXPECT_EQ(j["time"], "2026-12-07T12:00:00.123Z");
    EXPECT_EQ(j["category"], 5);
    EXPECT_EQ(j["les"], "121");
    EXPECT_EQ(j["frame"], "0042");
    EXPECT_EQ(j["text"], "SECURITE \"quoted\"\n\u00c9t\u00e9 \u2603");
    EXPECT_EQ(j["priority"], "safety");
    EXPECT_EQ(j["copies"], 3);
    EXPECT_FALSE(j.contains("truncated"));
}

TEST(FeedDatagram, OtherRecordsHaveNoPriorityOrCopies) {
    const json j = json::parse(feed::BuildDatagram("", feed::ItemFromRecord(Rec(Category::BulletinHeader, "freq"))));
    EXPECT_EQ(j["category"], 2);
    EXPECT_EQ(j["station"], "");
    EXPECT_FALSE(j.contains("priority"));
    EXPECT_FALSE(j.contains("copies"));
    // A station name typed far too long is cut at a character boundary.
    std::string station;
    for (int i = 0; i < 300; ++i) station += "\xC3\xA9";
    const json k = json::parse(feed::BuildDatagram(station, feed::ItemFromRecord(Rec(Category::FrameHeader, "x"))));
    EXPECT_EQ(k["station"], station.substr(0, feed::kMaxStation));
}

TEST(FeedDatagram, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    // Code-page bytes, a lone continuation, an overlong slash, a surrogate, a cut-off sequence.
    const auto item = feed::ItemFromRecord(Rec(Category::MessageText, "a\xE9" "b\x80\xC0\xAF\xED\xA0\x80z\xE2\x82"));
    const std::string out = feed::BuildDatagram("s", item);
    const json j = json::parse(out);  // throws on bytes that are not UTF-8
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(j["text"], "a" + r + "b" + r + r + r + r + r + r + "z" + r + r);
    // A lone UTF-16 surrogate from the reader becomes one replacement character.
    const json k = json::parse(feed::BuildDatagram("s", feed::ItemFromRecord(Rec(Category::MessageText, "", L"x\xD800y"))));
    EXPECT_EQ(k["text"], "x" + r + "y");
}

TEST(FeedDatagram, LongTextIsCutAtACharacterBoundaryAndFlagged) {
    // Three-byte characters, so that most cut points fall inside one; control characters that JSON
    // writes six bytes long; and one text exactly at the limit.
    for (const std::string& unit : {std::string("\xE2\x82\xAC"), std::string("\x01"), std::string("\xC3\xA9")}) {
        std::string text;
        while (text.size() < 70'000) text += unit;
        feed::FeedItem item = feed::ItemFromRecord(Rec(Category::MessageText, text));
        const std::string out = feed::BuildDatagram("station", item);
        EXPECT_LE(out.size(), feed::kMaxDatagram);
        EXPECT_GT(out.size(), feed::kMaxDatagram - 8);  // cut no more than needed
        const json j = json::parse(out);
        EXPECT_EQ(j["truncated"], true);
        const std::string got = j["text"];
        EXPECT_EQ(got.size() % unit.size(), 0u);
        EXPECT_EQ(got, text.substr(0, got.size()));
        EXPECT_EQ(j["priority"], "routine");
    }
    feed::FeedItem item = feed::ItemFromRecord(Rec(Category::MessageText, "x"));
    const std::size_t overhead = feed::BuildDatagram("", item).size() - 1;
    item.text = std::string(feed::kMaxDatagram - overhead, 'y');
    const std::string fits = feed::BuildDatagram("", item);
    EXPECT_EQ(fits.size(), feed::kMaxDatagram);
    EXPECT_FALSE(json::parse(fits).contains("truncated"));
}

TEST(FeedDatagram, CharacterBoundary) {
    const std::string s = "a\xC3\xA9\xF0\x9F\x98\x80";  // a, é, 😀
    EXPECT_EQ(feed::CharacterBoundary(s, 0), 0u);
    EXPECT_EQ(feed::CharacterBoundary(s, 2), 1u);
    EXPECT_EQ(feed::CharacterBoundary(s, 3), 3u);
    EXPECT_EQ(feed::CharacterBoundary(s, 6), 3u);
    EXPECT_EQ(feed::CharacterBoundary(s, 7), 7u);
    EXPECT_EQ(feed::CharacterBoundary(s, 99), 7u);
}

TEST(FeedDatagram, AWarningAddsItsSeriesNumberKindStateAndShapes) {
    const auto item = feed::ItemFromRecord(Rec(Category::MessageText,
                                               "NAVAREA IV 1177/26\nAREA BOUND BY 28-39.92N 080-38.33W, 28-40N 080-30W, "
                                               "28-20N 080-30W.\nWITHIN 2 MILES OF 28-00S 080-00E.\nCANCEL THIS MSG 081200Z DEC 26."));
    const json j = json::parse(feed::BuildDatagram("s", item));
    EXPECT_EQ(j["series"], "NAVAREA IV");
    EXPECT_EQ(j["number"], 1177);
    EXPECT_EQ(j["year"], 2026);
    EXPECT_EQ(j["kind"], "nav");
    EXPECT_EQ(j["state"], "inforce");
    EXPECT_EQ(j["shapes"], json::parse(R"([{"kind": "area", "points": [[28.665333, -80.638833], [28.666667, -80.5],
                                                                         [28.333333, -80.5]]},
                                            {"kind": "circle", "radius_nm": 2.0, "points": [[-28.0, 80.0]]}])"));
    // Heard after its own cancel time: expired from the start. A message of no series: only its kind.
    const auto late = feed::ItemFromRecord(Rec(Category::MessageText, "HYDROPAC 567/26\nCANCEL THIS MSG 071100Z DEC 26."));
    EXPECT_EQ(json::parse(feed::BuildDatagram("s", late))["state"], "expired");
    const json sar = json::parse(feed::BuildDatagram("s", feed::ItemFromRecord(Rec(Category::MessageText, "MAYDAY RELAY\nSINKING"))));
    EXPECT_EQ(sar["kind"], "sar");
    EXPECT_FALSE(sar.contains("series") || sar.contains("number") || sar.contains("state") || sar.contains("shapes"));
}

TEST(FeedDatagram, ShapesTooLargeForOneDatagramGoAndTheTextStays) {
    std::string text = "NAVAREA I 1/26\nWRECKS";
    while (text.size() < 60'000) text += " 50-00N 004-00W";
    const std::string out = feed::BuildDatagram("s", feed::ItemFromRecord(Rec(Category::MessageText, text)));
    EXPECT_LE(out.size(), feed::kMaxDatagram);
    const json j = json::parse(out);
    EXPECT_FALSE(j.contains("shapes"));
    EXPECT_EQ(j["text"], text);
    EXPECT_EQ(j["number"], 1);
}
