// SpectrumModel is what the spectrum display shows, without a window: the analyser fed with captured
// samples, the frequency and level ranges, the carrier's centre and band, and the level of each pixel
// column, with the queries a pointer readout or a second view needs.
//
// Threads: the capture thread calls AddSamples; everything else runs on the user-interface thread.
// The fields below are written only on the user-interface thread; those the analysis reads
// (frequency and level ranges, frameSize, overlapFactor, plot size) change under the model's lock.
#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/carrier_finder.h"
#include "audio/sample_accumulator.h"
#include "audio/xfft.h"

class SpectrumModel {
public:
    // The level array has one entry per pixel column; wider plots analyse this many columns and
    // leave the rest of the width without a curve.
    static constexpr int kMaxColumns = 7999;
    static constexpr int kMaxFrameSize = SampleAccumulator::kCapacity;
    static constexpr int kBandMarker = 2;
    using ColumnLevels = std::array<int, kMaxColumns + 1>;

    // Hears that the picture changed: a frame was analysed (on the capture thread, with the model's
    // lock held: only ask for a repaint, never call back into the model) or a new rate or start-up
    // values were applied (on the user-interface thread).
    class Listener {
    public:
        virtual void OnSpectrumChanged() = 0;

    protected:
        ~Listener() = default;
    };

    // The values of a display that has just been created: 0..24000 Hz, -140..0 dB, frames of 4096
    // without overlap (Setup(4096, 1, 48000)), centre and pointer at -1 Hz, band -125..+125 Hz.
    SpectrumModel();
    SpectrumModel(const SpectrumModel&) = delete;
    SpectrumModel& operator=(const SpectrumModel&) = delete;

    // A listener must be removed before it goes; adding one twice has no further effect.
    void AddListener(Listener* listener);
    void RemoveListener(Listener* listener);

    // The values the main window gives the display right after creating it: 0..24000 Hz,
    // -80..0 dB, overlap 4, frames of 16384 with Setup(16384, 10, 48000), centre and pointer at
    // 2000 Hz, band -1200..+1200 Hz, band marker on.
    void SetStartupValues();

    // Applies a new sample rate: frames of 16384, the partial frame dropped, Setup(16384, 10, rate),
    // range 0..rate/2, centre back to 2000 Hz when rate/2 is not above it, pointer frequency = centre.
    // Returns false (and changes nothing, averages included) when the analyser already runs that
    // set-up at that rate. A rate of 0 or below is applied: the range is then empty and has no scale.
    bool ApplyRate(int rate);

    // Capture thread: collects frames of frameSize with overlapFactor, analyses each at the plot
    // size of the latest paint and tells the listeners. Never allocates.
    void AddSamples(const std::int16_t* samples, int count);

    // Samples collected towards the next frame.
    int sampleCount();

    // For a paint: records the plot size that the next frames are analysed for, and copies the
    // column levels; returns how many columns the latest frame analysed (the rest are not drawn).
    int TakeColumns(int width, int height, ColumnLevels& levels);

    // --- geometry of a plot `width` pixels wide (user-interface thread) ---
    // Hz per pixel column; 0 when there is no scale (no width, or an empty or reversed range).
    double HzPerPixel(int width) const;
    // The frequency of column x; -1 when x < 0 or there is no scale.
    double FrequencyAtX(int x, int width) const;
    // The column nearest to hz (halves to even), kept within +-1e6 so that far-off values cannot
    // overflow; false when there is no scale or hz is not a number.
    bool ColumnOf(double hz, int width, int& x) const;
    // The band's left and right edge columns (left <= right); false when the band is not drawn.
    bool BandColumns(int width, int& left, int& right) const;
    // The centre line's column; false when the centre lies outside the range or there is no scale.
    bool CentreColumn(int width, int& x) const;

    // --- the analyser's averaged levels at full bin resolution (user-interface thread) ---
    // The bin nearest to hz, or -1 outside 0..rate/2 or without a rate.
    int BinAt(double hz) const;
    // The frequency at the centre of a bin.
    double BinFrequency(int bin) const;
    // The averaged level in dB of the bin nearest to hz; none outside the range or before the first
    // frame since the averages were reset.
    std::optional<double> LevelDbAt(double hz);
    // The centre of the carrier near hz (the strongest bin within +-1500 Hz of it and the run
    // around that bin within 6 dB of it, see spectrum::FindCarrier); none when nothing there stands
    // 6 dB above the local floor, before the first frame, or without a rate.
    std::optional<double> CarrierNear(double hz);
    // The carrier's signal to noise at hz, in dB: the mean power of the averaged bins within
    // +-halfBandHz of it against that of the strips of halfBandHz / 2 just outside the band on each
    // side (what lies within 0..rate/2 of them). None before the first frame, without a rate, or
    // when the band or both strips lie outside the range.
    std::optional<double> SnrDbAt(double hz, double halfBandHz = 1200.0);
    // The pointer readout at hz: "1523 Hz  -42 dB" (both rounded to whole numbers), only the
    // frequency before the first frame, and nothing for a negative hz (no pointer or no scale).
    std::string ReadoutAt(double hz);

    // --- values shared with the main window (names as the rest of the program knows them) ---
    int startFrequency = 0;
    int endFrequency = 24000;
    double topDb = 0.0;
    double bottomDb = -140.0;
    int overlapFactor = 0;
    Cxfft fft;
    int frameSize = 4096;
    int plotWidth = 0;   // as of the latest paint
    int plotHeight = 0;
    double pointerFrequency = -1.0;  // under the pointer as of the latest paint or click
    double centerFrequency = -1.0;   // the selected carrier
    double bandLowOffset = -125.0;   // band edges relative to the centre
    double bandHighOffset = 125.0;
    int markerStyle = kBandMarker;   // kBandMarker draws the band; any other value none

private:
    void AnalyseFrame(const std::int16_t* frame, int size);
    void NotifyLocked();

    std::mutex lock;  // guards the accumulator, the levels, the plot size and the listeners
    SampleAccumulator accumulator;
    ColumnLevels columnLevels{};
    int analysedColumns = 0;
    std::vector<Listener*> listeners;
};
