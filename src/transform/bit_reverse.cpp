#include <cstddef>
#include <cstdint>
#include <cstring>

#include "transform/passes.h"
#include "transform/transform.h"

// Index i of p bits is split as (a, b, c) with q-bit a and c and the middle
// bits b; its reverse is (rev c, rev b, rev a). The values with middle bits b
// form a tile of 2^q rows (one per a) of 2^q neighbours (one per c), and the
// permutation maps the tile of b onto the tile of rev b, transposed. Moving
// whole tiles through a buffer reads and writes every row as a run of
// neighbours, where swapping value by value would touch a new cache line at
// almost every step once the array outgrows the caches. Rows of 64 values
// (1 KiB) keep memory streaming; the two tile buffers take 128 KiB of the
// part's room.

namespace {

const size_t kComplexBytes = 2 * sizeof(double);

// The lowest `bits` bits of v in the opposite order; v < 2^bits.
uint32_t reversed_bits(uint32_t v, uint32_t bits) {
    uint32_t r = 0;
    for (uint32_t k = 0; k < bits; ++k) {
        r |= ((v >> k) & 1u) << (bits - 1 - k);
    }
    return r;
}

// tile[a][c] = z(base + a*row_step + c), side values per row. The tiles lie
// in static storage: __restrict tells the compiler that they and z never
// overlap, as it knew of arrays on the stack.
void read_tile(const double* __restrict z, size_t base, size_t row_step, uint32_t side,
               double* __restrict tile) {
    for (uint32_t a = 0; a < side; ++a) {
        const double* row = z + 2 * (base + a * row_step);
        for (uint32_t c = 0; c < side; ++c) {
            std::memcpy(tile + 2 * (a * side + c), row + 2 * c, kComplexBytes);
        }
    }
}

// Row a of the tile at base gets from `from` the values rev a of its rows
// rev c, c = 0 ... side-1.
void write_tile(double* __restrict z, size_t base, size_t row_step, uint32_t side,
                const double* __restrict from, const uint32_t* __restrict rev) {
    for (uint32_t a = 0; a < side; ++a) {
        double* row = z + 2 * (base + a * row_step);
        const double* column = from + 2 * rev[a];
        for (uint32_t c = 0; c < side; ++c) {
            std::memcpy(row + 2 * c, column + 2 * (rev[c] * side), kComplexBytes);
        }
    }
}

}  // namespace

void bit_reverse(double* z, uint32_t M) { bit_reverse_part(z, M, 0, 1); }

// The parts take the tiles and pairs of tiles in turn, so that each gets
// its share of the whole array.
void bit_reverse_part(double* z, uint32_t M, uint32_t part, uint32_t parts) {
    if (M <= 2) {
        return;
    }
    uint32_t p = static_cast<uint32_t>(__builtin_ctz(M));
    uint32_t q = p / 2 < kTileBits ? p / 2 : kTileBits;
    uint32_t side = 1u << q;
    uint32_t mid = p - 2 * q;
    size_t row_step = size_t{1} << (p - q);
    uint32_t rev[kTile];
    for (uint32_t a = 0; a < side; ++a) {
        rev[a] = reversed_bits(a, q);
    }
    WorkerRoom& room = worker_room(part % static_cast<uint32_t>(kMostTransformThreads));
    double* tile = room.permute.tile;
    double* partner = room.permute.partner;
    uint32_t turn = 0;
    for (uint32_t b = 0; b < (1u << mid); ++b) {
        uint32_t rb = reversed_bits(b, mid);
        if (rb < b) {
            continue;
        }
        if (turn++ % parts != part) {
            continue;
        }
        size_t base = size_t{b} << q;
        size_t partner_base = size_t{rb} << q;
        read_tile(z, base, row_step, side, tile);
        if (rb == b) {
            write_tile(z, base, row_step, side, tile, rev);
        } else {
            read_tile(z, partner_base, row_step, side, partner);
            write_tile(z, base, row_step, side, partner, rev);
            write_tile(z, partner_base, row_step, side, tile, rev);
        }
    }
}
