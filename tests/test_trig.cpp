#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "common/trig.h"

namespace {

uint64_t bits_of(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Bit-for-bit equality, with both values in hex on failure.
::testing::AssertionResult same_bits(double got, double want) {
    if (bits_of(got) == bits_of(want)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << std::hexfloat << got << ", want " << want
                                         << std::defaultfloat << " (" << got << " vs " << want << ")";
}

struct AngleCase {
    double x, cos_x, sin_x;
};

// cos x and sin x through each entry point, bit for bit.
void expect_angle(double x, double cos_x, double sin_x) {
    double s = 0.0;
    double c = 0.0;
    portable_sincos(x, &s, &c);
    EXPECT_TRUE(same_bits(c, cos_x)) << "sincos, cos of " << std::hexfloat << x;
    EXPECT_TRUE(same_bits(s, sin_x)) << "sincos, sin of " << std::hexfloat << x;
    EXPECT_TRUE(same_bits(portable_cos(x), cos_x)) << "cos " << std::hexfloat << x;
    EXPECT_TRUE(same_bits(portable_sin(x), sin_x)) << "sin " << std::hexfloat << x;
}

// Correctly rounded values from mpmath at 3000 bits. The last three are
// arguments where glibc 2.36 is one ulp off; the fourth from the end is
// 6381956970095103 * 2^797, the double closest to a multiple of pi/2 for
// its size (cos is -4.7e-19), which needs every bit of the reduction.
const AngleCase kAngles[] = {
    {0x1.2d97c7f3321d2p+2, -0x1.a79394c9e8a0ap-53,
     -0x1.0000000000000p+0},                                               // the origin 3pi/2 of a worked run
    {0x1.0f0cf064dd592p+73, 0x1.0be2cef01c8f4p-1, -0x1.b453ab76bf397p-1},  // 1e22
    {0x1.fffffffffffffp+1023, -0x1.fffe62ecfab75p-1, 0x1.452fc98b34e97p-8},
    {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, 0x1.0000000000000p+0},     // pi/2 as a double
    {0x1.921fb54442d18p+1, -0x1.0000000000000p+0, 0x1.1a62633145c07p-53},    // pi as a double
    {0x1.56e1fc2f8f359p-997, 0x1.0000000000000p+0, 0x1.56e1fc2f8f359p-997},  // 1e-300
    {0x1.0000000000000p-1, 0x1.c1528065b7d50p-1, 0x1.eaee8744b05f0p-2},
    {-0x1.0000000000000p+1, -0x1.aa22657537205p-2, -0x1.d18f6ead1b446p-1},
    {0x1.86a0000000000p+16, -0x1.ffac3841b3da7p-1, 0x1.24daa9c527e96p-5},  // 1e5
    {0x1.6ac5b262ca1ffp+849, -0x1.14ae72e6ba22fp-61, 0x1.0000000000000p+0},
    {0x1.5c80f62707322p+8, -0x1.f46d2151f4755p-1, 0x1.b0fd7988ec259p-3},
    {-0x1.39d1f5c78612fp+9, 0x1.8eb0bf633086bp-1, 0x1.413b5f580964cp-1},
    {-0x1.5ad4006bf7aa6p+1, -0x1.d0f68e8f574fcp-1, -0x1.acbc03df4faf7p-2},
};

TEST(Trig, CosineAndSineAreCorrectlyRounded) {
    for (const AngleCase& c : kAngles) {
        expect_angle(c.x, c.cos_x, c.sin_x);
        expect_angle(-c.x, c.cos_x, -c.sin_x);
    }
}

struct PointCase {
    double y, x, angle;
};

// Correctly rounded from mpmath; the seventh is one where glibc is one ulp off.
const PointCase kPoints[] = {
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
    {0x1.0000000000000p+0, -0x1.0000000000000p+0, 0x1.2d97c7f3321d2p+1},
    {0x1.8000000000000p+0, -0x1.4000000000000p+1, 0x1.4cf33dec5e9e0p+1},  // bin (-2.5, 1.5) of a worked run
    {0x1.4000000000000p+0, 0x1.8000000000000p-1, 0x1.07c6c6947a6a8p+0},
    {-0x1.0000000000000p+0, -0x1.0000000000000p+0, -0x1.2d97c7f3321d2p+1},
    {0x1.8000000000000p+1, 0x1.0000000000000p+2, 0x1.4978fa3269ee1p-1},
    {-0x1.5e358b85ce2b0p-4, 0x1.ba1e061ca6258p-2, -0x1.9062672dd09c9p-3},
    {0x1.79c6502986010p-28, 0x1.1868e2a7b1a80p-27, 0x1.2f82e37aceb77p-1},
};

TEST(Trig, ArcTangentIsCorrectlyRounded) {
    for (const PointCase& c : kPoints) {
        EXPECT_TRUE(same_bits(portable_atan2(c.y, c.x), c.angle)) << std::hexfloat << c.y << ", " << c.x;
    }
}

struct ValueCase {
    double x, value;
};

// Arguments whose exact result lies within about 10^-5 ulp of a midpoint
// between two doubles (found by a search with mpmath): only an evaluation far
// more exact than the final rounding gets them right. Middle-sized and huge
// arguments, the latter for the deep words of 2/pi.
const ValueCase kHardCosines[] = {
    {0x1.e5cabd12216a0p+12, 0x1.dd2da51c61c45p-1},   {-0x1.821f43514d6fdp+13, -0x1.ffda5e475b127p-1},
    {-0x1.9ef384dbecdf0p+1, -0x1.fd6e621e4a605p-1},  {-0x1.18946ef8c1ce0p+10, -0x1.6f52791928db7p-1},
    {-0x1.04aa9a55a4bdep+14, 0x1.6702c89e09ad5p-1},  {-0x1.03ea2f48507d4p+0, 0x1.0e03abadddbd9p-1},
    {0x1.faca41246b850p+697, 0x1.3e2022db9a7b6p-1},  {0x1.3564ca7b6a92bp+634, 0x1.ce5c71aa2b2a4p-2},
    {0x1.c8e091ef7286ep+432, -0x1.fd1caf5456464p-2}, {0x1.faa9e6692dab6p+210, 0x1.90aba83cbc40bp-2},
    {0x1.7a185063eb886p+385, -0x1.fffca8f32d6d1p-1}, {0x1.95935782f660ap+687, -0x1.5bdefbc6e0ea4p-1},
};
const ValueCase kHardSines[] = {
    {-0x1.5a0366ddda50ap+13, -0x1.fc6f4de282edep-1}, {-0x1.1717f5fc1f678p+14, 0x1.c997f3b003f94p-1},
    {0x1.daa5643b6209cp+13, 0x1.995e138e6a5c4p-1},   {-0x1.e8dde7bf43f7ap+12, 0x1.48846f7feac9dp-1},
    {0x1.16388d5b2fefep+14, -0x1.9758ce6053d08p-2},  {0x1.94afa4d0701f0p-1, 0x1.6bd88ddbc3787p-1},
    {0x1.ead3323f1af42p+176, 0x1.179bc8c303479p-4},  {0x1.f154557222902p+487, -0x1.a9145b99e2bedp-1},
    {0x1.962edb8a69026p+69, 0x1.fd898915e51f1p-1},   {0x1.bc2f27f5c3d7cp+289, -0x1.9e71de043cd87p-2},
    {0x1.5aeee3148e9adp+290, 0x1.bcd53c8270b11p-1},  {0x1.a3ac9663f810ap+198, -0x1.9268bd8d61073p-1},
};
// The same for atan2, quotients from near 1 down to 2^-58.
const PointCase kHardPoints[] = {
    {0x1.ab00907837b10p-2, 0x1.a093dae8a0bdcp-1, 0x1.e4f94b479deb5p-2},
    {0x1.9c3b316827088p-1, 0x1.47d2e0e071860p-4, 0x1.78c269f9a39f0p+0},
    {0x1.b984214d05e36p-1, 0x1.7c522bcafdb80p-1, 0x1.b82d894ea668bp-1},
    {0x1.09fc46920bf54p-2, -0x1.c6a7424ad576ap-1, 0x1.6db2be37c2e0dp+1},
    {-0x1.5223217d92e58p-1, -0x1.97c88f6b85840p-6, -0x1.9bc45dea1cbe7p+0},
    {0x1.34323a26e42a8p-1, -0x1.3aa170513adb0p-2, 0x1.057929a019acfp+1},
    {0x1.2ee8d3c361e62p-54, 0x1.f6b27be3aa6dep-1, 0x1.3483da8a3ee93p-54},
    {0x1.50e1eceb330cfp-57, 0x1.ede3abe512974p-1, 0x1.5d3c5eecfe895p-57},
    {0x1.71519b8b62625p-58, 0x1.7c8fe3d570f72p+0, 0x1.f0df9ef831148p-59},
    {0x1.02a39e8b65695p-58, 0x1.753ddbadfbc00p+0, 0x1.62cad0da869adp-59},
    {0x1.5cd98208bdc13p-38, 0x1.a544fc24d8f16p+0, 0x1.a7fb999fe9948p-39},
    {0x1.7711b43524ae2p-33, 0x1.ee8332fea6db2p+0, 0x1.8455306fb6fbep-34},
    // Quotients t from 2^-28 down to 2^-53 just above a midpoint, closer than
    // t^3/3: atan t rounds down where t rounds up, so taking t for atan t
    // (right below 2^-54) fails here.
    {0x1.5af844f596727p-28, 0x1.10e6d568068b9p+0, 0x1.457b1791a2823p-28},
    {0x1.f982d4cc31452p-35, 0x1.445a796db71d5p+0, 0x1.8efb1f0600efdp-35},
    {0x1.0999c09e3125ep-45, 0x1.a5cdf716a996fp+0, 0x1.426503c0fce2cp-46},
    {0x1.af1331c703953p-50, 0x1.bd6ba15cf8017p+0, 0x1.ef829fb676c85p-51},
    {0x1.b8cf0e3ede8f8p-52, 0x1.cc32f94bb1b65p+0, 0x1.ea6d5574b30c9p-53},
};

TEST(Trig, CasesNearARoundingBoundary) {
    for (const ValueCase& c : kHardCosines) {
        double s = 0.0;
        double cosine = 0.0;
        portable_sincos(c.x, &s, &cosine);
        EXPECT_TRUE(same_bits(cosine, c.value)) << "sincos " << std::hexfloat << c.x;
        EXPECT_TRUE(same_bits(portable_cos(c.x), c.value)) << std::hexfloat << c.x;
    }
    for (const ValueCase& c : kHardSines) {
        double sine = 0.0;
        double cosine = 0.0;
        portable_sincos(c.x, &sine, &cosine);
        EXPECT_TRUE(same_bits(sine, c.value)) << "sincos " << std::hexfloat << c.x;
        EXPECT_TRUE(same_bits(portable_sin(c.x), c.value)) << std::hexfloat << c.x;
    }
    for (const PointCase& c : kHardPoints) {
        EXPECT_TRUE(same_bits(portable_atan2(c.y, c.x), c.angle)) << std::hexfloat << c.y << ", " << c.x;
    }
}

// The C standard's special values, signed zeros included: the same from the
// quick routine, which hands these to the exact one.
TEST(Trig, ArcTangentSpecialValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double pi = 0x1.921fb54442d18p+1, half_pi = 0x1.921fb54442d18p+0;
    const double quarter_pi = 0x1.921fb54442d18p-1, three_quarter_pi = 0x1.2d97c7f3321d2p+1;
    const PointCase cases[] = {
        {0.0, 1.0, 0.0},
        {-0.0, 1.0, -0.0},
        {0.0, 0.0, 0.0},
        {-0.0, 0.0, -0.0},
        {0.0, -0.0, pi},
        {-0.0, -0.0, -pi},
        {0.0, -1.0, pi},
        {-0.0, -1.0, -pi},
        {1.0, 0.0, half_pi},
        {1.0, -0.0, half_pi},
        {-1.0, -0.0, -half_pi},
        {inf, 1.0, half_pi},
        {inf, -1.0, half_pi},
        {-inf, -1.0, -half_pi},
        {inf, inf, quarter_pi},
        {-inf, inf, -quarter_pi},
        {inf, -inf, three_quarter_pi},
        {-inf, -inf, -three_quarter_pi},
        {1.0, inf, 0.0},
        {-1.0, inf, -0.0},
        {1.0, -inf, pi},
        {-1.0, -inf, -pi},
        {5e-324, 0x1.fffffffffffffp+1023, 0.0},  // the quotient underflows to 0
        {0x1.fffffffffffffp+1023, 5e-324, half_pi},
        {0x1.fffffffffffffp+1023, 0x1.fffffffffffffp+1023, quarter_pi},
    };
    for (const PointCase& c : cases) {
        EXPECT_TRUE(same_bits(portable_atan2(c.y, c.x), c.angle)) << std::hexfloat << c.y << ", " << c.x;
        EXPECT_TRUE(same_bits(quick_atan2(c.y, c.x), c.angle))
            << "quick " << std::hexfloat << c.y << ", " << c.x;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(portable_atan2(nan, 1.0)));
    EXPECT_TRUE(std::isnan(portable_atan2(1.0, nan)));
    EXPECT_TRUE(std::isnan(quick_atan2(nan, inf)));
    EXPECT_TRUE(std::isnan(quick_atan2(0.0, nan)));
    double s = 0.0;
    double c = 0.0;
    portable_sincos(-inf, &s, &c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
    portable_sincos(nan, &s, &c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
    expect_angle(0.0, 1.0, 0.0);
    expect_angle(-0.0, 1.0, -0.0);
}

// Ratios so small that atan t rounds as t does, but for one thing: among the
// subnormals, where the doubles are 2^-1074 apart, a quotient can be exactly
// a midpoint between two, which the division rounds to even, up or down,
// while atan t, just below t, always rounds down. d = 2^-1074. The expected
// values follow from atan t = t (1 - t^2/3 ...) alone.
TEST(Trig, TinyRatiosRoundLikeTheArcTangentAmongTheSubnormals) {
    const double d = 0x1p-1074;
    const double pi = 0x1.921fb54442d18p+1, half_pi = 0x1.921fb54442d18p+0;
    const PointCase cases[] = {
        {3 * d, 2.0, d},            // 1.5d: the division gives 2d
        {-3 * d, 2.0, -d},          // below the x axis
        {5 * d, 2.0, 2 * d},        // 2.5d: the division's even neighbour is right
        {7 * d, 2.0, 3 * d},        // 3.5d
        {d, 2.0, 0.0},              // 0.5d
        {9 * d, 6.0, d},            // 1.5d again, over a divisor that is no power of two
        {0x1.8p-1000, 0x1p+75, d},  // 3 * 2^-1000 / 2^75 = 1.5d, a normal numerator
        {0x1.8p-100, 0x1p+975, d},  // the same near the top of the range
        // (2^53 - 1) d / 2 = (2^52 - 1/2) d, the midpoint just below 2^-1022,
        // which the division rounds up to the smallest normal double.
        {0x1.fffffffffffffp-1022, 2.0, 0x0.fffffffffffffp-1022},
        {0x1.8p-1022, 2.0, 0x1.8p-1023},       // an exact quotient, returned as is
        {3 * d, 0x1.fffffffffffffp+0, 2 * d},  // just above 1.5d: up, as the division has it
        {3 * d, 0x1.0000000000001p+1, d},      // just below 1.5d
        {1.0, 0x1.fffffffffffffp+1023, 0x1p-1024},
        {3 * d, -2.0, pi},      // pi minus a trace
        {2.0, 3 * d, half_pi},  // pi/2 minus a trace
        {-2.0, -3 * d, -half_pi},
    };
    for (const PointCase& c : cases) {
        EXPECT_TRUE(same_bits(portable_atan2(c.y, c.x), c.angle)) << std::hexfloat << c.y << ", " << c.x;
        EXPECT_TRUE(same_bits(quick_atan2(c.y, c.x), c.angle))
            << "quick " << std::hexfloat << c.y << ", " << c.x;
    }
}

#if defined(__GLIBC__) && LDBL_MANT_DIG == 64
// The double nearest to v, when the long double v, within 2^-60 of the exact
// value (relative), decides it: v lies at least that far inside the interval
// of values that round to one double. False near a midpoint between two.
bool decided_by(long double v, double* nearest) {
    const double d = static_cast<double>(v);
    // The neighbour of d on the side of v, and the exact distances in long double.
    const double beyond = std::nextafter(d, v > d ? HUGE_VAL : -HUGE_VAL);
    const long double half_gap = std::fabs(static_cast<long double>(beyond) - d) / 2;
    if (!(std::fabs(v - d) < half_gap - std::fabs(v) * 0x1p-60L)) return false;
    *nearest = d;
    return true;
}
#endif

// Against glibc's long double cosl, sinl and atan2l, an independent
// implementation with 64-bit significands, good to about an ulp of their own
// (2^-63 relative): wherever the long double decides the rounding (above),
// the routines must return that double. Arguments of every exponent, the
// boundaries of the short ways (2^-27, pi/4), the quadrants, values near
// multiples of pi/2 and near pi/6, pi/3, where the sine or cosine lies near a
// power of two; quotients from 1 down to below 2^-60 and subnormal results. A
// wrong quadrant, series or table entry, reduction word or threshold fails.
TEST(Trig, RoundsAsTheLongDoubleFunctionsDecide) {
#if defined(__GLIBC__) && LDBL_MANT_DIG == 64
    std::vector<double> xs = {0x1p-27,
                              0x1.fffffffffffffp-28,
                              0x1p-26,
                              0x1.fffffffffffffp-27,
                              0x1.921fb54442d18p-1,
                              0x1.921fb54442d19p-1,
                              0x1.fffffffffffffp+1023,
                              5e-324};
    for (int q = -8; q <= 8; ++q) {
        for (double nudge : {-1e-9, 0.0, 1e-9}) xs.push_back(q * 0x1.921fb54442d18p+0 + nudge);
    }
    for (double centre : {0x1.0c152382d7365p-1, 0x1.0c152382d7365p+0, 0x1.921fb54442d18p+0, 0x1p-27}) {
        double x = centre;
        for (int i = 0; i < 64; ++i) x = std::nextafter(x, 0.0);
        for (int i = 0; i < 128; ++i, x = std::nextafter(x, 4.0)) xs.push_back(x);
    }
    std::mt19937_64 random(11);
    auto unit = [&random]() { return static_cast<double>(random() >> 11) * 0x1p-53; };
    for (int i = 0; i < 60000; ++i) {
        const uint64_t exponent = random() % 0x7ff;
        const uint64_t b = (random() & ~(uint64_t{0x7ff} << 52)) | (exponent << 52);
        double x;
        std::memcpy(&x, &b, sizeof x);  // any finite double
        xs.push_back(x);
        xs.push_back(std::ldexp(unit(), static_cast<int>(random() % 40) - 30));
    }
    int decided = 0;
    int total = 0;
    for (double x : xs) {
        for (double signed_x : {x, -x}) {
            double s = 0.0;
            double c = 0.0;
            portable_sincos(signed_x, &s, &c);
            double want = 0.0;
            total += 2;
            if (decided_by(std::cos(static_cast<long double>(signed_x)), &want)) {
                ++decided;
                ASSERT_TRUE(same_bits(c, want)) << "cos " << std::hexfloat << signed_x;
            }
            if (decided_by(std::sin(static_cast<long double>(signed_x)), &want)) {
                ++decided;
                ASSERT_TRUE(same_bits(s, want)) << "sin " << std::hexfloat << signed_x;
            }
        }
    }
    for (int i = 0; i < 200000; ++i) {
        const double x = ((unit() * 2.0) - 1.0) * std::ldexp(1.0, static_cast<int>(random() % 200) - 100);
        // Ratios down to 2^-70, and every fifth one down among the subnormals.
        const int drop = i % 5 == 0 ? static_cast<int>(random() % 1200) : static_cast<int>(random() % 70);
        double y = ((unit() * 2.0) - 1.0) * std::ldexp(std::fabs(x), -drop);
        const double pair[2] = {y, x};
        const bool swap = (random() & 1) != 0;
        const double py = pair[swap ? 1 : 0];
        const double px = pair[swap ? 0 : 1];
        double want = 0.0;
        ++total;
        if (decided_by(std::atan2(static_cast<long double>(py), static_cast<long double>(px)), &want)) {
            ++decided;
            ASSERT_TRUE(same_bits(portable_atan2(py, px), want)) << std::hexfloat << py << ", " << px;
        }
    }
    EXPECT_GT(decided, total - total / 50) << decided << " of " << total << " decided";
#else
    GTEST_SKIP() << "needs glibc's long double cosl, sinl and atan2l with 64-bit significands";
#endif
}

// The fast arc tangent against the correctly rounded one: every quadrant,
// both sides of the diagonal, each sixteenth's knot and the halves between
// them, ratios from 1e-140 to 1e140 (and about 2^-60, where the exact routine
// takes over), and any magnitude of the pair.
TEST(Trig, QuickArcTangentStaysWithinItsBound) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double worst = 0.0;
    auto check = [&worst](double y, double x) {
        const double exact = portable_atan2(y, x);
        const double error = std::fabs(quick_atan2(y, x) - exact) / std::fabs(exact);
        if (error > worst) worst = error;
        EXPECT_LT(error, 2e-15) << std::hexfloat << "y " << y << " x " << x;
    };
    for (int i = 0; i <= 32; ++i) {
        // The knots i/16 and the points halfway between them, either way round.
        const double t = i / 32.0;
        for (double nudge : {-1e-17, 0.0, 1e-17}) {
            for (double sx : {1.0, -1.0}) {
                for (double sy : {1.0, -1.0}) {
                    if (t + nudge <= 0.0) continue;
                    check(sy * (t + nudge), sx * 1.0);
                    check(sy * 1.0, sx * (t + nudge));
                }
            }
        }
    }
    for (double t : {0x1p-60, 0x1.0000000000001p-60, 0x1.fffffffffffffp-61, 0x1.8p-60, 0x1.8p-61}) {
        check(t, 1.0);
        check(-1.0, t);
    }
    for (int i = 0; i < 200000; ++i) {
        const double scale = std::pow(10.0, static_cast<int>(random() % 200) - 100);
        const double ratio = std::pow(10.0, -140.0 * unit(random) * unit(random) * unit(random));
        const double x = (random() & 1 ? -1.0 : 1.0) * scale * (0.5 + unit(random));
        const double y = (random() & 1 ? -1.0 : 1.0) * std::fabs(x) * ratio * (0.5 + unit(random));
        if (random() & 1) {
            check(y, x);
        } else {
            check(x, y);
        }
    }
    EXPECT_GT(worst, 0.0);  // the comparison saw rounding, not two copies of one routine
}

}  // namespace
