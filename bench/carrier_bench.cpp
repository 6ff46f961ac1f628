// Accuracy of the carrier snap: BPSK-like carriers 1200 to 2400 Hz wide with random symbols, centres
// and pointer positions on the carrier at random, 3 s of audio through the spectrum model as the
// window runs it (48000 Hz, frames of 16384 with the analyser's Hann window, averaging 10, overlap 4),
// then SpectrumModel::CarrierNear at the pointer. Prints the distribution of |found - played| for
// each signal-to-noise ratio; then, on the same averaged levels, the same for the run's edges taken
// only where the smoothed levels cross between two bins (no fitted edges), for comparison.
//   carrier_bench [trials per ratio, default 200] [seed, default 1]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "audio/carrier_finder.h"
#include "audio/spectrum_model.h"
#include "bpsk_carrier.h"

namespace {

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// The errors of one way of finding the centre at one ratio.
struct Tally {
    std::vector<double> errors;
    int none = 0;
    void Add(const std::optional<double>& found, double played) {
        if (found)
            errors.push_back(std::abs(*found - played));
        else
            ++none;
    }
    std::string Row(double snr, int trials) const {
        const auto within = [&](double hz) {
            return 100.0 * std::count_if(errors.begin(), errors.end(), [hz](double e) { return e <= hz; }) / trials;
        };
        char line[256];
        std::snprintf(line, sizeof(line), "| %.0f | %d | %d | %.1f Hz | %.1f Hz | %.1f Hz | %.1f Hz | %.1f %% | %.1f %% |\n",
                      snr, trials, none, Percentile(errors, 0.5), Percentile(errors, 0.9), Percentile(errors, 0.95),
                      errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end()), within(5.0),
                      within(10.0));
        return line;
    }
};

constexpr const char* kHeader =
    "| SNR (dB) | trials | none found | median | 90 %% | 95 %% | max | within 5 Hz | within 10 Hz |\n"
    "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;
    const spectrum_test::BpskCarrier carrier;
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> width(1200.0, 2400.0), centre(1500.0, 9000.0), along(-0.5, 0.5);
    spectrum::CarrierSearch edgesOnly;  // the 6 dB run's fitted midpoint, not moved by the mirror match
    edgesOnly.mirrorReachHz = 0.0;

    std::string comparison;
    std::printf("CarrierNear (midpoint of the fitted run, moved by the mirror match):\n\n");
    std::printf(kHeader);
    for (double snr : {6.0, 8.0, 10.0, 15.0, 20.0, 30.0}) {
        Tally found, edges;
        for (int t = 0; t < trials; ++t) {
            spectrum_test::CarrierSpec spec;
            spec.widthHz = width(gen);
            spec.centreHz = centre(gen);
            spec.snrDb = snr;
            const double pointer = spec.centreHz + along(gen) * spec.widthHz;
            const auto samples = carrier.Make(spec, gen);
            SpectrumModel model;
            model.SetStartupValues();
            model.AddSamples(samples.data(), static_cast<int>(samples.size()));
            found.Add(model.CarrierNear(pointer), spec.centreHz);

            const double binHz = model.fft.rate / model.fft.frameSize;
            const auto bins = spectrum::CarrierBinWindow(pointer, binHz, model.fft.frameSize / 2, edgesOnly);
            std::vector<double> levels(bins.count);
            std::optional<double> atEdges;
            if (bins.count > 0 && model.fft.CopyLevelsDb(bins.first, bins.count, levels.data()))
                atEdges = spectrum::FindCarrier(levels, bins.first, binHz, pointer, edgesOnly);
            edges.Add(atEdges, spec.centreHz);
        }
        std::printf("%s", found.Row(snr, trials).c_str());
        std::fflush(stdout);
        comparison += edges.Row(snr, trials);
    }
    std::printf("\nThe same levels, the fitted run's midpoint alone:\n\n");
    std::printf(kHeader);
    std::printf("%s", comparison.c_str());
    return 0;
}
