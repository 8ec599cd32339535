// Full 64 x 64 -> 128-bit products for format_number's fixed-point scaling.
#pragma once

#include <cstdint>

struct WideProduct {
    uint64_t hi;
    uint64_t lo;
};

// a * b from four 32 x 32 -> 64-bit products, for targets without 128-bit
// integers (32-bit x86). No sum below can wrap: `middle` is at most
// 3 * (2^32 - 1), and hi is the exact upper half of a product below 2^128.
inline WideProduct multiply_wide_portable(uint64_t a, uint64_t b) {
    const uint64_t low_mask = 0xFFFFFFFFu;
    const uint64_t ll = (a & low_mask) * (b & low_mask);
    const uint64_t lh = (a & low_mask) * (b >> 32);
    const uint64_t hl = (a >> 32) * (b & low_mask);
    const uint64_t hh = (a >> 32) * (b >> 32);
    const uint64_t middle = (ll >> 32) + (lh & low_mask) + (hl & low_mask);
    return WideProduct{hh + (lh >> 32) + (hl >> 32) + (middle >> 32), (middle << 32) | (ll & low_mask)};
}

// a * b, by the compiler's 128-bit integers where the target has them.
inline WideProduct multiply_wide(uint64_t a, uint64_t b) {
#ifdef __SIZEOF_INT128__
    __extension__ typedef unsigned __int128 Uint128;
    const Uint128 product = static_cast<Uint128>(a) * b;
    return WideProduct{static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
#else
    return multiply_wide_portable(a, b);
#endif
}
