// The reader fuzz target's seeded driver, texts built from pieces of warnings (and noise):
//   warning_reader_fuzz_run [-runs=N] [-seed=S] [corpus files or directories...]
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support/seeded_driver.h"

extern "C" void ReaderFuzzCounts(long& inputs, long& positions);

namespace {

std::string Generate(std::mt19937_64& rng) {
    static const std::string_view pieces[] = {
        "NAVAREA IV 1177/22\n", "NAVAREA XX 158/25 ", "METAREA III GALE WARNING 031\n", "HYDROLANT 1234/22(55).\n",
        "COASTAL WARNING NOVOROSSIYSK 283\n", "ZCZC AA84\n", "181130 UTC NOV 22\n", "NNNN", "1. ", "2. ", "A. ", "B. ",
        "(C) ", "AREA BOUNDED BY ", "AREAS BOUND BY:\n", "WITHIN 2 MILES OF ", "5 NM RADIUS OF ", "RADIUS 3 NM CENTRED ON ",
        "TRACKLINE JOINING ", "LINE JOINING ", "BETWEEN ", " AND ", ", ", ". ", ".\n", ":\n", "; ",
        "28-39.92N 080-38.33W", "70-47-00N 046-22-00E", "2839N08038W", "28 39.9N 080 38.3W", "28N 080W",
        "91-00N 010-00W", "45-60N", "28\xb0" "39.9'N 080\xb0" "38.3'W", "12.5", "181954Z", "061400 UTC", "NOV", "22",
        "CANCEL NAVAREA IV 1165/22", "CANCEL THIS MSG 181954Z NOV 22", "CANCEL THIS MESSAGE 041900 UTC JUN",
        "CANCEL THIS MSG 01 JUL 26", "CANCEL 301/22", "WARNINGS IN FORCE AT 221000 UTC APR 22:\n", "2021 SERIES: 031, 033.\n",
        "MAYDAY RELAY ", "PIRACY ", "ICEBERG ", "SAR ", "MRCC ", "\x00", "\xff", "-", "/", "9999999999", "0", "\n",
    };
    std::string out;
    const int n = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) {
        if (rng() % 12 == 0) {
            out += static_cast<char>(rng());
        } else {
            out += pieces[rng() % std::size(pieces)];
        }
    }
    if (rng() % 20 == 0 && !out.empty()) out[rng() % out.size()] = static_cast<char>(rng());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const fuzz_support::SeededRun run =
        fuzz_support::RunSeeded(argc, argv, 3000, [](std::mt19937_64& rng, std::size_t) { return Generate(rng); });
    long inputs = 0, positions = 0;
    ReaderFuzzCounts(inputs, positions);
    std::printf("warning reader fuzz: %zu corpus files, %ld generated texts (seed %llu): %ld read, %ld positions, no fault\n",
                run.files, run.runs, run.seed, inputs, positions);
    return 0;
}
