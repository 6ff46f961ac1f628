// A BPSK-like carrier for the carrier-finding tests and benchmark: random symbols shaped by a
// root-raised-cosine pulse (roll-off 0.35, so the carrier is symbolRate * 1.35 wide and its
// spectrum symmetric about the centre), plus white Gaussian noise at a given signal-to-noise ratio
// measured in the carrier's width.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace spectrum_test {

struct CarrierSpec {
    double centreHz = 1500.0;
    double widthHz = 1200.0;  // symbol rate * (1 + roll-off)
    double snrDb = 20.0;      // signal power over the noise power within widthHz
    double rate = 48000.0;
    double signalRms = 2000.0;
    int samples = 3 * 48000;
};

class BpskCarrier {
public:
    static constexpr double kRollOff = 0.35;
    static constexpr int kSpan = 8;  // pulse truncated to +-kSpan symbols
    static constexpr int kSteps = 512;  // pulse table entries per symbol

    BpskCarrier() : pulse_(2 * kSpan * kSteps + 1) {
        const double pi = 4.0 * std::atan(1.0);
        const double a = kRollOff;
        for (int i = 0; i < static_cast<int>(pulse_.size()); ++i) {
            const double t = static_cast<double>(i - kSpan * kSteps) / kSteps;
            const double h =
                std::abs(t) < 1e-9 ? 1.0 - a + 4.0 * a / pi
                : std::abs(std::abs(t) - 1.0 / (4.0 * a)) < 1e-9
                    ? a / std::sqrt(2.0) * ((1 + 2 / pi) * std::sin(pi / (4 * a)) + (1 - 2 / pi) * std::cos(pi / (4 * a)))
                    : (std::sin(pi * t * (1 - a)) + 4 * a * t * std::cos(pi * t * (1 + a))) / (pi * t * (1 - (4 * a * t) * (4 * a * t)));
            pulse_[i] = h * (0.5 + 0.5 * std::cos(pi * t / (kSpan + 1)));  // a gentle window: no truncation sidelobes
        }
    }

    std::vector<std::int16_t> Make(const CarrierSpec& c, std::mt19937& gen) const {
        const double pi = 4.0 * std::atan(1.0);
        const double symbolRate = c.widthHz / (1.0 + kRollOff);
        const double perSymbol = c.rate / symbolRate;
        const int symbols = static_cast<int>(c.samples / perSymbol) + 2 * kSpan + 2;
        std::bernoulli_distribution bit(0.5);
        std::vector<double> a(symbols);
        for (double& s : a) s = bit(gen) ? 1.0 : -1.0;
        const double phase = std::uniform_real_distribution<double>(0.0, 2 * pi)(gen);
        std::vector<double> x(c.samples);
        double power = 0.0;
        for (int n = 0; n < c.samples; ++n) {
            const double t = n / perSymbol;  // in symbols
            const int k0 = static_cast<int>(std::floor(t));
            double base = 0.0;
            for (int k = std::max(0, k0 - kSpan + 1); k <= k0 + kSpan && k < symbols; ++k)
                if (const auto index = std::lround((t - k + kSpan) * kSteps); index >= 0 && index < std::ssize(pulse_))
                    base += a[k] * pulse_[index];
            x[n] = base * std::cos(2 * pi * c.centreHz * n / c.rate + phase);
            power += x[n] * x[n];
        }
        const double scale = power > 0.0 ? c.signalRms / std::sqrt(power / c.samples) : 0.0;
        // White noise spreads over 0 .. rate/2; the carrier's width holds widthHz / (rate/2) of it.
        const double noisePower =
            c.signalRms * c.signalRms / std::pow(10.0, c.snrDb / 10.0) * (c.rate / 2.0) / c.widthHz;
        std::normal_distribution<double> noise(0.0, std::sqrt(noisePower));
        std::vector<std::int16_t> out(c.samples);
        for (int n = 0; n < c.samples; ++n) out[n] = static_cast<std::int16_t>(std::clamp(std::round(x[n] * scale + noise(gen)), -32768.0, 32767.0));
        return out;
    }

private:
    std::vector<double> pulse_;
};

}  // namespace spectrum_test
