// The datagram: every field read back with the JSON library, the time, text from UTF-16 and from
// bytes that are not UTF-8, warnings, and the cut of a long text at a character boundary.
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

json Datagram(Category c, std::string text, std::wstring wide = {}, std::int64_t copies = 1, bool alert = false) {
    const auto item = feed::ItemFromRecord(Rec(c, std::move(text), std::move(wide)), copies, alert);
    return json::parse(feed::BuildDatagram("s", item));
}

}  // namespace

TEST(FeedDatagram, IsoTimeInUtcWithMilliseconds) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1796644800123, "2026-12-07T12:00:00.123Z"},
        {951782400000 - 1, "2000-02-28T23:59:59.999Z"},
        {951782400000 + 86'400'000, "2000-03-01T00:00:00.000Z"},  // 2000 was a leap year
        {-1, "1969-12-31T23:59:59.999Z"},
        {-86'400'000, "1969-12-31T00:00:00.000Z"},
    };
    for (auto [ms, text] : rows) EXPECT_EQ(feed::IsoUtc(ms), text) << ms;
}

TEST(FeedDatagram, EachKindOfRecordGivesItsWholeObject) {
    const std::string navarea =
        "NAVAREA IV 1177/26\nAREA BOUND BY 28-39.92N 080-38.33W, 28-40N 080-30W, 28-20N 080-30W.\n"
        "WITHIN 2 MILES OF 28-00S 080-00E.\nCANCEL THIS MSG 081200Z DEC 26.";
    struct Row {
        json got;
        const char* expected;  // without time, les and frame, the same for every row
    };
    const Row rows[] = {
        // Text from the reader's UTF-16 wins over its bytes; a message has priority and copies.
        {Datagram(Category::MessageText, "bytes", L"SECURITE \"quoted\"\n\u00c9t\u00e9 \u2603", 3),
         R"({"station": "s", "category": 5, "text": "SECURITE \"quoted\"\n\u00c9t\u00e9 \u2603", "priority": "safety",
             "copies": 3})"},
        {Datagram(Category::BulletinHeader, "freq"), R"({"station": "s", "category": 2, "text": "freq"})"},
        {Datagram(Category::FrameHeader, "x", {}, 2, true), R"({"station": "s", "category": 0, "text": "x"})"},
        // A message of no series: only its kind; an alert says so.
        {Datagram(Category::MessageText, "MAYDAY RELAY\nSINKING", {}, 1, true),
         R"({"station": "s", "category": 5, "text": "MAYDAY RELAY\nSINKING", "priority": "distress", "copies": 1,
             "alert": true, "kind": "sar"})"},
        // A warning: series, number, kind, state and shapes.
        {Datagram(Category::MessageText, navarea),
         R"({"station": "s", "category": 5, "text": "NAVAREA IV 1177/26\nAREA BOUND BY 28-39.92N 080-38.33W, )"
         R"(28-40N 080-30W, 28-20N 080-30W.\nWITHIN 2 MILES OF 28-00S 080-00E.\nCANCEL THIS MSG 081200Z DEC 26.",
             "priority": "routine", "copies": 1, "series": "NAVAREA IV", "number": 1177, "year": 2026, "kind": "nav",
             "state": "inforce",
             "shapes": [{"kind": "area", "points": [[28.665333, -80.638833], [28.666667, -80.5], [28.333333, -80.5]]},
                        {"kind": "circle", "radius_nm": 2.0, "points": [[-28.0, 80.0]]}]})"},
        // Heard after its own cancel time: expired from the start.
        {Datagram(Category::MessageText, "HYDROPAC 567/26\nCANCEL THIS MSG 071100Z DEC 26."),
         R"({"station": "s", "category": 5, "text": "HYDROPAC 567/26\nCANCEL THIS MSG 071100Z DEC 26.",
             "priority": "routine", "copies": 1, "series": "HYDROPAC", "number": 567, "year": 2026, "kind": "nav",
             "state": "expired"})"},
    };
    for (const Row& row : rows) {
        json expected = json::parse(row.expected);
        expected["time"] = "2026-12-07T12:00:00.123Z";
        expected["les"] = "121";
        expected["frame"] = "0042";
        EXPECT_EQ(row.got, expected) << row.expected;
    }
}

TEST(FeedDatagram, AStationNameTypedFarTooLongIsCutAtACharacterBoundary) {
    std::string station = "a";
    for (int i = 0; i < 300; ++i) station += "\xC3\xA9";
    const auto item = feed::ItemFromRecord(Rec(Category::FrameHeader, "x"));
    EXPECT_EQ(json::parse(feed::BuildDatagram(station, item))["station"], station.substr(0, 255));
    EXPECT_EQ(json::parse(feed::BuildDatagram("\xFF" "b", item))["station"], "\xEF\xBF\xBD" "b");
}

TEST(FeedDatagram, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> rows[] = {
        // Code-page bytes, a lone continuation, an overlong slash, a surrogate, a cut-off sequence.
        {"a\xE9" "b\x80\xC0\xAF\xED\xA0\x80z\xE2\x82", "a" + r + "b" + r + r + r + r + r + r + "z" + r + r},
        // Overlong three- and four-byte forms, past U+10FFFF, a bad continuation; the longest good ones pass.
        {"\xE0\x9F\xBF\xF0\x8F\xBF\xBF\xF4\x90\x80\x80\xC3(", r + r + r + r + r + r + r + r + r + r + r + r + "("},
        {"\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(feed::ItemFromRecord(Rec(Category::MessageText, bytes)).text, text);
    // A lone UTF-16 surrogate from the reader becomes one replacement character.
    EXPECT_EQ(Datagram(Category::MessageText, "", L"x\xD800y")["text"], "x" + r + "y");
}

TEST(FeedDatagram, LongTextIsCutAtACharacterBoundaryAndFlagged) {
    // Three-byte characters, so that most cut points fall inside one; control characters that JSON
    // writes six bytes long; and one text exactly at the limit.
    for (const std::string& unit : {std::string("\xE2\x82\xAC"), std::string("\x01"), std::string("\xC3\xA9")}) {
        std::string text;
        while (text.size() < 70'000) text += unit;
        const std::string out = feed::BuildDatagram("station", feed::ItemFromRecord(Rec(Category::MessageText, text)));
        EXPECT_LE(out.size(), 65'000u);
        EXPECT_GT(out.size(), 65'000u - 8);  // cut no more than needed
        const json j = json::parse(out);
        EXPECT_EQ(j["truncated"], true);
        const std::string got = j["text"];
        EXPECT_EQ(got.size() % unit.size(), 0u);
        EXPECT_EQ(got, text.substr(0, got.size()));
        EXPECT_EQ(j["priority"], "routine");
    }
    feed::FeedItem item = feed::ItemFromRecord(Rec(Category::MessageText, "x"));
    const std::size_t overhead = feed::BuildDatagram("", item).size() - 1;
    item.text = std::string(65'000 - overhead, 'y');
    const std::string fits = feed::BuildDatagram("", item);
    EXPECT_EQ(fits.size(), 65'000u);
    EXPECT_FALSE(json::parse(fits).contains("truncated"));

    // Shapes too large for one datagram go, and the text stays whole.
    std::string text = "NAVAREA I 1/26\nWRECKS";
    while (text.size() < 60'000) text += " 50-00N 004-00W";
    const std::string many = feed::BuildDatagram("s", feed::ItemFromRecord(Rec(Category::MessageText, text)));
    EXPECT_LE(many.size(), 65'000u);
    const json j = json::parse(many);
    EXPECT_FALSE(j.contains("shapes"));
    EXPECT_EQ(j["text"], text);
    EXPECT_EQ(j["number"], 1);
}

TEST(FeedDatagram, CharacterBoundary) {
    const std::string s = "a\xC3\xA9\xF0\x9F\x98\x80";  // a, é, 😀
    const std::pair<std::size_t, std::size_t> rows[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3},
                                                          {4, 3}, {6, 3}, {7, 7}, {99, 7}};
    for (auto [bytes, boundary] : rows) EXPECT_EQ(feed::CharacterBoundary(s, bytes), boundary) << bytes;
}
