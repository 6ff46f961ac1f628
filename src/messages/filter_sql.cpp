// The filter as an SQL WHERE clause on message_rows: our own SQL text, every value a bound parameter.
#include "messages/filter.h"
#include "messages/text_fold.h"

namespace messages {

using namespace filter_tree;

namespace {

const char* ColumnName(Column c) {
    switch (c) {
        case Column::FirstHeard: return "m.first_heard_ms";
        case Column::LastHeard: return "m.last_heard_ms";
        case Column::Les: return "m.les";
        case Column::Frame: return "m.frame";
        case Column::Priority: return "m.priority";
        case Column::Copies: return "m.copies";
        case Column::Len: return "m.len";
    }
    return "NULL";
}

const char* OpText(Op op) {
    switch (op) {
        case Op::Eq: return " = ";
        case Op::Ne: return " <> ";
        case Op::Lt: return " < ";
        case Op::Le: return " <= ";
        case Op::Gt: return " > ";
        case Op::Ge: return " >= ";
        case Op::Contains: break;
    }
    return " = ";
}

class Writer {
public:
    Writer(const std::vector<Node>& nodes, const std::vector<Term>& terms, std::int64_t nowMs, bool textIndex,
           FilterSql& out)
        : nodes_(nodes), terms_(terms), now_(nowMs), textIndex_(textIndex), out_(out) {}

    // Recursion is as deep as the nesting, which the parser keeps within kFilterMaxNesting.
    void Node(std::uint32_t i) {
        const filter_tree::Node& n = nodes_[i];
        switch (n.kind) {
            case NodeKind::All: out_.where += "1"; return;
            case NodeKind::Leaf: Term(terms_[n.term]); return;
            case NodeKind::Not:
                out_.where += "(NOT ";
                Node(n.children[0]);
                out_.where += ")";
                return;
            case NodeKind::And:
            case NodeKind::Or: {
                const char* join = n.kind == NodeKind::And ? " AND " : " OR ";
                out_.where += "(";
                for (std::size_t k = 0; k < n.children.size(); ++k) {
                    if (k) out_.where += join;
                    Node(n.children[k]);
                }
                out_.where += ")";
                return;
            }
        }
    }

private:
    void Test(const IntTest& t) {
        if (t.kind != IntTest::Compare) {
            out_.where += t.kind == IntTest::Always ? "1" : "0";
            return;
        }
        out_.where += ColumnName(t.column);
        out_.where += OpText(t.op);
        out_.where += "?";
        out_.params.emplace_back(t.value);
    }

    void Term(const filter_tree::Term& term) {
        if (term.field != Field::Text) {
            Lowered l = Lower(term, now_);
            if (l.join == Lowered::One) return Test(l.a);
            out_.where += "(";
            Test(l.a);
            out_.where += l.join == Lowered::And ? " AND " : " OR ";
            Test(l.b);
            out_.where += ")";
            return;
        }
        if (term.op != Op::Contains) {
            out_.where += term.op == Op::Eq ? "m.text = ?" : "m.text <> ?";
            out_.params.emplace_back(term.text);
            return;
        }
        // lower() folds A-Z only (no ICU in this build), as AsciiLower does; instr() finds the
        // needle at character starts, which is where a well-formed needle can match at all.
        if (!textIndex_ || CharacterCount(term.text) < kTrigramMinCharacters) {
            out_.where += "(instr(lower(m.text), ?) > 0)";
            out_.params.emplace_back(term.text);
            return;
        }
        // The trigram index folds case more widely (all of Unicode), so it finds a superset; the
        // instr() test keeps exactly what the in-memory run keeps.
        std::string phrase = "\"";
        for (char c : term.text) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
        phrase += "\"";
        out_.where += "(m.id IN (SELECT rowid FROM message_fts WHERE message_fts MATCH ?) AND instr(lower(m.text), ?) > 0)";
        out_.params.emplace_back(std::move(phrase));
        out_.params.emplace_back(term.text);
    }

    const std::vector<filter_tree::Node>& nodes_;
    const std::vector<filter_tree::Term>& terms_;
    std::int64_t now_;
    bool textIndex_;
    FilterSql& out_;
};

}  // namespace

FilterSql Filter::ToSql(std::int64_t nowMs, TextIndex textIndex) const {
    FilterSql sql;
    Writer(nodes_, terms_, nowMs, textIndex == TextIndex::Use, sql).Node(root_);
    return sql;
}

bool Filter::usesTextIndex() const {
    for (const filter_tree::Term& term : terms_) {
        if (term.field == Field::Text && term.op == Op::Contains && CharacterCount(term.text) >= kTrigramMinCharacters)
            return true;
    }
    return false;
}

void FilterSql::BindTo(Statement& s, int first) const {
    int i = first;
    for (const auto& p : params) {
        if (const std::int64_t* n = std::get_if<std::int64_t>(&p)) {
            s.Bind(i++, *n);
        } else {
            s.Bind(i++, std::string_view(std::get<std::string>(p)));
        }
    }
}

std::vector<std::int64_t> MatchingMessageIds(Database& db, const Filter& filter, std::int64_t nowMs) {
    FilterSql sql = filter.ToSql(nowMs);
    Statement s(db, "SELECT m.id FROM message_rows AS m WHERE " + sql.where + " ORDER BY m.id");
    sql.BindTo(s);
    std::vector<std::int64_t> ids;
    while (s.Step()) ids.push_back(s.ColumnInt64(0));
    return ids;
}

}  // namespace messages
