// read_number: decimal text to the nearest double, in this program's syntax.
//
// One pass over the text finds where the number ends and what it is: a sign,
// its digits read as one integer m, and a power of ten. Short numbers of
// moderate scale are then exact in one IEEE operation; any other goes to the
// library's correctly rounded conversion.
#include <charconv>
#include <cmath>
#include <cstdint>

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

// The number as written: (its count digits as one integer) * 10^scale.
struct Number {
    const char* digits;  // the first digit, or the point when it comes first
    ptrdiff_t count;     // digits, leading and trailing zeros included (0: no number)
    uint64_t m;          // the digits as one integer; wrapped when count > 19
    int64_t scale;       // saturates with the exponent; only its range matters then
    bool negative;
};

// The digit's value, or 10 or more for any other byte.
inline unsigned digit_value(char c) { return static_cast<unsigned char>(c - '0'); }

// The syntax in one pass, the digits accumulated as they are read. Returns the
// end of the number; n->count == 0 when none starts at `text`.
inline const char* scan_number(const char* text, Number* n) {
    // Signs are steps in arithmetic, not branches: in a column of noise they
    // come at random and a mispredicted branch costs more than the number.
    const char* p = text;
    n->negative = (*p == '-');
    p += static_cast<int>(n->negative || *p == '+');
    n->digits = p;
    uint64_t m = 0;
    for (unsigned d; (d = digit_value(*p)) < 10; ++p) m = (m * 10) + d;
    ptrdiff_t count = p - n->digits;
    int64_t scale = 0;
    if (*p == '.') {
        const char* fraction = ++p;
        for (unsigned d; (d = digit_value(*p)) < 10; ++p) m = (m * 10) + d;
        count += p - fraction;
        scale = fraction - p;
    }
    n->count = count;
    n->m = m;
    // The letter belongs to the number only when a digit follows it and its sign.
    const char letter = static_cast<char>(*p | 0x20);
    if (letter == 'e' || letter == 'd') {
        const char* q = p + 1;
        const bool negative = (*q == '-');
        q += static_cast<int>(negative || *q == '+');
        if (digit_value(*q) < 10) {
            int64_t exponent = 0;
            for (unsigned d; (d = digit_value(*q)) < 10; ++q) {
                if (exponent < kExponentCap) exponent = (exponent * 10) + d;
            }
            scale += negative ? -exponent : exponent;
            p = q;
        }
    }
    n->scale = scale;
    return (count == 0) ? text : p;
}

// Any number: its significant digits as "0.<digits>[1]e<point>" to the
// library's correctly rounded conversion. Since 0.1 <= 0.d1 d2 ... < 1, the
// point alone tells a number beyond the double range.
double convert_by_library(const Number& n) {
    char text[2 + kMaxDigits + 1 + 24] = {'0', '.'};
    char* out = text + 2;
    int kept = 0;
    ptrdiff_t leading_zeros = 0;
    bool sticky = false;  // a non-zero digit after the kept ones
    const char* p = n.digits;
    for (ptrdiff_t i = 0; i < n.count; ++p) {
        if (*p == '.') continue;
        ++i;
        if (kept == 0 && *p == '0') {
            ++leading_zeros;
        } else if (kept < kMaxDigits) {
            out[kept++] = *p;
        } else {
            sticky = sticky || (*p != '0');
        }
    }
    // Zero keeps its sign; a non-zero number that underflows is +0.0.
    if (kept == 0) return n.negative ? -0.0 : 0.0;
    const int64_t point = n.scale + (n.count - leading_zeros);
    if (point >= 310) return n.negative ? -HUGE_VAL : HUGE_VAL;
    if (point <= -324) return 0.0;  // below 10^-324, under half the least subnormal
    out += kept;
    if (sticky) *out++ = '1';
    *out++ = 'e';
    out = std::to_chars(out, text + sizeof text, point).ptr;
    double value = 0.0;
    std::from_chars_result r = std::from_chars(text, out, value);
    // Out of range leaves value untouched: the side of the range is known.
    if (r.ec == std::errc::result_out_of_range) value = (point > 0) ? HUGE_VAL : 0.0;
    if (value == 0.0) return 0.0;
    return n.negative ? -value : value;
}

}  // namespace

double read_number(const char* text, const char** end) {
    Number n;
    *end = scan_number(text, &n);
    if (n.count == 0) return 0.0;
    // Clinger's fast path: up to 19 digits (so m has not wrapped) forming an
    // integer m <= 2^53 and a scale within +-22 give m and 10^|scale| exactly,
    // so one IEEE multiply or divide rounds once, correctly.
    if (n.count <= 19) {
        if (n.m == 0) return n.negative ? -0.0 : 0.0;
        if (n.m <= (uint64_t{1} << 53) && n.scale >= -22 && n.scale <= 22) {
            // Rounding to nearest is symmetric: the sign may go on before it.
            const double m = static_cast<double>(static_cast<int64_t>(n.m) * (n.negative ? -1 : 1));
            return (n.scale < 0) ? (m / kPowersOfTen[-n.scale]) : (m * kPowersOfTen[n.scale]);
        }
    }
    return convert_by_library(n);
}

bool read_whole_number(const char* text, double* value) {
    const char* end = text;
    *value = read_number(text, &end);
    return end != text && *end == '\0' && *value - *value == 0.0;
}
