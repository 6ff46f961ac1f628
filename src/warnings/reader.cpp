// The reader: the text split once into tokens (words, numbers, marks, positions), then a few
// forward passes over the tokens, each looking a bounded number of tokens ahead.
#include "warnings/reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

namespace warnings {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameWord(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != upper[i]) return false;
    }
    return true;
}

std::string UpperCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Upper(c);
    return out;
}

enum class T { Word, Number, Mark, Pos };

struct Token {
    T kind;
    std::string_view text;
    int line = 0;
    bool lineStart = false;
    bool spaced = false;  // blank or line break before it
    long value = 0;       // numbers, capped
    GeoPoint point;
};

std::vector<Token> Tokenize(std::string_view s) {
    std::vector<Token> out;
    int line = 0;
    bool lineStart = true, spaced = true;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\n') {
            ++line, lineStart = true, spaced = true, ++i;
            continue;
        }
        if (u <= ' ' || u == 0x7F || u >= 0x80) {
            // Blanks, control bytes and bytes of other alphabets only separate.
            spaced = true, ++i;
            continue;
        }
        Token t;
        t.line = line, t.lineStart = lineStart, t.spaced = spaced;
        const std::size_t start = i;
        if (Digit(c)) {
            // Not inside a number ("45-60N" must not become "60N" once it failed as a whole).
            const char before = start ? s[start - 1] : ' ';
            const bool joined = start >= 2 && Digit(s[start - 2]) && (before == '-' || before == '/' || before == ':');
            const bool free = !(Letter(before) || Digit(before) || before == '.' || joined);
            if (free) {
                if (std::optional<PositionMatch> p = PositionAt(s, start)) {
                    t.kind = T::Pos, t.point = p->point, t.text = s.substr(start, p->end - start);
                    for (std::size_t k = start; k < p->end; ++k) line += s[k] == '\n';
                    i = p->end;
                    out.push_back(t);
                    lineStart = spaced = false;
                    continue;
                }
            }
            t.kind = T::Number;
            while (i < s.size() && Digit(s[i])) {
                if (t.value < 100'000'000) t.value = t.value * 10 + (s[i] - '0');
                ++i;
            }
        } else if (Letter(c)) {
            t.kind = T::Word;
            while (i < s.size() && (Letter(s[i]) || Digit(s[i]))) ++i;
        } else {
            t.kind = T::Mark;
            ++i;
        }
        t.text = s.substr(start, i - start);
        out.push_back(t);
        lineStart = spaced = false;
    }
    return out;
}

constexpr std::array<std::string_view, 21> kRoman = {"I",   "II",   "III", "IV", "V",   "VI",  "VII",
                                                     "VIII", "IX",  "X",   "XI", "XII", "XIII", "XIV",
                                                     "XV",  "XVI",  "XVII", "XVIII", "XIX", "XX", "XXI"};
constexpr std::array<std::string_view, 12> kMonths = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                                      "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

int DaysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap);
}

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

void CivilFromMs(std::int64_t ms, int& y, int& m) {
    std::int64_t z = ms / 86'400'000 - (ms % 86'400'000 < 0);
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

class Reader {
public:
    Reader(std::string_view text, std::int64_t firstHeardMs)
        : t_(Tokenize(text)), first_(firstHeardMs), firstYear_(YearOf(firstHeardMs)) {}

    Reading Run() {
        Header();
        KindOf();
        Cancellations();
        if (r_.kind == Kind::Bulletin) BulletinLists();
        Shapes();
        return std::move(r_);
    }

private:
    // ---- token tests ----
    bool Is(std::size_t i, std::string_view upper) const {
        return i < t_.size() && t_[i].kind == T::Word && SameWord(t_[i].text, upper);
    }
    bool IsMark(std::size_t i, char c) const { return i < t_.size() && t_[i].kind == T::Mark && t_[i].text[0] == c; }
    bool IsNumber(std::size_t i) const { return i < t_.size() && t_[i].kind == T::Number; }
    bool Glued(std::size_t i) const { return i < t_.size() && !t_[i].spaced; }
    bool SameLine(std::size_t i, std::size_t j) const { return j < t_.size() && t_[i].line == t_[j].line; }

    // A month word (JAN, SEPT, NOVEMBER): 1..12, else 0.
    int Month(std::size_t i) const {
        if (i >= t_.size() || t_[i].kind != T::Word || t_[i].text.size() < 3) return 0;
        const std::string_view w = t_[i].text;
        for (std::size_t m = 0; m < kMonths.size(); ++m) {
            if (w.size() <= kMonths[m].size() && SameWord(w, kMonths[m].substr(0, w.size()))) return static_cast<int>(m) + 1;
        }
        return 0;
    }

    // "181954Z", "061400 UTC": six digits and a zone. Returns the tokens it takes (0: none).
    std::size_t Dtg(std::size_t i) const {
        if (!IsNumber(i) || t_[i].text.size() != 6) return 0;
        if (Is(i + 1, "Z") || Is(i + 1, "UTC") || Is(i + 1, "GMT")) return 2;
        return 0;
    }

    int Year(long written) const {
        if (written < 100) return 2000 + static_cast<int>(written);
        if (written >= 1900 && written <= 2200) return static_cast<int>(written);
        return 0;
    }

    // ---- series ----
    struct SeriesAt {
        std::string series;
        int navarea = 0, metarea = 0;
        std::size_t next = 0;
    };

    std::optional<SeriesAt> Series(std::size_t i) const {
        if (i >= t_.size() || t_[i].kind != T::Word) return std::nullopt;
        SeriesAt s;
        const bool nav = Is(i, "NAVAREA"), met = Is(i, "METAREA");
        if (nav || met) {
            if (i + 1 >= t_.size() || t_[i + 1].kind == T::Mark || t_[i + 1].kind == T::Pos) return std::nullopt;
            const int area = AreaNumber(t_[i + 1].text);
            if (!area) return std::nullopt;
            s.series = std::string(nav ? "NAVAREA " : "METAREA ") + std::string(Roman(area));
            (nav ? s.navarea : s.metarea) = area;
            s.next = i + 2;
            return s;
        }
        for (std::string_view w : {"HYDROLANT", "HYDROPAC", "HYDROARC"}) {
            if (Is(i, w)) {
                s.series = std::string(w);
                s.next = i + 1;
                return s;
            }
        }
        if (Is(i, "COASTAL") && (Is(i + 1, "WARNING") || Is(i + 1, "WARNINGS"))) {
            std::size_t j = i + 2;
            std::string name;
            while (j < t_.size() && j < i + 6 && t_[j].kind == T::Word && SameLine(i, j) && !Is(j, "NR") && !Is(j, "NO")) {
                name += (name.empty() ? "" : " ") + UpperCopy(t_[j].text);
                ++j;
            }
            if (name.empty()) return std::nullopt;
            s.series = "COASTAL " + name;
            s.next = j;
            return s;
        }
        return std::nullopt;
    }

    struct NumberAt {
        int number = 0, year = 0;
        std::size_t next = 0;
    };

    // "1177/22", "031", "567/2022" at i.
    std::optional<NumberAt> WarningNumber(std::size_t i, int defaultYear) const {
        if (!IsNumber(i) || Dtg(i) || t_[i].text.size() > 5 || t_[i].value == 0) return std::nullopt;
        NumberAt n{static_cast<int>(t_[i].value), defaultYear, i + 1};
        if (IsMark(i + 1, '/') && Glued(i + 1) && IsNumber(i + 2) && Glued(i + 2) &&
            (t_[i + 2].text.size() == 2 || t_[i + 2].text.size() == 4)) {
            if (int y = Year(t_[i + 2].value)) n.year = y, n.next = i + 3;
        }
        return n;
    }

    void Header() {
        int linesSeen = 0;
        int lastLine = -1;
        for (std::size_t i = 0; i < t_.size() && linesSeen <= 3; ++i) {
            if (t_[i].line != lastLine) lastLine = t_[i].line, ++linesSeen;
            if (linesSeen > 3) break;
            if (t_[i].lineStart && Is(i, "ZCZC") && Navtex(i + 1)) return;
            std::optional<SeriesAt> s = Series(i);
            if (!s || (i > 0 && Is(i - 1, "CANCEL"))) continue;
            r_.series = s->series, r_.navarea = s->navarea, r_.metarea = s->metarea;
            r_.year = firstYear_;
            std::size_t end = s->next;
            while (end < t_.size() && SameLine(i, end)) ++end;
            for (std::size_t k = s->next; k + 1 < end; ++k) {
                if (Is(k, "IN") && Is(k + 1, "FORCE")) {
                    r_.kind = Kind::Bulletin;
                    bulletinHeaderEnd_ = end;
                    BulletinTime(k + 2, end);
                    return;
                }
            }
            // The number: at once for warning series, anywhere on the line for METAREA texts
            // ("METAREA III GALE WARNING 031").
            for (std::size_t k = s->next; k < end; ++k) {
                if (std::optional<NumberAt> n = WarningNumber(k, firstYear_)) {
                    r_.number = n->number, r_.year = n->year;
                    break;
                }
                if (Dtg(k)) ++k;
                if (!r_.metarea && !(Is(k, "NR") || Is(k, "NO") || Is(k, "WARNING") || Is(k, "MSG"))) break;
            }
            return;
        }
    }

    // "ZCZC AA84": transmitter and subject letters, then the number.
    bool Navtex(std::size_t i) {
        if (i >= t_.size() || t_[i].kind != T::Word) return false;
        std::string_view w = t_[i].text;
        if (w.size() != 4 || !Letter(w[0]) || !Letter(w[1]) || !Digit(w[2]) || !Digit(w[3])) return false;
        r_.series = "NAVTEX " + UpperCopy(w.substr(0, 2));
        r_.number = (w[2] - '0') * 10 + (w[3] - '0');
        r_.year = firstYear_;
        navtexSubject_ = Upper(w[1]);
        if (r_.number == 0) r_.number = 100;  // "00" is the hundredth of the cycle
        return true;
    }

    // ---- times ----
    // A moment written with some parts left out: the first one after the message was first heard.
    std::optional<std::int64_t> Moment(int day, int hour, int minute, int month, int year) const {
        if (day < 1 || day > 31 || hour > 23 || minute > 59 || month < 0 || month > 12) return std::nullopt;
        int y0, m0;
        CivilFromMs(first_, y0, m0);
        auto at = [&](int y, int m) -> std::optional<std::int64_t> {
            if (day > DaysIn(y, m)) return std::nullopt;
            return UtcMs(y, m, day, hour, minute);
        };
        if (year && month) return at(year, month);
        if (month) {
            for (int y = y0; y <= y0 + 8; ++y) {  // eight years always hold a 29 February
                std::optional<std::int64_t> t = at(y, month);
                if (t && *t > first_) return t;
            }
            return std::nullopt;
        }
        int y = y0, m = m0;
        for (int k = 0; k < 14; ++k) {
            std::optional<std::int64_t> t = at(y, m);
            if (t && *t > first_) return t;
            if (++m > 12) m = 1, ++y;
        }
        return std::nullopt;
    }

    // "181954Z NOV 22", "291535 UTC NOV 25", "041900 UTC JUN", "01 JUL 26" at i.
    std::optional<std::int64_t> TimeAt(std::size_t i) const {
        int day = 0, hour = 0, minute = 0;
        std::size_t j = i;
        if (IsNumber(i) && t_[i].text.size() == 6) {
            const long v = t_[i].value;
            day = static_cast<int>(v / 10000), hour = static_cast<int>(v / 100 % 100), minute = static_cast<int>(v % 100);
            j = i + 1;
            if (Is(j, "Z") || Is(j, "UTC") || Is(j, "GMT")) ++j;
        } else if (IsNumber(i) && t_[i].text.size() <= 2 && Month(i + 1)) {
            day = static_cast<int>(t_[i].value);
            j = i + 1;
        } else {
            return std::nullopt;
        }
        int month = Month(j), year = 0;
        if (month) {
            ++j;
            if (IsNumber(j) && (t_[j].text.size() == 2 || t_[j].text.size() == 4)) year = Year(t_[j].value);
        }
        return Moment(day, hour, minute, month, year);
    }

    void BulletinTime(std::size_t from, std::size_t end) {
        for (std::size_t k = from; k < end; ++k) {
            if (Dtg(k)) {
                // A bulletin looks back: a moment without month or year is taken from its first hearing.
                std::optional<std::int64_t> t = TimeAt(k);
                if (t) r_.bulletinMs = *t;
                break;
            }
        }
        if (!r_.bulletinMs) r_.bulletinMs = first_;
    }

    // ---- kind ----
    void KindOf() {
        if (r_.kind == Kind::Bulletin) return;
        bool piracy = false, sar = false, ice = false, met = false;
        for (std::size_t i = 0; i < t_.size(); ++i) {
            if (t_[i].kind != T::Word || t_[i].text.size() < 3 || t_[i].text.size() > 9) continue;
            char buffer[10] = {};
            for (std::size_t k = 0; k < t_[i].text.size(); ++k) buffer[k] = Upper(t_[i].text[k]);
            const std::string_view w(buffer, t_[i].text.size());
            if (w == "PIRACY" || w == "PIRATE" || w == "PIRATES" || w == "HIJACK" || w == "HIJACKED" ||
                (w == "ARMED" && Is(i + 1, "ROBBERY")))
                piracy = true;
            else if (w == "MAYDAY" || w == "SAR" || w == "MRCC" || w == "MRSC" || w == "JRCC" || w == "RCC" ||
                     w == "OVERDUE" || w == "OVERBOARD" || (w == "SEARCH" && Is(i + 1, "AND") && Is(i + 2, "RESCUE")))
                sar = true;
            else if (w == "ICE" || w == "ICEBERG" || w == "ICEBERGS" || w == "GROWLER" || w == "GROWLERS")
                ice = true;
            else if (w == "GALE" || w == "STORM" || w == "HURRICANE" || w == "TYPHOON" || w == "CYCLONE" ||
                     w == "FORECAST" || w == "SYNOPSIS")
                met = true;
        }
        if (navtexSubject_) {
            switch (navtexSubject_) {
                case 'A': case 'L': r_.kind = Kind::Nav; break;
                case 'B': case 'E': r_.kind = Kind::Met; break;
                case 'C': r_.kind = Kind::Ice; break;
                case 'D': r_.kind = piracy ? Kind::Piracy : Kind::Sar; break;
                default: r_.kind = Kind::Other; break;
            }
            return;
        }
        // What the text is about first; a METAREA text is weather unless it says otherwise.
        if (piracy) r_.kind = Kind::Piracy;
        else if (sar) r_.kind = Kind::Sar;
        else if (ice) r_.kind = Kind::Ice;
        else if (met || r_.metarea) r_.kind = Kind::Met;
        else if (!r_.series.empty()) r_.kind = Kind::Nav;
    }

    // ---- cancellations and expiry ----
    // "THIS MSG 181954Z NOV 22" (or MESSAGE, with or without AT) at i: the message's own end, the first one given.
    bool OwnEnd(std::size_t i) {
        if (!Is(i, "THIS") || !(Is(i + 1, "MSG") || Is(i + 1, "MESSAGE"))) return false;
        const std::size_t at = Is(i + 2, "AT") ? i + 3 : i + 2;
        if (!r_.expiresMs) r_.expiresMs = TimeAt(at);
        return true;
    }

    void Cancellations() {
        for (std::size_t i = 0; i < t_.size(); ++i) {
            if (!Is(i, "CANCEL")) continue;
            if (OwnEnd(i + 1)) continue;
            std::string series = r_.series;
            int year = r_.year ? r_.year : firstYear_;
            std::size_t j = i + 1;
            while (j < t_.size()) {
                if (std::optional<SeriesAt> s = Series(j)) series = s->series, j = s->next;
                while (Is(j, "WARNING") || Is(j, "WARNINGS") || Is(j, "NR") || Is(j, "NO") || Is(j, "MSG")) ++j;
                std::optional<NumberAt> n = WarningNumber(j, year);
                if (!n) break;
                year = n->year;
                if (!series.empty()) {
                    WarningKey k{series, n->number, n->year};
                    if (!(r_.numbered() && k == r_.key()) && seen_.insert(k).second) r_.cancels.push_back(std::move(k));
                }
                j = n->next;
                if (IsMark(j, ',') || IsMark(j, '&') || Is(j, "AND")) ++j;
                else break;
                if (OwnEnd(j)) break;  // "CANCEL HYDROLANT 1234/22 AND THIS MSG 201200Z NOV 22
            }
            i = j > i ? j - 1 : i;
        }
    }

    // ---- bulletin ----
    void BulletinLists() {
        int year = 0;
        for (std::size_t i = bulletinHeaderEnd_; i < t_.size(); ++i) {
            if (IsNumber(i) && t_[i].text.size() == 4 && Is(i + 1, "SERIES")) {
                year = Year(t_[i].value), ++i;
                continue;
            }
            if (Is(i, "SERIES") && IsNumber(i + 1) && t_[i + 1].text.size() == 4) {
                year = Year(t_[i + 1].value), ++i;
                continue;
            }
            if (std::size_t n = Dtg(i)) {
                i += n - 1;
                continue;
            }
            std::optional<NumberAt> n = WarningNumber(i, year);
            if (!n) continue;
            // "NO 2021 WARNINGS": a number followed by a word other than AND is no warning's.
            if (n->next < t_.size() && t_[n->next].kind == T::Word && !Is(n->next, "AND") && SameLine(i, n->next)) continue;
            if (n->year) {
                WarningKey k{r_.series, n->number, n->year};
                if (listed_.insert(k).second) r_.inForce.push_back(std::move(k));
            }
            i = n->next - 1;
        }
    }

    // ---- shapes ----
    enum class Mode { None, Area, Line, Circle };
    struct Item {
        std::vector<GeoPoint> points;
        Mode mode;
        double radius;
    };

    void Emit(const std::vector<GeoPoint>& points, Mode mode, double radius, std::size_t areaFrom) {
        if (points.empty()) return;
        if ((mode == Mode::Area && points.size() >= 3) || (mode == Mode::None && points.size() >= areaFrom)) {
            r_.shapes.push_back(Shape{ShapeKind::Area, points, 0});
        } else if (mode == Mode::Line && points.size() >= 2) {
            r_.shapes.push_back(Shape{ShapeKind::Line, points, 0});
        } else {
            for (const GeoPoint& p : points) {
                r_.shapes.push_back(mode == Mode::Circle ? Shape{ShapeKind::Circle, {p}, radius} : Shape{ShapeKind::Point, {p}, 0});
            }
        }
    }

    void FlushLoose() {
        Emit(loose_, mode_, radius_, SIZE_MAX);
        loose_.clear();
    }

    void CloseItem() {
        if (!itemOpen_) return;
        items_.push_back(Item{std::move(loose_), mode_, radius_});
        loose_.clear();
        itemOpen_ = false;
    }

    void FlushGroup() {
        CloseItem();
        if (!groupOpen_) return;
        bool singles = items_.size() >= 3;
        for (const Item& it : items_) singles = singles && it.points.size() == 1 && it.mode == groupMode_;
        if (singles && groupMode_ != Mode::Circle) {
            std::vector<GeoPoint> all;
            for (const Item& it : items_) all.push_back(it.points[0]);
            Emit(all, groupMode_ == Mode::None ? Mode::Area : groupMode_, radius_, 3);
        } else {
            for (const Item& it : items_) Emit(it.points, it.mode, it.radius, 3);
        }
        items_.clear();
        groupOpen_ = false;
        mode_ = Mode::None;
    }

    // "A." "B)" "(C)": a lettered item, where one can begin (a line's start, after a position or a colon).
    std::size_t LetterLabel(std::size_t i) const {
        std::size_t at = i;
        if (IsMark(i, '(') && i + 1 < t_.size()) at = i + 1;
        if (at >= t_.size() || t_[at].kind != T::Word || t_[at].text.size() != 1 || !Letter(t_[at].text[0])) return 0;
        if (!(IsMark(at + 1, '.') || IsMark(at + 1, ')')) || !Glued(at + 1)) return 0;
        if (at + 2 < t_.size() && !t_[at + 2].spaced) return 0;
        if (at != i && !IsMark(at + 1, ')')) return 0;
        const bool start = t_[i].lineStart;
        const bool afterPosition = i > 0 && (t_[i - 1].kind == T::Pos || IsMark(i - 1, ':') ||
                                             (IsMark(i - 1, ',') && i > 1 && t_[i - 2].kind == T::Pos));
        const bool byFirst = Upper(t_[at].text[0]) == 'A' &&
                             ((i > 0 && (Is(i - 1, "BY") || Is(i - 1, "OF") || Is(i - 1, "JOINING"))) ||
                              (at + 2 < t_.size() && t_[at + 2].kind == T::Pos));
        if (!start && !afterPosition && !byFirst) return 0;
        return at + 2 - i;
    }

    // "1." "2)" at a line's start.
    std::size_t NumberLabel(std::size_t i) const {
        if (!IsNumber(i) || !t_[i].lineStart || t_[i].value > 99 || t_[i].text.size() > 2) return 0;
        if (!(IsMark(i + 1, '.') || IsMark(i + 1, ')')) || !Glued(i + 1)) return 0;
        if (i + 2 < t_.size() && !t_[i + 2].spaced) return 0;
        return 2;
    }

    // "2.5" "0.5" "3" at i: its value and the tokens it takes.
    std::size_t Amount(std::size_t i, double& v) const {
        if (!IsNumber(i) || t_[i].text.size() > 5) return 0;
        v = static_cast<double>(t_[i].value);
        if (IsMark(i + 1, '.') && Glued(i + 1) && IsNumber(i + 2) && Glued(i + 2) && t_[i + 2].text.size() <= 4) {
            double f = static_cast<double>(t_[i + 2].value);
            for (std::size_t k = 0; k < t_[i + 2].text.size(); ++k) f /= 10;
            v += f;
            return 3;
        }
        return 1;
    }

    // Nautical miles per unit word at i, or 0.
    double Unit(std::size_t i, std::size_t& taken) const {
        taken = 1;
        if (Is(i, "NM") || Is(i, "NMI") || Is(i, "MILES") || Is(i, "MILE") || Is(i, "NMS")) return 1;
        if (Is(i, "NAUTICAL") && (Is(i + 1, "MILES") || Is(i + 1, "MILE"))) return taken = 2, 1;
        if (Is(i, "CABLES") || Is(i, "CABLE") || Is(i, "CBL")) return 0.1;
        if (Is(i, "KM") || Is(i, "KILOMETRES") || Is(i, "KILOMETERS")) return 1 / 1.852;
        if (Is(i, "METRES") || Is(i, "METERS") || Is(i, "M")) return 1 / 1852.0;
        return 0;
    }

    // A circle's radius from "WITHIN 2 MILES OF", "5 NM RADIUS OF", "RADIUS 3 NM CENTRED ON".
    bool Radius(std::size_t i, double& radius) const {
        double v = 0;
        std::size_t n, u;
        if (Is(i, "WITHIN") && (n = Amount(i + 1, v))) {
            const double unit = Unit(i + 1 + n, u);
            if (unit > 0 && Is(i + 1 + n + u, "OF")) return radius = v * unit, true;
        }
        if ((n = Amount(i, v)) && i > 0) {
            const double unit = Unit(i + n, u);
            if (unit > 0 && Is(i + n + u, "RADIUS")) return radius = v * unit, true;
        }
        if (Is(i, "RADIUS")) {
            std::size_t j = i + 1;
            if (Is(j, "OF")) ++j;
            if ((n = Amount(j, v))) {
                const double unit = Unit(j + n, u);
                if (unit > 0) return radius = v * unit, true;
            }
        }
        return false;
    }

    void Shapes() {
        for (std::size_t i = 0; i < t_.size(); ++i) {
            const Token& t = t_[i];
            if (t.kind == T::Pos) {
                if (groupOpen_ && !itemOpen_) FlushGroup();
                loose_.push_back(t.point);
                continue;
            }
            if (std::size_t n = NumberLabel(i)) {
                FlushGroup();
                FlushLoose();
                mode_ = Mode::None;
                i += n - 1;
                continue;
            }
            if (std::size_t n = LetterLabel(i)) {
                if (!groupOpen_) {
                    FlushLoose();
                    groupOpen_ = true, groupMode_ = mode_, groupRadius_ = radius_;
                }
                CloseItem();
                itemOpen_ = true;
                mode_ = groupMode_, radius_ = groupRadius_;
                i += n - 1;
                continue;
            }
            if (t.kind == T::Mark && (t.text[0] == '.' || t.text[0] == ';') && (i + 1 == t_.size() || t_[i + 1].spaced)) {
                if (groupOpen_) {
                    CloseItem();
                } else {
                    FlushLoose();
                    mode_ = Mode::None;
                }
                continue;
            }
            if (t.kind != T::Word && t.kind != T::Number) continue;
            Mode next = Mode::None;
            double radius = 0;
            if ((Is(i, "AREA") || Is(i, "AREAS")) &&
                ((Is(i + 1, "BOUND") || Is(i + 1, "BOUNDED") || Is(i + 1, "ENCLOSED")) && Is(i + 2, "BY"))) {
                next = Mode::Area;
            } else if (((Is(i, "TRACKLINE") || Is(i, "LINE") || Is(i, "LINES") || Is(i, "TRACKLINES")) && Is(i + 1, "JOINING")) ||
                       (Is(i, "BETWEEN") && i + 1 < t_.size() && t_[i + 1].kind == T::Pos)) {
                next = Mode::Line;
            } else if (Radius(i, radius) && radius > 0) {
                next = Mode::Circle;
            } else {
                continue;
            }
            if (groupOpen_ && !itemOpen_) FlushGroup();
            if (!groupOpen_) FlushLoose();
            mode_ = next;  // inside a lettered item, the item's own shape
            if (next == Mode::Circle) radius_ = radius;
        }
        FlushGroup();
        FlushLoose();
    }

    std::vector<Token> t_;
    std::int64_t first_;
    int firstYear_;
    Reading r_;
    char navtexSubject_ = 0;
    std::size_t bulletinHeaderEnd_ = 0;
    Mode mode_ = Mode::None, groupMode_ = Mode::None;
    double radius_ = 0, groupRadius_ = 0;
    std::vector<GeoPoint> loose_;
    std::vector<Item> items_;
    bool groupOpen_ = false, itemOpen_ = false;
    std::set<WarningKey> seen_, listed_;  // each key once, however long the list
};

}  // namespace

std::string_view KindName(Kind kind) {
    switch (kind) {
        case Kind::Nav: return "nav";
        case Kind::Met: return "met";
        case Kind::Sar: return "sar";
        case Kind::Piracy: return "piracy";
        case Kind::Ice: return "ice";
        case Kind::Bulletin: return "bulletin";
        case Kind::Other: return "other";
    }
    return "other";
}

std::size_t Reading::positionCount() const {
    std::size_t n = 0;
    for (const Shape& s : shapes) n += s.points.size();
    return n;
}

int AreaNumber(std::string_view word) {
    if (word.empty() || word.size() > 5) return 0;
    if (Digit(word[0])) {
        int v = 0;
        for (char c : word) {
            if (!Digit(c)) return 0;
            v = v * 10 + (c - '0');
        }
        return v >= 1 && v <= 21 ? v : 0;
    }
    const std::string w = UpperCopy(word);
    for (std::size_t i = 0; i < kRoman.size(); ++i) {
        if (kRoman[i] == w) return static_cast<int>(i) + 1;
    }
    return 0;
}

std::string_view Roman(int area) { return area >= 1 && area <= 21 ? kRoman[static_cast<std::size_t>(area - 1)] : ""; }

std::int64_t UtcMs(int year, int month, int day, int hour, int minute) {
    return ((DaysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60'000;
}

int YearOf(std::int64_t utcMs) {
    int y, m;
    CivilFromMs(utcMs, y, m);
    return y;
}

Reading Read(std::string_view text, std::int64_t firstHeardMs) { return Reader(text, firstHeardMs).Run(); }

}  // namespace warnings
