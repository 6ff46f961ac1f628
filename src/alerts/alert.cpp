#include "alerts/alert.h"

#include "decoder/wide_text.h"
#include "feed/datagram.h"

namespace alerts {

std::wstring Headline(const decoder::Record& record, std::size_t maxCharacters) {
    const feed::FeedItem item = feed::ItemFromRecord(record, 1, true);
    std::string line;
    if (item.warning && !item.warning->series.empty() && item.warning->number > 0) {
        const int year = item.warning->year % 100;
        line = item.warning->series + " " + std::to_string(item.warning->number) + "/" + (year < 10 ? "0" : "") +
               std::to_string(year);
    } else {
        std::size_t start = 0;
        while (start < item.text.size()) {
            std::size_t end = item.text.find('\n', start);
            if (end == std::string::npos) end = item.text.size();
            const std::string candidate = item.text.substr(start, end - start);
            if (candidate.find_first_not_of(" \t\r") != std::string::npos) {
                line = candidate;
                break;
            }
            start = end + 1;
        }
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    std::wstring wide = decoder::Utf8ToWide(line);
    if (wide.size() > maxCharacters) wide = wide.substr(0, maxCharacters - 1) + L"\u2026";
    return wide;
}

decoder::RunAlert MakeAlert(const decoder::Record& record, std::int64_t messageId, const std::string& station) {
    decoder::RunAlert alert;
    alert.messageId = messageId;
    alert.timeMs = record.receivedUtcMs;
    alert.headline = Headline(record);
    alert.json = feed::BuildDatagram(station, feed::ItemFromRecord(record, 1, true));
    return alert;
}

}  // namespace alerts
