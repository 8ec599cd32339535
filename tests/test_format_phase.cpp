// The printed phase must be that of the correctly rounded angle on every
// build, although the fast path trusts the C library's atan2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "common/trig.h"
#include "numbers/numbers.h"
#include "output/output.h"

namespace {

std::string text(size_t (*format)(double, double, char*), double im, double re) {
    char out[32];
    return std::string(out, format(im, re, out));
}

size_t exact_phase(double im, double re, char* out) { return format_number(portable_atan2(im, re), 9, out); }

TEST(NineDigitsSettled, FalseNextToRoundingPoints) {
    struct Case {
        double value;
        bool settled;
    };
    const Case cases[] = {
        {1.5, true},
        {1.2345678949, true},  // 0.49 of a unit below the half: far enough
        {1.2345678950, false},
        {1.23456789500001, false},
        {1.23456789499999, false},
        {-1.23456789500001, false},
        {0.123456789500001, false},
        {0.1234567896, true},  // 0.1 of a unit away
        {3.9999999949, true},
        {9.99999999500001e-3, false},
        {1.5e-300, true},
        {1.50000000500001e-290, false},
        {0.0, false},
        {-0.0, false},
        {1e-310, false},  // subnormal: the exact path keeps it simple
        {INFINITY, false},
        {NAN, false},
        {5.0, false},  // beyond any angle
    };
    for (const Case& c : cases) EXPECT_EQ(nine_digits_settled(c.value), c.settled) << c.value;
}

TEST(FormatPhase, SameDigitsAsTheCorrectlyRoundedAngle) {
    std::mt19937_64 random(2027);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> scale(-60, 60);
    for (int i = 0; i < 200000; ++i) {
        const double re = std::ldexp(unit(random), scale(random));
        const double im = std::ldexp(unit(random), scale(random));
        ASSERT_EQ(text(format_phase, im, re), text(exact_phase, im, re)) << im << " " << re;
    }
}

TEST(FormatPhase, AnglesOnRoundingPoints) {
    // Bins whose angle lies within a few ulps of a nine-digit rounding point.
    std::mt19937_64 random(5);
    std::uniform_int_distribution<long> digits(100000000, 314159264);
    for (int i = 0; i < 20000; ++i) {
        const double angle = (static_cast<double>(digits(random)) + 0.5) * 1e-8;
        for (double r : {1.0, 3e-7, 12345.0}) {
            const double re = r * std::cos(angle);
            const double im = r * std::sin(angle);
            ASSERT_EQ(text(format_phase, im, re), text(exact_phase, im, re)) << angle;
            ASSERT_EQ(text(format_phase, -im, re), text(exact_phase, -im, re)) << angle;
        }
    }
}

TEST(FormatPhase, ZerosKeepTheirSigns) {
    const struct {
        double im, re;
        const char* want;
    } cases[] = {
        {0.0, 1.0, "0"},   {-0.0, 1.0, "-0"},         {0.0, 0.0, "0"},
        {-0.0, 0.0, "-0"}, {0.0, -0.0, "3.14159265"}, {-0.0, -1.0, "-3.14159265"},
    };
    for (const auto& c : cases) EXPECT_EQ(text(format_phase, c.im, c.re), c.want) << c.im << " " << c.re;
}

}  // namespace
