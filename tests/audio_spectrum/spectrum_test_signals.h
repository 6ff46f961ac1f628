// Test signals and a plain long-double DFT to check the analyser against.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace spectrum_test {

// Uniform noise of amplitude `noise` plus sines {frequency, amplitude}, the frequency in cycles per
// `period` samples; samples start .. start + count - 1, clipped to 16 bits.
inline std::vector<std::int16_t> Sines(int count, double period, const std::vector<std::pair<double, double>>& sines,
                                       double noise = 0.0, unsigned seed = 1, int start = 0) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-noise, noise);
    std::vector<std::int16_t> s(count);
    const long double twoPi = 8.0L * std::atan(1.0L);
    for (int i = 0; i < count; ++i) {
        long double v = noise > 0.0 ? dist(gen) : 0.0;
        for (const auto& [f, amplitude] : sines) v += amplitude * std::sin(twoPi * f * (start + i) / period);
        s[i] = static_cast<std::int16_t>(std::clamp(std::round(v), -32768.0L, 32767.0L));
    }
    return s;
}
// A frame of n samples, the frequencies in bins; and a sine at `hz` sampled at `rate`.
inline std::vector<std::int16_t> NoisePlusSines(int n, unsigned seed, double noise, const std::vector<std::pair<double, double>>& sines) {
    return Sines(n, n, sines, noise, seed);
}
inline std::vector<std::int16_t> Tone(double hz, double amplitude, int count, int start = 0, double rate = 48000.0) {
    return Sines(count, rate, {{hz, amplitude}}, 0.0, 1, start);
}

// Level in dB of bin b of the Hann-windowed frame, with the analyser's scaling and floor, computed
// independently in long double: 0 dB for a full-scale sine on a bin, -140 dB for silence.
class ReferenceDft {
public:
    explicit ReferenceDft(int n) : n_(n), cos_(n), sin_(n), window_(n) {
        const long double twoPi = 8.0L * std::atan(1.0L);
        for (int t = 0; t < n; ++t) {
            cos_[t] = std::cos(twoPi * t / n);
            sin_[t] = std::sin(twoPi * t / n);
            window_[t] = 0.5L - 0.5L * std::cos(twoPi * t / (n - 1));
        }
        offsetDb_ = -20.0L * std::log10(n * 32767.0L / 4.0L);
        floor_ = std::pow(10.0L, (-140.0L - offsetDb_) / 10.0L);
    }
    long double LevelDb(const std::vector<std::int16_t>& s, int bin) const {
        long double re = 0, im = 0;
        for (long long i = 0, phase = 0; i < n_; ++i, phase = (phase + bin) % n_) {
            re += s[i] * window_[i] * cos_[phase];
            im -= s[i] * window_[i] * sin_[phase];
        }
        return 10.0L * std::log10(re * re + im * im + floor_) + offsetDb_;
    }

private:
    int n_;
    std::vector<long double> cos_, sin_, window_;
    long double offsetDb_, floor_;
};

}  // namespace spectrum_test
