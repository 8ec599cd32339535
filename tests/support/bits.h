// Doubles by their bit patterns, so that a last-bit slip or -0.0 against
// +0.0 fails a comparison, and what a failure shows says which.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

inline uint64_t bits_of(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline double from_bits(uint64_t b) {
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// Hex float and 17 digits, for failure messages.
inline std::string describe(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a (%.17g)", v, v);
    return text;
}
