// Prints, for a fixed set of arguments, the bit patterns of the cosine, sine
// and arc tangents that the program uses, and of the C library's own. Built
// for both targets; trig.sh compares the two printouts. The arguments come
// from a fixed generator, so both builds see the same ones.
//
// Each line: kind, argument bits, the program's results, the library's.
// Angles: x, cos, sin, the sine and cosine of portable_sincos, then the
// library's cos and sin. Points: y, x, portable_atan2, quick_atan2, then the
// library's atan2.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/trig.h"

namespace {

uint64_t state = 0x9e3779b97f4a7c15u;

uint64_t next_random() {  // splitmix64
    uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

double unit() { return static_cast<double>(next_random() >> 11) * 0x1p-53; }  // [0, 1)

double symmetric() { return (unit() * 2.0) - 1.0; }  // [-1, 1)

double from_bits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

uint64_t bits_of(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

void angle(const char* kind, double x) {
    double sine;
    double cosine;
    portable_sincos(x, &sine, &cosine);
    std::printf("%s %016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %016" PRIx64
                " %016" PRIx64 "\n",
                kind, bits_of(x), bits_of(portable_cos(x)), bits_of(portable_sin(x)), bits_of(sine),
                bits_of(cosine), bits_of(std::cos(x)), bits_of(std::sin(x)));
}

void point(const char* kind, double y, double x) {
    std::printf("%s %016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %016" PRIx64 "\n", kind,
                bits_of(y), bits_of(x), bits_of(portable_atan2(y, x)), bits_of(quick_atan2(y, x)),
                bits_of(std::atan2(y, x)));
}

}  // namespace

int main() {
    const int count = 40000;
    const double kTwoPi = 6.283185307179586;

    // The origin phase as the spectrum forms it: (x0 * 2pi) / (N * dx).
    for (int i = 0; i < count; ++i) {
        const double x0 = symmetric() * std::pow(10.0, static_cast<int>(unit() * 10) - 3);
        const double dx = (1.0 + unit() * 9.0) * std::pow(10.0, static_cast<int>(unit() * 9) - 5);
        const double N = static_cast<double>(1u << (1 + static_cast<int>(unit() * 20)));
        angle("phase", (x0 * kTwoPi) / (N * dx));
    }
    for (int i = 0; i < count; ++i) angle("small", symmetric() * 8.0);
    for (int i = 0; i < count; ++i) angle("1e5", symmetric() * 1e5);
    for (int i = 0; i < count / 4; ++i)
        angle("huge", std::ldexp(symmetric(), static_cast<int>(unit() * 1000)));
    // Next to multiples of pi/2, where the reduction cancels most bits.
    for (int i = 0; i < count / 4; ++i) {
        const double x = std::floor(unit() * 1e6) * (kTwoPi / 4.0);
        angle("near", from_bits(bits_of(x) + (next_random() % 7) - 3));
    }
    for (int i = 0; i < count / 4; ++i)
        angle("tiny", std::ldexp(symmetric(), -static_cast<int>(unit() * 70)));

    // atan2 of bins: both signs, magnitudes from far apart to equal.
    for (int i = 0; i < 2 * count; ++i) point("bins", symmetric(), symmetric());
    for (int i = 0; i < count; ++i) {
        point("scaled", std::ldexp(symmetric(), static_cast<int>(unit() * 80) - 40),
              std::ldexp(symmetric(), static_cast<int>(unit() * 80) - 40));
    }
    for (int i = 0; i < count / 4; ++i) {
        const double y = from_bits(next_random());
        const double x = from_bits(next_random());
        if (y == y && x == x) point("bits", y, x);
    }
    // Ratios below 2^-60, where the exact route takes t for atan t, down to
    // subnormal quotients; and odd multiples of 2^-1074 over 2, exactly
    // midpoints between two subnormals, where the division rounds to even.
    for (int i = 0; i < count / 4; ++i) {
        const double x = std::ldexp(symmetric(), static_cast<int>(unit() * 200) - 100);
        const double y = std::ldexp(x * symmetric(), -60 - static_cast<int>(unit() * 1100));
        point("ratios", y, x);
    }
    for (int i = 0; i < count / 4; ++i) {
        const double y = from_bits((next_random() % (uint64_t{1} << 53)) | 1) * (i % 2 == 0 ? 1.0 : -1.0);
        point("halfway", y, i % 3 == 0 ? -2.0 : 2.0);
    }
    const double special[] = {
        0.0, -0.0, 1.0, -1.0, INFINITY, -INFINITY, 5e-324, -5e-324, 0x1.fffffffffffffp+1023};
    for (double y : special) {
        for (double x : special) point("special", y, x);
        angle("special", y);
    }
    return 0;
}
