// Per-frame cost of the analyser against the same steps built on FFTW's real-input transform.
//
// Whole frame: window 16384 samples, transform, log level per bin, running average, 700 columns.
// Transform alone: the power spectrum |X[b]|^2 of a windowed frame (ours: RealFftPlan::Power,
// FFTW: r2c with FFTW_MEASURE plus the squared magnitudes).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "audio/real_fft.h"
#include "audio/spectrum_simd.h"
#include "audio/xfft.h"

namespace {

constexpr int kN = 16384;
constexpr int kBins = kN / 2;
constexpr int kColumns = 700;
constexpr int kHeight = 150;
constexpr double kRate = 48000.0;

std::vector<std::int16_t> TestFrame() {
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> noise(-2000.0, 2000.0);
    std::vector<std::int16_t> s(kN);
    for (int i = 0; i < kN; ++i)
        s[i] = static_cast<std::int16_t>(noise(gen) + 20000.0 * std::sin(0.37 * i) + 5000.0 * std::sin(1.9 * i));
    return s;
}

// The FFTW pipeline: the analyser's steps written plainly on top of fftw_plan_dft_r2c_1d.
struct FftwPipeline {
    double* in = fftw_alloc_real(kN);
    fftw_complex* out = fftw_alloc_complex(kN / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(kN, in, out, FFTW_MEASURE);
    std::vector<double> window = std::vector<double>(kN), averages = std::vector<double>(kBins),
                        sums = std::vector<double>(kBins), power = std::vector<double>(kBins);
    std::vector<int> columnOf = std::vector<int>(kBins);
    double floorPower, levelOffset;
    int framesTotal = 0, framesInAverage = 0, length = 10;
    bool fastLog = false;  // use the analyser's logarithm instead of std::log10

    FftwPipeline() {
        const double offsetDb = -20.0 * std::log10(kN * 32767.0 / 4.0);
        levelOffset = offsetDb / 10.0;
        floorPower = std::pow(10.0, (-140.0 - offsetDb) / 10.0);
        const double twoPi = 8.0 * std::atan(1.0);
        for (int i = 0; i < kN; ++i) window[i] = 0.5 - 0.5 * std::cos(twoPi * i / (kN - 1));
        for (int b = 0; b < kBins; ++b) columnOf[b] = static_cast<int>(static_cast<long long>(b) * kColumns / kBins);
    }
    ~FftwPipeline() {
        fftw_destroy_plan(plan);
        fftw_free(out);
        fftw_free(in);
    }
    void Load(const std::int16_t* s) {
        for (int i = 0; i < kN; ++i) in[i] = s[i] * window[i];
    }
    void Transform() {
        fftw_execute(plan);
        for (int b = 0; b < kBins; ++b) power[b] = out[b][0] * out[b][0] + out[b][1] * out[b][1];
    }
    void Levels(int* levels) {
        ++framesTotal;
        if (framesInAverage < length) ++framesInAverage;
        const bool replacing = framesTotal > length;
        const double scale = 1.0 / framesInAverage;
        if (fastLog) {
            for (int b = 0; b < kBins; b += 2) {
                const spectrum::Pair p = spectrum::Log10(spectrum::Load(&power[b]) + spectrum::Splat(floorPower)) +
                                         spectrum::Splat(levelOffset);
                double level[2];
                spectrum::Store(level, p);
                for (int k = 0; k < 2; ++k) {
                    sums[b + k] = replacing ? sums[b + k] - averages[b + k] + level[k] : sums[b + k] + level[k];
                    averages[b + k] = sums[b + k] * scale;
                }
            }
        } else {
            for (int b = 0; b < kBins; ++b) {
                const double level = std::log10(power[b] + floorPower) + levelOffset;
                sums[b] = replacing ? sums[b] - averages[b] + level : sums[b] + level;
                averages[b] = sums[b] * scale;
            }
        }
        const double s = -10.0 / (-80.0 - 0.0), f = -80.0 / 10.0;
        int current = -1;
        for (int b = 0; b < kBins; ++b) {
            double v = kHeight * s * (averages[b] - f);
            const int level = v > 0.0 ? (v >= kHeight ? kHeight : static_cast<int>(v)) : 0;
            if (columnOf[b] != current) {
                current = columnOf[b];
                levels[current] = level;
            } else if (level < levels[current]) {
                levels[current] = level;
            }
        }
    }
};

FftwPipeline& Fftw() {
    static FftwPipeline p;
    return p;
}

void BM_OursWholeFrame(benchmark::State& state) {
    const auto frame = TestFrame();
    Cxfft fft;
    fft.Setup(kN, 10, kRate);
    std::vector<int> levels(kColumns + 1);
    for (auto _ : state) {
        fft.LoadFrame(frame.data(), kN);
        fft.ComputeColumns(kHeight, kColumns, -80.0, 0.0, 0, 24000, levels.data());
        benchmark::DoNotOptimize(levels.data());
    }
}

void FftwWholeFrame(benchmark::State& state, bool fastLog) {
    const auto frame = TestFrame();
    FftwPipeline& p = Fftw();
    p.fastLog = fastLog;
    std::vector<int> levels(kColumns + 1);
    for (auto _ : state) {
        p.Load(frame.data());
        p.Transform();
        p.Levels(levels.data());
        benchmark::DoNotOptimize(levels.data());
    }
}
void BM_FftwWholeFrame(benchmark::State& state) { FftwWholeFrame(state, false); }
void BM_FftwWholeFrameFastLog(benchmark::State& state) { FftwWholeFrame(state, true); }

// Both transforms start from the same windowed frame, restored before each run (ours works in place).
void BM_OursTransform(benchmark::State& state) {
    const auto frame = TestFrame();
    spectrum::RealFftPlan plan;
    plan.Build(kN);
    std::vector<double> input(kN), work(kN), power(kBins);
    for (int m = 0; m < kBins; ++m) {
        input[m] = frame[2 * m] * Fftw().window[2 * m];
        input[kBins + m] = frame[2 * m + 1] * Fftw().window[2 * m + 1];
    }
    for (auto _ : state) {
        std::memcpy(work.data(), input.data(), kN * sizeof(double));
        plan.Power(work.data(), work.data() + kBins, power.data());
        benchmark::DoNotOptimize(power.data());
    }
}

void BM_FftwTransform(benchmark::State& state) {
    const auto frame = TestFrame();
    FftwPipeline& p = Fftw();
    std::vector<double> input(kN);
    for (int i = 0; i < kN; ++i) input[i] = frame[i] * p.window[i];
    for (auto _ : state) {
        std::memcpy(p.in, input.data(), kN * sizeof(double));
        p.Transform();
        benchmark::DoNotOptimize(p.power.data());
    }
}

BENCHMARK(BM_OursWholeFrame);
BENCHMARK(BM_FftwWholeFrame);
BENCHMARK(BM_FftwWholeFrameFastLog);
BENCHMARK(BM_OursTransform);
BENCHMARK(BM_FftwTransform);

// Keeps each benchmark's CPU time per iteration so the ratios can be printed after the run. CPU
// time rather than wall time: the build machine is shared, and both pipelines run on one thread.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions the median stands for the benchmark.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((run.run_type == Run::RT_Iteration && run.iterations > 0 && !medians.count(run.run_name.function_name)) ||
                median)
                nsPerIteration[run.run_name.function_name] = run.GetAdjustedCPUTime();
            if (median) medians[run.run_name.function_name] = true;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nsPerIteration;
    std::map<std::string, bool> medians;
};

// The two pipelines must agree: largest difference of the averaged levels after a few frames.
double LargestLevelDifferenceDb() {
    const auto frame = TestFrame();
    Cxfft fft;
    fft.Setup(kN, 10, kRate);
    FftwPipeline p;
    std::vector<int> levels(kColumns + 1);
    for (int k = 0; k < 3; ++k) {
        fft.LoadFrame(frame.data(), kN);
        fft.ComputeColumns(kHeight, kColumns, -80.0, 0.0, 0, 24000, levels.data());
        p.Load(frame.data());
        p.Transform();
        p.Levels(levels.data());
    }
    double worst = 0.0;
    for (int b = 0; b < kBins; ++b) worst = std::max(worst, std::fabs(fft.LevelDb(b) - 10.0 * p.averages[b]));
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.nsPerIteration;
    auto ratio = [&](const char* a, const char* b) {
        return t.count(a) && t.count(b) && t[b] > 0 ? t[a] / t[b] : 0.0;
    };
    std::printf("\nN = %d, %d columns, averaging 10 (ratios of CPU time per frame)\n", kN, kColumns);
    std::printf("whole frame, ours / FFTW (std::log10):       %.2fx\n", ratio("BM_OursWholeFrame", "BM_FftwWholeFrame"));
    std::printf("whole frame, ours / FFTW (our logarithm):    %.2fx\n",
                ratio("BM_OursWholeFrame", "BM_FftwWholeFrameFastLog"));
    std::printf("transform alone, ours / FFTW:                %.2fx\n", ratio("BM_OursTransform", "BM_FftwTransform"));
    if (t.count("BM_OursWholeFrame") && t["BM_OursWholeFrame"] > 0) {
        const double framesPerSecond = 1e9 / t["BM_OursWholeFrame"];
        const double needed = 192000.0 / 4096.0;
        std::printf("frames per second (one core):                %.0f = %.0fx real time at 192000 Hz, hop 4096\n",
                    framesPerSecond, framesPerSecond / needed);
    }
    std::printf("largest level difference ours vs FFTW:       %.3g dB\n", LargestLevelDifferenceDb());
    benchmark::Shutdown();
    return 0;
}
