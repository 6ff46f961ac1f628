// The fuzz targets' shared stand-in for libFuzzer's driver, for compilers without it: every corpus file
// given on the command line, then a seeded stream of generated inputs. Deterministic for a seed.
//
//   <program> [-runs=N] [-seed=S] [-max_len=L] [corpus files or directories...]
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz_support {

inline void RunInput(const std::string& s) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

struct SeededRun {
    long runs = 0;
    unsigned long long seed = 1;
    std::size_t files = 0;
};

// Runs the corpus named on the command line, then `runs` inputs (default `defaultRuns`) made by
// `generate` from one seeded generator; `generate` gets the -max_len bound (default 4096).
inline SeededRun RunSeeded(int argc, char** argv, long defaultRuns,
                           const std::function<std::string(std::mt19937_64&, std::size_t maxLen)>& generate) {
    SeededRun run;
    run.runs = defaultRuns;
    std::size_t maxLen = 4096;
    auto runFile = [&](const std::filesystem::path& path) {
        std::ifstream f(path, std::ios::binary);
        RunInput(std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
        ++run.files;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a.rfind("-runs=", 0) == 0) {
            run.runs = std::strtol(argv[i] + 6, nullptr, 10);
        } else if (a.rfind("-seed=", 0) == 0) {
            run.seed = std::strtoull(argv[i] + 6, nullptr, 10);
        } else if (a.rfind("-max_len=", 0) == 0) {
            maxLen = std::strtoull(argv[i] + 9, nullptr, 10);
        } else if (std::filesystem::is_directory(a)) {
            for (const auto& e : std::filesystem::directory_iterator(a))
                if (e.is_regular_file()) runFile(e.path());
        } else {
            runFile(a);
        }
    }
    std::mt19937_64 rng(run.seed);
    for (long i = 0; i < run.runs; ++i) RunInput(generate(rng, maxLen));
    return run;
}

}  // namespace fuzz_support
