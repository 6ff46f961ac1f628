// CSV and JSON Lines exports read back field by field.
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

constexpr std::int64_t kNow = 1796565909750;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// RFC 4180 records back into fields (CRLF between records; quoted fields may hold anything).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                records.back().back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                records.back().back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.emplace_back(1);
            ++i;
        } else {
            records.back().back() += c;
        }
    }
    if (records.back().size() == 1 && records.back()[0].empty()) records.pop_back();
    return records;
}

const std::vector<std::string> kTexts = {"MAYDAY \"quoted\", with comma\r\nsecond line\nthird",
                                         "plain", "PAN PAN \xC3\xA9t\xC3\xA9\n", "bad byte \xFF here"};

}  // namespace

TEST(MessageExport, CsvStartsWithABomAndReadsBackFieldByField) {
    StoreFile file(TestName());
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < kTexts.size(); ++i)
        ids.push_back(file.Add(Message(kNow - 60'000 * static_cast<std::int64_t>(kTexts.size() - i),
                                       i == 2 ? -1 : 121, 1000 + i, kTexts[i], 1 + i)));
    MessageQuery query(file.path());
    query.Refresh(kNow);
    std::ostringstream out;
    EXPECT_EQ(ExportMessages(query, ExportFormat::Csv, out), 4);
    const std::string csv = out.str();
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    const auto records = ParseCsv(csv.substr(3));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0], (std::vector<std::string>{"Received", "LES", "Frame", "Priority", "Copies", "Length",
                                                    "Message", "Last heard", "Id", "Warning", "Kind", "State"}));
    for (std::size_t r = 1; r < records.size(); ++r) {
        const std::size_t i = kTexts.size() - r;  // newest first
        SCOPED_TRACE(i);
        const auto& f = records[r];
        ASSERT_EQ(f.size(), 12u);
        EXPECT_EQ(f[0], FormatUtc(kNow - 60'000 * static_cast<std::int64_t>(kTexts.size() - i)));
        EXPECT_EQ(f[1], i == 2 ? "" : "121");
        EXPECT_EQ(f[2], std::to_string(1000 + i));
        EXPECT_EQ(f[3], messages::PriorityName(messages::PriorityOfText(kTexts[i])));
        EXPECT_EQ(f[4], std::to_string(1 + i));
        EXPECT_EQ(f[5], std::to_string(kTexts[i].size()));
        EXPECT_EQ(f[6], kTexts[i]);  // the whole text, line breaks and quotes kept
        EXPECT_EQ(f[8], std::to_string(ids[i]));
        EXPECT_EQ(f[9] + f[10] + f[11], "");  // not read by the store: no warning, kind or state
    }
}

TEST(MessageExport, JsonLinesHoldOneObjectPerMessageAndReplaceBadBytes) {
    StoreFile file(TestName());
    for (std::size_t i = 0; i < kTexts.size(); ++i) file.Add(Message(kNow + static_cast<std::int64_t>(i), 112, 7, kTexts[i]));
    MessageQuery query(file.path());
    messages::Filter filter;
    messages::FilterError error;
    ASSERT_TRUE(messages::Filter::Parse("priority>=urgency", filter, error));
    query.SetFilter(filter);
    query.Refresh(kNow);
    std::ostringstream out;
    EXPECT_EQ(ExportMessages(query, ExportFormat::JsonLines, out), 2);
    std::istringstream lines(out.str());
    std::string line;
    std::vector<nlohmann::json> objects;
    while (std::getline(lines, line)) objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]["text"], kTexts[2]);
    EXPECT_EQ(objects[0]["priority"], "urgency");
    EXPECT_EQ(objects[1]["text"], kTexts[0]);
    EXPECT_EQ(objects[1]["priority"], "distress");
    EXPECT_EQ(objects[1]["les"], 112);
    EXPECT_EQ(objects[1]["frame"], 7);
    EXPECT_EQ(objects[1]["received"], "2026-12-06T14:05:09Z");
    EXPECT_EQ(objects[1]["copies"], 1);
    // A byte that is not UTF-8 does not fail the export.
    EXPECT_NE(JsonLine(BrowserRow{}, "bad \xFF").find("\"text\":\"bad \xEF\xBF\xBD\""), std::string::npos);
}
