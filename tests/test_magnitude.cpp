// The magnitude of a bin at both ends of the double range, against the x87
// unit set to round every operation to 53 bits: the same arithmetic as the
// plain formula, but with a 15-bit exponent, so nothing overflows or
// underflows before the final conversion to double.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "output/output.h"

namespace {

uint64_t bits_of(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// At run time, as the program computes it: folded at compile time, a NaN
// could come out with another sign, which prints differently.
double plain_magnitude(double re, double im) {
    volatile double r = re;
    volatile double i = im;
    return std::sqrt((r * r) + (i * i));
}

#if defined(__x86_64__) || defined(__i386__)
constexpr bool kHaveReference = true;

double reference_magnitude(double re, double im) {
    uint16_t saved;
    __asm__ volatile("fnstcw %0" : "=m"(saved));
    // Precision control (bits 8 and 9) = 10: a 53-bit significand.
    const uint16_t double_precision = static_cast<uint16_t>((saved & ~0x0300u) | 0x0200u);
    __asm__ volatile("fldcw %0" : : "m"(double_precision));
    volatile long double r = re;
    volatile long double i = im;
    volatile long double square_r = r * r;
    volatile long double square_i = i * i;
    volatile long double sum = square_r + square_i;
    long double root = sum;
    __asm__ volatile("fsqrt" : "+t"(root));
    volatile long double result = root;
    __asm__ volatile("fldcw %0" : : "m"(saved));
    return static_cast<double>(result);
}
#else
constexpr bool kHaveReference = false;
double reference_magnitude(double re, double im) { return plain_magnitude(re, im); }
#endif

bool square_sum_is_normal(double re, double im) {
    const double sum = (re * re) + (im * im);
    return sum >= DBL_MIN && sum <= DBL_MAX;
}

// Outside the normal range of the sum of squares the two differ, or the
// branch is never needed: each row below must take the scaled path.
struct Exact {
    const char* what;
    double re;
    double im;
    double want;
};

const double kTiny = std::numeric_limits<double>::denorm_min();

const Exact kExact[] = {
    {"impulse 1e200", 1e200, 0.0, 1e200},
    {"impulse -1e200 on the imaginary axis", 0.0, -1e200, 1e200},
    {"3-4-5 at 2^600", 0x3p600, 0x4p600, 0x5p600},
    {"3-4-5 at 2^-600", 0x3p-600, -0x4p-600, 0x5p-600},
    {"impulse 1e-170", 1e-170, 0.0, 1e-170},
    {"impulse -1e-170 on the imaginary axis", 0.0, -1e-170, 1e-170},
    {"largest double", DBL_MAX, 0.0, DBL_MAX},
    {"largest double, negative, imaginary", 0.0, -DBL_MAX, DBL_MAX},
    {"both parts at the largest double", DBL_MAX, DBL_MAX, HUGE_VAL},
    {"3-4-5 near the top: 5 * 2^1021 fits", 0x3p1021, 0x4p1021, 0x5p1021},
    {"beyond the largest double: 2.12 * 2^1023", 0x1.8p1023, -0x1.8p1023, HUGE_VAL},
    {"just below it: 1.80 * 2^1023", 0x1.8p1023, 0x1p1023, 0x1.cd82b446159f3p1023},
    {"smallest normal", DBL_MIN, 0.0, DBL_MIN},
    {"smallest subnormal", kTiny, 0.0, kTiny},
    {"smallest subnormal, negative, imaginary", 0.0, -kTiny, kTiny},
    {"3-4-5 in subnormal units", 3 * kTiny, -4 * kTiny, 5 * kTiny},
    {"a huge part and a subnormal one", 1e300, kTiny, 1e300},
    {"a tiny part and a subnormal one", 1e-200, kTiny, 1e-200},
};

TEST(BinMagnitude, ExactValuesBeyondTheSquaresRange) {
    for (const Exact& c : kExact) {
        EXPECT_FALSE(square_sum_is_normal(c.re, c.im)) << c.what;
        EXPECT_EQ(bits_of(bin_magnitude(c.re, c.im)), bits_of(c.want))
            << c.what << ": got " << bin_magnitude(c.re, c.im) << ", want " << c.want;
        if (kHaveReference) {
            EXPECT_EQ(bits_of(reference_magnitude(c.re, c.im)), bits_of(c.want)) << c.what << " (reference)";
        }
    }
}

// What the plain formula already gets right stays its result: zeros of
// either sign, infinities and NaNs.
TEST(BinMagnitude, ZerosAndNonFiniteParts) {
    EXPECT_EQ(bits_of(bin_magnitude(0.0, 0.0)), bits_of(0.0));
    EXPECT_EQ(bits_of(bin_magnitude(-0.0, -0.0)), bits_of(0.0));
    EXPECT_EQ(bits_of(bin_magnitude(-HUGE_VAL, 1.0)), bits_of(HUGE_VAL));
    EXPECT_EQ(bits_of(bin_magnitude(1e-300, HUGE_VAL)), bits_of(HUGE_VAL));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double other : {0.0, 1.0, 1e300, 1e-300, HUGE_VAL}) {
        EXPECT_EQ(bits_of(bin_magnitude(nan, other)), bits_of(plain_magnitude(nan, other))) << other;
        EXPECT_EQ(bits_of(bin_magnitude(other, -nan)), bits_of(plain_magnitude(other, -nan))) << other;
    }
}

// The last part whose square is finite and the first whose square is not;
// the last whose square is below the smallest normal and the first whose is
// not (2^-511 squares to exactly 2^-1022). A single part comes back exactly.
TEST(BinMagnitude, BothEdgesOfTheSquare) {
    double top = std::sqrt(DBL_MAX);
    while (std::isinf(top * top)) top = std::nextafter(top, 0.0);
    while (!std::isinf(std::nextafter(top, HUGE_VAL) * std::nextafter(top, HUGE_VAL))) {
        top = std::nextafter(top, HUGE_VAL);
    }
    const double over = std::nextafter(top, HUGE_VAL);
    ASSERT_TRUE(square_sum_is_normal(top, 0.0));
    ASSERT_FALSE(square_sum_is_normal(over, 0.0));
    const double bottom = 0x1p-511;
    const double under = std::nextafter(bottom, 0.0);
    ASSERT_TRUE(square_sum_is_normal(bottom, 0.0));
    ASSERT_FALSE(square_sum_is_normal(under, 0.0));

    for (const double part : {top, over, bottom, under}) {
        EXPECT_EQ(bits_of(bin_magnitude(part, 0.0)), bits_of(part)) << part;
        EXPECT_EQ(bits_of(bin_magnitude(0.0, -part)), bits_of(part)) << part;
    }
    // Two parts near the edges, the sum on either side of them: the plain
    // formula where the sum is normal, the reference elsewhere.
    const double pairs[][2] = {
        {top, top},      {top, top / 4},           {over, 1.0},           {bottom, bottom}, {under, under},
        {under, bottom}, {top * 0.75, top * 0.75}, {under / 3, under / 5}};
    for (const auto& pair : pairs) {
        const double want = square_sum_is_normal(pair[0], pair[1]) ? plain_magnitude(pair[0], pair[1])
                                                                   : reference_magnitude(pair[0], pair[1]);
        EXPECT_EQ(bits_of(bin_magnitude(pair[0], pair[1])), bits_of(want)) << pair[0] << ", " << pair[1];
    }
    // The plain formula really fails on the far side of each edge.
    EXPECT_TRUE(std::isinf(plain_magnitude(over, 0.0)));
    EXPECT_NE(bits_of(plain_magnitude(1e-170, 0.0)), bits_of(1e-170));
}

// Random parts of every exponent, signs mixed, the two often far apart:
// inside the normal range of the sum the plain formula, outside it the
// reference with the unbounded exponent.
TEST(BinMagnitude, RandomPartsOfEveryExponent) {
    if (!kHaveReference) GTEST_SKIP() << "no x87 unit for the reference on this machine";
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<int> exponent(-1080, 1024);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> near(-60, 60);
    int outside = 0;
    for (int i = 0; i < 200000; ++i) {
        const int e_re = exponent(random);
        // Half the pairs within 60 binades of each other, where both count.
        const int e_im = (i & 1) != 0 ? e_re + near(random) : exponent(random);
        double re = std::ldexp(mantissa(random), e_re);
        double im = std::ldexp(mantissa(random), e_im);
        if (std::isinf(re) || std::isinf(im)) continue;
        if ((i & 2) != 0) re = -re;
        if ((i & 4) != 0) im = -im;
        const bool normal = square_sum_is_normal(re, im);
        const double want = normal ? plain_magnitude(re, im) : reference_magnitude(re, im);
        outside += normal ? 0 : 1;
        ASSERT_EQ(bits_of(bin_magnitude(re, im)), bits_of(want))
            << std::hexfloat << "re " << re << ", im " << im << ": got " << bin_magnitude(re, im) << ", want "
            << want;
    }
    // Most exponents put the sum outside the normal range.
    EXPECT_GT(outside, 100000);
}

}  // namespace
