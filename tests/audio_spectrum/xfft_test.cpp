// The analyser: set-up, levels of single frames against a plain DFT, column maps and averaging.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "audio/spectrum_simd.h"
#include "audio/xfft.h"
#include "spectrum_test_signals.h"

using spectrum_test::NoisePlusSines;

namespace {

// The column height of a bin, from the analyser's own averaged level, over -80..0 dB.
int LevelOf(Cxfft& fft, int bin, int height) {
    const double v = height * 0.125 * (fft.AverageBels(bin) + 8.0);
    return !(v > 0.0) ? 0 : v >= height ? height : static_cast<int>(v);
}

// Loads and analyses one frame; the levels of `columns` columns over -80..0 dB, and one past them.
std::vector<int> Frame(Cxfft& fft, const std::vector<std::int16_t>& s, int height = 150, int columns = 700,
                       int startHz = 0, int endHz = 24000) {
    std::vector<int> levels(columns + 1, -1);
    EXPECT_TRUE(fft.LoadFrame(s.data(), static_cast<int>(s.size())));
    EXPECT_TRUE(fft.ComputeColumns(height, columns, -80.0, 0.0, startHz, endHz, levels.data()));
    return levels;
}

TEST(XfftSetup, SizesAveragingAndScale) {
    Cxfft fft;
    EXPECT_EQ(std::tuple(fft.frameSize, fft.averagingLength, fft.rate), std::tuple(2048, 1, 1000.0));
    fft.Setup(16384, 10, 48000.0);
    EXPECT_EQ(std::tuple(fft.frameSize, fft.allocatedSize, fft.averagingLength), std::tuple(16384, 16384, 10));
    fft.Setup(4096, 3, 8000.0);
    fft.Setup(0, 7, 1.0);  // ignored entirely
    EXPECT_EQ(std::tuple(fft.frameSize, fft.averagingLength, fft.rate), std::tuple(4096, 3, 8000.0));
    for (int bad : {100, -5, 1023, 524289, 1 << 21}) {
        fft.Setup(bad, 1, 48000.0);
        EXPECT_EQ(fft.frameSize, 524288) << bad;
    }
    // Not a power of two: rounded down, and a whole frame runs at that size (the sanitizers watch).
    for (auto [requested, expected] : {std::pair{5000, 4096}, std::pair{16383, 8192}, std::pair{1025, 1024}}) {
        fft.Setup(requested, 1, 48000.0);
        ASSERT_EQ(fft.frameSize, expected);
        const auto s = NoisePlusSines(expected, 2, 100.0, {{expected / 8, 30000.0}});
        EXPECT_FALSE(fft.LoadFrame(s.data(), requested)) << "count must equal the frame size";
        const auto levels = Frame(fft, s, 100, expected / 2);
        EXPECT_NEAR(fft.LevelDb(expected / 8), 20.0 * std::log10(30000.0 / 32767.0), 0.05) << requested;
        EXPECT_EQ(levels[expected / 2], -1);
    }
    // Averaging length 0 means none: the second frame alone.
    fft.Setup(4096, 0, 48000.0);
    for (double amplitude : {32767.0, 3276.7}) Frame(fft, NoisePlusSines(4096, 1, 0.0, {{100, amplitude}}));
    EXPECT_EQ(fft.averagingLength, 1);
    EXPECT_NEAR(fft.LevelDb(100), -20.0, 0.01);
}

TEST(XfftSetup, NewRateKeepsAveragesAndRebuildsTheMap) {
    Cxfft fft;
    fft.Setup(16384, 10, 48000.0);
    const auto s = NoisePlusSines(16384, 4, 500.0, {{1000, 20000.0}});
    Frame(fft, s);
    Frame(fft, s);
    const double before = fft.LevelDb(1000);
    EXPECT_EQ(fft.endBin, 8191);
    fft.Setup(16384, 10, 8000.0);
    EXPECT_EQ(std::tuple(fft.framesTotal, fft.framesInAverage, fft.mapColumns, fft.LevelDb(1000)), std::tuple(2, 2, 0, before));
    for (auto [endHz, endBin] : {std::pair{4000, 8191}, {2000, 4096}}) {
        Frame(fft, s, 150, 700, 0, endHz);
        EXPECT_EQ(fft.endBin, endBin);
    }
    fft.Setup(16384, 4, 8000.0);  // a new averaging length starts over
    EXPECT_EQ(std::pair(fft.framesTotal, fft.LevelDb(1000)), std::pair(0, 0.0));
}

// On-bin and off-bin sines, one near the top and a slow drift in the lowest bins: every checked bin
// reads what a long-double DFT of the Hann-windowed frame gives.
TEST(XfftLevels, EveryBinMatchesALongDoubleDft) {
    for (auto [n, step] : {std::pair{1024, 1}, {2048, 1}, {4096, 1}, {16384, 13}, {65536, 97}}) {
        SCOPED_TRACE(n);
        Cxfft fft;
        fft.Setup(n, 1, 48000.0);
        const int toneBin = n / 8 + 3;
        const auto s = NoisePlusSines(n, 7u + n, 300.0,
                                      {{toneBin, 20000.0}, {n / 3 + 0.37, 5000.0}, {n / 2 - 2.5, 2000.0}, {0.3, 3000.0}});
        Frame(fft, s, 100, 100);
        const spectrum_test::ReferenceDft ref(n);
        std::vector<int> bins{1, 2, toneBin - 1, toneBin, toneBin + 1, n / 4, n / 2 - 1};
        for (int b = 0; b < n / 2; b += step) bins.push_back(b);
        int checked = 0;
        for (int b : bins) {
            const long double expected = ref.LevelDb(s, b);
            if (expected <= -120.0L) continue;
            ++checked;
            ASSERT_NEAR(fft.LevelDb(b), static_cast<double>(expected), 1e-6) << "bin " << b;
        }
        EXPECT_GT(checked, static_cast<int>(bins.size()) * 9 / 10);
    }
    // A constant signal whose even and odd samples differ: bin 0 sums all windowed samples.
    Cxfft fft;
    fft.Setup(4096, 1, 48000.0);
    std::vector<std::int16_t> s(4096, 1000);
    for (std::size_t i = 1; i < s.size(); i += 2) s[i] = -200;
    Frame(fft, s, 100, 100);
    EXPECT_NEAR(fft.LevelDb(0), static_cast<double>(spectrum_test::ReferenceDft(4096).LevelDb(s, 0)), 1e-6);
}

// Silence reads the -140 dB floor in every bin and draws flat columns (a full-scale sine's 0 dB is
// checked through the model's readout).
TEST(XfftLevels, SilenceReadsTheFloorAndDrawsFlatColumns) {
    Cxfft fft;
    fft.Setup(16384, 1, 48000.0);
    const auto levels = Frame(fft, std::vector<std::int16_t>(16384, 0));
    for (int b = 0; b < 8192; ++b) ASSERT_NEAR(fft.LevelDb(b), -140.0, 1e-9) << b;
    EXPECT_EQ(std::vector<int>(levels.begin(), levels.end() - 1), std::vector<int>(700, 0));
    EXPECT_EQ(levels[700], -1);  // nothing past the last column
}

TEST(XfftLevels, FastLogarithmStaysWithinOneNanobel) {
    std::mt19937_64 gen(3);
    std::uniform_real_distribution<double> exponent(-300.0, 300.0);
    double worst = 0.0;
    auto check = [&](double x) { worst = std::max(worst, std::fabs(spectrum::Log10One(x) - std::log10(x))); };
    for (int i = 0; i < 200000; ++i) check(std::pow(10.0, exponent(gen)));
    for (int i = -2000; i <= 2000; ++i) check(1.0 + i * 1e-6);  // around 1, where the mantissa splits
    for (double x : {1.4142135623730951, 1.4142135623730949, 0.7071067811865476, 2.0, 0.5, 180.13,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::min()})
        check(x);
    EXPECT_LT(worst, 1e-12);
}

// More bins than columns: each column shows the lowest of its 11 or 12 bins. Fewer: bins repeat, and
// a shifted range starts at its own bin.
TEST(XfftColumns, EachColumnShowsTheLowestOfItsBinsOrRepeatsOne) {
    Cxfft fft;
    fft.Setup(16384, 1, 48000.0);
    const auto levels = Frame(fft, NoisePlusSines(16384, 9, 2000.0, {{3000.4, 25000.0}, {6000, 8000.0}}));
    EXPECT_EQ(std::tuple(fft.startBin, fft.endBin, levels[700]), std::tuple(0, 8191, -1));
    std::vector<int> lowest(700, 1 << 30), highest(700, -1), binsIn(700, 0);
    for (int b = 0; b <= 8191; ++b) {
        const int column = static_cast<int>(b * 700LL / 8192), level = LevelOf(fft, b, 150);
        lowest[column] = std::min(lowest[column], level);
        highest[column] = std::max(highest[column], level);
        ++binsIn[column];
    }
    int spread = 0;
    for (int j = 0; j < 700; ++j) {
        ASSERT_EQ(levels[j], lowest[j]) << "column " << j;
        EXPECT_TRUE(binsIn[j] == 11 || binsIn[j] == 12) << j;
        spread += highest[j] > lowest[j];
    }
    EXPECT_GT(spread, 100);  // the signal varies inside columns, so min and max are told apart
    // The strong off-bin tone lifts even the lowest bin of its own column above the noise.
    EXPECT_GT(levels[256], levels[261]);  // column 256 holds 3000.4

    fft.Setup(4096, 1, 48000.0);
    const auto s = NoisePlusSines(4096, 5, 3000.0, {{100.5, 20000.0}});
    const auto repeated = Frame(fft, s, 150, 1500, 0, 3000);
    EXPECT_EQ(std::tuple(fft.startBin, fft.endBin, repeated[1500]), std::tuple(0, 256, -1));
    for (int j = 0; j < 1500; ++j) ASSERT_EQ(repeated[j], LevelOf(fft, 256 * j / 1500, 150)) << j;
    const auto shifted = Frame(fft, s, 150, 300, 1000, 2000);
    EXPECT_EQ(std::tuple(fft.startBin, fft.endBin, shifted[0]), std::tuple(85, 170, LevelOf(fft, 85, 150)));
}

// Column counts past the analysed bins, none, or no array are refused before anything is written;
// bad rates give flat columns; levels are clamped to the height.
TEST(XfftColumns, RefusalsBadRatesAndClamping) {
    Cxfft fft;
    fft.Setup(1024, 1, 48000.0);
    const auto noise = NoisePlusSines(1024, 5, 3000.0, {});
    ASSERT_TRUE(fft.LoadFrame(noise.data(), 1024));
    std::vector<int> levels(1000, -1);
    for (auto [columns, out] : {std::pair{513, levels.data()}, {0, levels.data()}, {100, nullptr}})
        EXPECT_FALSE(fft.ComputeColumns(150, columns, -80.0, 0.0, 0, 24000, out)) << columns;
    EXPECT_FALSE(fft.LoadFrame(nullptr, 1024));
    EXPECT_EQ(levels, std::vector<int>(1000, -1));
    // The loaded frame was analysed once, by the first call; the others had no new frame.
    EXPECT_EQ(fft.framesTotal, 1);
    const double level = fft.LevelDb(300);
    EXPECT_TRUE(fft.ComputeColumns(150, 512, -80.0, 0.0, 0, 24000, levels.data()));
    EXPECT_EQ(std::tuple(fft.framesTotal, fft.LevelDb(300), levels[512]), std::tuple(1, level, -1));

    const auto s = NoisePlusSines(4096, 5, 10000.0, {{100, 30000.0}});
    for (double rate : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), 1e-300}) {
        fft.Setup(4096, 1, rate);
        const auto flat = Frame(fft, s);
        if (rate > 0.0)  // a tiny but valid rate: every frequency lies beyond the top bin
            EXPECT_EQ(std::pair(fft.startBin, fft.endBin), std::pair(0, 2047));
        else
            EXPECT_EQ(std::vector<int>(flat.begin(), flat.end() - 1), std::vector<int>(700, 0)) << rate;
        EXPECT_EQ(flat[700], -1);
    }
    fft.Setup(4096, 1, 48000.0);
    // A -90..-85 dB range: the strong noise lies above the top, so columns sit at the full height;
    // a height below zero draws nothing.
    std::vector<int> top(101);
    for (auto [height, bottom, topDb, expected] : {std::tuple{40, -90.0, -85.0, 40}, {-5, -80.0, 0.0, 0}}) {
        ASSERT_TRUE(fft.LoadFrame(s.data(), 4096));
        ASSERT_TRUE(fft.ComputeColumns(height, 100, bottom, topDb, 0, 24000, top.data()));
        EXPECT_EQ(top[50], expected);
    }
}

TEST(XfftAveraging, MeanOfTenThenOneTenthPerFrame) {
    Cxfft averaged, single;
    averaged.Setup(4096, 10, 48000.0);
    single.Setup(4096, 1, 48000.0);
    const int bins[] = {0, 37, 100, 1500};
    double sum[4] = {};
    for (int frame = 0; frame < 13; ++frame) {
        double old[4];
        for (int i = 0; i < 4; ++i) old[i] = averaged.LevelDb(bins[i]);
        const auto s = frame < 10 ? NoisePlusSines(4096, 100 + frame, 200.0 * (frame + 1), {{100, 1000.0 * frame}})
                                  : NoisePlusSines(4096, 100 + frame, 30000.0, {});
        Frame(averaged, s);
        Frame(single, s);
        for (int i = 0; i < 4; ++i) {
            sum[i] += single.LevelDb(bins[i]);
            // The mean of the first ten; after that the newest frame replaces a tenth of the average.
            const double expected = frame < 10 ? sum[i] / (frame + 1) : (9.0 * old[i] + single.LevelDb(bins[i])) / 10.0;
            EXPECT_NEAR(averaged.LevelDb(bins[i]), expected, 1e-9) << "frame " << frame << " bin " << bins[i];
        }
    }
    EXPECT_EQ(std::pair(averaged.framesTotal, averaged.framesInAverage), std::pair(13, 10));
    averaged.ResetAverages();
    EXPECT_EQ(averaged.framesTotal, 0);
    EXPECT_EQ(averaged.LevelDb(100), 0.0);
}

}  // namespace
