// FindCarrier: smoothing, the strongest bin, the local floor and the run's edges.
#include "audio/carrier_finder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace spectrum {

namespace {

// Symmetric moving average in power over +-half bins (fewer at the ends), back in dB.
std::vector<double> Smooth(std::span<const double> levelsDb, int half) {
    const int n = static_cast<int>(levelsDb.size());
    std::vector<double> power(n);
    for (int i = 0; i < n; ++i) power[i] = std::pow(10.0, levelsDb[i] / 10.0);
    std::vector<double> prefix(n + 1, 0.0);
    for (int i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + power[i];
    std::vector<double> smoothed(n);
    for (int i = 0; i < n; ++i) {
        // Equal reach on both sides keeps the kernel symmetric near the ends too.
        const int reach = std::min({half, i, n - 1 - i});
        const double mean = (prefix[i + reach + 1] - prefix[i - reach]) / (2 * reach + 1);
        smoothed[i] = 10.0 * std::log10(std::max(mean, 1e-300));
    }
    return smoothed;
}

// Where the level crosses `threshold` between bins inside (in) and outside (out), as a fractional
// bin index.
double Crossing(const std::vector<double>& level, int in, int out, double threshold) {
    const double span = level[in] - level[out];
    const double t = span > 0.0 ? (level[in] - threshold) / span : 0.0;
    return in + (out - in) * std::clamp(t, 0.0, 1.0);
}

}  // namespace

BinWindow CarrierBinWindow(double pointerHz, double binHz, int totalBins, const CarrierSearch& search) {
    if (!(binHz > 0.0) || !std::isfinite(pointerHz) || totalBins <= 0) return {};
    const double reach = search.searchHalfWidthHz + search.reachHz;
    const double low = std::clamp((pointerHz - reach) / binHz, 0.0, static_cast<double>(totalBins - 1));
    const double high = std::clamp((pointerHz + reach) / binHz, 0.0, static_cast<double>(totalBins - 1));
    const int first = static_cast<int>(std::floor(low));
    const int last = static_cast<int>(std::ceil(high));
    return {first, last - first + 1};
}

std::optional<double> FindCarrier(std::span<const double> levelsDb, int firstBin, double binHz, double pointerHz,
                                  const CarrierSearch& search) {
    const int n = static_cast<int>(levelsDb.size());
    if (n < 3 || !(binHz > 0.0) || !std::isfinite(pointerHz) || firstBin < 0) return std::nullopt;
    for (double level : levelsDb)
        if (!std::isfinite(level)) return std::nullopt;

    const int half = std::max(0, static_cast<int>(std::lround(search.smoothingHalfWidthHz / binHz)));
    const std::vector<double> level = Smooth(levelsDb, half);

    // The strongest bin within the search window (bins given relative to firstBin).
    const double pointerBin = pointerHz / binHz - firstBin;
    const double searchBins = search.searchHalfWidthHz / binHz;
    const int low = std::max(0, static_cast<int>(std::ceil(pointerBin - searchBins)));
    const int high = std::min(n - 1, static_cast<int>(std::floor(pointerBin + searchBins)));
    if (low > high) return std::nullopt;
    int peak = low;
    for (int i = low + 1; i <= high; ++i)
        if (level[i] > level[peak]) peak = i;

    // The local floor: a low percentile of everything in reach, which a carrier as wide as the
    // window around it still leaves to the noise.
    std::vector<double> sorted(level);
    const auto rank = static_cast<std::ptrdiff_t>(search.floorPercentile * (n - 1));
    std::nth_element(sorted.begin(), sorted.begin() + rank, sorted.end());
    if (level[peak] - sorted[rank] < search.floorMarginDb) return std::nullopt;

    const double threshold = level[peak] - search.runDropDb;
    int left = peak, right = peak;
    while (left > 0 && level[left - 1] >= threshold) --left;
    while (right < n - 1 && level[right + 1] >= threshold) ++right;
    const double leftEdge = left > 0 ? Crossing(level, left, left - 1, threshold) : left;
    const double rightEdge = right < n - 1 ? Crossing(level, right, right + 1, threshold) : right;
    return (firstBin + (leftEdge + rightEdge) / 2.0) * binHz;
}

}  // namespace spectrum
