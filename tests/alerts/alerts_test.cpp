// What an alert says, how often its sound plays, and the bookkeeping of the programs run on alerts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "alerts/alert.h"
#include "alerts/alert_pace.h"
#include "alerts/program_queue.h"

using namespace alerts;

static decoder::Record Message(std::string text) {  // heard 2026-12-07T12:00:00.123Z
    return {.receivedUtcMs = 1796644800123, .category = decoder::Category::MessageText, .les = "121", .frame = "0042",
            .text = std::move(text)};
}

TEST(Alert, HeadlineIsTheWarningOrTheFirstLineAndTheJsonIsTheFeedsWithAlertTrue) {
    const struct { const char* text; const wchar_t* headline; } cases[] = {
        {"\r\n  \nMAYDAY RELAY  \r\nvessel sinking", L"MAYDAY RELAY"},
        {"NAVAREA I 123/26\nENGLISH CHANNEL. WRECK.", L"NAVAREA I 123/26"}, {"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(Headline(Message(c.text)), c.headline) << c.text;
    EXPECT_EQ(Headline(Message(std::string(200, 'x')), 10), std::wstring(9, L'x') + L"\u2026");

    const decoder::RunAlert alert = MakeAlert(Message("MAYDAY RELAY\nvessel sinking"), 42, "North Sea");
    EXPECT_EQ(alert.messageId, 42);
    EXPECT_EQ(alert.timeMs, 1796644800123);
    EXPECT_EQ(alert.json.find('\n'), std::string::npos);  // one line, its line ends escaped
    const nlohmann::json j = nlohmann::json::parse(alert.json);
    EXPECT_EQ(j["alert"], true);
    EXPECT_EQ(j["station"], "North Sea");
    EXPECT_EQ(j["text"], "MAYDAY RELAY\nvessel sinking");
    EXPECT_EQ(j["priority"], "distress");
    EXPECT_EQ(j["time"], "2026-12-07T12:00:00.123Z");
}

TEST(SoundPace, OncePerAlertAtMostOnceInTenSeconds) {
    SoundPace pace;
    const struct { std::int64_t atMs; bool plays; } steps[] = {
        {1000, true}, {1000, false}, {10'999, false}, {11'000, true}, {15'000, false}, {21'000, true}};
    for (const auto& s : steps) EXPECT_EQ(pace.Allow(s.atMs), s.plays) << s.atMs;
    const struct { const wchar_t* setting; SoundKind kind; } kinds[] = {
        {L"Warning", SoundKind::Warning}, {L" warning ", SoundKind::Warning}, {L"NONE", SoundKind::None},
        {L"", SoundKind::None}, {L"C:\\a.wav", SoundKind::File}};
    for (const auto& k : kinds) EXPECT_EQ(SoundKindOf(k.setting), k.kind);
}

TEST(ProgramQueue, FourAtOnceTheRestWaitAndEachOverdueRunIsSaidOnce) {
    ProgramQueue q;
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(q.Offer(L"post.exe", "line " + std::to_string(i)));
    std::vector<std::uint64_t> started;
    while (auto job = q.NextToStart(1000)) {
        EXPECT_EQ(job->input, "line " + std::to_string(started.size()));
        EXPECT_EQ(job->program, L"post.exe");
        started.push_back(job->id);
    }
    EXPECT_EQ(started.size(), 4u);
    EXPECT_EQ(q.waiting(), 2u);
    EXPECT_TRUE(q.Overdue(30'999).empty());
    q.Finished(started[0]);
    const auto fifth = q.NextToStart(20'000);
    ASSERT_TRUE(fifth);
    EXPECT_FALSE(q.NextToStart(20'000));
    EXPECT_EQ(q.Overdue(31'000), (std::vector<std::uint64_t>{started[1], started[2], started[3]}));
    EXPECT_TRUE(q.Overdue(40'000).empty());  // said once
    EXPECT_EQ(q.Overdue(50'000), std::vector<std::uint64_t>{fifth->id});
    for (std::size_t i = q.waiting(); i < ProgramQueue::kMaxWaiting; ++i) ASSERT_TRUE(q.Offer(L"p", "x"));
    EXPECT_FALSE(q.Offer(L"p", "one too many"));
}
