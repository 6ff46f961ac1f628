// Exports of the messages a query selects, in its order, every column in full.
//
// Portable. CSV follows RFC 4180 (fields quoted when they hold a quote, comma, CR or LF; quotes
// doubled; CRLF between records) and starts with a UTF-8 byte-order mark so that a spreadsheet reads
// it as UTF-8. JSON Lines has one object per message and line, written by nlohmann-json; bytes that
// are not UTF-8 become U+FFFD rather than failing the export.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "browser/browser_row.h"

namespace browser {

class MessageQuery;

enum class ExportFormat { Csv, JsonLines };

// The CSV header line (without its CRLF): the list's columns, then "Last heard" and "Id".
std::string CsvHeader();
// One message as a CSV record (without its CRLF), `text` in full in the Message field.
std::string CsvRecord(const BrowserRow& row, std::string_view text);
// One message as a JSON object on one line (without its line feed).
std::string JsonLine(const BrowserRow& row, std::string_view text);

// Writes every message `query` selects (as of its last Refresh) to `out`; returns how many. Throws
// messages::SqliteError when the store cannot be read; the caller checks `out` for write errors.
std::int64_t ExportMessages(MessageQuery& query, ExportFormat format, std::ostream& out);

}  // namespace browser
