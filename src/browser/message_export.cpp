#include "browser/message_export.h"

#include <nlohmann/json.hpp>

#include "browser/message_query.h"

namespace browser {

namespace {

void AppendField(std::string& line, std::string_view field) {
    if (field.find_first_of("\",\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

}  // namespace

// The list's first columns, then "Last heard" and "Id", as files have always had them; the columns of
// what the store read of a message follow, so that readers of the older files still find theirs.
constexpr int kFirstReadColumn = static_cast<int>(Column::Warning);

std::string CsvHeader() {
    std::string line;
    for (int c = 0; c < kFirstReadColumn; ++c) line += std::string(kColumnTitles[c]) + ',';
    line += "Last heard,Id";
    for (int c = kFirstReadColumn; c < kColumnCount; ++c) line += ',' + std::string(kColumnTitles[c]);
    return line;
}

std::string CsvRecord(const BrowserRow& row, std::string_view text) {
    std::string line;
    for (int c = 0; c < kFirstReadColumn; ++c) {
        const auto column = static_cast<Column>(c);
        AppendField(line, column == Column::Message ? std::string(text) : CellText(row, column));
        line += ',';
    }
    line += FormatUtc(row.lastHeardMs) + ',' + std::to_string(row.id);
    for (int c = kFirstReadColumn; c < kColumnCount; ++c) {
        line += ',';
        AppendField(line, CellText(row, static_cast<Column>(c)));
    }
    return line;
}

std::string JsonLine(const BrowserRow& row, std::string_view text) {
    nlohmann::ordered_json object;
    object["id"] = row.id;
    object["received"] = FormatUtc(row.receivedMs, true);
    object["last_heard"] = FormatUtc(row.lastHeardMs, true);
    object["les"] = row.les;
    object["frame"] = row.frame;
    object["priority"] = std::string(messages::PriorityName(row.priority));
    object["copies"] = row.copies;
    object["length"] = row.length;
    object["text"] = std::string(text);
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::int64_t ExportMessages(MessageQuery& query, ExportFormat format, std::ostream& out) {
    std::int64_t written = 0;
    if (format == ExportFormat::Csv) out << "\xEF\xBB\xBF" << CsvHeader() << "\r\n";
    query.ForEach([&](const BrowserRow& row, std::string_view text) {
        if (format == ExportFormat::Csv) {
            out << CsvRecord(row, text) << "\r\n";
        } else {
            out << JsonLine(row, text) << '\n';
        }
        ++written;
        return static_cast<bool>(out);
    });
    return written;
}

}  // namespace browser
