// A small deterministic stand-in for libFuzzer's driver: runs the corpus files given on the command
// line, then a seeded stream of texts built from pieces of warnings (and noise).
//
//   warning_reader_fuzz_run [-runs=N] [-seed=S] [corpus files or directories...]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" void ReaderFuzzCounts(long& inputs, long& positions);

namespace {

void Run(const std::string& s) { LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }

void RunFile(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    Run(std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
}

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
    long runs = 3000;
    unsigned long long seed = 1;
    std::size_t files = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a.rfind("-runs=", 0) == 0) {
            runs = std::strtol(argv[i] + 6, nullptr, 10);
        } else if (a.rfind("-seed=", 0) == 0) {
            seed = std::strtoull(argv[i] + 6, nullptr, 10);
        } else if (std::filesystem::is_directory(a)) {
            for (const auto& e : std::filesystem::directory_iterator(a)) {
                if (e.is_regular_file()) RunFile(e.path()), ++files;
            }
        } else {
            RunFile(a), ++files;
        }
    }
    std::mt19937_64 rng(seed);
    for (long i = 0; i < runs; ++i) Run(Generate(rng));
    long inputs = 0, positions = 0;
    ReaderFuzzCounts(inputs, positions);
    std::printf("warning reader fuzz: %zu corpus files, %ld generated texts (seed %llu): %ld read, %ld positions, no fault\n",
                files, runs, seed, inputs, positions);
    return 0;
}
