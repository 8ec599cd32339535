#include "common/trig.h"

#include <cstdint>
#include <cstring>

#include "common/trig_tables.h"

namespace {

const double kMax = 0x1.fffffffffffffp+1023;     // the largest double
const double kQuarterPi = 0x1.921fb54442d18p-1;  // the double nearest to pi/4

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

// sin r and cos r for |r| <= pi/4 (a little more is fine), about 100 bits each.
void kernels(Dd r, Dd* sine, Dd* cosine) {
    const Dd z = multiply(r, r);
    *sine = multiply(series(kSineSeries, 14, z), r);
    *cosine = series(kCosineSeries, 14, z);
}

// atan(a / b) for 2^-60 <= a / b <= 1, about 100 bits: atan t = atan c + atan d
// with c = i/64 nearest to t and d = (t - c) / (1 + t*c), |d| <= 1/128.
Dd arc_tangent(double a, double b) {
    // Both scaled by one power of two, b lies in [1, 2) and the quotient keeps its rest.
    const int shift = binary_exponent(b);
    const Dd t = quotient(scaled(a, -shift), scaled(b, -shift));
    const int i = static_cast<int>((t.hi * 64.0) + 0.5);
    const double c = static_cast<double>(i) / 64.0;
    const Dd d = divide(add(t, Dd{-c, 0.0}), add(Dd{1.0, 0.0}, multiply(t, c)));
    const Dd atan_d = multiply(series(kArcTangentSeries, 8, multiply(d, d)), d);
    return add(kArcTangentOfSixtyFourths[i], atan_d);
}

// atan(a / b) for 2^-60 <= a / b <= 1 within 2e-15 (relative), in plain doubles:
// atan t = atan c + atan u with c the nearest sixteenth, |u| <= 1/32. t - c
// is exact (c / 2 <= t <= 2c, or c = 0), u carries a few rounding errors of
// 2^-53 of itself, and the series, cut after u^11, is off by less than
// u^13 / 13 < 2^-60 u.
double quick_arc_tangent(double a, double b) {
    const double t = a / b;
    const int knot = static_cast<int>((t * 16.0) + 0.5);
    const double c = static_cast<double>(knot) * 0.0625;
    const double u = (t - c) / ((t * c) + 1.0);
    const double u2 = u * u;
    double tail = (1.0 / 9.0) - (u2 / 11.0);
    tail = (-1.0 / 7.0) + (u2 * tail);
    tail = (1.0 / 5.0) + (u2 * tail);
    tail = (-1.0 / 3.0) + (u2 * tail);
    return kArcTangentOfSixtyFourths[4 * knot].hi + (u + ((u * u2) * tail));
}

// Whether a / b is exactly t - 2^-1075, the midpoint below a t of at most
// 2^-1022 (where the doubles are 2^-1074 apart). b is at least 2^-52 (else a / b
// would not be that small), and both sides of (t 2^1075 - 1) * (b / 2^e) =
// a 2^(1075 - e), e the exponent of b, are exact below 2^54.
bool halfway_below(double t, double a, double b) {
    const int e = binary_exponent(b);
    const Dd product = two_product(scaled(t, 1075) - 1.0, scaled(b, -e));
    return product.hi == scaled(a, 1075 - e) && product.lo == 0.0;
}

// atan(a / b) for the magnitudes a <= b where arc_tangent does not apply: 0
// when a is 0 or b infinite (pi/4 when both are), and ratios below 2^-60.
// There atan t = t (1 - t^2/3 ...) lies below t by less than 2^-120 of it,
// and t, a quotient of 53-bit numbers, is a double, or further than 2^-107
// of itself from a midpoint between two, or, among the subnormals, where
// the doubles are coarser, exactly a midpoint. The division rounds t as
// atan t rounds but at a midpoint, which it may round up; atan t goes down.
Dd arc_tangent_at_the_edges(double a, double b) {
    if (b > kMax) return a > kMax ? kArcTangentOfSixtyFourths[64] : Dd{0.0, 0.0};
    if (a == 0.0) return {0.0, 0.0};
    const double t = a / b;
    if (t != 0.0 && t <= 0x1p-1022 && halfway_below(t, a, b)) return {from_bits(bits_of(t) - 1), 0.0};
    return {t, 0.0};
}

// pi/2 - theta, pi - theta and theta rounded to a double, in the precision of
// theta: the quick routine's plain doubles or double-doubles.
double half_pi_minus(double theta) { return kHalfPiDd.hi - theta; }
double pi_minus(double theta) { return kPiDd.hi - theta; }
double rounded(double theta) { return theta; }
Dd half_pi_minus(Dd theta) { return add(kHalfPiDd, negated(theta)); }
Dd pi_minus(Dd theta) { return add(kPiDd, negated(theta)); }
double rounded(Dd theta) { return theta.hi; }

// The angle of (x, y) from theta = atan(smaller / larger) of |x| and |y|:
// pi/2 - theta when |y| > |x|, pi minus that when x < 0, negated when y < 0.
template <typename Angle>
double unfolded(Angle theta, bool steep, double y, double x) {
    if (steep) theta = half_pi_minus(theta);
    if (negative(x)) theta = pi_minus(theta);
    const double angle = rounded(theta);
    return negative(y) ? -angle : angle;
}

// atan2 with `arc_tangent_of(smaller, larger)` for the ratios it covers, the
// edges (NaN, zeros, infinities, tiny ratios) always the exact way.
template <typename ArcTangent>
double atan2_by(double y, double x, ArcTangent arc_tangent_of) {
    // A NaN comes back quieted; of two, the one of x (as the C libraries do).
    if (x != x) return x + x;
    if (y != y) return y + y;
    const double ay = magnitude(y);
    const double ax = magnitude(x);
    const bool steep = ay > ax;
    const double smaller = steep ? ax : ay;
    const double larger = steep ? ay : ax;
    // Ratios below 2^-60, and 0/0 and inf/inf (NaN), are the edges.
    if (!(smaller / larger >= 0x1p-60))
        return unfolded(arc_tangent_at_the_edges(smaller, larger), steep, y, x);
    return unfolded(arc_tangent_of(smaller, larger), steep, y, x);
}

}  // namespace

void portable_sincos(double x, double* sine, double* cosine) {
    const double ax = magnitude(x);
    if (!(ax <= kMax)) {
        *sine = x - x;
        *cosine = x - x;
        return;
    }
    // sin x = x (1 - x^2/6 ...) and cos x = 1 - x^2/2 ...: below 2^-27 both
    // corrections are under half an ulp.
    double s = ax;
    double c = 1.0;
    if (ax >= 0x1p-27) {
        Dd r = {ax, 0.0};
        const int n = ax <= kQuarterPi ? 0 : reduce(ax, &r);
        Dd sin_r;
        Dd cos_r;
        kernels(r, &sin_r, &cos_r);
        // ax = n pi/2 + r: a quarter turn takes (sin, cos) to (cos, -sin), a half turn negates both.
        s = (n & 1) != 0 ? cos_r.hi : sin_r.hi;
        c = (n & 1) != 0 ? -sin_r.hi : cos_r.hi;
        if ((n & 2) != 0) {
            s = -s;
            c = -c;
        }
    }
    *sine = negative(x) ? -s : s;
    *cosine = c;
}

double portable_sin(double x) {
    double sine;
    double cosine;
    portable_sincos(x, &sine, &cosine);
    return sine;
}

double portable_cos(double x) {
    double sine;
    double cosine;
    portable_sincos(x, &sine, &cosine);
    return cosine;
}

double portable_atan2(double y, double x) { return atan2_by(y, x, arc_tangent); }

double quick_atan2(double y, double x) { return atan2_by(y, x, quick_arc_tangent); }
