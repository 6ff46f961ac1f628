// The spectrum model without a window: the framing of captured samples, values, the rate set-up,
// listeners, the plot's geometry and the full-resolution level queries a pointer readout needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "audio/sample_accumulator.h"
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

TEST(SpectrumModel, StartupValuesAndANewRate) {
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
        model.ApplyRate(48000);
        model.centerFrequency = centre;
        EXPECT_TRUE(model.ApplyRate(8000));
        EXPECT_EQ(std::tuple(model.endFrequency, model.centerFrequency, model.pointerFrequency),
                  std::tuple(4000, centre < 4000.0 ? centre : 2000.0, centre < 4000.0 ? centre : 2000.0));
    }
    const int heard = view.changes;
    EXPECT_FALSE(model.ApplyRate(8000));  // nothing to do, nothing to tell
    EXPECT_EQ(view.changes, heard);
    model.RemoveListener(&view);

    // The same rate keeps everything, even a centre above rate / 2; another rate drops the partial
    // frame of the old rate but keeps the averages; a frame size set by hand is put back.
    model.ApplyRate(48000);
    Feed(model, Tone(3000.0, 8000.0, 30000));
    const double level = model.fft.LevelDb(1024);
    ASSERT_EQ(std::pair(model.fft.framesTotal, model.sampleCount()), std::pair(4, 12288 + 1328));
    model.centerFrequency = 30000.0;
    EXPECT_FALSE(model.ApplyRate(48000));
    EXPECT_EQ(std::tuple(model.fft.framesTotal, model.fft.LevelDb(1024), model.sampleCount(), model.centerFrequency),
              std::tuple(4, level, 12288 + 1328, 30000.0));
    EXPECT_TRUE(model.ApplyRate(96000));
    EXPECT_EQ(std::tuple(model.fft.framesTotal, model.fft.LevelDb(1024), model.sampleCount()), std::tuple(4, level, 0));
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
    EXPECT_EQ(std::tuple(model.FrequencyAtX(350, 700), model.FrequencyAtX(0, 700), model.FrequencyAtX(-1, 700)),
              std::tuple(12000.0, 0.0, -1.0));
    int left = 0, right = 0, x = 0;
    // Band and centre columns for a few centres; a column's frequency maps back to that column.
    for (auto [centre, bandLeft, bandRight, centreX] : {std::tuple{2000.0, 23, 93, 58}, {12000.0, 315, 385, 350}}) {
        model.centerFrequency = centre;
        EXPECT_TRUE(model.BandColumns(700, left, right) && model.CentreColumn(700, x));
        EXPECT_EQ(std::tuple(left, right, x), std::tuple(bandLeft, bandRight, centreX));
    }
    for (int column : {0, 1, 349, 350, 699})
        EXPECT_TRUE(model.ColumnOf(model.FrequencyAtX(column, 700), 700, x) && x == column) << column;
    // Reversed band offsets still give left <= right; another marker style draws no band.
    std::swap(model.bandLowOffset, model.bandHighOffset);
    EXPECT_TRUE(model.BandColumns(700, left, right) && left < right);
    model.markerStyle = 0;
    EXPECT_FALSE(model.BandColumns(700, left, right));
    // A centre outside the range: no centre line; far-off or NaN values stay harmless.
    for (double outside : {-1.0, 30000.0}) {
        model.centerFrequency = outside;
        EXPECT_FALSE(model.CentreColumn(700, x)) << outside;
    }
    EXPECT_TRUE(model.ColumnOf(1e300, 700, x) && x == 1000000);
    EXPECT_FALSE(model.ColumnOf(std::nan(""), 700, x));
    // Without a scale (no width, or a rate of 0 or below) there is nothing to map.
    EXPECT_EQ(model.HzPerPixel(0), 0.0);
    for (int rate : {0, -8000}) {
        model.ApplyRate(rate);
        model.markerStyle = SpectrumModel::kBandMarker;
        EXPECT_EQ(std::pair(model.HzPerPixel(700), model.FrequencyAtX(350, 700)), std::pair(0.0, -1.0));
        EXPECT_FALSE(model.BandColumns(700, left, right) || model.CentreColumn(700, x)) << rate;
    }
}

TEST(SpectrumModel, LevelsAtFullBinResolution) {
    SpectrumModel model;
    model.SetStartupValues();
    EXPECT_EQ(std::tuple(model.BinAt(-1.0), model.BinAt(24000.1), model.BinAt(24000.0)), std::tuple(-1, -1, 8191));
    // 2.93 Hz per bin: the nearest bin.
    EXPECT_EQ(std::pair(model.BinAt(model.BinFrequency(2053)), model.BinAt(model.BinFrequency(2053) + 1.4)), std::pair(2053, 2053));
    EXPECT_FALSE(model.LevelDbAt(6000.0).has_value());  // no frame yet

    // Two sines 6 bins apart: one column (11.7 bins) holds both, the bins tell them apart.
    const auto frame = spectrum_test::NoisePlusSines(16384, 7, 20.0, {{2050.0, 8000.0}, {2056.0, 2000.0}});
    const spectrum_test::ReferenceDft reference(16384);
    model.AddSamples(frame.data(), 16384);
    for (int bin : {2050, 2053, 2056, 4000})
        EXPECT_NEAR(model.LevelDbAt(model.BinFrequency(bin)).value_or(1.0), static_cast<double>(reference.LevelDb(frame, bin)), 1e-6) << bin;
    EXPECT_GT(*model.LevelDbAt(model.BinFrequency(2056)), *model.LevelDbAt(model.BinFrequency(2053)) + 20.0);
    EXPECT_FALSE(model.LevelDbAt(30000.0).has_value());
    // A new frame size resets the averages: no level until the next frame.
    model.fft.Setup(4096, 10, 48000.0);
    EXPECT_FALSE(model.LevelDbAt(6000.0).has_value());
}

// Samples numbered from `start` (modulo 30000, to fit 16 bits).
std::vector<std::int16_t> Ramp(int start, int count) {
    std::vector<std::int16_t> v(count);
    for (int i = 0; i < count; ++i) v[i] = static_cast<std::int16_t>((start + i) % 30000);
    return v;
}

// Each row feeds `calls` blocks of numbered samples with one frame size and overlap factor; frames
// must come `size` samples long, `hop` apart, each in the call where its last sample arrives, and
// `left` samples stay collected at the end.
TEST(SampleAccumulator, FramesComeAHopApartOnceTheirLastSampleArrives) {
    struct Row { const char* what; int block, calls, frameSize, factor; int size, hop, frames, left; };
    const Row rows[] = {
        {"the first frame inside the 17th call", 1000, 60, 16384, 4, 16384, 4096, 11, 12288 + 2656},
        {"one big block yields every frame in it", 40000, 1, 16384, 4, 16384, 4096, 6, 12288 + 3136},
        {"factor 1: no overlap", 10000, 1, 4096, 1, 4096, 4096, 2, 10000 - 8192},
        {"factor 0: no overlap (nor below)", 10000, 1, 4096, 0, 4096, 4096, 2, 10000 - 8192},
        {"larger than the buffer: frames of the buffer's size", 20000, 1, 100000, 4, 16384, 4096, 1, 12288 + 3616},
        {"a factor that does not divide the size keeps all but the hop", 1010, 1, 1000, 3, 1000, 333, 1, 1000 - 333 + 10},
        {"a huge factor hops by one", 1003, 1, 1000, 5000, 1000, 1, 4, 999},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SampleAccumulator acc;
        std::vector<int> starts, calls;
        int returned = 0;
        for (int call = 1; call <= r.calls; ++call) {
            const auto block = Ramp((call - 1) * r.block, r.block);
            returned += acc.Add(block.data(), r.block, r.frameSize, r.factor, [&](const std::int16_t* frame, int size) {
                ASSERT_EQ(size, r.size);
                for (int i = 1; i < size; ++i) ASSERT_EQ(frame[i], (frame[0] + i) % 30000);
                starts.push_back(frame[0]);
                calls.push_back(call);
            });
        }
        ASSERT_EQ(static_cast<int>(starts.size()), r.frames);
        EXPECT_EQ(returned, r.frames);
        for (int k = 0; k < r.frames; ++k) {
            EXPECT_EQ(starts[k], k * r.hop % 30000) << k;
            EXPECT_EQ(calls[k], (r.size + r.hop * k + r.block - 1) / r.block) << k;
        }
        EXPECT_EQ(acc.count(), r.left);
    }
}

TEST(SampleAccumulator, BadArgumentsMakeNoFramesAndAShrunkSizeStartsOver) {
    const auto block = Ramp(0, 5000);
    int frames = 0;
    auto count = [&](const std::int16_t*, int) { ++frames; };
    // Zero or negative sizes and counts, and null samples, consume nothing into frames.
    SampleAccumulator none;
    for (auto [samples, n, size] : {std::tuple{block.data(), 5000, 0}, {block.data(), 5000, -16}, {nullptr, 5000, 1024},
                                    {block.data(), -5, 1024}})
        none.Add(samples, n, size, 4, count);
    EXPECT_EQ(std::pair(frames, none.count()), std::pair(0, 0));
    // A frame size that shrinks below what is collected starts the frame over.
    SampleAccumulator shrink;
    shrink.Add(block.data(), 3000, 4096, 4, count);
    shrink.Add(block.data(), 100, 2048, 4, count);
    EXPECT_EQ(std::pair(frames, shrink.count()), std::pair(0, 100));
}

}  // namespace
