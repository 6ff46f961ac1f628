// The filter run in memory on one message, for deciding whether a new message joins the shown list.
#include "messages/filter.h"
#include "messages/text_fold.h"

namespace messages {

using namespace filter_tree;

namespace {

std::int64_t ColumnOf(const MessageRow& m, Column c) {
    switch (c) {
        case Column::FirstHeard: return m.firstHeardMs;
        case Column::LastHeard: return m.lastHeardMs;
        case Column::Les: return m.les;
        case Column::Frame: return m.frame;
        case Column::Priority: return static_cast<std::int64_t>(m.priority);
        case Column::Copies: return m.copies;
        case Column::Len: return m.length;
    }
    return 0;
}

bool Test(const MessageRow& m, const IntTest& t) {
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
