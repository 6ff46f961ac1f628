#include "audio/real_fft.h"

#include <cmath>

#include "audio/spectrum_simd.h"

namespace spectrum {
namespace {

const double kTwoPi = 8.0 * std::atan(1.0);

// (xr + i xi) * (c + i s) on two lanes at once.
inline void Rotate(Pair xr, Pair xi, Pair c, Pair s, Pair& outR, Pair& outI) {
    outR = xr * c - xi * s;
    outI = xr * s + xi * c;
}

}  // namespace

void RealFftPlan::Build(int n) {
    n_ = n;
    m_ = n / 2;
    int log2m = 0;
    while ((1 << log2m) < m_) ++log2m;
    radix2First_ = (log2m % 2) != 0;

    // Twiddles come straight from cos/sin, never from a recurrence, so each is within an ulp.
    radix2Twiddles_.assign(radix2First_ ? m_ : 0, 0.0);
    if (radix2First_) {
        const int half = m_ / 2;
        for (int j = 0; j < half; ++j) {
            const double angle = kTwoPi * j / m_;
            radix2Twiddles_[j] = std::cos(angle);
            radix2Twiddles_[half + j] = -std::sin(angle);
        }
    }

    spans_.clear();
    int blockSize = radix2First_ ? m_ / 2 : m_;
    for (int span = blockSize / 4; span >= 4; span /= 4) spans_.push_back(span);
    std::size_t total = 0;
    for (int span : spans_) total += 6u * static_cast<std::size_t>(span);
    stageTwiddles_.assign(total, 0.0);
    double* t = stageTwiddles_.data();
    for (int span : spans_) {
        for (int k = 1; k <= 3; ++k) {
            double* c = t + (2 * (k - 1)) * span;
            double* s = c + span;
            for (int j = 0; j < span; ++j) {
                // k*j stays below 3*span: reduce exactly before scaling.
                const double angle = kTwoPi * (k * j) / (4.0 * span);
                c[j] = std::cos(angle);
                s[j] = -std::sin(angle);
            }
        }
        t += 6 * span;
    }

    bitReverse_.assign(m_, 0);
    for (int k = 0; k < m_; ++k) {
        int r = 0;
        for (int bit = 0; bit < log2m; ++bit) r |= ((k >> bit) & 1) << (log2m - 1 - bit);
        bitReverse_[k] = r;
    }

    // Split reads the first half of each octave [2^j, 2^(j+1)) of positions in order; position p
    // there holds Z[k], k = bitrev(p), and its twiddle W^k is stored at p - 2^(j-1).
    splitTwiddles_.assign(m_, 0.0);
    const int half = m_ / 2;
    for (int octave = 2; octave < m_; octave *= 2) {
        for (int i = 0; i < octave / 2; ++i) {
            const double angle = kTwoPi * bitReverse_[octave + i] / n_;
            splitTwiddles_[octave / 2 + i] = std::cos(angle);
            splitTwiddles_[half + octave / 2 + i] = -std::sin(angle);
        }
    }
}

void RealFftPlan::Radix2Stage(double* re, double* im) const {
    const int half = m_ / 2;
    const double* cs = radix2Twiddles_.data();
    const double* sn = cs + half;
    for (int j = 0; j < half; j += 2) {
        const Pair ar = Load(re + j), ai = Load(im + j);
        const Pair br = Load(re + j + half), bi = Load(im + j + half);
        Store(re + j, ar + br);
        Store(im + j, ai + bi);
        Pair outR, outI;
        Rotate(ar - br, ai - bi, Load(cs + j), Load(sn + j), outR, outI);
        Store(re + j + half, outR);
        Store(im + j + half, outI);
    }
}

// Quarter q of each block receives the outputs whose index is congruent to bitrev2(q) modulo 4,
// so that with the radix-2 stage in front the whole result lands in plain bit-reversed order.
void RealFftPlan::Radix4Stage(double* re, double* im, int span, const double* tw) const {
    const double* c1 = tw;
    const double* s1 = tw + span;
    const double* c2 = tw + 2 * span;
    const double* s2 = tw + 3 * span;
    const double* c3 = tw + 4 * span;
    const double* s3 = tw + 5 * span;
    for (int base = 0; base < m_; base += 4 * span) {
        double* r0 = re + base;
        double* i0 = im + base;
        double* r1 = r0 + span;
        double* i1 = i0 + span;
        double* r2 = r1 + span;
        double* i2 = i1 + span;
        double* r3 = r2 + span;
        double* i3 = i2 + span;
        for (int j = 0; j < span; j += 2) {
            const Pair u0r = Load(r0 + j), u0i = Load(i0 + j);
            const Pair u1r = Load(r1 + j), u1i = Load(i1 + j);
            const Pair u2r = Load(r2 + j), u2i = Load(i2 + j);
            const Pair u3r = Load(r3 + j), u3i = Load(i3 + j);
            const Pair a0r = u0r + u2r, a0i = u0i + u2i;
            const Pair a1r = u0r - u2r, a1i = u0i - u2i;
            const Pair a2r = u1r + u3r, a2i = u1i + u3i;
            const Pair a3r = u1r - u3r, a3i = u1i - u3i;
            Store(r0 + j, a0r + a2r);
            Store(i0 + j, a0i + a2i);
            Pair outR, outI;
            Rotate(a0r - a2r, a0i - a2i, Load(c2 + j), Load(s2 + j), outR, outI);
            Store(r1 + j, outR);
            Store(i1 + j, outI);
            Rotate(a1r + a3i, a1i - a3r, Load(c1 + j), Load(s1 + j), outR, outI);
            Store(r2 + j, outR);
            Store(i2 + j, outI);
            Rotate(a1r - a3i, a1i + a3r, Load(c3 + j), Load(s3 + j), outR, outI);
            Store(r3 + j, outR);
            Store(i3 + j, outI);
        }
    }
}

// The quarter-span 1 stage needs no twiddles; two blocks of four go through it side by side.
void RealFftPlan::LastRadix4Stage(double* re, double* im) const {
    for (int base = 0; base < m_; base += 8) {
        const Pair ra = Load(re + base), rb = Load(re + base + 2);
        const Pair rc = Load(re + base + 4), rd = Load(re + base + 6);
        const Pair ia = Load(im + base), ib = Load(im + base + 2);
        const Pair ic = Load(im + base + 4), id = Load(im + base + 6);
        const Pair u0r = Low(ra, rc), u1r = High(ra, rc), u2r = Low(rb, rd), u3r = High(rb, rd);
        const Pair u0i = Low(ia, ic), u1i = High(ia, ic), u2i = Low(ib, id), u3i = High(ib, id);
        const Pair a0r = u0r + u2r, a0i = u0i + u2i;
        const Pair a1r = u0r - u2r, a1i = u0i - u2i;
        const Pair a2r = u1r + u3r, a2i = u1i + u3i;
        const Pair a3r = u1r - u3r, a3i = u1i - u3i;
        const Pair y0r = a0r + a2r, y0i = a0i + a2i;
        const Pair y1r = a0r - a2r, y1i = a0i - a2i;
        const Pair y2r = a1r + a3i, y2i = a1i - a3r;
        const Pair y3r = a1r - a3i, y3i = a1i + a3r;
        Store(re + base, Low(y0r, y1r));
        Store(re + base + 2, Low(y2r, y3r));
        Store(re + base + 4, High(y0r, y1r));
        Store(re + base + 6, High(y2r, y3r));
        Store(im + base, Low(y0i, y1i));
        Store(im + base + 2, Low(y2i, y3i));
        Store(im + base + 4, High(y0i, y1i));
        Store(im + base + 6, High(y2i, y3i));
    }
}

// Z = FFT of z[m] = x[2m] + i x[2m+1]; with E = (Z[k] + conj Z[m-k]) / 2 and
// O = (Z[k] - conj Z[m-k]) / 2i: X[k] = E + W^k O and X[m-k] = conj(E - W^k O), W = e^(-2 pi i / n).
// In bit-reversed positions the partner of p in [2^j, 2^(j+1)) is p ^ (2^j - 1), the mirror image
// inside the same octave, so both run through memory in order (one forwards, one backwards).
void RealFftPlan::Split(const double* re, const double* im, double* power) const {
    const int half = m_ / 2;
    const double* cs = splitTwiddles_.data();
    const double* sn = cs + half;
    const double dc = re[0] + im[0];
    power[0] = dc * dc;
    power[1] = re[1] * re[1] + im[1] * im[1];  // bin m/2: W^k O is purely imaginary and E real
    {
        // Octave 1 (positions 2 and 3) is too short for pairs.
        const double zr = re[2], zi = im[2], mr = re[3], mi = im[3];
        const double er = 0.5 * (zr + mr), ei = 0.5 * (zi - mi);
        const double orr = 0.5 * (zi + mi), oi = -0.5 * (zr - mr);
        const double wr = cs[1] * orr - sn[1] * oi, wi = cs[1] * oi + sn[1] * orr;
        power[2] = (er + wr) * (er + wr) + (ei + wi) * (ei + wi);
        power[3] = (er - wr) * (er - wr) + (ei - wi) * (ei - wi);
    }
    const Pair h = Splat(0.5);
    for (int octave = 4; octave < m_; octave *= 2) {
        const int last = 2 * octave - 1;
        for (int i = 0; i < octave / 2; i += 2) {
            const int p = octave + i;
            const int q = last - i - 1;  // pair (q, q + 1) holds the partners of p + 1 and p
            const Pair zr = Load(re + p), zi = Load(im + p);
            const Pair mr = Swap(Load(re + q)), mi = Swap(Load(im + q));
            const Pair er = h * (zr + mr), ei = h * (zi - mi);
            const Pair orr = h * (zi + mi), oi = h * (mr - zr);
            const Pair c = Load(cs + octave / 2 + i), s = Load(sn + octave / 2 + i);
            const Pair wr = c * orr - s * oi, wi = c * oi + s * orr;
            const Pair xr = er + wr, xi = ei + wi;
            const Pair yr = er - wr, yi = ei - wi;
            Store(power + p, xr * xr + xi * xi);
            Store(power + q, Swap(yr * yr + yi * yi));
        }
    }
}

void RealFftPlan::Power(double* re, double* im, double* power) const {
    if (radix2First_) Radix2Stage(re, im);
    const double* tw = stageTwiddles_.data();
    for (int span : spans_) {
        Radix4Stage(re, im, span, tw);
        tw += 6 * span;
    }
    LastRadix4Stage(re, im);
    Split(re, im, power);
}

}  // namespace spectrum
