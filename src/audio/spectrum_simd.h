// Two doubles handled as one value: SSE2 where the target has it, plain doubles elsewhere.
// The transform and the level pass are written once against this type.
#pragma once

#if !defined(VASTREL_SPECTRUM_SCALAR) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define VASTREL_SPECTRUM_SSE2 1
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>

namespace spectrum {

#if defined(VASTREL_SPECTRUM_SSE2)

struct Pair {
    __m128d v;
};
inline Pair Load(const double* p) { return {_mm_loadu_pd(p)}; }
inline void Store(double* p, Pair a) { _mm_storeu_pd(p, a.v); }
inline Pair Splat(double x) { return {_mm_set1_pd(x)}; }
inline Pair operator+(Pair a, Pair b) { return {_mm_add_pd(a.v, b.v)}; }
inline Pair operator-(Pair a, Pair b) { return {_mm_sub_pd(a.v, b.v)}; }
inline Pair operator*(Pair a, Pair b) { return {_mm_mul_pd(a.v, b.v)}; }
inline Pair operator/(Pair a, Pair b) { return {_mm_div_pd(a.v, b.v)}; }
// (a0, b0) and (a1, b1): the 2x2 transpose used where one value per block is wanted.
inline Pair Low(Pair a, Pair b) { return {_mm_unpacklo_pd(a.v, b.v)}; }
inline Pair High(Pair a, Pair b) { return {_mm_unpackhi_pd(a.v, b.v)}; }
inline Pair Swap(Pair a) { return {_mm_shuffle_pd(a.v, a.v, 1)}; }

// Natural logarithm split: x = m * 2^e with m in [sqrt(1/2), sqrt(2)); x must be positive and finite.
inline void SplitLog(Pair x, Pair& m, Pair& e) {
    const __m128i bits = _mm_castpd_si128(x.v);
    const __m128i mantissaMask = _mm_set1_epi64x(0x000FFFFFFFFFFFFFLL);
    const __m128i one = _mm_set1_epi64x(0x3FF0000000000000LL);
    __m128d mant = _mm_castsi128_pd(_mm_or_si128(_mm_and_si128(bits, mantissaMask), one));
    // Biased exponent as a double: place it in the low mantissa bits of 2^52 and subtract 2^52.
    const __m128i magic = _mm_set1_epi64x(0x4330000000000000LL);
    __m128d expo = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(bits, 52), magic)),
                              _mm_set1_pd(4503599627370496.0 + 1023.0));
    const __m128d big = _mm_cmpgt_pd(mant, _mm_set1_pd(1.4142135623730951));
    mant = _mm_sub_pd(mant, _mm_and_pd(big, _mm_mul_pd(mant, _mm_set1_pd(0.5))));
    expo = _mm_add_pd(expo, _mm_and_pd(big, _mm_set1_pd(1.0)));
    m.v = mant;
    e.v = expo;
}

#else

struct Pair {
    double a, b;
};
inline Pair Load(const double* p) { return {p[0], p[1]}; }
inline void Store(double* p, Pair x) {
    p[0] = x.a;
    p[1] = x.b;
}
inline Pair Splat(double x) { return {x, x}; }
inline Pair operator+(Pair x, Pair y) { return {x.a + y.a, x.b + y.b}; }
inline Pair operator-(Pair x, Pair y) { return {x.a - y.a, x.b - y.b}; }
inline Pair operator*(Pair x, Pair y) { return {x.a * y.a, x.b * y.b}; }
inline Pair operator/(Pair x, Pair y) { return {x.a / y.a, x.b / y.b}; }
inline Pair Low(Pair x, Pair y) { return {x.a, y.a}; }
inline Pair High(Pair x, Pair y) { return {x.b, y.b}; }
inline Pair Swap(Pair x) { return {x.b, x.a}; }

inline void SplitLogOne(double x, double& m, double& e) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const std::uint64_t mantBits = (bits & 0x000FFFFFFFFFFFFFULL) | 0x3FF0000000000000ULL;
    std::memcpy(&m, &mantBits, sizeof m);
    e = static_cast<double>(static_cast<int>(bits >> 52) - 1023);
    if (m > 1.4142135623730951) {
        m *= 0.5;
        e += 1.0;
    }
}
inline void SplitLog(Pair x, Pair& m, Pair& e) {
    SplitLogOne(x.a, m.a, e.a);
    SplitLogOne(x.b, m.b, e.b);
}

#endif

// log10 of two positive, finite, normal doubles. Series in s = (m-1)/(m+1) up to s^13; over
// |s| <= 0.1716 the remainder is below 1e-12, far inside the 1e-9 bels the levels need.
inline Pair Log10(Pair x) {
    Pair m, e;
    SplitLog(x, m, e);
    const Pair one = Splat(1.0);
    const Pair s = (m - one) / (m + one);
    const Pair s2 = s * s;
    Pair poly = Splat(2.0 / 13.0);
    poly = poly * s2 + Splat(2.0 / 11.0);
    poly = poly * s2 + Splat(2.0 / 9.0);
    poly = poly * s2 + Splat(2.0 / 7.0);
    poly = poly * s2 + Splat(2.0 / 5.0);
    poly = poly * s2 + Splat(2.0 / 3.0);
    poly = poly * s2 + Splat(2.0);
    const Pair lnM = poly * s;
    return e * Splat(0.30102999566398119521) + lnM * Splat(0.43429448190325182765);
}

inline double Log10One(double x) {
    double in[2] = {x, x};
    double out[2];
    Store(out, Log10(Load(in)));
    return out[0];
}

}  // namespace spectrum
