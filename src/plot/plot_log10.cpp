// plot_log10: the decade position of a magnitude, by fixed arithmetic.
#include <cstdint>
#include <cstring>

#include "plot/plot.h"

namespace {

constexpr double kLog10Of2 = 0.30102999566398120;   // log10(2), nearest double
constexpr double kLog10OfE = 0.43429448190325182;   // log10(e), nearest double
constexpr double kSqrtTwo = 1.4142135623730951;
constexpr double kTwoTo54 = 18014398509481984.0;

}  // namespace

double plot_log10(double x) {
    // x = f * 2^e with sqrt(1/2) <= f < sqrt(2); subnormals are scaled up first.
    int e = 0;
    if (x < 2.2250738585072014e-308) {
        x *= kTwoTo54;
        e = -54;
    }
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    e += static_cast<int>(bits >> 52) - 1023;
    bits = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1023} << 52);
    double f;
    std::memcpy(&f, &bits, sizeof f);
    if (f >= kSqrtTwo) {
        f *= 0.5;
        ++e;
    }
    // ln f = 2 atanh(s) = 2 (s + s^3/3 + ... + s^17/17), s = (f - 1) / (f + 1),
    // |s| < 0.172: the first term left out is below 1e-15 of the sum.
    const double s = (f - 1.0) / (f + 1.0);
    const double s2 = s * s;
    double series = 1.0 / 17.0;
    for (int k = 15; k >= 1; k -= 2) series = (series * s2) + (1.0 / k);
    const double ln_f = (2.0 * s) * series;
    return (e * kLog10Of2) + (ln_f * kLog10OfE);
}
