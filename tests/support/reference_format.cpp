#include "support/reference_format.h"

#include <charconv>
#include <cstdint>
#include <cstring>

// Copied from the first version of src/output/format_number.cpp and kept
// unchanged but for the name: the shortest digits where they settle the
// result, the 17-digit form elsewhere.

namespace {

constexpr int kDigitsKept = 17;

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

// The shortest digits S that read back as `magnitude`, when rounding them
// gives what rounding the 17-digit form T would; false when it might not.
// That is only when S is itself a tie t: `precision` digits and a final 5.
// With 10^e <= value < 2^(b+1), half a unit in the 17th digit, 10^(e-16) / 2,
// is below 2^(b-54), the narrowest half-width of the value's rounding
// interval. A tie t between S and T, or equal to T, lies either between the
// value and T, so within that half unit of the value, or between the value
// and S; both put t strictly inside the interval. No other number of at most
// ten digits fits there (they lie 10^-10 of the value apart, the interval
// spans about 2^-52 of it), so S == t. Subnormals, whose ulp is wide next to
// the gaps between ties, always take the 17-digit path.
bool shortest_digits(double magnitude, int precision, Decimal* d) {
    if (precision > 9 || magnitude < 2.2250738585072014e-308) return false;
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific).ptr;
    read_scientific(text, end, d);
    return !(d->count == precision + 1 && d->digits[precision] == '5');
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

size_t reference_format_number(double value, int precision, char* out) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (((bits >> 52) & 0x7FF) == 0x7FF) return write_non_finite(bits, out);
    char* p = out;
    if ((bits >> 63) != 0) *p++ = '-';
    if (value == 0.0) {
        *p++ = '0';
        return static_cast<size_t>(p - out);
    }

    const double magnitude = (value < 0.0) ? -value : value;
    Decimal d;
    if (!shortest_digits(magnitude, precision, &d)) seventeen_digits(magnitude, &d);
    round_half_up(&d, precision);
    if (d.exponent < -4 || d.exponent >= precision) {
        p = write_exponent_form(d, p);
    } else {
        p = write_plain_form(d, p);
    }
    return static_cast<size_t>(p - out);
}
