#include "tone_analysis.h"

#include <cmath>

namespace audio::testing {

double TonePower(const int16_t* samples, size_t n, double rate, double hz) {
    const double pi = 3.14159265358979323846;
    const double coeff = 2.0 * std::cos(2.0 * pi * hz / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < n; ++i) {
        double s0 = samples[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

double DominantFrequency(const int16_t* samples, size_t n, double rate, double lowHz, double highHz, double stepHz) {
    double best = lowHz, bestPower = -1;
    for (double f = lowHz; f <= highHz; f += stepHz) {
        double p = TonePower(samples, n, rate, f);
        if (p > bestPower) bestPower = p, best = f;
    }
    return best;
}

double Rms(const int16_t* samples, size_t n) {
    if (n == 0) return 0;
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(n));
}

}  // namespace audio::testing
