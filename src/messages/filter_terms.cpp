// Reading a term's field, operator and value, and lowering a term to integer tests on stored columns.
#include "messages/filter_terms.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <optional>
#include <span>

#include "messages/priority.h"
#include "warnings/reader.h"
#include "messages/text_fold.h"

namespace messages::filter_tree {

namespace {

struct FieldName {
    std::string_view name;
    Field field;
};
constexpr FieldName kFields[] = {{"age_day", Field::AgeDay}, {"age_hour", Field::AgeHour}, {"age_min", Field::AgeMin},
                                 {"les", Field::Les},        {"frame", Field::Frame},      {"priority", Field::Priority},
                                 {"copies", Field::Copies},  {"len", Field::Len},          {"text", Field::Text},
                                 {"time", Field::Time},      {"series", Field::Series},    {"navarea", Field::Navarea},
                                 {"metarea", Field::Metarea}, {"number", Field::Number},   {"year", Field::Year},
                                 {"kind", Field::Kind},      {"state", Field::State},      {"positions", Field::Positions},
                                 {"dist", Field::Dist},      {"unread", Field::Unread},
                                 {"alerted", Field::Alerted}};

constexpr std::string_view kKinds[] = {"nav", "met", "sar", "piracy", "ice", "bulletin", "other"};
constexpr std::string_view kStates[] = {"none", "inforce", "cancelled", "expired", "dropped"};

template <std::size_t N>
std::string Listed(const std::string_view (&list)[N]) {
    std::string s;
    for (std::string_view w : list) s += (s.empty() ? "" : ", ") + std::string(w);
    return s;
}

// A series as the reader writes it: upper case, single blanks, area numbers in roman ("navarea 4"
// is "NAVAREA IV").
std::string NormalSeries(std::string_view typed) {
    std::string out;
    for (char c : typed) {
        const bool blank = c == ' ' || c == '\t';
        if (blank) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    for (std::string_view head : {"NAVAREA ", "METAREA "}) {
        if (out.rfind(head, 0) == 0) {
            if (int area = warnings::AreaNumber(std::string_view(out).substr(head.size()))) {
                out = std::string(head) + std::string(warnings::Roman(area));
            }
        }
    }
    return out;
}

// Numbers beyond this are refused, so that ages in milliseconds stay far inside 64 bits.
constexpr double kMaxNumber = 1e15;

std::optional<double> ReadNumber(std::string_view s) {
    // Plain decimal only: from_chars alone would also take "inf" and "nan".
    if (s.empty()) return std::nullopt;
    std::size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size() || !(std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) return std::nullopt;
    double v = 0;
    auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !(std::fabs(v) <= kMaxNumber)) return std::nullopt;
    return i ? -v : v;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

// "2026-12-06", "2026-12-06T14:00" or "2026-12-06T14:00:30", optionally ending in Z: the span it
// names, [from, to) in UTC milliseconds.
bool ReadTime(std::string_view s, std::int64_t& from, std::int64_t& to) {
    if (!s.empty() && (s.back() == 'Z' || s.back() == 'z')) s.remove_suffix(1);
    auto num = [&](std::size_t at, std::size_t n, int& out) {
        if (at + n > s.size()) return false;
        out = 0;
        for (std::size_t k = at; k < at + n; ++k) {
            if (s[k] < '0' || s[k] > '9') return false;
            out = out * 10 + (s[k] - '0');
        }
        return true;
    };
    int y, mo, d, h = 0, mi = 0, sec = 0;
    if (!num(0, 4, y) || s.size() < 10 || s[4] != '-' || !num(5, 2, mo) || s[7] != '-' || !num(8, 2, d)) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mo < 1 || mo > 12) return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d < 1 || d > kDays[mo - 1] + (mo == 2 && leap)) return false;
    std::int64_t span = 86'400'000;
    if (s.size() > 10) {
        if ((s[10] != 'T' && s[10] != 't') || s.size() < 16 || !num(11, 2, h) || s[13] != ':' || !num(14, 2, mi))
            return false;
        span = 60'000;
        if (s.size() > 16) {
            if (s.size() != 19 || s[16] != ':' || !num(17, 2, sec)) return false;
            span = 1'000;
        }
        if (h > 23 || mi > 59 || sec > 59) return false;
    }
    from = ((DaysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60'000 + sec * 1'000;
    to = from + span;
    return true;
}

std::string FieldList() {
    std::string s;
    for (const FieldName& f : kFields) s += (s.empty() ? "" : ", ") + std::string(f.name);
    return s;
}

// Priority words run from routine up to distress, the stored numbers the other way round.
Op Mirror(Op op) {
    switch (op) {
        case Op::Lt: return Op::Gt;
        case Op::Le: return Op::Ge;
        case Op::Gt: return Op::Lt;
        case Op::Ge: return Op::Le;
        default: return op;
    }
}

}  // namespace

Field FieldNamed(const Token& word) {
    std::string lower = AsciiLower(word.text);
    for (const FieldName& f : kFields) {
        if (f.name == lower) return f.field;
    }
    Fail("unknown field '" + word.text + "'", word.column, word.endColumn, " (fields: " + FieldList() + ")");
}

Term MakeTerm(Field field, const Token& fieldToken, const Token& op, const Token& value,
              const std::optional<warnings::GeoPoint>& home) {
    Term t;
    t.field = field;
    t.op = static_cast<Op>(static_cast<int>(op.kind) - static_cast<int>(Tok::Eq));
    std::string name = AsciiLower(fieldToken.text);
    if (field == Field::Series) {
        if (t.op != Op::Eq && t.op != Op::Ne && t.op != Op::Contains) {
            Fail("operator '" + op.text + "' does not apply to 'series'", op.column, op.endColumn, " (series takes =, != or ~)");
        }
        if (t.op == Op::Contains) {
            t.text = value.text;
            for (char& c : t.text) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        } else {
            t.text = NormalSeries(value.text);
        }
        return t;
    }
    if (field == Field::Kind || field == Field::State) {
        if (t.op != Op::Eq && t.op != Op::Ne) {
            Fail("operator '" + op.text + "' does not apply to '" + name + "'", op.column, op.endColumn,
                 " (" + name + " takes = or !=)");
        }
        t.text = AsciiLower(value.text);
        bool known = false;
        for (std::string_view w : field == Field::Kind ? std::span<const std::string_view>(kKinds) : std::span<const std::string_view>(kStates))
            known = known || w == t.text;
        if (!known) {
            Fail("unknown " + name + " '" + value.text + "'", value.column, value.endColumn,
                 " (" + (field == Field::Kind ? "kinds: " + Listed(kKinds) : "states: " + Listed(kStates)) + ")");
        }
        return t;
    }
    if (field == Field::Dist) {
        if (!home) {
            Fail("'dist' needs the home position, and none is set", fieldToken.column, fieldToken.endColumn,
                 " (set \"Home position\" in the settings, e.g. 50-22.0N 004-08.5W)");
        }
        t.homeLat = home->lat;
        t.homeLon = home->lon;
    }
    if (field == Field::Text) {
        if (t.op != Op::Eq && t.op != Op::Ne && t.op != Op::Contains) {
            Fail("operator '" + op.text + "' does not apply to 'text'", op.column, op.endColumn, " (text takes =, != or ~)");
        }
        t.text = t.op == Op::Contains ? AsciiLower(value.text) : value.text;
        return t;
    }
    if (t.op == Op::Contains) {
        Fail("operator '~' does not apply to '" + name + "'", op.column, op.endColumn,
             " (" + name + " takes =, !=, <, <=, >, >=)");
    }
    if (field == Field::Priority) {
        std::optional<Priority> p = PriorityFromName(value.text);
        if (!p) {
            Fail("unknown priority '" + value.text + "'", value.column, value.endColumn,
                 " (priorities: distress, urgency, safety, routine)");
        }
        t.number = static_cast<int>(*p);
        t.op = Mirror(t.op);
    } else if (field == Field::Time) {
        if (!ReadTime(value.text, t.from, t.to)) {
            Fail("bad time '" + value.text + "'", value.column, value.endColumn,
                 " (a UTC date 2026-12-06 or date and time 2026-12-06T14:00)");
        }
    } else if ((field == Field::Navarea || field == Field::Metarea) && !ReadNumber(value.text)) {
        const int area = warnings::AreaNumber(value.text);
        if (!area) {
            Fail("expected a number or a roman numeral I to XXI for '" + name + "', found '" + value.text + "'", value.column,
                 value.endColumn);
        }
        t.number = area;
    } else {
        std::optional<double> n = ReadNumber(value.text);
        if (!n) {
            Fail("expected a number for '" + name + "', found '" + value.text + "'", value.column, value.endColumn);
        }
        t.number = *n;
    }
    return t;
}

Term ContainsTerm(const Token& string) {
    Term t;
    t.field = Field::Text;
    t.op = Op::Contains;
    t.text = AsciiLower(string.text);
    return t;
}

namespace {

// `column op x` for a whole-number column and any x, as a comparison with a whole number.
IntTest Whole(Column column, Op op, double x) {
    IntTest t;
    t.column = column;
    t.kind = IntTest::Compare;
    t.op = op;
    // Products such as 0.1 x 86400000 land a hair off the whole number they mean.
    double r = std::nearbyint(x);
    if (std::fabs(x - r) <= 1e-9 * std::fmax(1.0, std::fabs(x))) x = r;
    // Far beyond any stored value; keeps the conversions below defined.
    constexpr double kLimit = 4.0e18;
    x = std::fmax(-kLimit, std::fmin(kLimit, x));
    bool whole = std::floor(x) == x;
    switch (op) {
        case Op::Eq: t.kind = whole ? IntTest::Compare : IntTest::Never; break;
        case Op::Ne: t.kind = whole ? IntTest::Compare : IntTest::Always; break;
        case Op::Lt: x = std::ceil(x); break;   // c < 2.5  <=>  c < 3
        case Op::Le: x = std::floor(x); break;  // c <= 2.5 <=>  c <= 2
        case Op::Gt: x = std::floor(x); break;  // c > 2.5  <=>  c > 2
        case Op::Ge: x = std::ceil(x); break;   // c >= 2.5 <=>  c >= 3
        default: break;
    }
    t.value = static_cast<std::int64_t>(x);
    return t;
}

IntTest At(Column column, Op op, std::int64_t value) { return IntTest{IntTest::Compare, column, op, value}; }

}  // namespace

Lowered Lower(const Term& term, std::int64_t nowMs) {
    Lowered l;
    double unit = 0;
    switch (term.field) {
        case Field::AgeDay: unit = 86'400'000; break;
        case Field::AgeHour: unit = 3'600'000; break;
        case Field::AgeMin: unit = 60'000; break;
        case Field::Les: l.a = Whole(Column::Les, term.op, term.number); return l;
        case Field::Frame: l.a = Whole(Column::Frame, term.op, term.number); return l;
        case Field::Priority: l.a = Whole(Column::Priority, term.op, term.number); return l;
        case Field::Copies: l.a = Whole(Column::Copies, term.op, term.number); return l;
        case Field::Len: l.a = Whole(Column::Len, term.op, term.number); return l;
        case Field::Navarea: l.a = Whole(Column::Navarea, term.op, term.number); return l;
        case Field::Metarea: l.a = Whole(Column::Metarea, term.op, term.number); return l;
        case Field::Number: l.a = Whole(Column::Number, term.op, term.number); return l;
        case Field::Year: l.a = Whole(Column::Year, term.op, term.number); return l;
        case Field::Positions: l.a = Whole(Column::Positions, term.op, term.number); return l;
        case Field::Unread: l.a = Whole(Column::Unread, term.op, term.number); return l;
        case Field::Alerted: l.a = Whole(Column::Alerted, term.op, term.number); return l;
        case Field::Text:
        case Field::Series:
        case Field::Kind:
        case Field::State:
        case Field::Dist: return l;  // compared by each runner
        case Field::Time: {
            const Column c = Column::FirstHeard;
            switch (term.op) {
                case Op::Eq: l.join = Lowered::And, l.a = At(c, Op::Ge, term.from), l.b = At(c, Op::Lt, term.to); break;
                case Op::Ne: l.join = Lowered::Or, l.a = At(c, Op::Lt, term.from), l.b = At(c, Op::Ge, term.to); break;
                case Op::Lt: l.a = At(c, Op::Lt, term.from); break;
                case Op::Le: l.a = At(c, Op::Lt, term.to); break;
                case Op::Gt: l.a = At(c, Op::Ge, term.to); break;
                default: l.a = At(c, Op::Ge, term.from); break;
            }
            return l;
        }
    }
    // age = now - last_heard, so `age op k` is `last_heard op' now - k` with the comparison turned
    // round: the test then reads the last_heard_ms index directly.
    IntTest age = Whole(Column::LastHeard, term.op, term.number * unit);
    if (age.kind == IntTest::Compare) {
        // |k| <= 4e18 and stored times within +-2^61 (73 million years) keep this inside 64 bits.
        std::int64_t k = age.value;
        constexpr std::int64_t kMin = INT64_MIN, kMax = INT64_MAX;
        age.value = k > 0 && nowMs < kMin + k ? kMin : k < 0 && nowMs > kMax + k ? kMax : nowMs - k;
        age.op = Mirror(age.op);
    }
    l.a = age;
    return l;
}

}  // namespace messages::filter_tree
