// Reading messages into the reading tables, and the states of their series worked out again from
// everything kept of that series (warnings, cancellations naming it, its bulletins).
#include "messages/warning_rows.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "warnings/reader.h"

namespace messages {

namespace {

// Prepared once per call of ReadMessages: an old store is read hundreds of messages at a time.
struct Writers {
    explicit Writers(Database& db)
        : clear{Statement(db, "DELETE FROM warning_rows WHERE id = ?"), Statement(db, "DELETE FROM position_rows WHERE id = ?"),
                Statement(db, "DELETE FROM cancel_rows WHERE id = ?"), Statement(db, "DELETE FROM inforce_rows WHERE id = ?")},
          warning(db, "INSERT INTO warning_rows (id, series, navarea, metarea, number, year, kind, state, cancelled_by, "
                      "expires_ms, bulletin_ms, position_count, shapes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, NULL, ?, ?, ?, ?)"),
          position(db, "INSERT INTO position_rows (id, shape, seq, kind, lat, lon, radius_nm) VALUES (?, ?, ?, ?, ?, ?, ?)"),
          cancel(db, "INSERT INTO cancel_rows (id, series, number, year) VALUES (?, ?, ?, ?)"),
          inForce(db, "INSERT INTO inforce_rows (id, series, number, year) VALUES (?, ?, ?, ?)") {}
    Statement clear[4];
    Statement warning, position, cancel, inForce;
};

void Run(Statement& s) {
    s.Step();
    s.Reset(true);
}

void Keys(Statement& s, std::int64_t id, const std::vector<warnings::WarningKey>& keys) {
    for (const warnings::WarningKey& k : keys) {
        s.Bind(1, id).Bind(2, std::string_view(k.series)).Bind(3, std::int64_t{k.number}).Bind(4, std::int64_t{k.year});
        Run(s);
    }
}

// `readBefore`: the message has rows from an earlier reading, which go first.
void Store(Writers& w, std::int64_t id, const warnings::Reading& r, bool readBefore) {
    if (readBefore) {
        for (Statement& c : w.clear) {
            c.Bind(1, id);
            Run(c);
        }
    }
    Statement& s = w.warning;
    s.Bind(1, id).Bind(2, std::string_view(r.series)).Bind(3, std::int64_t{r.navarea}).Bind(4, std::int64_t{r.metarea});
    s.Bind(5, std::int64_t{r.number}).Bind(6, std::int64_t{r.year}).Bind(7, warnings::KindName(r.kind));
    s.Bind(8, warnings::StateName(r.numbered() ? warnings::State::InForce : warnings::State::None));
    if (r.expiresMs) s.Bind(9, *r.expiresMs);
    if (r.bulletinMs) s.Bind(10, *r.bulletinMs);
    s.Bind(11, static_cast<std::int64_t>(r.positionCount())).Bind(12, warnings::EncodeShapes(r.shapes));
    Run(s);
    Statement& p = w.position;
    for (std::size_t shape = 0; shape < r.shapes.size(); ++shape) {
        const warnings::Shape& sh = r.shapes[shape];
        for (std::size_t seq = 0; seq < sh.points.size(); ++seq) {
            p.Bind(1, id).Bind(2, static_cast<std::int64_t>(shape + 1)).Bind(3, static_cast<std::int64_t>(seq + 1));
            p.Bind(4, warnings::ShapeKindName(sh.kind)).Bind(5, sh.points[seq].lat).Bind(6, sh.points[seq].lon);
            if (sh.kind == warnings::ShapeKind::Circle) p.Bind(7, sh.radiusNm);
            Run(p);
        }
    }
    Keys(w.cancel, id, r.cancels);
    if (r.kind == warnings::Kind::Bulletin) Keys(w.inForce, id, r.inForce);
}

// A warning's state as kept: its text and the cancelling message (0: none).
using Kept = std::map<std::int64_t, std::pair<std::string, std::int64_t>>;

// Everything kept that bears on the warnings of `series`, as the state logic takes it, and the
// states kept now.
std::vector<warnings::Heard> HeardOfSeries(Database& db, const std::string& series, Kept& kept) {
    std::map<std::int64_t, warnings::Heard> heard;
    {
        Statement s(db,
                    "SELECT w.id, m.first_heard_ms, w.number, w.year, w.kind = 'bulletin', w.state, "
                    "ifnull(w.cancelled_by, 0) FROM warning_rows AS w JOIN message_rows AS m ON m.id = w.id WHERE w.series = ?");
        s.Bind(1, std::string_view(series));
        while (s.Step()) {
            kept[s.ColumnInt64(0)] = {std::string(s.ColumnText(5)), s.ColumnInt64(6)};
            warnings::Heard& h = heard[s.ColumnInt64(0)];
            h.id = s.ColumnInt64(0);
            h.firstHeardMs = s.ColumnInt64(1);
            if (s.ColumnInt64(2) > 0) {
                h.key = warnings::WarningKey{series, static_cast<int>(s.ColumnInt64(2)), static_cast<int>(s.ColumnInt64(3))};
            }
            if (s.ColumnInt64(4)) h.bulletin = true, h.bulletinSeries = series;
        }
    }
    {
        Statement s(db,
                    "SELECT c.id, m.first_heard_ms, c.number, c.year FROM cancel_rows AS c "
                    "JOIN message_rows AS m ON m.id = c.id WHERE c.series = ?");
        s.Bind(1, std::string_view(series));
        while (s.Step()) {
            warnings::Heard& h = heard[s.ColumnInt64(0)];
            h.id = s.ColumnInt64(0);
            h.firstHeardMs = s.ColumnInt64(1);
            h.cancels.push_back({series, static_cast<int>(s.ColumnInt64(2)), static_cast<int>(s.ColumnInt64(3))});
        }
    }
    {
        Statement s(db, "SELECT number, year FROM inforce_rows WHERE id = ?");
        for (auto& [id, h] : heard) {
            if (!h.bulletin) continue;
            s.Reset(true);
            s.Bind(1, id);
            while (s.Step()) {
                h.inForce.push_back({series, static_cast<int>(s.ColumnInt64(0)), static_cast<int>(s.ColumnInt64(1))});
            }
        }
    }
    std::vector<warnings::Heard> out;
    out.reserve(heard.size());
    for (auto& [id, h] : heard) out.push_back(std::move(h));
    return out;
}

// Only rows whose state changes are written: a busy series is mostly unchanged by one message.
void WriteStates(Database& db, const std::vector<warnings::Heard>& heard, const warnings::States& states, const Kept& kept) {
    Statement u(db, "UPDATE warning_rows SET state = ?, cancelled_by = ? WHERE id = ?");
    for (std::size_t i = 0; i < heard.size(); ++i) {
        if (!heard[i].key) continue;
        const warnings::MessageState& m = states.messages[i];
        const auto was = kept.find(m.id);
        if (was != kept.end() && was->second.first == warnings::StateName(m.state) && was->second.second == m.cancelledBy) {
            continue;
        }
        u.Reset(true);
        u.Bind(1, warnings::StateName(m.state));
        if (m.cancelledBy) u.Bind(2, m.cancelledBy);
        u.Bind(3, m.id);
        u.Step();
    }
}

// A whole series worked out again: after one of its bulletins was read.
void UpdateSeries(Database& db, const std::string& series) {
    Kept kept;
    const std::vector<warnings::Heard> heard = HeardOfSeries(db, series, kept);
    const warnings::States states = warnings::ComputeStates(heard);
    WriteStates(db, heard, states, kept);
    Statement d(db, "DELETE FROM missing_rows WHERE series = ?");
    d.Bind(1, std::string_view(series));
    d.Step();
    Statement add(db, "INSERT INTO missing_rows (series, number, year, bulletin_id) VALUES (?, ?, ?, ?)");
    for (const warnings::Missing& m : states.missing) {
        add.Reset(true);
        add.Bind(1, std::string_view(m.key.series)).Bind(2, std::int64_t{m.key.number}).Bind(3, std::int64_t{m.key.year});
        add.Bind(4, m.bulletinId);
        add.Step();
    }
}

// One warning worked out again, after it or a cancellation of it was read: its state depends only
// on its own messages, the cancellations naming it and the latest bulletin of its series, so a
// series of thousands is not read for each new message.
void UpdateKey(Database& db, const warnings::WarningKey& key) {
    std::map<std::int64_t, warnings::Heard> heard;
    Kept kept;
    const auto bind = [&](Statement& s) {
        s.Bind(1, std::string_view(key.series)).Bind(2, std::int64_t{key.year}).Bind(3, std::int64_t{key.number});
    };
    Statement w(db,
                "SELECT w.id, m.first_heard_ms, w.state, ifnull(w.cancelled_by, 0) FROM warning_rows AS w "
                "JOIN message_rows AS m ON m.id = w.id WHERE w.series = ? AND w.year = ? AND w.number = ?");
    bind(w);
    while (w.Step()) {
        kept[w.ColumnInt64(0)] = {std::string(w.ColumnText(2)), w.ColumnInt64(3)};
        warnings::Heard& h = heard[w.ColumnInt64(0)];
        h.id = w.ColumnInt64(0), h.firstHeardMs = w.ColumnInt64(1), h.key = key;
    }
    if (heard.empty()) return;  // not heard (yet): nothing to keep
    Statement c(db,
                "SELECT c.id, m.first_heard_ms FROM cancel_rows AS c JOIN message_rows AS m ON m.id = c.id "
                "WHERE c.series = ? AND c.year = ? AND c.number = ?");
    bind(c);
    while (c.Step()) {
        warnings::Heard& h = heard[c.ColumnInt64(0)];
        h.id = c.ColumnInt64(0), h.firstHeardMs = c.ColumnInt64(1);
        h.cancels.push_back(key);
    }
    Statement b(db,
                "SELECT w.id, m.first_heard_ms, EXISTS (SELECT 1 FROM inforce_rows AS f WHERE f.id = w.id AND f.series = ?1 "
                "AND f.year = ?2 AND f.number = ?3) FROM warning_rows AS w JOIN message_rows AS m ON m.id = w.id "
                "WHERE w.kind = 'bulletin' AND w.series = ?1 ORDER BY m.first_heard_ms DESC, w.id DESC LIMIT 1");
    bind(b);
    if (b.Step()) {
        warnings::Heard& h = heard[b.ColumnInt64(0)];
        h.id = b.ColumnInt64(0), h.firstHeardMs = b.ColumnInt64(1);
        h.bulletin = true, h.bulletinSeries = key.series;
        if (b.ColumnInt64(2)) h.inForce.push_back(key);
    }
    std::vector<warnings::Heard> list;
    for (auto& [id, h] : heard) list.push_back(std::move(h));
    WriteStates(db, list, warnings::ComputeStates(list), kept);
    Statement d(db, "DELETE FROM missing_rows WHERE series = ? AND year = ? AND number = ?");
    bind(d);
    d.Step();
}

}  // namespace

void ReadMessages(Database& db, std::span<const std::int64_t> ids) {
    if (ids.empty()) return;
    std::set<std::string> series;        // worked out whole: a bulletin was read, or a message read again
    std::set<warnings::WarningKey> keys;  // worked out alone
    Writers writers(db);
    Statement text(db, "SELECT first_heard_ms, text FROM message_rows WHERE id = ?");
    Statement before(db, "SELECT series FROM warning_rows WHERE id = ? UNION SELECT series FROM cancel_rows WHERE id = ?");
    for (std::int64_t id : ids) {
        // A message read again takes back what it said before, about any series it named.
        before.Reset(true);
        before.Bind(1, id).Bind(2, id);
        bool readBefore = false;
        while (before.Step()) readBefore = true, series.insert(std::string(before.ColumnText(0)));
        before.Reset();
        text.Reset(true);
        text.Bind(1, id);
        if (!text.Step()) continue;
        const warnings::Reading r = warnings::Read(text.ColumnText(1), text.ColumnInt64(0));
        text.Reset();
        Store(writers, id, r, readBefore);
        if (r.kind == warnings::Kind::Bulletin) series.insert(r.series);
        if (r.numbered()) keys.insert(r.key());
        keys.insert(r.cancels.begin(), r.cancels.end());
    }
    series.erase("");
    for (const std::string& s : series) UpdateSeries(db, s);
    for (const warnings::WarningKey& k : keys) {
        if (!series.count(k.series)) UpdateKey(db, k);
    }
}

int ReadUnreadMessages(Database& db, int maxCount) {
    std::vector<std::int64_t> ids;
    {
        Statement s(db,
                    "SELECT id FROM message_rows AS m WHERE NOT EXISTS (SELECT 1 FROM warning_rows AS w WHERE w.id = m.id) "
                    "ORDER BY id LIMIT ?");
        s.Bind(1, static_cast<std::int64_t>(maxCount));
        while (s.Step()) ids.push_back(s.ColumnInt64(0));
    }
    ReadMessages(db, ids);
    return static_cast<int>(ids.size());
}

std::int64_t UnreadMessageCount(Database& db) {
    Statement s(db, "SELECT count(*) FROM message_rows AS m WHERE NOT EXISTS (SELECT 1 FROM warning_rows AS w WHERE w.id = m.id)");
    return s.Step() ? s.ColumnInt64(0) : 0;
}

bool LoadReading(Database& db, MessageRow& row) {
    row.reading.reset();
    Statement s(db,
                "SELECT series, navarea, metarea, number, year, kind, state, expires_ms, position_count, shapes "
                "FROM warning_rows WHERE id = ?");
    s.Bind(1, row.id);
    if (!s.Step()) return false;
    MessageReading r;
    r.series = std::string(s.ColumnText(0));
    r.navarea = static_cast<int>(s.ColumnInt64(1));
    r.metarea = static_cast<int>(s.ColumnInt64(2));
    r.number = s.ColumnInt64(3);
    r.year = s.ColumnInt64(4);
    r.kind = std::string(s.ColumnText(5));
    const std::string_view state = s.ColumnText(6);
    for (warnings::State st : {warnings::State::InForce, warnings::State::Cancelled, warnings::State::Dropped}) {
        if (state == warnings::StateName(st)) r.state = st;
    }
    if (!s.ColumnIsNull(7)) r.expiresMs = s.ColumnInt64(7);
    r.positions = s.ColumnInt64(8);
    r.shapes = warnings::DecodeShapes(s.ColumnText(9));
    row.reading = std::move(r);
    return true;
}

}  // namespace messages
