#include <cstddef>
#include <cstdint>

#include "transform/fft_passes.h"
#include "transform/passes.h"
#include "transform/transform.h"
#include "transform/twiddle.h"

// The order of the stages and sweeps: fft_passes.h.

bool processor_has(Vectors vectors) {
    __builtin_cpu_init();
    return vectors == Vectors::kSse2 || __builtin_cpu_supports("avx");
}

Vectors best_vectors() { return processor_has(Vectors::kAvx) ? Vectors::kAvx : Vectors::kSse2; }

void complex_fft_using(double* z, uint32_t M, Vectors vectors, RideAlong* along) {
    stages_using(z, M, {0, M}, true, vectors, along);
}

void stages_using(double* z, uint32_t M, Span region, bool last, Vectors vectors, RideAlong* along) {
    if (M == 0) {
        return;
    }
    double table[4 * kBlock];
    uint32_t block = M < kBlock ? M : kBlock;
    fill_stage_table(table, block);
    // The AVX sweeps start with groups of four values.
    if (vectors == Vectors::kAvx && block >= 4) {
        avx_stages(z, M, region, last, table, along);
    } else {
        stages<Sse2>(z, M, region, last, table, along);
    }
}

void complex_fft(double* z, uint32_t M) { complex_fft_using(z, M, best_vectors()); }

// The longest transform, kMaxLength / 2 = 2^25 complex values, has 14
// stages above a block of 2^11.
static_assert(kMaxLength == (1u << 26) && kBlock == (1u << 11) && kMostSweeps * kMaxSpan >= 14,
              "kMostSweeps sweeps cover the large stages of the longest transform");

uint32_t plan_sweeps(size_t M, size_t block, Sweep* plan) {
    size_t h = block;
    uint32_t t = stage_count(block) + 1;
    uint32_t remaining = stage_count(M / h);
    uint32_t sweeps = (remaining + kMaxSpan - 1) / kMaxSpan;
    uint32_t count = 0;
    for (; h < M; --sweeps) {
        uint32_t span = (remaining + sweeps - 1) / sweeps;
        plan[count++] = {h, span, t};
        h <<= span;
        t += span;
        remaining -= span;
    }
    return count;
}

void offset_sweep_using(double* z, uint32_t M, const double* starts, Span offsets, Vectors vectors) {
    if (vectors == Vectors::kAvx) {
        avx_offset_sweep(z, M, starts, offsets);
    } else {
        offset_sweep<Sse2>(z, M, starts, offsets);
    }
}
