// FindCarrier locates a carrier's centre in a row of averaged bin levels: the strongest bin near
// the pointer, and the midpoint of the run of bins around it that stays within a few dB of it.
// Portable: the spectrum model hands it the analyser's levels; the benchmark and tests call it
// directly.
#pragma once
#include <optional>
#include <span>

namespace spectrum {

struct CarrierSearch {
    double searchHalfWidthHz = 1500.0;  // the strongest bin is looked for within this of the pointer
    double runDropDb = 6.0;             // the run around it stays within this of its level
    double floorMarginDb = 6.0;         // it must stand this far above the local floor, or no carrier
    // The levels are smoothed over +-this many Hz (in power, symmetrically, so a symmetric carrier
    // stays centred) before the search: one bin's level scatters by a few dB even after averaging,
    // which would break the run at random places.
    double smoothingHalfWidthHz = 150.0;
    // How far beyond the search window the run may extend, and the reach of the local floor.
    double reachHz = 2600.0;
    double floorPercentile = 0.2;  // the floor is this fraction's level among the bins in reach
    // Each edge of the run is then placed where a straight line fitted to the levels around it
    // crosses the run's threshold: the bins within +-edgeFitFraction of the run's width of the edge,
    // smoothed over only +-edgeSmoothingHalfWidthHz, both edges' lines sharing one steepness (the
    // two sides of a carrier fall alike). That uses every bin of the edge instead of the two next to
    // the crossing. 0 keeps the edges where the smoothed levels cross between two bins.
    double edgeFitFraction = 0.08;
    double edgeSmoothingHalfWidthHz = 50.0;
    // Last, the run's midpoint moves to where the raw levels across the run best match their mirror
    // image, looked for within +-mirrorReachHz of it: a carrier of real symbols is mirror-symmetric
    // about its centre bin by bin, ripple and all, which pins the centre far closer than the noisy
    // 6 dB points can. When the best match lies at the border of that reach (a carrier that is not
    // symmetric), the midpoint stays. 0 turns this off.
    double mirrorReachHz = 12.0;
};

// The bins the search needs around pointerHz: [first, first + count) within the bins the levels
// cover.
struct BinWindow {
    int first = 0;
    int count = 0;
};
BinWindow CarrierBinWindow(double pointerHz, double binHz, int totalBins, const CarrierSearch& search = {});

// levelsDb[i] is the level in dB of bin firstBin + i, bins binHz apart (bin b centred on b * binHz).
// Returns the centre in Hz, between bins where the run's edges fall between bins; none when no bin
// within the search window stands floorMarginDb above the local floor, or the input is unusable.
std::optional<double> FindCarrier(std::span<const double> levelsDb, int firstBin, double binHz, double pointerHz,
                                  const CarrierSearch& search = {});

}  // namespace spectrum
