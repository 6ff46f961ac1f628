// Carrier finding: the rule on level rows drawn by hand, then real carriers through the analyser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "audio/carrier_finder.h"
#include "audio/spectrum_model.h"
#include "bpsk_carrier.h"
#include "spectrum_test_signals.h"

namespace {

constexpr double kBinHz = 48000.0 / 16384.0, kNaN = std::numeric_limits<double>::quiet_NaN();
using spectrum::FindCarrier;

// A row of bins at a flat floor with flat-topped carriers {level, first bin, last bin} and single bins.
struct Plateau { double levelDb; int first, last; };
std::vector<double> Row(int bins, double floorDb, const std::vector<Plateau>& plateaus,
                        const std::vector<std::pair<int, double>>& singleBins = {}) {
    std::vector<double> row(bins, floorDb);
    for (const Plateau& p : plateaus) std::fill(row.begin() + p.first, row.begin() + p.last + 1, p.levelDb);
    for (auto [bin, level] : singleBins) row[bin] = level;
    return row;
}

// The rule on rows drawn by hand, unsmoothed and without fitted edges or the mirror match: where the
// pointer is, in bins, and the centre found, in bins, or none.
TEST(CarrierFinder, TheCentreOfTheRunAroundTheStrongestBinNearThePointer) {
    const auto one = Row(4000, -80, {{-30, 1000, 1409}}), two = Row(6000, -90, {{-50, 1000, 1200}, {-20, 1682, 1882}});
    struct Case {
        const char* what;
        std::vector<double> row;
        double pointerBin;
        std::optional<double> centreBin;
        double toleranceBins;
    };
    const Case rows[] = {
        // Bins 500..909 at -40 dB, one at -37 dB: the run within 6 dB of it is 500..909 and its edges
        // lie where the levels cross -43 dB, 3/50 of a bin outside each end, symmetrically.
        {"run within 6 dB of the strongest bin", Row(2000, -90, {{-40, 500, 909}}, {{600, -37}}), 620, 704.5, 1e-9},
        // A bin inside that drops more than 6 dB ends the run there, 3/10 of the way to it.
        {"a bin 7 dB down ends the run", Row(2000, -90, {{-40, 500, 909}}, {{600, -37}, {700, -50}}), 620,
         (499.94 + 699.3) / 2, 1e-6},
        // Any pointer on the carrier or within 1500 Hz beside it finds the same centre.
        {"pointer on the lower edge", one, 1000, 1204.5, 0.2},
        {"pointer on the upper edge", one, 1409, 1204.5, 0.2},
        {"pointer 1400 Hz above", one, 1409 + 1400 / kBinHz, 1204.5, 0.2},
        {"pointer 1400 Hz below", one, 1000 - 1400 / kBinHz, 1204.5, 0.2},
        {"pointer 1600 Hz above: nothing in reach", one, 1409 + 1600 / kBinHz, {}, 0},
        // A weaker carrier under the pointer, a stronger one 682 bins away: the weaker one is found;
        // with the pointer between them (both in reach) the stronger one.
        {"the weaker carrier under the pointer", two, 1000, 1100, 1},
        {"the stronger of two in reach", two, 1441, 1782, 1},
        {"5 dB above the floor is not a carrier", Row(3000, -80, {{-75, 1000, 1400}}), 1200, {}, 0},
        {"6.5 dB above the floor is", Row(3000, -80, {{-73.5, 1000, 1400}}), 1200, 1200, 1e-6},
    };
    spectrum::CarrierSearch unsmoothed;
    unsmoothed.smoothingHalfWidthHz = unsmoothed.edgeFitFraction = unsmoothed.mirrorReachHz = 0.0;
    for (const Case& r : rows) {
        const auto centre = FindCarrier(r.row, 0, kBinHz, r.pointerBin * kBinHz, unsmoothed);
        ASSERT_EQ(centre.has_value(), r.centreBin.has_value()) << r.what;
        EXPECT_NEAR(centre.value_or(0), r.centreBin.value_or(0) * kBinHz, r.toleranceBins * kBinHz) << r.what;
    }
    // A row that starts at bin 300 reads the same frequency.
    EXPECT_NEAR(FindCarrier(Row(1000, -80, {{-30, 200, 400}}), 300, kBinHz, 600 * kBinHz, unsmoothed).value_or(0),
                600 * kBinHz, kBinHz);
    // Smoothed as in use: a carrier running off the row's end ends its run at the last bin, without
    // reading past it; plain noise has no carrier anywhere; unusable input finds nothing.
    const double atEdge = FindCarrier(Row(500, -80, {{-30, 400, 499}}), 0, kBinHz, 450 * kBinHz).value_or(0);
    EXPECT_TRUE(atEdge > 400 * kBinHz && atEdge <= 499 * kBinHz) << atEdge;
    std::mt19937 gen(3);
    std::normal_distribution<double> scatter(-80.0, 2.0);
    std::vector<double> noise(3000);
    for (double& v : noise) v = scatter(gen);
    for (double pointerBin : {300.0, 1500.0, 2700.0}) EXPECT_FALSE(FindCarrier(noise, 0, kBinHz, pointerBin * kBinHz));
    const auto good = Row(1000, -80, {{-30, 400, 600}}), infinite = Row(1000, -80, {{-30, 400, 600}}, {{10, std::numeric_limits<double>::infinity()}});
    EXPECT_TRUE(FindCarrier(good, 0, kBinHz, 500 * kBinHz));
    for (auto [row, first, binHz, pointer] : {std::tuple{std::vector<double>{}, 0, kBinHz, 100.0}, {good, 0, 0.0, 500 * kBinHz},
                                              {good, 0, kBinHz, kNaN}, {good, -1, kBinHz, 500 * kBinHz}, {infinite, 0, kBinHz, 500 * kBinHz}})
        EXPECT_FALSE(FindCarrier(row, first, binHz, pointer)) << first << " " << binHz << " " << pointer;
    // The window of bins a search reads stays inside the analyser's bins.
    const auto low = spectrum::CarrierBinWindow(100.0, kBinHz, 8192), top = spectrum::CarrierBinWindow(23990.0, kBinHz, 8192);
    EXPECT_EQ(low.first, 0);
    EXPECT_GT(low.count, 1000);
    EXPECT_EQ(top.first + top.count, 8192);
    EXPECT_EQ(spectrum::CarrierBinWindow(1000.0, 0.0, 8192).count, 0);
}

// Edges falling 0.2 dB a bin under a 1.5 dB scatter: the edges placed by the lines fitted through
// them land the centre closer than the crossing between two smoothed bins does (about two thirds of
// its mean error here), and never two bins off.
TEST(CarrierFinder, FittedEdgesFindTheCentreOfANoisyCarrierCloser) {
    spectrum::CarrierSearch crossingOnly;
    crossingOnly.edgeFitFraction = 0.0;
    double fittedSum = 0.0, crossingSum = 0.0, fittedWorst = 0.0;
    constexpr int kRows = 40;
    for (int seed = 0; seed < kRows; ++seed) {
        std::mt19937 gen(100 + seed);
        std::normal_distribution<double> scatter(0.0, 1.5);
        const int first = 1000 + seed % 7, last = first + 400;  // centres on and between bins
        std::vector<double> row(2400);
        for (int b = 0; b < 2400; ++b)
            row[b] = std::max(-60.0, -30.0 - 0.2 * (b < first ? first - b : b > last ? b - last : 0)) + scatter(gen);
        const double centre = (first + 200) * kBinHz;
        const auto fitted = FindCarrier(row, 0, kBinHz, centre + 300.0);
        const auto crossing = FindCarrier(row, 0, kBinHz, centre + 300.0, crossingOnly);
        ASSERT_TRUE(fitted && crossing) << seed;
        fittedSum += std::abs(*fitted - centre);
        crossingSum += std::abs(*crossing - centre);
        fittedWorst = std::max(fittedWorst, std::abs(*fitted - centre));
    }
    EXPECT_LT(fittedSum, 0.8 * crossingSum);
    EXPECT_LT(fittedWorst, 2.0 * kBinHz);
}

// A carrier whose levels ripple alike on both sides of its centre (as one of real symbols does),
// with its two 6 dB edges put off by noise in opposite directions: the mirror match finds the centre
// the edges miss. With unrelated ripples on its two sides only the slopes match their mirror image,
// and the match never moves the centre further than its reach from the run's midpoint.
TEST(CarrierFinder, TheMirrorMatchFindsASymmetricCarriersCentreTheEdgesMiss) {
    constexpr double kCentreBin = 1000.5;  // between two bins
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> ripple(-3.0, 3.0);
    std::vector<double> shape(260), other(260);
    for (double& v : shape) v = ripple(gen);
    for (double& v : other) v = ripple(gen);
    spectrum::CarrierSearch edgesOnly;
    edgesOnly.mirrorReachHz = 0.0;
    const double pointer = (kCentreBin + 120.0) * kBinHz;
    for (bool symmetric : {true, false}) {
        std::vector<double> levels(2400);
        for (int b = 0; b < 2400; ++b) {
            const double d = std::abs(b - kCentreBin);
            // Sides falling 1 dB a bin from -33 dB down to a floor at -70 dB.
            const auto& ripples = (symmetric || b > kCentreBin) ? shape : other;
            levels[b] = d < 250.0 ? -30.0 + ripples[static_cast<int>(d)] : std::max(-70.0, -33.0 - (d - 250.0));
        }
        // Noise lifts the left side's first bins: the run reaches four bins further out there.
        std::fill(levels.begin() + 747, levels.begin() + 751, -31.0);
        const auto mirrored = FindCarrier(levels, 0, kBinHz, pointer), midpoint = FindCarrier(levels, 0, kBinHz, pointer, edgesOnly);
        ASSERT_TRUE(mirrored && midpoint);
        if (symmetric) {
            EXPECT_NEAR(*mirrored, kCentreBin * kBinHz, 0.2 * kBinHz);
            EXPECT_LT(std::abs(*mirrored - kCentreBin * kBinHz), 0.5 * std::abs(*midpoint - kCentreBin * kBinHz));
        } else {
            EXPECT_LE(std::abs(*mirrored - *midpoint), spectrum::CarrierSearch{}.mirrorReachHz);
        }
    }
}

// A model at its start-up values that has taken in the samples.
struct Analysed : SpectrumModel {
    explicit Analysed(const std::vector<std::int16_t>& s) { SetStartupValues(), AddSamples(s.data(), static_cast<int>(s.size())); }
};

// Real carriers through the analyser as the display runs it: three at 25 dB, with the pointer on
// and beside them, then four at 10 dB with centres, widths and pointers drawn at random as in
// carrier_bench (which runs many more and prints the distribution): each found within 5 Hz (without
// the mirror match about one in ten at 10 dB would not be).
TEST(CarrierFinder, BpskCarriersThroughTheModelAreFoundWithinFiveHz) {
    const spectrum_test::BpskCarrier carrier;
    std::mt19937 gen(11);
    for (auto [centre, width, pointerOffset] : {std::tuple{1500.0, 1200.0, 550.0}, {2345.6, 2400.0, -1150.0}, {7003.0, 1800.0, 0.0}}) {
        const auto found = Analysed(carrier.Make({centre, width, 25.0}, gen)).CarrierNear(centre + pointerOffset);
        ASSERT_TRUE(found) << centre;
        EXPECT_NEAR(*found, centre, 5.0) << "width " << width << ", pointer " << centre + pointerOffset;
    }
    gen.seed(2021);
    std::uniform_real_distribution<double> width(1200.0, 2400.0), centre(1500.0, 9000.0), along(-0.5, 0.5);
    for (int i = 0; i < 4; ++i) {
        spectrum_test::CarrierSpec spec;
        spec.widthHz = width(gen);
        spec.centreHz = centre(gen);
        spec.snrDb = 10.0;
        const double pointer = spec.centreHz + along(gen) * spec.widthHz;
        EXPECT_NEAR(Analysed(carrier.Make(spec, gen)).CarrierNear(pointer).value_or(0), spec.centreHz, 5.0) << pointer;
    }
}

// Before a frame, over silence, without a rate or outside the bins the model finds no carrier, no
// level copy and no signal to noise; the readout rounds to whole Hz and dB.
TEST(CarrierFinder, TheModelFindsNothingBeforeAFrameOrWithoutARate) {
    SpectrumModel idle;
    idle.SetStartupValues();
    double out[4] = {};
    EXPECT_FALSE(idle.CarrierNear(1500.0) || idle.SnrDbAt(2000.0) || idle.fft.CopyLevelsDb(0, 4, out));
    EXPECT_EQ(idle.ReadoutAt(1523.4), "1523 Hz");  // no level yet
    for (double outside : {-1.0, kNaN}) EXPECT_EQ(idle.ReadoutAt(outside), "");
    Analysed silent(std::vector<std::int16_t>(16384, 0));
    ASSERT_TRUE(silent.fft.CopyLevelsDb(0, 4, out));
    EXPECT_NEAR(out[2], -140.0, 0.01);
    EXPECT_FALSE(silent.fft.CopyLevelsDb(8190, 3, out));  // past the last bin
    EXPECT_FALSE(silent.fft.CopyLevelsDb(-1, 2, out));
    EXPECT_FALSE(silent.CarrierNear(1500.0));  // nothing above the floor
    EXPECT_EQ(silent.ReadoutAt(12000.0), "12000 Hz  -140 dB");
    silent.ApplyRate(0);
    EXPECT_FALSE(silent.CarrierNear(1500.0));
    // A full-scale sine on bin 520 (1523.4 Hz) reads 0 dB there.
    EXPECT_EQ(Analysed(spectrum_test::Tone(520 * kBinHz, 32767.0, 16384)).ReadoutAt(520 * kBinHz), "1523 Hz  0 dB");
}

// The ledger's signal to noise: one carrier at two levels over the same noise. Its width is half the
// measured band, so a carrier 20 dB over the noise in its width reads 10 log10(1 + 100 / 2) = 17.1 dB
// and one at 10 dB reads 10 log10(1 + 10 / 2) = 7.8 dB.
TEST(CarrierFinder, SnrFollowsTheCarriersLevelOverTheSameNoise) {
    const spectrum_test::BpskCarrier carrier;
    std::mt19937 gen(5);
    for (auto [snrDb, rms, expected] : {std::tuple{20.0, 2000.0, 17.1}, {10.0, 2000.0 / std::sqrt(10.0), 7.8}}) {
        Analysed model(carrier.Make({2000.0, 1200.0, snrDb, 48000.0, rms}, gen));  // the noise stays as it was
        EXPECT_NEAR(model.SnrDbAt(2000.0).value_or(-99), expected, 1.0) << snrDb;
        EXPECT_FALSE(model.SnrDbAt(30000.0)) << "above the range";
    }
}

}  // namespace
