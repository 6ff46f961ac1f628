// A small deterministic stand-in for libFuzzer's driver, for compilers without it: runs every corpus
// file given on the command line, then a seeded stream of generated inputs.
//
//   decoder_fuzz_run [-runs=N] [-seed=S] [-max_len=L] [corpus files or directories...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunFile(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

// Inputs that look like decoder output often enough to reach the interesting paths.
std::vector<std::uint8_t> Generate(std::mt19937_64& rng, std::size_t maxLen) {
    static const std::string_view pieces[] = {"L2", "L0", "L5", "L6", "1210042", "frequency:", "frequency: ",
                                              "1200.0", "1e3", "-5", ".", "nan", "\n", "\\", "\""};
    std::vector<std::uint8_t> out;
    std::size_t len = rng() % (maxLen + 1);
    out.push_back(static_cast<std::uint8_t>(rng()));
    while (out.size() < len) {
        switch (rng() % 6) {
            case 0: out.push_back(0); break;
            case 1: {
                auto p = pieces[rng() % std::size(pieces)];
                out.insert(out.end(), p.begin(), p.end());
                break;
            }
            case 2: out.insert(out.end(), 1 + rng() % 1100, static_cast<std::uint8_t>('a' + rng() % 3)); break;
            default: out.push_back(static_cast<std::uint8_t>(rng())); break;
        }
    }
    if (out.size() > len && len > 0) out.resize(len);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 10000;
    unsigned long long seed = 1;
    std::size_t maxLen = 4096;
    std::size_t files = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a.rfind("-runs=", 0) == 0) {
            runs = std::strtol(argv[i] + 6, nullptr, 10);
        } else if (a.rfind("-seed=", 0) == 0) {
            seed = std::strtoull(argv[i] + 6, nullptr, 10);
        } else if (a.rfind("-max_len=", 0) == 0) {
            maxLen = std::strtoull(argv[i] + 9, nullptr, 10);
        } else if (std::filesystem::is_directory(a)) {
            for (const auto& e : std::filesystem::directory_iterator(a)) {
                if (e.is_regular_file()) {
                    RunFile(e.path());
                    ++files;
                }
            }
        } else {
            RunFile(a);
            ++files;
        }
    }
    std::mt19937_64 rng(seed);
    for (long i = 0; i < runs; ++i) {
        auto input = Generate(rng, maxLen);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("decoder fuzz: %zu corpus files, %ld generated inputs (seed %llu), no fault\n", files, runs, seed);
    return 0;
}
