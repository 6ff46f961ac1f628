// SpectrumModel: the analysis behind the spectrum display, its geometry and its level queries.
#include "audio/spectrum_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kFrameSize = 16384;
constexpr int kAveragingLength = 10;

// Nearest pixel, halves to even; out-of-range and non-finite values are kept far off the plot
// instead of overflowing the conversion. Returns false for NaN.
bool ToPixel(double x, int& pixel) {
    if (std::isnan(x)) return false;
    const double limit = 1e6;
    pixel = static_cast<int>(std::nearbyint(std::clamp(x, -limit, limit)));
    return true;
}

}  // namespace

SpectrumModel::SpectrumModel() { fft.Setup(4096, 1, 48000.0); }

void SpectrumModel::AddListener(Listener* listener) {
    std::lock_guard<std::mutex> guard(lock);
    if (listener && std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void SpectrumModel::RemoveListener(Listener* listener) {
    std::lock_guard<std::mutex> guard(lock);
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

void SpectrumModel::NotifyLocked() {
    for (Listener* listener : listeners) listener->OnSpectrumChanged();
}

void SpectrumModel::SetStartupValues() {
    std::lock_guard<std::mutex> guard(lock);
    startFrequency = 0;
    endFrequency = 24000;
    topDb = 0.0;
    bottomDb = -80.0;
    overlapFactor = 4;
    frameSize = kFrameSize;
    fft.Setup(kFrameSize, kAveragingLength, 48000.0);
    centerFrequency = 2000.0;
    pointerFrequency = 2000.0;
    bandLowOffset = -1200.0;
    bandHighOffset = 1200.0;
    markerStyle = kBandMarker;
    NotifyLocked();
}

bool SpectrumModel::ApplyRate(int rate) {
    std::lock_guard<std::mutex> guard(lock);
    if (fft.rate == rate && fft.frameSize == kFrameSize && fft.averagingLength == kAveragingLength &&
        frameSize == kFrameSize)
        return false;
    frameSize = kFrameSize;
    accumulator.Reset();  // the partial frame belongs to the old rate
    // Same size and averaging length: the averages stay and fade out as new frames arrive.
    fft.Setup(kFrameSize, kAveragingLength, rate);
    endFrequency = rate / 2;
    if (!(rate / 2 > centerFrequency)) centerFrequency = 2000.0;
    pointerFrequency = centerFrequency;
    NotifyLocked();
    return true;
}

int SpectrumModel::sampleCount() {
    std::lock_guard<std::mutex> guard(lock);
    return accumulator.count();
}

void SpectrumModel::AddSamples(const std::int16_t* samples, int count) {
    std::lock_guard<std::mutex> guard(lock);
    accumulator.Add(samples, count, frameSize, overlapFactor,
                    [this](const std::int16_t* frame, int size) { AnalyseFrame(frame, size); });
}

// Under `lock`. The analysed width is the plot width, limited by the level array and by the
// analyser's bins; a wider plot analyses the part of the range that its first columns show.
void SpectrumModel::AnalyseFrame(const std::int16_t* frame, int size) {
    if (fft.LoadFrame(frame, size)) {
        const int columns = std::min({plotWidth, kMaxColumns, fft.frameSize / 2});
        int endHz = endFrequency;
        if (columns > 0 && plotWidth > columns)
            endHz = static_cast<int>(startFrequency +
                                     (static_cast<long long>(endFrequency) - startFrequency) * columns / plotWidth);
        // With no columns yet (before the first paint) the frame still goes into the averages.
        if (fft.ComputeColumns(plotHeight, columns, bottomDb, topDb, startFrequency, endHz, columnLevels.data()))
            analysedColumns = columns;
    }
    NotifyLocked();
}

int SpectrumModel::TakeColumns(int width, int height, ColumnLevels& levels) {
    std::lock_guard<std::mutex> guard(lock);
    plotWidth = width;
    plotHeight = height;
    levels = columnLevels;
    return analysedColumns;
}

double SpectrumModel::HzPerPixel(int width) const {
    const double range = static_cast<double>(endFrequency) - startFrequency;
    return width > 0 && range > 0.0 ? range / width : 0.0;
}

double SpectrumModel::FrequencyAtX(int x, int width) const {
    const double hzPerPixel = HzPerPixel(width);
    return hzPerPixel > 0.0 && x >= 0 ? hzPerPixel * x + startFrequency : -1.0;
}

bool SpectrumModel::ColumnOf(double hz, int width, int& x) const {
    const double hzPerPixel = HzPerPixel(width);
    return hzPerPixel > 0.0 && ToPixel((hz - startFrequency) / hzPerPixel, x);
}

bool SpectrumModel::BandColumns(int width, int& left, int& right) const {
    if (markerStyle != kBandMarker || !ColumnOf(bandLowOffset + centerFrequency, width, left) ||
        !ColumnOf(bandHighOffset + centerFrequency, width, right))
        return false;
    if (right < left) std::swap(left, right);
    return true;
}

bool SpectrumModel::CentreColumn(int width, int& x) const {
    return startFrequency <= centerFrequency && centerFrequency <= endFrequency && ColumnOf(centerFrequency, width, x);
}

int SpectrumModel::BinAt(double hz) const {
    const double rate = fft.rate;
    const int bins = fft.frameSize / 2;
    if (!(rate > 0.0) || !std::isfinite(rate) || !(hz >= 0.0) || hz > rate / 2.0) return -1;
    // The analyser keeps bins 0..N/2-1: the Nyquist frequency reads its neighbour.
    return std::min(static_cast<int>(std::nearbyint(hz * fft.frameSize / rate)), bins - 1);
}

double SpectrumModel::BinFrequency(int bin) const {
    return fft.frameSize > 0 ? bin * fft.rate / fft.frameSize : 0.0;
}

std::optional<double> SpectrumModel::LevelDbAt(double hz) {
    const int bin = BinAt(hz);
    // Before the first frame the averages hold zeros, which would read as a full-scale 0 dB.
    if (bin < 0 || !fft.HasAverages()) return std::nullopt;
    return fft.LevelDb(bin);
}

std::optional<double> SpectrumModel::CarrierNear(double hz) {
    const double rate = fft.rate;
    if (!(rate > 0.0) || !std::isfinite(rate) || fft.frameSize <= 0) return std::nullopt;
    const double binHz = rate / fft.frameSize;
    const spectrum::BinWindow bins = spectrum::CarrierBinWindow(hz, binHz, fft.frameSize / 2);
    if (bins.count <= 0) return std::nullopt;
    std::vector<double> levels(bins.count);
    if (!fft.CopyLevelsDb(bins.first, bins.count, levels.data())) return std::nullopt;
    return spectrum::FindCarrier(levels, bins.first, binHz, hz);
}

std::optional<double> SpectrumModel::SnrDbAt(double hz, double halfBandHz) {
    const double rate = fft.rate;
    const int bins = fft.frameSize / 2;
    if (!(rate > 0.0) || !std::isfinite(rate) || bins <= 0 || !fft.HasAverages()) return std::nullopt;
    if (!std::isfinite(hz) || !(halfBandHz > 0.0) || !std::isfinite(halfBandHz)) return std::nullopt;
    const double binHz = rate / fft.frameSize;
    // Mean power of the bins whose centres lie in [fromHz, toHz], or none.
    auto meanPower = [&](double fromHz, double toHz) -> std::optional<double> {
        const int first = std::max(0, static_cast<int>(std::ceil(fromHz / binHz)));
        const int last = std::min(bins - 1, static_cast<int>(std::floor(toHz / binHz)));
        if (last < first) return std::nullopt;
        std::vector<double> levels(static_cast<std::size_t>(last - first + 1));
        if (!fft.CopyLevelsDb(first, last - first + 1, levels.data())) return std::nullopt;
        double sum = 0.0;
        for (double db : levels) sum += std::pow(10.0, db / 10.0);
        return sum / static_cast<double>(levels.size());
    };
    const std::optional<double> band = meanPower(hz - halfBandHz, hz + halfBandHz);
    const double strip = halfBandHz / 2.0;
    const std::optional<double> below = meanPower(hz - halfBandHz - strip, hz - halfBandHz - binHz);
    const std::optional<double> above = meanPower(hz + halfBandHz + binHz, hz + halfBandHz + strip);
    if (!band || (!below && !above)) return std::nullopt;
    const double noise = below && above ? (*below + *above) / 2.0 : below ? *below : *above;
    if (!(noise > 0.0) || !(*band > 0.0)) return std::nullopt;
    return 10.0 * std::log10(*band / noise);
}

std::string SpectrumModel::ReadoutAt(double hz) {
    if (!(hz >= 0.0) || !std::isfinite(hz)) return {};
    char text[64];
    const std::optional<double> level = LevelDbAt(hz);
    // "-0 dB" would look odd: a level that rounds to zero reads 0.
    if (level)
        std::snprintf(text, sizeof(text), "%.0f Hz  %.0f dB", hz, std::nearbyint(*level) + 0.0);
    else
        std::snprintf(text, sizeof(text), "%.0f Hz", hz);
    return text;
}
