// FindCarrier: smoothing, the strongest bin, the local floor, the run's edges and their fit.
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

// The run's edges (fractional bin indices, left < right) refined by a least-squares fit: around each
// edge, the levels within +-half bins are taken as a straight line, the two lines with one slope of
// opposite sign, and each edge moves to where its line crosses `threshold`. The fit is repeated
// around the new edges a few times. Returns false, edges untouched, when the fit is unusable (too
// few bins, a flat or inverted slope) or would move an edge by more than its window.
bool FitEdges(const std::vector<double>& level, double threshold, double half, double& left, double& right) {
    const int n = static_cast<int>(level.size());
    double l = left, r = right;
    for (int pass = 0; pass < 3; ++pass) {
        // Positions measured outwards from each edge, so that both sides fall with rising u.
        double su[2] = {}, sy[2] = {}, suu = 0.0, suy = 0.0;
        int count[2] = {};
        for (int side = 0; side < 2; ++side) {
            const double edge = side == 0 ? l : r;
            const int from = std::max(0, static_cast<int>(std::ceil(edge - half)));
            const int to = std::min(n - 1, static_cast<int>(std::floor(edge + half)));
            for (int i = from; i <= to; ++i) {
                const double u = side == 0 ? edge - i : i - edge;
                su[side] += u;
                sy[side] += level[i];
                suu += u * u;
                suy += u * level[i];
                ++count[side];
            }
        }
        if (count[0] < 3 || count[1] < 3) return false;
        // Model: level = a[side] + slope * u. The normal equations with a[side] eliminated.
        const double spread = suu - su[0] * su[0] / count[0] - su[1] * su[1] / count[1];
        if (!(spread > 0.0)) return false;
        const double slope = (suy - su[0] * sy[0] / count[0] - su[1] * sy[1] / count[1]) / spread;
        if (!(slope < 0.0)) return false;  // the levels must fall away from the carrier
        const double a0 = (sy[0] - slope * su[0]) / count[0];
        const double a1 = (sy[1] - slope * su[1]) / count[1];
        l -= (threshold - a0) / slope;
        r += (threshold - a1) / slope;
        if (!(std::abs(l - left) <= half && std::abs(r - right) <= half && l < r)) return false;
    }
    left = l;
    right = r;
    return true;
}

// Where the levels best match their mirror image about c, for c within +-maxShift bins of `mid`:
// a carrier of real symbols (BPSK) has a spectrum that is mirror-symmetric about its centre bin by
// bin, its ripple included, which pins the centre far closer than its two 6 dB points can. The
// cost is taken over the run and a little beyond, at half-bin steps of c (where every mirrored bin
// is a bin) and refined between steps by a parabola. None when the best c lies on the search's
// border or the match is not clearly better there than at the border: a carrier that is not
// symmetric keeps the run's midpoint.
constexpr double kMirrorDepth = 0.6;

std::optional<double> MirrorCentre(std::span<const double> levelsDb, double mid, double halfWidth, double maxShift) {
    const int n = static_cast<int>(levelsDb.size());
    const int steps = static_cast<int>(std::floor(maxShift * 2.0));
    if (steps < 2 || !(halfWidth > 2.0)) return std::nullopt;
    const int base2 = static_cast<int>(std::lround(mid * 2.0));  // 2c on the half-bin grid
    std::vector<double> cost(2 * steps + 1, 0.0);
    for (int k = -steps; k <= steps; ++k) {
        const int twoC = base2 + k;
        const double c = twoC / 2.0;
        const int from = static_cast<int>(std::ceil(c - halfWidth));
        const int to = static_cast<int>(std::floor(c));
        double sum = 0.0;
        int count = 0;
        for (int i = from; i <= to; ++i) {
            const int j = twoC - i;  // the mirror of bin i about c
            if (i < 0 || j >= n) return std::nullopt;
            const double d = levelsDb[i] - levelsDb[j];
            sum += d * d;
            ++count;
        }
        if (count == 0) return std::nullopt;
        cost[k + steps] = sum / count;
    }
    const int best = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    if (best == 0 || best == 2 * steps) return std::nullopt;
    // A carrier's own symmetry gives a deep, narrow match; noise alone, a shallow one that would only
    // move the centre at random.
    if (!(cost[best] < kMirrorDepth * 0.5 * (cost.front() + cost.back()))) return std::nullopt;
    const double a = cost[best - 1], b = cost[best], d = cost[best + 1];
    const double curve = a - 2.0 * b + d;
    const double offset = curve > 0.0 ? 0.5 * (a - d) / curve : 0.0;  // in half-bin steps
    return (base2 + (best - steps) + offset) / 2.0;
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
    double leftEdge = left > 0 ? Crossing(level, left, left - 1, threshold) : left;
    double rightEdge = right < n - 1 ? Crossing(level, right, right + 1, threshold) : right;
    // A run that reaches the row's end has no edge there to refine.
    const double fitHalf = search.edgeFitFraction * (rightEdge - leftEdge);
    if (fitHalf > 0.0 && left > 0 && right < n - 1) {
        const int fineHalf = std::max(0, static_cast<int>(std::lround(search.edgeSmoothingHalfWidthHz / binHz)));
        FitEdges(fineHalf == half ? level : Smooth(levelsDb, fineHalf), threshold, std::max(fitHalf, 2.0), leftEdge,
                 rightEdge);
    }
    double centre = (leftEdge + rightEdge) / 2.0;
    const double reach = search.mirrorReachHz / binHz;
    if (reach > 0.0 && left > 0 && right < n - 1) {
        // The run and a tenth beyond on each side, so that both slopes take part.
        if (const auto mirrored = MirrorCentre(levelsDb, centre, 0.6 * (rightEdge - leftEdge), reach))
            centre = *mirrored;
    }
    return (firstBin + centre) * binHz;
}

}  // namespace spectrum
