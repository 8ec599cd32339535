// Tests of the sine table, the complex transform and the real-input spectrum.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "transform/transform.h"

// The references below rely on the 64-bit significand of the x87 format; with
// a 53-bit long double they would be no better than the code under test.
static_assert(LDBL_MANT_DIG >= 64, "the reference sums need an extended long double");

#include "support/bits.h"

namespace {

const long double kPiL = 3.141592653589793238462643383279502884L;
const double kUnit = 0x1p-53;  // unit roundoff u of double

::testing::AssertionResult same_bits(double got, double want) {
    if (bits_of(got) == bits_of(want)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "got " << describe(got) << ", want " << describe(want);
}

// Uniform in [-1, 1), built from the bits so that every platform draws the
// same data (std::uniform_real_distribution is implementation-defined).
double draw(std::mt19937_64& rng) { return static_cast<double>(rng() >> 11) * 0x1p-52 - 1.0; }

// Pairwise summation: the reference's own rounding error grows with log2 of
// the length rather than with the length.
long double pairwise_sum(const long double* v, size_t n) {
    if (n <= 8) {
        long double s = 0.0L;
        for (size_t i = 0; i < n; ++i) {
            s += v[i];
        }
        return s;
    }
    size_t half = n / 2;
    return pairwise_sum(v, half) + pairwise_sum(v + half, n - half);
}

struct LongComplex {
    long double re;
    long double im;
};

// e^(2*pi*i*m/L) for m = 0 ... L-1, with the index reduced exactly beforehand.
std::vector<LongComplex> unit_roots(uint32_t L) {
    std::vector<LongComplex> w(L);
    for (uint32_t m = 0; m < L; ++m) {
        long double angle = (2.0L * kPiL * m) / L;
        w[m] = {std::cos(angle), std::sin(angle)};
    }
    return w;
}

// Direct sum of sum_j z(j) * e^(+2*pi*i*j*k/L), k = 0 ... L-1, from interleaved z.
std::vector<LongComplex> direct_dft(const std::vector<double>& z) {
    uint32_t L = static_cast<uint32_t>(z.size() / 2);
    std::vector<LongComplex> w = unit_roots(L);
    std::vector<LongComplex> out(L);
    std::vector<long double> re(L), im(L);
    for (uint32_t k = 0; k < L; ++k) {
        for (uint32_t j = 0; j < L; ++j) {
            const LongComplex& t = w[static_cast<size_t>(static_cast<uint64_t>(j) * k % L)];
            re[j] = z[2 * j] * t.re - z[2 * j + 1] * t.im;
            im[j] = z[2 * j + 1] * t.re + z[2 * j] * t.im;
        }
        out[k] = {pairwise_sum(re.data(), L), pairwise_sum(im.data(), L)};
    }
    return out;
}

// The packed spectrum by its definition: slot 0 is dx * sum y, slot 1 is
// dx * sum (-1)^n y, slot k = 1 ... N/2-1 is dx * sum y(n) e^(2*pi*i*f_k*(x0 + n*dx)).
// The origin factor e^(2*pi*i*k*(x0/dx)/N) has its whole turns removed in
// long double, so its error is about |x0/dx| * 2^-64 turns.
std::vector<LongComplex> direct_spectrum(const std::vector<double>& y, double x0, double dx) {
    uint32_t N = static_cast<uint32_t>(y.size());
    std::vector<LongComplex> w = unit_roots(N);
    std::vector<LongComplex> out(N / 2);
    std::vector<long double> re(N), im(N);
    long double ratio = static_cast<long double>(x0) / dx;
    for (uint32_t k = 0; k < N / 2; ++k) {
        for (uint32_t n = 0; n < N; ++n) {
            const LongComplex& t = w[static_cast<size_t>(static_cast<uint64_t>(k) * n % N)];
            re[n] = y[n] * t.re;
            im[n] = y[n] * t.im;
        }
        long double sr = pairwise_sum(re.data(), N);
        long double si = pairwise_sum(im.data(), N);
        long double turns = (k * ratio) / N;
        turns -= std::nearbyint(turns);
        long double cr = std::cos(2.0L * kPiL * turns) * dx;
        long double ci = std::sin(2.0L * kPiL * turns) * dx;
        out[k] = {sr * cr - si * ci, si * cr + sr * ci};
    }
    for (uint32_t n = 0; n < N; ++n) {
        re[n] = (n % 2 == 0) ? y[n] : -y[n];
    }
    out[0].im = pairwise_sum(re.data(), N) * dx;  // the Nyquist value, slot 1
    return out;
}

// Largest |got - want| over all slots, divided by the largest |want|.
double error_of_largest(const std::vector<double>& got, const std::vector<LongComplex>& want) {
    long double err = 0.0L;
    long double top = 0.0L;
    for (size_t k = 0; k < want.size(); ++k) {
        long double dr = got[2 * k] - want[k].re;
        long double di = got[2 * k + 1] - want[k].im;
        err = std::fmax(err, std::hypot(dr, di));
        top = std::fmax(top, std::hypot(want[k].re, want[k].im));
    }
    return static_cast<double>(err / top);
}

std::vector<double> random_values(uint32_t count, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<double> v(count);
    for (double& x : v) {
        x = draw(rng);
    }
    return v;
}

// ---------------------------------------------------------------------------
// Sine table

// The values the table must hold, as bit patterns, including the exact
// zeros (+0.0, not a rounding remainder of pi) and the exact one.
TEST(SineTable, KnownEntries) {
    struct Case {
        int j;
        double want;
    };
    const Case cases[] = {
        {0, 0.0},
        {1, 0.0},
        {2, 1.0},
        {3, 0x1.6a09e667f3bcdp-1},    // 0.7071067811865476
        {4, 0x1.87de2a6aea963p-2},    // 0.3826834323650898
        {5, 0x1.8f8b83c69a60bp-3},    // 0.19509032201612828
        {48, 0x1.921fb54442d18p-46},  // 2.2322358387255243e-14
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(same_bits(kSineTable[c.j], c.want)) << "j = " << c.j;
    }
}

// Every entry against sinl: the long double value carries about 2^-62 of
// relative error (pi to 64 bits, one sinl rounding), so the nearest double
// lies within half an ulp of it plus that slack. An entry one ulp off fails.
TEST(SineTable, NearestToLongDoubleSine) {
    for (int j = 2; j < 49; ++j) {
        long double exact = std::sin((2.0L * kPiL) / std::ldexp(1.0L, j));
        double entry = kSineTable[j];
        long double half_ulp = (std::nextafter(entry, 2.0) - entry) / 2.0L;
        long double slack = std::ldexp(exact, -60);
        EXPECT_LE(std::fabs(entry - exact), half_ulp + slack)
            << "j = " << j << ": entry " << describe(entry) << ", sinl "
            << describe(static_cast<double>(exact));
    }
}

// ---------------------------------------------------------------------------
// Bit reversal and the complex transform

// For M = 8 the pairs are 1 <-> 4 and 3 <-> 6; larger M against a bit
// reversal computed by shifting; M <= 2 leaves everything in place.
TEST(BitReverse, Permutation) {
    const uint32_t expected8[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (uint32_t M : {1u, 2u, 4u, 8u, 16u, 1024u}) {
        std::vector<double> z(2 * M);
        for (uint32_t i = 0; i < M; ++i) {
            z[2 * i] = i;
            z[2 * i + 1] = -1.0 - i;
        }
        bit_reverse(z.data(), M);
        int bits = 0;
        while ((1u << bits) < M) {
            ++bits;
        }
        for (uint32_t i = 0; i < M; ++i) {
            uint32_t from = 0;
            for (int b = 0; b < bits; ++b) {
                from |= ((i >> b) & 1u) << (bits - 1 - b);
            }
            if (M == 8) {
                ASSERT_EQ(from, expected8[i]);
            }
            EXPECT_EQ(z[2 * i], static_cast<double>(from)) << "M = " << M << ", slot " << i;
            EXPECT_EQ(z[2 * i + 1], -1.0 - from) << "M = " << M << ", slot " << i;
        }
    }
}

// Lengths with no stage or a single one: M = 0 and M = 1 touch nothing,
// M = 2 is one butterfly with w = 1 (sum first, difference second).
TEST(ComplexFft, SmallLengths) {
    struct Case {
        uint32_t M;
        double in[6];
        double want[6];
    };
    const double sentinel = 0x1.5p-3;
    const Case cases[] = {
        {0, {sentinel, -7.25, sentinel, 0, 0, 0}, {sentinel, -7.25, sentinel, 0, 0, 0}},
        {1, {-0.0, -7.25, sentinel, 0, 0, 0}, {-0.0, -7.25, sentinel, 0, 0, 0}},
        {2, {1, 0, 0, 0, sentinel, 0}, {1, 0, 1, 0, sentinel, 0}},
        {2, {1.5, -2, 0.25, 3, sentinel, 0}, {1.75, 1, 1.25, -5, sentinel, 0}},
    };
    for (const Case& c : cases) {
        double z[6];
        std::memcpy(z, c.in, sizeof z);
        bit_reverse(z, c.M);
        complex_fft(z, c.M);
        for (int i = 0; i < 6; ++i) {
            EXPECT_TRUE(same_bits(z[i], c.want[i])) << "M = " << c.M << ", double " << i;
        }
    }
}

// A unit impulse at index 1 gives z(k) = e^(+2*pi*i*k/4): (1,0), (0,1), (-1,0),
// (0,-1). The second twiddle is 1 + alpha = 1 - 2*S(3)^2, and S(3)^2 rounds
// up to 0.5 + 2^-53, so the zeros of z(1) and z(3) come out as -+2^-52.
TEST(ComplexFft, ImpulseAtOneForFour) {
    double z[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    bit_reverse(z, 4);
    complex_fft(z, 4);
    const double want[8] = {1, 0, -0x1p-52, 1, -1, 0, 0x1p-52, -1};
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(same_bits(z[i], want[i])) << "double " << i;
    }
}

// Random complex data against the direct sum for every power of two up to
// 2048 (the length the spectrum of 4096 values uses). The butterflies add
// about u per stage, log2(M) stages in all; the twiddle recurrence drifts over
// the up to M/2 steps of the last stage, like sqrt(M/2) * u for rounding
// errors that vary in sign. Together about 1e-15 at M = 2048; 2e-15 of the
// largest output, while a wrong twiddle or sign costs O(1).
TEST(ComplexFft, MatchesDirectSum) {
    for (uint32_t M = 1; M <= 2048; M *= 2) {
        std::vector<double> z = random_values(2 * M, 1000 + M);
        std::vector<LongComplex> want = direct_dft(z);
        bit_reverse(z.data(), M);
        complex_fft(z.data(), M);
        double err = error_of_largest(z, want);
        EXPECT_LE(err, 2e-15) << "M = " << M;
    }
}

// ---------------------------------------------------------------------------
// Real-input spectrum

struct ExactCase {
    const char* what;
    std::vector<double> y;
    double x0;
    double dx;
    std::vector<double> want;
};

// Hand-derived results that the arithmetic reproduces exactly.
TEST(RealSpectrum, ExactValues) {
    const ExactCase cases[] = {
        // N = 2: the sum and the difference, scaled; no bins, so x0 plays no part.
        {"N = 2", {3.0, 0.5}, 123.4, 0.25, {0.875, 0.625}},
        // N = 4 impulses: index 0 gives a flat spectrum, index 1 gives bin 1 = i,
        // the positive-exponent convention.
        {"N = 4, impulse at 0", {1, 0, 0, 0}, 0.0, 1.0, {1, 1, 1, 0}},
        {"N = 4, impulse at 1", {0, 1, 0, 0}, 0.0, 1.0, {1, -1, 0, 1}},
        // Worked example: phi = 3*pi/2 in double, cos(phi) = -1.8369701987210297e-16
        // rather than 0, so bin 1 misses the exact (0.75, 1.25) by one ulp each.
        // The bits do not hang on the last bits of cos(phi): an x87 fcos value,
        // off by 3e-5 of itself here, gives the same bin.
        {"worked example", {1, 2, 6, -1}, 0.75, 0.25, {2, 1.5, 0x1.8000000000002p-1, 0x1.3ffffffffffffp+0}},
    };
    for (const ExactCase& c : cases) {
        std::vector<double> a = c.y;
        real_spectrum(a.data(), static_cast<uint32_t>(a.size()), c.x0, c.dx, kOneWorker);
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_TRUE(same_bits(a[i], c.want[i])) << c.what << ", slot " << i;
        }
    }
}

// One value: nothing to transform, but the zero-frequency value is still scaled.
TEST(RealSpectrum, SingleValue) {
    double a[2] = {3.0, 0x1.5p-3};
    real_spectrum(a, 1, 5.0, 0.5, kOneWorker);
    EXPECT_TRUE(same_bits(a[0], 1.5));
    EXPECT_TRUE(same_bits(a[1], 0x1.5p-3));
}

// One cycle of a cosine over N = 8: all energy in bin 1, dx * N/2 = 4, and every
// slot within a few roundings of the largest value (u * 4 = 4.4e-16) of the
// exact result; the input's rounded cos(pi/4) alone moves bins by 1.4e-16.
TEST(RealSpectrum, CosineOverEight) {
    const double r = 0x1.6a09e667f3bcdp-1;  // cos(pi/4)
    double a[8] = {1, r, 0, -r, -1, -r, 0, r};
    real_spectrum(a, 8, 0.0, 1.0, kOneWorker);
    const double want[8] = {0, 0, 4, 0, 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(a[i], want[i], 1e-15) << "slot " << i;
    }
}

// With x0 = 0, phi is 0, cos and sin are exactly 1 and 0 and the rotation only
// scales by dx, so the error is that of the transform itself: the complex
// transform of N/2 values (see ComplexFft.MatchesDirectSum) plus the split
// step, whose own twiddle recurrence runs N/4 steps. 2e-15 of the largest bin.
TEST(RealSpectrum, MatchesDirectSumAtOrigin) {
    for (uint32_t N = 2; N <= 4096; N *= 2) {
        for (double dx : {1.0, 0.001}) {
            std::vector<double> y = random_values(N, N);
            std::vector<LongComplex> want = direct_spectrum(y, 0.0, dx);
            real_spectrum(y.data(), N, 0.0, dx, kOneWorker);
            double err = error_of_largest(y, want);
            EXPECT_LE(err, 2e-15) << "N = " << N << ", dx = " << dx;
        }
    }
}

// Relative error of the rotation factor of bin k, 1 <= k < N/2, with
// u = 2^-53 and the origin phase phi = 2*pi*r/N, r = x0/dx:
//  - phi is formed with two roundings (x0 * 2pi and the division; N * dx is
//    exact) from a 2pi 3.9e-17 (relative) below the true value, so
//    phi = phi_true * (1 + rho) with |rho| <= 2u + 3.9e-17 < 2.7e-16. The
//    recurrence turns bin k by k * phi, and k * |phi| < pi * |r|: an angle
//    error of at most pi * |r| * 2.7e-16. This is the part that grows with the
//    distance of the origin from the first sample.
//  - cos and sin are each within one ulp, at most 2u (the ulp of 1), so the
//    step (cphi, sphi) is off by at most 2*sqrt(2)*u; raised to the power k
//    the error is systematic: k * 2*sqrt(2)*u.
//  - each recurrence step rounds two products and a sum per part, at most
//    u * (|cr*cphi| + |ci*sphi| + |result|) <= 2u * |c| per part, so
//    2*sqrt(2)*u of the factor: k * 2*sqrt(2)*u in the worst case (the
//    roundings vary, so typically they add up like sqrt(k)).
// For white noise every bin is about as large as the largest, so relative to
// the largest bin the error stays below the transform's 2e-15 plus
//   pi * |r| * 2.7e-16 + (N/2) * 4*sqrt(2)*u.
// The reference's own origin factor is off by about |r| * 2^-61 radians,
// negligible beside the first term.
double rotation_bound(double r, uint32_t N) {
    const double kPi = 3.141592653589793;
    return (kPi * std::fabs(r)) * 2.7e-16 + (N / 2) * (4.0 * std::sqrt(2.0) * kUnit);
}

// x0 != 0, against the direct sum at the true abscissae.
TEST(RealSpectrum, MatchesDirectSumAwayFromOrigin) {
    for (uint32_t N = 2; N <= 4096; N *= 2) {
        for (double ratio : {0.375, -57.1, 100.3, 3999.7}) {
            const double dx = 0.01;
            double x0 = ratio * dx;
            std::vector<double> y = random_values(N, 7 * N + 1);
            std::vector<LongComplex> want = direct_spectrum(y, x0, dx);
            real_spectrum(y.data(), N, x0, dx, kOneWorker);
            double err = error_of_largest(y, want);
            EXPECT_LE(err, 2e-15 + rotation_bound(x0 / dx, N)) << "N = " << N << ", x0/dx = " << ratio;
        }
    }
}

// Shifting every abscissa by c keeps each magnitude and turns bin k by
// 2*pi*f_k*c. The data before the rotation are the same bits in both runs, so
// bin by bin the quotient of the two results must be e^(2*pi*i*f_k*c) up to the
// two rotation factors' errors plus the rounding of the two complex products
// (2*sqrt(2)*u each).
TEST(RealSpectrum, ShiftTurnsPhases) {
    struct Case {
        uint32_t N;
        double x0;
        double dx;
        double c;
    };
    const Case cases[] = {
        {16, 0.0, 0.5, 3.25},
        {256, -1.5, 0.125, 0.0078125},
        {1024, 2.0, 0.001, 1.7},
        {4096, 10.0, 0.3, -250.0},
    };
    for (const Case& s : cases) {
        std::vector<double> y = random_values(s.N, s.N + 99);
        std::vector<double> a = y;
        std::vector<double> b = y;
        real_spectrum(a.data(), s.N, s.x0, s.dx, kOneWorker);
        real_spectrum(b.data(), s.N, s.x0 + s.c, s.dx, kOneWorker);
        EXPECT_TRUE(same_bits(a[0], b[0]));
        EXPECT_TRUE(same_bits(a[1], b[1]));
        double tol = rotation_bound(s.x0 / s.dx, s.N) + rotation_bound((s.x0 + s.c) / s.dx, s.N) + 8 * kUnit;
        long double ratio = static_cast<long double>(s.c) / s.dx;
        for (uint32_t k = 1; k < s.N / 2; ++k) {
            long double turns = (k * ratio) / s.N;
            turns -= std::nearbyint(turns);
            std::complex<long double> turn = std::polar(1.0L, 2.0L * kPiL * turns);
            std::complex<long double> before(a[2 * k], a[2 * k + 1]);
            std::complex<long double> after(b[2 * k], b[2 * k + 1]);
            double err = static_cast<double>(std::abs(after / before - turn));
            EXPECT_LE(err, tol) << "N = " << s.N << ", c = " << s.c << ", bin " << k;
        }
    }
}

// ---------------------------------------------------------------------------
// The arithmetic itself

// The spectrum is fixed bit for bit only with plain double arithmetic. x87
// intermediates round 89255 / 1e22 twice and land one ulp high; a fused
// multiply-add keeps the 2^-60 that a separate product drops.
TEST(Arithmetic, PlainDoubles) {
    EXPECT_EQ(FLT_EVAL_METHOD, 0);
    volatile double numerator = 89255.0;
    volatile double denominator = 1e22;
    EXPECT_TRUE(same_bits(numerator / denominator, 0x1.494af6ce5221fp-57));
    volatile double f = 1.0 + 0x1p-30;
    volatile double g = 1.0 + 0x1p-29;
    EXPECT_TRUE(same_bits(f * f - g, 0.0));
}

}  // namespace
