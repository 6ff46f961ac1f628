// RealFftPlan computes the power spectrum of one real frame: an N/2-point complex FFT of the
// samples taken in pairs (radix-4 decimation in frequency, one radix-2 stage when log2(N/2) is odd),
// then the split step that turns it into the bins of the real sequence.
#pragma once
#include <cstdint>
#include <vector>

namespace spectrum {

class RealFftPlan {
public:
    // Builds the tables for a power-of-two size n >= 16. Allocates; nothing else does.
    void Build(int n);
    int size() const noexcept { return n_; }

    // re/im hold the frame's even and odd samples (n/2 each); both are overwritten. On return
    // power[Position(b)] = |X[b]|^2 for b = 0 .. n/2 - 1, X the unnormalised DFT of the real frame.
    // The bins stay in the transform's bit-reversed order: putting them back costs more than
    // everything after the transform, which works per bin and does not mind the order.
    void Power(double* re, double* im, double* power) const;
    int Position(int bin) const noexcept { return bitReverse_[bin]; }

private:
    void Radix2Stage(double* re, double* im) const;
    void Radix4Stage(double* re, double* im, int span, const double* twiddles) const;
    void LastRadix4Stage(double* re, double* im) const;
    void Split(const double* re, const double* im, double* power) const;

    int n_ = 0;
    int m_ = 0;  // complex points
    bool radix2First_ = false;
    std::vector<double> radix2Twiddles_;  // cos, then -sin, of 2*pi*j/m for j < m/2
    std::vector<int> spans_;               // quarter-spans of the twiddled radix-4 stages, largest first
    std::vector<double> stageTwiddles_;    // per stage: c1 s1 c2 s2 c3 s3, `span` values each
    std::vector<double> splitTwiddles_;    // cos, then -sin, of 2*pi*k/n, see Split
    std::vector<std::int32_t> bitReverse_; // position of Z[k] after the transform
};

}  // namespace spectrum
