// Accuracy of the carrier snap: BPSK-like carriers 1200 to 2400 Hz wide with random symbols, centres
// and pointer positions on the carrier at random, 3 s of audio through the spectrum model as the
// window runs it (48000 Hz, frames of 16384, averaging 10, overlap 4), then SpectrumModel::
// CarrierNear at the pointer. Prints the distribution of |found - played| for each signal-to-noise
// ratio.
//   carrier_bench [trials per ratio, default 200] [seed, default 1]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "audio/spectrum_model.h"
#include "bpsk_carrier.h"

namespace {

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;
    const spectrum_test::BpskCarrier carrier;
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> width(1200.0, 2400.0), centre(1500.0, 9000.0), along(-0.5, 0.5);

    std::printf("| SNR (dB) | trials | none found | median | 90 %% | 95 %% | max | within 5 Hz | within 10 Hz |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (double snr : {6.0, 8.0, 10.0, 15.0, 20.0, 30.0}) {
        std::vector<double> errors;
        int none = 0, within5 = 0, within10 = 0;
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
            const auto found = model.CarrierNear(pointer);
            if (!found) {
                ++none;
                continue;
            }
            const double error = std::abs(*found - spec.centreHz);
            errors.push_back(error);
            within5 += error <= 5.0;
            within10 += error <= 10.0;
        }
        std::printf("| %.0f | %d | %d | %.1f Hz | %.1f Hz | %.1f Hz | %.1f Hz | %.1f %% | %.1f %% |\n", snr, trials, none,
                    Percentile(errors, 0.5), Percentile(errors, 0.9), Percentile(errors, 0.95),
                    errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end()), 100.0 * within5 / trials,
                    100.0 * within10 / trials);
        std::fflush(stdout);
    }
    return 0;
}
