// Small signal checks for the real-audio tests: tone power (Goertzel) and the strongest tone.
#pragma once
#include <cstddef>
#include <cstdint>

namespace audio::testing {

// Power of the frequency `hz` in n samples taken at `rate` (Goertzel).
double TonePower(const int16_t* samples, size_t n, double rate, double hz);
// The frequency with the most power among lowHz, lowHz + stepHz, ... up to highHz.
double DominantFrequency(const int16_t* samples, size_t n, double rate, double lowHz, double highHz, double stepHz);
// Root mean square of the samples.
double Rms(const int16_t* samples, size_t n);

}  // namespace audio::testing
