// The filter as an SQL WHERE clause on message_rows: our own SQL text, every value a bound parameter.
#include "messages/filter.h"
#include "messages/text_fold.h"
#include "warnings/shapes.h"

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
        case Column::Unread: {
            // 1 or 0, never NULL, as the in-memory run's !seen.
            static const std::string unread = "(NOT " + std::string(kSeenSql) + ")";
            return unread.c_str();
        }
        case Column::Alerted: return kAlertedSql;
        case Column::Navarea: return "navarea";
        case Column::Metarea: return "metarea";
        case Column::Number: return "number";
        case Column::Year: return "year";
        case Column::Positions: return "position_count";
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
    Writer(const std::vector<Node>& nodes, const std::vector<Term>& terms, std::int64_t nowMs, bool lists,
           FilterSql& out)
        : nodes_(nodes), terms_(terms), now_(nowMs), lists_(lists), out_(out) {}

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
    // A test on the reading: the message has a warning_rows row passing `condition`. Never NULL,
    // so NOT and the in-memory run agree.
    void Reading(const char* condition) {
        out_.where += lists_ ? "(m.id IN (SELECT id FROM warning_rows WHERE " : "(EXISTS (SELECT 1 FROM warning_rows WHERE id = m.id AND ";
        out_.where += condition;
        out_.where += "))";
    }

    static const char* Presence(Column c) {
        switch (c) {
            case Column::Navarea: return "navarea > 0 AND ";
            case Column::Metarea: return "metarea > 0 AND ";
            case Column::Number:
            case Column::Year: return "number > 0 AND ";
            default: return "";
        }
    }

    void Test(const IntTest& t) {
        if (ReadingColumn(t.column)) {
            std::string condition = Presence(t.column);
            if (t.kind != IntTest::Compare) {
                condition += t.kind == IntTest::Always ? "1" : "0";
            } else {
                condition += ColumnName(t.column);
                condition += OpText(t.op);
                condition += "?";
                out_.params.emplace_back(t.value);
            }
            return Reading(condition.c_str());
        }
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
        switch (term.field) {
            case Field::Series:
                out_.params.emplace_back(term.text);
                return Reading(term.op == Op::Contains ? "series <> '' AND instr(series, ?) > 0"
                               : term.op == Op::Eq     ? "series <> '' AND series = ?"
                                                       : "series <> '' AND series <> ?");
            case Field::Kind:
                out_.params.emplace_back(term.text);
                return Reading(term.op == Op::Eq ? "kind = ?" : "kind <> ?");
            case Field::State:
                // As the `warnings` view, against the filter's own "now".
                out_.params.emplace_back(now_);
                out_.params.emplace_back(term.text);
                return Reading(term.op == Op::Eq
                                   ? "(CASE WHEN state IN ('inforce', 'dropped') AND expires_ms IS NOT NULL AND expires_ms <= ? "
                                     "THEN 'expired' ELSE state END) = ?"
                                   : "(CASE WHEN state IN ('inforce', 'dropped') AND expires_ms IS NOT NULL AND expires_ms <= ? "
                                     "THEN 'expired' ELSE state END) <> ?");
            case Field::Dist: {
                out_.params.emplace_back(term.homeLat);
                out_.params.emplace_back(term.homeLon);
                out_.params.emplace_back(term.number);
                std::string condition = "position_count > 0 AND vastrel_distance_nm(shapes, ?, ?)";
                condition += OpText(term.op);
                condition += "?";
                return Reading(condition.c_str());
            }
            default: break;
        }
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
        if (!lists_ || CharacterCount(term.text) < kTrigramMinCharacters) {
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
    bool lists_;
    FilterSql& out_;
};

}  // namespace

FilterSql Filter::ToSql(std::int64_t nowMs, Lookup lookup) const {
    FilterSql sql;
    Writer(nodes_, terms_, nowMs, lookup == Lookup::Lists, sql).Node(root_);
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
        } else if (const double* d = std::get_if<double>(&p)) {
            s.Bind(i++, *d);
        } else {
            s.Bind(i++, std::string_view(std::get<std::string>(p)));
        }
    }
}

namespace {

// vastrel_distance_nm(shapes, lat, lon): the in-memory run's own distance, so both agree to the bit.
void DistanceFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_null(context);
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int bytes = sqlite3_value_bytes(argv[0]);
    const std::vector<warnings::Shape> shapes = warnings::DecodeShapes(std::string_view(text ? text : "", text ? bytes : 0));
    const std::optional<double> d =
        warnings::DistanceToShapesNm({sqlite3_value_double(argv[1]), sqlite3_value_double(argv[2])}, shapes);
    if (!d) return sqlite3_result_null(context);
    sqlite3_result_double(context, *d);
}

}  // namespace

void RegisterFilterFunctions(Database& db) {
    const int rc = sqlite3_create_function_v2(db.handle(), "vastrel_distance_nm", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                              nullptr, DistanceFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) ThrowSqliteError(db.handle(), rc, "cannot register the filter's functions");
}

std::vector<std::int64_t> MatchingMessageIds(Database& db, const Filter& filter, std::int64_t nowMs, Filter::Lookup lookup) {
    RegisterFilterFunctions(db);
    FilterSql sql = filter.ToSql(nowMs, lookup);
    Statement s(db, "SELECT m.id FROM message_rows AS m WHERE " + sql.where + " ORDER BY m.id");
    sql.BindTo(s);
    std::vector<std::int64_t> ids;
    while (s.Step()) ids.push_back(s.ColumnInt64(0));
    return ids;
}

}  // namespace messages
