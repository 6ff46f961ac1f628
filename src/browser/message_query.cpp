#include "browser/message_query.h"

#include <algorithm>

namespace browser {

namespace {

using messages::Statement;

constexpr char kRowColumns[] = "m.id, m.first_heard_ms, m.last_heard_ms, m.les, m.frame, m.priority, m.copies, m.len";

const char* KeyOf(Column column) {
    switch (column) {
        case Column::Received: return "m.first_heard_ms";
        case Column::Les: return "m.les";
        case Column::Frame: return "m.frame";
        case Column::Priority: return "m.priority";
        case Column::Copies: return "m.copies";
        case Column::Length: return "m.len";
        case Column::Message: return "m.text";
    }
    return "m.id";
}

BrowserRow ReadRow(const Statement& s) {
    BrowserRow row;
    row.id = s.ColumnInt64(0);
    row.receivedMs = s.ColumnInt64(1);
    row.lastHeardMs = s.ColumnInt64(2);
    row.les = s.ColumnInt64(3);
    row.frame = s.ColumnInt64(4);
    const std::int64_t priority = s.ColumnInt64(5);
    row.priority = priority >= 0 && priority < messages::kPriorityCount ? static_cast<messages::Priority>(priority)
                                                                        : messages::Priority::Routine;
    row.copies = s.ColumnInt64(6);
    row.length = s.ColumnInt64(7);
    return row;
}

}  // namespace

MessageQuery::MessageQuery(const std::string& path)
    : path_(path), db_(messages::Database::Open(path, SQLITE_OPEN_READONLY)) {
    // A reader waits only briefly: a writer's checkpoint is the one thing that can hold it up.
    sqlite3_busy_timeout(db_.handle(), 200);
    // Refuses a file without the message table now rather than at the first page.
    Statement probe(db_, "SELECT 1 FROM message_rows LIMIT 0");
    probe.Step();
    StoreChanged();
}

MessageQuery::~MessageQuery() = default;

void MessageQuery::SetSort(Column column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
}

std::string MessageQuery::OrderBy() const {
    const char* dir = descending_ ? " DESC" : " ASC";
    return std::string(" ORDER BY ") + KeyOf(sortColumn_) + dir + ", m.id" + dir;
}

std::int64_t MessageQuery::Refresh(std::int64_t nowMs) {
    pages_.clear();
    pageStatement_.reset();
    sql_ = filter_.ToSql(nowMs);
    Statement count(db_, "SELECT count(*) FROM message_rows m WHERE " + sql_.where);
    sql_.BindTo(count);
    count_ = count.Step() ? count.ColumnInt64(0) : 0;
    return count_;
}

MessageQuery::Page& MessageQuery::LoadPage(std::int64_t index) {
    auto oldest = pages_.end();
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        if (it->index == index) {
            it->lastUse = ++useClock_;
            return *it;
        }
        if (oldest == pages_.end() || it->lastUse < oldest->lastUse) oldest = it;
    }
    if (!pageStatement_) {
        pageStatement_ = std::make_unique<Statement>(
            db_, std::string("SELECT ") + kRowColumns + ", substr(m.text, 1, " + std::to_string(kFirstLineBytes) +
                     ") FROM message_rows m WHERE " + sql_.where + OrderBy() + " LIMIT ? OFFSET ?");
    }
    Statement& s = *pageStatement_;
    s.Reset(true);
    sql_.BindTo(s);
    const int next = static_cast<int>(sql_.params.size()) + 1;
    s.Bind(next, static_cast<std::int64_t>(kPageRows)).Bind(next + 1, index * kPageRows);
    Page page;
    page.index = index;
    page.lastUse = ++useClock_;
    page.rows.reserve(kPageRows);
    while (s.Step()) {
        BrowserRow row = ReadRow(s);
        row.firstLine = FirstLine(s.ColumnText(8));
        page.rows.push_back(std::move(row));
    }
    s.Reset(true);
    if (pages_.size() < kCachedPages) return pages_.emplace_back(std::move(page));
    *oldest = std::move(page);
    return *oldest;
}

const BrowserRow* MessageQuery::RowAt(std::int64_t position) {
    if (position < 0 || position >= count_) return nullptr;
    try {
        Page& page = LoadPage(position / kPageRows);
        const auto offset = static_cast<std::size_t>(position % kPageRows);
        return offset < page.rows.size() ? &page.rows[offset] : nullptr;
    } catch (const messages::SqliteError&) {
        pageStatement_.reset();  // prepared again next time; the list shows nothing for the row meanwhile
        return nullptr;
    }
}

std::string MessageQuery::Text(std::int64_t id) {
    try {
        Statement s(db_, "SELECT text FROM message_rows WHERE id = ?");
        s.Bind(1, id);
        return s.Step() ? std::string(s.ColumnText(0)) : std::string();
    } catch (const messages::SqliteError&) {
        return {};
    }
}

std::int64_t MessageQuery::PositionOf(std::int64_t id) {
    try {
        const char* key = KeyOf(sortColumn_);
        Statement value(db_, std::string("SELECT ") + key + " FROM message_rows m WHERE m.id = ? AND (" + sql_.where + ")");
        value.Bind(1, id);
        sql_.BindTo(value, 2);
        if (!value.Step()) return -1;
        const char* cmp = descending_ ? " > " : " < ";
        Statement before(db_, "SELECT count(*) FROM message_rows m WHERE (" + sql_.where + ") AND (" + key + cmp +
                                  "?1000 OR (" + key + " = ?1000 AND m.id" + cmp + "?1001))");
        sql_.BindTo(before);
        if (sortColumn_ == Column::Message) {
            before.Bind(1000, value.ColumnText(0));
        } else {
            before.Bind(1000, value.ColumnInt64(0));
        }
        before.Bind(1001, id);
        return before.Step() ? before.ColumnInt64(0) : -1;
    } catch (const messages::SqliteError&) {
        return -1;
    }
}

bool MessageQuery::StoreChanged() {
    try {
        Statement s(db_, "PRAGMA data_version");
        const std::int64_t version = s.Step() ? s.ColumnInt64(0) : 0;
        const bool changed = version != dataVersion_;
        dataVersion_ = version;
        return changed;
    } catch (const messages::SqliteError&) {
        return false;
    }
}

void MessageQuery::ForEach(const std::function<bool(const BrowserRow&, std::string_view text)>& visit) {
    Statement s(db_, std::string("SELECT ") + kRowColumns + ", m.text FROM message_rows m WHERE " + sql_.where + OrderBy());
    sql_.BindTo(s);
    while (s.Step()) {
        BrowserRow row = ReadRow(s);
        const std::string_view text = s.ColumnText(8);
        row.firstLine = FirstLine(text);
        if (!visit(row, text)) return;
    }
}

}  // namespace browser
