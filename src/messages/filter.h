// The messages pane's filter language: parsed once into a tree that runs either as SQL on the schema
// (bound parameters only) or in memory on one MessageRow, with the same answer.
//
//   (age_day<1) & les=121          priority>=urgency | text~"MAYDAY"
//   !(les=112) & frame>=1000 & frame<2000          "GALE WARNING" & age_hour<12
//
//   kind=nav & state=inforce & dist<100          series="NAVAREA IV" & year=2022 & number>=1100
//
// An `or` (| or the word or) of `and`s (& or and) of terms; ! or not negates; parentheses group.
// A term is `field operator value` or a quoted string alone (the text contains it). Fields, values and
// limits are listed in README.md ("Filter language"). Input is UTF-8; columns count characters, from 1.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "messages/filter_tree.h"
#include "messages/schema.h"
#include "messages/sqlite_db.h"
#include "warnings/position.h"

namespace messages {

inline constexpr std::size_t kFilterMaxCharacters = 4000;
inline constexpr int kFilterMaxNesting = 64;  // parentheses and negations, counted together
inline constexpr int kFilterMaxTerms = 256;

// What is wrong and where: the bad part is characters [column, endColumn) (1-based; an empty range
// at length+1 means "at the end"), ready to be selected in an edit control.
struct FilterError {
    std::string message;  // e.g. "unknown field 'lse' at column 15 (fields: age_day, ...)"
    int column = 0;
    int endColumn = 0;
};

// What a filter may refer to besides the message: the station's home position (the settings'
// "Home position"), which `dist` counts from. Without one, a `dist` term is an error.
struct FilterContext {
    std::optional<warnings::GeoPoint> home;
};

// A WHERE clause over message_rows under the name `m`, and its parameters in order (one per '?').
struct FilterSql {
    std::string where;
    std::vector<std::variant<std::int64_t, std::string, double>> params;

    // Binds the parameters to `s` from index `first` on.
    void BindTo(Statement& s, int first = 1) const;
};

class Filter {
public:
    // The filter that lets every message through (also what an empty or blank expression gives).
    Filter();

    // Parses `expression`; false with `error` filled when it is not a filter.
    static bool Parse(std::string_view expression, Filter& out, FilterError& error, const FilterContext& context = {});

    // Does the message pass? `nowMs` (UTC milliseconds) is what ages are counted from.
    bool Matches(const MessageRow& message, std::int64_t nowMs) const;

    // How "contains" tests of three characters or more and tests of the reading are written: as lists
    // gathered by the trigram index and the readings' own indexes (best when few messages pass: the
    // whole list of those that do is read first), or as tests of each message on its own, its text and
    // its reading looked up by its id (best when many pass and only the first few in the list's order
    // are wanted).
    enum class Lookup { Lists, EachMessage };

    // The same test as SQL, with `nowMs` turned into bound values.
    FilterSql ToSql(std::int64_t nowMs, Lookup lookup = Lookup::Lists) const;

    // True when some "contains" test would use the trigram index.
    bool usesTextIndex() const;

    bool matchesEverything() const noexcept { return nodes_[root_].kind == filter_tree::NodeKind::All; }

private:
    friend class filter_tree::Builder;
    std::vector<filter_tree::Node> nodes_;
    std::vector<filter_tree::Term> terms_;
    std::uint32_t root_ = 0;
};

// Registers on `db` the SQL function that `dist` terms call (vastrel_distance_nm(shapes, lat, lon)):
// every connection that runs a filter's SQL needs it. The views never use it.
void RegisterFilterFunctions(Database& db);

// Ids of the messages in `db` that pass `filter`, in id order (registers the functions itself).
std::vector<std::int64_t> MatchingMessageIds(Database& db, const Filter& filter, std::int64_t nowMs,
                                             Filter::Lookup lookup = Filter::Lookup::Lists);

}  // namespace messages
