#include "common/trig.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// A double-double: the value hi + lo with |lo| at most half an ulp of hi, so
// that hi is the value rounded to a double.
struct Dd {
    double hi;
    double lo;
};

// The tables below come from scripts/gen_trig_tables.py (mpmath): each
// double-double is the nearest double to the value and the nearest double to
// the rest.

// 2/pi in binary, 32 bits a word, most significant first: 1280 bits,
// enough for the reduction of any double.
const uint32_t kTwoOverPiWords[40] = {
    0xa2f9836e, 0x4e441529, 0xfc2757d1, 0xf534ddc0, 0xdb629599, 0x3c439041, 0xfe5163ab, 0xdebbc561,
    0xb7246e3a, 0x424dd2e0, 0x06492eea, 0x09d1921c, 0xfe1deb1c, 0xb129a73e, 0xe88235f5, 0x2ebb4484,
    0xe99c7026, 0xb45f7e41, 0x3991d639, 0x835339f4, 0x9c845f8b, 0xbdf9283b, 0x1ff897ff, 0xde05980f,
    0xef2f118b, 0x5a0a6d1f, 0x6d367ecf, 0x27cb09b7, 0x4f463f66, 0x9e5fea2d, 0x7527bac7, 0xebe5f17b,
    0x3d0739f7, 0x8a5292ea, 0x6bfb5fb1, 0x1f8d5d08, 0x56033046, 0xfc7b6bab, 0xf0cfbc20, 0x9af4361d,
};

const Dd kPiDd = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
const Dd kHalfPiDd = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// (-1)^k / (2k+1)!, k = 0 ... 14: sin r = r * sum(c_k * r^2k)
const Dd kSineSeries[15] = {
    {0x1.0000000000000p+0, 0.0},
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {-0x1.2f49b46814157p-57, -0x1.2650f61dbdcb4p-112},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {-0x1.761b41316381ap-75, 0x1.3423c7d91404fp-130},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {-0x1.d1ab1c2dccea3p-94, -0x1.054d0c78aea14p-149},
    {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
};

// (-1)^k / (2k)!, k = 0 ... 14: cos r = sum(c_k * r^2k)
const Dd kCosineSeries[15] = {
    {0x1.0000000000000p+0, 0.0},
    {-0x1.0000000000000p-1, 0.0},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {-0x1.93974a8c07c9dp-37, -0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {-0x1.6827863b97d97p-53, -0x1.eec01221a8b0bp-107},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {-0x1.0ce396db7f853p-70, 0x1.aebcdbd20331cp-124},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {-0x1.88e85fc6a4e5ap-89, 0x1.71c37ebd16540p-143},
    {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
};

// (-1)^k / (2k+1), k = 0 ... 8: atan d = d * sum(c_k * d^2k)
const Dd kArcTangentSeries[9] = {
    {0x1.0000000000000p+0, 0.0},
    {-0x1.5555555555555p-2, -0x1.5555555555555p-56},
    {0x1.999999999999ap-3, -0x1.999999999999ap-57},
    {-0x1.2492492492492p-3, -0x1.2492492492492p-57},
    {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
    {-0x1.745d1745d1746p-4, 0x1.745d1745d1746p-59},
    {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
    {-0x1.1111111111111p-4, -0x1.1111111111111p-60},
    {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61},
};

// atan(i/64), i = 0 ... 64
const Dd kArcTangentOfSixtyFourths[65] = {
    {0.0, 0.0},
    {0x1.fff555bbb729bp-7, -0x1.220c39d4dff50p-61},
    {0x1.ffd55bba97625p-6, -0x1.5ec431444912cp-60},
    {0x1.7fb818430da2ap-5, -0x1.86ef8f794f105p-63},
    {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60},
    {0x1.3f59f0e7c559dp-4, 0x1.ac4ce285df847p-58},
    {0x1.7ee182602f10fp-4, -0x1.cfb654c0c3d98p-58},
    {0x1.be39ebe6f07c3p-4, 0x1.f7b8f29a05987p-58},
    {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59},
    {0x1.1e1fafb043727p-3, -0x1.b485914dacf8cp-59},
    {0x1.3d6eee8c6626cp-3, 0x1.61a3b0ce9281bp-57},
    {0x1.5c9811e3ec26ap-3, -0x1.054ab2c010f3dp-58},
    {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},
    {0x1.9a6a8e96c8626p-3, 0x1.cf601e7b4348ep-59},
    {0x1.b90d7529260a2p-3, 0x1.17b10d2e0e5abp-61},
    {0x1.d77d5df205736p-3, 0x1.c648d1534597ep-57},
    {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57},
    {0x1.09dc597d86362p-2, 0x1.62e47390cb865p-56},
    {0x1.18bf5a30bf178p-2, 0x1.30ca4748b1bf9p-57},
    {0x1.278372057ef46p-2, -0x1.077cdd36dfc81p-56},
    {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57},
    {0x1.44aa436c2af0ap-2, -0x1.5d5e43c55b3bap-56},
    {0x1.530ad9951cd4ap-2, -0x1.2566480884082p-57},
    {0x1.614840309cfe2p-2, -0x1.a725715711f00p-56},
    {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56},
    {0x1.7d5604b63b3f7p-2, 0x1.69c885c2b249ap-56},
    {0x1.8b24d394a1b25p-2, 0x1.b6d0ba3748fa8p-56},
    {0x1.98cd5454d6b18p-2, 0x1.9e6c988fd0a77p-56},
    {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56},
    {0x1.b3a911da65c6cp-2, 0x1.ae187b1ca5040p-56},
    {0x1.c0db4c94ec9f0p-2, -0x1.cc1ce70934c34p-56},
    {0x1.cde53432c1351p-2, -0x1.a2cfa4418f1adp-56},
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.e77eb7f175a34p-2, 0x1.0e53dc1bf3435p-56},
    {0x1.f40dd0b541418p-2, -0x1.a3992dc382a23p-57},
    {0x1.0039c73c1a40cp-1, -0x1.b32c949c9d593p-55},
    {0x1.0657e94db30d0p-1, -0x1.d5b495f6349e6p-56},
    {0x1.0c6145b5b43dap-1, 0x1.974fa13b5404fp-58},
    {0x1.1255d9bfbd2a9p-1, -0x1.2bdaee1c0ee35p-58},
    {0x1.1835a88be7c13p-1, 0x1.c621cec00c301p-55},
    {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58},
    {0x1.23b71e2cc9e6ap-1, 0x1.c421c9f38224ep-57},
    {0x1.2958e59308e31p-1, -0x1.09e73b0c6c087p-56},
    {0x1.2ee628406cbcap-1, 0x1.c5d5e9ff0cf8dp-55},
    {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},
    {0x1.39c391cd4171ap-1, -0x1.2304331d8bf46p-55},
    {0x1.3f13fb89e96f4p-1, 0x1.ecf8b492644f0p-56},
    {0x1.445065b795b56p-1, -0x1.f76d0163f79c8p-56},
    {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56},
    {0x1.4e8de5bb6ec04p-1, 0x1.4a33dbeb3796cp-55},
    {0x1.538f57b89061fp-1, -0x1.1bb74abda520cp-55},
    {0x1.587d81f732fbbp-1, -0x1.5e5c9d8c5a950p-56},
    {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},
    {0x1.6220d115d7b8ep-1, -0x1.2b785350ee8c1p-57},
    {0x1.66d663923e087p-1, -0x1.6ea6febe8bbbap-56},
    {0x1.6b798920b3d99p-1, -0x1.a80386188c50ep-55},
    {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56},
    {0x1.748978fba8e0fp-1, 0x1.7b2a6165884a1p-59},
    {0x1.78f6bbd5d315ep-1, 0x1.406a089803740p-55},
    {0x1.7d528289fa093p-1, 0x1.560821e2f3aa9p-55},
    {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56},
    {0x1.85d69576cc2c5p-1, 0x1.6b66e7fc8b8c3p-57},
    {0x1.89ff5ff57f1f8p-1, -0x1.55b9a5e177a1bp-55},
    {0x1.8e17aa99cc05ep-1, -0x1.ec182ab042f61p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};

// The doubles nearest to pi, pi/2, pi/4 and 3pi/4: what atan2 returns exactly.
const double kPi = 0x1.921fb54442d18p+1;
const double kHalfPi = 0x1.921fb54442d18p+0;
const double kQuarterPi = 0x1.921fb54442d18p-1;
const double kThreeQuarterPi = 0x1.2d97c7f3321d2p+1;

// 2^26 + 1: splits a double into two halves of 26 bits (Dekker).
const double kSplitter = 134217729.0;

uint64_t bits_of(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double from_bits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

double magnitude(double x) { return from_bits(bits_of(x) & ~(uint64_t{1} << 63)); }

bool negative(double x) { return (bits_of(x) >> 63) != 0; }

// 2^k for -1022 <= k <= 1023.
double power_of_two(int k) { return from_bits(static_cast<uint64_t>(k + 1023) << 52); }

// x * 2^k, exact when the result is a normal double.
double scaled(double x, int k) {
    while (k > 1000) {
        x = x * power_of_two(1000);
        k -= 1000;
    }
    while (k < -1000) {
        x = x * power_of_two(-1000);
        k += 1000;
    }
    return x * power_of_two(k);
}

// floor(log2(x)) of a finite x other than 0, subnormals included.
int binary_exponent(double x) {
    const int biased = static_cast<int>((bits_of(x) >> 52) & 0x7ff);
    if (biased != 0) return biased - 1023;
    return static_cast<int>((bits_of(x * power_of_two(64)) >> 52) & 0x7ff) - 1023 - 64;
}

// The error-free transformations (Knuth, Dekker): a + b and a * b as an
// exact double-double. quick_two_sum needs |a| >= |b| (or a == 0); the
// product needs |a|, |b| < 2^996 so that the splitting cannot overflow.
Dd quick_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

Dd two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

void split(double a, double* high, double* low) {
    const double t = kSplitter * a;
    *high = t - (t - a);
    *low = a - *high;
}

Dd two_product(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, &ah, &al);
    split(b, &bh, &bl);
    return {p, ((((ah * bh) - p) + (ah * bl)) + (al * bh)) + (al * bl)};
}

// Double-double arithmetic, relative error about 2^-104 per operation.
Dd negated(Dd a) { return {-a.hi, -a.lo}; }

Dd add(Dd a, Dd b) {
    Dd s = two_sum(a.hi, b.hi);
    const Dd t = two_sum(a.lo, b.lo);
    s = quick_two_sum(s.hi, s.lo + t.hi);
    return quick_two_sum(s.hi, s.lo + t.lo);
}

Dd multiply(Dd a, Dd b) {
    const Dd p = two_product(a.hi, b.hi);
    return quick_two_sum(p.hi, p.lo + ((a.hi * b.lo) + (a.lo * b.hi)));
}

Dd multiply(Dd a, double b) {
    const Dd p = two_product(a.hi, b);
    return quick_two_sum(p.hi, p.lo + (a.lo * b));
}

Dd divide(Dd a, Dd b) {
    const double q1 = a.hi / b.hi;
    Dd r = add(a, negated(multiply(b, q1)));
    const double q2 = r.hi / b.hi;
    r = add(r, negated(multiply(b, q2)));
    const double q3 = r.hi / b.hi;
    return add(quick_two_sum(q1, q2), Dd{q3, 0.0});
}

// a / b for doubles, 1 <= b < 2 and a <= b: the quotient and its remainder.
Dd quotient(double a, double b) {
    const double q = a / b;
    const Dd p = two_product(q, b);
    return quick_two_sum(q, ((a - p.hi) - p.lo) / b);
}

// sum(c_k * z^k) by Horner's rule.
Dd series(const Dd* c, int last, Dd z) {
    Dd sum = c[last];
    for (int k = last - 1; k >= 0; --k) sum = add(multiply(sum, z), c[k]);
    return sum;
}

// |r| <= pi/4 (a little more is fine).
Dd sine_kernel(Dd r) { return multiply(series(kSineSeries, 14, multiply(r, r)), r); }
Dd cosine_kernel(Dd r) { return series(kCosineSeries, 14, multiply(r, r)); }

// The Horner steps k = from ... 0 of both series side by side, on their
// partial sums s and c: the two chains of dependent operations overlap, so
// the pair takes little longer than one.
void horner_steps_of_both(Dd z, int from, Dd* s, Dd* c) {
    for (int k = from; k >= 0; --k) {
        *s = add(multiply(*s, z), kSineSeries[k]);
        *c = add(multiply(*c, z), kCosineSeries[k]);
    }
}

// Both kernels with the operations of the two above.
void both_kernels(Dd r, Dd* sine, Dd* cosine) {
    Dd s = kSineSeries[14];
    Dd c = kCosineSeries[14];
    horner_steps_of_both(multiply(r, r), 13, &s, &c);
    *sine = multiply(s, r);
    *cosine = c;
}

uint32_t bit(const uint32_t* words, int index) { return (words[index >> 5] >> (index & 31)) & 1u; }

// Payne and Hanek's reduction of a finite ax >= pi/4: ax = n * pi/2 + r with
// |r| <= pi/4; returns n mod 4. ax = m * 2^e, and m * 2^e * 2/pi is formed
// exactly from the 320 bits of 2/pi that matter (those before them add
// multiples of 4, those after less than 2^-230), so that r keeps full
// relative precision even for an ax a hair away from a multiple of pi/2.
int reduce(double ax, Dd* r) {
    const uint64_t bits = bits_of(ax);
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int e = static_cast<int>(bits >> 52) - 1075;
    const int first = e >= 2 ? (e - 2) / 32 : 0;
    const int s = e - 32 * first;

    // P = m * (words first ... first + 9), little-endian words; ax * 2/pi mod 4
    // is then P * 2^(s - 320).
    uint32_t p[12] = {};
    const uint64_t m_low = static_cast<uint32_t>(m);
    const uint64_t m_high = m >> 32;
    for (int i = 0; i < 10; ++i) {
        const uint64_t w = kTwoOverPiWords[first + 9 - i];
        uint64_t t = (w * m_low) + p[i];
        p[i] = static_cast<uint32_t>(t);
        t = (w * m_high) + p[i + 1] + (t >> 32);
        p[i + 1] = static_cast<uint32_t>(t);
        for (int k = i + 2; (t >> 32) != 0 && k < 12; ++k) {
            t = static_cast<uint64_t>(p[k]) + (t >> 32);
            p[k] = static_cast<uint32_t>(t);
        }
    }

    // Bits from `point` up are the integer part, the rest the fraction. A
    // fraction of a half or more rounds n up and leaves its complement, negated.
    const int point = 320 - s;
    int n = static_cast<int>(bit(p, point) + 2 * bit(p, point + 1));
    for (int i = point; i < 384; ++i) p[i >> 5] &= ~(1u << (i & 31));
    const bool negate = bit(p, point - 1) != 0;
    if (negate) {
        n += 1;
        uint64_t carry = 1;
        for (int i = 0; i < 12; ++i) {
            const uint64_t t = static_cast<uint64_t>(~p[i]) + carry;
            p[i] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        for (int i = point; i < 384; ++i) p[i >> 5] &= ~(1u << (i & 31));
    }

    int top = point - 1;
    while (top >= 0 && bit(p, top) == 0) --top;
    if (top < 0) {
        *r = {0.0, 0.0};
        return n & 3;
    }
    // The 128 bits from the leading one down, as four exact doubles.
    Dd f = {0.0, 0.0};
    for (int chunk = 0; chunk < 4; ++chunk) {
        uint32_t word = 0;
        for (int i = 0; i < 32; ++i) {
            const int index = top - 32 * chunk - i;
            word = (word << 1) | (index >= 0 ? bit(p, index) : 0u);
        }
        const double piece = static_cast<double>(word) * power_of_two(top - 32 * chunk - 31 - point);
        f = add(f, Dd{piece, 0.0});
    }
    *r = multiply(f, kHalfPiDd);
    if (negate) *r = negated(*r);
    return n & 3;
}

// atan t for 0 < t <= 1: atan t = atan c + atan d, c = i/64 nearest to t,
// d = (t - c) / (1 + t*c), |d| <= 1/128.
Dd arc_tangent(Dd t) {
    const int i = static_cast<int>((t.hi * 64.0) + 0.5);
    const double c = static_cast<double>(i) / 64.0;
    const Dd d = divide(add(t, Dd{-c, 0.0}), add(Dd{1.0, 0.0}, multiply(t, c)));
    const Dd atan_d = multiply(series(kArcTangentSeries, 8, multiply(d, d)), d);
    return add(kArcTangentOfSixtyFourths[i], atan_d);
}

}  // namespace

double portable_sin(double x) {
    const double ax = magnitude(x);
    if (!(ax <= 0x1.fffffffffffffp+1023)) return x - x;
    // sin x = x (1 - x^2/6 ...): below 2^-26 the correction is under half an ulp.
    if (ax < 0x1p-26) return x;
    Dd r = {ax, 0.0};
    const int n = ax <= kQuarterPi ? 0 : reduce(ax, &r);
    double result = (n & 1) != 0 ? cosine_kernel(r).hi : sine_kernel(r).hi;
    if ((n & 2) != 0) result = -result;
    return negative(x) ? -result : result;
}

double portable_cos(double x) {
    const double ax = magnitude(x);
    if (!(ax <= 0x1.fffffffffffffp+1023)) return x - x;
    // cos x = 1 - x^2/2 ...: below 2^-27 the correction is under half the ulp below 1.
    if (ax < 0x1p-27) return 1.0;
    Dd r = {ax, 0.0};
    const int n = ax <= kQuarterPi ? 0 : reduce(ax, &r);
    double result = (n & 1) != 0 ? sine_kernel(r).hi : cosine_kernel(r).hi;
    if (((n + 1) & 2) != 0) result = -result;
    return result;
}

namespace {

// Whether v.hi is v rounded to the nearest double by a wide margin: v lies
// more than 2^-75 (relative) inside the interval of values that round to
// v.hi. Toward zero from a power of two that interval is half as wide.
bool clearly_rounded(Dd v) {
    const double a = magnitude(v.hi);
    if (!(a >= 0x1p-1000)) return false;
    const int e = binary_exponent(a);
    double reach = power_of_two(e - 53);
    if (a == power_of_two(e) && v.lo != 0.0 && negative(v.lo) != negative(v.hi)) reach *= 0.5;
    return magnitude(v.lo) < reach - a * 0x1p-75;
}

// both_kernels in half the time, for |r| <= 0.8: the terms k >= 7 of both
// series are summed in plain doubles from z.hi and the leading halves of
// their coefficients, the others in double-double as above. Those terms are
// below 2^-36 of the sums (c_7 = 1/14! for the cosine, z^7 < 2^-4), and
// their sum in doubles is good to 2^-48 of itself, so both results lie within
// 2^-84 (relative) of the exact kernels: where they round clearly (above), the
// careful evaluation rounds to the same doubles, being far closer still.
// Returns false, the results unset, unless both do.
bool quick_kernels(Dd r, Dd* sine, Dd* cosine) {
    if (!(magnitude(r.hi) <= 0.8)) return false;
    const Dd z = multiply(r, r);
    double s_tail = kSineSeries[14].hi;
    double c_tail = kCosineSeries[14].hi;
    for (int k = 13; k >= 7; --k) {
        s_tail = (s_tail * z.hi) + kSineSeries[k].hi;
        c_tail = (c_tail * z.hi) + kCosineSeries[k].hi;
    }
    Dd s = {s_tail, 0.0};
    Dd c = {c_tail, 0.0};
    horner_steps_of_both(z, 6, &s, &c);
    s = multiply(s, r);
    if (!clearly_rounded(s) || !clearly_rounded(c)) return false;
    *sine = s;
    *cosine = c;
    return true;
}

}  // namespace

void portable_sincos(double x, double* sine, double* cosine) {
    const double ax = magnitude(x);
    // Non-finite and tiny arguments take the short ways of the two above.
    if (!(ax <= 0x1.fffffffffffffp+1023) || ax < 0x1p-26) {
        *sine = portable_sin(x);
        *cosine = portable_cos(x);
        return;
    }
    Dd r = {ax, 0.0};
    const int n = ax <= kQuarterPi ? 0 : reduce(ax, &r);
    Dd s;
    Dd c;
    if (!quick_kernels(r, &s, &c)) both_kernels(r, &s, &c);
    double sin_result = (n & 1) != 0 ? c.hi : s.hi;
    if ((n & 2) != 0) sin_result = -sin_result;
    double cos_result = (n & 1) != 0 ? s.hi : c.hi;
    if (((n + 1) & 2) != 0) cos_result = -cos_result;
    *sine = negative(x) ? -sin_result : sin_result;
    *cosine = cos_result;
}

double portable_atan2(double y, double x) {
    // A NaN comes back quieted; of two, the one of x (as the C libraries do).
    if (x != x) return x + x;
    if (y != y) return y + y;
    const double ay = magnitude(y);
    const double ax = magnitude(x);
    const double kMax = 0x1.fffffffffffffp+1023;
    double angle;
    if (ay == 0.0) {
        angle = negative(x) ? kPi : 0.0;
    } else if (ax == 0.0) {
        angle = kHalfPi;
    } else if (ay > kMax) {
        angle = ax > kMax ? (negative(x) ? kThreeQuarterPi : kQuarterPi) : kHalfPi;
    } else if (ax > kMax) {
        angle = negative(x) ? kPi : 0.0;
    } else {
        // The smaller over the larger is t in (0, 1]; the angle is then atan t,
        // pi/2 - atan t when |y| > |x|, and pi minus that when x < 0.
        const bool steep = ay > ax;
        const double smaller = steep ? ax : ay;
        const double larger = steep ? ay : ax;
        const int shift = binary_exponent(larger);
        Dd theta;
        if (shift - binary_exponent(smaller) > 60) {
            // t < 2^-60: atan t = t (1 - t^2/3 ...) is within 2^-120 of t, and
            // t (a quotient of 53-bit numbers) is either a double, or a
            // midpoint between two, or further from one than that: the
            // division rounds t as atan t would be rounded, but for a midpoint.
            theta = {smaller / larger, 0.0};
        } else {
            theta = arc_tangent(quotient(scaled(smaller, -shift), scaled(larger, -shift)));
        }
        if (steep) theta = add(kHalfPiDd, negated(theta));
        if (negative(x)) theta = add(kPiDd, negated(theta));
        angle = theta.hi;
    }
    return negative(y) ? -angle : angle;
}

namespace {

// atan(i / 16), i = 0 ... 16, each within a unit in the last place.
const double kAtanKnots[17] = {
    0.0,
    0.06241880999595735,
    0.12435499454676144,
    0.18534794999569476,
    0.24497866312686414,
    0.3028848683749714,
    0.35877067027057225,
    0.4124104415973873,
    0.4636476090008061,
    0.5123894603107377,
    0.5585993153435624,
    0.6022873461349642,
    0.6435011087932844,
    0.6823165548747481,
    0.7188299996216245,
    0.7531512809621944,
    0.7853981633974483,
};

const double kQuickPi = 3.141592653589793;
const double kQuickHalfPi = 1.5707963267948966;

}  // namespace

double quick_atan2(double y, double x) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    if (!(ax <= DBL_MAX && ay <= DBL_MAX) || ax == 0.0 || ay == 0.0) return std::atan2(y, x);
    // t = tan of the angle folded into [0, pi/4].
    const bool steep = ay > ax;
    const double t = steep ? ax / ay : ay / ax;
    if (t < 1e-150) return std::atan2(y, x);
    // atan(t) = atan(c) + atan(u) with c the nearest sixteenth: |u| <= 1/32.
    // t - c is exact (c / 2 <= t <= 2c, or c = 0), u carries a few rounding
    // errors of 2^-53 of itself, and the series, cut after u^11, is off by
    // less than u^13 / 13 < 2^-60 u.
    const int knot = static_cast<int>((t * 16.0) + 0.5);
    const double c = static_cast<double>(knot) * 0.0625;
    const double u = (t - c) / ((t * c) + 1.0);
    const double u2 = u * u;
    double tail = (1.0 / 9.0) - (u2 / 11.0);
    tail = (-1.0 / 7.0) + (u2 * tail);
    tail = (1.0 / 5.0) + (u2 * tail);
    tail = (-1.0 / 3.0) + (u2 * tail);
    const double series = u + ((u * u2) * tail);
    double angle = kAtanKnots[knot] + series;
    if (steep) angle = kQuickHalfPi - angle;
    if (x < 0.0) angle = kQuickPi - angle;
    return y < 0.0 ? -angle : angle;
}
