// Filter language: parse and compile a 200-character expression to SQL (target: at most 20 us), and
// test one message in memory with the parsed tree.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "messages/filter.h"
#include "messages/text_fold.h"

namespace {

// Every kind of term: ages, numbers, priority, dates, text with and without the index, grouping.
const std::string kExpression =
    "(age_day<1 | age_hour<=12.5) & les=121 & !(frame>=1000 & frame<2000) & priority>=safety | "
    "text~\"GALE WARNING\" & copies>1 & len<500 | time>=2026-12-06T14:00 & not \"MAYDAY\" & les!=\"112\" | age_min < 90.5";

const std::int64_t kNow = 1796644800000;

messages::Filter ParseOrDie() {
    messages::Filter f;
    messages::FilterError e;
    if (!messages::Filter::Parse(kExpression, f, e)) {
        std::fprintf(stderr, "benchmark expression refused: %s\n", e.message.c_str());
        std::abort();
    }
    return f;
}

void BM_ParseAndCompile(benchmark::State& state) {
    for (auto _ : state) {
        messages::Filter f;
        messages::FilterError e;
        bool ok = messages::Filter::Parse(kExpression, f, e);
        messages::FilterSql sql = f.ToSql(kNow);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(sql.where.data());
    }
    state.counters["characters"] = static_cast<double>(messages::CharacterCount(kExpression));
}
BENCHMARK(BM_ParseAndCompile);

void BM_ParseOnly(benchmark::State& state) {
    for (auto _ : state) {
        messages::Filter f;
        messages::FilterError e;
        benchmark::DoNotOptimize(messages::Filter::Parse(kExpression, f, e));
    }
}
BENCHMARK(BM_ParseOnly);

void BM_MatchOneMessage(benchmark::State& state) {
    messages::Filter f = ParseOrDie();
    messages::MessageRow m;
    m.firstHeardMs = kNow - 7'200'000;
    m.lastHeardMs = kNow - 3'600'000;
    m.les = 121;
    m.frame = 2500;
    m.priority = messages::Priority::Routine;
    m.copies = 2;
    m.text = "WEATHER BULLETIN FOR AREA 1\nGALE WARNING in effect for the North Sea until 1800 UTC, seas rough";
    m.length = messages::CharacterCount(m.text);
    for (auto _ : state) benchmark::DoNotOptimize(f.Matches(m, kNow));
}
BENCHMARK(BM_MatchOneMessage);

}  // namespace

BENCHMARK_MAIN();
