// format_number on any double, at the two precisions the writer uses. The text
// must fit the output grammar, read back as the value rounded to 9 (or 4)
// significant digits, and equal the text built here from the C library's
// 17-digit form rounded half up.
//
// Input: 8 bytes, the bit pattern (little-endian). A ninth byte reshapes it so
// that the rounding cases random patterns almost never hit come up often:
//   byte % 4 == 0  the pattern as it is
//   byte % 4 == 1  only the top (byte / 4) % 53 fraction bits kept: short
//                  decimals, exact ties at the 17th digit
//   byte % 4 == 2  moved next to a tie at the 10th digit, then a tenth byte
//                  (signed) steps it that many units in the last place
//   byte % 4 == 3  the same at the 5th digit
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "checks.h"
#include "numbers/numbers.h"

namespace {

// |value| to `precision` significant digits: the library's "%.16e" (17 digits,
// correctly rounded), then half up with carry, trailing zeros dropped.
struct Rounded {
    char digits[18];
    int count;
    int exponent;
};

Rounded round_to(double magnitude, int precision) {
    char text[48];
    std::snprintf(text, sizeof text, "%.16e", magnitude);
    Rounded r;
    r.count = 0;
    const char* p = text;
    for (; *p != 'e'; ++p) {
        if (*p != '.') r.digits[r.count++] = *p;
    }
    FUZZ_CHECK(r.count == 17);
    r.exponent = std::atoi(p + 1);
    const bool up = r.digits[precision] >= '5';
    r.count = precision;
    if (up) {
        int i = precision - 1;
        for (; i >= 0 && r.digits[i] == '9'; --i) r.digits[i] = '0';
        if (i >= 0) {
            ++r.digits[i];
        } else {
            r.digits[0] = '1';
            ++r.exponent;
        }
    }
    while (r.count > 1 && r.digits[r.count - 1] == '0') --r.count;
    return r;
}

std::string non_finite_spelling(uint64_t bits) {
    const bool negative = (bits >> 63) != 0;
    const uint64_t fraction = bits & 0x000FFFFFFFFFFFFFu;
    if (fraction == 0) return negative ? "-1.#INF" : "1.#INF";
    if (bits == 0xFFF8000000000000u) return "-1.#IND";  // what 0.0 / 0.0 gives on x86
    const bool quiet = (fraction >> 51) != 0;
    return std::string(negative ? "-" : "") + (quiet ? "1.#QNAN" : "1.#SNAN");
}

std::string expected_text(double value, int precision) {
    const uint64_t bits = bits_of(value);
    if (!std::isfinite(value)) return non_finite_spelling(bits);
    std::string text = std::signbit(value) ? "-" : "";
    if (value == 0.0) return text + "0";
    const Rounded r = round_to(std::fabs(value), precision);
    const std::string digits(r.digits, static_cast<size_t>(r.count));
    if (r.exponent < -4 || r.exponent >= precision) {
        char exponent[8];
        std::snprintf(exponent, sizeof exponent, "e%c%03d", r.exponent < 0 ? '-' : '+', std::abs(r.exponent));
        text += digits.substr(0, 1);
        if (r.count > 1) text += "." + digits.substr(1);
        return text + exponent;
    }
    if (r.exponent < 0) return text + "0." + std::string(static_cast<size_t>(-r.exponent - 1), '0') + digits;
    const size_t whole = static_cast<size_t>(r.exponent) + 1;
    if (digits.size() <= whole) return text + digits + std::string(whole - digits.size(), '0');
    return text + digits.substr(0, whole) + "." + digits.substr(whole);
}

// The double nearest to the rounded decimal, by the library.
double rounded_value(double value, int precision) {
    if (value == 0.0) return value;
    const Rounded r = round_to(std::fabs(value), precision);
    char text[48];
    std::snprintf(text, sizeof text, "%s%c.%.*se%d", std::signbit(value) ? "-" : "", r.digits[0], r.count - 1,
                  r.digits + 1, r.exponent);
    return std::strtod(text, nullptr);
}

// The double nearest to |value| with its 17-digit form changed to 5 at digit
// `place` (0-based) and zeros after it, i.e. a tie when rounding to `place`
// digits, then moved `steps` units in the last place; the sign is kept.
double near_tie(double value, int place, int steps) {
    char text[48];
    std::snprintf(text, sizeof text, "%.16e", std::fabs(value));
    // "d.dddddddddddddddde..." : digit k (0-based) sits at k, or k + 1 after the point.
    text[place + 1] = '5';
    for (int k = place + 1; k < 17; ++k) text[k + 1] = '0';
    double moved = std::strtod(text, nullptr);
    for (; steps > 0; --steps) moved = std::nextafter(moved, HUGE_VAL);
    for (; steps < 0; ++steps) moved = std::nextafter(moved, 0.0);
    return std::signbit(value) ? -moved : moved;
}

double shaped_value(const uint8_t* data, size_t size) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | data[i];
    double value = from_bits(bits);
    if (size < 9 || !std::isfinite(value) || value == 0.0) return value;
    const int mode = data[8] % 4;
    const int steps = (size >= 10) ? static_cast<int8_t>(data[9]) % 8 : 0;
    if (mode == 1) {
        const int kept = (data[8] / 4) % 53;
        return from_bits(bits & ~((uint64_t{1} << (52 - kept)) - 1));
    }
    if (mode == 2) return near_tie(value, 9, steps);
    if (mode == 3) return near_tie(value, 4, steps);
    return value;
}

void check_format(double value, int precision, size_t longest) {
    char out[64];
    std::memset(out, 0x7F, sizeof out);
    const size_t length = format_number(value, precision, out);
    // The header promises at most 24 bytes; the bytes after them stay untouched.
    FUZZ_CHECK(length <= 24);
    for (size_t i = length; i < sizeof out; ++i) FUZZ_CHECK(out[i] == 0x7F);
    const std::string got(out, length);
    const std::string want = expected_text(value, precision);
    if (got != want || !is_printed_number(out, length, precision) || length > longest) {
        std::fprintf(stderr, "format_number(%a = 0x%016llx, %d): got \"%s\", want \"%s\"\n", value,
                     static_cast<unsigned long long>(bits_of(value)), precision, got.c_str(), want.c_str());
    }
    FUZZ_CHECK(length <= longest);
    FUZZ_CHECK(is_printed_number(out, length, precision));
    FUZZ_CHECK(got == want);
    if (!std::isfinite(value)) return;

    out[length] = '\0';
    const char* end = nullptr;
    const double back = read_number(out, &end);
    FUZZ_CHECK(end == out + length);
    const double nearest = rounded_value(value, precision);
    if (bits_of(back) != bits_of(nearest)) {
        std::fprintf(stderr, "\"%s\" reads back as %a, want %a\n", out, back, nearest);
    }
    FUZZ_CHECK(bits_of(back) == bits_of(nearest));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const double value = shaped_value(data, size);
    check_format(value, 9, 16);  // as in -1.23456789e-308
    check_format(value, 4, 11);  // as in -1.235e-308
    return 0;
}
