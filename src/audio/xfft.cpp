#include "audio/xfft.h"

#include <algorithm>
#include <cmath>

#include "audio/spectrum_simd.h"

namespace {

// Frequency to bin in floating point, truncated toward zero and clamped to 0..maxBin, so that no
// rate, however odd, can overflow the conversion.
int BinOf(int hz, int n, double rate, int maxBin) {
    const double bin = static_cast<double>(hz) * n / rate;
    if (!(bin > 0.0)) return 0;
    if (bin >= maxBin) return maxBin;
    return static_cast<int>(bin);
}

int RoundDownToPowerOfTwo(int v) {
    int p = 1;
    while (p <= v / 2) p *= 2;
    return p;
}

}  // namespace

Cxfft::Cxfft() { Setup(2048, 1, 1000.0); }

Cxfft::~Cxfft() = default;

void Cxfft::Setup(int requestedSize, int length, double sampleRate) {
    if (requestedSize == 0) return;
    std::lock_guard<std::mutex> guard(lock);
    // The next ComputeColumns rebuilds the column map for the new rate.
    mapStartHz = mapEndHz = startBin = endBin = mapColumns = 0;
    rate = sampleRate;
    averagingLength = length <= 0 ? 1 : length;
    int n = requestedSize;
    if (n < kMinSize || n > kMaxSize) n = kMaxSize;
    n = RoundDownToPowerOfTwo(n);  // the transform needs a power of two
    frameSize = n;
    if (n != allocatedSize) {
        BuildTables(n);
        allocatedSize = n;
        ResetAveragesLocked();
    }
    if (appliedAveragingLength != averagingLength) {
        appliedAveragingLength = averagingLength;
        ResetAveragesLocked();
    }
}

void Cxfft::BuildTables(int n) {
    const int bins = n / 2;
    window.assign(n, 0.0);
    work.assign(n, 0.0);
    power.assign(bins, 0.0);
    averages.assign(bins, 0.0);
    sums.assign(bins, 0.0);
    columnMap.assign(bins, 0);
    plan.Build(n);
    frameLoaded = false;

    // A full-scale sine on a bin has magnitude 32767 * n / 4 after the Hann window: that reads 0 dB.
    const double offsetDb = -20.0 * std::log10(n * 32767.0 / 4.0);
    levelOffset = offsetDb / 10.0;
    floorPower = std::pow(10.0, (-140.0 - offsetDb) / 10.0);

    const double twoPi = 8.0 * std::atan(1.0);
    for (int i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * std::cos(twoPi * i / (n - 1));
}

bool Cxfft::LoadFrame(const std::int16_t* samples, int count) {
    std::lock_guard<std::mutex> guard(lock);
    if (!samples || count != frameSize || allocatedSize != frameSize) return false;
    const int half = frameSize / 2;
    double* re = work.data();
    double* im = re + half;
    const double* w = window.data();
    for (int m = 0; m < half; ++m) {
        re[m] = samples[2 * m] * w[2 * m];
        im[m] = samples[2 * m + 1] * w[2 * m + 1];
    }
    frameLoaded = true;
    return true;
}

bool Cxfft::ComputeColumns(int height, int columns, double bottomDb, double topDb, int startHz, int endHz,
                           int* levels) {
    std::lock_guard<std::mutex> guard(lock);
    if (frameLoaded) {
        // Transforming a frame twice would square its scale into overflow: once per load.
        const int half = frameSize / 2;
        plan.Power(work.data(), work.data() + half, power.data());
        UpdateAverages();
        frameLoaded = false;
    }
    if (!levels || columns < 1 || columns > frameSize / 2) return false;
    if (startHz != mapStartHz || endHz != mapEndHz || columns != mapColumns) RebuildColumnMap(columns, startHz, endHz);
    WriteColumns(height, columns, bottomDb, topDb, levels);
    return true;
}

void Cxfft::RebuildColumnMap(int columns, int startHz, int endHz) {
    mapStartHz = startHz;
    mapEndHz = endHz;
    mapColumns = columns;
    const int maxBin = frameSize / 2 - 1;
    if (!(rate > 0.0) || !std::isfinite(rate)) {
        startBin = endBin = 0;
        mapIsBinToColumn = false;
        return;
    }
    startBin = BinOf(startHz, frameSize, rate, maxBin);
    endBin = BinOf(endHz, frameSize, rate, maxBin);
    const long long span = static_cast<long long>(endBin) - startBin;
    mapIsBinToColumn = span > columns;
    // The levels sit in the transform's order (see RealFftPlan::Power), so the map is kept by
    // position: which column a position feeds, or which position a column shows.
    if (mapIsBinToColumn) {
        std::fill(columnMap.begin(), columnMap.end(), -1);
        // Every bin of the range lands in one of the columns 0..columns-1, the last bin included.
        for (int i = startBin; i <= endBin; ++i)
            columnMap[plan.Position(i)] =
                static_cast<int>((i - startBin) * static_cast<long long>(columns) / (span + 1));
    } else {
        for (int j = 0; j < columns; ++j) columnMap[j] = plan.Position(static_cast<int>(span * j / columns + startBin));
    }
}

void Cxfft::UpdateAverages() {
    ++framesTotal;
    if (framesInAverage < averagingLength) ++framesInAverage;
    const int bins = frameSize / 2;
    const bool replacing = framesTotal > averagingLength;
    const spectrum::Pair floor = spectrum::Splat(floorPower);
    const spectrum::Pair offset = spectrum::Splat(levelOffset);
    const spectrum::Pair scale = spectrum::Splat(1.0 / framesInAverage);
    double* avg = averages.data();
    double* sum = sums.data();
    const double* pw = power.data();
    // The averaging runs on the logarithmic levels (bels), as the display is meant to show them.
    for (int b = 0; b < bins; b += 2) {
        const spectrum::Pair level = spectrum::Log10(spectrum::Load(pw + b) + floor) + offset;
        spectrum::Pair s = spectrum::Load(sum + b);
        s = replacing ? s - spectrum::Load(avg + b) + level : s + level;
        spectrum::Store(sum + b, s);
        spectrum::Store(avg + b, s * scale);
    }
}

void Cxfft::WriteColumns(int height, int columns, double bottomDb, double topDb, int* levels) const {
    if (height < 0) height = 0;
    if (!(rate > 0.0) || !std::isfinite(rate)) {
        std::fill(levels, levels + columns, 0);
        return;
    }
    const double range = bottomDb - topDb;
    const double s = range != 0.0 ? -10.0 / range : 0.0;
    const double f = bottomDb / 10.0;
    const double hs = height * s;
    auto levelOf = [&](int position) {
        const double v = hs * (averages[position] - f);
        if (!(v > 0.0)) return 0;  // also catches NaN
        if (v >= height) return height;
        return static_cast<int>(v);
    };
    if (mapIsBinToColumn) {
        // A column shows the lowest level among its bins, so that a column spanning a carrier's
        // edge follows the noise floor rather than the strongest neighbour.
        std::fill(levels, levels + columns, height);
        const int positions = frameSize / 2;
        for (int p = 0; p < positions; ++p) {
            const int column = columnMap[p];
            if (column < 0) continue;
            const int level = levelOf(p);
            if (level < levels[column]) levels[column] = level;
        }
    } else {
        for (int j = 0; j < columns; ++j) levels[j] = levelOf(columnMap[j]);
    }
}

void Cxfft::ResetAverages() {
    std::lock_guard<std::mutex> guard(lock);
    ResetAveragesLocked();
}

void Cxfft::ResetAveragesLocked() {
    std::fill(averages.begin(), averages.end(), 0.0);
    std::fill(sums.begin(), sums.end(), 0.0);
    framesInAverage = 0;
    framesTotal = 0;
}

double Cxfft::AverageBels(int bin) {
    std::lock_guard<std::mutex> guard(lock);
    if (bin < 0 || bin >= static_cast<int>(averages.size())) return 0.0;
    return averages[plan.Position(bin)];
}

bool Cxfft::HasAverages() {
    std::lock_guard<std::mutex> guard(lock);
    return framesInAverage > 0;
}

bool Cxfft::CopyLevelsDb(int first, int count, double* out) {
    std::lock_guard<std::mutex> guard(lock);
    if (framesInAverage <= 0 || !out || first < 0 || count < 0 || count > frameSize / 2 - first) return false;
    for (int i = 0; i < count; ++i) out[i] = 10.0 * averages[plan.Position(first + i)];
    return true;
}
