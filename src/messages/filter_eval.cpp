// The filter run in memory on one message, for deciding whether a new message joins the shown list.
#include "messages/filter.h"
#include "messages/text_fold.h"
#include "warnings/shapes.h"

namespace messages {

using namespace filter_tree;

namespace {

// Whether the message's reading has the column at all (a message not read has none).
bool Present(const MessageRow& m, Column c) {
    if (!ReadingColumn(c)) return true;
    if (!m.reading) return false;
    switch (c) {
        case Column::Navarea: return m.reading->navarea > 0;
        case Column::Metarea: return m.reading->metarea > 0;
        case Column::Number:
        case Column::Year: return m.reading->number > 0;
        default: return true;
    }
}

std::int64_t ColumnOf(const MessageRow& m, Column c) {
    switch (c) {
        case Column::Navarea: return m.reading->navarea;
        case Column::Metarea: return m.reading->metarea;
        case Column::Number: return m.reading->number;
        case Column::Year: return m.reading->year;
        case Column::Positions: return m.reading->positions;
        case Column::FirstHeard: return m.firstHeardMs;
        case Column::LastHeard: return m.lastHeardMs;
        case Column::Les: return m.les;
        case Column::Frame: return m.frame;
        case Column::Priority: return static_cast<std::int64_t>(m.priority);
        case Column::Copies: return m.copies;
        case Column::Len: return m.length;
        case Column::Unread: return m.seen ? 0 : 1;
        case Column::Alerted: return m.alerted ? 1 : 0;
    }
    return 0;
}

template <class V>
bool Compare(V v, Op op, V x) {
    switch (op) {
        case Op::Eq: return v == x;
        case Op::Ne: return v != x;
        case Op::Lt: return v < x;
        case Op::Le: return v <= x;
        case Op::Gt: return v > x;
        case Op::Ge: return v >= x;
        case Op::Contains: break;
    }
    return false;
}

bool Test(const MessageRow& m, const IntTest& t) {
    if (!Present(m, t.column)) return false;
    if (t.kind != IntTest::Compare) return t.kind == IntTest::Always;
    std::int64_t v = ColumnOf(m, t.column);
    switch (t.op) {
        case Op::Eq: return v == t.value;
        case Op::Ne: return v != t.value;
        case Op::Lt: return v < t.value;
        case Op::Le: return v <= t.value;
        case Op::Gt: return v > t.value;
        case Op::Ge: return v >= t.value;
        case Op::Contains: break;
    }
    return false;
}

bool TestTerm(const MessageRow& m, const Term& term, std::int64_t nowMs) {
    if (term.field == Field::Text) {
        // Byte comparison for = and !=, as SQLite's BINARY collation does.
        if (term.op == Op::Eq) return m.text == term.text;
        if (term.op == Op::Ne) return m.text != term.text;
        return ContainsFolded(m.text, term.text);
    }
    if (term.field == Field::Series) {
        if (!m.reading || m.reading->series.empty()) return false;
        if (term.op == Op::Contains) return m.reading->series.find(term.text) != std::string::npos;
        return (m.reading->series == term.text) == (term.op == Op::Eq);
    }
    if (term.field == Field::Kind || term.field == Field::State) {
        if (!m.reading) return false;
        const std::string_view v =
            term.field == Field::Kind ? std::string_view(m.reading->kind)
                                      : warnings::StateName(warnings::StateAt(m.reading->state, m.reading->expiresMs, nowMs));
        return (v == term.text) == (term.op == Op::Eq);
    }
    if (term.field == Field::Dist) {
        if (!m.reading || m.reading->positions <= 0) return false;
        const std::optional<double> d = warnings::DistanceToShapesNm({term.homeLat, term.homeLon}, m.reading->shapes);
        return d && Compare(*d, term.op, term.number);
    }
    Lowered l = Lower(term, nowMs);
    switch (l.join) {
        case Lowered::One: return Test(m, l.a);
        case Lowered::And: return Test(m, l.a) && Test(m, l.b);
        case Lowered::Or: return Test(m, l.a) || Test(m, l.b);
    }
    return false;
}

// Recursion is as deep as the nesting, which the parser keeps within kFilterMaxNesting.
bool Run(const std::vector<Node>& nodes, const std::vector<Term>& terms, std::uint32_t i, const MessageRow& m,
         std::int64_t nowMs) {
    const Node& n = nodes[i];
    switch (n.kind) {
        case NodeKind::All: return true;
        case NodeKind::Leaf: return TestTerm(m, terms[n.term], nowMs);
        case NodeKind::Not: return !Run(nodes, terms, n.children[0], m, nowMs);
        case NodeKind::And:
            for (std::uint32_t c : n.children) {
                if (!Run(nodes, terms, c, m, nowMs)) return false;
            }
            return true;
        case NodeKind::Or:
            for (std::uint32_t c : n.children) {
                if (Run(nodes, terms, c, m, nowMs)) return true;
            }
            return false;
    }
    return false;
}

}  // namespace

bool Filter::Matches(const MessageRow& message, std::int64_t nowMs) const {
    return Run(nodes_, terms_, root_, message, nowMs);
}

}  // namespace messages
