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

// Static storage, zero pages until a worker first writes its room.
static WorkerRoom rooms[kMostTransformThreads];

WorkerRoom& worker_room(uint32_t worker) { return rooms[worker]; }

void complex_fft_using(double* z, uint32_t M, Vectors vectors, RideAlong* along) {
    stages_using(z, M, {0, M}, true, vectors, along, 0);
}

void stages_using(double* z, uint32_t M, Span region, bool last, Vectors vectors, RideAlong* along,
                  uint32_t worker) {
    if (M == 0) {
        return;
    }
    WorkerRoom& room = worker_room(worker);
    uint32_t block = M < kBlock ? M : kBlock;
    fill_stage_table(room.stages.table, block);
    // The AVX sweeps start with groups of four values.
    if (vectors == Vectors::kAvx && block >= 4) {
        avx_stages(z, M, region, last, room, along);
    } else {
        stages<Sse2>(z, M, region, last, room, along);
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

void offset_sweep_using(double* z, uint32_t M, const double* starts, Span offsets, Vectors vectors,
                        uint32_t worker) {
    if (vectors == Vectors::kAvx) {
        avx_offset_sweep(z, M, starts, offsets, worker_room(worker));
    } else {
        offset_sweep<Sse2>(z, M, starts, offsets, worker_room(worker));
    }
}
