// Configuration, column maps and averaging of the analyser.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "audio/xfft.h"
#include "spectrum_test_signals.h"

using spectrum_test::NoisePlusSines;

namespace {

// The column height of a bin, from the analyser's own averaged level.
int LevelOf(Cxfft& fft, int bin, int height, double bottomDb, double topDb) {
    const double v = height * (-10.0 / (bottomDb - topDb)) * (fft.AverageBels(bin) - bottomDb / 10.0);
    if (!(v > 0.0)) return 0;
    return v >= height ? height : static_cast<int>(v);
}

std::vector<int> Frame(Cxfft& fft, const std::vector<std::int16_t>& s, int height, int columns, int startHz,
                       int endHz) {
    std::vector<int> levels(columns + 1, -1);
    EXPECT_TRUE(fft.LoadFrame(s.data(), static_cast<int>(s.size())));
    EXPECT_TRUE(fft.ComputeColumns(height, columns, -80.0, 0.0, startHz, endHz, levels.data()));
    return levels;
}

}  // namespace

TEST(XfftSetup, StartsAt2048AndTakesSizesInRange) {
    Cxfft fft;
    EXPECT_EQ(fft.frameSize, 2048);
    EXPECT_EQ(fft.averagingLength, 1);
    EXPECT_EQ(fft.rate, 1000.0);
    fft.Setup(16384, 10, 48000.0);
    EXPECT_EQ(fft.frameSize, 16384);
    EXPECT_EQ(fft.allocatedSize, 16384);
    EXPECT_EQ(fft.averagingLength, 10);
    EXPECT_NEAR(fft.levelOffset, -16.2556, 1e-4);
    EXPECT_NEAR(fft.floorPower, 180.13, 0.01);
}

TEST(XfftSetup, BadSizesFallBackWithoutCorruptingMemory) {
    Cxfft fft;
    fft.Setup(4096, 3, 8000.0);
    fft.Setup(0, 7, 1.0);  // ignored entirely
    EXPECT_EQ(fft.frameSize, 4096);
    EXPECT_EQ(fft.averagingLength, 3);
    EXPECT_EQ(fft.rate, 8000.0);
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
        const auto levels = Frame(fft, s, 100, expected / 2, 0, 24000);
        EXPECT_NEAR(fft.LevelDb(expected / 8), 20.0 * std::log10(30000.0 / 32767.0), 0.05) << requested;
        EXPECT_EQ(levels[expected / 2], -1);
    }
}

TEST(XfftSetup, AveragingLengthZeroMeansNoAveraging) {
    Cxfft fft;
    fft.Setup(4096, 0, 48000.0);
    EXPECT_EQ(fft.averagingLength, 1);
    Frame(fft, NoisePlusSines(4096, 1, 0.0, {{100, 32767.0}}), 100, 100, 0, 24000);
    Frame(fft, NoisePlusSines(4096, 1, 0.0, {{100, 3276.7}}), 100, 100, 0, 24000);
    EXPECT_NEAR(fft.LevelDb(100), -20.0, 0.01);  // the second frame alone
}

TEST(XfftSetup, NewRateKeepsAveragesAndRebuildsTheMap) {
    Cxfft fft;
    fft.Setup(16384, 10, 48000.0);
    const auto s = NoisePlusSines(16384, 4, 500.0, {{1000, 20000.0}});
    Frame(fft, s, 150, 700, 0, 24000);
    Frame(fft, s, 150, 700, 0, 24000);
    const double before = fft.LevelDb(1000);
    EXPECT_EQ(fft.endBin, 8191);
    fft.Setup(16384, 10, 8000.0);
    EXPECT_EQ(fft.framesTotal, 2);
    EXPECT_EQ(fft.framesInAverage, 2);
    EXPECT_EQ(fft.LevelDb(1000), before);
    EXPECT_EQ(fft.mapColumns, 0);
    Frame(fft, s, 150, 700, 0, 4000);
    EXPECT_EQ(fft.endBin, 8191);
    Frame(fft, s, 150, 700, 0, 2000);
    EXPECT_EQ(fft.endBin, 4096);
    // A new averaging length starts over.
    fft.Setup(16384, 4, 8000.0);
    EXPECT_EQ(fft.framesTotal, 0);
    EXPECT_EQ(fft.LevelDb(1000), 0.0);
}

TEST(XfftColumns, MoreBinsThanColumnsShowsTheLowestOfEach) {
    Cxfft fft;
    fft.Setup(16384, 1, 48000.0);
    const auto s = NoisePlusSines(16384, 9, 2000.0, {{3000.4, 25000.0}, {6000, 8000.0}});
    const auto levels = Frame(fft, s, 150, 700, 0, 24000);
    EXPECT_EQ(fft.startBin, 0);
    EXPECT_EQ(fft.endBin, 8191);
    std::vector<int> lowest(700, 1 << 30), highest(700, -1), binsIn(700, 0);
    for (int b = 0; b <= 8191; ++b) {
        const int column = static_cast<int>(static_cast<long long>(b) * 700 / 8192);
        const int level = LevelOf(fft, b, 150, -80.0, 0.0);
        lowest[column] = std::min(lowest[column], level);
        highest[column] = std::max(highest[column], level);
        ++binsIn[column];
    }
    int spread = 0;
    for (int j = 0; j < 700; ++j) {
        ASSERT_EQ(levels[j], lowest[j]) << "column " << j;
        EXPECT_TRUE(binsIn[j] == 11 || binsIn[j] == 12) << j;
        if (highest[j] > lowest[j]) ++spread;
    }
    EXPECT_GT(spread, 100);  // the signal varies inside columns, so min and max are told apart
    EXPECT_EQ(levels[700], -1);
    // The strong off-bin tone lifts even the lowest bin of its own column above the noise.
    const int toneColumn = static_cast<int>(3000.4 * 700 / 8192);
    EXPECT_GT(levels[toneColumn], levels[toneColumn + 5]);
}

TEST(XfftColumns, FewerBinsThanColumnsRepeatsBins) {
    Cxfft fft;
    fft.Setup(4096, 1, 48000.0);
    const auto s = NoisePlusSines(4096, 5, 3000.0, {{100.5, 20000.0}});
    const auto levels = Frame(fft, s, 150, 1500, 0, 3000);
    EXPECT_EQ(fft.startBin, 0);
    EXPECT_EQ(fft.endBin, 256);
    int repeats = 0;
    for (int j = 0; j < 1500; ++j) {
        const int bin = 256 * j / 1500;
        ASSERT_EQ(levels[j], LevelOf(fft, bin, 150, -80.0, 0.0)) << j;
        if (j > 0 && bin == 256 * (j - 1) / 1500) ++repeats;
    }
    EXPECT_EQ(repeats, 1500 - 256);
    EXPECT_EQ(levels[1500], -1);
    // A shifted range starts at its own bin.
    const auto shifted = Frame(fft, s, 150, 300, 1000, 2000);
    EXPECT_EQ(fft.startBin, 85);
    EXPECT_EQ(fft.endBin, 170);
    EXPECT_EQ(shifted[0], LevelOf(fft, 85, 150, -80.0, 0.0));
}

TEST(XfftColumns, RefusesWhatWouldWritePastTheBuffers) {
    Cxfft fft;
    fft.Setup(1024, 1, 48000.0);
    const auto s = NoisePlusSines(1024, 5, 3000.0, {});
    ASSERT_TRUE(fft.LoadFrame(s.data(), 1024));
    std::vector<int> levels(1000, -1);
    EXPECT_FALSE(fft.ComputeColumns(150, 513, -80.0, 0.0, 0, 24000, levels.data()));
    EXPECT_FALSE(fft.ComputeColumns(150, 0, -80.0, 0.0, 0, 24000, levels.data()));
    EXPECT_FALSE(fft.ComputeColumns(150, 100, -80.0, 0.0, 0, 24000, nullptr));
    EXPECT_FALSE(fft.LoadFrame(nullptr, 1024));
    for (int v : levels) ASSERT_EQ(v, -1);
    // The loaded frame was analysed once, by the first call; the others had no new frame.
    EXPECT_EQ(fft.framesTotal, 1);
    const double level = fft.LevelDb(300);
    EXPECT_TRUE(fft.ComputeColumns(150, 512, -80.0, 0.0, 0, 24000, levels.data()));
    EXPECT_EQ(fft.framesTotal, 1);
    EXPECT_EQ(fft.LevelDb(300), level);
    EXPECT_EQ(levels[512], -1);
}

TEST(XfftColumns, RatesOfZeroOrBelowGiveFlatColumns) {
    for (double badRate : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), 1e-300}) {
        Cxfft fft;
        fft.Setup(4096, 1, badRate);
        const auto s = NoisePlusSines(4096, 5, 10000.0, {{100, 30000.0}});
        const auto levels = Frame(fft, s, 150, 700, 0, 24000);
        if (badRate > 0.0) {
            // A tiny but valid rate: every frequency lies beyond the top bin.
            EXPECT_EQ(fft.startBin, 0);
            EXPECT_EQ(fft.endBin, 2047);
        } else {
            for (int j = 0; j < 700; ++j) ASSERT_EQ(levels[j], 0) << badRate;
        }
        EXPECT_EQ(levels[700], -1);
    }
}

TEST(XfftColumns, LevelsAreClampedToTheHeight) {
    Cxfft fft;
    fft.Setup(4096, 1, 48000.0);
    const auto s = NoisePlusSines(4096, 5, 10000.0, {{100, 30000.0}});
    const auto levels = Frame(fft, s, 40, 100, 0, 24000);
    for (int j = 0; j < 100; ++j) {
        ASSERT_GE(levels[j], 0);
        ASSERT_LE(levels[j], 40);
    }
    // A -90..-85 dB range: the strong noise lies above the top, so columns sit at the full height.
    std::vector<int> top(101);
    ASSERT_TRUE(fft.LoadFrame(s.data(), 4096));
    ASSERT_TRUE(fft.ComputeColumns(40, 100, -90.0, -85.0, 0, 24000, top.data()));
    EXPECT_EQ(top[50], 40);
    ASSERT_TRUE(fft.LoadFrame(s.data(), 4096));
    ASSERT_TRUE(fft.ComputeColumns(-5, 100, -80.0, 0.0, 0, 24000, top.data()));
    EXPECT_EQ(top[50], 0);
}

TEST(XfftAveraging, MeanOfTenThenOneTenthPerFrame) {
    Cxfft averaged, single;
    averaged.Setup(4096, 10, 48000.0);
    single.Setup(4096, 1, 48000.0);
    const int bins[] = {0, 37, 100, 1500};
    std::vector<double> sum(4, 0.0);
    for (int frame = 0; frame < 10; ++frame) {
        const auto s = NoisePlusSines(4096, 100 + frame, 200.0 * (frame + 1), {{100, 1000.0 * frame}});
        Frame(averaged, s, 150, 700, 0, 24000);
        Frame(single, s, 150, 700, 0, 24000);
        for (int i = 0; i < 4; ++i) sum[i] += single.LevelDb(bins[i]);
    }
    EXPECT_EQ(averaged.framesInAverage, 10);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(averaged.LevelDb(bins[i]), sum[i] / 10.0, 1e-9) << bins[i];
    for (int frame = 10; frame < 13; ++frame) {
        std::vector<double> old(4);
        for (int i = 0; i < 4; ++i) old[i] = averaged.LevelDb(bins[i]);
        const auto s = NoisePlusSines(4096, 100 + frame, 30000.0, {});
        Frame(averaged, s, 150, 700, 0, 24000);
        Frame(single, s, 150, 700, 0, 24000);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(averaged.LevelDb(bins[i]), (9.0 * old[i] + single.LevelDb(bins[i])) / 10.0, 1e-9);
    }
    EXPECT_EQ(averaged.framesTotal, 13);
    EXPECT_EQ(averaged.framesInAverage, 10);
    averaged.ResetAverages();
    EXPECT_EQ(averaged.framesTotal, 0);
    EXPECT_EQ(averaged.LevelDb(100), 0.0);
}
