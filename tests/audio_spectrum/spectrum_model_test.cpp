// The spectrum model without a window: values, the rate set-up, framing and listeners, the plot's
// geometry and the full-resolution level queries a pointer readout needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "audio/spectrum_model.h"
#include "spectrum_test_signals.h"

namespace {

using spectrum_test::Tone;

// Counts what a view hears; stands for the display window, which only queues a repaint.
struct CountingListener : SpectrumModel::Listener {
    int changes = 0;
    void OnSpectrumChanged() override { ++changes; }
};

void Feed(SpectrumModel& model, const std::vector<std::int16_t>& s) {
    for (std::size_t at = 0; at < s.size(); at += 1000)
        model.AddSamples(s.data() + at, static_cast<int>(std::min<std::size_t>(1000, s.size() - at)));
}

TEST(SpectrumModel, CreationStartupAndRateValues) {
    SpectrumModel model;
    EXPECT_EQ(std::tuple(model.bottomDb, model.frameSize, model.fft.frameSize, model.fft.rate, model.centerFrequency,
                         model.bandLowOffset),
              std::tuple(-140.0, 4096, 4096, 48000.0, -1.0, -125.0));
    CountingListener view;
    model.AddListener(&view);
    model.AddListener(&view);  // once is enough
    model.SetStartupValues();
    EXPECT_EQ(view.changes, 1);
    EXPECT_EQ(std::tuple(model.bottomDb, model.overlapFactor, model.fft.frameSize, model.fft.averagingLength,
                         model.centerFrequency, model.pointerFrequency, model.bandHighOffset),
              std::tuple(-80.0, 4, 16384, 10, 2000.0, 2000.0, 1200.0));

    // 48000 -> 8000 Hz: the centre returns to 2000 Hz unless it lies below 4000 Hz.
    for (double centre : {5000.0, 4000.0, 3999.0}) {
        ASSERT_TRUE(model.ApplyRate(48000) || model.fft.rate == 48000.0);
        model.centerFrequency = centre;
        EXPECT_TRUE(model.ApplyRate(8000));
        EXPECT_EQ(model.endFrequency, 4000);
        EXPECT_EQ(model.centerFrequency, centre < 4000.0 ? centre : 2000.0) << centre;
        EXPECT_EQ(model.pointerFrequency, model.centerFrequency);
    }
    const int heard = view.changes;
    EXPECT_FALSE(model.ApplyRate(8000));  // nothing to do, nothing to tell
    EXPECT_EQ(view.changes, heard);
    model.RemoveListener(&view);
}

TEST(SpectrumModel, ANewRateDropsThePartialFrameButKeepsTheAverages) {
    SpectrumModel model;
    model.SetStartupValues();
    Feed(model, Tone(3000.0, 8000.0, 30000));
    ASSERT_EQ(model.fft.framesTotal, 4);
    const double level = model.fft.LevelDb(1024);
    ASSERT_EQ(model.sampleCount(), 12288 + 1328);
    model.centerFrequency = 30000.0;  // above rate / 2, yet the same rate changes nothing
    EXPECT_FALSE(model.ApplyRate(48000));
    EXPECT_EQ(std::tuple(model.fft.framesTotal, model.fft.LevelDb(1024), model.sampleCount(), model.centerFrequency),
              std::tuple(4, level, 12288 + 1328, 30000.0));
    // Another rate, same frame size and averaging: the samples of the old rate go, the averages stay.
    EXPECT_TRUE(model.ApplyRate(96000));
    EXPECT_EQ(std::tuple(model.fft.framesTotal, model.fft.LevelDb(1024), model.sampleCount()), std::tuple(4, level, 0));
    // A frame size set by hand is put back with the rate.
    model.frameSize = 4096;
    EXPECT_TRUE(model.ApplyRate(96000));
    EXPECT_EQ(model.frameSize, 16384);
}

TEST(SpectrumModel, FramesAreAnalysedAtThePaintedSizeAndTold) {
    SpectrumModel model;
    model.SetStartupValues();
    CountingListener first, second;
    model.AddListener(&first);
    model.AddListener(&second);
    SpectrumModel::ColumnLevels levels{};
    EXPECT_EQ(model.TakeColumns(700, 150, levels), 0);  // nothing analysed yet
    EXPECT_EQ(std::pair(model.plotWidth, model.plotHeight), std::pair(700, 150));

    const auto tone = Tone(2053.5 * 48000.0 / 16384.0, 16000.0, 40000);
    Feed(model, {tone.begin(), tone.begin() + 16000});
    EXPECT_EQ(first.changes, 0);
    Feed(model, {tone.begin() + 16000, tone.end()});
    const int frames = 1 + (40000 - 16384) / 4096;
    EXPECT_EQ(std::tuple(model.fft.framesTotal, first.changes, second.changes), std::tuple(frames, frames, frames));
    EXPECT_EQ(model.sampleCount(), 12288 + (40000 - 16384) % 4096);

    ASSERT_EQ(model.TakeColumns(700, 150, levels), 700);
    EXPECT_EQ(std::max_element(levels.begin(), levels.begin() + 700) - levels.begin(), 175);  // 11.7 bins a column
    EXPECT_GT(levels[175], 10);

    // A removed view hears nothing more; the other still does.
    model.RemoveListener(&second);
    Feed(model, Tone(1000.0, 8000.0, 4096));
    EXPECT_EQ(std::pair(first.changes, second.changes), std::pair(frames + 1, frames));
    model.RemoveListener(&first);
    // A plot wider than the level array analyses as many columns as it holds, over the part of the
    // range they show: 7999 of 9000 columns span 0..21330 Hz at 2.67 Hz each, the tone's 6016 Hz at 2256.
    model.TakeColumns(9000, 100, levels);
    Feed(model, Tone(2053.5 * 48000.0 / 16384.0, 16000.0, 4096, 40000));
    ASSERT_EQ(model.TakeColumns(9000, 100, levels), 7999);
    EXPECT_NEAR(std::max_element(levels.begin(), levels.begin() + 7999) - levels.begin(), 2256, 2);
}

TEST(SpectrumModel, GeometryOfAPlot) {
    SpectrumModel model;
    model.SetStartupValues();  // 0..24000 Hz, centre 2000 Hz, band -1200..+1200 Hz
    EXPECT_DOUBLE_EQ(model.HzPerPixel(700), 24000.0 / 700);
    EXPECT_DOUBLE_EQ(model.FrequencyAtX(350, 700), 12000.0);
    EXPECT_DOUBLE_EQ(model.FrequencyAtX(0, 700), 0.0);
    EXPECT_EQ(model.FrequencyAtX(-1, 700), -1.0);
    int left = 0, right = 0, x = 0;
    // Band and centre columns for a few centres; a column's frequency maps back to that column.
    for (auto [centre, bandLeft, bandRight, centreX] : {std::tuple{2000.0, 23, 93, 58}, {12000.0, 315, 385, 350}}) {
        model.centerFrequency = centre;
        ASSERT_TRUE(model.BandColumns(700, left, right));
        EXPECT_EQ(std::pair(left, right), std::pair(bandLeft, bandRight));
        ASSERT_TRUE(model.CentreColumn(700, x));
        EXPECT_EQ(x, centreX);
    }
    for (int column : {0, 1, 349, 350, 699}) {
        ASSERT_TRUE(model.ColumnOf(model.FrequencyAtX(column, 700), 700, x));
        EXPECT_EQ(x, column);
    }
    // Reversed band offsets still give left <= right; another marker style draws no band.
    std::swap(model.bandLowOffset, model.bandHighOffset);
    ASSERT_TRUE(model.BandColumns(700, left, right));
    EXPECT_LT(left, right);
    model.markerStyle = 0;
    EXPECT_FALSE(model.BandColumns(700, left, right));
    // A centre outside the range: no centre line; far-off or NaN values stay harmless.
    for (double outside : {-1.0, 30000.0}) {
        model.centerFrequency = outside;
        EXPECT_FALSE(model.CentreColumn(700, x)) << outside;
    }
    ASSERT_TRUE(model.ColumnOf(1e300, 700, x));
    EXPECT_EQ(x, 1000000);
    EXPECT_FALSE(model.ColumnOf(std::nan(""), 700, x));

    // Without a scale (no width, or a rate of 0 or below) there is nothing to map.
    EXPECT_EQ(model.HzPerPixel(0), 0.0);
    model.ApplyRate(0);
    EXPECT_EQ(model.HzPerPixel(700), 0.0);
    EXPECT_EQ(model.FrequencyAtX(350, 700), -1.0);
    model.markerStyle = SpectrumModel::kBandMarker;
    EXPECT_FALSE(model.BandColumns(700, left, right));
    EXPECT_FALSE(model.CentreColumn(700, x));
}

TEST(SpectrumModel, LevelsAtFullBinResolution) {
    SpectrumModel model;
    model.SetStartupValues();
    EXPECT_EQ(model.BinAt(-1.0), -1);
    EXPECT_EQ(model.BinAt(24000.1), -1);
    EXPECT_EQ(model.BinAt(24000.0), 8191);  // the top bin the analyser keeps
    EXPECT_EQ(model.BinAt(model.BinFrequency(2053)), 2053);
    EXPECT_EQ(model.BinAt(model.BinFrequency(2053) + 1.4), 2053);  // 2.93 Hz per bin: nearest
    EXPECT_FALSE(model.LevelDbAt(6000.0).has_value());  // no frame yet

    // Two sines 6 bins apart: one column (11.7 bins) holds both, the bins tell them apart.
    const int n = 16384;
    const auto frame = spectrum_test::NoisePlusSines(n, 7, 20.0, {{2050.0, 8000.0}, {2056.0, 2000.0}});
    const spectrum_test::ReferenceDft reference(n);
    model.AddSamples(frame.data(), n);
    ASSERT_EQ(model.fft.framesTotal, 1);
    for (int bin : {2050, 2053, 2056, 4000}) {
        const auto level = model.LevelDbAt(model.BinFrequency(bin));
        ASSERT_TRUE(level.has_value()) << bin;
        EXPECT_NEAR(*level, static_cast<double>(reference.LevelDb(frame, bin)), 1e-6) << bin;
    }
    EXPECT_GT(*model.LevelDbAt(model.BinFrequency(2050)), *model.LevelDbAt(model.BinFrequency(2053)) + 20.0);
    EXPECT_GT(*model.LevelDbAt(model.BinFrequency(2056)), *model.LevelDbAt(model.BinFrequency(2053)) + 20.0);
    EXPECT_FALSE(model.LevelDbAt(30000.0).has_value());
    // A new frame size resets the averages: no level until the next frame.
    model.fft.Setup(4096, 10, 48000.0);
    EXPECT_FALSE(model.LevelDbAt(6000.0).has_value());
}

}  // namespace
