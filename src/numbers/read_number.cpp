// read_number: decimal text to the nearest double, in this program's syntax.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numbers/numbers.h"

namespace {

// 767 significant digits decide the rounding of any decimal to a double; a
// digit beyond the kept ones only matters as "something non-zero follows",
// which one extra '1' stands for.
constexpr int kMaxDigits = 800;

// Exponents are saturated here: far beyond any double, far from int64 limits.
constexpr int64_t kExponentCap = 1000000000000000;

// 10^0 ... 10^22, all exact in a double (5^22 < 2^53).
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The number as 0.d1 d2 d3 ... * 10^point with d1 != 0 (count == 0: zero).
struct Significand {
    char digits[kMaxDigits];
    int count;
    bool sticky;    // a non-zero digit was dropped after digits[kMaxDigits - 1]
    int64_t point;  // saturates like the exponent; only its range matters then
};

// The digit's value, or 10 or more for any other byte.
inline unsigned digit_value(char c) { return static_cast<unsigned char>(c - '0'); }

inline bool is_digit(char c) { return digit_value(c) < 10u; }

void add_digit(Significand* s, char c) {
    if (s->count < kMaxDigits) {
        s->digits[s->count++] = c;
    } else if (c != '0') {
        s->sticky = true;
    }
}

// Leading zeros only move the point; every later digit is kept or makes sticky.
const char* scan_integer_digits(const char* p, Significand* s) {
    for (; is_digit(*p); ++p) {
        if (s->count == 0 && *p == '0') continue;
        add_digit(s, *p);
        if (s->point < kExponentCap) ++s->point;
    }
    return p;
}

const char* scan_fraction_digits(const char* p, Significand* s) {
    for (; is_digit(*p); ++p) {
        if (s->count == 0 && *p == '0') {
            if (s->point > -kExponentCap) --s->point;
            continue;
        }
        add_digit(s, *p);
    }
    return p;
}

// The exponent after e, E, d or D, or p itself when no digit follows the
// letter and its optional sign: then the letter is not part of the number.
const char* scan_exponent(const char* p, int64_t* exponent) {
    const char* q = p + 1;
    bool negative = (*q == '-');
    if (*q == '+' || *q == '-') ++q;
    if (!is_digit(*q)) return p;
    int64_t e = 0;
    for (; is_digit(*q); ++q) {
        if (e < kExponentCap) e = (e * 10) + (*q - '0');
    }
    *exponent = negative ? -e : e;
    return q;
}

// Clinger's fast path: up to 19 digits forming an integer m <= 2^53 and a
// scale within +-22 give m and 10^|scale| exactly, so one IEEE multiply or
// divide rounds once, correctly. False when the number does not qualify.
bool convert_exactly(const Significand& s, double* value) {
    if (s.count > 19 || s.sticky) return false;
    uint64_t m = 0;
    for (int i = 0; i < s.count; ++i) m = (m * 10) + static_cast<uint64_t>(s.digits[i] - '0');
    if (m > (uint64_t{1} << 53)) return false;
    int64_t scale = s.point - s.count;
    if (scale < -22 || scale > 22) return false;
    double dm = static_cast<double>(m);
    *value = (scale < 0) ? (dm / kPowersOfTen[-scale]) : (dm * kPowersOfTen[scale]);
    return true;
}

// Everything else: hand "0.<digits>[1]e<point>" to the library's correctly
// rounded conversion. Only called with -324 < point < 310, a non-zero value.
double convert_by_library(const Significand& s) {
    char text[2 + kMaxDigits + 1 + 8];
    char* p = text;
    *p++ = '0';
    *p++ = '.';
    std::memcpy(p, s.digits, static_cast<size_t>(s.count));
    p += s.count;
    if (s.sticky) *p++ = '1';
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text, s.point).ptr;
    double value = 0.0;
    std::from_chars_result r = std::from_chars(text, p, value);
    // Out of range leaves value untouched: the side of the range is known.
    if (r.ec == std::errc::result_out_of_range) return (s.point > 0) ? HUGE_VAL : 0.0;
    return value;
}

// The syntax in one pass: the digits and where the point falls go to *s.
// Returns the end of the number, or `text` when none starts there.
const char* scan_number(const char* text, Significand* s, bool* negative) {
    const char* p = text;
    *negative = (*p == '-');
    if (*p == '+' || *p == '-') ++p;
    const char* first = p;
    p = scan_integer_digits(p, s);
    bool has_digits = (p != first);
    if (*p == '.') {
        const char* fraction = p + 1;
        const char* after = scan_fraction_digits(fraction, s);
        if (has_digits || after != fraction) {
            has_digits = true;
            p = after;
        }
    }
    if (!has_digits) return text;
    int64_t exponent = 0;
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') p = scan_exponent(p, &exponent);
    s->point += exponent;
    return p;
}

// The short number [text, end), whose digits make m (0 < m < 10^19) and whose
// value is m * 10^scale (|scale| < 1020), by the library's correctly rounded
// conversion. The library reads the text as written, after any '+', which it
// does not take; with a d or D exponent it stops early and reads m and scale.
double convert_short_by_library(const char* text, const char* end, bool negative, uint64_t m,
                                ptrdiff_t scale) {
    double value = 0.0;
    std::from_chars_result r = std::from_chars(text + static_cast<int>(*text == '+'), end, value);
    if (r.ptr != end) {
        char digits[20 + 1 + 8];
        char* p = std::to_chars(digits, digits + 20, m).ptr;
        *p++ = 'e';
        p = std::to_chars(p, digits + sizeof digits, scale).ptr;
        r = std::from_chars(digits, p, value);
        value = negative ? -value : value;
    }
    // Out of range leaves value untouched: the side of the range is known.
    if (r.ec == std::errc::result_out_of_range) return (scale < 0) ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
    // A non-zero number that rounds to zero has underflowed: +0.0 whatever its sign.
    return (value == 0.0) ? 0.0 : value;
}

// The exponent after the letter at p, added to *scale. Returns its end, or p
// itself when no digit follows the letter and its optional sign (the letter is
// then not part of the number). Three digits already reach past the double
// range both ways; for more, which might wrap, nullptr: the general route.
const char* scan_short_exponent(const char* p, ptrdiff_t* scale) {
    const char* q = p + 1;
    const ptrdiff_t sign = (*q == '-') ? -1 : 1;
    q += static_cast<int>(*q == '-' || *q == '+');
    const char* digits = q;
    ptrdiff_t exponent = 0;
    for (unsigned d; (d = digit_value(*q)) < 10; ++q) {
        if (q - digits == 3) return nullptr;
        exponent = (exponent * 10) + static_cast<ptrdiff_t>(d);
    }
    if (q == digits) return p;
    *scale += sign * exponent;
    return q;
}

// The common short number in one pass, digits accumulated as they are read:
// at most 19 digits, so that m cannot wrap, and at most three exponent
// digits. With m <= 2^53 and a scale within +-22 convert_exactly's argument
// holds for m as written, trailing zeros and all; the library takes the rest.
// False, with nothing written, when the number needs the general route.
bool read_short_number(const char* text, const char** end, double* value) {
    // Signs are steps in arithmetic, not branches: in a column of noise they
    // come at random and a mispredicted branch costs more than the number.
    const char* p = text;
    const bool negative = (*p == '-');
    p += static_cast<int>(negative || *p == '+');
    const char* first = p;
    uint64_t m = 0;
    for (unsigned d; (d = digit_value(*p)) < 10; ++p) m = (m * 10) + d;
    ptrdiff_t digit_count = p - first;
    ptrdiff_t scale = 0;
    if (*p == '.') {
        const char* fraction = ++p;
        for (unsigned d; (d = digit_value(*p)) < 10; ++p) m = (m * 10) + d;
        digit_count += p - fraction;
        scale = fraction - p;
    }
    // No digit at all ("." or "-"), or so many that m may have wrapped.
    if (digit_count == 0 || digit_count > 19) return false;

    const char letter = static_cast<char>(*p | 0x20);
    if (letter == 'e' || letter == 'd') {
        p = scan_short_exponent(p, &scale);
        if (p == nullptr) return false;
    }

    if (m == 0) {
        *value = negative ? -0.0 : 0.0;
    } else if (m <= (uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
        // Rounding to nearest is symmetric: the sign may go on before it.
        const int64_t signed_m = static_cast<int64_t>(m) * (negative ? -1 : 1);
        const double dm = static_cast<double>(signed_m);
        *value = (scale < 0) ? (dm / kPowersOfTen[-scale]) : (dm * kPowersOfTen[scale]);
    } else {
        *value = convert_short_by_library(text, p, negative, m, scale);
    }
    *end = p;
    return true;
}

// Any number of digits and any exponent, through the digit array.
double read_any_number(const char* text, const char** end) {
    Significand s;
    s.count = 0;
    s.sticky = false;
    s.point = 0;
    bool negative = false;
    *end = scan_number(text, &s, &negative);
    if (*end == text) return 0.0;

    // Zero keeps its sign. Beyond the double range is decided by the position
    // of the first digit alone, since 0.1 <= 0.d1 d2 ... < 1.
    if (s.count == 0) return negative ? -0.0 : 0.0;
    if (s.point >= 310) return negative ? -HUGE_VAL : HUGE_VAL;
    if (s.point <= -324) return 0.0;  // below 10^-324, under half the least subnormal
    if (!s.sticky) {
        while (s.digits[s.count - 1] == '0') --s.count;
    }
    double value = 0.0;
    if (!convert_exactly(s, &value)) value = convert_by_library(s);
    // A non-zero number that rounds to zero has underflowed: +0.0 whatever its sign.
    if (value == 0.0) return 0.0;
    return negative ? -value : value;
}

}  // namespace

double read_number(const char* text, const char** end) {
    double value = 0.0;
    if (read_short_number(text, end, &value)) return value;
    return read_any_number(text, end);
}
