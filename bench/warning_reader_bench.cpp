// Message reader: read a 500-byte warning (target: at most 20 us per message), a plain message
// without positions, and the distance from a home position to a warning's shapes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "warnings/reader.h"

namespace {

// A typical warning: header, area, two lettered areas, a cancellation and an expiry.
const std::string kWarning =
    "NAVAREA IV 1177/22\n"
    "WESTERN NORTH ATLANTIC. FLORIDA.\n"
    "1. HAZARDOUS OPERATIONS, ROCKET LAUNCHING 181400Z TO 181800Z NOV IN AREAS BOUND BY:\n"
    "   A. 28-39.92N 080-38.33W, 28-40.00N 080-30.00W, 28-20.00N 080-30.00W, 28-19.50N 080-37.10W.\n"
    "   B. 28-10.0N 080-10.0W, 28-12.0N 080-00.0W, 28-00.0N 080-00.0W, 27-58.0N 080-09.0W.\n"
    "2. DEBRIS MAY FALL WITHIN 5 NM RADIUS OF 28-05.0N 079-50.0W. VESSELS KEEP CLEAR.\n"
    "   REPORTS TO NAVAREA IV.\n"
    "3. CANCEL NAVAREA IV 1165/22 AND 1170/22.\n"
    "4. CANCEL THIS MSG 181954Z NOV 22.\n";

const std::string kPlain =
    "MESSAGE TO ALL SHIPS IN THE AREA. THE PORT OF FALMOUTH WILL BE CLOSED TO TRAFFIC FOR MAINTENANCE OF THE\n"
    "OUTER BREAKWATER FROM MONDAY UNTIL FURTHER NOTICE. PILOTS REMAIN AVAILABLE ON CHANNEL 12 AND 16. VESSELS\n"
    "WISHING TO ENTER SHOULD CONTACT THE HARBOUR MASTER AT LEAST 24 HOURS IN ADVANCE, GIVING THEIR DRAUGHT,\n"
    "LENGTH AND EXPECTED TIME OF ARRIVAL. TUGS WILL BE ARRANGED AS NEEDED. NO FURTHER INFORMATION IS HELD\n"
    "AT PRESENT. THIS NOTICE WILL BE REPEATED DAILY AT 0800 AND 2000 UTC UNTIL THE WORKS END. MESSAGE ENDS.\n";

constexpr std::int64_t kHeard = 1668772800000;  // 2022-11-18T12:00:00Z

void BM_ReadWarning(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(warnings::Read(kWarning, kHeard));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kWarning.size()));
}
BENCHMARK(BM_ReadWarning);

void BM_ReadPlainMessage(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(warnings::Read(kPlain, kHeard));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPlain.size()));
}
BENCHMARK(BM_ReadPlainMessage);

void BM_DistanceToShapes(benchmark::State& state) {
    const warnings::Reading r = warnings::Read(kWarning, kHeard);
    for (auto _ : state) benchmark::DoNotOptimize(warnings::DistanceToShapesNm({50.37, -4.14}, r.shapes));
}
BENCHMARK(BM_DistanceToShapes);

}  // namespace

int main(int argc, char** argv) {
    const warnings::Reading r = warnings::Read(kWarning, kHeard);
    if (r.shapes.size() != 3 || r.cancels.size() != 2 || !r.expiresMs) {
        std::fprintf(stderr, "benchmark warning misread: %zu shapes, %zu cancellations\n", r.shapes.size(), r.cancels.size());
        return 1;
    }
    std::printf("warning: %zu bytes, %zu positions in %zu shapes\n", kWarning.size(), r.positionCount(), r.shapes.size());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
