// The filter fuzz target's inputs for the seeded driver: expressions built from the language's own
// pieces (and some noise).
//
//   filter_fuzz_run [-runs=N] [-seed=S] [corpus files or directories...]
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support/seeded_driver.h"

extern "C" void FilterFuzzCounts(long& accepted, long& refused);

namespace {

// Mostly well-formed terms (the field's own operators and values), so that the SQL and in-memory runs
// get exercised, with a little of everything else mixed in.
std::string Generate(std::mt19937_64& rng) {
    struct Kind {
        std::vector<std::string_view> fields, ops, values;
    };
    static const Kind kinds[] = {
        {{"age_day", "age_hour", "AGE_MIN"}, {"=", "!=", "<", "<=", ">", ">="}, {"0", "1", "1.5", "-1", "0.1", "48", "1e15", "90.25"}},
        {{"les", "frame", "copies", "len"}, {"=", "!=", "<", "<=", ">", ">="}, {"0", "5", "121", "1999.5", "1e3", "\"112\"", "-5", "9999"}},
        {{"priority", "Priority"}, {"=", "!=", "<", "<=", ">", ">="}, {"distress", "urgency", "SAFETY", "routine"}},
        {{"time"}, {"=", "!=", "<", "<=", ">", ">="}, {"2026-12-06", "2026-12-07T11:59", "1970-01-01", "2026-12-06T14:00:30Z", "\"2026-12-01\""}},
        {{"series"}, {"=", "!=", "~"}, {"\"NAVAREA IV\"", "\"navarea 4\"", "HYDROLANT", "area", "\"\"", "\"METAREA III\""}},
        {{"navarea", "metarea"}, {"=", "!=", "<", ">="}, {"IV", "iii", "4", "3", "21", "0", "2.5", "XXII"}},
        {{"number", "year", "positions"}, {"=", "!=", "<", "<=", ">", ">="}, {"0", "1", "31", "1177", "2026", "3.5", "-1"}},
        {{"kind"}, {"=", "!="}, {"nav", "met", "SAR", "bulletin", "other", "boat"}},
        {{"state"}, {"=", "!="}, {"inforce", "cancelled", "expired", "none", "dropped", "gone"}},
        {{"dist", "DIST"}, {"=", "!=", "<", "<=", ">", ">="}, {"0", "1", "25.5", "100", "5000", "-1", "1e15"}},
        {{"text"}, {"=", "!=", "~"}, {"ok", "\"\"", "\"gale warning\"", "\"\\\"\"", "\"\\\\\"", "a", "aaa", "GALE", "\xE2\x82\xAC", "\"URGENT gale\"", "\"%_\"", "mayday", "\"12N034E\""}},
    };
    static const std::string_view strings[] = {"\"gale\"", "\"a\"", "\"aAa\"", "\"\"", "\"ok\"", "\"\\\"\"", "\"\xE2\x82\xAC 12\""};
    static const std::string_view glue[] = {" & ", " | ", " and ", " or ", "&", "|", " AND "};
    static const std::string_view noise[] = {"(", ")", "!", "not ", "\"", "\\", "\xC3", "\xE2\x82\xAC", "\t", "==", "lse=1", "~", " "};
    auto pick = [&](const auto& list) { return list[rng() % std::size(list)]; };
    std::string out;
    int terms = 1 + static_cast<int>(rng() % 10);
    int open = 0;
    for (int t = 0; t < terms; ++t) {
        if (t) out += pick(glue);
        while (rng() % 4 == 0) {
            out += rng() % 3 ? "(" : (rng() % 2 ? "!" : "not ");
            if (out.back() == '(') ++open;
        }
        if (rng() % 6 == 0) {
            out += pick(strings);
        } else {
            const Kind& k = pick(kinds);
            out += pick(k.fields);
            out += rng() % 3 ? "" : " ";
            out += rng() % 40 ? pick(k.ops) : std::string_view("~");
            out += rng() % 3 ? "" : " ";
            out += rng() % 40 ? pick(k.values) : pick(pick(kinds).values);
        }
        while (open > 0 && rng() % 3 == 0) out += ")", --open;
        if (rng() % 40 == 0) out += pick(noise);
    }
    while (open > 0 && rng() % 20 != 0) out += ")", --open;
    if (rng() % 30 == 0 && !out.empty()) out[rng() % out.size()] = static_cast<char>(rng());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const fuzz_support::SeededRun run =
        fuzz_support::RunSeeded(argc, argv, 3000, [](std::mt19937_64& rng, std::size_t) { return Generate(rng); });
    long accepted = 0, refused = 0;
    FilterFuzzCounts(accepted, refused);
    std::printf("filter fuzz: %zu corpus files, %ld generated expressions (seed %llu): %ld accepted, %ld refused, "
                "no fault\n", run.files, run.runs, run.seed, accepted, refused);
    return 0;
}
