// Levels of single frames against a plain DFT, full-scale sines, silence and the logarithm.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "audio/spectrum_simd.h"
#include "audio/xfft.h"
#include "spectrum_test_signals.h"

using spectrum_test::NoisePlusSines;
using spectrum_test::ReferenceDft;

namespace {

// One frame through the analyser with averaging length 1: the average is that frame's level.
void Analyse(Cxfft& fft, const std::vector<std::int16_t>& s) {
    ASSERT_TRUE(fft.LoadFrame(s.data(), static_cast<int>(s.size())));
    std::vector<int> levels(101);
    ASSERT_TRUE(fft.ComputeColumns(100, 100, -80.0, 0.0, 0, 24000, levels.data()));
}

}  // namespace

TEST(XfftLevels, EveryBinMatchesALongDoubleDft) {
    struct Case {
        int n;
        int step;  // bins checked: every step-th, plus the tone bins and the edges
    };
    for (const Case c : {Case{1024, 1}, Case{2048, 1}, Case{4096, 1}, Case{16384, 13}, Case{65536, 97}}) {
        SCOPED_TRACE(c.n);
        Cxfft fft;
        fft.Setup(c.n, 1, 48000.0);
        ASSERT_EQ(fft.frameSize, c.n);
        const int toneBin = c.n / 8 + 3;
        // On-bin and off-bin sines, one near the top, and a slow drift that fills the lowest bins.
        const auto s = NoisePlusSines(c.n, 7u + c.n, 300.0,
                                      {{toneBin, 20000.0}, {c.n / 3 + 0.37, 5000.0}, {c.n / 2 - 2.5, 2000.0},
                                       {0.3, 3000.0}});
        Analyse(fft, s);
        const ReferenceDft ref(c.n);
        std::vector<int> bins;
        for (int b = 0; b < c.n / 2; b += c.step) bins.push_back(b);
        for (int b : {1, 2, toneBin - 1, toneBin, toneBin + 1, c.n / 4, c.n / 2 - 1}) bins.push_back(b);
        int checked = 0;
        for (int b : bins) {
            const long double expected = ref.LevelDb(s, b);
            if (expected <= -120.0L) continue;
            ++checked;
            ASSERT_NEAR(fft.LevelDb(b), static_cast<double>(expected), 1e-6) << "bin " << b;
        }
        EXPECT_GT(checked, static_cast<int>(bins.size()) * 9 / 10);
    }
}

TEST(XfftLevels, DirectCurrentUsesAllSamples) {
    // A constant signal: bin 0 holds the sum of all windowed samples, not of every other one.
    Cxfft fft;
    fft.Setup(4096, 1, 48000.0);
    std::vector<std::int16_t> s(4096, 1000);
    for (std::size_t i = 1; i < s.size(); i += 2) s[i] = -200;  // even and odd samples differ
    Analyse(fft, s);
    const ReferenceDft ref(4096);
    EXPECT_NEAR(fft.LevelDb(0), static_cast<double>(ref.LevelDb(s, 0)), 1e-6);
}

TEST(XfftLevels, FullScaleSineOnABinReadsZeroDb) {
    for (int n : {1024, 4096, 16384, 65536}) {
        for (int bin : {5, n / 16, n / 4, n / 2 - 7}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " bin " << bin);
            Cxfft fft;
            fft.Setup(n, 10, 48000.0);
            const auto s = NoisePlusSines(n, 1, 0.0, {{bin, 32767.0}});
            Analyse(fft, s);
            EXPECT_NEAR(fft.LevelDb(bin), 0.0, 0.01);
            EXPECT_LT(fft.LevelDb(bin + 3), -60.0);  // the Hann window keeps it narrow
        }
    }
}

TEST(XfftLevels, SilenceReadsTheFloorAndDrawsNothing) {
    Cxfft fft;
    fft.Setup(16384, 1, 48000.0);
    std::vector<std::int16_t> s(16384, 0);
    ASSERT_TRUE(fft.LoadFrame(s.data(), 16384));
    std::vector<int> levels(701, -7);
    ASSERT_TRUE(fft.ComputeColumns(150, 700, -80.0, 0.0, 0, 24000, levels.data()));
    for (int b = 0; b < 8192; ++b) ASSERT_NEAR(fft.LevelDb(b), -140.0, 1e-9) << b;
    for (int j = 0; j < 700; ++j) ASSERT_EQ(levels[j], 0) << j;
    EXPECT_EQ(levels[700], -7);  // nothing past the last column
}

TEST(XfftLevels, FastLogarithmStaysWithinOneNanobel) {
    std::mt19937_64 gen(3);
    std::uniform_real_distribution<double> exponent(-300.0, 300.0);
    double worst = 0.0;
    auto check = [&](double x) {
        const double err = std::fabs(spectrum::Log10One(x) - std::log10(x));
        worst = std::max(worst, err);
    };
    for (int i = 0; i < 200000; ++i) check(std::pow(10.0, exponent(gen)));
    for (int i = -2000; i <= 2000; ++i) check(1.0 + i * 1e-6);  // around 1, where the mantissa splits
    for (double x : {1.4142135623730951, 1.4142135623730949, 0.7071067811865476, 2.0, 0.5, 180.13,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::min()})
        check(x);
    EXPECT_LT(worst, 1e-12);
}
