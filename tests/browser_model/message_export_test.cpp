// CSV and JSON Lines exports of what a query selects, newest first.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "browser/message_export.h"
#include "browser/message_query.h"
#include "browser_store.h"

using namespace browser;
using namespace browsertest;


// Quotes, a comma and both line breaks; a character of two bytes; a byte that is not UTF-8.
static const std::string kTexts[] = {"MAYDAY \"quoted\", with comma\r\nsecond line\nthird", "plain",
                                     "PAN PAN \xC3\xA9t\xC3\xA9\n", "bad byte \xFF here"};

TEST(MessageExport, CsvQuotesOnlyTheFieldsThatNeedItAndJsonLinesHoldOneObjectPerMessage) {
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
    query.SetFilter(Parsed("priority>=urgency"));  // JSON Lines of what it passes
    query.Refresh(kNow);
    out.str("");
    EXPECT_EQ(ExportMessages(query, ExportFormat::JsonLines, out), 2);
    const std::string jsonl = out.str();  // a line each
    const nlohmann::json first = nlohmann::json::parse(jsonl.substr(0, jsonl.find('\n')));
    EXPECT_EQ(first["text"], kTexts[2]);
    EXPECT_EQ(first["les"], -1);
    EXPECT_EQ(nlohmann::json::parse(jsonl.substr(jsonl.find('\n') + 1)),
              nlohmann::json::parse(R"({"id": 1, "received": "2026-12-06T14:01:09Z",
        "last_heard": "2026-12-06T14:01:09Z", "les": 121, "frame": 1000, "priority": "distress", "copies": 1,
        "length": 46, "text": "MAYDAY \"quoted\", with comma\r\nsecond line\nthird"})"));
    // A byte that is not UTF-8 does not fail the export.
    EXPECT_NE(JsonLine(BrowserRow{}, "bad \xFF").find("\"text\":\"bad \xEF\xBF\xBD\""), std::string::npos);
}
