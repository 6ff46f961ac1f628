#include "browser/message_query.h"

#include <algorithm>

namespace browser {

namespace {

using messages::Statement;

// The message and what the store read in it (nothing for a message not read yet).
constexpr char kFrom[] = " message_rows AS m LEFT JOIN warning_rows AS w ON w.id = m.id";
constexpr int kTextColumn = 14;  // after the row's columns

// A warning's state as the filter names it, worked out against `nowMs` as the `warnings` view does.
std::string StateSql(std::int64_t nowMs) {
    return "ifnull(CASE WHEN w.state IN ('inforce', 'dropped') AND w.expires_ms IS NOT NULL AND w.expires_ms <= " +
           std::to_string(nowMs) + " THEN 'expired' ELSE w.state END, '')";
}

// `seen`: whether the store keeps the seen state (a read-only store of an older version does not:
// every message is then shown unread).
std::string RowColumns(std::int64_t nowMs, bool seen) {
    return "m.id, m.first_heard_ms, m.last_heard_ms, m.les, m.frame, m.priority, m.copies, m.len, "
           "ifnull(w.series, ''), ifnull(w.number, 0), ifnull(w.year, 0), ifnull(w.kind, ''), " +
           StateSql(nowMs) + ", " + (seen ? "(NOT " + std::string(messages::kSeenSql) + ")" : std::string("1"));
}

std::string KeyOf(Column column, std::int64_t nowMs) {
    switch (column) {
        case Column::Received: return "m.first_heard_ms";
        case Column::Les: return "m.les";
        case Column::Frame: return "m.frame";
        case Column::Priority: return "m.priority";
        case Column::Copies: return "m.copies";
        case Column::Length: return "m.len";
        case Column::Message: return "m.text";
        case Column::Warning: return "(ifnull(w.series, '') || printf(' %04d %012d', ifnull(w.year, 0), ifnull(w.number, 0)))";
        case Column::Kind: return "ifnull(w.kind, '')";
        case Column::State: return StateSql(nowMs);
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
    row.series = s.ColumnText(8);
    row.number = s.ColumnInt64(9);
    row.year = s.ColumnInt64(10);
    row.kind = s.ColumnText(11);
    row.state = s.ColumnText(12);
    row.unread = s.ColumnInt64(13) != 0;
    return row;
}

// The row's value in the sort column, for reading on from it; the message text is never a key.
std::int64_t KeyValue(const BrowserRow& row, Column column) {
    switch (column) {
        case Column::Received: return row.receivedMs;
        case Column::Les: return row.les;
        case Column::Frame: return row.frame;
        case Column::Priority: return static_cast<std::int64_t>(row.priority);
        case Column::Copies: return row.copies;
        case Column::Length: return row.length;
        case Column::Message:
        case Column::Warning:
        case Column::Kind:
        case Column::State: break;
    }
    return row.id;
}

bool Interrupted(const messages::SqliteError& error) { return error.primary() == SQLITE_INTERRUPT; }

constexpr int kStepsPerProgressCall = 1000;

}  // namespace

MessageQuery::MessageQuery(const std::string& path)
    : path_(path), db_(messages::Database::Open(path, SQLITE_OPEN_READONLY)) {
    // A reader waits only briefly: a writer's checkpoint is the one thing that can hold it up.
    sqlite3_busy_timeout(db_.handle(), 200);
    messages::RegisterFilterFunctions(db_);  // for `dist` terms
    // Refuses a file without the message table now rather than at the first page.
    Statement probe(db_, "SELECT 1 FROM message_rows LIMIT 0");
    probe.Step();
    Statement seen(db_, "SELECT 1 FROM sqlite_schema WHERE name = 'seen_mark'");
    hasSeen_ = seen.Step();
    Statement board(db_, "SELECT 1 FROM sqlite_schema WHERE name = 'warning_rows_board'");
    hasBoardIndex_ = board.Step();
    StoreChanged();
}

MessageQuery::~MessageQuery() = default;

void MessageQuery::SetSort(Column column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
}

std::string MessageQuery::OrderBy(bool reversed) const {
    const char* dir = descending_ != reversed ? " DESC" : " ASC";
    return std::string(" ORDER BY ") + KeyOf(sortColumn_, nowMs_) + dir + ", m.id" + dir;
}

int MessageQuery::OnProgress(void* self) {
    auto* query = static_cast<MessageQuery*>(self);
    query->stepsLeft_ -= kStepsPerProgressCall;
    return query->stepsLeft_ < 0 ? 1 : 0;
}

void MessageQuery::StartBudget(std::int64_t steps) {
    stepsLeft_ = steps;
    budgeted_ = true;
    sqlite3_progress_handler(db_.handle(), kStepsPerProgressCall, &MessageQuery::OnProgress, this);
}

void MessageQuery::EndBudget() {
    if (!budgeted_) return;
    sqlite3_progress_handler(db_.handle(), 0, nullptr, nullptr);
    budgeted_ = false;
}

bool MessageQuery::CountWithinBudget() {
    if (stepBudget_ <= 0) return false;
    StartBudget(stepBudget_);
    try {
        // Without the trigram index: the index's own work is not counted in steps, and on a large store
        // listing every message that holds a common text takes far longer than the budget.
        Statement count(db_, "SELECT count(*) FROM message_rows m WHERE " + plainSql_.where);
        plainSql_.BindTo(count);
        count_ = count.Step() ? count.ColumnInt64(0) : 0;
    } catch (const messages::SqliteError& error) {
        EndBudget();
        if (Interrupted(error)) return false;
        throw;
    }
    EndBudget();
    return true;
}

std::int64_t MessageQuery::Refresh(std::int64_t nowMs, std::int64_t atLeast) {
    pages_.clear();
    byId_.clear();
    nowMs_ = nowMs;
    sql_ = filter_.ToSql(nowMs);
    plainSql_ = filter_.ToSql(nowMs, messages::Filter::Lookup::EachMessage);
    plainFirst_ = PlainFirst();
    countKnown_ = CountWithinBudget();
    if (countKnown_) return count_;
    // Too many to count now: the first page tells whether there are more than a page at all.
    count_ = kPageRows;
    const std::size_t first = LoadPage(0).rows.size();
    if (first < static_cast<std::size_t>(kPageRows)) {
        count_ = static_cast<std::int64_t>(first);
        countKnown_ = true;
    } else {
        count_ = std::max<std::int64_t>(kPageRows, atLeast);
    }
    return count_;
}

void MessageQuery::Reorder() {
    pages_.clear();
    byId_.clear();
    plainFirst_ = PlainFirst();
}

bool MessageQuery::PlainFirst() const {
    return stepBudget_ > 0 && (sortColumn_ == Column::Received || filter_.usesTextIndex());
}

const MessageQuery::Page* MessageQuery::Cached(std::int64_t index) const {
    for (const Page& page : pages_) {
        if (page.index == index) return &page;
    }
    return nullptr;
}

void MessageQuery::ReadPage(std::int64_t index, Page& page) {
    // Read on from the page before or back from the page after when one is cached: the index is
    // entered at the key instead of walked from the start, as an offset would be.
    enum class From { Start, PageBefore, PageAfter } from = From::Start;
    BrowserRow anchor;
    if (!IsTextColumn(sortColumn_)) {
        const Page* before = index > 0 ? Cached(index - 1) : nullptr;
        const Page* after = Cached(index + 1);
        if (before && before->rows.size() == static_cast<std::size_t>(kPageRows)) {
            from = From::PageBefore;
            anchor = before->rows.back();
        } else if (after && !after->rows.empty()) {
            from = From::PageAfter;
            anchor = after->rows.front();
        }
    }
    const bool reversed = from == From::PageAfter;
    std::string keyTest;
    if (from != From::Start) {
        const std::string key = KeyOf(sortColumn_, nowMs_);
        const bool smaller = descending_ != reversed;  // the rows wanted come after smaller keys
        const char* strict = smaller ? " < " : " > ";
        const char* loose = smaller ? " <= " : " >= ";
        keyTest = std::string(" AND (") + key + loose + "?1000 AND (" + key + strict + "?1000 OR m.id" + strict +
                  "?1001))";
    }
    auto read = [&](const messages::FilterSql& sql, const char* indexedBy) {
        Statement s(db_, "SELECT " + RowColumns(nowMs_, hasSeen_) + ", substr(m.text, 1, " +
                             std::to_string(kFirstLineBytes) + ") FROM message_rows AS m" + indexedBy +
                             " LEFT JOIN warning_rows AS w ON w.id = m.id WHERE (" +
                             sql.where + ")" +
                             keyTest + OrderBy(reversed) + " LIMIT ?1002" + (from == From::Start ? " OFFSET ?1003" : ""));
        sql.BindTo(s);
        if (from != From::Start) s.Bind(1000, KeyValue(anchor, sortColumn_)).Bind(1001, anchor.id);
        s.Bind(1002, static_cast<std::int64_t>(kPageRows));
        if (from == From::Start) s.Bind(1003, index * kPageRows);
        page.rows.clear();
        while (s.Step()) {
            BrowserRow row = ReadRow(s);
            row.firstLine = FirstLine(s.ColumnText(kTextColumn));
            page.rows.push_back(std::move(row));
        }
        if (reversed) std::reverse(page.rows.begin(), page.rows.end());
    };
    if (plainFirst_) {
        // Most searches pass many of the newest messages: walking the messages in the list's order
        // (the index of the time received) and testing each finds a page sooner than letting SQLite
        // gather every match by the filter's own indexes and sort them, and a plain test of the text
        // sooner than the trigram index lists every message that holds it. A rare match runs over
        // the budget, and SQLite's own plan is used from then on.
        StartBudget(stepBudget_ * kPageBudgetFactor);
        try {
            read(plainSql_, sortColumn_ == Column::Received ? " INDEXED BY message_rows_first" : "");
            EndBudget();
            return;
        } catch (const messages::SqliteError& error) {
            EndBudget();
            if (!Interrupted(error)) throw;
            plainFirst_ = false;
        }
    }
    read(sql_, "");
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
    Page page;
    page.index = index;
    page.rows.reserve(kPageRows);
    ReadPage(index, page);
    page.lastUse = ++useClock_;
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
        return nullptr;  // the list shows nothing for the row; it is read again when next drawn
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
        const std::string key = KeyOf(sortColumn_, nowMs_);
        Statement value(db_, "SELECT " + key + " FROM" + kFrom + " WHERE m.id = ? AND (" + sql_.where + ")");
        value.Bind(1, id);
        sql_.BindTo(value, 2);
        if (!value.Step()) return -1;
        const char* cmp = descending_ ? " > " : " < ";
        Statement before(db_, "SELECT count(*) FROM" + std::string(kFrom) + " WHERE (" + sql_.where + ") AND (" + key + cmp +
                                  "?1000 OR (" + key + " = ?1000 AND m.id" + cmp + "?1001))");
        sql_.BindTo(before);
        if (IsTextColumn(sortColumn_)) {
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
    Statement s(db_, "SELECT " + RowColumns(nowMs_, hasSeen_) + ", m.text FROM" + kFrom + " WHERE " + sql_.where + OrderBy());
    sql_.BindTo(s);
    while (s.Step()) {
        BrowserRow row = ReadRow(s);
        const std::string_view text = s.ColumnText(kTextColumn);
        row.firstLine = FirstLine(text);
        if (!visit(row, text)) return;
    }
}

const BrowserRow* MessageQuery::RowById(std::int64_t id) {
    if (auto it = byId_.find(id); it != byId_.end()) return &it->second;
    try {
        Statement s(db_, "SELECT " + RowColumns(nowMs_, hasSeen_) + ", substr(m.text, 1, " + std::to_string(kFirstLineBytes) +
                             ") FROM" + kFrom + " WHERE m.id = ?");
        s.Bind(1, id);
        if (!s.Step()) return nullptr;
        if (byId_.size() >= kCachedPages * kPageRows) byId_.clear();
        BrowserRow row = ReadRow(s);
        row.firstLine = FirstLine(s.ColumnText(kTextColumn));
        return &byId_.emplace(id, std::move(row)).first->second;
    } catch (const messages::SqliteError&) {
        return nullptr;
    }
}

void MessageQuery::Forget(std::int64_t id) {
    byId_.erase(id);
    for (Page& page : pages_) {
        for (BrowserRow& row : page.rows) {
            if (row.id == id) row.unread = false;
        }
    }
}

void MessageQuery::ForgetUnread() {
    byId_.clear();
    for (Page& page : pages_) {
        for (BrowserRow& row : page.rows) row.unread = false;
    }
}

std::vector<BoardEntry> MessageQuery::InForceBoard() {
    // A warning broadcast again and again has a row per message: the board shows it once, as its
    // newest message, newest first in its series (a message's id is the order it was first heard in).
    // Straight off the board's index where the store has it, never into the messages themselves.
    Statement s(db_, std::string("SELECT max(id), series FROM warning_rows") +
                         (hasBoardIndex_ ? " INDEXED BY warning_rows_board" : "") +
                         " WHERE state = 'inforce' AND (expires_ms IS NULL OR expires_ms > ?) "
                         "GROUP BY series, year, number ORDER BY series, 1 DESC");
    s.Bind(1, nowMs_);
    std::vector<BoardEntry> board;
    while (s.Step()) {
        std::string series(s.ColumnText(1));
        if (board.empty() || board.back().series != series) board.push_back({0, series, 0});  // the series' header
        board.push_back({s.ColumnInt64(0), std::move(series), 0});
    }
    // Each header counts the messages below it.
    std::size_t header = 0;
    for (std::size_t i = 0; i < board.size(); ++i) {
        if (board[i].id == 0) {
            header = i;
        } else {
            ++board[header].count;
        }
    }
    return board;
}

MessageReadingInfo MessageQuery::Reading(std::int64_t id) {
    MessageReadingInfo info;
    try {
        Statement w(db_, "SELECT w.series, w.number, w.year, w.kind, " + StateSql(nowMs_) +
                             ", ifnull(w.cancelled_by, 0), w.expires_ms, ifnull(c.series, ''), ifnull(c.number, 0), "
                             "ifnull(c.year, 0) FROM warning_rows AS w LEFT JOIN warning_rows AS c ON c.id = w.cancelled_by "
                             "WHERE w.id = ?");
        w.Bind(1, id);
        if (!w.Step()) return info;
        info.read = true;
        info.series = w.ColumnText(0);
        info.number = w.ColumnInt64(1);
        info.year = w.ColumnInt64(2);
        info.kind = w.ColumnText(3);
        info.state = w.ColumnText(4);
        info.cancelledBy = w.ColumnInt64(5);
        if (!w.ColumnIsNull(6)) info.expiresMs = w.ColumnInt64(6);
        info.cancelledByName = WarningName(w.ColumnText(7), w.ColumnInt64(8), w.ColumnInt64(9));
        Statement p(db_, "SELECT shape, kind, lat, lon, ifnull(radius_nm, 0) FROM position_rows WHERE id = ? ORDER BY shape, seq");
        p.Bind(1, id);
        std::int64_t shape = -1;
        while (p.Step()) {
            if (p.ColumnInt64(0) != shape) {
                shape = p.ColumnInt64(0);
                info.shapes.push_back({std::string(p.ColumnText(1)), {}, p.ColumnDouble(4)});
            }
            info.shapes.back().points.emplace_back(p.ColumnDouble(2), p.ColumnDouble(3));
        }
        Statement m(db_, "SELECT series, number, year FROM missing_rows WHERE bulletin_id = ? ORDER BY year, number");
        m.Bind(1, id);
        while (m.Step()) info.missing.push_back(WarningName(m.ColumnText(0), m.ColumnInt64(1), m.ColumnInt64(2)));
    } catch (const messages::SqliteError&) {
        info.read = false;
    }
    return info;
}

std::vector<MissingWarning> MessageQuery::MissingWarnings() {
    std::vector<MissingWarning> missing;
    Statement s(db_, "SELECT series, number, year, bulletin_id FROM missing_rows ORDER BY series, year DESC, number DESC");
    while (s.Step()) missing.push_back({std::string(s.ColumnText(0)), s.ColumnInt64(1), s.ColumnInt64(2), s.ColumnInt64(3)});
    return missing;
}

}  // namespace browser
