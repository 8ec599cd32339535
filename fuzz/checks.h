// What the fuzz targets hold the program to, shared between them: a failed
// check prints why and traps, which libFuzzer reports as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/bits.h"

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            __builtin_trap();                                                                  \
        }                                                                                      \
    } while (0)

inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// text[0 .. length) is exactly `prefix` followed by a record number: 1 or more,
// no leading zero.
inline bool is_record_message(const char* text, size_t length, const char* prefix) {
    const size_t prefix_length = std::strlen(prefix);
    if (length <= prefix_length || std::memcmp(text, prefix, prefix_length) != 0) return false;
    if (text[prefix_length] == '0' || length - prefix_length > 9) return false;
    for (size_t i = prefix_length; i < length; ++i) {
        if (!is_ascii_digit(text[i])) return false;
    }
    return true;
}

// One number as the writer prints it with `precision` significant digits:
//   one of the non-finite spellings, or
//   -? plain form: an integer part without leading zeros, an optional point and
//      digits not ending in 0, at most `precision` significant digits, the first
//      of them no further right than the fourth decimal place, or
//   -? exponent form: d[.ddd]e(+|-)ddd with a non-zero first digit, the exponent
//      at least `precision` or below -4.
inline bool is_printed_number(const char* text, size_t length, int precision) {
    static const char* const kNonFinite[] = {"1.#INF",   "-1.#INF", "-1.#IND", "1.#QNAN",
                                             "-1.#QNAN", "1.#SNAN", "-1.#SNAN"};
    for (const char* spelling : kNonFinite) {
        if (std::strlen(spelling) == length && std::memcmp(spelling, text, length) == 0) return true;
    }
    const char* p = text;
    const char* const end = text + length;
    if (p < end && *p == '-') ++p;
    const char* const integer = p;
    while (p < end && is_ascii_digit(*p)) ++p;
    const long integer_length = p - integer;
    if (integer_length == 0 || (integer_length > 1 && *integer == '0')) return false;
    const char* fraction = p;
    long fraction_length = 0;
    if (p < end && *p == '.') {
        fraction = ++p;
        while (p < end && is_ascii_digit(*p)) ++p;
        fraction_length = p - fraction;
        if (fraction_length == 0 || p[-1] == '0') return false;
    }
    if (p == end) {
        if (*integer != '0') return integer_length + fraction_length <= precision;
        long zeros = 0;
        while (zeros < fraction_length && fraction[zeros] == '0') ++zeros;
        return zeros <= 3 && fraction_length - zeros <= precision;
    }
    if (integer_length != 1 || *integer == '0' || fraction_length > precision - 1) return false;
    if (end - p != 5 || p[0] != 'e' || (p[1] != '+' && p[1] != '-')) return false;
    if (!is_ascii_digit(p[2]) || !is_ascii_digit(p[3]) || !is_ascii_digit(p[4])) return false;
    const int exponent = ((p[2] - '0') * 100) + ((p[3] - '0') * 10) + (p[4] - '0');
    if (p[1] == '+') return exponent >= precision && exponent <= 308;
    return exponent > 4 && exponent <= 324;
}
