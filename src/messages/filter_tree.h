// The filter's parsed form: nodes and terms, and each term lowered to integer tests on stored columns.
//
// Lowering is shared by the SQL and the in-memory runs, so the two only differ in how they compare
// text, and both fold case the same way (text_fold.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "warnings/position.h"

namespace messages {
class Filter;
}

namespace messages::filter_tree {

enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Contains };
enum class Field {
    AgeDay, AgeHour, AgeMin, Les, Frame, Priority, Copies, Len, Text, Time,
    // From the message's reading (warning_rows): a message without the field fails every comparison.
    Series, Navarea, Metarea, Number, Year, Kind, State, Positions, Dist,
    Unread,  // 1 until the user has seen the message (selected it, or marked all read), then 0
    Alerted  // 1 for a message that raised an alert, else 0
};
enum class NodeKind { All, Or, And, Not, Leaf };

struct Node {
    NodeKind kind = NodeKind::All;
    std::vector<std::uint32_t> children;  // Or, And: two or more; Not: one
    std::uint32_t term = 0;               // Leaf
};

struct Term {
    Field field = Field::Les;
    Op op = Op::Eq;
    double number = 0.0;     // numbers and ages as typed; priority as its stored number (op mirrored)
    std::int64_t from = 0;   // time: the date or minute typed is [from, to) in UTC milliseconds
    std::int64_t to = 0;
    std::string text;        // text: as typed for = and !=, folded for ~; series, kind, state: normalised
    double homeLat = 0;      // dist: the home position it counts from
    double homeLon = 0;
};

// Integer columns that terms read: of message_rows, then of warning_rows (reading columns).
enum class Column { FirstHeard, LastHeard, Les, Frame, Priority, Copies, Len, Unread, Alerted, Navarea, Metarea, Number, Year, Positions };

inline bool ReadingColumn(Column c) { return c >= Column::Navarea; }

// One integer comparison `column op value`, or a constant.
struct IntTest {
    enum Kind { Compare, Always, Never } kind = Always;
    Column column = Column::Les;
    Op op = Op::Eq;
    std::int64_t value = 0;
};

// A non-text term as one test, or two joined by and / or.
struct Lowered {
    enum Join { One, And, Or } join = One;
    IntTest a, b;
};

Lowered Lower(const Term& term, std::int64_t nowMs);

// Folded needles of this many characters or more are narrowed with the trigram index first.
inline constexpr std::int64_t kTrigramMinCharacters = 3;

// Fills a Filter (parser side).
class Builder {
public:
    explicit Builder(Filter& f);
    std::uint32_t Add(Node node);
    std::uint32_t AddTerm(Term term);
    void SetRoot(std::uint32_t root);

private:
    Filter& f_;
};

}  // namespace messages::filter_tree
