// Bit reversal of indices. Internal to src/transform.
#pragma once

#include <cstdint>

namespace {

struct ByteReversal {
    uint8_t of[256];
};

constexpr ByteReversal make_byte_reversal() {
    ByteReversal table{};
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t r = 0;
        for (uint32_t k = 0; k < 8; ++k) {
            r |= ((v >> k) & 1u) << (7 - k);
        }
        table.of[v] = static_cast<uint8_t>(r);
    }
    return table;
}

// of[v] is the byte v with its bits in the opposite order.
constexpr ByteReversal kByteReversal = make_byte_reversal();

// The lowest `bits` bits of v in the opposite order; v < 2^bits, bits <= 32.
inline uint32_t reversed_bits(uint32_t v, uint32_t bits) {
    uint32_t r = (uint32_t{kByteReversal.of[v & 0xff]} << 24) |
                 (uint32_t{kByteReversal.of[(v >> 8) & 0xff]} << 16) |
                 (uint32_t{kByteReversal.of[(v >> 16) & 0xff]} << 8) | uint32_t{kByteReversal.of[v >> 24]};
    return bits == 0 ? 0 : r >> (32 - bits);
}

}  // namespace
