// CSV and JSON Lines exports of what a query selects, newest first.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "browser/message_export.h"
#include "browser/message_query.h"
#include "browser_store.h"

using namespace browser;
using browsertest::Message;
using browsertest::StoreFile;

namespace {

constexpr std::int64_t kNow = 1796565909750;  // 2026-12-06 14:05:09.750 UTC

// Quotes, a comma and both line breaks; a character of two bytes; a byte that is not UTF-8.
const std::string kTexts[] = {"MAYDAY \"quoted\", with comma\r\nsecond line\nthird", "plain", "PAN PAN \xC3\xA9t\xC3\xA9\n",
                              "bad byte \xFF here"};

}  // namespace

TEST(MessageExport, CsvStartsWithABomAndQuotesOnlyTheFieldsThatNeedIt) {
    StoreFile file("csv");
    // One a minute from 14:01:09, LES 121 but the third unknown, frames 1000 on, copies 1 on.
    for (int i = 0; i < 4; ++i) file.Add(Message(kNow - 60'000 * (4 - i), i == 2 ? -1 : 121, 1000 + i, kTexts[i], 1 + i));
    MessageQuery query(file.path());
    query.Refresh(kNow);
    std::ostringstream out;
    EXPECT_EQ(ExportMessages(query, ExportFormat::Csv, out), 4);
    EXPECT_EQ(out.str(),
              "\xEF\xBB\xBF"
              "Received,LES,Frame,Priority,Copies,Length,Message,Last heard,Id,Warning,Kind,State\r\n"
              "2026-12-06 14:04:09,121,1003,routine,4,15,bad byte \xFF here,2026-12-06 14:04:09,4,,,\r\n"
              "2026-12-06 14:03:09,,1002,urgency,3,14,\"PAN PAN \xC3\xA9t\xC3\xA9\n\",2026-12-06 14:03:09,3,,,\r\n"
              "2026-12-06 14:02:09,121,1001,routine,2,5,plain,2026-12-06 14:02:09,2,,,\r\n"
              "2026-12-06 14:01:09,121,1000,distress,1,46,\"MAYDAY \"\"quoted\"\", with comma\r\nsecond line\nthird\","
              "2026-12-06 14:01:09,1,,,\r\n");
}

TEST(MessageExport, JsonLinesHoldOneObjectPerMessageAndReplaceBadBytes) {
    StoreFile file("jsonl");
    for (int i = 0; i < 4; ++i) file.Add(Message(kNow + i, 112, 7, kTexts[i]));
    MessageQuery query(file.path());
    query.SetFilter(browsertest::Parsed("priority>=urgency"));
    query.Refresh(kNow);
    std::ostringstream out;
    EXPECT_EQ(ExportMessages(query, ExportFormat::JsonLines, out), 2);
    std::istringstream lines(out.str());
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]["text"], kTexts[2]);
    EXPECT_EQ(objects[0]["priority"], "urgency");
    EXPECT_EQ(objects[1], nlohmann::json::parse(R"({"id": 1, "received": "2026-12-06T14:05:09Z",
        "last_heard": "2026-12-06T14:05:09Z", "les": 112, "frame": 7, "priority": "distress", "copies": 1,
        "length": 46, "text": "MAYDAY \"quoted\", with comma\r\nsecond line\nthird"})"));
    // A byte that is not UTF-8 does not fail the export.
    EXPECT_NE(JsonLine(BrowserRow{}, "bad \xFF").find("\"text\":\"bad \xEF\xBF\xBD\""), std::string::npos);
}
