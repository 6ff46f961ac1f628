// The decoder fuzz target's inputs for the seeded driver: bytes that look like decoder output often
// enough to reach the interesting paths.
//
//   decoder_fuzz_run [-runs=N] [-seed=S] [-max_len=L] [corpus files or directories...]
#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz_support/seeded_driver.h"

namespace {

std::string Generate(std::mt19937_64& rng, std::size_t maxLen) {
    static const std::string_view pieces[] = {"L2", "L0", "L5", "L6", "1210042", "frequency:", "frequency: ",
                                              "1200.0", "1e3", "-5", ".", "nan", "\n", "\\", "\""};
    const std::size_t len = rng() % (maxLen + 1);
    std::string out(1, static_cast<char>(rng()));
    while (out.size() < len) {
        switch (rng() % 6) {
        case 0: out.push_back('\0'); break;
        case 1: out += pieces[rng() % std::size(pieces)]; break;
        case 2: out.insert(out.end(), 1 + rng() % 1100, static_cast<char>('a' + rng() % 3)); break;
        default: out.push_back(static_cast<char>(rng())); break;
        }
    }
    if (out.size() > len && len > 0) out.resize(len);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const fuzz_support::SeededRun run = fuzz_support::RunSeeded(argc, argv, 10000, Generate);
    std::printf("decoder fuzz: %zu corpus files, %ld generated inputs (seed %llu), no fault\n", run.files, run.runs,
                run.seed);
}
