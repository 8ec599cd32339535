// format_number: the program's "%.9g" / "%.4g" number format.
//
// Nearly every value is rounded straight from its binary form by fixed-point
// arithmetic (the scaled route); only next to a tie, where the 17-digit step
// could decide, and at other precisions does the library's exact 17-digit
// form take over (the exact route).
#include <charconv>
#include <cstdint>
#include <cstring>

#include "numbers/numbers.h"
#include "numbers/pow10_table.h"
#include "numbers/wide_multiply.h"

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digits are stored as little-endian words");

constexpr int kDigitsKept = 17;

const uint32_t kPowersOfTen[10] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000,
};

// |value| as digits[0] . digits[1] ... digits[count - 1] * 10^exponent,
// digits[0] != '0'.
struct Decimal {
    char digits[kDigitsKept];
    int count;
    int exponent;
};

size_t write_text(const char* text, char* out) {
    size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return length;
}

// The spellings depend on the bits, not just on "is NaN": the default NaN of
// invalid arithmetic (sign set, quiet, no payload) has its own.
size_t write_non_finite(uint64_t bits, char* out) {
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    const uint64_t quiet = uint64_t{1} << 51;
    const bool negative = (bits >> 63) != 0;
    if (fraction == 0) return write_text(negative ? "-1.#INF" : "1.#INF", out);
    if (bits == 0xFFF8000000000000u) return write_text("-1.#IND", out);
    if ((fraction & quiet) != 0) return write_text(negative ? "-1.#QNAN" : "1.#QNAN", out);
    return write_text(negative ? "-1.#SNAN" : "1.#SNAN", out);
}

// ---- The exact route: the library's 17 digits, rounded as text.

// Reads the library's scientific form "d[.ddd]e(+|-)dd[d]" of a positive value.
void read_scientific(const char* text, const char* end, Decimal* d) {
    const char* p = text;
    d->digits[0] = *p++;
    int count = 1;
    if (*p == '.') {
        for (++p; *p != 'e'; ++p) d->digits[count++] = *p;
    }
    int e = 0;
    for (const char* q = p + 2; q < end; ++q) e = (e * 10) + (*q - '0');
    d->count = count;
    d->exponent = (p[1] == '-') ? -e : e;
}

// The correctly rounded 17-digit form (ties to even), exact in the library.
void seventeen_digits(double magnitude, Decimal* d) {
    char text[32];
    const char* end =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, kDigitsKept - 1)
            .ptr;
    read_scientific(text, end, d);
}

// Half up at `precision` digits; a carry through nines raises the exponent.
// Trailing zeros are dropped.
void round_half_up(Decimal* d, int precision) {
    if (d->count > precision) {
        const bool up = (d->digits[precision] >= '5');
        d->count = precision;
        if (up) {
            int i = precision - 1;
            while (i >= 0 && d->digits[i] == '9') --i;
            if (i < 0) {
                d->digits[0] = '1';
                d->count = 1;
                ++d->exponent;
            } else {
                ++d->digits[i];
                d->count = i + 1;
            }
        }
    }
    while (d->count > 1 && d->digits[d->count - 1] == '0') --d->count;
}

// ---- The scaled route: the binary value times a power of ten, in fixed point.

// n / 10 for any n, by the reciprocal: what 64-bit targets do for a
// division by a constant, and on 32-bit x86 instead of a library call.
// 0xCCCCCCCCCCCCCCCD = (2^67 + 2) / 10 makes n/10 + n / (5 * 2^67), and
// n / (5 * 2^67) < 1/10 for every n < 2^66: the floor is exact.
uint64_t divide_by_ten(uint64_t n) { return multiply_wide(n, 0xCCCCCCCCCCCCCCCDu).hi >> 3; }

// value = m * 2^q with 2^52 <= m < 2^53: subnormals are normalized too.
struct Binary {
    uint64_t m;
    int q;
};

Binary normalized_binary(uint64_t bits) {
    Binary b{bits & ((uint64_t{1} << 52) - 1), static_cast<int>((bits >> 52) & 0x7FF)};
    if (b.q != 0) {
        b.m |= uint64_t{1} << 52;
        b.q -= 1075;
    } else {
        for (b.q = -1074; b.m < (uint64_t{1} << 52); --b.q) b.m <<= 1;
    }
    return b;
}

// value * 10^(p - 1 - exponent) ~ D + f / 2^64 with 10^(p-1) <= D < 10^p
// (D + 1 = 10^(p-1) when the value lies just below a power of ten).
struct Scaled {
    uint64_t D;
    uint64_t f;
    int exponent;
};

// The estimate e of the decimal exponent is at most one too low, so the
// scaled value first lies below 10^(p+1); a tenth digit in D then moves into
// f. m < 2^53 and the power of ten below 2^64 make a product below 2^117,
// and 2^-1 < x < 10^10 < 2^34 puts the binary point 18 to 53 bits up in its
// high word.
Scaled scaled_value(Binary b, int p) {
    const int e = floor_log10_pow2(b.q + 52);
    const int k = p - 1 - e;
    const WideProduct product = multiply_wide(b.m, kPow10Significands[k - kPow10First]);
    const int shift = 63 - floor_log2_pow10(k) - b.q - 64;
    const uint64_t D = product.hi >> shift;
    const uint64_t f = (product.hi << (64 - shift)) | (product.lo >> shift);
    // Both forms are computed and one is picked without a branch: which one
    // applies is close to random from one value to the next.
    const uint64_t D10 = divide_by_ten(D);
    const uint64_t f10 = ((D - (10 * D10)) * (UINT64_MAX / 10)) + divide_by_ten(f);
    const bool tenth = D >= kPowersOfTen[p];
    return Scaled{tenth ? D10 : D, tenth ? f10 : f, e + (tenth ? 1 : 0)};
}

// The eight digits of n < 10^8 as byte values 0 ... 9, the first in the
// lowest byte: split in halves, quarters, digits, each lane at once. The
// multiply-and-shift divisions are exact for lanes below 10^4 and 100, and
// no lane's product reaches into the bits kept of the next.
uint64_t eight_digits(uint32_t n) {
    const uint64_t halves = (n / 10000) | (static_cast<uint64_t>(n % 10000) << 32);
    const uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Fu;
    const uint64_t quarters = hundreds | ((halves - (100 * hundreds)) << 16);
    const uint64_t tens = ((quarters * 103) >> 10) & 0x000F000F000F000Fu;
    return tens | ((quarters - (10 * tens)) << 8);
}

// The digits of 10^8 <= nine < 10^9 without its trailing zeros.
void write_nine_digits(uint32_t nine, Decimal* d) {
    const uint64_t rest = eight_digits(nine % 100000000);
    const uint64_t chars = rest | 0x3030303030303030u;
    d->digits[0] = static_cast<char>('0' + (nine / 100000000));
    std::memcpy(d->digits + 1, &chars, 8);
    // Trailing zero digits are the zero bytes at the top of `rest`.
    d->count = (rest == 0) ? 1 : 9 - (__builtin_clzll(rest) / 8);
}

// `value` (finite, not zero) rounded half up to kPrecision digits straight
// from its binary form, when that provably gives what rounding its 17-digit
// form does; false when it might not.
//
// D + f / 2^64 lies below the scaled value x by less than
//   10^p * 2^-63  the power of ten's truncation to 64 bits (< 2^-63 of it),
//   8 * 2^-64     cutting f to 64 bits and dividing it by ten,
// at most 1.1e-10 for p <= 9. The 17-digit form T is within half a unit of
// its 17th digit of the value, 0.5 * 10^(e-16) (also when T rounds up to
// 10^(e+1)), so scaled alike it is within 0.5 * 10^(p-17) <= 5e-9 of x.
// Both errors together stay below 2^-27: when f is farther than that from a
// half, rounding T half up gives D + (f > 1/2). A carry to 10^p raises the
// exponent.
template <int kPrecision>
bool scaled_digits(uint64_t bits, Decimal* d) {
    static_assert(kPrecision >= 1 && kPrecision <= 9, "the error bound holds up to nine digits");
    const Scaled x = scaled_value(normalized_binary(bits), kPrecision);
    const uint64_t half = uint64_t{1} << 63;
    const uint64_t margin = uint64_t{1} << 37;  // 2^-27 of a unit
    if (x.f - (half - margin) <= 2 * margin) return false;
    const uint32_t rounded = static_cast<uint32_t>(x.D + (x.f > half ? 1u : 0u));
    const bool carry = rounded == kPowersOfTen[kPrecision];
    write_nine_digits((carry ? kPowersOfTen[kPrecision - 1] : rounded) * kPowersOfTen[9 - kPrecision], d);
    d->exponent = x.exponent + (carry ? 1 : 0);
    return true;
}

// The program's two precisions take the scaled route.
bool scaled_digits(uint64_t bits, int precision, Decimal* d) {
    if (precision == 9) return scaled_digits<9>(bits, d);
    if (precision == 4) return scaled_digits<4>(bits, d);
    return false;
}

// ---- Layout.

char* write_exponent_form(const Decimal& d, char* p) {
    *p++ = d.digits[0];
    if (d.count > 1) {
        *p++ = '.';
        std::memcpy(p, d.digits + 1, static_cast<size_t>(d.count - 1));
        p += d.count - 1;
    }
    *p++ = 'e';
    *p++ = (d.exponent < 0) ? '-' : '+';
    const int a = (d.exponent < 0) ? -d.exponent : d.exponent;  // at most 324
    *p++ = static_cast<char>('0' + (a / 100));
    *p++ = static_cast<char>('0' + ((a / 10) % 10));
    *p++ = static_cast<char>('0' + (a % 10));
    return p;
}

// Only called with -4 <= exponent < precision: at most `precision` places
// before the point, zeros where the significant digits run out.
char* write_plain_form(const Decimal& d, char* p) {
    if (d.exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = -1; i > d.exponent; --i) *p++ = '0';
        std::memcpy(p, d.digits, static_cast<size_t>(d.count));
        return p + d.count;
    }
    for (int i = 0; i <= d.exponent; ++i) *p++ = (i < d.count) ? d.digits[i] : '0';
    const int rest = d.count - (d.exponent + 1);
    if (rest <= 0) return p;
    *p++ = '.';
    std::memcpy(p, d.digits + d.exponent + 1, static_cast<size_t>(rest));
    return p + rest;
}

}  // namespace

size_t format_number(double value, int precision, char* out) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (((bits >> 52) & 0x7FF) == 0x7FF) return write_non_finite(bits, out);
    // The first byte is written either way, so a sign costs no branch.
    out[0] = '-';
    char* p = out + (bits >> 63);
    if (value == 0.0) {
        *p++ = '0';
        return static_cast<size_t>(p - out);
    }

    Decimal d;
    if (!scaled_digits(bits, precision, &d)) {
        seventeen_digits((value < 0.0) ? -value : value, &d);
        round_half_up(&d, precision);
    }
    if (d.exponent < -4 || d.exponent >= precision) {
        p = write_exponent_form(d, p);
    } else {
        p = write_plain_form(d, p);
    }
    return static_cast<size_t>(p - out);
}
